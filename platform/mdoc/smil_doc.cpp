/*
 * SMIL documents: building them record by record and writing them as SMIL text.
 *
 * The text is what handsets accept:
 *
 *   <smil>
 *    <head>
 *     <layout>
 *      <root-layout width="176" height="208"/>
 *      <region id="Image" left="0" top="0" width="176" height="144" fit="meet"/>
 *     </layout>
 *    </head>
 *    <body>
 *     <par dur="5000ms">
 *      <img src="a.jpg" region="Image"/>
 *      <text src="a.txt"/>
 *     </par>
 *    </body>
 *   </smil>
 *
 * Zero numbers and null strings are left out (region geometry is always written).  Strings are
 * ANSI; when one holds a byte above 0x7F the text starts with a declaration of the ANSI code
 * page it is written in (ISO-8859-1, or windows-1252 when it uses 0x80-0x9F; elsewhere the
 * text is turned into UTF-8 and declared so), so the document stays well-formed XML and reads
 * back as the same characters.
 */
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <new>
#include <set>
#include <vector>

#include "mdoc_private.h"

namespace mdoc {

void FreeMediaStrings(MEDIA_ATT *att)
{
    free(att->lpszRegion);
    free(att->lpszSrc);
    free(att->lpszAlt);
    free(att->lpszContentType);
    free(att->lpszContentId);
    att->lpszRegion = att->lpszSrc = att->lpszAlt = att->lpszContentType = att->lpszContentId = nullptr;
}

void FreeRegionStrings(REGION *r)
{
    free(r->lpszId);
    free(r->lpszFit);
    r->lpszId = r->lpszFit = nullptr;
}

static void FreeTc(MDOC_SMIL_TC *tc)
{
    if (!tc)
        return;
    for (MDOC_SMIL_MEDIA &m : tc->media)
        FreeMediaStrings(&m.att);
    delete tc;
}

/* XML attribute value: markup characters escaped; control characters, which XML 1.0 cannot
 * carry at all, become '?'. */
static void Escaped(std::string &out, const char *s)
{
    for (; *s; s++) {
        unsigned char c = (unsigned char)*s;
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (c < 0x20 && c != '\t')
                out += '?';
            else
                out += (char)c;
        }
    }
}

static void Attr(std::string &out, const char *name, const char *value)
{
    if (!value)
        return;
    out += ' ';
    out += name;
    out += "=\"";
    Escaped(out, value);
    out += '"';
}

static void AttrNum(std::string &out, const char *name, unsigned long v, const char *unit = "")
{
    char buf[32];
    snprintf(buf, sizeof buf, "%lu%s", v, unit);
    Attr(out, name, buf);
}

static const char *ElementOf(int type)
{
    switch (type) {
    case MDOC_TYPE_IMAGE: return "img";
    case MDOC_TYPE_TEXT: return "text";
    case MDOC_TYPE_AUDIO: return "audio";
    case MDOC_TYPE_VIDEO: return "video";
    default: return "ref";
    }
}

