/*
 * The WSP tables and the message encoder and decoder of the MIME file (see mime.h for the
 * layout).
 *
 * One entry (WAP-230-WSP 8.5.3):
 *
 *   +------------+----------+-------------+--------------------------------+-----------+
 *   | HeadersLen | DataLen  | ContentType | Headers                        | Data      |
 *   | uintvar    | uintvar  | value       | C0 22 <id> 00 | 8E <name> 00   | DataLen   |
 *   +------------+----------+-------------+--------------------------------+-----------+
 *     HeadersLen counts ContentType and Headers.
 *
 * Content-type values written for an entry:
 *   text/plain          03 83 81 (EA | 83)        charset utf_8 | anything else
 *   well-known 01..36   code | 0x80
 *   application/smil    13 "application/smil" 00 81 83
 *   other               "<type>" 00
 *
 * The decoder reads outside data: every length is checked against the file's size before it is
 * used, texts land in fixed buffers (cut to fit, never overrun) and a malformed entry fails the
 * whole read.
 */
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "wsp.h"

/* ---- tables ---- */

static const char *const kContentTypes[] = {
    "*/*", "text/*", "text/html", "text/plain", "text/x-hdml", "text/x-ttml", "text/x-vCalendar",
    "text/x-vCard", "text/vnd.wap.wml", "text/vnd.wap.wmlscript", "text/vnd.wap.channel", "multipart/*",
    "multipart/mixed", "multipart/form-data", "multipart/byteranges", "multipart/alternative",
    "application/*", "application/java-vm", "application/x-www-form-urlencoded", "application/x-hdmlc",
    "application/vnd.wap.wmlc", "application/vnd.wap.wmlscriptc", "application/vnd.wap.channelc",
    "application/vnd.wap.uaprof", "application/vnd.wap.wtls-ca-certificate",
    "application/vnd.wap.wtls-user-certificate", "application/x-x509-ca-cert", "application/x-x509-user-cert",
    "image/*", "image/gif", "image/jpeg", "image/tiff", "image/png", "image/vnd.wap.wbmp",
    "application/vnd.wap.multipart.*", "application/vnd.wap.multipart.mixed",
    "application/vnd.wap.multipart.form-data", "application/vnd.wap.multipart.byteranges",
    "application/vnd.wap.multipart.alternative", "application/xml", "text/xml", "application/vnd.wap.wbxml",
    "application/x-x968-cross-cert", "application/x-x968-ca-cert", "application/x-x968-user-cert",
    "text/vnd.wap.si", "application/vnd.wap.sic", "text/vnd.wap.sl", "application/vnd.wap.slc",
    "text/vnd.wap.co", "application/vnd.wap.coc", "application/vnd.wap.multipart.related",
    "application/vnd.wap.sia", "text/vnd.wap.connectivity-xml", "application/vnd.wap.connectivity-wbxml",
};
static_assert(sizeof kContentTypes / sizeof kContentTypes[0] == 0x37, "codes 0x00-0x36");

static const struct {
    int code;
    const char *name;
} kCharsets[] = {{3, "us-ascii"}, {106, "utf_8"}};

enum {
    kFieldContentType = 0x04, /* MMS encapsulation Content-Type */
    kParamCharset = 0x01,
    kParamName = 0x05,
    kParamType = 0x09,
    kParamStart = 0x0A,
    kHeaderLocation = 0x0E,
    kHeaderContentId = 0x40,
    kCodeTextPlain = 0x03,
    kCodeMixed = 0x23,
    kCodeRelated = 0x33,
    kQuote = 0x22,
};

static void copy_cut(char *out, size_t cch, const char *src)
{
    size_t n = strlen(src);
    if (n >= cch)
        n = cch - 1;
    memcpy(out, src, n);
    out[n] = 0;
}

int WspContentTypeCode(const char *lpszType)
{
    if (!lpszType)
        return 0;
    for (int i = 0; i < (int)(sizeof kContentTypes / sizeof kContentTypes[0]); ++i)
        if (strcmp(lpszType, kContentTypes[i]) == 0)
            return i;
    return 0;
}

