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
struct MIME_EXTRACT_STATE;

/* Called before each non-start part is extracted, with the name it is written under and the
 * caller's value.  The result is ignored. */
typedef int (*MIME_PROGRESS_PROC)(const char *lpszName, uint32_t dwUser);

struct MIME_PART {
    char *contentType;  /* composing: the given type (may carry ";charset=..."); reading: decoded */
    char *contentId;    /* with its angle brackets, e.g. "<smil>"; may be null */
    char *name;         /* reading: Name parameter or Content-Location; composing: null, or the
                           Content-Location to write instead of fileName (malloc'd, owned) */
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
    MIME_EXTRACT_STATE *extracted; /* reading: the file names extraction gave to parts */
};

/* For MimeAddPart: contentType, folder and fileName required, contentId optional.
 * For MimeExtractPart: folder is the input; contentType, fileName (the file name the part was
 * written under) and contentId are outputs owned by the message. */
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
/* ... refused a "text/plain" part whose charset is neither US-ASCII nor UTF-8 (the entry can
 * name no other). */
#define MIME_ERROR_UNKNOWN_CHARSET 0x20000102L
/* ... refused a part whose data file is empty (an entry of DataLen 0 is malformed to peers). */
#define MIME_ERROR_EMPTY_PART 0x20000103L
/* An entry of a packed folder is a link: it may lead out of the folder, so it is left out. */
#define MIME_ERROR_LINK 0x20000104L

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

/*
 * Extraction.  A part is written to the folder under a file name made from its name (else its
 * content id less the first and last characters, else "part<N>" and an extension for its type,
 * N counting the message's parts from 1):
 *   - a name that points outside the folder (a leading separator, a drive, a ".." step) is
 *     refused: nothing is written for that part;
 *   - other separators and the characters no Windows file name holds (< > : " | ? * and
 *     control characters) become "_"; trailing dots and spaces are dropped; a name left empty
 *     is generated as above; a name is cut to 127 characters, keeping its extension;
 *   - a name that is already another part's in this folder (compared as Windows compares
 *     names: in any case, cp1252 letters included), that names a device (CON, PRN, AUX, NUL,
 *     COM0-9, LPT0-9, with any extension), that is the message file itself or, for a message
 *     with a start part, "mms.smil", gets a number: "x (1).gif", "x (2).gif", ...;
 *   - a file that was there before is kept unless MIME_EXTRACT_REPLACE is given (never the
 *     message being read); the part is then not written.
 * Each file appears complete or not at all.  The same part extracted again into the same
 * folder goes to the same file, replacing it.
 */
#define MIME_EXTRACT_REPLACE 0x0001u

/* What became of one part. */
enum {
    MIME_EXTRACT_WRITTEN = 1, /* written (under a numbered name when its own was taken) */
    MIME_EXTRACT_KEPT = 2,    /* a file of that name was already there and was kept (ERROR_FILE_EXISTS) */
    MIME_EXTRACT_REFUSED = 3, /* its name points outside the folder (ERROR_INVALID_NAME) */
    MIME_EXTRACT_FAILED = 4,  /* it could not be written; the code says why */
};

/* Called by MimeExtractAllEx once per part (the start part first): the part, its outcome, the
 * file name written, kept or tried (for a refused part: its own name), the error code (0 when
 * written) and the caller's value. */
typedef void (*MIME_EXTRACT_REPORT)(const MIME_PART *pPart, int nOutcome, const char *lpszFileName,
                                    uint32_t dwError, void *pUser);

/* Copies the start part's data to lpszFolder + lpszFileName: 1, or 0 with GetLastError() set
 * (ERROR_FILE_EXISTS when a file was there: it is kept).  The name is the caller's and is used
 * as it is. */
int MimeExtractStart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName);
/* The same with flags (MIME_EXTRACT_REPLACE) and the outcome (may be null). */
int MimeExtractStartEx(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName, uint32_t dwFlags,
                       int *pnOutcome);

/* Copies the nIndex-th non-start part (from 0) to pInfo->folder under the file name the rules
 * above give, calling the progress procedure first, and points pInfo's other fields at the
 * part's strings: contentType, contentId, and fileName = the file name used (owned by the
 * message).  1, or 0 with GetLastError() saying why (see the outcomes). */
int MimeExtractPart(MIME_MESSAGE *pMsg, int nIndex, MIME_PART_INFO *pInfo);
/* The same with flags and the outcome (may be null). */
int MimeExtractPartEx(MIME_MESSAGE *pMsg, int nIndex, MIME_PART_INFO *pInfo, uint32_t dwFlags, int *pnOutcome);

/* Extracts the start part as "mms.smil" (when the message has one) and every other part into
 * lpszFolder, going on after a part that is refused, kept or fails.  1 when every part was
 * written; 0 otherwise, GetLastError() holding the first problem's code. */
int MimeExtractAll(MIME_MESSAGE *pMsg, const char *lpszFolder);
/* The same with flags and a report of each part (pfnReport may be null). */
int MimeExtractAllEx(MIME_MESSAGE *pMsg, const char *lpszFolder, uint32_t dwFlags, MIME_EXTRACT_REPORT pfnReport,
                     void *pUser);

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
