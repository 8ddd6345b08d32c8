/*
 * The m-send-req writer and the PDU header reader (see mms.h for the layout).  The body is the
 * message file's: the writer copies its entries, the reader hands the body to the multipart
 * reader behind MimeOpenFile.  Headers are read from a buffer through positions checked against
 * its end; a value that does not fit fails the read with its offset.
 */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <random>
#include <string>
#include <vector>

#include <windows.h>

#include "fileio.h"
#include "mms.h"
#include "wsp.h"

namespace {

enum {
    kFieldBcc = 0x01,
    kFieldCc = 0x02,
    kFieldContentType = 0x04,
    kFieldDate = 0x05,
    kFieldFrom = 0x09,
    kFieldMessageId = 0x0B,
    kFieldMessageType = 0x0C,
    kFieldVersion = 0x0D,
    kFieldSubject = 0x16,
    kFieldTo = 0x17,
    kFieldTransactionId = 0x18,
    kAddressPresent = 0x80,
    kInsertAddress = 0x81,
    kMibUtf8 = 106,
    kMibAscii = 3,
    kMibLatin1 = 4,
    kQuote = 0x7F,
};

std::string hex2(unsigned v)
{
    char s[8];
    snprintf(s, sizeof s, "0x%02X", v & 0xFF);
    return s;
}

bool fail(std::string *why, const std::string &text)
{
    if (why)
        *why = text;
    return false;
}

/* ---- writing ---- */

void put_text(std::vector<uint8_t> &out, const std::string &text)
{
    if (!text.empty() && (uint8_t)text[0] >= 0x80)
        out.push_back(kQuote);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void put_value_length(std::vector<uint8_t> &out, size_t n)
{
    if (n < 31) {
        out.push_back((uint8_t)n);
        return;
    }
    out.push_back(31);
    uint8_t u[WSP_UINTVAR_MAX];
    int k = WspEncodeUintvar((int32_t)n, u);
    out.insert(out.end(), u, u + k);
}

size_t text_size(const std::string &text)
{
    return text.size() + 1 + (!text.empty() && (uint8_t)text[0] >= 0x80 ? 1 : 0);
}

/* Text-string, or Value-length 0xEA Text-string for a text that is not plain ASCII (or always,
 * with `charset`). */
void put_encoded_string(std::vector<uint8_t> &out, const std::string &text, bool charset)
{
    bool ascii = true;
    for (char c : text)
        ascii = ascii && (uint8_t)c < 0x80;
    if (ascii && !charset) {
        put_text(out, text);
        return;
    }
    put_value_length(out, 1 + text_size(text));
    out.push_back(0x80 | kMibUtf8);
    put_text(out, text);
}

bool has_control(const std::string &text)
{
    for (char c : text)
        if ((uint8_t)c < 0x20 || (uint8_t)c == 0x7F)
            return true;
    return false;
}

/* ---- reading ---- */

struct Cursor {
    const WSP_BUFFER *buf;
    int32_t pos;
    int32_t end;
};

/* [Quote] octets 0x00. */
bool take_text(Cursor &c, std::string *out)
{
    int32_t p = c.pos;
    if (p < c.end && (c.buf->data[p] == kQuote || c.buf->data[p] == '"'))
        ++p;
    const uint8_t *from = c.buf->data + p;
    const uint8_t *nul = p < c.end ? (const uint8_t *)memchr(from, 0, (size_t)(c.end - p)) : NULL;
    if (!nul)
        return false;
    if (out)
        out->assign((const char *)from, (size_t)(nul - from));
    c.pos = p + (int32_t)(nul - from) + 1;
    return true;
}

/* Windows-1252 octets 0x80-0x9F; 0 where it has none (kept as U+0080-U+009F). */
const uint16_t kCp1252[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                              0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
                              0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

void put_utf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | cp >> 6);
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xE0 | cp >> 12);
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

bool is_utf8(const std::string &s)
{
    const uint8_t *p = (const uint8_t *)s.data(), *end = p + s.size();
    while (p < end) {
        uint8_t c = *p;
        int n = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 0;
        if (n == 0 || end - p < n)
            return false;
        uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (int i = 1; i < n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (p[i] & 0x3F);
        }
        if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp < 0xE000))
            return false;
        p += n;
    }
    return true;
}

std::string latin1_as_utf8(const std::string &s, bool cp1252)
{
    std::string out;
    for (char ch : s) {
        uint8_t c = (uint8_t)ch;
        uint32_t cp = c;
        if (cp1252 && c >= 0x80 && c < 0xA0 && kCp1252[c - 0x80])
            cp = kCp1252[c - 0x80];
        put_utf8(out, cp);
    }
    return out;
}

