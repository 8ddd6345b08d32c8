/* A folder made into a presentation-led message: its own presentation, or slides made from its
 * pictures, texts and sounds. */
#include "compose.h"

#include <ctype.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "basemem.h"
#include "fileio.h"
#include "filefun.h"
#include "mdoc.h"
#include "message.h"
#include "pixkit.h"

namespace {

std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return s;
}

std::string ExtensionOf(const std::string &name)
{
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : Lower(name.substr(dot));
}

std::string BaseOf(const std::string &name)
{
    size_t dot = name.rfind('.');
    return Lower(dot == std::string::npos ? name : name.substr(0, dot));
}

std::string WithSeparator(std::string dir)
{
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/')
        dir += '\\';
    return dir;
}

int KindOfExtension(const std::string &ext)
{
    static const char *const pictures[] = {".jpg", ".jpeg", ".gif", ".bmp", ".png"};
    static const char *const sounds[] = {".wav", ".mid", ".midi", ".amr", ".mp3"};
    for (const char *e : pictures)
        if (ext == e)
            return COMPOSE_PICTURE;
    for (const char *e : sounds)
        if (ext == e)
            return COMPOSE_SOUND;
    if (ext == ".txt")
        return COMPOSE_TEXT;
    if (ext == ".smil")
        return COMPOSE_PRESENTATION;
    return COMPOSE_OTHER;
}

/* The whole file, up to `limit` octets (*tooLong set beyond that).  false when it cannot be
 * read, *why saying so. */
bool ReadUpTo(const std::string &path, size_t limit, std::string *data, bool *tooLong, std::string *why)
{
    *tooLong = false;
    FIO_FILE *f = FioOpen(path.c_str(), "rb");
    if (!f) {
        *why = "cannot be read";
        return false;
    }
    long long size = FioSize(f);
    if (size < 0) {
        FioClose(f);
        *why = "cannot be read";
        return false;
    }
    if ((unsigned long long)size > limit) {
        *tooLong = true;
        data->clear();
        FioClose(f);
        return true;
    }
    data->resize((size_t)size);
    size_t got = size ? FioRead(f, &(*data)[0], (size_t)size) : 0;
    bool ok = got == (size_t)size && !FioError(f);
    FioClose(f);
    if (!ok)
        *why = "cannot be read";
    return ok;
}

bool IsUtf8(const std::string &s, bool *ascii)
{
    *ascii = true;
    const unsigned char *p = (const unsigned char *)s.data(), *end = p + s.size();
    while (p < end) {
        unsigned c = *p;
        if (c < 0x80) {
            p++;
            continue;
        }
        *ascii = false;
        int n;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= n)
            return false;
        for (int i = 1; i <= n; i++) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are no UTF-8.
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += n + 1;
    }
    return true;
}

/* Windows-1252 octets 0x80-0x9F as Unicode (0: undefined in that code page). */
const unsigned short kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool Cp1252ToUtf8(const std::string &in, std::string *out)
{
    out->clear();
    for (unsigned char c : in) {
        unsigned cp = c;
        if (c >= 0x80 && c <= 0x9F) {
            cp = kCp1252High[c - 0x80];
            if (!cp)
                return false;
        }
        if (cp < 0x80) {
            *out += char(cp);
        } else if (cp < 0x800) {
            *out += char(0xC0 | (cp >> 6));
            *out += char(0x80 | (cp & 0x3F));
        } else {
            *out += char(0xE0 | (cp >> 12));
            *out += char(0x80 | ((cp >> 6) & 0x3F));
            *out += char(0x80 | (cp & 0x3F));
        }
    }
    return true;
}

bool HasControls(const std::string &s)
{
    for (unsigned char c : s)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r')
            return true;
    return false;
}

