// Writes a one-pixel GIF through the file streams, reads its screen and a thumbnail back
// through the base library's GIF reader, and asks the message code for its content type.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "basemem.h"
#include "fileio.h"
#include "gif.h"
#include "message.h"
#include "mkarray"

namespace {

// GIF89a, 1 x 1, a two-colour global table, one image of colour 1.
const unsigned char kPixel[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                                0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                                0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

int Fail(const char *what)
{
    printf("consumer: %s failed (error %lu)\n", what, (unsigned long)GetLastError());
    return 1;
}

}  // namespace

int main()
{
    const char *path = "consumer.gif";
    FIO_FILE *f = FioCreateAtomic(path);
    if (!f)
        return Fail("FioCreateAtomic");
    if (FioWrite(f, kPixel, sizeof kPixel) != sizeof kPixel) {
        FioClose(f);
        return Fail("FioWrite");
    }
    if (!FioCommit(f))  // closes the stream either way
        return Fail("FioCommit");

    WORD width = 0, height = 0;
    if (!GetGifSize(path, &width, &height))
        return Fail("GetGifSize");
    HGLOBAL thumb = LoadGifThumbnail(path);
    if (!thumb)
        return Fail("LoadGifThumbnail");
    const BITMAPINFOHEADER *bih = (const BITMAPINFOHEADER *)BaseMemLock(thumb);
    if (!bih)
        return Fail("BaseMemLock");
    long thumbWidth = (long)bih->biWidth, thumbHeight = (long)bih->biHeight;
    int bits = bih->biBitCount;
    BaseMemUnlock(thumb);
    BaseMemFree(thumb);

    CMkArray<int> sizes;
    sizes.Add(width);
    sizes.Add(height);
    const char *type = MimeTypeOfExtension(".GIF");
    printf("consumer: gif %dx%d, thumbnail %ldx%ld at %d bits, %s, %d values\n", width, height, thumbWidth,
           thumbHeight, bits, type ? type : "(none)", (int)sizes.GetSize());
    DeleteFileA(path);
    return 0;
}