/* Encoded-string-value: a text, or Value-length Char-set Text-string.  The text comes back as
 * UTF-8 for UTF-8, US-ASCII and ISO-8859-1; as it is for other charsets. */
bool take_encoded_string(Cursor &c, std::string *out)
{
    if (c.pos >= c.end)
        return false;
    int b = c.buf->data[c.pos];
    if (b >= 0x20)
        return take_text(c, out);
    int32_t p = c.pos;
    int32_t len = WspBufReadValueLength(c.buf, &p);
    if (len < 1 || p > c.end || len > c.end - p)
        return false;
    Cursor inner{c.buf, p, p + len};
    int64_t mib = WspBufReadInteger(c.buf, &inner.pos, inner.end);
    std::string text;
    if (mib < 0 || !take_text(inner, &text))
        return false;
    if (out)
        *out = mib == kMibLatin1 ? latin1_as_utf8(text, false) : text;
    c.pos = p + len;
    return true;
}

/* From-value: Value-length (0x80 Encoded-string-value | 0x81). */
bool take_from(Cursor &c, std::string *out)
{
    int32_t p = c.pos;
    int32_t len = WspBufReadValueLength(c.buf, &p);
    if (len < 1 || p > c.end || len > c.end - p)
        return false;
    Cursor inner{c.buf, p, p + len};
    int token = c.buf->data[inner.pos++];
    out->clear();
    if (token == kAddressPresent) {
        if (!take_encoded_string(inner, out))
            return false;
    } else if (token != kInsertAddress) {
        return false;
    }
    c.pos = p + len;
    return true;
}

/* Long-integer of up to 8 octets, or Short-integer. */
bool take_date(Cursor &c, int64_t *out)
{
    if (c.pos >= c.end)
        return false;
    int n = c.buf->data[c.pos];
    if (n >= 0x80) {
        *out = n & 0x7F;
        ++c.pos;
        return true;
    }
    if (n < 1 || n > 8 || n > c.end - c.pos - 1)
        return false;
    uint64_t v = 0;
    for (int i = 1; i <= n; ++i)
        v = v << 8 | c.buf->data[c.pos + i];
    *out = (int64_t)(v & INT64_MAX);
    c.pos += 1 + n;
    return true;
}

}  // namespace

std::string MmsTextAsUtf8(const std::string &octets)
{
    return is_utf8(octets) ? octets : latin1_as_utf8(octets, true);
}

std::string MmsAddress(const std::string &given)
{
    std::string digits;
    bool phone = !given.empty();
    for (size_t i = 0; phone && i < given.size(); ++i) {
        char c = given[i];
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c == '+' && digits.empty() && i == given.find_first_not_of(" "))
            digits += c;
        else if (!strchr(" -.()", c))
            phone = false;
    }
    size_t count = digits.size() - (!digits.empty() && digits[0] == '+' ? 1 : 0);
    if (phone && count >= 1 && count <= 20)
        return digits + "/TYPE=PLMN";
    size_t at = given.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == given.size() || given.find('@', at + 1) != std::string::npos)
        return std::string();
    for (char c : given)
        if ((uint8_t)c <= 0x20 || (uint8_t)c >= 0x7F || strchr("<>,;\"", c))
            return std::string();
    return given;
}

std::string MmsNewTransactionId(void)
{
    uint64_t v = (uint64_t)time(NULL) << 32;
    try {
        std::random_device rd;
        v ^= (uint64_t)rd() << 16 ^ rd();
    } catch (...) {
        v ^= (uint64_t)GetCurrentProcessId() << 8 ^ GetTickCount();
    }
    char s[24];
    snprintf(s, sizeof s, "T%016llX", (unsigned long long)v);
    return s;
}

