/*
 * The WSP binary codec under the MIME file (WAP-230-WSP 8.4 header encoding, 8.5 multipart):
 * a growable byte buffer, a thin file stream (fileio.h), the primitive encodings, the
 * well-known content types and charsets, the message encoder and decoder, and a debug log.
 *
 * Primitive encodings:
 *
 *   uintvar       1..5 octets, 7 bits each, most significant group first;
 *                 high bit set on all but the last:   16384 -> 81 80 00
 *   Value-length  0..29: one octet  |  30 and more: 0x1F then uintvar   (30 -> 1F 1E)
 *   Text          octets then 0x00 (a leading 0x22 quote is dropped when read)
 *   Long-integer  Short-length (1..4) then big-endian octets   (0x1234 -> 02 12 34)
 *
 * Counts and lengths are signed 32-bit; routines return 1/0 (or -1 where said).
 */
#pragma once
#include <stdint.h>
#include <stdio.h>

#include "fileio.h"
#include "mime.h"

/* Byte buffer.  Invariant: when data is not null it has room for capacity + 1 octets and
 * data[length] == 0 after every change; 0 <= length <= capacity. */
struct WSP_BUFFER {
    int32_t length;
    uint8_t *data;
    int32_t capacity;
};

/* File stream: the path is folder followed by name.  A stream opened by WspFileCreateAtomic
 * writes a temporary file beside that path until WspFileCommit puts it in place. */
struct WSP_FILE {
    FIO_FILE *file;
    char name[128];
    char folder[128];
};

/* Open modes of WspFileOpen and seek origins of WspFileSeek. */
enum { WSP_RB = 1, WSP_WB = 2, WSP_AB = 3, WSP_RBP = 4, WSP_WBP = 5, WSP_ABP = 6 };
enum { WSP_SEEK_SET = 0, WSP_SEEK_END = 1, WSP_SEEK_CUR = 2 };

/* Fixed text buffers of the routines below: types and texts 256 (a bare type the writer takes
 * has at most 255 characters), names and charsets of WspDecodeContentType 32.  The entry reader
 * behind MimeOpenFile reads names, types and content ids whole, whatever their length. */
enum { WSP_TEXT_MAX = 256, WSP_NAME_MAX = 32, WSP_UINTVAR_MAX = 5 };

/* ---- primitive encodings ---- */

/* Encodes value into out (room for 5); returns the octet count, 0 for a negative value. */
int WspEncodeUintvar(int32_t value, uint8_t *out);
int WspBufWriteUintvar(WSP_BUFFER *buf, int32_t value);
int WspFileWriteUintvar(WSP_FILE *fp, int32_t value);
/* Reads at *pos, advancing it; -1 when *pos + 1 exceeds the length, the value runs past the
 * end, takes more than 5 octets or exceeds 2^31 - 1 (then *pos is unchanged). */
int32_t WspBufReadUintvar(const WSP_BUFFER *buf, int32_t *pos);
/* Reads octet by octet up to one without the high bit (a missing octet reads as 0); -1 when
 * more than 5 octets or a value above 2^31 - 1. */
int32_t WspFileReadUintvar(WSP_FILE *fp);

int WspBufWriteValueLength(WSP_BUFFER *buf, int32_t value);
/* Octet < 31: that value; 31: the uintvar after it (-1 when that is malformed); >= 32: 0. */
int32_t WspFileReadValueLength(WSP_FILE *fp);
int32_t WspBufReadValueLength(const WSP_BUFFER *buf, int32_t *pos);

/* Appends the string's octets and 0x00. */
int WspBufWriteText(WSP_BUFFER *buf, const char *text);
/* Reads up to and including 0x00 into out (cchOut octets with the terminator); a first 0x22 is
 * dropped, a last 0x22 removed; a longer text is cut to fit (and read to its end).  Returns the
 * stored length, -1 when the stream ends before the terminator (out then empty). */