std::string SmilText(const MDOC_SMIL *doc)
{
    std::string body;
    body += "<smil>\n <head>\n  <layout>\n   <root-layout";
    if (doc->root.wWidth)
        AttrNum(body, "width", doc->root.wWidth);
    if (doc->root.wHeight)
        AttrNum(body, "height", doc->root.wHeight);
    Attr(body, "background-color", doc->root.lpszBackground);
    body += "/>\n";
    for (const REGION &r : doc->regions) {
        body += "   <region";
        Attr(body, "id", r.lpszId ? r.lpszId : "");
        AttrNum(body, "left", r.wLeft);
        AttrNum(body, "top", r.wTop);
        AttrNum(body, "width", r.wWidth);
        AttrNum(body, "height", r.wHeight);
        Attr(body, "fit", r.lpszFit);
        if (r.bZIndex)
            AttrNum(body, "z-index", r.bZIndex);
        body += "/>\n";
    }
    body += "  </layout>\n </head>\n <body>\n";
    for (const MDOC_SMIL_TC *tc : doc->tcs) {
        const char *el = tc->kind == MDOC_TC_SEQ ? "seq" : "par";
        body += "  <";
        body += el;
        if (tc->att.dwDur)
            AttrNum(body, "dur", tc->att.dwDur, "ms");
        if (tc->att.dwBegin)
            AttrNum(body, "begin", tc->att.dwBegin, "ms");
        if (tc->att.dwEnd)
            AttrNum(body, "end", tc->att.dwEnd, "ms");
        if (tc->att.wRepeat)
            AttrNum(body, "repeatCount", tc->att.wRepeat);
        if (tc->att.bFill)
            Attr(body, "fill", "freeze");
        body += ">\n";
        for (const MDOC_SMIL_MEDIA &m : tc->media) {
            const MEDIA_ATT &a = m.att;
            body += "   <";
            body += ElementOf(m.type);
            Attr(body, "src", a.lpszSrc ? a.lpszSrc : "");
            Attr(body, "region", a.lpszRegion);
            Attr(body, "alt", a.lpszAlt);
            if (a.dwBegin)
                AttrNum(body, "begin", a.dwBegin, "ms");
            if (a.dwDur)
                AttrNum(body, "dur", a.dwDur, "ms");
            if (a.dwEnd)
                AttrNum(body, "end", a.dwEnd, "ms");
            if (a.wRepeat)
                AttrNum(body, "repeatCount", a.wRepeat);
            if (a.bFill)
                Attr(body, "fill", "freeze");
            if (a.dwClipBegin)
                AttrNum(body, "clipBegin", a.dwClipBegin, "ms");
            if (a.dwClipEnd)
                AttrNum(body, "clipEnd", a.dwClipEnd, "ms");
            body += "/>\n";
        }
        body += "  </";
        body += el;
        body += ">\n";
    }
    body += " </body>\n</smil>\n";
    std::string declaration = SmilDeclarationFor(body);
    return declaration + body;
}

/* ANSI -> UTF-16 -> UTF-8, or false. */
static bool AnsiToUtf8(std::string &text)
{
    int wn = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), nullptr, 0);
    if (wn <= 0)
        return false;
    std::vector<WCHAR> w((size_t)wn);
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), w.data(), wn);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return false;
    std::string out((size_t)n, 0);
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, &out[0], n, nullptr, nullptr);
    text.swap(out);
    return true;
}

std::string SmilDeclarationFor(std::string &text)
{
    bool ascii = true, c1 = false;
    for (char ch : text) {
        unsigned char c = (unsigned char)ch;
        ascii = ascii && c < 0x80;
        c1 = c1 || (c >= 0x80 && c <= 0x9F);
    }
    if (ascii)
        return std::string();
    // Code page 1252 is ISO-8859-1 but for 0x80-0x9F: the narrower name when it is exact.
    if (GetACP() == 1252)
        return c1 ? "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
                  : "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
    if (AnsiToUtf8(text))
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    return std::string();
}

/* The encoding an XML text declares ("" for none), lower case. */
static std::string DeclaredEncoding(const std::string &text)
{
    if (text.compare(0, 5, "<?xml") != 0)
        return std::string();
    size_t end = text.find("?>");
    size_t at = text.find("encoding", 0);
    if (end == std::string::npos || at == std::string::npos || at > end)
        return std::string();
    size_t q = text.find_first_of("\"'", at);
    if (q == std::string::npos || q > end)
        return std::string();
    size_t close = text.find(text[q], q + 1);
    if (close == std::string::npos || close > end)
        return std::string();
    std::string enc = text.substr(q + 1, close - q - 1);
    for (char &c : enc)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c + 32);
    return enc;
}

/* Well-formed UTF-8 -> UTF-16; false for anything else. */
static bool Utf8ToWide(const std::string &s, std::vector<WCHAR> &out)
{
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        unsigned cp, len;
        if (c < 0x80) {
            cp = c, len = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F, len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F, len = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07, len = 4;
        } else {
            return false;
        }
        if (i + len > s.size())
            return false;
        for (unsigned k = 1; k < len; k++) {
            unsigned char d = (unsigned char)s[i + k];
            if ((d & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (d & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back((WCHAR)(0xD800 + (cp >> 10)));
            out.push_back((WCHAR)(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back((WCHAR)cp);
        }
        i += len;
    }
    return true;
}

bool SmilTextToAnsi(std::string &text)
{
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::string enc = DeclaredEncoding(text);
    static const char *const kLatin[] = {"iso-8859-1", "iso_8859-1", "latin1", "l1", "windows-1252", "cp1252",
                                         "us-ascii", "ascii"};
    for (const char *l : kLatin)
        if (enc == l) {
            if (GetACP() == 1252)
                return true;  // the octets are the code page's already
            std::vector<WCHAR> w(text.size());
            for (size_t i = 0; i < text.size(); i++)
                w[i] = (WCHAR)(unsigned char)text[i];
            int n = w.empty() ? 0 : WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), nullptr, 0, "?", nullptr);
            std::string out((size_t)n, 0);
            if (n > 0)
                WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), &out[0], n, "?", nullptr);
            text.swap(out);
            return true;
        }
    if (!enc.empty() && enc != "utf-8" && enc != "utf8")
        return false;
    bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; });
    std::vector<WCHAR> w;
    if (ascii || !Utf8ToWide(text, w))
        return true;  // ASCII, or octets that are no UTF-8: taken as they are
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), nullptr, 0, "?", nullptr);
    std::string out((size_t)(n > 0 ? n : 0), 0);
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), &out[0], n, "?", nullptr);
    text.swap(out);
    return true;
}

