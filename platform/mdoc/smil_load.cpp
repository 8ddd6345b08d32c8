/*
 * Reading a SMIL presentation into a container, and writing a container back as one.
 *
 * Slides map onto timelines: the k-th media element of the p-th slide (<par>, or a media
 * element standing alone in <body> or a <seq>) becomes an object of timeline k whose media
 * frame is p.  Each timeline is therefore in ascending frame order, which the slide builder
 * relies on.
 */
#include <stdlib.h>
#include <string.h>

#include <map>
#include <new>

#include <rapidxml/rapidxml.hpp>

#include "fileio.h"
#include "mdoc_private.h"

namespace {

enum {
    kMaxSmilBytes = 4 << 20,
    kMaxSlides = 4096,
    kMaxPerSlide = 32,
    /* A presentation needs a handful of levels (smil, body, seq, par, media: 5; head, layout,
     * region: 4).  The XML reader descends one level of its own recursion per element, so a
     * hostile document of tens of thousands of nested elements would exhaust the stack (a
     * Windows thread has 1 MB); 32 levels leave room for extensions at a few KB of stack. */
    kMaxDepth = 32,
};

/* Why a load stopped: a Windows code or one of this library's. */
struct LoadError {
    DWORD code;
};

const char *AttrOf(rapidxml::xml_node<> *n, const char *name)
{
    rapidxml::xml_attribute<> *a = n->first_attribute(name);
    return a ? a->value() : nullptr;
}

/* A SMIL clock value in milliseconds: "5000ms", "5s", "1.5s", "2min", "1h", a bare number
 * (seconds) or "hh:mm:ss(.f)" / "mm:ss(.f)".  Anything else, "indefinite" included, is 0. */
DWORD ClockValue(const char *s)
{
    if (!s)
        return 0;
    while (*s == ' ' || *s == '\t')
        s++;
    if (strchr(s, ':')) {
        double parts[3] = {0, 0, 0};
        int n = 0;
        const char *p = s;
        while (n < 3) {
            char *end;
            double v = strtod(p, &end);
            if (end == p || v < 0)
                return 0;
            parts[n++] = v;
            if (*end != ':')
                break;
            p = end + 1;
        }
        double secs = n == 3 ? parts[0] * 3600 + parts[1] * 60 + parts[2] : parts[0] * 60 + parts[1];
        double ms = secs * 1000.0;
        return ms >= 4294967295.0 ? 0xFFFFFFFFu : (DWORD)ms;
    }
    if (!((*s >= '0' && *s <= '9') || *s == '.'))
        return 0;
    char *end;
    double v = strtod(s, &end);
    if (end == s || !(v >= 0))
        return 0;
    double scale = 1000.0;
    if (!strncmp(end, "ms", 2))
        scale = 1.0;
    else if (!strncmp(end, "min", 3))
        scale = 60000.0;
    else if (*end == 'h')
        scale = 3600000.0;
    double ms = v * scale;
    return ms >= 4294967295.0 ? 0xFFFFFFFFu : (DWORD)ms;
}

/* A region or layout number: leading digits, clamped to 16 bits; "50%" gives 50. */
WORD Word(const char *s)
{
    if (!s)
        return 0;
    while (*s == ' ')
        s++;
    unsigned long v = 0;
    for (; *s >= '0' && *s <= '9'; s++) {
        v = v * 10 + (unsigned)(*s - '0');
        if (v > 0xFFFF)
            return 0xFFFF;
    }
    return (WORD)v;
}

int TypeOf(const char *name)
{
    static const struct { const char *name; int type; } kTypes[] = {
        {"img", MDOC_TYPE_IMAGE}, {"image", MDOC_TYPE_IMAGE}, {"text", MDOC_TYPE_TEXT},
        {"textstream", MDOC_TYPE_TEXT}, {"audio", MDOC_TYPE_AUDIO}, {"video", MDOC_TYPE_VIDEO},
        {"ref", MDOC_TYPE_REF}, {"animation", MDOC_TYPE_REF},
    };
    for (const auto &t : kTypes)
        if (!strcmp(name, t.name))
            return t.type;
    return 0;
}

/* A media reference must stay inside the presentation's folder: relative, no drive, no
 * scheme, no ".." step. */
bool SafeSource(const std::string &src)
{
    if (src.empty() || src[0] == '/' || src[0] == '\\' || src.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= src.size()) {
        size_t end = src.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = src.size();
        std::string step = src.substr(start, end - start);
        if (step == ".." || step.empty())
            return false;
        start = end + 1;
    }
    return true;
}

struct Loader {
    MDOC_CONTAINER &c;
    std::string folder;
    int slide = 0;

