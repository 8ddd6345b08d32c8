/*
 * Interim output streams for the GIF writer (the library's file streams replace this file):
 * FioCreateAtomic writes to a temporary file beside the destination, FioCommit renames it
 * into place, FioClose of an uncommitted stream deletes it.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "gif_private.h"

struct FIO_FILE {
    FILE *f = nullptr;
    std::string temp, dest;
    bool failed = false;
    DWORD lastError = 0;
};

namespace {

DWORD ErrnoToWin32(int e) {
    switch (e) {
    case ENOSPC:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
        return ERROR_PATH_NOT_FOUND;
    default:
        return ERROR_WRITE_FAULT;
    }
}

void Fail(FIO_FILE *f, int e) {
    if (!f->failed) {
        f->failed = true;
        f->lastError = ErrnoToWin32(e);
    }
    SetLastError(f->lastError);
}

}  // namespace

FIO_FILE *FioCreateAtomic(const char *lpszDest) {
    if (!lpszDest || !*lpszDest) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    FIO_FILE *f = new FIO_FILE;
    f->dest = lpszDest;
    f->temp = f->dest + ".~md" + std::to_string(GetCurrentProcessId()) + ".tmp";
    f->f = fopen(f->temp.c_str(), "wb");
    if (!f->f) {
        SetLastError(ErrnoToWin32(errno));
        delete f;
        return nullptr;
    }
    setvbuf(f->f, nullptr, _IOFBF, 1 << 16);
    return f;
}

size_t FioWrite(FIO_FILE *f, const void *buf, size_t n) {
    if (!f || f->failed)
        return 0;
    size_t w = fwrite(buf, 1, n, f->f);
    if (w != n)
        Fail(f, errno);
    return w;
}

int FioError(FIO_FILE *f) { return f && f->failed; }
DWORD FioLastError(FIO_FILE *f) { return f ? f->lastError : 0; }

int FioClose(FIO_FILE *f) {
    if (!f)
        return 0;
    if (f->f)
        fclose(f->f);
    remove(f->temp.c_str());
    bool failed = f->failed;
    if (failed)
        SetLastError(f->lastError);
    delete f;
    return failed ? -1 : 0;
}

int FioCommit(FIO_FILE *f) {
    if (!f)
        return 0;
    if (fflush(f->f) != 0)
        Fail(f, errno);
    if (fclose(f->f) != 0)
        Fail(f, errno);
    f->f = nullptr;
    bool ok = !f->failed;
#if defined(_WIN32)
    if (ok && !MoveFileExA(f->temp.c_str(), f->dest.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        f->failed = true;
        f->lastError = GetLastError();
        ok = false;
    }
#else
    if (ok && rename(f->temp.c_str(), f->dest.c_str()) != 0)
        Fail(f, errno);
    ok = !f->failed;
#endif
    if (!ok) {
        remove(f->temp.c_str());
        SetLastError(f->lastError);
    }
    delete f;
    return ok ? 1 : 0;
}