int ClassifyText(const std::string &path, std::string *why, std::string *charset, std::string *data)
{
    bool tooLong;
    if (!ReadUpTo(path, COMPOSE_MAX_TEXT, data, &tooLong, why))
        return COMPOSE_TEXT;
    if (tooLong) {
        *why = "a text longer than a message carries (" + std::to_string(COMPOSE_MAX_TEXT / 1024) + " KiB at most)";
        return COMPOSE_TEXT;
    }
    if (data->empty()) {
        *why = "an empty file";
        return COMPOSE_TEXT;
    }
    if (HasControls(*data)) {
        *why = "not a text (it holds control characters)";
        return COMPOSE_TEXT;
    }
    bool ascii;
    if (IsUtf8(*data, &ascii)) {
        *charset = ascii ? "us-ascii" : "utf-8";
        return COMPOSE_TEXT;
    }
    std::string converted;
    if (!Cp1252ToUtf8(*data, &converted)) {
        *why = "not a text in UTF-8 or Windows-1252 (it holds octets neither defines)";
        return COMPOSE_TEXT;
    }
    *charset = "windows-1252";
    return COMPOSE_TEXT;
}

bool StartsWith(const std::string &data, const char *magic, size_t at = 0)
{
    size_t n = strlen(magic);
    return data.size() >= at + n && memcmp(data.data() + at, magic, n) == 0;
}

std::string SoundProblem(const std::string &path, const std::string &ext)
{
    std::string head;
    FIO_FILE *f = FioOpen(path.c_str(), "rb");
    if (!f)
        return "cannot be read";
    head.resize(12);
    size_t got = FioRead(f, &head[0], head.size());
    FioClose(f);
    head.resize(got);
    if (head.empty())
        return "an empty file";
    if (ext == ".wav" && !(StartsWith(head, "RIFF") && StartsWith(head, "WAVE", 8)))
        return "not a RIFF/WAVE sound";
    if ((ext == ".mid" || ext == ".midi") && !StartsWith(head, "MThd"))
        return "not a standard MIDI file";
    if (ext == ".amr" && !StartsWith(head, "#!AMR"))
        return "not an AMR sound";
    if (ext == ".mp3" && !StartsWith(head, "ID3") &&
        !(head.size() >= 2 && (unsigned char)head[0] == 0xFF && ((unsigned char)head[1] & 0xE0) == 0xE0))
        return "not an MPEG audio file";
    return "";
}

std::string PictureProblem(const std::string &path)
{
    FIO_FILE *f = FioOpen(path.c_str(), "rb");
    if (!f)
        return "cannot be read";
    long long size = FioSize(f);
    FioClose(f);
    if (size == 0)
        return "an empty file";
    HGLOBAL dib = PxOpenFile(path.c_str(), 0, 0);
    if (!dib)
        return "not a picture that can be decoded";
    BaseMemFree(dib);
    return "";
}

/* What a picture's first octets say: "" for a JPEG, GIF, BMP or PNG signature. */
std::string PictureSignatureProblem(const std::string &path)
{
    unsigned char head[8] = {0};
    FIO_FILE *f = FioOpen(path.c_str(), "rb");
    if (!f)
        return "cannot be read";
    size_t got = FioRead(f, head, sizeof head);
    FioClose(f);
    if (got == 0)
        return "an empty file";
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return "";
    if (got >= 4 && memcmp(head, "GIF8", 4) == 0)
        return "";
    if (got >= 2 && head[0] == 'B' && head[1] == 'M')
        return "";
    if (got >= 8 && memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0)
        return "";
    return "not a picture that can be decoded";
}

struct Medium {
    size_t file;       // index into result->files
    std::string path;  // what the message carries
    int kind;
};

class Composer {
public:
    Composer(const std::string &folder, const std::string &work, ComposeResult *r, DWORD flags)
        : m_folder(WithSeparator(folder)), m_work(WithSeparator(work)), m_r(r), m_flags(flags)
    {
    }
    ~Composer()
    {
        if (m_c)
            mmsContainerDestroy(m_c);
    }
    int Run(const std::string &out);

private:
    bool Fail(const std::string &why)
    {
        m_r->ok = false;
        m_r->reason = why;
        return false;
    }
    bool List();
    bool Check(size_t i, std::string *carried);
    bool FromPresentation(size_t smil);
    bool FromFolder();
    bool AddSlide(const std::vector<const Medium *> &objects);
    bool CountInMessage();

    std::string m_folder, m_work;
    ComposeResult *m_r;
    DWORD m_flags;
    HMMSCONTAINER m_c = nullptr;
    int m_regionImage = -1, m_regionText = -1;
};