    void Media(rapidxml::xml_node<> *n, int type, int k, DWORD parDur)
    {
        const char *src = AttrOf(n, "src");
        if (!src || !SafeSource(src))
            throw LoadError{src ? (DWORD)ERROR_INVALID_NAME : (DWORD)ERROR_INVALID_DATA};
        std::string rel = src;
        std::string path = folder + rel;
        if (path.size() >= MAX_PATH)
            throw LoadError{ERROR_FILENAME_EXCED_RANGE};
        if (!mdoc::FileExists(path))
            throw LoadError{ERROR_FILE_NOT_FOUND};
        mdoc::Object o;
        o.type = type;
        o.path = path;
        o.src = rel;
        o.frame = slide;
        if (const char *alt = AttrOf(n, "alt"))
            o.alt = alt;
        o.num.dwDur = ClockValue(AttrOf(n, "dur"));
        if (!o.num.dwDur)
            o.num.dwDur = parDur;
        o.num.dwBegin = ClockValue(AttrOf(n, "begin"));
        o.num.dwEnd = ClockValue(AttrOf(n, "end"));
        o.num.dwClipBegin = ClockValue(AttrOf(n, "clipBegin"));
        o.num.dwClipEnd = ClockValue(AttrOf(n, "clipEnd"));
        if (const char *rc = AttrOf(n, "repeatCount"))
            o.num.wRepeat = Word(rc);
        if (const char *fill = AttrOf(n, "fill"))
            o.num.bFill = !strcmp(fill, "freeze");
        if (const char *region = AttrOf(n, "region")) {
            for (size_t r = 0; r < c.regions.size(); r++)
                if (c.regions[r].id == region) {
                    o.region = (int)r;
                    break;
                }
        }
        if ((size_t)k >= c.timelines.size())
            c.timelines.resize(k + 1);
        c.timelines[k].push_back(std::move(o));
    }

    void Slide(rapidxml::xml_node<> *par)
    {
        if (slide >= kMaxSlides)
            throw LoadError{MDOC_ERROR_TOO_MANY};
        DWORD dur = ClockValue(AttrOf(par, "dur"));
        int k = 0;
        for (rapidxml::xml_node<> *m = par->first_node(); m; m = m->next_sibling()) {
            int type = TypeOf(m->name());
            if (!type)
                continue;
            if (k >= kMaxPerSlide)
                throw LoadError{MDOC_ERROR_TOO_MANY};
            Media(m, type, k++, dur);
        }
        slide++;
    }

    void Body(rapidxml::xml_node<> *body, int depth)
    {
        for (rapidxml::xml_node<> *n = body->first_node(); n; n = n->next_sibling()) {
            if (!strcmp(n->name(), "par")) {
                Slide(n);
            } else if (!strcmp(n->name(), "seq") && depth < 4) {
                Body(n, depth + 1);
            } else if (int type = TypeOf(n->name())) {
                if (slide >= kMaxSlides)
                    throw LoadError{MDOC_ERROR_TOO_MANY};
                Media(n, type, 0, 0);
                slide++;
            }
        }
    }