void WspContentTypeName(int code, char *out)
{
    if (out && code >= 0 && code < (int)(sizeof kContentTypes / sizeof kContentTypes[0]))
        copy_cut(out, WSP_TEXT_MAX, kContentTypes[code]);
}

int WspCharsetCode(const char *lpszCharset)
{
    if (lpszCharset)
        for (const auto &c : kCharsets)
            if (strcmp(lpszCharset, c.name) == 0)
                return c.code;
    return 0;
}

void WspCharsetName(int code, char *out)
{
    if (out)
        for (const auto &c : kCharsets)
            if (c.code == code)
                copy_cut(out, WSP_NAME_MAX, c.name);
}

/* ---- type splitting ---- */

int MimeSplitContentTypeEx(const char *lpszSrc, char *lpszType, int cchType, char *lpszParam, int cchParam)
{
    if (!lpszSrc || !lpszType || cchType < 1)
        return 0;
    const char *semi = strchr(lpszSrc, ';');
    if (!semi) {
        copy_cut(lpszType, (size_t)cchType, lpszSrc);
        return 1;
    }
    size_t n = (size_t)(semi - lpszSrc);
    if (n >= (size_t)cchType)
        n = (size_t)cchType - 1;
    memcpy(lpszType, lpszSrc, n);
    lpszType[n] = 0;
    if (!lpszParam || cchParam < 1 || !lpszParam[0])
        return 1;
    const char *at = strstr(lpszSrc, lpszParam);
    if (!at) {
        lpszParam[0] = 0;
        return 1;
    }
    at += strlen(lpszParam);
    while (*at == '=' || *at == ' ')
        ++at;
    size_t v = strcspn(at, ";");
    if (v >= (size_t)cchParam)
        v = (size_t)cchParam - 1;
    memmove(lpszParam, at, v); /* the name being replaced is no part of lpszSrc */
    lpszParam[v] = 0;
    return 1;
}

int MimeSplitContentType(const char *lpszSrc, char *lpszType, char *lpszParam)
{
    return MimeSplitContentTypeEx(lpszSrc, lpszType, MIME_SPLIT_MAX, lpszParam, MIME_SPLIT_MAX);
}

/* ---- encoder ---- */

static bool present(const char *s)
{
    return s && *s;
}

static bool append_byte(WSP_BUFFER *buf, int octet)
{
    int32_t before = buf->length;
    WspBufAppendByte(buf, octet);
    return buf->length == before + 1;
}

int WspEncodeMessageType(WSP_BUFFER *buf, const char *lpszType, const char *lpszStartType, const char *lpszStartId)
{
    if (!buf || !lpszType)
        return 0;
    bool hasType = present(lpszStartType), hasId = present(lpszStartId);
    if (!append_byte(buf, 0x80 | kFieldContentType))
        return 0;
    int code = WspContentTypeCode(lpszType);
    if (code == kCodeRelated) {
        if (!hasType && !hasId)
            return append_byte(buf, 0x80 | kCodeRelated);
        size_t length = 1;
        if (hasType)
            length += strlen(lpszStartType) + 2;
        if (hasId)
            length += strlen(lpszStartId) + 2;
        if (length > (size_t)INT32_MAX / 2)
            return 0;
        if (!WspBufWriteValueLength(buf, (int32_t)length) || !append_byte(buf, 0x80 | kCodeRelated))
            return 0;
        if (hasType && (!append_byte(buf, 0x80 | kParamType) || !WspBufWriteText(buf, lpszStartType)))
            return 0;
        if (hasId && (!append_byte(buf, 0x80 | kParamStart) || !WspBufWriteText(buf, lpszStartId)))
            return 0;
        return 1;
    }
    if (code > 0)
        return append_byte(buf, 0x80 | code);
    return WspBufWriteText(buf, lpszType);
}

