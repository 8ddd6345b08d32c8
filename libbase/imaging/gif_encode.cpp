/*
 * Writing the container as a GIF89a file.
 *
 *   header      "GIF89a" width:u16 height:u16 packed background 0x00        13 bytes
 *   [global table: 3 * 2^((packed & 7) + 1) bytes, red green blue]
 *   per frame:
 *     looping block   '!' 0xFF 0x0B "NETSCAPE2.0" 0x03 0x01 0x0000 0x00    19 bytes
 *     control block   '!' 0xF9 0x04 packed delay:u16 transparent 0x00      8 bytes
 *     descriptor      ',' left:u16 top:u16 width:u16 height:u16 packed     10 bytes
 *                     packed = 0x40 interlaced | 0x80 | (localBits - 1) with a local table
 *     [local table: 3 * 2^localBits bytes]
 *     code size byte, sub-blocks of codes, 0x00
 *   trailer     ';'
 *
 * The screen's packed byte is written as read, except that its table flag and size always
 * describe the table that follows: a table is only ever written whole, 2^n entries.
 */
#include <string.h>

#include "basemem.h"
#include "dib_private.h"
#include "gif_private.h"

namespace gifcodec {

int ColourBitsForCount(int count) {
    int bits = 1;
    while (bits < 8 && (1 << bits) < count)
        ++bits;
    return bits;
}

namespace {

bool WriteToStream(void *context, const uint8_t *bytes, size_t n) {
    return FioWrite(static_cast<FIO_FILE *>(context), bytes, n) == n;
}

}  // namespace

LzwOutput StreamOutput(FIO_FILE *pFile) { return LzwOutput{WriteToStream, pFile}; }

}  // namespace gifcodec

using namespace gifcodec;

namespace {

inline void Put16(BYTE *p, unsigned v) {
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}

const BYTE kLoopingBlock[19] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                0x03, 0x01, 0x00, 0x00, 0x00};

bool WriteAll(FIO_FILE *f, const void *p, size_t n) { return FioWrite(f, p, n) == n; }

/* Header and global table.  GIF_WRITE_BAD_INPUT when the table does not fit its size. */
int WriteHeader(FIO_FILE *f, const GIFSCREEN &screen, const GIFPALETTE *palette) {
    BYTE packed = screen.packed;
    int entries = 0;
    bool table = screen.hasGlobalTable && palette && palette->entries && palette->count > 0;
    if (table) {
        int bits = screen.colourBits >= 1 && screen.colourBits <= 8 ? screen.colourBits
                                                                      : ColourBitsForCount(palette->count);
        entries = 1 << bits;
        if (palette->count > entries)
            return GIF_WRITE_BAD_INPUT;
        packed = BYTE((packed & 0x78) | 0x80 | (bits - 1));
    } else {
        packed = BYTE(packed & 0x78);
    }
    BYTE head[13] = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(head + 6, screen.width);
    Put16(head + 8, screen.height);
    head[10] = packed;
    head[11] = screen.background;
    head[12] = 0;
    if (!WriteAll(f, head, sizeof(head)))
        return GIF_WRITE_FAILED;
    if (table) {
        // Entries the record does not hold are written black.
        BYTE rgb[3 * 256];
        memset(rgb, 0, sizeof(rgb));
        memcpy(rgb, palette->entries, 3 * size_t(palette->count));
        if (!WriteAll(f, rgb, 3 * size_t(entries)))
            return GIF_WRITE_FAILED;
    }
    return GIF_WRITE_OK;
}

/* Encodes rows through the codec core; a GIF_WRITE_* result. */
int EncodeRows(FIO_FILE *f, const LzwRows &rows, int colourBits) {
    int r = gifcodec::EncodeLzw(colourBits, rows, StreamOutput(f));
    if (r == kLzwOk)
        return GIF_WRITE_OK;
    if (r == kLzwBadPixel)
        return GIF_WRITE_BAD_INPUT;
    // The stream remembers a failed write; otherwise memory was short.
    return FioError(f) ? GIF_WRITE_FAILED : GIF_WRITE_BAD_INPUT;
}

}  // namespace