    void Layout(rapidxml::xml_node<> *layout)
    {
        for (rapidxml::xml_node<> *n = layout->first_node(); n; n = n->next_sibling()) {
            if (!strcmp(n->name(), "root-layout")) {
                c.hasRoot = true;
                c.rootWidth = Word(AttrOf(n, "width"));
                c.rootHeight = Word(AttrOf(n, "height"));
                const char *bg = AttrOf(n, "background-color");
                c.rootBackground = bg ? bg : "";
            } else if (!strcmp(n->name(), "region")) {
                if (c.regions.size() >= 256)
                    throw LoadError{MDOC_ERROR_TOO_MANY};
                mdoc::Region r;
                const char *id = AttrOf(n, "id");
                r.id = id ? id : "";
                r.left = Word(AttrOf(n, "left"));
                r.top = Word(AttrOf(n, "top"));
                r.width = Word(AttrOf(n, "width"));
                r.height = Word(AttrOf(n, "height"));
                const char *fit = AttrOf(n, "fit");
                r.fit = fit ? fit : "";
                unsigned z = Word(AttrOf(n, "z-index"));
                r.z = (BYTE)(z > 255 ? 255 : z);
                c.regions.push_back(std::move(r));
            }
        }
    }
};

/* The deepest element nesting of an XML text, counted as the reader will descend it (a start
 * tag not closed by "/>" opens a level, an end tag closes one; comments, CDATA sections,
 * declarations and processing instructions open none).  Stops counting once `limit` is
 * passed.  Malformed text may count more levels than the reader would reach, never fewer. */
int NestingDepth(const char *p, const char *end, int limit)
{
    int depth = 0, deepest = 0;
    auto skip_to = [&](const char *q, const char *marker) {
        size_t n = strlen(marker);
        for (; q + n <= end; q++)
            if (!memcmp(q, marker, n))
                return q + n;
        return end;
    };
    while (p < end && deepest <= limit) {
        p = (const char *)memchr(p, '<', (size_t)(end - p));
        if (!p)
            break;
        if (end - p >= 4 && !memcmp(p, "<!--", 4)) {
            p = skip_to(p + 4, "-->");
        } else if (end - p >= 9 && !memcmp(p, "<![CDATA[", 9)) {
            p = skip_to(p + 9, "]]>");
        } else if (end - p >= 2 && p[1] == '?') {
            p = skip_to(p + 2, "?>");
        } else if (end - p >= 2 && p[1] == '!') {
            int brackets = 0; /* a DOCTYPE's internal subset nests [ ] */
            for (p += 2; p < end; p++) {
                if (*p == '[')
                    brackets++;
                else if (*p == ']')
                    brackets--;
                else if (*p == '>' && brackets <= 0)
                    break;
            }
        } else if (end - p >= 2 && p[1] == '/') {
            if (depth > 0)
                depth--;
            p = skip_to(p + 2, ">");
        } else {
            char quote = 0;
            const char *q = p + 1;
            for (; q < end; q++) {
                if (quote) {
                    if (*q == quote)
                        quote = 0;
                } else if (*q == '"' || *q == '\'') {
                    quote = *q;
                } else if (*q == '>') {
                    break;
                }
            }
            if (q >= end || q[-1] != '/') {
                if (++depth > deepest)
                    deepest = depth;
            }
            p = q;
        }
    }
    return deepest;
}

void Clear(MDOC_CONTAINER *c)
{
    c->timelines.clear();
    c->regions.clear();
    c->hasRoot = false;
    c->rootWidth = c->rootHeight = 0;
    c->rootBackground.clear();
}

}  // namespace

MDOC_API BOOL WINAPI mmsCheckSmilDepth(LPCSTR pText, DWORD cbText)
{
    if (!pText)
        return TRUE;
    if (NestingDepth(pText, pText + cbText, kMaxDepth) > kMaxDepth) {
        SetLastError(MDOC_ERROR_TOO_DEEP);
        return FALSE;
    }
    return TRUE;
}

