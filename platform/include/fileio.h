/*
 * File streams of the library and the stand-ins: the one way their code reaches files.
 *
 * A stream is a Win32 file handle (CreateFileA and friends: the system's own on Windows, the
 * compat layer's elsewhere, which maps Windows paths to host files) with a 64 KB buffer of its
 * own.  Because every open, read, write and rename goes through the Win32 file calls, a test can
 * make the Nth of them fail and see how an operation copes.
 *
 * Errors keep Windows' codes: a failing call leaves its reason in GetLastError(), and a stream
 * remembers the first failure of a read or write (FioError / FioLastError) so that a caller
 * checking once at the end still reports the real cause.
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdio.h>

typedef struct FIO_FILE FIO_FILE;

#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L /* "An operation is not supported on a directory." */
#endif

/* Our own code for GetLastError() (bit 29: an application's code, never the system's): a
 * writer refused an output that is one of its own inputs. */
#define FIO_ERROR_OUTPUT_IS_INPUT 0x20000001L

/* Opens lpszPath with a C runtime mode: "rb", "wb", "ab", "rb+", "wb+", "ab+" ('t' is not
 * accepted).
 * RETURNS: the stream, or null with GetLastError() set: ERROR_INVALID_PARAMETER for a null path
 * or an unknown mode, ERROR_DIRECTORY_NOT_SUPPORTED when the path names a folder, otherwise the
 * code of the failing CreateFileA. */
FIO_FILE *FioOpen(const char *lpszPath, const char *mode);

/* Reads up to n octets; returns how many were read (fewer at the end of the file or after a
 * failure: FioError tells them apart). */
size_t FioRead(FIO_FILE *f, void *buf, size_t n);
/* The next octet, or -1 at the end of the file or after a failure. */
int FioGetc(FIO_FILE *f);
/* Writes n octets (buffered); returns n, or fewer after a failure, which sticks. */
size_t FioWrite(FIO_FILE *f, const void *buf, size_t n);
/* whence is SEEK_SET, SEEK_CUR or SEEK_END.  0, or -1 (negative position, failed call). */
int FioSeek(FIO_FILE *f, long long off, int whence);
/* The position, or -1 for a null stream. */
long long FioTell(FIO_FILE *f);
/* The file's size including buffered output, or -1 (null stream, failed call). */
long long FioSize(FIO_FILE *f);
/* Writes buffered output to the file: 0, or -1 after a failure. */
int FioFlush(FIO_FILE *f);
/* Non-zero once a read, write, seek or flush has failed; FioLastError gives the first cause. */
int FioError(FIO_FILE *f);
DWORD FioLastError(FIO_FILE *f);

/* Writes what is buffered, closes and frees the stream (a null stream is ignored).
 * RETURNS: 0, or -1 when anything written through the stream did not reach the file (a failure
 * seen earlier included); GetLastError() then holds the first cause.
 * NOTES: a stream made by FioCreateAtomic that was not committed is abandoned here: its
 * temporary file is deleted and the destination stays as it was. */
int FioClose(FIO_FILE *f);

/* Writing a file so that it is either complete or untouched: the output goes to a new temporary
 * file in the destination's folder ("~md" and hex digits, ".tmp"), which FioCommit renames over
 * the destination.
 * RETURNS: the stream, or null with GetLastError() set (ERROR_INVALID_PARAMETER for a null or
 * empty path, ERROR_FILENAME_EXCED_RANGE when the temporary name would not fit MAX_PATH). */
FIO_FILE *FioCreateAtomic(const char *lpszDest);
/* Flushes and closes an atomic stream and replaces the destination with it; frees the stream.
 * RETURNS: 1; or 0 with GetLastError() set, the temporary file deleted and the destination as it
 * was (also when any earlier write failed).  A stream not made by FioCreateAtomic is closed and
 * gives 0 with ERROR_INVALID_PARAMETER. */
int FioCommit(FIO_FILE *f);

/* Like FioCommit, but never replaces: when a file (or folder) is already at the destination
 * the temporary file is deleted and the result is 0 with ERROR_ALREADY_EXISTS. */
int FioCommitNew(FIO_FILE *f);

/* 1 when both names reach one existing file (same volume and file index), 0 when they do not
 * or either does not exist, -1 with GetLastError() set when it cannot be told. */
int FioSameFile(const char *lpszA, const char *lpszB);

/* The size of the file at lpszPath, or -1 with GetLastError() set (a folder gives
 * ERROR_DIRECTORY_NOT_SUPPORTED). */
long long FioPathSize(const char *lpszPath);