int MmsEncodeSendHeaders(const MMS_HEADERS &h, std::vector<uint8_t> &out, std::string *why)
{
    if (h.to.empty() && h.cc.empty() && h.bcc.empty())
        return fail(why, "no recipient: give at least one --to or --cc");
    std::string id = h.transactionId.empty() ? MmsNewTransactionId() : h.transactionId;
    if (has_control(id) || has_control(h.subject) || has_control(h.from))
        return fail(why, "a header text holds a control character");
    out.push_back(0x80 | kFieldMessageType);
    out.push_back(MMS_M_SEND_REQ);
    out.push_back(0x80 | kFieldTransactionId);
    put_text(out, id);
    out.push_back(0x80 | kFieldVersion);
    out.push_back(MMS_VERSION_1_2);
    int64_t date = h.date >= 0 ? h.date : (int64_t)time(NULL);
    out.push_back(0x80 | kFieldDate);
    int n = 1;
    while (n < 8 && (date >> (8 * n)) != 0)
        ++n;
    out.push_back((uint8_t)n);
    for (int i = n - 1; i >= 0; --i)
        out.push_back((uint8_t)(date >> (8 * i)));
    out.push_back(0x80 | kFieldFrom);
    if (h.from.empty()) {
        out.push_back(1);
        out.push_back(kInsertAddress);
    } else {
        std::string from = MmsAddress(h.from);
        if (from.empty())
            return fail(why, "the sender '" + h.from + "' is neither a phone number nor an e-mail address");
        std::vector<uint8_t> value;
        put_encoded_string(value, from, false);
        put_value_length(out, 1 + value.size());
        out.push_back(kAddressPresent);
        out.insert(out.end(), value.begin(), value.end());
    }
    const struct {
        int field;
        const std::vector<std::string> *list;
    } kLists[] = {{kFieldTo, &h.to}, {kFieldCc, &h.cc}, {kFieldBcc, &h.bcc}};
    for (const auto &l : kLists)
        for (const std::string &a : *l.list) {
            std::string address = MmsAddress(a);
            if (address.empty())
                return fail(why, "the recipient '" + a + "' is neither a phone number (+4712345678) nor an e-mail address");
            out.push_back((uint8_t)(0x80 | l.field));
            put_encoded_string(out, address, false);
        }
    if (h.hasSubject) {
        out.push_back(0x80 | kFieldSubject);
        put_encoded_string(out, MmsTextAsUtf8(h.subject), true);
    }
    return 1;
}

int MmsDecodeHeaders(const uint8_t *data, size_t size, MMS_HEADERS *h, std::string *why)
{
    if (!h || (!data && size))
        return fail(why, "no PDU");
    *h = MMS_HEADERS();
    h->version = 0;
    WSP_BUFFER view = {(int32_t)(size > INT32_MAX ? INT32_MAX : size), (uint8_t *)data, 0};
    view.capacity = view.length;
    Cursor c{&view, 0, view.length};
    if (c.end < 2 || data[0] != (0x80 | kFieldMessageType))
        return fail(why, "not an MMS PDU: it does not begin with its message type");
    h->messageType = data[1];
    if (h->messageType != MMS_M_SEND_REQ && h->messageType != MMS_M_RETRIEVE_CONF)
        return fail(why, "an MMS PDU of message type " + hex2(h->messageType) +
                             ", not an m-send-req (0x80) or m-retrieve-conf (0x84)");
    c.pos = 2;
    while (c.pos < c.end) {
        int32_t at = c.pos;
        int b = data[c.pos++];
        bool ok = true;
        if (b < 0x20) {
            return fail(why, "octet " + hex2(b) + " at offset " + std::to_string(at) + " begins no header");
        } else if (b < 0x80) {
            /* Application-header: Token-text Application-specific-value. */
            c.pos = at;
            ok = take_text(c, NULL) && take_text(c, NULL);
            ++h->skipped;
        } else {
            int field = b & 0x7F;
            std::string text;
            switch (field) {
            case kFieldContentType:
                h->bodyOffset = at;
                return 1;
            case kFieldMessageType:
                ok = false;
                break;
            case kFieldTransactionId:
                ok = take_text(c, &h->transactionId);
                break;
            case kFieldMessageId:
                ok = take_text(c, &h->messageId);
                break;
            case kFieldVersion: {
                int64_t v = WspBufReadInteger(&view, &c.pos, c.end);
                ok = v >= 0 ? (h->version = 0x80 | (int)(v & 0x7F), true) : WspBufSkipValue(&view, &c.pos, c.end) != 0;
                break;
            }
            case kFieldDate:
                ok = take_date(c, &h->date);
                break;
            case kFieldFrom:
                ok = take_from(c, &h->from);
                break;
            case kFieldTo:
            case kFieldCc:
            case kFieldBcc:
                ok = take_encoded_string(c, &text);
                (field == kFieldTo ? h->to : field == kFieldCc ? h->cc : h->bcc).push_back(text);
                break;
            case kFieldSubject:
                ok = take_encoded_string(c, &h->subject);
                h->hasSubject = ok;
                break;
            default:
                ok = WspBufSkipValue(&view, &c.pos, c.end) != 0;
                ++h->skipped;
                break;
            }
            if (!ok)
                return fail(why, "the header " + hex2(b) + " at offset " + std::to_string(at) +
                                     (field == kFieldMessageType ? " comes twice" : " is malformed or runs past the end"));
        }
        if (!ok)
            return fail(why, "the application header at offset " + std::to_string(at) + " runs past the end");
    }
    return fail(why, "the PDU ends before its Content-Type header: it carries no message");
}