int WspFileReadText(WSP_FILE *fp, char *out, int cchOut);
/* At *pos: skips one 0x22, copies printable octets (0x20-0x7E), terminates out, steps over a
 * 0x00 when on one; a longer text is cut to fit cchOut (and stepped over whole).  Returns 1, or
 * 0 when the buffer ends before a terminating or non-printable octet (out then empty, *pos
 * unchanged). */
int WspBufReadText(const WSP_BUFFER *buf, int32_t *pos, char *out, int cchOut);

/* Steps over one value in any of WSP's general forms (a Short-integer, a Value-length and that
 * many octets, or a text up to its 0x00), advancing *pos; 0 (*pos unchanged) when it would run
 * past end. */
int WspBufSkipValue(const WSP_BUFFER *buf, int32_t *pos, int32_t end);
/* An Integer-value (Short-integer, or Long-integer of up to 4 octets) inside end; -1 (*pos
 * unchanged) when malformed. */
int64_t WspBufReadInteger(const WSP_BUFFER *buf, int32_t *pos, int32_t end);
int WspBufWriteLongInteger(WSP_BUFFER *buf, int32_t value);
/* Short-length then big-endian octets, read as unsigned; 0 and *pos unchanged for a length of
 * 0 or above 4, or octets past the end. */
uint32_t WspBufReadLongInteger(const WSP_BUFFER *buf, int32_t *pos);
int WspIntegerLength(int32_t value);
int WspShortValue(int octet);

/* ---- well-known content types (codes 0x00-0x36) and charsets ---- */

/* The code of a name (case-sensitive); 0 for "*" "/" "*" and for names not in the table. */
int WspContentTypeCode(const char *lpszType);
/* Copies the name of codes 0-54 into out (WSP_TEXT_MAX octets); nothing for other codes. */
void WspContentTypeName(int code, char *out);
/* The IANA MIBenum of a charset name: 3 for US-ASCII, 106 for UTF-8, by their IANA names and
 * aliases in any case ("US-ASCII", "ascii", "utf-8", "UTF8", "csUTF8", ...) and this system's
 * own "utf_8"; spaces around the name and one pair of quotes are ignored.  0 for any other
 * name. */
int WspCharsetCode(const char *lpszCharset);
/* 3 -> "us-ascii", 106 -> "utf_8"; out (WSP_NAME_MAX octets) unchanged for other codes. */
void WspCharsetName(int code, char *out);

/* ---- byte buffer ---- */

WSP_BUFFER *WspBufNew(void);
WSP_BUFFER *WspBufNewSized(int32_t capacity);
void WspBufFree(WSP_BUFFER *buf);
void WspBufReset(WSP_BUFFER *buf);
/* Makes room for n more octets (capacity rounded up to a multiple of 32); 1 / 0. */
int WspBufReserve(WSP_BUFFER *buf, int32_t n);
WSP_BUFFER *WspBufFromBytes(const void *octets, int32_t count);
WSP_BUFFER *WspBufFromString(const char *text);
int32_t WspBufLength(const WSP_BUFFER *buf);
int WspBufGetByte(const WSP_BUFFER *buf, int32_t index);
int WspBufSetByte(WSP_BUFFER *buf, int32_t index, int octet);
uint8_t *WspBufPtrAt(const WSP_BUFFER *buf, int32_t index, int32_t *pCount);
int32_t WspBufCopyOut(void *dst, const WSP_BUFFER *buf, int32_t index, int32_t count);
/* Inserts count octets at index (0..length), moving the tail up; a null buf makes a new one.
 * Returns the buffer; null when count < 1 or index is outside 0..length; the buffer unchanged
 * when growth fails. */
WSP_BUFFER *WspBufInsert(WSP_BUFFER *buf, int32_t index, const void *octets, int32_t count);
WSP_BUFFER *WspBufAppend(WSP_BUFFER *buf, const void *octets, int32_t count);
WSP_BUFFER *WspBufAppendString(WSP_BUFFER *buf, const char *text);
WSP_BUFFER *WspBufAppendBuf(WSP_BUFFER *buf, const WSP_BUFFER *other);
WSP_BUFFER *WspBufAppendByte(WSP_BUFFER *buf, int octet);
int WspBufWriteRange(const WSP_BUFFER *buf, int32_t index, int32_t count, WSP_FILE *fp);

