/*
 * The UI template reader.  A file is read line by line through a bounded cursor; every
 * statement is checked whole before it changes the result, and the first fault ends the read
 * with its line number and cause.  Invariant of a template under construction: its size is
 * known before any control, every control lies inside it, names are unique within it.
 */
#include "skui_template.h"

#include <string.h>

#include "fileio.h"

namespace GUI {
namespace {

const char kMagic[] = "medley-ui";

struct Reader {
    const char *p, *end;
    int line;
};

bool Fail(std::string *pWhy, int line, const std::string &what)
{
    if (pWhy)
        *pWhy = (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + what;
    return false;
}

/* Splits one line into words separated by blanks and tabs. */
std::vector<std::string> Words(const char *s, size_t n)
{
    std::vector<std::string> w;
    size_t i = 0;
    while (i < n) {
        while (i < n && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < n && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start)
            w.emplace_back(s + start, i - start);
    }
    return w;
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

bool IsName(const std::string &s)
{
    if (s.empty() || s.size() > SKUI_NAME_MAX)
        return false;
    for (char c : s)
        if (!IsNameChar(c))
            return false;
    return true;
}

/* A picture's file name: a name ending in ".bmp" (any case), never a path. */
bool IsPictureFile(const std::string &s)
{
    if (!IsName(s) || s.size() < 5 || s[0] == '.')
        return false;
    const char *ext = s.c_str() + s.size() - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'b' && (ext[2] | 0x20) == 'm' && (ext[3] | 0x20) == 'p';
}

/* A decimal number 0..SKUI_COORD_MAX, at most 4 digits, no sign. */
bool Number(const std::string &s, int *pOut)
{
    if (s.empty() || s.size() > 4)
        return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v > SKUI_COORD_MAX)
        return false;
    *pOut = v;
    return true;
}

/* Six hex digits RRGGBB, as a Windows colour 0x00BBGGRR. */
bool Colour(const std::string &s, uint32_t *pOut)
{
    if (s.size() != 6)
        return false;
    uint32_t rgb = 0;
    for (char c : s) {
        int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (d < 0)
            return false;
        rgb = rgb << 4 | (uint32_t)d;
    }
    *pOut = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    return true;
}

bool NameTaken(const SkuiTemplateDef &t, const std::string &name)
{
    for (const SkuiControlDef &c : t.controls)
        if (c.name == name)
            return true;
    return false;
}

/* One statement inside a template.  Returns false with the cause in *pWhat. */
bool Statement(const std::vector<std::string> &w, SkuiTemplateDef *t, std::string *pWhat)
{
    const std::string &k = w[0];
    if (k == "size") {
        int cx, cy;
        if (w.size() != 3 || !Number(w[1], &cx) || !Number(w[2], &cy) || cx < 1 || cy < 1)
            return *pWhat = "size takes a width and a height of 1 to 4096", false;
        if (t->width)
            return *pWhat = "a second size for template " + t->name, false;
        t->width = cx;
        t->height = cy;
        return true;
    }
    if (k == "background") {
        if (w.size() != 2 || !Colour(w[1], &t->background))
            return *pWhat = "background takes a colour of six hex digits (RRGGBB)", false;
        if (t->hasBackground)
            return *pWhat = "a second background for template " + t->name, false;
        t->hasBackground = true;
        return true;
    }
    if (k == "backimage") {
        if (w.size() != 2 || !IsPictureFile(w[1]))
            return *pWhat = "backimage takes a .bmp file name (no folder)", false;
        if (!t->backImage.empty())
            return *pWhat = "a second backimage for template " + t->name, false;
        t->backImage = w[1];
        return true;
    }
    if (k == "button" || k == "area") {
        SkuiControlDef c;
        c.kind = k == "button" ? SKUI_KIND_BUTTON : SKUI_KIND_AREA;
        if (w.size() != 6 || !Number(w[2], &c.left) || !Number(w[3], &c.top) || !Number(w[4], &c.right) ||
            !Number(w[5], &c.bottom))
            return *pWhat = k + " takes a name and four numbers: left top right bottom", false;
        if (!IsName(w[1]))
            return *pWhat = "\"" + w[1].substr(0, 80) + "\" is no name (1 to 63 of A-Z a-z 0-9 _ - .)", false;
        c.name = w[1];
        if (!t->width)
            return *pWhat = k + " " + c.name + " before the template's size", false;
        if (c.left >= c.right || c.top >= c.bottom || c.right > t->width || c.bottom > t->height)
            return *pWhat = k + " " + c.name + " is empty or reaches outside the template's size", false;
        if (NameTaken(*t, c.name))
            return *pWhat = "a second control named " + c.name, false;
        if (t->controls.size() >= SKUI_CONTROLS_MAX)
            return *pWhat = "more than 64 controls in template " + t->name, false;
        t->controls.push_back(c);
        return true;
    }
    if (k == "image") {
        int state;
        if (w.size() != 4 || !IsName(w[1]) || !Number(w[2], &state) || state > 3 || w[2].size() != 1 ||
            !IsPictureFile(w[3]))
            return *pWhat = "image takes a control name, a state 0 to 3 and a .bmp file name", false;
        // Pictures may come in a file of their own, before the controls are known: they are
        // kept by name and matched when the two files meet.
        for (SkuiControlDef &c : t->controls)
            if (c.name == w[1]) {
                if (!c.image[state].empty())
                    return *pWhat = "a second image for state " + w[2] + " of " + w[1], false;
                c.image[state] = w[3];
                return true;
            }
        if (t->controls.size() >= SKUI_CONTROLS_MAX)
            return *pWhat = "more than 64 controls in template " + t->name, false;
        SkuiControlDef c;
        c.name = w[1];
        c.kind = -1;  // pictured only: no place yet
        c.left = c.top = c.right = c.bottom = 0;
        c.image[state] = w[3];
        t->controls.push_back(c);
        return true;
    }
    return *pWhat = "unknown statement \"" + k.substr(0, 40) + "\"", false;
}

}  // namespace

bool SkuiParseTemplateText(const char *pData, size_t nSize, SkuiTemplateFile *pOut, std::string *pWhy)
{
    if (!pOut)
        return Fail(pWhy, 0, "no result record");
    pOut->templates.clear();
    if (!pData && nSize)
        return Fail(pWhy, 0, "no text");
    if (nSize > SKUI_FILE_MAX)
        return Fail(pWhy, 0, "larger than 64 KB");
    Reader r = {pData, pData + nSize, 0};
    bool sawMagic = false;
    SkuiTemplateDef *open = nullptr;
    SkuiTemplateFile out;
    while (r.p < r.end) {
        ++r.line;
        const char *eol = (const char *)memchr(r.p, '\n', (size_t)(r.end - r.p));
        const char *lineEnd = eol ? eol : r.end;
        size_t n = (size_t)(lineEnd - r.p);
        if (n && r.p[n - 1] == '\r')
            --n;
        if (n > SKUI_LINE_MAX)
            return pOut->templates.clear(), Fail(pWhy, r.line, "longer than 255 characters");
        for (size_t i = 0; i < n; ++i) {
            unsigned char c = (unsigned char)r.p[i];
            if ((c < 0x20 && c != '\t') || c > 0x7E)
                return Fail(pWhy, r.line, "holds a byte that is no printable ASCII character (" + std::to_string(c) + ")");
        }
        std::vector<std::string> w = Words(r.p, n);
        r.p = eol ? eol + 1 : r.end;
        if (w.empty() || w[0][0] == ';' || w[0][0] == '#')
            continue;
        if (!sawMagic) {
            if (w.size() != 2 || w[0] != kMagic)
                return Fail(pWhy, r.line, "not a UI template file (it must start with \"medley-ui 1\")");
            if (w[1] != "1")
                return Fail(pWhy, r.line, "format version " + w[1].substr(0, 8) + " is not known (1 is)");
            sawMagic = true;
            continue;
        }
        if (w[0] == "template") {
            if (open)
                return Fail(pWhy, r.line, "template " + open->name + " is not ended before the next one");
            if (w.size() != 2 || !IsName(w[1]))
                return Fail(pWhy, r.line, "template takes one name (1 to 63 of A-Z a-z 0-9 _ - .)");
            if (out.Find(w[1].c_str()))
                return Fail(pWhy, r.line, "a second template named " + w[1]);
            if (out.templates.size() >= SKUI_TEMPLATES_MAX)
                return Fail(pWhy, r.line, "more than 16 templates");
            out.templates.emplace_back();
            open = &out.templates.back();
            open->name = w[1];
            continue;
        }
        if (w[0] == "end") {
            if (!open || w.size() != 1)
                return Fail(pWhy, r.line, "end without a template");
            open = nullptr;
            continue;
        }
        if (!open)
            return Fail(pWhy, r.line, "\"" + w[0].substr(0, 40) + "\" outside a template");
        std::string what;
        if (!Statement(w, open, &what))
            return Fail(pWhy, r.line, what);
    }
    if (!sawMagic)
        return Fail(pWhy, 0, "empty: not a UI template file");
    if (open)
        return Fail(pWhy, r.line, "template " + open->name + " has no end (the file is cut short?)");
    *pOut = std::move(out);
    return true;
}

namespace {

bool ReadWhole(const char *lpszPath, std::string *pText, std::string *pWhy)
{
    FIO_FILE *f = FioOpen(lpszPath, "rb");
    if (!f)
        return Fail(pWhy, 0, std::string("cannot open ") + lpszPath + " (Windows error " +
                                 std::to_string(GetLastError()) + ")");
    long long size = FioSize(f);
    if (size < 0 || size > SKUI_FILE_MAX) {
        FioClose(f);
        return Fail(pWhy, 0, std::string(lpszPath) + (size < 0 ? ": its size cannot be read" : ": larger than 64 KB"));
    }
    pText->assign((size_t)size, '\0');
    size_t got = size ? FioRead(f, &(*pText)[0], (size_t)size) : 0;
    DWORD err = FioError(f) ? FioLastError(f) : 0;
    FioClose(f);
    if (got != (size_t)size)
        return Fail(pWhy, 0, std::string("cannot read ") + lpszPath +
                                 (err ? " (Windows error " + std::to_string(err) + ")" : " whole"));
    return true;
}

}  // namespace

bool SkuiLoadTemplate(const char *lpszTemplate, const char *lpszLayoutFile, const char *lpszImageFile,
                      SkuiTemplateDef *pOut, std::string *pWhy)
{
    if (!pOut || !lpszTemplate)
        return Fail(pWhy, 0, "no template name");
    *pOut = SkuiTemplateDef();
    SkuiTemplateDef result;
    result.name = lpszTemplate;
    std::string text, why;
    if (lpszLayoutFile) {
        SkuiTemplateFile file;
        if (!ReadWhole(lpszLayoutFile, &text, pWhy))
            return false;
        if (!SkuiParseTemplateText(text.data(), text.size(), &file, &why))
            return Fail(pWhy, 0, std::string(lpszLayoutFile) + ": " + why);
        const SkuiTemplateDef *t = file.Find(lpszTemplate);
        if (!t)
            return Fail(pWhy, 0, std::string(lpszLayoutFile) + " has no template " + lpszTemplate);
        if (!t->width)
            return Fail(pWhy, 0, std::string(lpszLayoutFile) + ": template " + lpszTemplate + " has no size");
        for (const SkuiControlDef &c : t->controls)
            if (c.kind < 0)
                return Fail(pWhy, 0, std::string(lpszLayoutFile) + ": image for " + c.name +
                                         ", which the template does not place");
        result = *t;
    }
    if (lpszImageFile) {
        SkuiTemplateFile file;
        if (!ReadWhole(lpszImageFile, &text, pWhy))
            return false;
        if (!SkuiParseTemplateText(text.data(), text.size(), &file, &why))
            return Fail(pWhy, 0, std::string(lpszImageFile) + ": " + why);
        const SkuiTemplateDef *t = file.Find(lpszTemplate);
        if (!t)
            return Fail(pWhy, 0, std::string(lpszImageFile) + " has no template " + lpszTemplate);
        if (!t->backImage.empty())
            result.backImage = t->backImage;
        for (const SkuiControlDef &pic : t->controls) {
            SkuiControlDef *c = nullptr;
            for (SkuiControlDef &have : result.controls)
                if (have.name == pic.name)
                    c = &have;
            if (!c || c->kind < 0)
                return Fail(pWhy, 0, std::string(lpszImageFile) + ": image for " + pic.name +
                                         ", which the layout does not have");
            for (int s = 0; s < 4; ++s)
                if (!pic.image[s].empty())
                    c->image[s] = pic.image[s];
        }
    }
    *pOut = std::move(result);
    return true;
}

}  // namespace GUI
