/*
 * The message file: a WSP multipart MIME file (WAP-230-WSP 8.5), headed by the MMS
 * Content-Type field, in the layout the base library's MIME reader opens.
 *
 *   +------+-------------------------------------------+-------+---------+
 *   | 0x84 | 0x1B 0xB3 0x89 "application/smil" 0x00   | count | entries |
 *   |      |      0x8A "<smil>" 0x00     (related)     | 1 oct |         |
 *   |      | or 0xA3                     (mixed)       |       |         |
 *   +------+-------------------------------------------+-------+---------+
 *
 *   entry: HeadersLen (uintvar) DataLen (uintvar) ContentType Headers Data
 *          ContentType  well-known code | 0x80, or "text/plain" as 0x03 0x83 0x81 0x83 (us-ascii)
 *                       or 0x03 0x83 0x81 0xEA (a UTF-8 text beyond ASCII), or
 *                       "application/smil" as 0x13 type 0x00 0x81 0x83, or a text string
 *          Headers      0xC0 0x22 "<id>" 0x00 (Content-ID), 0x8E name 0x00 (Content-Location);
 *                       a name whose first octet is above 0x7F gets the quote octet 0x7F before
 *                       it, or readers take that octet for a short integer
 */
#include <string.h>

#include <map>

#include "fileio.h"
#include "mdoc_private.h"

namespace {

/* WAP-230-WSP Table 40, the content types that message media use. */
const struct { const char *type; unsigned char code; } kWellKnown[] = {
    {"text/html", 0x02},  {"image/gif", 0x1D}, {"image/jpeg", 0x1E},
    {"image/tiff", 0x1F}, {"image/png", 0x20}, {"image/vnd.wap.wbmp", 0x21},
    {"application/xml", 0x27}, {"text/xml", 0x28},
};

const struct { const char *ext; const char *type; } kByExtension[] = {
    {".gif", "image/gif"},       {".jpg", "image/jpeg"},      {".jpeg", "image/jpeg"},
    {".png", "image/png"},       {".bmp", "image/bmp"},       {".wbmp", "image/vnd.wap.wbmp"},
    {".txt", "text/plain"},      {".wav", "audio/x-wav"},     {".mid", "audio/midi"},
    {".midi", "audio/midi"},     {".amr", "audio/amr"},       {".mp3", "audio/mpeg"},
    {".3gp", "video/3gpp"},      {".smil", "application/smil"}, {".xml", "application/xml"},
};

bool SameNoCase(const std::string &a, const char *b)
{
    if (a.size() != strlen(b))
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i];
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (x != b[i])
            return false;
    }
    return true;
}

std::string TypeFor(const std::string &name)
{
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        std::string ext = name.substr(dot);
        for (const auto &e : kByExtension)
            if (SameNoCase(ext, e.ext))
                return e.type;
    }
    return "application/octet-stream";
}

void Uintvar(std::string &out, uint32_t v)
{
    unsigned char tmp[5];
    int n = 0;
    do {
        tmp[n++] = (unsigned char)(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n > 1)
        out += (char)(tmp[--n] | 0x80);
    out += (char)tmp[0];
}

void Text(std::string &out, const std::string &s)
{
    out += s;
    out += '\0';
}

/* Whether a text is UTF-8 beyond ASCII (anything else goes as us-ascii). */
bool Utf8BeyondAscii(const std::string &s)
{
    bool beyond = false;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        int n = c < 0x80 ? 0 : (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2 : (c >= 0xF0 && c <= 0xF4) ? 3 : -1;
        if (n < 0 || i + n >= s.size())
            return false;
        for (int k = 1; k <= n; k++)
            if (((unsigned char)s[i + k] & 0xC0) != 0x80)
                return false;
        beyond = beyond || n > 0;
        i += n + 1;
    }
    return beyond;
}

void ContentType(std::string &out, const std::string &type, const std::string &data)
{
    if (type == "text/plain") {
        // Charset utf-8 (106) for a UTF-8 text, us-ascii (3) otherwise.
        out += Utf8BeyondAscii(data) ? "\x03\x83\x81\xEA" : "\x03\x83\x81\x83";
        return;
    }
    if (type == "application/smil") {
        out += (char)(type.size() + 3);
        Text(out, type);
        out += "\x81\x83";
        return;
    }
    for (const auto &w : kWellKnown)
        if (type == w.type) {
            out += (char)(w.code | 0x80);
            return;
        }
    Text(out, type);
}

void Entry(std::string &out, const std::string &type, const std::string &id, const std::string &name,
           const std::string &data)
{
    std::string headers;
    ContentType(headers, type, data);
    headers += "\xC0\x22";
    Text(headers, id);
    headers += '\x8E';
    if (!name.empty() && (unsigned char)name[0] >= 0x80)
        headers += '\x7F';
    Text(headers, name);
    Uintvar(out, (uint32_t)headers.size());
    Uintvar(out, (uint32_t)data.size());
    out += headers;
    out += data;
}

}  // namespace

MDOC_API int WINAPI mmsGenerateMessage(HMMSCONTAINER hCont, LPCSTR lpszSubject, LPCSTR lpszId,
                                       LPCSTR lpszTo, LPCSTR lpszPath, int nFlag)
{
    if (!hCont || !lpszSubject || !lpszId || !lpszTo || !lpszPath || !*lpszPath)
        return 0;
    try {
        struct Part { std::string name, path; };
        std::vector<Part> parts;
        std::map<std::string, std::string> seen;
        for (const auto &tl : hCont->timelines) {
            for (const mdoc::Object &o : tl) {
                std::string name = mdoc::NameOf(o.src);
                auto it = seen.find(name);
                if (it != seen.end()) {
                    if (!mdoc::SamePath(it->second, o.path)) {
                        SetLastError(MDOC_ERROR_NAME_CLASH);
                        return 0;
                    }
                    continue;
                }
                seen[name] = o.path;
                parts.push_back({name, o.path});
            }
        }
        int count = (int)parts.size() + (nFlag ? 1 : 0);
        if (count > 127) {
            SetLastError(MDOC_ERROR_TOO_MANY_PARTS);
            return 0;
        }

        std::string out;
        out += '\x84';
        if (nFlag)
            out += std::string("\x1B\xB3\x89" "application/smil\0\x8A<smil>\0", 28);
        else
            out += '\xA3';
        out += (char)count;
        if (nFlag) {
            // The start part names each media file by its part name.
            MDOC_CONTAINER flat = *hCont;
            for (auto &tl : flat.timelines)
                for (mdoc::Object &o : tl)
                    o.src = mdoc::NameOf(o.src);
            MDOC_SMIL *doc = mdoc::SmilFromContainer(&flat);
            if (!doc)
                return 0;
            std::string smil = mdoc::SmilText(doc);
            SMIL_Destory(doc);
            Entry(out, "application/smil", "<smil>", "mms.smil", smil);
        }
        for (const Part &p : parts) {
            // The message must never take the place of one of its own media files.
            int same = FioSameFile(p.path.c_str(), lpszPath);
            if (same != 0) {
                if (same > 0)
                    SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
                return 0;
            }
            std::string data;
            if (!mdoc::ReadWholeFile(p.path, data, (size_t)1 << 30))
                return 0;
            Entry(out, TypeFor(p.name), "<" + p.name + ">", p.name, data);
        }
        // Written whole or not at all: a failure leaves what was at lpszPath as it was.
        return mdoc::WriteWholeFile(lpszPath, out) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
