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

#include <string>

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

/* The two charsets the library writes, by IANA MIBenum, with the name it reads back and the
 * names (IANA's preferred name and aliases, and this system's own "utf_8") it recognises in any
 * case. */
static const struct {
    int code;
    const char *name;
    const char *aliases[12];
} kCharsets[] = {
    {3, "us-ascii", {"us-ascii", "ascii", "ansi_x3.4-1968", "ansi_x3.4-1986", "iso-ir-6", "iso_646.irv:1991",
                     "iso646-us", "us", "ibm367", "cp367", "csascii", NULL}},
    {106, "utf_8", {"utf-8", "utf8", "utf_8", "csutf8", NULL}},
};

enum {
    kFieldContentType = 0x04, /* MMS encapsulation Content-Type */
    kParamCharset = 0x01,
    kParamName = 0x05,
    kParamNameV14 = 0x17,
    kParamType = 0x09,
    kParamStart = 0x0A,
    kHeaderLocation = 0x0E,
    kHeaderContentId = 0x40,
    kCodeTextPlain = 0x03,
    kCodeMixed = 0x23,
    kCodeRelated = 0x33,
    kQuote = 0x22,
    kTextQuote = 0x7F, /* before a Text-string whose first octet is above 0x7F */
    kShiftDelimiter = 0x7F,
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

static char ascii_lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
}

static bool same_ascii_nocase(const char *a, size_t n, const char *b)
{
    for (size_t i = 0; i < n; ++i)
        if (!b[i] || ascii_lower(a[i]) != ascii_lower(b[i]))
            return false;
    return b[n] == 0;
}