int WspWriteMessage(const MIME_MESSAGE *pMsg, WSP_FILE *fp)
{
    if (!pMsg || !fp || !pMsg->contentType)
        return 0;
    /* The count is one octet that must equal its uintvar form. */
    if (pMsg->partCount < 0 || pMsg->partCount > MIME_MAX_PARTS)
        return 0;
    int32_t listed = 0;
    for (const MIME_PART *p = pMsg->firstPart; p; p = p->next)
        ++listed;
    if (listed != pMsg->partCount)
        return 0;
    WSP_BUFFER *head = WspBufNew();
    if (!head)
        return 0;
    const MIME_PART *start = pMsg->startPart;
    int ok = WspEncodeMessageType(head, pMsg->contentType, start ? start->contentType : NULL,
                                  start ? start->contentId : NULL) &&
             WspBufWriteRange(head, 0, head->length, fp) && WspFileWriteByte(fp, pMsg->partCount);
    WspBufFree(head);
    for (const MIME_PART *p = pMsg->firstPart; ok && p; p = p->next)
        ok = WspWritePartEntry(p, fp);
    return ok;
}

int WspWritePartEntry(const MIME_PART *pPart, WSP_FILE *fp)
{
    if (!pPart || !fp || !pPart->contentType || !pPart->fileName || !pPart->folder)
        return 0;
    WSP_FILE *data = WspFileOpen(pPart->folder, pPart->fileName, WSP_RB);
    if (!data)
        return 0;
    int ok = 0;
    WSP_BUFFER *buf = NULL;
    char type[MIME_SPLIT_MAX], charset[WSP_NAME_MAX] = "charset";
    int32_t size = WspFileSize(data);
    size_t base = strlen(pPart->fileName) + 2;
    if (pPart->contentId)
        base += strlen(pPart->contentId) + 3;
    if (size < 0 || base > (size_t)INT32_MAX / 2)
        goto done;
    if (!MimeSplitContentTypeEx(pPart->contentType, type, sizeof type, charset, sizeof charset))
        goto done;
    buf = WspBufNew();
    if (!buf)
        goto done;
    {
        int code = WspContentTypeCode(type);
        int32_t length = (int32_t)strlen(type);
        int32_t b = (int32_t)base;
        bool good;
        if (code == kCodeTextPlain) {
            good = WspBufWriteUintvar(buf, b + 4) && WspBufWriteUintvar(buf, size) && append_byte(buf, kCodeTextPlain) &&
                   append_byte(buf, 0x80 | kCodeTextPlain) && append_byte(buf, 0x80 | kParamCharset) &&
                   append_byte(buf, 0x80 | (strcmp(charset, "utf_8") == 0 ? 106 : 3));
        } else if (code > 0) {
            good = WspBufWriteUintvar(buf, b + 1) && WspBufWriteUintvar(buf, size) && append_byte(buf, 0x80 | code);
        } else if (strcmp(type, MIME_TYPE_SMIL) == 0) {
            good = WspBufWriteUintvar(buf, b + length + 4) && WspBufWriteUintvar(buf, size) &&
                   WspBufWriteValueLength(buf, length + 3) && WspBufWriteText(buf, type) &&
                   append_byte(buf, 0x80 | kParamCharset) && append_byte(buf, 0x80 | 3);
        } else {
            good = WspBufWriteUintvar(buf, b + length + 1) && WspBufWriteUintvar(buf, size) && WspBufWriteText(buf, type);
        }
        if (good && pPart->contentId)
            good = append_byte(buf, 0x80 | kHeaderContentId) && append_byte(buf, kQuote) &&
                   WspBufWriteText(buf, pPart->contentId);
        good = good && append_byte(buf, 0x80 | kHeaderLocation) && WspBufWriteText(buf, pPart->fileName);
        if (!good || !WspBufWriteRange(buf, 0, buf->length, fp))
            goto done;
    }
    ok = size == 0 || WspFileCopy(data, size, fp) == size;
done:
    WspBufFree(buf);
    WspFileClose(data);
    return ok;
}

/* ---- decoder ---- */