MDOC_SMIL *SmilFromContainer(const MDOC_CONTAINER *c)
{
    MDOC_SMIL *doc = SMIL_Create();
    if (!doc)
        return nullptr;
    try {
        if (c->hasRoot) {
            ROOT_LAYOUT rl{c->rootWidth, c->rootHeight, nullptr};
            if (!c->rootBackground.empty())
                rl.lpszBackground = AllocSMILStr(c->rootBackground.c_str());
            SMIL_SetRootLayout(doc, &rl);
        }
        for (const Region &r : c->regions) {
            REGION rr{AllocSMILStr(r.id.c_str()), r.left, r.top, r.width, r.height,
                      r.fit.empty() ? nullptr : AllocSMILStr(r.fit.c_str()), r.z};
            if (!SMIL_SetRegion(doc, &rr, -1))
                throw std::bad_alloc();
        }
        std::set<int> frames;
        for (const auto &tl : c->timelines)
            for (const Object &o : tl)
                frames.insert(o.frame);
        for (int f : frames) {
            HSMILTC tc = SMIL_CreateTimeContainer(MDOC_TC_PAR);
            if (!tc || !SMIL_InsertTimeContainer(doc, tc, -1))
                throw std::bad_alloc();
            DWORD dur = 0;
            for (const auto &tl : c->timelines) {
                for (const Object &o : tl) {
                    if (o.frame != f)
                        continue;
                    MEDIA_ATT a = o.num;
                    a.lpszRegion = o.region >= 0 ? AllocSMILStr(c->regions[o.region].id.c_str()) : nullptr;
                    a.lpszSrc = AllocSMILStr(o.src.c_str());
                    a.lpszAlt = o.alt.empty() ? nullptr : AllocSMILStr(o.alt.c_str());
                    a.lpszContentType = o.contentType.empty() ? nullptr : AllocSMILStr(o.contentType.c_str());
                    a.lpszContentId = o.contentId.empty() ? nullptr : AllocSMILStr(o.contentId.c_str());
                    if (!a.lpszSrc || !SMIL_TC_InsertMediaObject(tc, o.type, &a, -1))
                        throw std::bad_alloc();
                    DWORD d = o.num.dwDur ? o.num.dwDur : o.num.dwEnd;
                    dur = std::max(dur, d);
                }
            }
            tc->att.dwDur = dur;
        }
        return doc;
    } catch (...) {
        SMIL_Destory(doc);
        return nullptr;
    }
}

}  // namespace mdoc

MDOC_API LPSTR WINAPI AllocSMILStr(LPCSTR lpsz)
{
    if (!lpsz)
        return nullptr;
    size_t n = strlen(lpsz) + 1;
    char *p = (char *)malloc(n);
    if (p)
        memcpy(p, lpsz, n);
    return p;
}

MDOC_API void WINAPI FreeSMILStr(LPSTR lpsz) { free(lpsz); }

MDOC_API HSMIL WINAPI SMIL_Create(void) { return new (std::nothrow) MDOC_SMIL(); }

MDOC_API void WINAPI SMIL_Destory(HSMIL hSmil)
{
    if (!hSmil)
        return;
    free(hSmil->root.lpszBackground);
    for (REGION &r : hSmil->regions)
        mdoc::FreeRegionStrings(&r);
    for (MDOC_SMIL_TC *tc : hSmil->tcs)
        mdoc::FreeTc(tc);
    delete hSmil;
}

