#include "preview_model.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include <windows.h>

#include "fileio.h"
#include "mdoc.h"
#include "mime.h"

#include <rapidxml/rapidxml.hpp>

namespace preview {

namespace {

#if defined(_WIN32)
const char kSep = '\\';
#else
const char kSep = '/';
#endif

const char kStartFile[] = "presentation.smil";
const long long kMaxSmilBytes = 4 << 20;  // the most the document library reads

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)tolower(c); });
    return s;
}

std::string Trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

Kind KindOf(const std::string &type)
{
    if (type == "application/smil")
        return Kind::Smil;
    if (type.compare(0, 6, "image/") == 0)
        return Kind::Picture;
    if (type.compare(0, 5, "text/") == 0)
        return Kind::Text;
    if (type.compare(0, 6, "audio/") == 0)
        return Kind::Audio;
    return Kind::Other;
}

/* The extension a staged file gets: one chosen by its content type among the passive media
 * types, never the part's own name (a hostile message would stage "x.html" or "x.svg" beside
 * the page); anything else is "bin". */
std::string ExtensionFor(const std::string &type)
{
    static const struct {
        const char *type, *ext;
    } kExt[] = {
        {"image/jpeg", "jpg"}, {"image/jpg", "jpg"}, {"image/gif", "gif"}, {"image/png", "png"},
        {"image/bmp", "bmp"}, {"image/x-ms-bmp", "bmp"}, {"image/vnd.wap.wbmp", "wbmp"}, {"text/plain", "txt"},
        {"audio/wav", "wav"}, {"audio/x-wav", "wav"}, {"audio/amr", "amr"}, {"audio/midi", "mid"},
        {"audio/mid", "mid"}, {"audio/mpeg", "mp3"}, {"application/smil", "smil"},
    };
    for (const auto &e : kExt)
        if (type == e.type)
            return e.ext;
    return "bin";
}

struct FileCloser {
    void operator()(FIO_FILE *f) const { FioClose(f); }
};
using FilePtr = std::unique_ptr<FIO_FILE, FileCloser>;

/* Up to `most` octets of the part's data. */
bool ReadPart(FIO_FILE *f, const Part &p, long long most, std::string *out)
{
    long long n = std::min(p.length, most);
    out->assign((size_t)n, '\0');
    if (FioSeek(f, p.offset, SEEK_SET) != 0)
        return false;
    return n == 0 || FioRead(f, &(*out)[0], (size_t)n) == (size_t)n;
}

bool WriteWhole(const std::string &path, const std::string &data)
{
    FIO_FILE *f = FioCreateAtomic(path.c_str());
    if (!f)
        return false;
    if (!data.empty() && FioWrite(f, data.data(), data.size()) != data.size()) {
        DWORD why = FioLastError(f);
        FioClose(f);
        SetLastError(why);
        return false;
    }
    return FioCommit(f) != 0;
}

/* Copies a part's data to a staged file in pieces (pictures and sounds may be large). */
bool StagePart(FIO_FILE *msg, const Part &p, const std::string &path)
{
    FIO_FILE *out = FioCreateAtomic(path.c_str());
    if (!out)
        return false;
    bool ok = FioSeek(msg, p.offset, SEEK_SET) == 0;
    char buf[65536];
    for (long long left = p.length; ok && left > 0;) {
        size_t want = (size_t)std::min<long long>(left, (long long)sizeof buf);
        size_t got = FioRead(msg, buf, want);
        if (got != want) {
            SetLastError(FioError(msg) ? FioLastError(msg) : (DWORD)ERROR_HANDLE_EOF);
            ok = false;
            break;
        }
        ok = FioWrite(out, buf, got) == got;
        left -= (long long)got;
    }
    if (!ok) {
        DWORD why = FioError(out) ? FioLastError(out) : GetLastError();
        FioClose(out);
        SetLastError(why);
        return false;
    }
    return FioCommit(out) != 0;
}

// One code point as UTF-8 (the caller has ruled out surrogates and values past U+10FFFF).
void AppendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += (char)cp;
    } else if (cp < 0x800) {
        out += (char)(0xC0 | (cp >> 6));
        out += (char)(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += (char)(0xE0 | (cp >> 12));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    } else {
        out += (char)(0xF0 | (cp >> 18));
        out += (char)(0x80 | ((cp >> 12) & 0x3F));
        out += (char)(0x80 | ((cp >> 6) & 0x3F));
        out += (char)(0x80 | (cp & 0x3F));
    }
}