int WspReadContentType(WSP_FILE *fp, char *lpszType, char *lpszTypeParam, char *lpszStartParam)
{
    if (!fp || !lpszType)
        return 0;
    int32_t p0 = WspFileTell(fp);
    int32_t size = WspFileSize(fp);
    if (p0 < 0 || size < 0 || p0 >= size)
        return 0;
    int b = WspFileReadByte(fp);
    if (b >= 0x80) {
        WspContentTypeName(b & 0x7F, lpszType);
        return 1;
    }
    if (b >= 0x20) {
        WspFileSeek(fp, WSP_SEEK_SET, p0);
        return WspFileReadText(fp, lpszType, WSP_TEXT_MAX) >= 0;
    }
    WspFileSeek(fp, WSP_SEEK_SET, p0);
    int32_t len = WspFileReadValueLength(fp);
    int32_t p1 = WspFileTell(fp);
    if (len < 0 || p1 < 0 || len > size - p1)
        return 0;
    int m = WspFileReadByte(fp);
    if (m < 0x80) {
        WspFileSeek(fp, WSP_SEEK_SET, p1);
        if (WspFileReadText(fp, lpszType, WSP_TEXT_MAX) < 0)
            return 0;
        return WspFileSeek(fp, WSP_SEEK_SET, p1 + len) == 0;
    }
    WspContentTypeName(m & 0x7F, lpszType);
    if (strcmp(lpszType, MIME_TYPE_RELATED) != 0)
        return 1;
    char text[WSP_TEXT_MAX];
    for (;;) {
        int32_t pos = WspFileTell(fp);
        if (pos < 0)
            return 0;
        if (pos - p1 >= len)
            break;
        int param = WspFileReadByte(fp) & 0x7F;
        if (param != kParamType && param != kParamStart)
            return 0;
        if (WspFileReadText(fp, text, sizeof text) < 0)
            return 0;
        char *out = param == kParamType ? lpszTypeParam : lpszStartParam;
        if (out)
            strcpy(out, text);
    }
    return 1;
}

int WspDecodeContentType(const WSP_BUFFER *buf, int32_t *pos, char *type, char *name, char *charset)
{
    if (!buf || !pos || !type)
        return 1;
    int b = WspBufGetByte(buf, *pos);
    if (b < 0)
        return 1;
    if (b >= 0x80) {
        ++*pos;
        WspContentTypeName(b & 0x7F, type);
        return 1;
    }
    if (b >= 0x20) {
        WspBufReadText(buf, pos, type, WSP_TEXT_MAX);
        return 1;
    }
    int32_t p = *pos;
    int32_t len = WspBufReadValueLength(buf, &p);
    if (len < 0)
        return 1; /* a broken Length-quote: left for the caller to reject */
    *pos = p;
    int32_t p1 = p;
    int32_t end = len > buf->length - p1 ? buf->length : p1 + len;
    int m = WspBufGetByte(buf, *pos);
    if (m >= 0x80) {
        ++*pos;
        WspContentTypeName(m & 0x7F, type);
        if (strcmp(type, MIME_TYPE_RELATED) == 0) {
            for (;;) {
                int c = WspBufGetByte(buf, *pos);
                if (c < 0 || ((c & 0x7F) != kParamType && (c & 0x7F) != kParamStart))
                    break;
                ++*pos;
                char *out = (c & 0x7F) == kParamType ? name : charset;
                if (out)
                    WspBufReadText(buf, pos, out, WSP_NAME_MAX);
            }
        }
    } else if (m >= 0) {
        WspBufReadText(buf, pos, type, WSP_TEXT_MAX);
    }
    if (*pos < end) {
        int param = WspBufGetByte(buf, *pos) & 0x7F;
        ++*pos;
        if (param == kParamName && name)
            WspBufReadText(buf, pos, name, WSP_NAME_MAX);
        else if (param == kParamCharset && charset)
            WspCharsetName(WspBufGetByte(buf, *pos) & 0x7F, charset);
    }
    *pos = end;
    return 1;
}

static char *dup_string(const char *s)
{
    size_t n = strlen(s) + 1;
    char *d = (char *)malloc(n);
    if (d)
        memcpy(d, s, n);
    return d;
}

static void free_part(MIME_PART *p)
{
    if (!p)
        return;
    free(p->contentType);
    free(p->contentId);
    free(p->name);
    free(p);
}

