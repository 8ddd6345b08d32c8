/*
 * E-mail export (see mms.h): a message file as a MIME message of RFC 2045-2049.
 *
 *   MIME-Version: 1.0
 *   Date / From / To / Cc / Subject
 *   Content-Type: multipart/related; boundary="=_medley_<hex>";
 *    type="application/smil"; start="<smil>"          (multipart/mixed without a start part)
 *
 *   --=_medley_<hex>
 *   Content-Type: <type>[; charset=<charset>]; name=...
 *   Content-Transfer-Encoding: base64
 *   Content-ID: <id>
 *   Content-Location: <name, percent-encoded>
 *   Content-Disposition: inline | attachment; filename=...
 *
 *   <base64, 76 characters a line>
 *   --=_medley_<hex>--
 *
 * The boundary holds "=_", which base64 never does, so no part can hold it.  Every line ends in
 * CRLF and holds at most 78 characters: headers are folded before a parameter.
 */
#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include <windows.h>

#include "fileio.h"
#include "mms.h"
#include "wsp.h"

namespace {

enum { kLine = 78, kBase64Line = 76, kBlock = 57 * 1024 };

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void base64(const uint8_t *p, size_t n, std::string &out)
{
    for (size_t i = 0; i < n; i += 3) {
        uint32_t v = (uint32_t)p[i] << 16 | (i + 1 < n ? p[i + 1] << 8 : 0) | (i + 2 < n ? p[i + 2] : 0);
        out += kBase64[v >> 18 & 63];
        out += kBase64[v >> 12 & 63];
        out += i + 1 < n ? kBase64[v >> 6 & 63] : '=';
        out += i + 2 < n ? kBase64[v & 63] : '=';
    }
}

bool plain_ascii(const std::string &s)
{
    for (char c : s)
        if ((uint8_t)c < 0x20 || (uint8_t)c >= 0x7F)
            return false;
    return true;
}

bool token_char(char c)
{
    return (uint8_t)c > 0x20 && (uint8_t)c < 0x7F && !strchr("()<>@,;:\\\"/[]?=", c);
}

bool is_token(const std::string &s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!token_char(c))
            return false;
    return true;
}

/* RFC 2231 attribute-char: a token character but "*", "'" and "%". */
bool attribute_char(char c)
{
    return token_char(c) && !strchr("*'%", c);
}

std::string percent(uint8_t c)
{
    char s[4];
    snprintf(s, sizeof s, "%%%02X", c);
    return s;
}

/* The media type written for a part: type/subtype when both are tokens, else
 * application/octet-stream; a charset parameter is kept under its IANA name. */
std::string mail_type(const char *given)
{
    std::string type = given ? given : "";
    std::string bare = type.substr(0, type.find(';')), out;
    while (!bare.empty() && (bare.back() == ' ' || bare.back() == '\t'))
        bare.pop_back();
    size_t slash = bare.find('/');
    if (slash == std::string::npos || !is_token(bare.substr(0, slash)) || !is_token(bare.substr(slash + 1)))
        return "application/octet-stream";
    out = bare;
    size_t cs = type.find("charset=");
    if (cs != std::string::npos) {
        std::string name = type.substr(cs + 8);
        name = name.substr(0, name.find(';'));
        int mib = WspCharsetCode(name.c_str());
        if (mib == 106)
            out += "; charset=utf-8";
        else if (mib == 3)
            out += "; charset=us-ascii";
        else if (is_token(name))
            out += "; charset=" + name;
    }
    return out;
}

struct Writer {
    FIO_FILE *f;
    bool bad;
    void put(const std::string &s)
    {
        if (!bad && FioWrite(f, s.data(), s.size()) != s.size())
            bad = true;
    }
    /* A header: its name, then pieces, a piece going to a folded line of its own when the line
     * would grow past kLine. */
    void header(const std::string &name, const std::vector<std::string> &pieces)
    {
        std::string line = name + ":";
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0 && line.size() + 1 + pieces[i].size() > kLine) {
                put(line + "\r\n");
                line.clear();
            }
            line += " " + pieces[i];
        }
        put(line + "\r\n");
    }
};

