/*
 * The multipart message object (see mime.h): a singly linked part list in insertion or file
 * order, with the start part, when there is one, somewhere in it.  Composing parts own
 * contentType, contentId, fileName and folder; reading parts own contentType, contentId and
 * name, and locate their data in the open stream.  Encoding and decoding are the WSP codec's.
 */
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fileio.h"
#include "mime.h"
#include "wsp.h"

static char *dup_string(const char *s)
{
    size_t n = strlen(s) + 1;
    char *d = (char *)malloc(n);
    if (d)
        memcpy(d, s, n);
    return d;
}

static void free_part(MIME_PART *p, bool composing)
{
    free(p->contentType);
    free(p->contentId);
    free(p->name);
    if (composing) {
        free(p->fileName);
        free(p->folder);
    }
    free(p);
}

MIME_MESSAGE *MimeCreate(void)
{
    return (MIME_MESSAGE *)calloc(1, sizeof(MIME_MESSAGE));
}

/* The internal form: the new node, or null. */
static MIME_PART *add_part(MIME_MESSAGE *pMsg, const MIME_PART_INFO *pInfo)
{
    if (!pMsg || !pInfo || pMsg->mode != MIME_MODE_COMPOSING || !pInfo->contentType || !pInfo->fileName ||
        !pInfo->folder)
        return NULL;
    MIME_PART *p = (MIME_PART *)calloc(1, sizeof(MIME_PART));
    if (!p)
        return NULL;
    p->contentType = dup_string(pInfo->contentType);
    p->fileName = dup_string(pInfo->fileName);
    p->folder = dup_string(pInfo->folder);
    if (pInfo->contentId)
        p->contentId = dup_string(pInfo->contentId);
    if (!p->contentType || !p->fileName || !p->folder || (pInfo->contentId && !p->contentId)) {
        free_part(p, true);
        return NULL;
    }
    MIME_PART **tail = &pMsg->firstPart;
    while (*tail)
        tail = &(*tail)->next;
    *tail = p;
    ++pMsg->partCount;
    return p;
}

int MimeAddPart(MIME_MESSAGE *pMsg, const MIME_PART_INFO *pInfo)
{
    return add_part(pMsg, pInfo) ? 1 : 0;
}

int MimeAddSmilPart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName)
{
    if (!pMsg || !lpszFolder || !lpszFileName)
        return 0;
    MIME_PART_INFO info = {MIME_TYPE_SMIL, lpszFolder, lpszFileName, MIME_SMIL_ID};
    MIME_PART *p = add_part(pMsg, &info);
    if (!p)
        return 0;
    pMsg->startPart = p;
    return 1;
}