int WspReadEntries(WSP_FILE *fp, MIME_MESSAGE *pMsg, const char *lpszStartId)
{
    if (!fp || !pMsg)
        return 0;
    int32_t size = WspFileSize(fp);
    if (size < 0)
        return 0;
    bool related = pMsg->contentType && strcmp(pMsg->contentType, MIME_TYPE_RELATED) == 0;
    MIME_PART **tail = &pMsg->firstPart;
    while (*tail)
        tail = &(*tail)->next;
    WSP_BUFFER *scratch = WspBufNew();
    MIME_PART *part = NULL;
    int ok = 0;
    int count = WspFileReadByte(fp);
    if (!scratch || count == 0)
        goto done;
    for (int i = 0; i < count; ++i) {
        part = (MIME_PART *)calloc(1, sizeof(MIME_PART));
        if (!part)
            goto done;
        int32_t hl = WspFileReadUintvar(fp);
        int32_t dl = WspFileReadUintvar(fp);
        int32_t at = WspFileTell(fp);
        /* An empty part (DataLen 0) is what the encoder writes for an empty data file and is
         * kept; HeadersLen is never 0, and both must lie inside the file. */
        if (hl <= 0 || dl < 0 || at < 0 || hl > size - at || dl > size - at - hl)
            goto done;
        /* The scratch buffer takes a fresh block of exactly hl octets. */
        free(scratch->data);
        scratch->data = (uint8_t *)malloc((size_t)hl + 1);
        scratch->length = scratch->capacity = 0;
        if (!scratch->data || WspFileRead(fp, scratch->data, hl) != hl)
            goto done;
        scratch->data[hl] = 0;
        scratch->length = scratch->capacity = hl;

        char type[WSP_TEXT_MAX] = "", name[WSP_NAME_MAX] = "", charset[WSP_NAME_MAX] = "";
        int32_t pos = 0;
        WspDecodeContentType(scratch, &pos, type, name, charset);
        if (name[0] && !(part->name = dup_string(name)))
            goto done;
        char full[WSP_TEXT_MAX + WSP_NAME_MAX + 16];
        snprintf(full, sizeof full, charset[0] ? "%s;charset=%s" : "%s", type, charset);
        if (!(part->contentType = dup_string(full)))
            goto done;
        part->dataOffset = at + hl;
        part->dataLength = dl;

        while (pos < hl) {
            int header = scratch->data[pos] & 0x7F;
            if (header != kHeaderLocation && header != kHeaderContentId)
                goto done;
            ++pos;
            char text[WSP_TEXT_MAX];
            if (!WspBufReadText(scratch, &pos, text, sizeof text))
                goto done;
            if (header == kHeaderLocation) {
                if (!part->name && !(part->name = dup_string(text)))
                    goto done;
            } else {
                free(part->contentId);
                if (!(part->contentId = dup_string(text)))
                    goto done;
            }
        }

        *tail = part;
        tail = &part->next;
        ++pMsg->partCount;
        if (related) {
            if (lpszStartId && *lpszStartId && part->contentId && strcmp(part->contentId, lpszStartId) == 0)
                pMsg->startPart = part;
            else if (!pMsg->startPart && strcmp(part->contentType, MIME_TYPE_SMIL) == 0)
                pMsg->startPart = part;
        }
        part = NULL;
        if (WspFileSeek(fp, WSP_SEEK_SET, at + hl + dl) != 0)
            goto done;
    }
    ok = 1;
done:
    free_part(part);
    WspBufFree(scratch);
    return ok;
}

MIME_MESSAGE *WspReadMessage(WSP_FILE *fp)
{
    if (!fp)
        return NULL;
    MIME_MESSAGE *msg = (MIME_MESSAGE *)calloc(1, sizeof(MIME_MESSAGE));
    if (!msg) {
        WspFileClose(fp);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    msg->mode = MIME_MODE_READING;
    msg->stream = fp;
    char type[WSP_TEXT_MAX] = "", start[WSP_TEXT_MAX] = "";
    if ((WspFileReadByte(fp) & 0x7F) != kFieldContentType || !WspReadContentType(fp, type, NULL, start) ||
        !(msg->contentType = dup_string(type)) || !WspReadEntries(fp, msg, start)) {
        /* A read that failed says so; otherwise the octets are not a message. */
        DWORD e = WspFileError(fp) ? GetLastError() : ERROR_INVALID_DATA;
        MimeDestroy(msg);
        SetLastError(e);
        return NULL;
    }
    return msg;
}