int WriteFrame(CGifFile *pGif, FIO_FILE *pFile, HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int bFirst) {
    if (!pGif || !pFile || !pInfo || !hDib)
        return GIF_WRITE_BAD_INPUT;
    const GIFSCREEN *screen = pGif->m_pScreen;
    if (!screen)
        return GIF_WRITE_BAD_INPUT;
    dibutil::DibView dib;
    if (!dib.Open(hDib) || dib.bits > 8 || dib.width > 0xFFFF || dib.height > 0xFFFF)
        return GIF_WRITE_BAD_INPUT;
    int colours = dib.bih->biClrUsed ? int(dib.bih->biClrUsed) : 1 << dib.bits;

    // The colour bits of the image data: the local table's, the global table's, or, in a file
    // that has neither, what the bitmap's palette needs.
    int colourBits;
    if (pInfo->hasLocalTable) {
        colourBits = pInfo->localBits;
        if (colourBits < 1 || colourBits > 8 || colours != 1 << colourBits ||
            dib.headBytes < sizeof(BITMAPINFOHEADER) + 4 * size_t(colours))
            return GIF_WRITE_BAD_INPUT;
    } else if (screen->hasGlobalTable && screen->colourBits >= 1 && screen->colourBits <= 8) {
        colourBits = screen->colourBits;
    } else {
        colourBits = ColourBitsForCount(colours);
    }

    if (bFirst) {
        int r = WriteHeader(pFile, *screen, pGif->m_pPalette);
        if (r != GIF_WRITE_OK)
            return r;
    }
    if (!WriteAll(pFile, kLoopingBlock, sizeof(kLoopingBlock)))
        return GIF_WRITE_FAILED;

    BYTE gce[8] = {0x21, 0xF9, 0x04};
    gce[3] = BYTE((pInfo->hasTransparency ? 1 : 0) | ((pInfo->disposal & 7) << 2));
    Put16(gce + 4, unsigned(pInfo->delay) & 0xFFFF);
    gce[6] = BYTE(pInfo->transparentIndex);
    gce[7] = 0;
    if (!WriteAll(pFile, gce, sizeof(gce)))
        return GIF_WRITE_FAILED;

    BYTE desc[10] = {0x2C};
    Put16(desc + 1, unsigned(pInfo->left) & 0xFFFF);
    Put16(desc + 3, unsigned(pInfo->top) & 0xFFFF);
    Put16(desc + 5, unsigned(dib.width));
    Put16(desc + 7, unsigned(dib.height));
    desc[9] = BYTE((pInfo->interlaced ? 0x40 : 0) | (pInfo->hasLocalTable ? 0x80 | (colourBits - 1) : 0));
    if (!WriteAll(pFile, desc, sizeof(desc)))
        return GIF_WRITE_FAILED;

    if (pInfo->hasLocalTable) {
        BYTE rgb[3 * 256];
        const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(dib.base + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < colours; ++i) {
            rgb[3 * i] = q[i].rgbRed;
            rgb[3 * i + 1] = q[i].rgbGreen;
            rgb[3 * i + 2] = q[i].rgbBlue;
        }
        if (!WriteAll(pFile, rgb, 3 * size_t(colours)))
            return GIF_WRITE_FAILED;
    }

    BYTE codeSize = BYTE(LzwMinCodeSize(colourBits));
    if (!WriteAll(pFile, &codeSize, 1))
        return GIF_WRITE_FAILED;
    LzwRows rows{dib.pixels, dib.width, dib.height, dib.bits, dib.stride, pInfo->interlaced != 0};
    return EncodeRows(pFile, rows, colourBits);
}

int EncodeLzw(FIO_FILE *pFile, const BYTE *pPixels, int nBits, int nColourBits, LZWSTATE *pState, int bInterlaced) {
    if (!pFile || !pPixels || !pState || pState->width == 0 || pState->rows <= 0)
        return -1;
    size_t stride = pState->stride;
    if (stride < DibRowBytes(pState->width, nBits))
        return -1;
    int m = LzwMinCodeSize(nColourBits);
    pState->endCode = WORD((1 << m) + 1);
    pState->heldBits = 0;
    pState->heldByte = 0;
    LzwRows rows{const_cast<BYTE *>(pPixels), pState->width, int(pState->rows), nBits, stride, bInterlaced != 0};
    int r = gifcodec::EncodeLzw(nColourBits, rows, StreamOutput(pFile));
    return r == kLzwOk ? 1 : r == kLzwBadPixel ? -1 : 0;
}

namespace {

// The packet buffer of WriteCode: one code stream at a time in the process.
LzwPacker g_packet;

}  // namespace

int WriteCode(int nCode, LZWSTATE *pState, FIO_FILE *pFile) {
    if (!pState || !pFile)
        return 0;
    LzwOutput out = StreamOutput(pFile);
    g_packet.acc = pState->heldByte;
    g_packet.held = pState->heldBits & 7;
    bool ok = g_packet.Put(nCode, pState->codeSize, out);
    if (nCode == pState->endCode)
        ok = g_packet.Finish(out) && ok;
    pState->heldBits = BYTE(g_packet.held);
    pState->heldByte = BYTE(g_packet.acc);
    return ok ? 1 : 0;
}

/* ---- Save ------------------------------------------------------------------------------ */

int CGifFile::Save(const char *lpszFile) {
    if (!lpszFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    FIO_FILE *f = FioCreateAtomic(lpszFile);
    if (!f)
        return 0;
    Progress progress;
    progress.proc = m_pfnProgress;
    progress.context = m_pProgressContext;
    progress.total = GetFrameCount();
    int index = 0;
    for (CGifFrame *frame = m_pFrames; frame; frame = frame->next, ++index) {
        GIFFRAMEINFO info;
        frame->GetInfo(&info);
        int r = frame->dib ? WriteFrame(this, f, frame->dib, &info, index == 0) : GIF_WRITE_BAD_INPUT;
        if (r != GIF_WRITE_OK) {
            DWORD why = r == GIF_WRITE_FAILED ? FioLastError(f) : DWORD(ERROR_INVALID_DATA);
            FioClose(f);
            SetLastError(why ? why : DWORD(ERROR_WRITE_FAULT));
            return 0;
        }
        progress.Step();
    }
    if (!m_pFrames && m_pScreen) {
        // No image: still the screen and its table, so that the file reads back as the
        // container it was (a lone trailer would be no GIF at all).
        int r = WriteHeader(f, *m_pScreen, m_pPalette);
        if (r != GIF_WRITE_OK) {
            DWORD why = r == GIF_WRITE_FAILED ? FioLastError(f) : DWORD(ERROR_INVALID_DATA);
            FioClose(f);
            SetLastError(why);
            return 0;
        }
    }
    const BYTE trailer = 0x3B;
    if (!WriteAll(f, &trailer, 1)) {
        DWORD why = FioLastError(f);
        FioClose(f);
        SetLastError(why);
        return 0;
    }
    return FioCommit(f);
}