/* XML attribute text (entities not yet expanded) as the characters it stands for. */
std::string Unescape(const char *p, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] != '&') {
            out += p[i];
            continue;
        }
        size_t semi = i + 1;
        while (semi < n && semi - i < 12 && p[semi] != ';')
            ++semi;
        if (semi >= n || p[semi] != ';') {
            out += p[i];
            continue;
        }
        std::string ent(p + i + 1, semi - i - 1);
        unsigned long cp = 0;
        if (ent == "amp")
            cp = '&';
        else if (ent == "lt")
            cp = '<';
        else if (ent == "gt")
            cp = '>';
        else if (ent == "quot")
            cp = '"';
        else if (ent == "apos")
            cp = '\'';
        else if (ent.size() > 1 && ent[0] == '#')
            cp = ent[1] == 'x' || ent[1] == 'X' ? strtoul(ent.c_str() + 2, nullptr, 16) : strtoul(ent.c_str() + 1, nullptr, 10);
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out += p[i];
            continue;
        }
        AppendUtf8(out, cp);
        i = semi;
    }
    return out;
}

bool NameIs(const rapidxml::xml_base<> *n, const char *name)
{
    size_t len = strlen(name);
    return n->name_size() == len && memcmp(n->name(), name, len) == 0;
}

bool IsMediaElement(const rapidxml::xml_node<> *n)
{
    static const char *const kMedia[] = {"img", "image", "text", "textstream", "audio", "video", "ref", "animation"};
    for (const char *m : kMedia)
        if (NameIs(n, m))
            return true;
    return false;
}

/* The part a presentation's source names: "cid:x" by content id; otherwise by name, then by
 * content id without its brackets, then by name ignoring case, then by the last path step. */
int FindPart(const std::vector<Part> &parts, const std::string &src)
{
    auto find = [&](const std::function<bool(const Part &)> &match) {
        for (size_t i = 0; i < parts.size(); ++i)
            if (!parts[i].start && match(parts[i]))
                return (int)i;
        return -1;
    };
    auto bare = [](const std::string &id) {
        return id.size() >= 2 && id.front() == '<' && id.back() == '>' ? id.substr(1, id.size() - 2) : id;
    };
    if (Lower(src.substr(0, 4)) == "cid:") {
        std::string id = src.substr(4);
        return find([&](const Part &p) { return !p.id.empty() && bare(p.id) == id; });
    }
    int i = find([&](const Part &p) { return p.name == src; });
    if (i < 0)
        i = find([&](const Part &p) { return !p.id.empty() && bare(p.id) == src; });
    if (i < 0)
        i = find([&](const Part &p) { return Lower(p.name) == Lower(src); });
    if (i < 0) {
        size_t slash = src.find_last_of("/\\");
        if (slash != std::string::npos && slash + 1 < src.size())
            return FindPart(parts, src.substr(slash + 1));
    }
    return i;
}

struct Staged {
    int part = -1;         // the part behind a staged name
    std::string missing;   // or the source named but absent
};

/* Rewrites every media source of the SMIL text to a staged name.  false for text that is not
 * well-formed XML. */