MDOC_API BOOL WINAPI mmsContainerLoad(HMMSCONTAINER hCont, LPCSTR lpszPath)
{
    if (!hCont)
        return FALSE;
    Clear(hCont);
    if (!lpszPath || !*lpszPath)
        return FALSE;
    try {
        std::string text;
        if (!mdoc::ReadWholeFile(lpszPath, text, kMaxSmilBytes))
            return FALSE;
        if (!mmsCheckSmilDepth(text.data(), (DWORD)text.size()))
            throw LoadError{MDOC_ERROR_TOO_DEEP};
        // The container holds ANSI text: a UTF-8 (or undeclared) document is turned into it.
        if (!mdoc::SmilTextToAnsi(text))
            throw LoadError{ERROR_INVALID_DATA};
        std::vector<char> buf(text.begin(), text.end());
        buf.push_back(0);
        rapidxml::xml_document<> xml;
        // Character references become ANSI text too: below 256 those octets (ISO-8859-1, as a
        // code page 1252 text is), or UTF-8 where that is the ANSI code page.
        if (GetACP() == CP_UTF8)
            xml.parse<rapidxml::parse_validate_closing_tags>(buf.data());
        else
            xml.parse<rapidxml::parse_validate_closing_tags | rapidxml::parse_no_utf8>(buf.data());
        rapidxml::xml_node<> *smil = xml.first_node();
        if (!smil || strcmp(smil->name(), "smil") != 0)
            throw LoadError{ERROR_INVALID_DATA};
        Loader ld{*hCont, mdoc::FolderOf(lpszPath)};
        if (rapidxml::xml_node<> *head = smil->first_node("head"))
            if (rapidxml::xml_node<> *layout = head->first_node("layout"))
                ld.Layout(layout);
        if (rapidxml::xml_node<> *body = smil->first_node("body"))
            ld.Body(body, 0);
        return TRUE;
    } catch (const LoadError &e) {
        // Not SMIL, missing media or too much of it: nothing half-loaded stays.
        Clear(hCont);
        SetLastError(e.code);
        return FALSE;
    } catch (const std::bad_alloc &) {
        Clear(hCont);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    } catch (...) {
        // Not well-formed XML.
        Clear(hCont);
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
}

MDOC_API BOOL WINAPI mmsContainerSave(HMMSCONTAINER hCont, LPCSTR lpszPath)
{
    if (!hCont || !lpszPath || !*lpszPath)
        return FALSE;
    MDOC_SMIL *doc = nullptr;
    try {
        // The presentation never takes the place of one of its media files.
        for (const auto &tl : hCont->timelines)
            for (const mdoc::Object &o : tl)
                if (FioSameFile(o.path.c_str(), lpszPath) == 1) {
                    SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
                    return FALSE;
                }
        std::string folder = mdoc::FolderOf(lpszPath);
        // Media files go beside the presentation under the names it uses.
        std::map<std::string, std::string> placed;  // name -> source
        for (const auto &tl : hCont->timelines) {
            for (const mdoc::Object &o : tl) {
                std::string target = folder + o.src;
                auto it = placed.find(o.src);
                if (it != placed.end()) {
                    if (!mdoc::SamePath(it->second, o.path)) {
                        SetLastError(MDOC_ERROR_NAME_CLASH);
                        return FALSE;  // two files under one name
                    }
                    continue;
                }
                placed[o.src] = o.path;
                if (mdoc::SamePath(target, o.path))
                    continue;
                if (o.src.find_first_of("/\\") != std::string::npos) {
                    SetLastError(MDOC_ERROR_SUBFOLDER);
                    return FALSE;  // would need a sub-folder that may not exist
                }
                std::string data;
                if (!mdoc::ReadWholeFile(o.path, data, (size_t)1 << 30) || !mdoc::WriteWholeFile(target, data))
                    return FALSE;
            }
        }
        doc = mdoc::SmilFromContainer(hCont);
        if (!doc)
            return FALSE;
        BOOL ok = SMIL_SaveToFile(doc, lpszPath);
        SMIL_Destory(doc);
        return ok;
    } catch (...) {
        SMIL_Destory(doc);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