int WspCharsetCode(const char *lpszCharset)
{
    if (!lpszCharset)
        return 0;
    /* A parameter value as written: spaces around it and one pair of quotes are no part of
     * the name. */
    const char *s = lpszCharset;
    size_t n = strlen(s);
    while (n && (*s == ' ' || *s == '\t'))
        ++s, --n;
    while (n && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        --n;
    if (n >= 2 && s[0] == '"' && s[n - 1] == '"')
        ++s, n -= 2;
    for (const auto &c : kCharsets)
        for (const char *const *a = c.aliases; *a; ++a)
            if (same_ascii_nocase(s, n, *a))
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

/* The value of the "charset" parameter of a type string: parameters are split at ";", the
 * name is compared in any case, spaces around name and value are dropped (quotes are left for
 * WspCharsetCode).  False when the type names no charset. */
static bool charset_param(const char *type, std::string &value)
{
    const char *p = strchr(type, ';');
    while (p) {
        ++p;
        const char *end = strchr(p, ';');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        std::string param(p, n);
        size_t eq = param.find('=');
        if (eq != std::string::npos) {
            std::string name = param.substr(0, eq);
            size_t a = name.find_first_not_of(" \t"), b = name.find_last_not_of(" \t");
            name = a == std::string::npos ? std::string() : name.substr(a, b - a + 1);
            if (same_ascii_nocase(name.c_str(), name.size(), "charset")) {
                value = param.substr(eq + 1);
                return true;
            }
        }
        p = end;
    }
    return false;
}

/* Octets a Text-string of these octets takes: a name whose first octet is above 0x7F gets the
 * Quote octet 0x7F in front (WAP-230-WSP 8.4.2.1), so that it cannot be read as a
 * Short-integer; every other name is written as it is. */
static size_t text_string_size(const char *text)
{
    return strlen(text) + 1 + ((unsigned char)text[0] >= 0x80 ? 1 : 0);
}

static int write_text_string(WSP_BUFFER *buf, const char *text)
{
    if ((unsigned char)text[0] >= 0x80 && !append_byte(buf, kTextQuote))
        return 0;
    return WspBufWriteText(buf, text);
}

int WspWritePartEntry(const MIME_PART *pPart, WSP_FILE *fp)
{
    if (!pPart || !fp || !pPart->contentType || !pPart->fileName || !pPart->folder) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WSP_FILE *data = WspFileOpen(pPart->folder, pPart->fileName, WSP_RB);
    if (!data)
        return 0;
    int ok = 0;
    DWORD why = ERROR_NOT_ENOUGH_MEMORY;
    WSP_BUFFER *buf = NULL;
    char type[MIME_SPLIT_MAX];
    int32_t size = WspFileSize(data);
    /* A composing part may carry a name of its own for the entry; otherwise its file's name. */
    const char *location = pPart->name ? pPart->name : pPart->fileName;
    size_t base = text_string_size(location) + 1;
    if (pPart->contentId)
        base += strlen(pPart->contentId) + 3;
    if (size < 0 || base > (size_t)INT32_MAX / 2) {
        why = size < 0 ? (WspFileError(data) ? GetLastError() : ERROR_FILE_TOO_LARGE) : ERROR_FILENAME_EXCED_RANGE;
        goto done;
    }
    /* A part of no octets is what peers report as a malformed entry (and what this reader's
     * older versions refused): it is refused rather than written. */
    if (size == 0) {
        why = MIME_ERROR_EMPTY_PART;
        goto done;
    }
    if (!MimeSplitContentTypeEx(pPart->contentType, type, sizeof type, NULL, 0))
        goto done;
    for (size_t n = strlen(type); n > 0 && (type[n - 1] == ' ' || type[n - 1] == '\t'); --n)
        type[n - 1] = 0;
    buf = WspBufNew();
    if (!buf)
        goto done;
    {
        int code = WspContentTypeCode(type);
        int32_t length = (int32_t)strlen(type);
        int32_t b = (int32_t)base;
        bool good;
        if (code == kCodeTextPlain) {
            /* Only the charsets the entry can name are written; another is refused rather than
             * mislabelled as US-ASCII. */
            std::string value;
            int charset = charset_param(pPart->contentType, value) ? WspCharsetCode(value.c_str()) : 3;
            if (charset == 0) {
                why = MIME_ERROR_UNKNOWN_CHARSET;
                goto done;
            }
            good = WspBufWriteUintvar(buf, b + 4) && WspBufWriteUintvar(buf, size) && append_byte(buf, kCodeTextPlain) &&
                   append_byte(buf, 0x80 | kCodeTextPlain) && append_byte(buf, 0x80 | kParamCharset) &&
                   append_byte(buf, 0x80 | charset);
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
        good = good && append_byte(buf, 0x80 | kHeaderLocation) && write_text_string(buf, location);
        if (!good)
            goto done;
        if (!WspBufWriteRange(buf, 0, buf->length, fp)) {
            why = WspFileError(fp) ? GetLastError() : ERROR_WRITE_FAULT;
            goto done;
        }
    }
    ok = WspFileCopy(data, size, fp) == size;
    if (!ok)
        why = WspFileError(fp) ? GetLastError() : WspFileError(data) ? GetLastError() : ERROR_HANDLE_EOF;
done:
    WspBufFree(buf);
    WspFileClose(data);
    if (!ok)
        SetLastError(why);
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
    /* The Value-length bounds the field: every text in it ends inside it, and the next field
     * starts where it ends, whatever parameters were left unread. */
    int32_t end = p1 + len;
    int m = WspFileReadByte(fp);
    if (m < 0x80) {
        WspFileSeek(fp, WSP_SEEK_SET, p1);
        if (WspFileReadText(fp, lpszType, WSP_TEXT_MAX) < 0 || WspFileTell(fp) > end)
            return 0;
        return WspFileSeek(fp, WSP_SEEK_SET, end) == 0;
    }
    WspContentTypeName(m & 0x7F, lpszType);
    if (strcmp(lpszType, MIME_TYPE_RELATED) != 0)
        return WspFileSeek(fp, WSP_SEEK_SET, end) == 0;
    char text[WSP_TEXT_MAX];
    for (;;) {
        int32_t pos = WspFileTell(fp);
        if (pos < 0)
            return 0;
        if (pos >= end)
            break;
        int param = WspFileReadByte(fp) & 0x7F;
        if (param != kParamType && param != kParamStart)
            return 0;
        if (WspFileReadText(fp, text, sizeof text) < 0 || WspFileTell(fp) > end)
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

/*
 * The entry reader.  One entry's ContentType and Headers lie in a buffer of HeadersLen octets,
 * so every field is read through (buf, *pos, end) and never past end.  Texts are read whole,
 * whatever their length and octets (a name is a Text-string: any octets but 0x00, after an
 * optional Quote 0x7F or 0x22), so that what the writer wrote reads back exactly.
 */

/* [0x7F | 0x22] octets 0x00 -> out (may be null).  False when no 0x00 comes before end. */
static bool take_text(const WSP_BUFFER *buf, int32_t *pos, int32_t end, std::string *out)
{
    int32_t p = *pos;
    if (p < end && (buf->data[p] == kTextQuote || buf->data[p] == kQuote))
        ++p;
    if (p >= end)
        return false;
    const uint8_t *from = buf->data + p;
    const uint8_t *nul = (const uint8_t *)memchr(from, 0, (size_t)(end - p));
    if (!nul)
        return false;
    if (out)
        out->assign((const char *)from, (size_t)(nul - from));
    *pos = p + (int32_t)(nul - from) + 1;
    return true;
}

/* Steps over one value in any of WSP's general forms (8.4.1.2): a Short-integer (one octet of
 * 0x80 and above), a Value-length (0..30, or 31 and a uintvar) and that many octets, or a
 * text.  False when it would run past end. */
static bool skip_value(const WSP_BUFFER *buf, int32_t *pos, int32_t end)
{
    if (*pos >= end)
        return false;
    int v = buf->data[*pos];
    if (v >= 0x80) {
        ++*pos;
        return true;
    }
    if (v < 0x1F) {
        if (v > end - *pos - 1)
            return false;
        *pos += 1 + v;
        return true;
    }
    if (v == 0x1F) {
        int32_t p = *pos + 1;
        int32_t len = WspBufReadUintvar(buf, &p);
        if (len < 0 || p > end || len > end - p)
            return false;
        *pos = p + len;
        return true;
    }
    return take_text(buf, pos, end, NULL);
}

/* An Integer-value (Short-integer or Long-integer of up to 4 octets); -1 when malformed. */
static int64_t take_integer(const WSP_BUFFER *buf, int32_t *pos, int32_t end)
{
    if (*pos >= end)
        return -1;
    int v = buf->data[*pos];
    if (v >= 0x80) {
        ++*pos;
        return v & 0x7F;
    }
    if (v < 1 || v > 4 || v > end - *pos - 1)
        return -1;
    uint32_t value = 0;
    for (int i = 1; i <= v; ++i)
        value = value << 8 | buf->data[*pos + i];
    *pos += 1 + v;
    return value;
}

int WspBufSkipValue(const WSP_BUFFER *buf, int32_t *pos, int32_t end)
{
    if (!buf || !pos || *pos < 0 || end > buf->length)
        return 0;
    return skip_value(buf, pos, end) ? 1 : 0;
}

int64_t WspBufReadInteger(const WSP_BUFFER *buf, int32_t *pos, int32_t end)
{
    if (!buf || !pos || *pos < 0 || end > buf->length)
        return -1;
    return take_integer(buf, pos, end);
}

/* The Content-type value of an entry: the media type (well-known code, integer or text) and,
 * among its parameters, the Name (0x05, or 0x17 of later WSP editions) and the Charset (0x01);
 * other parameters are stepped over.  *pos ends after the value.  False when the value cannot
 * be framed inside end. */
static bool take_content_type(const WSP_BUFFER *buf, int32_t *pos, int32_t end, std::string &type,
                              std::string &name, std::string &charset)
{
    if (*pos >= end)
        return false;
    int b = buf->data[*pos];
    char known[WSP_TEXT_MAX] = "";
    if (b >= 0x80) {
        ++*pos;
        WspContentTypeName(b & 0x7F, known);
        type = known;
        return true;
    }
    if (b >= 0x20)
        return take_text(buf, pos, end, &type);
    /* Content-general-form: Value-length, Media-type, parameters. */
    int32_t p = *pos;
    int32_t len = WspBufReadValueLength(buf, &p);
    if (len < 0 || p > end || len > end - p)
        return false;
    int32_t vend = p + len;
    *pos = vend;
    if (p >= vend)
        return true; /* an empty value: no type */
    int m = buf->data[p];
    if (m >= 0x20 && m < 0x80) {
        if (!take_text(buf, &p, vend, &type))
            return true;
    } else {
        int64_t code = take_integer(buf, &p, vend);
        if (code < 0)
            return true;
        WspContentTypeName((int)(code > 0x7FFF ? 0x7FFF : code), known);
        type = known;
    }
    while (p < vend) {
        int t = buf->data[p];
        if (t >= 0x80) {
            ++p;
            t &= 0x7F;
            if (t == kParamCharset) {
                if (p < vend && buf->data[p] >= 0x20 && buf->data[p] < 0x80) {
                    if (!take_text(buf, &p, vend, NULL)) /* "*": any charset */
                        break;
                    continue;
                }
                int64_t mib = take_integer(buf, &p, vend);
                if (mib < 0)
                    break;
                char cs[WSP_NAME_MAX] = "";
                WspCharsetName((int)(mib > 0xFFFF ? 0 : mib), cs);
                charset = cs;
            } else if (t == kParamName || t == kParamNameV14) {
                if (!take_text(buf, &p, vend, &name))
                    break;
            } else if (!skip_value(buf, &p, vend)) {
                break;
            }
        } else if (t >= 0x20) {
            /* Untyped parameter: Token-text, then an Integer-value or Text-value. */
            if (!take_text(buf, &p, vend, NULL) || !skip_value(buf, &p, vend))
                break;
        } else {
            break;
        }
    }
    return true;
}

/* The entry's headers after its content type.  Content-Location (0x0E) and Content-ID (0x40)
 * are kept; any other header that WSP can frame (a well-known field and its value, an
 * application header's token and text, a code-page shift) is stepped over.  False for octets
 * that frame no header, or a value running past end. */
static bool take_headers(const WSP_BUFFER *buf, int32_t pos, int32_t end, MIME_PART *part, std::string &location,
                         bool &hasLocation)
{
    int page = 1;
    while (pos < end) {
        int b = buf->data[pos];
        if (b == kShiftDelimiter) {
            if (end - pos < 2)
                return false;
            page = buf->data[pos + 1] & 0x7F;
            pos += 2;
        } else if (b >= 0x01 && b <= 0x1F) {
            page = b; /* Short-cut-shift-delimiter */
            ++pos;
        } else if (b >= 0x80) {
            int field = b & 0x7F;
            ++pos;
            if (page == 1 && field == kHeaderLocation) {
                std::string text;
                if (!take_text(buf, &pos, end, &text))
                    return false;
                if (!hasLocation) {
                    location = text;
                    hasLocation = true;
                }
            } else if (page == 1 && field == kHeaderContentId) {
                std::string text;
                if (!take_text(buf, &pos, end, &text))
                    return false;
                free(part->contentId);
                if (!(part->contentId = dup_string(text.c_str())))
                    return false;
            } else if (!skip_value(buf, &pos, end)) {
                return false;
            }
        } else if (b >= 0x20) {
            /* Application-header: Token-text, Application-specific-value (a Text-string). */
            if (!take_text(buf, &pos, end, NULL) || !take_text(buf, &pos, end, NULL))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

/* A type's bare media type (the text before ";", without spaces) is application/smil, in any
 * case. */
static bool is_smil_type(const char *type)
{
    size_t n = strcspn(type, ";");
    while (n > 0 && (type[n - 1] == ' ' || type[n - 1] == '\t'))
        --n;
    return same_ascii_nocase(type, n, MIME_TYPE_SMIL);
}

int WspReadEntries(WSP_FILE *fp, MIME_MESSAGE *pMsg, const char *lpszStartId)
{
    if (!fp || !pMsg)
        return 0;
    int32_t size = WspFileSize(fp);
    if (size < 0)
        return 0;
    bool related = pMsg->contentType && strcmp(pMsg->contentType, MIME_TYPE_RELATED) == 0;
    bool startById = false;
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
        /* An empty part (DataLen 0) is kept, as peers write them; HeadersLen is never 0, and
         * both must lie inside the file. */
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

        {
            std::string type, name, charset, location;
            bool hasLocation = false;
            int32_t pos = 0;
            if (!take_content_type(scratch, &pos, hl, type, name, charset) ||
                !take_headers(scratch, pos, hl, part, location, hasLocation))
                goto done;
            /* The Name parameter, else Content-Location, names the part. */
            if (name.empty() && hasLocation)
                name = location;
            if (!name.empty() && !(part->name = dup_string(name.c_str())))
                goto done;
            if (!charset.empty())
                type += ";charset=" + charset;
            if (!(part->contentType = dup_string(type.c_str())))
                goto done;
        }
        part->dataOffset = at + hl;
        part->dataLength = dl;

        *tail = part;
        tail = &part->next;
        ++pMsg->partCount;
        /* The start part of a related message: the part whose Content-ID is the Start
         * parameter (a later one replaces an earlier one); failing that, the first SMIL part
         * (its type read back carries a charset, so the bare type is compared). */
        if (related) {
            if (lpszStartId && *lpszStartId && part->contentId && strcmp(part->contentId, lpszStartId) == 0) {
                pMsg->startPart = part;
                startById = true;
            } else if (!pMsg->startPart && !startById && is_smil_type(part->contentType)) {
                pMsg->startPart = part;
            }
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