bool PointSources(std::string *smil, const std::vector<Part> &parts, std::map<std::string, Staged> *staged,
                  std::vector<std::string> *placeholders)
{
    std::vector<char> buf(smil->begin(), smil->end());
    buf.push_back(0);
    struct Edit {
        size_t at, len;
        std::string text;
    };
    std::vector<Edit> edits;
    try {
        rapidxml::xml_document<> doc;
        doc.parse<rapidxml::parse_non_destructive>(buf.data());
        std::vector<rapidxml::xml_node<> *> todo{&doc};
        while (!todo.empty()) {
            rapidxml::xml_node<> *n = todo.back();
            todo.pop_back();
            // Children pushed last first, so the walk follows the document's order.
            size_t mark = todo.size();
            for (rapidxml::xml_node<> *c = n->first_node(); c; c = c->next_sibling())
                if (c->type() == rapidxml::node_element)
                    todo.push_back(c);
            std::reverse(todo.begin() + mark, todo.end());
            if (n->type() != rapidxml::node_element || !IsMediaElement(n))
                continue;
            for (rapidxml::xml_attribute<> *a = n->first_attribute(); a; a = a->next_attribute()) {
                if (!NameIs(a, "src"))
                    continue;
                const char *v = a->value();
                if (v < buf.data() || v + a->value_size() > buf.data() + buf.size())
                    continue;  // an empty value lives outside the text: nothing to point
                std::string src = Unescape(v, a->value_size());
                int i = FindPart(parts, src);
                std::string name;
                if (i >= 0 && !parts[i].file.empty()) {
                    name = parts[i].file;
                    (*staged)[name].part = i;
                } else {
                    // An empty stand-in keeps the slide's place while the document loads.
                    name = "missing" + std::to_string(placeholders->size()) + "." + ExtensionFor("");
                    (*staged)[name].missing = src;
                    placeholders->push_back(name);
                }
                edits.push_back({(size_t)(v - buf.data()), a->value_size(), name});
            }
        }
    } catch (...) {
        return false;
    }
    std::sort(edits.begin(), edits.end(), [](const Edit &a, const Edit &b) { return a.at > b.at; });
    for (const Edit &e : edits)
        smil->replace(e.at, e.len, e.text);
    return true;
}

Rect Clamp(Rect r, int w, int h)
{
    r.x = std::max(0, std::min(r.x, w));
    r.y = std::max(0, std::min(r.y, h));
    r.w = std::max(0, std::min(r.w, w - r.x));
    r.h = std::max(0, std::min(r.h, h - r.y));
    return r;
}

/* Where a medium without a region of its own goes: the picture above the text, each alone on
 * the whole screen. */
void DefaultRegions(Slide *s, int w, int h)
{
    int split = s->hasImage && s->hasText ? h * 2 / 3 : h;
    if (s->hasImage && s->image.region.w == 0)
        s->image.region = {0, 0, w, split};
    if (s->hasText && s->text.region.w == 0)
        s->text.region = s->hasImage ? Rect{0, split, w, h - split} : Rect{0, 0, w, h};
}

std::string Stem(const std::string &name)
{
    size_t dot = name.rfind('.');
    return Lower(dot == std::string::npos ? name : name.substr(0, dot));
}

/* One slide per picture, the text and sound of its base name or else the next unused ones. */
void SlidesOfParts(Presentation *p)
{
    std::vector<Part> &parts = p->parts;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].kind != Kind::Picture || parts[i].start || parts[i].file.empty())
            continue;
        Slide s;
        s.hasImage = true;
        s.image.part = (int)i;
        s.image.src = parts[i].name;
        s.durationMs = kDefaultSlideMs;
        p->slides.push_back(s);
    }
    auto attach = [&](Kind kind, bool Slide::*has, Media Slide::*media) {
        std::vector<bool> taken(parts.size(), false);
        // First the slide of the same base name ...
        for (size_t i = 0; i < parts.size(); ++i) {
            if (parts[i].kind != kind || parts[i].file.empty())
                continue;
            for (Slide &s : p->slides)
                if (!(s.*has) && s.hasImage && Stem(parts[s.image.part].name) == Stem(parts[i].name) &&
                    !parts[i].name.empty()) {
                    s.*has = true;
                    (s.*media).part = (int)i;
                    (s.*media).src = parts[i].name;
                    taken[i] = true;
                    break;
                }
        }
        // ... then, in order, the first slide still without one, or a slide of its own.
        for (size_t i = 0; i < parts.size(); ++i) {
            if (parts[i].kind != kind || parts[i].file.empty() || taken[i])
                continue;
            Slide *into = nullptr;
            for (Slide &s : p->slides)
                if (!(s.*has)) {
                    into = &s;
                    break;
                }
            if (!into) {
                p->slides.push_back(Slide());
                into = &p->slides.back();
                into->durationMs = kDefaultSlideMs;
            }
            into->*has = true;
            (into->*media).part = (int)i;
            (into->*media).src = parts[i].name;
        }
    };
    attach(Kind::Text, &Slide::hasText, &Slide::text);
    attach(Kind::Audio, &Slide::hasAudio, &Slide::audio);
}

