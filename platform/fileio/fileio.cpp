/*
 * Buffered file streams over the Win32 file calls.
 *
 * One buffer serves both directions; the stream is in one of three states:
 *
 *   idle     nothing buffered; the handle's position is the stream's position
 *   reading  buf[0, len) came from the file at pos - len; the caller is at pos - len + off
 *   writing  buf[0, off) waits to be written at pos; the caller is at pos + off
 *
 * pos is always the handle's own position.  A change of direction or a seek first brings the
 * handle to the caller's position (writing out or dropping the buffer).
 */
#include "fileio.h"

#include <stdlib.h>
#include <string.h>

struct FIO_FILE {
    HANDLE h;
    bool canRead, canWrite, append;
    enum { Idle, Reading, Writing } state;
    unsigned char *buf;
    size_t len, off;
    long long pos;
    DWORD error;  // first failure, 0 while none
    char *temp;   // atomic streams: the temporary file and the destination
    char *dest;
};

namespace {

const size_t kBufferSize = 64 * 1024;

void fail(FIO_FILE *f, DWORD code)
{
    if (!f->error)
        f->error = code ? code : ERROR_GEN_FAILURE;
    SetLastError(f->error);
}

bool move_handle(FIO_FILE *f, long long off, DWORD method, long long *result)
{
    LONG high = (LONG)(off >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(f->h, (LONG)(off & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    *result = ((long long)high << 32) | low;
    return true;
}

/* Writes out buf[0, off); the stream is idle afterwards unless the write failed. */
bool flush_writes(FIO_FILE *f)
{
    if (f->state != FIO_FILE::Writing)
        return true;
    size_t done = 0;
    while (done < f->off) {
        DWORD put = 0;
        if (!WriteFile(f->h, f->buf + done, (DWORD)(f->off - done), &put, NULL) || put == 0) {
            fail(f, GetLastError());
            /* What was not written is dropped: the failure sticks and the caller sees it. */
            f->pos += (long long)done;
            f->off = 0;
            f->state = FIO_FILE::Idle;
            return false;
        }
        done += put;
    }
    f->pos += (long long)done;
    f->off = 0;
    f->state = FIO_FILE::Idle;
    return true;
}

/* Brings the handle to the caller's position and empties the buffer. */
bool settle(FIO_FILE *f)
{
    if (f->state == FIO_FILE::Writing)
        return flush_writes(f);
    if (f->state == FIO_FILE::Reading) {
        long long back = (long long)(f->len - f->off), at;
        f->state = FIO_FILE::Idle;
        f->len = f->off = 0;
        if (back && !move_handle(f, -back, FILE_CURRENT, &at)) {
            fail(f, GetLastError());
            return false;
        }
        if (back)
            f->pos = at;
    }
    return true;
}

bool read_handle(FIO_FILE *f, void *dst, size_t n, size_t *got)
{
    *got = 0;
    while (*got < n) {
        DWORD part = 0, want = (DWORD)((n - *got) > 0x40000000 ? 0x40000000 : (n - *got));
        if (!ReadFile(f->h, (unsigned char *)dst + *got, want, &part, NULL)) {
            fail(f, GetLastError());
            f->pos += (long long)*got;
            return false;
        }
        if (part == 0)
            break;
        *got += part;
    }
    f->pos += (long long)*got;
    return true;
}

FIO_FILE *make_stream(HANDLE h, bool r, bool w, bool append)
{
    FIO_FILE *f = (FIO_FILE *)calloc(1, sizeof(FIO_FILE));
    unsigned char *buf = (unsigned char *)malloc(kBufferSize);
    if (!f || !buf) {
        free(f);
        free(buf);
        CloseHandle(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    f->h = h;
    f->canRead = r;
    f->canWrite = w;
    f->append = append;
    f->state = FIO_FILE::Idle;
    f->buf = buf;
    return f;
}

bool is_folder(const char *path)
{
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE open_handle(const char *path, DWORD access, DWORD disposition)
{
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, disposition,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        /* The system says "access denied" for a folder; say what is really wrong. */
        if (e == ERROR_ACCESS_DENIED && is_folder(path))
            e = ERROR_DIRECTORY_NOT_SUPPORTED;
        SetLastError(e);
    }
    return h;
}

void free_stream(FIO_FILE *f)
{
    free(f->buf);
    free(f->temp);
    free(f->dest);
    free(f);
}

/* Closes the handle after writing out the buffer; false when anything was lost. */
bool close_handle(FIO_FILE *f)
{
    bool ok = flush_writes(f) && !f->error;
    if (!CloseHandle(f->h) && ok) {
        fail(f, GetLastError());
        ok = false;
    }
    f->h = INVALID_HANDLE_VALUE;
    if (!ok)
        SetLastError(f->error);
    return ok;
}

char *dup_string(const char *s)
{
    size_t n = strlen(s) + 1;
    char *d = (char *)malloc(n);
    if (d)
        memcpy(d, s, n);
    return d;
}

}  // namespace

FIO_FILE *FioOpen(const char *lpszPath, const char *mode)
{
    if (!lpszPath || !mode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    static const struct {
        const char *mode;
        DWORD access, disposition;
        bool append;
    } kModes[] = {
        {"rb", GENERIC_READ, OPEN_EXISTING, false},
        {"wb", GENERIC_WRITE, CREATE_ALWAYS, false},
        {"ab", GENERIC_WRITE, OPEN_ALWAYS, true},
        {"rb+", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, false},
        {"wb+", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, false},
        {"ab+", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, true},
    };
    for (const auto &m : kModes) {
        if (strcmp(m.mode, mode) != 0)
            continue;
        HANDLE h = open_handle(lpszPath, m.access, m.disposition);
        if (h == INVALID_HANDLE_VALUE)
            return NULL;
        FIO_FILE *f = make_stream(h, (m.access & GENERIC_READ) != 0, (m.access & GENERIC_WRITE) != 0, m.append);
        if (f)
            SetLastError(NO_ERROR);
        return f;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
}

size_t FioRead(FIO_FILE *f, void *buf, size_t n)
{
    if (!f || !n)
        return 0;
    if (!buf || !f->canRead) {
        fail(f, !buf ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return 0;
    }
    if (f->state == FIO_FILE::Writing && !settle(f))
        return 0;
    unsigned char *out = (unsigned char *)buf;
    size_t done = 0;
    while (done < n) {
        if (f->state == FIO_FILE::Reading && f->off < f->len) {
            size_t take = f->len - f->off < n - done ? f->len - f->off : n - done;
            memcpy(out + done, f->buf + f->off, take);
            f->off += take;
            done += take;
            continue;
        }
        f->state = FIO_FILE::Idle;
        f->len = f->off = 0;
        size_t got;
        if (n - done >= kBufferSize) {
            /* Large reads go straight to the caller. */
            if (!read_handle(f, out + done, n - done, &got))
                return done + got;
            return done + got;
        }
        if (!read_handle(f, f->buf, kBufferSize, &got) || got == 0)
            return done;
        f->state = FIO_FILE::Reading;
        f->len = got;
    }
    return done;
}

int FioGetc(FIO_FILE *f)
{
    if (f && f->state == FIO_FILE::Reading && f->off < f->len)
        return f->buf[f->off++];
    unsigned char c;
    return FioRead(f, &c, 1) == 1 ? c : -1;
}

size_t FioWrite(FIO_FILE *f, const void *buf, size_t n)
{
    if (!f || !n)
        return 0;
    if (!buf || !f->canWrite) {
        fail(f, !buf ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return 0;
    }
    if (f->error)
        return 0;
    if (f->state == FIO_FILE::Reading && !settle(f))
        return 0;
    if (f->state == FIO_FILE::Idle && f->append) {
        long long at;
        if (!move_handle(f, 0, FILE_END, &at)) {
            fail(f, GetLastError());
            return 0;
        }
        f->pos = at;
    }
    const unsigned char *in = (const unsigned char *)buf;
    size_t done = 0;
    while (done < n) {
        if (f->state != FIO_FILE::Writing && n - done >= kBufferSize) {
            /* Large writes go straight to the file. */
            f->state = FIO_FILE::Writing;
            unsigned char *keep = f->buf;
            f->buf = (unsigned char *)in + done;
            f->off = n - done;
            bool ok = flush_writes(f);
            f->buf = keep;
            return ok ? n : done;
        }
        f->state = FIO_FILE::Writing;
        size_t room = kBufferSize - f->off, take = room < n - done ? room : n - done;
        memcpy(f->buf + f->off, in + done, take);
        f->off += take;
        done += take;
        if (f->off == kBufferSize && !flush_writes(f))
            return done - take;
    }
    return n;
}

int FioSeek(FIO_FILE *f, long long off, int whence)
{
    if (!f)
        return -1;
    long long base;
    if (whence == SEEK_SET)
        base = 0;
    else if (whence == SEEK_CUR)
        base = FioTell(f);
    else if (whence == SEEK_END) {
        base = FioSize(f);
        if (base < 0)
            return -1;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    long long target = base + off;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return -1;
    }
    /* A seek within what was read keeps the buffer. */
    if (f->state == FIO_FILE::Reading) {
        long long first = f->pos - (long long)f->len;
        if (target >= first && target <= f->pos) {
            f->off = (size_t)(target - first);
            return 0;
        }
    }
    if (!settle(f))
        return -1;
    long long at;
    if (!move_handle(f, target, FILE_BEGIN, &at)) {
        fail(f, GetLastError());
        return -1;
    }
    f->pos = at;
    return 0;
}

long long FioTell(FIO_FILE *f)
{
    if (!f)
        return -1;
    if (f->state == FIO_FILE::Reading)
        return f->pos - (long long)(f->len - f->off);
    if (f->state == FIO_FILE::Writing)
        return f->pos + (long long)f->off;
    return f->pos;
}

long long FioSize(FIO_FILE *f)
{
    if (!f)
        return -1;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(f->h, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return -1;
    long long size = ((long long)high << 32) | low;
    if (f->state == FIO_FILE::Writing && f->pos + (long long)f->off > size)
        size = f->pos + (long long)f->off;
    return size;
}

int FioFlush(FIO_FILE *f)
{
    if (!f)
        return -1;
    return flush_writes(f) && !f->error ? 0 : -1;
}

int FioError(FIO_FILE *f)
{
    return f && f->error ? 1 : 0;
}

DWORD FioLastError(FIO_FILE *f)
{
    return f ? f->error : ERROR_INVALID_PARAMETER;
}

int FioClose(FIO_FILE *f)
{
    if (!f)
        return 0;
    bool ok = close_handle(f);
    DWORD e = f->error;
    if (f->temp) {
        DeleteFileA(f->temp);
        ok = true;  // abandoning an atomic stream loses nothing the caller asked to keep
    }
    free_stream(f);
    SetLastError(e);
    return ok ? 0 : -1;
}

FIO_FILE *FioCreateAtomic(const char *lpszDest)
{
    if (!lpszDest || !*lpszDest) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    size_t n = strlen(lpszDest), cut = n;
    while (cut > 0 && lpszDest[cut - 1] != '\\' && lpszDest[cut - 1] != '/' && lpszDest[cut - 1] != ':')
        --cut;
    if (cut == n) {
        SetLastError(ERROR_INVALID_NAME);  // a folder, not a file
        return NULL;
    }
    const size_t kTail = 3 + 8 + 4;  // "~md" + 8 hex digits + ".tmp"
    if (cut + kTail >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return NULL;
    }
    char temp[MAX_PATH];
    memcpy(temp, lpszDest, cut);
    static unsigned s_counter;
    unsigned seed = (unsigned)GetTickCount() ^ ((unsigned)GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 64; ++attempt) {
        unsigned tag = seed + (++s_counter) * 2654435761u;
        wsprintfA(temp + cut, "~md%08x.tmp", tag);
        HANDLE h = CreateFileA(temp, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return NULL;
        }
        FIO_FILE *f = make_stream(h, true, true, false);
        if (!f) {
            DeleteFileA(temp);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
        f->temp = dup_string(temp);
        f->dest = dup_string(lpszDest);
        if (!f->temp || !f->dest) {
            CloseHandle(f->h);
            DeleteFileA(temp);
            free_stream(f);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
        SetLastError(NO_ERROR);
        return f;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return NULL;
}

static int commit(FIO_FILE *f, DWORD flags)
{
    if (!f) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!f->temp) {
        FioClose(f);
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // On the disk before it takes the name: a power cut leaves the old file or the new one.
    if (flush_writes(f) && !f->error && !FlushFileBuffers(f->h))
        fail(f, GetLastError());
    bool ok = close_handle(f);
    DWORD e = f->error;
    if (ok && !MoveFileExA(f->temp, f->dest, flags)) {
        e = GetLastError();
        ok = false;
    }
    if (!ok)
        DeleteFileA(f->temp);
    free_stream(f);
    SetLastError(ok ? NO_ERROR : e);
    return ok ? 1 : 0;
}

int FioCommit(FIO_FILE *f)
{
    return commit(f, MOVEFILE_REPLACE_EXISTING);
}

int FioCommitNew(FIO_FILE *f)
{
    int ok = commit(f, 0);
    /* Windows says ERROR_ALREADY_EXISTS, some file systems ERROR_FILE_EXISTS: one code. */
    if (!ok && GetLastError() == ERROR_FILE_EXISTS)
        SetLastError(ERROR_ALREADY_EXISTS);
    return ok;
}

int FioSameFile(const char *lpszA, const char *lpszB)
{
    if (!lpszA || !lpszB) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info[2];
    const char *names[2] = {lpszA, lpszB};
    for (int i = 0; i < 2; ++i) {
        /* No access asked: the file's identity is readable even when its data is not. */
        HANDLE h = CreateFileA(names[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
                return 0;
            return -1;
        }
        BOOL got = GetFileInformationByHandle(h, &info[i]);
        DWORD e = GetLastError();
        CloseHandle(h);
        if (!got) {
            SetLastError(e);
            return -1;
        }
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
                   info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
                   info[0].nFileIndexLow == info[1].nFileIndexLow
               ? 1
               : 0;
}

long long FioPathSize(const char *lpszPath)
{
    FIO_FILE *f = FioOpen(lpszPath, "rb");
    if (!f)
        return -1;
    long long size = FioSize(f);
    DWORD e = GetLastError();
    FioClose(f);
    SetLastError(e);
    return size;
}