MIME_MESSAGE *MmsOpenPdu(const char *lpszFolder, const char *lpszName, MMS_HEADERS *h, std::string *why)
{
    MMS_HEADERS local;
    if (!h)
        h = &local;
    if (!lpszFolder || !lpszName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        fail(why, "no file");
        return NULL;
    }
    WSP_FILE *fp = WspFileOpen(lpszFolder, lpszName, WSP_RB);
    if (!fp) {
        fail(why, "");
        return NULL;
    }
    /* The headers lie before the body: read in growing blocks until the Content-Type is found,
     * so a large body is never read whole here. */
    int32_t size = WspFileSize(fp);
    std::vector<uint8_t> head;
    std::string reason;
    bool found = false;
    for (int32_t want = 4096; size >= 0 && !found; want *= 2) {
        int32_t n = want < size ? want : size;
        head.resize((size_t)n);
        if (WspFileSeek(fp, WSP_SEEK_SET, 0) != 0 || WspFileRead(fp, head.data(), n) != n) {
            DWORD e = WspFileError(fp) ? GetLastError() : ERROR_HANDLE_EOF;
            WspFileClose(fp);
            SetLastError(e);
            fail(why, "");
            return NULL;
        }
        found = MmsDecodeHeaders(head.data(), head.size(), h, &reason);
        if (n == size || want > INT32_MAX / 2)
            break;
    }
    if (!found) {
        WspFileClose(fp);
        SetLastError(ERROR_INVALID_DATA);
        fail(why, reason);
        return NULL;
    }
    WspFileSeek(fp, WSP_SEEK_SET, h->bodyOffset);
    MIME_MESSAGE *msg = WspReadMessage(fp);
    if (!msg)
        fail(why, GetLastError() == ERROR_INVALID_DATA ? "the PDU's multipart body is damaged" : "");
    return msg;
}

int MmsWriteSendReq(const char *msgFolder, const char *msgName, const MMS_HEADERS &h, const char *outFolder,
                    const char *outName, std::string *why)
{
    if (!msgFolder || !msgName || !outFolder || !outName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return fail(why, "");
    }
    std::vector<uint8_t> out;
    if (!MmsEncodeSendHeaders(h, out, why)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string src = std::string(msgFolder) + msgName, dest = std::string(outFolder) + outName;
    int same = FioSameFile(src.c_str(), dest.c_str());
    if (same != 0) {
        if (same > 0)
            SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
        return fail(why, "");
    }
    /* The message is read as a whole first: a damaged one is refused before anything is
     * written. */
    MIME_MESSAGE *msg = MimeOpenFile(msgFolder, msgName);
    if (!msg)
        return fail(why, std::string("the message ") + msgName + " cannot be read:");
    WSP_FILE *fp = NULL;
    WSP_BUFFER *type = WspBufNew();
    uint8_t first[8192];
    int32_t got = 0, entries = 1, size = WspFileSize(msg->stream);
    int ok = 0;
    DWORD e = ERROR_NOT_ENOUGH_MEMORY;
    if (!type)
        goto done;
    /* Where the entries begin: after the file's own Content-Type header. */
    if (WspFileSeek(msg->stream, WSP_SEEK_SET, 0) != 0 ||
        (got = WspFileRead(msg->stream, first, (int32_t)sizeof first)) < 2) {
        e = WspFileError(msg->stream) ? GetLastError() : ERROR_HANDLE_EOF;
        goto done;
    }
    {
        WSP_BUFFER view = {got, first, got};
        if (!WspBufSkipValue(&view, &entries, got)) {
            e = ERROR_INVALID_DATA;
            goto done;
        }
    }
    {
        const MIME_PART *start = msg->startPart;
        char bare[MIME_SPLIT_MAX] = "";
        if (start && start->contentType)
            MimeSplitContentTypeEx(start->contentType, bare, sizeof bare, NULL, 0);
        if (!WspEncodeMessageType(type, msg->contentType, bare, start ? start->contentId : NULL))
            goto done;
    }
    fp = WspFileCreateAtomic(outFolder, outName);
    if (!fp) {
        e = GetLastError();
        goto done;
    }
    if (WspFileWrite(fp, out.data(), (int32_t)out.size()) != (int32_t)out.size() ||
        !WspBufWriteRange(type, 0, type->length, fp) || WspFileSeek(msg->stream, WSP_SEEK_SET, entries) != 0 ||
        WspFileCopy(msg->stream, size - entries, fp) != size - entries) {
        e = WspFileError(fp) ? GetLastError() : WspFileError(msg->stream) ? GetLastError() : ERROR_HANDLE_EOF;
        goto done;
    }
    ok = WspFileCommit(fp);
    fp = NULL;
    e = ok ? NO_ERROR : GetLastError();
done:
    if (fp)
        WspFileClose(fp);
    WspBufFree(type);
    MimeDestroy(msg);
    SetLastError(e);
    return ok ? 1 : fail(why, "");
}