/* Slides from the loaded container; false with GetLastError() when it does not load. */
bool SlidesOfSmil(Presentation *p, const std::string &smilPath, const std::map<std::string, Staged> &staged)
{
    HMMSCONTAINER c = mmsContainerCreate();
    if (!c) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    std::unique_ptr<MDOC_CONTAINER, void (*)(HMMSCONTAINER)> guard(c, [](HMMSCONTAINER h) { mmsContainerDestroy(h); });
    if (!mmsContainerLoad(c, smilPath.c_str()))
        return false;
    ROOT_LAYOUT root = {};
    if (mmsGetRootLayout(c, &root) && root.wWidth && root.wHeight) {
        p->width = root.wWidth;
        p->height = root.wHeight;
        if (root.lpszBackground)
            p->background = root.lpszBackground;
    }
    std::vector<Rect> regions;
    for (int r = 0, n = mmsGetRegionCount(c); r < n; ++r) {
        REGION reg = {};
        mmsGetRegion(c, r, &reg);
        regions.push_back({reg.wLeft, reg.wTop, reg.wWidth, reg.wHeight});
    }
    if (p->width == 0 || p->height == 0) {
        // No root layout: the screen the regions span, or the default one.
        for (const Rect &r : regions) {
            p->width = std::max(p->width, r.x + r.w);
            p->height = std::max(p->height, r.y + r.h);
        }
        if (p->width == 0 || p->height == 0) {
            p->width = kDefaultWidth;
            p->height = kDefaultHeight;
        }
    }
    // Bounded so a storyboard cell stays drawable (a layout of 65535 x 65535 is not a phone).
    if (p->width > 2048 || p->height > 2048) {
        p->notes.push_back("the layout of " + std::to_string(p->width) + " x " + std::to_string(p->height) +
                           " is shown at most 2048 pixels on a side");
        p->width = std::min(p->width, 2048);
        p->height = std::min(p->height, 2048);
    }
    for (int t = 0, nt = mmsGetTimeLineCount(c); t < nt; ++t) {
        for (int i = 0, n = mmsGetObjectCountByTimeLine(c, t); i < n; ++i) {
            int frame = mmsGetMediaFrame(c, t, i);
            MEDIA_ATT att = {};
            if (frame < 0 || !mmsGetObjectInfo(c, t, i, &att))
                continue;
            if ((size_t)frame >= p->slides.size())
                p->slides.resize(frame + 1);
            Slide &s = p->slides[frame];
            s.durationMs = std::max<int>(s.durationMs, (int)std::min<DWORD>(att.dwDur, 24u * 3600 * 1000));
            int type = mmsGetObjectType(c, t, i);
            bool *has = type == MDOC_TYPE_IMAGE ? &s.hasImage : type == MDOC_TYPE_TEXT ? &s.hasText
                                                              : type == MDOC_TYPE_AUDIO ? &s.hasAudio : nullptr;
            Media *m = type == MDOC_TYPE_IMAGE ? &s.image : type == MDOC_TYPE_TEXT ? &s.text : &s.audio;
            std::string file = att.lpszSrc ? att.lpszSrc : "";
            auto it = staged.find(file);
            Media got;
            if (it != staged.end() && it->second.part >= 0) {
                got.part = it->second.part;
                got.src = p->parts[got.part].name;
                if (p->parts[got.part].usedBy < 0)
                    p->parts[got.part].usedBy = frame;
            } else {
                got.missing = true;
                got.src = it != staged.end() ? it->second.missing : file;
            }
            int r = mmsGetObjectRegion(c, t, i);
            if (r >= 0 && (size_t)r < regions.size())
                got.region = Clamp(regions[r], p->width, p->height);
            if (!has) {
                p->notes.push_back("slide " + std::to_string(frame + 1) + ": " + got.src +
                                   " (video or other media) is not shown");
                continue;
            }
            if (*has) {
                p->notes.push_back("slide " + std::to_string(frame + 1) + ": " + got.src + " is not shown (one " +
                                   (type == MDOC_TYPE_IMAGE ? "picture" : type == MDOC_TYPE_TEXT ? "text" : "sound") +
                                   " per slide)");
                continue;
            }
            *has = true;
            *m = got;
        }
    }
    for (Slide &s : p->slides)
        if (s.durationMs == 0)
            s.durationMs = kDefaultSlideMs;
    return true;
}

}  // namespace

std::string Join(const std::string &folder, const std::string &name)
{
    if (folder.empty())
        return name;
    char last = folder.back();
    return (last == '/' || last == '\\') ? folder + name : folder + kSep + name;
}