std::string rfc5322_date(int64_t when)
{
    time_t t = (time_t)when;
    struct tm tm;
#if defined(_WIN32)
    gmtime_s(&tm, &t);
#else
    gmtime_r(&t, &tm);
#endif
    static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char s[64];
    snprintf(s, sizeof s, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[tm.tm_wday % 7], tm.tm_mday,
             kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return s;
}

/* Address list pieces: "a@b.c," ... "z@y.x". */
std::vector<std::string> address_pieces(const std::vector<std::string> &list)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < list.size(); ++i)
        out.push_back(list[i] + (i + 1 < list.size() ? "," : ""));
    return out;
}

bool mail_address(const std::string &a)
{
    return !MmsAddress(a).empty() && a.find('@') != std::string::npos;
}

bool fail(std::string *why, const std::string &text)
{
    if (why)
        *why = text;
    return false;
}

}  // namespace

std::vector<std::string> MailParameter(const std::string &name, const std::string &value, size_t room)
{
    std::vector<std::string> out;
    /* A short plain value: one quoted string. */
    std::string quoted;
    for (char c : value) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    if (plain_ascii(value) && name.size() + quoted.size() + 4 <= room) {
        out.push_back(name + "=\"" + quoted + "\"");
        return out;
    }
    /* RFC 2231: name*0*=utf-8''<octets>; name*1*=<octets>; ... each piece within room, no
     * percent-escape split across pieces. */
    std::string encoded;
    for (char ch : value)
        encoded += attribute_char(ch) ? std::string(1, ch) : percent((uint8_t)ch);
    if (name.size() + 9 + encoded.size() + 1 <= room) {
        out.push_back(name + "*=utf-8''" + encoded);
        return out;
    }
    size_t k = 0;
    auto head = [&]() {
        std::string h = name + "*" + std::to_string(k) + "*=";
        return k == 0 ? h + "utf-8''" : h;
    };
    std::string piece = head();
    for (size_t i = 0; i < encoded.size();) {
        size_t n = encoded[i] == '%' ? 3 : 1;
        if (piece.size() + n + 1 > room && piece != head()) {
            out.push_back(piece);
            ++k;
            piece = head();
        }
        piece += encoded.substr(i, n);
        i += n;
    }
    out.push_back(piece);
    return out;
}

std::vector<std::string> MailEncodedWords(const std::string &text)
{
    std::vector<std::string> out;
    /* "=?utf-8?B?" + base64 + "?=": at most 39 octets (64 characters) a word, so that even the
     * first, after "Subject: ", stays within 76; cut only before a character's first octet. */
    size_t at = 0;
    while (at < text.size()) {
        size_t n = text.size() - at < 39 ? text.size() - at : 39;
        while (at + n < text.size() && n > 0 && ((uint8_t)text[at + n] & 0xC0) == 0x80)
            --n;
        if (n == 0)
            n = 1;
        std::string word = "=?utf-8?B?";
        base64((const uint8_t *)text.data() + at, n, word);
        out.push_back(word + "?=");
        at += n;
    }
    return out;
}