MDOC_API BOOL WINAPI SMIL_SetRootLayout(HSMIL hSmil, const ROOT_LAYOUT *pLayout)
{
    if (!pLayout)
        return FALSE;
    if (!hSmil) {
        free(pLayout->lpszBackground);
        return FALSE;
    }
    free(hSmil->root.lpszBackground);
    hSmil->root = *pLayout;
    return TRUE;
}

MDOC_API BOOL WINAPI SMIL_SetRegion(HSMIL hSmil, const REGION *pRegion, int nPos)
{
    if (!pRegion)
        return FALSE;
    REGION r = *pRegion;
    if (!hSmil || nPos < -1 || nPos > (int)hSmil->regions.size()) {
        mdoc::FreeRegionStrings(&r);
        return FALSE;
    }
    try {
        hSmil->regions.insert(nPos == -1 ? hSmil->regions.end() : hSmil->regions.begin() + nPos, r);
        return TRUE;
    } catch (...) {
        mdoc::FreeRegionStrings(&r);
        return FALSE;
    }
}

MDOC_API HSMILTC WINAPI SMIL_CreateTimeContainer(int nKind)
{
    if (nKind != MDOC_TC_PAR && nKind != MDOC_TC_SEQ)
        return nullptr;
    MDOC_SMIL_TC *tc = new (std::nothrow) MDOC_SMIL_TC();
    if (tc)
        tc->kind = nKind;
    return tc;
}

MDOC_API void WINAPI SMIL_DestroyTimeContainer(HSMILTC hTc) { mdoc::FreeTc(hTc); }

MDOC_API BOOL WINAPI SMIL_InsertTimeContainer(HSMIL hSmil, HSMILTC hTc, int nPos)
{
    if (!hTc)
        return FALSE;
    if (!hSmil || nPos < -1 || nPos > (int)hSmil->tcs.size() ||
        std::find(hSmil->tcs.begin(), hSmil->tcs.end(), hTc) != hSmil->tcs.end()) {
        if (hSmil && std::find(hSmil->tcs.begin(), hSmil->tcs.end(), hTc) != hSmil->tcs.end())
            return FALSE;  // already the document's: nothing to free
        mdoc::FreeTc(hTc);
        return FALSE;
    }
    try {
        hSmil->tcs.insert(nPos == -1 ? hSmil->tcs.end() : hSmil->tcs.begin() + nPos, hTc);
        return TRUE;
    } catch (...) {
        mdoc::FreeTc(hTc);
        return FALSE;
    }
}

MDOC_API BOOL WINAPI SMIL_TC_InsertMediaObject(HSMILTC hTc, int nType, const MEDIA_ATT *pAtt, int nPos)
{
    if (!pAtt)
        return FALSE;
    MDOC_SMIL_MEDIA m{nType, *pAtt};
    if (!hTc || nPos < -1 || nPos > (int)hTc->media.size()) {
        mdoc::FreeMediaStrings(&m.att);
        return FALSE;
    }
    try {
        hTc->media.insert(nPos == -1 ? hTc->media.end() : hTc->media.begin() + nPos, m);
        return TRUE;
    } catch (...) {
        mdoc::FreeMediaStrings(&m.att);
        return FALSE;
    }
}

MDOC_API BOOL WINAPI SMIL_GetTimeContainerAtt(HSMILTC hTc, TIMECONTAINER_ATT *pAtt)
{
    if (!hTc || !pAtt)
        return FALSE;
    *pAtt = hTc->att;
    return TRUE;
}

MDOC_API BOOL WINAPI SMIL_SetTimeContainerAtt(HSMILTC hTc, const TIMECONTAINER_ATT *pAtt)
{
    if (!hTc || !pAtt)
        return FALSE;
    hTc->att = *pAtt;
    return TRUE;
}

MDOC_API int WINAPI SMIL_SaveToBuffer(HSMIL hSmil, LPSTR lpBuf, int nSize)
{
    if (!hSmil)
        return -1;
    try {
        std::string text = mdoc::SmilText(hSmil);
        if (lpBuf && nSize > (int)text.size())
            memcpy(lpBuf, text.c_str(), text.size() + 1);
        return (int)text.size();
    } catch (...) {
        return -1;
    }
}

MDOC_API BOOL WINAPI SMIL_SaveToFile(HSMIL hSmil, LPCSTR lpszPath)
{
    if (!hSmil || !lpszPath || !*lpszPath)
        return FALSE;
    try {
        return mdoc::WriteWholeFile(lpszPath, mdoc::SmilText(hSmil)) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}