std::string DecodeText(const std::string &bytes, const std::string &charset, std::string *note)
{
    std::string cs = Lower(Trim(charset));
    std::replace(cs.begin(), cs.end(), '_', '-');
    const unsigned char *p = (const unsigned char *)bytes.data(), *end = p + bytes.size();
    std::string out;
    auto put = [&](uint32_t cp) {
        AppendUtf8(out, cp);
    };
    note->clear();
    bool bomLE = end - p >= 2 && p[0] == 0xFF && p[1] == 0xFE, bomBE = end - p >= 2 && p[0] == 0xFE && p[1] == 0xFF;
    if (bomLE || bomBE || cs == "utf-16" || cs == "utf-16le" || cs == "utf-16be" || cs == "iso-10646-ucs-2") {
        bool le = bomLE || (!bomBE && cs == "utf-16le");  // without a mark, big-endian
        if (bomLE || bomBE)
            p += 2;
        *note = std::string("decoded as UTF-16") + (le ? "LE" : "BE");
        while (end - p >= 2 && out.size() < kMaxTextBytes) {
            uint32_t u = le ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
            p += 2;
            if (u >= 0xD800 && u < 0xDC00 && end - p >= 2) {
                uint32_t lo = le ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
                if (lo >= 0xDC00 && lo < 0xE000) {
                    p += 2;
                    put(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                    continue;
                }
            }
            put(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
        }
        return out;
    }
    bool latin1 = cs == "iso-8859-1" || cs == "latin1" || cs == "iso8859-1" || cs == "windows-1252";
    bool utf8 = cs.empty() || cs == "utf-8" || cs == "us-ascii" || cs == "ascii";
    if (!latin1 && !utf8)
        *note = "charset " + charset + " shown as such (non-ASCII octets as ?)";
    if (end - p >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        p += 3;
    bool badUtf8 = false;
    while (p < end && out.size() < kMaxTextBytes) {
        unsigned char c = *p;
        if (c < 0x80) {
            out += (char)c;
            ++p;
        } else if (latin1) {
            put(c);
            ++p;
        } else if (!utf8) {
            out += '?';
            ++p;
        } else {
            int n = c >= 0xF5 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            bool whole = n > 0 && end - p >= n;
            uint32_t cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
            for (int i = 1; whole && i < n; ++i) {
                whole = (p[i] & 0xC0) == 0x80;
                cp = (cp << 6) | (p[i] & 0x3F);
            }
            if (whole && ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                          (cp >= 0xD800 && cp < 0xE000)))
                whole = false;
            if (whole) {
                out.append((const char *)p, (size_t)n);
                p += n;
            } else {
                put(0xFFFD);
                badUtf8 = true;
                ++p;
            }
        }
    }
    if (badUtf8)
        *note = "octets that are not UTF-8 shown as \xEF\xBF\xBD";
    if (p < end)
        *note += std::string(note->empty() ? "" : "; ") + "cut to " + std::to_string(kMaxTextBytes) + " octets";
    return out;
}

bool Load(const std::string &messagePath, const std::string &stageFolder, Presentation *out, std::string *error)
{
    *out = Presentation();
    size_t slash = messagePath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string() : messagePath.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? messagePath : messagePath.substr(slash + 1);
    MIME_MESSAGE *msg = MimeOpenFile(folder.c_str(), file.c_str());
    if (!msg) {
        *error = "cannot open the message " + messagePath;
        return false;
    }
    out->messageType = msg->startPart ? MIME_TYPE_RELATED : MIME_TYPE_MIXED;
    for (MIME_PART *mp = msg->firstPart; mp; mp = mp->next) {
        Part p;
        char type[MIME_SPLIT_MAX], charset[MIME_SPLIT_MAX] = "charset";
        if (mp->contentType && MimeSplitContentTypeEx(mp->contentType, type, sizeof type, charset, sizeof charset)) {
            p.type = Lower(Trim(type));
            p.charset = strchr(mp->contentType, ';') ? charset : "";
        }
        p.name = mp->name ? mp->name : "";
        p.id = mp->contentId ? mp->contentId : "";
        p.offset = mp->dataOffset;
        p.length = mp->dataLength;
        p.start = mp == msg->startPart;
        p.kind = KindOf(p.type);
        out->parts.push_back(p);
    }
    MimeDestroy(msg);

    FilePtr data(FioOpen(messagePath.c_str(), "rb"));
    if (!data) {
        *error = "cannot read the message " + messagePath;
        return false;
    }
    // A failure keeps its cause in GetLastError() past the closing of the message.
    auto fail = [&](const std::string &why) {
        DWORD code = GetLastError();
        data.reset();
        SetLastError(code);
        *error = why;
        return false;
    };
    std::string smil;
    for (size_t i = 0; i < out->parts.size(); ++i) {
        Part &p = out->parts[i];
        if (p.start) {
            if (p.length > kMaxSmilBytes) {
                out->notes.push_back("the presentation is larger than 4 MB and is not read");
                continue;
            }
            if (!ReadPart(data.get(), p, p.length, &smil))
                return fail("cannot read the presentation from " + messagePath);
            continue;
        }
        std::string name = "part" + std::to_string(i) + "." + ExtensionFor(Lower(p.type));
        if (FioSameFile(messagePath.c_str(), Join(stageFolder, name).c_str()) == 1) {
            SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);  // never over the message being read
            return fail("cannot write " + Join(stageFolder, name));
        }
        if (!StagePart(data.get(), p, Join(stageFolder, name)))
            return fail("cannot write " + Join(stageFolder, name));
        p.file = name;
    }

    bool haveStart = false;
    for (const Part &p : out->parts)
        haveStart = haveStart || p.start;
    if (haveStart && !smil.empty()) {
        std::map<std::string, Staged> staged;
        std::vector<std::string> placeholders;
        if (!mmsCheckSmilDepth(smil.data(), (DWORD)smil.size())) {
            out->notes.push_back("the presentation nests elements more than 32 deep and is not read: one slide per "
                                 "picture is shown instead");
        } else if (!PointSources(&smil, out->parts, &staged, &placeholders)) {
            out->notes.push_back("the presentation is not well-formed XML: one slide per picture is shown instead");
        } else {
            std::string smilPath = Join(stageFolder, kStartFile);
            if (FioSameFile(messagePath.c_str(), smilPath.c_str()) == 1) {
                SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
                return fail("cannot write " + smilPath);
            }
            if (!WriteWhole(smilPath, smil))
                return fail("cannot write " + smilPath);
            for (const std::string &ph : placeholders)
                if (!WriteWhole(Join(stageFolder, ph), ""))
                    return fail("cannot write " + Join(stageFolder, ph));
            DWORD why = 0;
            out->fromSmil = SlidesOfSmil(out, smilPath, staged);
            if (!out->fromSmil)
                why = GetLastError();
            for (const std::string &ph : placeholders)
                DeleteFileA(Join(stageFolder, ph).c_str());
            if (!out->fromSmil) {
                out->slides.clear();
                out->notes.push_back("the presentation cannot be read (Windows error " + std::to_string(why) +
                                     "): one slide per picture is shown instead");
            }
            for (const std::string &ph : placeholders) {
                const std::string &src = staged[ph].missing;
                if (std::find(out->missing.begin(), out->missing.end(), src) == out->missing.end())
                    out->missing.push_back(src);
            }
        }
    } else if (haveStart) {
        out->notes.push_back("the presentation is empty: one slide per picture is shown instead");
    }
    if (!out->fromSmil) {
        out->width = kDefaultWidth;
        out->height = kDefaultHeight;
        SlidesOfParts(out);
        for (size_t k = 0; k < out->slides.size(); ++k)
            for (const Media *m : {&out->slides[k].image, &out->slides[k].text, &out->slides[k].audio})
                if (m->part >= 0 && out->parts[m->part].usedBy < 0)
                    out->parts[m->part].usedBy = (int)k;
    }

    for (size_t k = 0; k < out->slides.size(); ++k) {
        Slide &s = out->slides[k];
        DefaultRegions(&s, out->width, out->height);
        if (s.hasText && s.text.part >= 0) {
            std::string bytes;
            if (ReadPart(data.get(), out->parts[s.text.part], 4 * kMaxTextBytes, &bytes))
                s.text8 = DecodeText(bytes, out->parts[s.text.part].charset, &s.textNote);
            else
                s.textNote = "the text cannot be read";
        }
    }
    for (size_t i = 0; i < out->parts.size(); ++i)
        if (!out->parts[i].start && out->parts[i].usedBy < 0)
            out->unused.push_back((int)i);
    return true;
}

}  // namespace preview