int MimeWriteFile(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName)
{
    if (!pMsg || !lpszFolder || !lpszFileName || pMsg->mode != MIME_MODE_COMPOSING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    /* Refused before anything is written: the count octet cannot carry more. */
    if (pMsg->partCount > MIME_MAX_PARTS) {
        SetLastError(MIME_ERROR_TOO_MANY_PARTS);
        return 0;
    }
    /* The message must never take the place of one of its own parts. */
    std::string dest = std::string(lpszFolder) + lpszFileName;
    for (const MIME_PART *p = pMsg->firstPart; p; p = p->next) {
        int same = FioSameFile((std::string(p->folder) + p->fileName).c_str(), dest.c_str());
        if (same != 0) {
            if (same > 0)
                SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
            return 0;
        }
    }
    if (!pMsg->contentType && !(pMsg->contentType = (char *)malloc(128))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    strcpy(pMsg->contentType, pMsg->startPart ? MIME_TYPE_RELATED : MIME_TYPE_MIXED);
    /* Written beside the destination and put in place only when complete: a failure leaves
     * what was there before. */
    WSP_FILE *fp = WspFileCreateAtomic(lpszFolder, lpszFileName);
    if (!fp)
        return 0;
    if (!WspWriteMessage(pMsg, fp)) {
        DWORD e = GetLastError();
        WspFileClose(fp);
        SetLastError(e ? e : ERROR_GEN_FAILURE);
        return 0;
    }
    return WspFileCommit(fp);
}

MIME_MESSAGE *MimeOpenFile(const char *lpszFolder, const char *lpszFileName)
{
    if (!lpszFolder || !lpszFileName)
        return NULL;
    WSP_FILE *fp = WspFileOpen(lpszFolder, lpszFileName, WSP_RB);
    if (!fp)
        return NULL;
    return WspReadMessage(fp);
}

static bool is_related(const MIME_MESSAGE *pMsg)
{
    return pMsg->contentType && strcmp(pMsg->contentType, MIME_TYPE_RELATED) == 0;
}

int MimeOtherPartCount(const MIME_MESSAGE *pMsg)
{
    if (!pMsg)
        return 0;
    return is_related(pMsg) ? pMsg->partCount - 1 : pMsg->partCount;
}

/* Copies a part's data from the message stream to folder + name; 1 only when every octet
 * arrived and the output closed cleanly. */
static int copy_out(MIME_MESSAGE *pMsg, const MIME_PART *p, const char *lpszFolder, const char *lpszName)
{
    /* The message being read is never overwritten by one of its own parts. */
    std::string source = std::string(WspFileFolder(pMsg->stream)) + WspFileName(pMsg->stream);
    int same = FioSameFile(source.c_str(), (std::string(lpszFolder) + lpszName).c_str());
    if (same != 0) {
        if (same > 0)
            SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
        return 0;
    }
    WSP_FILE *out = WspFileCreateAtomic(lpszFolder, lpszName);
    if (!out)
        return 0;
    int ok = WspFileSeek(pMsg->stream, WSP_SEEK_SET, p->dataOffset) == 0 &&
             (p->dataLength == 0 || WspFileCopy(pMsg->stream, p->dataLength, out) == p->dataLength);
    if (!ok) {
        DWORD e = GetLastError();
        WspFileClose(out);
        SetLastError(e);
        return 0;
    }
    return WspFileCommit(out);
}

int MimeExtractStart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName)
{
    if (!pMsg || !lpszFolder || !lpszFileName || pMsg->mode != MIME_MODE_READING || !pMsg->stream ||
        !pMsg->startPart)
        return 0;
    return copy_out(pMsg, pMsg->startPart, lpszFolder, lpszFileName);
}

/* A name from the file may become a file name only when it stays inside the given folder. */
static bool safe_name(const char *name)
{
    if (!name || !*name || strstr(name, ".."))
        return false;
    return strpbrk(name, "/\\:") == NULL;
}

int MimeExtractPart(MIME_MESSAGE *pMsg, int nIndex, MIME_PART_INFO *pInfo)
{
    if (!pMsg || !pInfo || nIndex < 0 || nIndex >= MimeOtherPartCount(pMsg) || pMsg->mode != MIME_MODE_READING ||
        !pMsg->stream || !pInfo->folder)
        return 0;
    MIME_PART *p = pMsg->firstPart;
    for (int i = 0; p; p = p->next) {
        if (p == pMsg->startPart)
            continue;
        if (i++ == nIndex)
            break;
    }
    if (!p || !p->contentType)
        return 0;
    if (!p->name) {
        size_t n = p->contentId ? strlen(p->contentId) : 0;
        if (n <= 2)
            return 0;
        char *name = (char *)malloc(n - 1);
        if (!name)
            return 0;
        memcpy(name, p->contentId + 1, n - 2);
        name[n - 2] = 0;
        p->name = name;
    }
    if (!safe_name(p->name))
        return 0;
    if (pMsg->progressProc)
        pMsg->progressProc(p->name, pMsg->progressUser);
    int ok = copy_out(pMsg, p, pInfo->folder, p->name);
    pInfo->contentId = p->contentId;
    pInfo->fileName = p->name;
    pInfo->contentType = p->contentType;
    return ok;
}

int MimeExtractAll(MIME_MESSAGE *pMsg, const char *lpszFolder)
{
    int n = MimeOtherPartCount(pMsg);
    if (!pMsg || !lpszFolder || pMsg->mode != MIME_MODE_READING || pMsg->partCount == 0)
        return 0;
    if (is_related(pMsg) && !MimeExtractStart(pMsg, lpszFolder, MIME_SMIL_FILE))
        return 0;
    for (int i = 0; i < n; ++i) {
        MIME_PART_INFO info = {NULL, lpszFolder, NULL, NULL};
        if (!MimeExtractPart(pMsg, i, &info))
            return 0;
    }
    return 1;
}

void MimeDestroy(MIME_MESSAGE *pMsg)
{
    if (!pMsg)
        return;
    bool composing = pMsg->mode == MIME_MODE_COMPOSING;
    for (MIME_PART *p = pMsg->firstPart; p;) {
        MIME_PART *next = p->next;
        free_part(p, composing);
        p = next;
    }
    free(pMsg->contentType);
    if (pMsg->stream)
        WspFileClose(pMsg->stream);
    free(pMsg);
}

void MimeClearProgress(MIME_MESSAGE *pMsg)
{
    if (!pMsg)
        return;
    pMsg->progressProc = NULL;
    pMsg->progressUser = 0;
}