bool Composer::List()
{
    std::string pattern = m_folder + "*.*";
    if (pattern.size() >= MAX_PATH)
        return Fail("the folder's path is too long");
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND)
            return true;  // an empty folder
        return Fail(e == ERROR_PATH_NOT_FOUND ? "the folder does not exist" : "the folder cannot be listed");
    }
    do {
        if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        ComposeFile f;
        f.name = fd.cFileName;
        f.kind = KindOfExtension(ExtensionOf(f.name));
        m_r->files.push_back(f);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(m_r->files.begin(), m_r->files.end(), [](const ComposeFile &a, const ComposeFile &b) {
        std::string la = Lower(a.name), lb = Lower(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
    return true;
}

/* Whether file i can go into the message; *carried is the path of the octets to send. */
bool Composer::Check(size_t i, std::string *carried)
{
    ComposeFile &f = m_r->files[i];
    std::string path = m_folder + f.name, why, charset;
    if (path.size() >= MAX_PATH) {
        f.note = "its path is too long";
        return false;
    }
    if (f.kind == COMPOSE_TEXT) {
        std::string data;
        ClassifyText(path, &why, &charset, &data);
        if (!why.empty()) {
            f.note = why;
            return false;
        }
        *carried = path;
        if (charset == "windows-1252") {
            std::string utf8;
            Cp1252ToUtf8(data, &utf8);
            std::string copy = m_work + f.name;
            FIO_FILE *out = copy.size() < MAX_PATH ? FioCreateAtomic(copy.c_str()) : nullptr;
            if (!out || FioWrite(out, utf8.data(), utf8.size()) != utf8.size() || !FioCommit(out)) {
                if (out)
                    FioClose(out);
                f.note = "its UTF-8 copy cannot be written in the work folder";
                return false;
            }
            *carried = copy;
            f.converted = true;
            f.note = "Windows-1252 text, carried as UTF-8";
        } else {
            f.note = charset + " text";
        }
        return true;
    }
    if (f.kind == COMPOSE_PICTURE)
        why = (m_flags & COMPOSE_QUICK_PICTURES) ? PictureSignatureProblem(path) : PictureProblem(path);
    else if (f.kind == COMPOSE_SOUND)
        why = SoundProblem(path, ExtensionOf(f.name));
    if (!why.empty()) {
        f.note = why;
        return false;
    }
    *carried = path;
    return true;
}

bool Composer::AddSlide(const std::vector<const Medium *> &objects)
{
    DWORD dur = COMPOSE_DEFAULT_SLIDE_MS;
    for (const Medium *m : objects)
        if (m->kind == COMPOSE_SOUND) {
            double ms = GetMediaLength(m->path.c_str());
            if (ms > 0 && ms < 86400000.0)
                dur = (DWORD)ceil(ms);
        }
    const int slide = m_r->slides;
    for (size_t k = 0; k < objects.size(); k++) {
        const Medium *m = objects[k];
        while (mmsGetTimeLineCount(m_c) <= (int)k)
            if (mmsInsertTimeLine(m_c, -1) < 0)
                return Fail("no memory for the presentation");
        MEDIA_ATT att = {};
        std::string src = m_r->files[m->file].name;
        att.lpszSrc = &src[0];
        att.dwDur = dur;
        int type = m->kind == COMPOSE_PICTURE ? MDOC_TYPE_IMAGE : m->kind == COMPOSE_TEXT ? MDOC_TYPE_TEXT : MDOC_TYPE_AUDIO;
        int at = mmsInsertObject(m_c, (int)k, type, NULL, m->path.c_str(), &att, -1);
        if (at < 0 || !mmsSetMediaFrame(m_c, (int)k, at, slide))
            return Fail("cannot put " + src + " into the presentation");
        int region = type == MDOC_TYPE_IMAGE ? m_regionImage : type == MDOC_TYPE_TEXT ? m_regionText : -1;
        if (region >= 0)
            mmsSetObjectRegion(m_c, (int)k, at, region);
    }
    m_r->slides++;
    return true;
}

bool Composer::FromFolder()
{
    std::vector<Medium> media;
    for (size_t i = 0; i < m_r->files.size(); i++) {
        ComposeFile &f = m_r->files[i];
        if (f.kind == COMPOSE_OTHER) {
            f.note = "not a picture, text or sound";
            continue;
        }
        std::string carried;
        if (Check(i, &carried))
            media.push_back({i, carried, f.kind});
    }
    if (media.empty())
        return Fail("the folder has no picture, text or sound a message can carry");
    if (media.size() > COMPOSE_MAX_MEDIA)
        return Fail("the folder has " + std::to_string(media.size()) + " media files; a message carries at most " +
                    std::to_string(COMPOSE_MAX_MEDIA) + " besides its presentation");

    ROOT_LAYOUT root = {COMPOSE_SCREEN_WIDTH, COMPOSE_SCREEN_HEIGHT, nullptr};
    char image[] = "Image", text[] = "Text", meet[] = "meet", scroll[] = "scroll";
    REGION ri = {image, 0, 0, COMPOSE_SCREEN_WIDTH, COMPOSE_IMAGE_HEIGHT, meet, 0};
    REGION rt = {text, 0, COMPOSE_IMAGE_HEIGHT, COMPOSE_SCREEN_WIDTH, COMPOSE_SCREEN_HEIGHT - COMPOSE_IMAGE_HEIGHT, scroll, 0};
    if (!mmsSetRootLayout(m_c, &root) || (m_regionImage = mmsAddRegion(m_c, &ri)) < 0 ||
        (m_regionText = mmsAddRegion(m_c, &rt)) < 0)
        return Fail("no memory for the presentation");

    // A picture takes the text and the sound of its base name; what is left gets slides of its own.
    std::vector<bool> used(media.size(), false);
    for (size_t p = 0; p < media.size(); p++) {
        if (media[p].kind != COMPOSE_PICTURE)
            continue;
        std::vector<const Medium *> slide{&media[p]};
        used[p] = true;
        std::string base = BaseOf(m_r->files[media[p].file].name);
        for (int kind : {COMPOSE_TEXT, COMPOSE_SOUND})
            for (size_t q = 0; q < media.size(); q++)
                if (!used[q] && media[q].kind == kind && BaseOf(m_r->files[media[q].file].name) == base) {
                    slide.push_back(&media[q]);
                    used[q] = true;
                    break;
                }
        if (!AddSlide(slide))
            return false;
    }
    for (int kind : {COMPOSE_TEXT, COMPOSE_SOUND})
        for (size_t q = 0; q < media.size(); q++)
            if (!used[q] && media[q].kind == kind) {
                used[q] = true;
                if (!AddSlide({&media[q]}))
                    return false;
            }
    for (const Medium &m : media) {
        m_r->files[m.file].carried = true;
        m_r->files[m.file].carriedPath = m.path;
    }
    for (ComposeFile &f : m_r->files)
        if (f.kind == COMPOSE_PRESENTATION && !f.carried && f.note.empty())
            f.note = "a presentation";  // not reached: a folder with one uses it
    return true;
}

/* The src attributes of a presentation's text, for naming what it lacks. */
std::vector<std::string> SourcesOf(const std::string &path)
{
    std::vector<std::string> out;
    std::string text, why;
    bool tooLong;
    if (!ReadUpTo(path, 4u << 20, &text, &tooLong, &why) || tooLong)
        return out;
    size_t at = 0;
    while ((at = text.find("src", at)) != std::string::npos) {
        size_t p = at + 3;
        at = p;
        if (at > 3 && (isalnum((unsigned char)text[at - 4]) || text[at - 4] == '-' || text[at - 4] == '_'))
            continue;
        while (p < text.size() && isspace((unsigned char)text[p]))
            p++;
        if (p >= text.size() || text[p] != '=')
            continue;
        p++;
        while (p < text.size() && isspace((unsigned char)text[p]))
            p++;
        if (p >= text.size() || (text[p] != '"' && text[p] != '\''))
            continue;
        size_t end = text.find(text[p], p + 1);
        if (end == std::string::npos)
            break;
        out.push_back(text.substr(p + 1, end - p - 1));
        at = end;
    }
    return out;
}

bool Composer::FromPresentation(size_t smil)
{
    ComposeFile &sf = m_r->files[smil];
    m_r->presentation = sf.name;
    std::string path = m_folder + sf.name;
    if (!mmsContainerLoad(m_c, path.c_str())) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND) {
            std::string missing;
            for (const std::string &src : SourcesOf(path)) {
                std::string p = m_folder + src;
                if (GetFileAttributesA(p.c_str()) == INVALID_FILE_ATTRIBUTES)
                    missing += (missing.empty() ? "" : ", ") + src;
            }
            return Fail(sf.name + " names media the folder lacks: " + (missing.empty() ? "(unknown)" : missing));
        }
        if (e == ERROR_INVALID_NAME)
            return Fail(sf.name + " names a file outside its folder");
        if (e == MDOC_ERROR_TOO_MANY)
            return Fail(sf.name + " has more slides, media in a slide or regions than a message holds");
        if (e == ERROR_INVALID_DATA)
            return Fail(sf.name + " is not a well-formed SMIL presentation");
        return Fail(sf.name + " cannot be read");
    }
    sf.carried = true;
    sf.carriedPath = path;
    sf.note = "the presentation";

    // Every medium it names must be one a phone can use; a text may need its UTF-8 copy.
    std::map<std::string, size_t> byName;
    for (size_t i = 0; i < m_r->files.size(); i++)
        byName[Lower(m_r->files[i].name)] = i;
    std::map<int, int> slides;
    for (int t = 0; t < mmsGetTimeLineCount(m_c); t++) {
        for (int o = 0; o < mmsGetObjectCountByTimeLine(m_c, t); o++) {
            slides[mmsGetMediaFrame(m_c, t, o)] = 1;
            char file[MAX_PATH];
            if (!mmsGetObjectFile(m_c, t, o, file, sizeof file))
                return Fail("the presentation's media cannot be listed");
            std::string full = file;
            std::string rel = full.size() > m_folder.size() ? full.substr(m_folder.size()) : full;
            auto it = byName.find(Lower(rel));
            if (it == byName.end())
                return Fail(sf.name + " names " + rel + ", which is in a sub-folder: a message carries the media of one folder");
            ComposeFile &f = m_r->files[it->second];
            if (f.carried)
                continue;
            int type = mmsGetObjectType(m_c, t, o);
            if (f.kind == COMPOSE_OTHER)
                f.kind = type == MDOC_TYPE_TEXT ? COMPOSE_TEXT : type == MDOC_TYPE_AUDIO ? COMPOSE_SOUND : COMPOSE_PICTURE;
            std::string carried;
            if (!Check(it->second, &carried))
                return Fail(sf.name + " names " + f.name + ", which cannot be carried: " + f.note);
            if (carried != full) {
                // The converted text takes the place of the original, under the same name.
                MEDIA_ATT att;
                if (!mmsGetObjectInfo(m_c, t, o, &att))
                    return Fail("the presentation's media cannot be listed");
                std::string src = att.lpszSrc ? att.lpszSrc : f.name;
                MEDIA_ATT copy = att;
                copy.lpszSrc = &src[0];
                int frame = mmsGetMediaFrame(m_c, t, o), region = mmsGetObjectRegion(m_c, t, o);
                std::vector<std::string> keep = {att.lpszRegion ? att.lpszRegion : "", att.lpszAlt ? att.lpszAlt : ""};
                copy.lpszRegion = att.lpszRegion ? &keep[0][0] : nullptr;
                copy.lpszAlt = att.lpszAlt ? &keep[1][0] : nullptr;
                copy.lpszContentType = copy.lpszContentId = nullptr;
                if (!mmsDestroyObject(m_c, t, o) || mmsInsertObject(m_c, t, type, NULL, carried.c_str(), &copy, o) != o ||
                    !mmsSetMediaFrame(m_c, t, o, frame) || (region >= 0 && !mmsSetObjectRegion(m_c, t, o, region)))
                    return Fail("cannot put the UTF-8 copy of " + f.name + " into the presentation");
            }
            f.carried = true;
            f.carriedPath = carried;
        }
    }
    m_r->slides = (int)slides.size();
    for (ComposeFile &f : m_r->files) {
        if (f.carried)
            continue;
        if (f.kind == COMPOSE_PRESENTATION)
            f.note = "a second presentation (" + sf.name + " is the one used)";
        else if (f.note.empty())
            f.note = "not in the presentation " + sf.name;
    }
    return true;
}

bool Composer::CountInMessage()
{
    int media = 0;
    for (const ComposeFile &f : m_r->files) {
        if (!f.carried || f.kind == COMPOSE_PRESENTATION)
            continue;
        media++;
        if (f.kind == COMPOSE_PICTURE)
            m_r->pictures++;
        else if (f.kind == COMPOSE_TEXT)
            m_r->texts++;
        else if (f.kind == COMPOSE_SOUND)
            m_r->sounds++;
    }
    if (media > COMPOSE_MAX_MEDIA)
        return Fail("the presentation names " + std::to_string(media) + " media files; a message carries at most " +
                    std::to_string(COMPOSE_MAX_MEDIA) + " besides its presentation");
    return true;
}

int Composer::Run(const std::string &out)
{
    m_c = mmsContainerCreate();
    if (!m_c)
        return Fail("no memory for a container");
    if (!List())
        return 0;
    size_t smil = m_r->files.size();
    for (size_t i = 0; i < m_r->files.size(); i++)
        if (m_r->files[i].kind == COMPOSE_PRESENTATION) {
            smil = i;
            break;
        }
    if (!(smil < m_r->files.size() ? FromPresentation(smil) : FromFolder()) || !CountInMessage())
        return 0;
    int value = 1;
    char empty[] = "";
    if (GenerateMessageFile(empty, "1", empty, out.c_str(), &value, m_c, 1) != 1) {
        DWORD e = GetLastError();
        return Fail(e == FIO_ERROR_OUTPUT_IS_INPUT ? "the message would replace one of its media files"
                    : e == MDOC_ERROR_NAME_CLASH    ? "two media files share one name"
                    : e == ERROR_PATH_NOT_FOUND     ? "the message file cannot be written: its folder does not exist"
                    : e == ERROR_ACCESS_DENIED      ? "the message file cannot be written: access denied"
                    : e == ERROR_DISK_FULL          ? "the message file cannot be written: the disk is full"
                                                    : "the message file cannot be written (error " + std::to_string(e) + ")");
    }
    m_r->ok = true;
    return 1;
}

}  // namespace

