/*
 * The codec's file stream (a file stream of fileio.h with the folder and name it was opened by)
 * and the debug log "/mms_wsp_wdp.txt".
 *
 * Paths are folder + name by plain concatenation, handed to the Win32 file calls as they are.
 */
#include <windows.h>

#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include "wsp.h"

#if !defined(_WIN32)
#include "compat/extensions.h"
#endif

namespace {

const char *const kModes[] = {"rb", "wb", "ab", "rb+", "wb+", "ab+"};

/* folder + name into out (MAX_PATH * 2); false when a part is missing or too long. */
bool join_path(const char *folder, const char *name, char *out, size_t cch)
{
    if (!folder || !name)
        return false;
    size_t a = strlen(folder), b = strlen(name);
    if (a + b + 1 > cch)
        return false;
    memcpy(out, folder, a);
    memcpy(out + a, name, b + 1);
    return true;
}

/* Checks the names and allocates the record; the stream is opened by the caller. */
WSP_FILE *new_record(const char *lpszFolder, const char *lpszName, char *path, size_t cchPath)
{
    if (!lpszFolder || !lpszName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    /* The record keeps both in 128-character fields; a longer one would be cut and name
     * another file, so it is refused. */
    if (strlen(lpszFolder) >= sizeof(((WSP_FILE *)0)->folder) || strlen(lpszName) >= sizeof(((WSP_FILE *)0)->name) ||
        !join_path(lpszFolder, lpszName, path, cchPath)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return NULL;
    }
    WSP_FILE *fp = (WSP_FILE *)calloc(1, sizeof(WSP_FILE));
    if (!fp) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    strcpy(fp->folder, lpszFolder);
    strcpy(fp->name, lpszName);
    return fp;
}

WSP_FILE *with_stream(WSP_FILE *fp, FIO_FILE *file)
{
    if (!file) {
        DWORD e = GetLastError();
        free(fp);
        SetLastError(e);
        return NULL;
    }
    fp->file = file;
    return fp;
}

}  // namespace

WSP_FILE *WspFileOpen(const char *lpszFolder, const char *lpszName, int mode)
{
    if (mode < 1 || mode > 6) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    char path[MAX_PATH * 2];
    WSP_FILE *fp = new_record(lpszFolder, lpszName, path, sizeof path);
    return fp ? with_stream(fp, FioOpen(path, kModes[mode - 1])) : NULL;
}


WSP_FILE *WspFileCreate(const char *lpszFolder, const char *lpszName)
{
    return WspFileOpen(lpszFolder, lpszName, WSP_WBP);
}

WSP_FILE *WspFileCreateAtomic(const char *lpszFolder, const char *lpszName)
{
    char path[MAX_PATH * 2];
    WSP_FILE *fp = new_record(lpszFolder, lpszName, path, sizeof path);
    return fp ? with_stream(fp, FioCreateAtomic(path)) : NULL;
}

int WspFileCommit(WSP_FILE *fp)
{
    if (!fp)
        return 0;
    int ok = FioCommit(fp->file);
    DWORD e = GetLastError();
    free(fp);
    SetLastError(e);
    return ok;
}

int WspFileClose(WSP_FILE *fp)
{
    if (!fp)
        return 0;
    int rc = FioClose(fp->file);
    DWORD e = GetLastError();
    free(fp);
    SetLastError(e);
    return rc == 0 ? 1 : 0;
}

int WspFileError(WSP_FILE *fp)
{
    if (!fp || !FioError(fp->file))
        return 0;
    SetLastError(FioLastError(fp->file));
    return 1;
}

char *WspFileName(WSP_FILE *fp)
{
    return fp ? fp->name : NULL;
}

char *WspFileFolder(WSP_FILE *fp)
{
    return fp ? fp->folder : NULL;
}

int32_t WspFileRead(WSP_FILE *fp, void *octets, int32_t count)
{
    if (!fp)
        return -1;
    if (!octets || count < 1)
        return 0;
    return (int32_t)FioRead(fp->file, octets, (size_t)count);
}

int32_t WspFileWrite(WSP_FILE *fp, const void *octets, int32_t count)
{
    if (!fp)
        return -1;
    if (!octets || count < 1)
        return 0;
    return (int32_t)FioWrite(fp->file, octets, (size_t)count);
}

int WspFileSeek(WSP_FILE *fp, int origin, int32_t offset)
{
    static const int kOrigins[] = {SEEK_SET, SEEK_END, SEEK_CUR};
    if (!fp || origin < 0 || origin > 2)
        return -1;
    return FioSeek(fp->file, offset, kOrigins[origin]);
}

int32_t WspFileTell(WSP_FILE *fp)
{
    if (!fp)
        return -1;
    long long pos = FioTell(fp->file);
    return (pos < 0 || pos > INT32_MAX) ? -1 : (int32_t)pos;
}

int32_t WspFileSize(WSP_FILE *fp)
{
    if (!fp)
        return -1;
    long long size = FioSize(fp->file);
    return (size < 0 || size > INT32_MAX) ? -1 : (int32_t)size;
}

int32_t WspFileSizeOf(const char *lpszFolder, const char *lpszName)
{
    WSP_FILE *fp = WspFileOpen(lpszFolder, lpszName, WSP_RB);
    if (!fp)
        return 0;
    int32_t size = WspFileSize(fp);
    WspFileClose(fp);
    return size < 0 ? 0 : size;
}

int WspDeleteFile(const char *lpszFolder, const char *lpszName)
{
    char path[MAX_PATH * 2];
    if (!join_path(lpszFolder, lpszName, path, sizeof path))
        return 0;
    return DeleteFileA(path) ? 1 : 0;
}

int WspMoveFile(const char *lpszFolder, const char *lpszName, const char *lpszNewFolder, const char *lpszNewName)
{
    char from[MAX_PATH * 2], to[MAX_PATH * 2];
    if (!join_path(lpszFolder, lpszName, from, sizeof from) || !join_path(lpszNewFolder, lpszNewName, to, sizeof to))
        return 0;
    return MoveFileA(from, to) ? 1 : 0;
}

int WspFileReadByte(WSP_FILE *fp)
{
    if (!fp)
        return 0;
    int c = FioGetc(fp->file);
    return c < 0 ? 0 : c;
}

int WspFileWriteByte(WSP_FILE *fp, int octet)
{
    if (!fp)
        return 0;
    unsigned char c = (unsigned char)(octet & 0xFF);
    return FioWrite(fp->file, &c, 1) == 1 ? 1 : 0;
}

int32_t WspFileCopy(WSP_FILE *src, int32_t count, WSP_FILE *dst)
{
    enum { kBlock = 2048 };
    if (!src || !dst || count < 1)
        return 0;
    uint8_t *block = (uint8_t *)malloc(kBlock);
    if (!block)
        return 0;
    int32_t done = 0;
    while (done < count) {
        int32_t want = count - done < kBlock ? count - done : kBlock;
        int32_t got = WspFileRead(src, block, want);
        if (got < 1)
            break;
        int32_t put = WspFileWrite(dst, block, got);
        if (put > 0)
            done += put;
        if (put != got)
            break;
    }
    free(block);
    /* A short copy says why: the destination's failure, the source's, or the source's end. */
    if (done < count && !WspFileError(dst) && !WspFileError(src))
        SetLastError(ERROR_HANDLE_EOF);
    return done;
}

/* ---- debug log ---- */

const char *WspLogPath(void)
{
#if defined(_WIN32)
    return "/mms_wsp_wdp.txt";
#else
    static char path[MAX_PATH * 4];
    if (!path[0]) {
        DWORD n = CompatHostPathA("C:\\mms_wsp_wdp.txt", path, sizeof path);
        if (n == 0 || n >= sizeof path)
            strcpy(path, "/mms_wsp_wdp.txt");
    }
    return path;
#endif
}

void WspLog(const char *format, ...)
{
    if (!format)
        return;
    va_list ap;
    va_start(ap, format);
    char line[1024];
    int n = vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    if (n < 0)
        return;
    if ((size_t)n >= sizeof line)
        n = (int)sizeof line - 1;
    FIO_FILE *f = FioOpen(WspLogPath(), "ab");
    if (!f || FioWrite(f, line, (size_t)n) != (size_t)n || FioClose(f) != 0) {
        if (f)
            FioClose(f);
        fwrite(line, 1, (size_t)n, stdout);
    }
}

void WspBufDump(const WSP_BUFFER *buf)
{
    if (!buf)
        return;
    WspLog("\r\n");
    WspLog("len:  %lu\r\n", (unsigned long)buf->length);
    char hex[8 * 3 + 1], text[8 + 1];
    int n = 0;
    for (int32_t i = 0; i < buf->length; ++i) {
        uint8_t b = buf->data[i];
        snprintf(hex + n * 3, sizeof hex - (size_t)n * 3, "%02x ", b);
        text[n] = (b >= 0x20 && b <= 0x7E) ? (char)b : '.';
        text[++n] = 0;
        if (n == 8) {
            WspLog("data: %s  %s\r\n", hex, text);
            n = 0;
        }
    }
    if (n > 0)
        WspLog("data: %s  %s\r\n", hex, text);
    WspLog("\r\n\r\n");
}

/* ---- primitive encodings on a stream ---- */

int WspFileWriteUintvar(WSP_FILE *fp, int32_t value)
{
    uint8_t tmp[WSP_UINTVAR_MAX];
    int n = WspEncodeUintvar(value, tmp);
    return fp && n > 0 && WspFileWrite(fp, tmp, n) == n;
}

int32_t WspFileReadUintvar(WSP_FILE *fp)
{
    if (!fp)
        return -1;
    uint32_t v = 0;
    /* WSP allows at most 5 octets; a longer run is malformed, not read on. */
    for (int i = 0; i < WSP_UINTVAR_MAX; ++i) {
        int b = WspFileReadByte(fp);
        if (v > ((uint32_t)INT32_MAX >> 7))
            return -1; /* the next group would pass 2^31 - 1 */
        v = (v << 7) | (uint32_t)(b & 0x7F);
        if (!(b & 0x80))
            return (int32_t)v;
    }
    return -1;
}

int32_t WspFileReadValueLength(WSP_FILE *fp)
{
    if (!fp)
        return -1;
    int b = WspFileReadByte(fp);
    if (b < 31)
        return b;
    if (b > 31)
        return 0;
    return WspFileReadUintvar(fp);
}

int WspFileReadText(WSP_FILE *fp, char *out, int cchOut)
{
    if (!fp || !out || cchOut < 1)
        return -1;
    int n = 0;
    bool first = true;
    for (;;) {
        int c = FioGetc(fp->file);
        if (c < 0) {
            out[0] = 0;
            return -1;
        }
        if (c == 0)
            break;
        if (first && c == 0x22) {
            first = false;
            continue;
        }
        first = false;
        if (n + 1 < cchOut) /* cut to fit; the rest is read and dropped */
            out[n++] = (char)c;
    }
    if (n > 0 && out[n - 1] == 0x22)
        --n;
    out[n] = 0;
    return n;
}
