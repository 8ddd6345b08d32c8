/*
 * The multipart message object and its MIME file.
 *
 * A MIME_MESSAGE lives in one of two modes:
 *   composing (mode 0, MimeCreate): parts name data files on disk (folder + fileName, joined by
 *            plain concatenation, so a folder ends in its separator); MimeWriteFile writes the
 *            file through the WSP codec (wsp.h);
 *   reading   (mode 1, MimeOpenFile): the MIME file stays open in `stream`; parts name where
 *            their data lies in it (dataOffset, dataLength) and are copied out on extraction.
 *
 * The MIME file:
 *
 *   +------+--------------------+-------+------------------------------------------------+
 *   | 0x84 | message type       | count | entries: HeadersLen DataLen ContentType Headers |
 *   |      | 0xA3 (mixed) or    | 1 oct |          (uintvar)  (uintvar)  (value) (octets) |
 *   |      | Value-length 0xB3  |       |          Data (DataLen octets)                  |
 *   |      | 0x89 type 0x8A id  |       |                                                |
 *   +------+--------------------+-------+------------------------------------------------+
 *
 * All strings of the object are NUL-terminated, owned by it and allocated from the C heap.
 * Every operation returns 1 for success and 0 for failure unless said otherwise.
 */
#pragma once
#include <stdint.h>

struct WSP_FILE;

/* Called before each non-start part is extracted, with the name it is written under and the
 * caller's value.  The result is ignored. */
typedef int (*MIME_PROGRESS_PROC)(const char *lpszName, uint32_t dwUser);

struct MIME_PART {
    char *contentType;  /* composing: the given type (may carry ";charset=..."); reading: decoded */
    char *contentId;    /* with its angle brackets, e.g. "<smil>"; may be null */
    char *name;         /* reading: Name parameter or Content-Location; composing: null */
    char *fileName;     /* composing: file name of the data */
    char *folder;       /* composing: folder of the data */
    int32_t dataOffset; /* reading: position of the data in the MIME file */
    int32_t dataLength; /* reading: length of the data */
    MIME_PART *next;
};

struct MIME_MESSAGE {
    uint8_t mode;         /* MIME_MODE_COMPOSING or MIME_MODE_READING */
    char *contentType;    /* composing: 128-character buffer filled by MimeWriteFile */
    MIME_PART *startPart; /* the start (SMIL) part, or null */
    int32_t partCount;
    MIME_PART *firstPart; /* list in insertion (or file) order */
    WSP_FILE *stream;     /* reading: the open MIME file */
    MIME_PROGRESS_PROC progressProc;
    uint32_t progressUser;
};

/* For MimeAddPart: contentType, folder and fileName required, contentId optional.
 * For MimeExtractPart: folder is the input; contentType, fileName (the part's name) and
 * contentId are outputs pointing into the part, owned by the message. */
struct MIME_PART_INFO {
    const char *contentType;
    const char *folder;
    const char *fileName;
    const char *contentId;
};

enum { MIME_MODE_COMPOSING = 0, MIME_MODE_READING = 1 };

/* The most parts a written message can carry: its count field is one octet and must equal its
 * uintvar form. */
enum { MIME_MAX_PARTS = 127 };
/* GetLastError() after MimeWriteFile refused a message of more than MIME_MAX_PARTS parts (an
 * application's code: bit 29 set). */
#define MIME_ERROR_TOO_MANY_PARTS 0x20000101L

#define MIME_TYPE_MIXED "application/vnd.wap.multipart.mixed"
#define MIME_TYPE_RELATED "application/vnd.wap.multipart.related"
#define MIME_TYPE_SMIL "application/smil"
#define MIME_SMIL_ID "<smil>"
#define MIME_SMIL_FILE "mms.smil"

/* A new, empty message in composing mode, or null. */
MIME_MESSAGE *MimeCreate(void);

/* Appends a part that copies info's strings.  Fails (message unchanged) for a null argument, a
 * message in reading mode, a missing contentType/folder/fileName, or no memory. */
int MimeAddPart(MIME_MESSAGE *pMsg, const MIME_PART_INFO *pInfo);

/* Appends the SMIL part ("application/smil", "<smil>") and makes it the start part. */
int MimeAddSmilPart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName);

/* Writes the message to lpszFolder + lpszFileName: 1, or 0 with GetLastError() saying why.
 * NOTES: the file is written beside the destination and renamed into place when complete, so a
 * failure (a part whose data cannot be read, a full disk) leaves what was there before.  A
 * message of more than MIME_MAX_PARTS parts is refused (MIME_ERROR_TOO_MANY_PARTS), and so is a
 * destination that is one of the parts' own files (FIO_ERROR_OUTPUT_IS_INPUT). */
int MimeWriteFile(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName);

/* Opens and decodes a MIME file; a message in reading mode, or null for a file that cannot be
 * opened or is not a well-formed message (bad first octet, count 0, a HeadersLen of 0, a
 * HeadersLen or DataLen beyond the file, a uintvar over 5 octets, an unknown entry header, a
 * text without terminator).  GetLastError() then holds the file call's code, or
 * ERROR_INVALID_DATA for a file that opened but is not a message.
 * NOTES: a part of DataLen 0 (written from an empty file) is kept and extracts as an empty
 * file. */
MIME_MESSAGE *MimeOpenFile(const char *lpszFolder, const char *lpszFileName);

/* Parts other than the start part: partCount - 1 for a related message, else partCount; 0 for
 * null. */
int MimeOtherPartCount(const MIME_MESSAGE *pMsg);

/* Copies the start part's data to lpszFolder + lpszFileName. */
int MimeExtractStart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName);

/* Copies the nIndex-th non-start part (from 0) to pInfo->folder + the part's name, calling the
 * progress procedure first, and points pInfo's other fields at the part's strings.
 * NOTES: the name is the part's name or, without one, its content id less the first and last
 * characters.  A name that is empty, holds a path separator, a drive colon or "..", is refused:
 * extraction never writes outside the given folder.  A short copy (truncated file) fails.
 * Each file appears complete or not at all, and never replaces the message being read
 * (FIO_ERROR_OUTPUT_IS_INPUT); GetLastError() says why a part failed. */
int MimeExtractPart(MIME_MESSAGE *pMsg, int nIndex, MIME_PART_INFO *pInfo);

/* Extracts the start part as "mms.smil" (related messages) and every other part into
 * lpszFolder; stops at the first failure. */
int MimeExtractAll(MIME_MESSAGE *pMsg, const char *lpszFolder);

/* Frees the message, its parts and strings, and closes its stream.  Null is ignored. */
void MimeDestroy(MIME_MESSAGE *pMsg);

/* Removes the progress procedure and its value.  Null is ignored. */
void MimeClearProgress(MIME_MESSAGE *pMsg);

/* Splits "type;param=value;..." into the bare type and the value of one parameter.
 * lpszParam holds the parameter's name on entry and its value on return (empty when the name
 * does not occur; unchanged when lpszSrc has no ";").  Both outputs hold MIME_SPLIT_MAX
 * characters; longer texts are cut to MIME_SPLIT_MAX - 1.  Fails for a null lpszSrc or lpszType.
 * NOTES: the name is found anywhere in lpszSrc, case-sensitively; "=" and spaces after it are
 * skipped. */
enum { MIME_SPLIT_MAX = 256 };
int MimeSplitContentType(const char *lpszSrc, char *lpszType, char *lpszParam);

/* The same with explicit output sizes (each at least 1). */
int MimeSplitContentTypeEx(const char *lpszSrc, char *lpszType, int cchType, char *lpszParam, int cchParam);