int ComposeClassify(LPCSTR lpszPath, std::string *why, std::string *charset)
{
    if (!lpszPath || !why)
        return COMPOSE_OTHER;
    why->clear();
    std::string path = lpszPath, name = path.substr(path.find_last_of("\\/") + 1);
    std::string ext = ExtensionOf(name), cs, data;
    int kind = KindOfExtension(ext);
    if (kind == COMPOSE_TEXT)
        ClassifyText(path, why, &cs, &data);
    else if (kind == COMPOSE_PICTURE)
        *why = PictureProblem(path);
    else if (kind == COMPOSE_SOUND)
        *why = SoundProblem(path, ext);
    else if (kind == COMPOSE_OTHER)
        *why = "not a picture, text or sound";
    if (charset)
        *charset = cs;
    return kind;
}

int ComposeFolder(LPCSTR lpszFolder, LPCSTR lpszWorkFolder, LPCSTR lpszOutPath, ComposeResult *result)
{
    return ComposeFolderEx(lpszFolder, lpszWorkFolder, lpszOutPath, result, 0);
}

int ComposeFolderEx(LPCSTR lpszFolder, LPCSTR lpszWorkFolder, LPCSTR lpszOutPath, ComposeResult *result,
                    DWORD dwFlags)
{
    if (!result)
        return 0;
    *result = ComposeResult();
    if (!lpszFolder || !*lpszFolder || !lpszWorkFolder || !*lpszWorkFolder || !lpszOutPath || !*lpszOutPath) {
        result->reason = "a folder, a work folder and an output path are needed";
        return 0;
    }
    try {
        Composer c(lpszFolder, lpszWorkFolder, result, dwFlags);
        return c.Run(lpszOutPath);
    } catch (const std::bad_alloc &) {
        result->ok = false;
        result->reason = "not enough memory";
        return 0;
    }
}