/* ---- file stream ---- */

/* Opens folder + name with mode 1 "rb", 2 "wb", 3 "ab", 4 "rb+", 5 "wb+", 6 "ab+"; null for
 * another mode, a null argument, a folder or name of 128 characters or more, or an open
 * failure. */
WSP_FILE *WspFileOpen(const char *lpszFolder, const char *lpszName, int mode);
WSP_FILE *WspFileCreate(const char *lpszFolder, const char *lpszName);
/* Like WspFileCreate, but the file appears at folder + name only through WspFileCommit; until
 * then it is a temporary file beside it, and WspFileClose throws it away.  Null with
 * GetLastError() set on failure. */
WSP_FILE *WspFileCreateAtomic(const char *lpszFolder, const char *lpszName);
/* Puts an atomic stream's file in place (replacing what was there) and frees the stream.
 * RETURNS: 1; 0 with GetLastError() set when anything written was lost or the rename failed,
 * the destination then as it was. */
int WspFileCommit(WSP_FILE *fp);
/* Closes and frees; 1, or 0 for null or when anything written did not reach the file
 * (GetLastError() says why). */
int WspFileClose(WSP_FILE *fp);
/* Non-zero once a read or write of the stream failed; GetLastError() after it says why. */
int WspFileError(WSP_FILE *fp);
char *WspFileName(WSP_FILE *fp);
char *WspFileFolder(WSP_FILE *fp);
int32_t WspFileRead(WSP_FILE *fp, void *octets, int32_t count);
int32_t WspFileWrite(WSP_FILE *fp, const void *octets, int32_t count);
/* Origin 0 start, 1 end, 2 current; 0 on success, -1 on failure. */
int WspFileSeek(WSP_FILE *fp, int origin, int32_t offset);
int32_t WspFileTell(WSP_FILE *fp);
int32_t WspFileSize(WSP_FILE *fp);
int32_t WspFileSizeOf(const char *lpszFolder, const char *lpszName);
int WspDeleteFile(const char *lpszFolder, const char *lpszName);
int WspMoveFile(const char *lpszFolder, const char *lpszName, const char *lpszNewFolder, const char *lpszNewName);
int WspFileReadByte(WSP_FILE *fp);
int WspFileWriteByte(WSP_FILE *fp, int octet);
/* Copies count octets from src to dst in blocks of 2048; returns the octets copied (less than
 * count when src ends or a write fails). */
int32_t WspFileCopy(WSP_FILE *src, int32_t count, WSP_FILE *dst);

/* ---- message codec ---- */

int WspWriteMessage(const MIME_MESSAGE *pMsg, WSP_FILE *fp);
int WspWritePartEntry(const MIME_PART *pPart, WSP_FILE *fp);
/* Appends 0x84 and the message's Content-Type value. */
int WspEncodeMessageType(WSP_BUFFER *buf, const char *lpszType, const char *lpszStartType, const char *lpszStartId);
/* Decodes a message from fp, which the message then holds; null on failure (fp closed). */
MIME_MESSAGE *WspReadMessage(WSP_FILE *fp);
/* Outputs hold WSP_TEXT_MAX octets; the parameter outputs may be null. */
int WspReadContentType(WSP_FILE *fp, char *lpszType, char *lpszTypeParam, char *lpszStartParam);
int WspReadEntries(WSP_FILE *fp, MIME_MESSAGE *pMsg, const char *lpszStartId);
/* Decodes a Content-type value at *pos.  type holds WSP_TEXT_MAX octets, name and charset
 * WSP_NAME_MAX (either may be null).  Returns 1; *pos ends after the value (clamped to the
 * buffer's length). */
int WspDecodeContentType(const WSP_BUFFER *buf, int32_t *pos, char *type, char *name, char *charset);

/* ---- debug log "/mms_wsp_wdp.txt" (standard output when it cannot be opened) ---- */

void WspLog(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void WspBufDump(const WSP_BUFFER *buf);
/* The log file's path as this process opens it (drive C's root on Linux hosts). */
const char *WspLogPath(void);