int MailExport(const char *msgFolder, const char *msgName, const MMS_HEADERS &h, const char *outFolder,
               const char *outName, std::string *why)
{
    if (!msgFolder || !msgName || !outFolder || !outName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return fail(why, "");
    }
    for (const auto *list : {&h.to, &h.cc})
        for (const std::string &a : *list)
            if (!mail_address(a)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return fail(why, "the recipient '" + a + "' is not an e-mail address");
            }
    if (!h.from.empty() && !mail_address(h.from)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return fail(why, "the sender '" + h.from + "' is not an e-mail address");
    }
    std::string src = std::string(msgFolder) + msgName, dest = std::string(outFolder) + outName;
    int same = FioSameFile(src.c_str(), dest.c_str());
    if (same != 0) {
        if (same > 0)
            SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
        return fail(why, "");
    }
    MIME_MESSAGE *msg = MimeOpenFile(msgFolder, msgName);
    if (!msg)
        return fail(why, std::string("the message ") + msgName + " cannot be read:");
    bool related = msg->startPart && msg->contentType && strcmp(msg->contentType, MIME_TYPE_RELATED) == 0;
    std::string boundary = "=_medley_" + MmsNewTransactionId().substr(1);
    Writer w{FioCreateAtomic(dest.c_str()), false};
    if (!w.f) {
        DWORD e = GetLastError();
        MimeDestroy(msg);
        SetLastError(e);
        return fail(why, "");
    }
    DWORD e = NO_ERROR;
    std::vector<uint8_t> block(kBlock);
    w.put("MIME-Version: 1.0\r\n");
    w.header("Date", {rfc5322_date(h.date >= 0 ? h.date : (int64_t)time(NULL))});
    if (!h.from.empty())
        w.header("From", {h.from});
    if (!h.to.empty())
        w.header("To", address_pieces(h.to));
    if (!h.cc.empty())
        w.header("Cc", address_pieces(h.cc));
    if (h.hasSubject) {
        std::string subject = MmsTextAsUtf8(h.subject);
        bool plain = plain_ascii(subject) && subject.find("=?") == std::string::npos && subject.size() <= 60;
        w.header("Subject", plain ? std::vector<std::string>{subject} : MailEncodedWords(subject));
    }
    std::vector<std::string> top = {related ? "multipart/related;" : "multipart/mixed;", "boundary=\"" + boundary + "\""};
    if (related) {
        char bare[MIME_SPLIT_MAX] = "";
        MimeSplitContentTypeEx(msg->startPart->contentType ? msg->startPart->contentType : MIME_TYPE_SMIL, bare,
                               sizeof bare, NULL, 0);
        top.back() += ";";
        top.push_back("type=\"" + mail_type(bare) + "\"");
        const char *id = msg->startPart->contentId;
        if (id && plain_ascii(id) && !strchr(id, '"') && strlen(id) < 60) {
            top.back() += ";";
            top.push_back(std::string("start=\"") + id + "\"");
        }
    }
    w.header("Content-Type", top);
    w.put("\r\nThis is a message in MIME format: its parts are attached.\r\n");
    /* The root first, then the others in the file's order. */
    std::vector<const MIME_PART *> order;
    if (related)
        order.push_back(msg->startPart);
    for (const MIME_PART *p = msg->firstPart; p; p = p->next)
        if (!related || p != msg->startPart)
            order.push_back(p);
    for (const MIME_PART *p : order) {
        w.put("\r\n--" + boundary + "\r\n");
        std::string name = p->name ? MmsTextAsUtf8(p->name) : std::string();
        std::vector<std::string> type = {mail_type(p->contentType)};
        if (!name.empty()) {
            type.back() += ";";
            for (std::string &piece : MailParameter("name", name, kLine - 2))
                type.push_back(piece + ";");
            type.back().pop_back();
        }
        w.header("Content-Type", type);
        w.put("Content-Transfer-Encoding: base64\r\n");
        if (p->contentId && plain_ascii(p->contentId) && strlen(p->contentId) <= kLine - 13)
            w.header("Content-ID", {p->contentId});
        if (!name.empty()) {
            std::string location;
            for (char c : name)
                location += (isalnum((uint8_t)c) || strchr("-._~!$&'()+,;=@", c)) ? std::string(1, c) : percent((uint8_t)c);
            if (location.size() <= kLine - 19)
                w.header("Content-Location", {location});
        }
        std::vector<std::string> disposition = {related ? "inline" : "attachment"};
        if (!name.empty()) {
            disposition.back() += ";";
            for (std::string &piece : MailParameter("filename", name, kLine - 2))
                disposition.push_back(piece + ";");
            disposition.back().pop_back();
        }
        w.header("Content-Disposition", disposition);
        w.put("\r\n");
        if (WspFileSeek(msg->stream, WSP_SEEK_SET, p->dataOffset) != 0) {
            e = WspFileError(msg->stream) ? GetLastError() : ERROR_HANDLE_EOF;
            break;
        }
        for (int32_t left = p->dataLength; left > 0 && !w.bad;) {
            int32_t n = left < kBlock ? left : kBlock;
            if (WspFileRead(msg->stream, block.data(), n) != n) {
                e = WspFileError(msg->stream) ? GetLastError() : ERROR_HANDLE_EOF;
                break;
            }
            std::string text;
            for (int32_t i = 0; i < n; i += 57) {
                base64(block.data() + i, (size_t)(n - i < 57 ? n - i : 57), text);
                text += "\r\n";
            }
            w.put(text);
            left -= n;
        }
        if (e != NO_ERROR || w.bad)
            break;
    }
    w.put("\r\n--" + boundary + "--\r\n");
    MimeDestroy(msg);
    if (e == NO_ERROR && w.bad && (e = FioLastError(w.f)) == NO_ERROR)
        e = ERROR_WRITE_FAULT;
    if (e != NO_ERROR) {
        FioClose(w.f);
        SetLastError(e ? e : ERROR_WRITE_FAULT);
        return fail(why, "");
    }
    return FioCommit(w.f) ? 1 : fail(why, "");
}
