#include "storyboard.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include <windows.h>

#include "basemem.h"
#include "fileio.h"
#include "gif.h"
#include "pixkit.h"

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

namespace preview {

struct Face::Impl {
    std::vector<unsigned char> data;
    stbtt_fontinfo info;
};

/* stb_truetype trusts the file: before it sees one, the table directory must lie inside it,
 * every table too, and the tables text drawing needs must be there.
 *
 *   offset 0  sfnt version (4)   4 numTables (2)   6..11 search fields
 *          12 numTables records: tag (4) checksum (4) offset (4) length (4)
 */
static bool FontLooksWhole(const std::vector<unsigned char> &d)
{
    auto u16 = [&](size_t at) { return (unsigned)d[at] << 8 | d[at + 1]; };
    auto u32 = [&](size_t at) { return (uint32_t)u16(at) << 16 | u16(at + 2); };
    if (d.size() < 12)
        return false;
    uint32_t version = u32(0);
    if (version != 0x00010000 && version != 0x74727565 /* 'true' */)
        return false;
    size_t tables = u16(4);
    if (tables == 0 || 12 + tables * 16 > d.size())
        return false;
    int needed = 0;
    for (size_t i = 0; i < tables; ++i) {
        size_t rec = 12 + i * 16;
        uint64_t off = u32(rec + 8), len = u32(rec + 12);
        if (off + len > d.size())
            return false;
        for (const char *tag : {"cmap", "head", "hhea", "hmtx", "loca", "glyf", "maxp"})
            needed += memcmp(&d[rec], tag, 4) == 0;
    }
    return needed == 7;
}

Face::Face() : m_impl(nullptr) {}
Face::~Face() { delete m_impl; }

bool Face::LoadFile(const std::string &path, std::string *error)
{
    FIO_FILE *f = FioOpen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open " + path;
        return false;
    }
    long long size = FioSize(f);
    std::unique_ptr<Impl> impl(new Impl);
    bool ok = size > 0 && size < (64 << 20);
    if (ok) {
        impl->data.resize((size_t)size);
        ok = FioRead(f, impl->data.data(), (size_t)size) == (size_t)size;
    }
    FioClose(f);
    if (!ok || !FontLooksWhole(impl->data) || !stbtt_InitFont(&impl->info, impl->data.data(), stbtt_GetFontOffsetForIndex(impl->data.data(), 0))) {
        *error = path + " is not a TrueType font that can be read";
        return false;
    }
    delete m_impl;
    m_impl = impl.release();
    m_path = path;
    return true;
}

/* Where DejaVu Sans is looked for when no font is named. */
static std::vector<std::string> DefaultFontPlaces()
{
    std::vector<std::string> places;
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n > 0 && n < sizeof self) {
        std::string dir(self, n);
        size_t slash = dir.find_last_of("\\/");
        if (slash != std::string::npos)
            places.push_back(dir.substr(0, slash + 1) + "DejaVuSans.ttf");
    }
    places.push_back("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
#if defined(_WIN32)
    // Under Wine the host's folders are drive Z:.
    places.push_back("Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf");
    char windir[MAX_PATH];
    UINT w = GetWindowsDirectoryA(windir, sizeof windir);
    if (w > 0 && w < sizeof windir)
        places.push_back(std::string(windir) + "\\Fonts\\DejaVuSans.ttf");
#endif
    return places;
}

bool Face::Load(std::string *error)
{
    const char *env = getenv("MEDLEY_FONT");
    // A font asked for by name is the only one tried.
    std::vector<std::string> places = env && *env ? std::vector<std::string>{env} : DefaultFontPlaces();
    std::string tried;
    for (const std::string &p : places) {
        if (GetFileAttributesA(p.c_str()) == INVALID_FILE_ATTRIBUTES) {
            tried += (tried.empty() ? "" : ", ") + p;
            continue;
        }
        std::string why;
        if (LoadFile(p, &why))
            return true;
        tried += (tried.empty() ? "" : ", ") + why;
    }
    *error = "no font to draw text with: DejaVu Sans was not found (looked at " + tried +
             "); install Debian's fonts-dejavu-core or set MEDLEY_FONT to a TrueType font";
    return false;
}

namespace {

struct Rgb {
    uint8_t r, g, b;
};

Rgb ColourOf(uint32_t rrggbb) { return {(uint8_t)(rrggbb >> 16), (uint8_t)(rrggbb >> 8), (uint8_t)rrggbb}; }

/* "#RRGGBB", "#RGB" or a few colour names; fallback when it is none of them. */
Rgb ParseColour(const std::string &s, Rgb fallback)
{
    static const struct {
        const char *name;
        uint32_t rgb;
    } kNames[] = {{"white", 0xFFFFFF}, {"black", 0x000000}, {"red", 0xFF0000}, {"green", 0x008000},
                  {"blue", 0x0000FF}, {"yellow", 0xFFFF00}, {"gray", 0x808080}, {"grey", 0x808080},
                  {"silver", 0xC0C0C0}, {"navy", 0x000080}};
    std::string l;
    for (char c : s)
        l += (char)tolower((unsigned char)c);
    for (const auto &n : kNames)
        if (l == n.name)
            return ColourOf(n.rgb);
    if (l.size() == 7 && l[0] == '#' && l.find_first_not_of("0123456789abcdef", 1) == std::string::npos)
        return ColourOf((uint32_t)strtoul(l.c_str() + 1, nullptr, 16));
    if (l.size() == 4 && l[0] == '#' && l.find_first_not_of("0123456789abcdef", 1) == std::string::npos) {
        uint32_t v = (uint32_t)strtoul(l.c_str() + 1, nullptr, 16);
        uint32_t r = (v >> 8) & 15, g = (v >> 4) & 15, b = v & 15;
        return ColourOf((r * 17) << 16 | (g * 17) << 8 | b * 17);
    }
    return fallback;
}

class Painter {
public:
    explicit Painter(Canvas &c) : m_c(c) { ClearClip(); }

    void Fill(Rect r, Rgb col)
    {
        // Opaque: the clipped rows are written as they are, not blended pixel by pixel.
        Rect k = Clip(r);
        for (int y = k.y; y < k.y + k.h; ++y) {
            uint8_t *p = &m_c.rgb[((size_t)y * m_c.w + k.x) * 3];
            for (int x = 0; x < k.w; ++x, p += 3) {
                p[0] = col.r;
                p[1] = col.g;
                p[2] = col.b;
            }
        }
    }
    void Frame(Rect r, Rgb col)
    {
        Fill({r.x, r.y, r.w, 1}, col);
        Fill({r.x, r.y + r.h - 1, r.w, 1}, col);
        Fill({r.x, r.y, 1, r.h}, col);
        Fill({r.x + r.w - 1, r.y, 1, r.h}, col);
    }
    void Blend(int x, int y, Rgb col, int alpha)
    {
        if (x < m_clip.x || y < m_clip.y || x >= m_clip.x + m_clip.w || y >= m_clip.y + m_clip.h || alpha <= 0)
            return;
        uint8_t *p = &m_c.rgb[((size_t)y * m_c.w + x) * 3];
        p[0] = (uint8_t)((p[0] * (255 - alpha) + col.r * alpha) / 255);
        p[1] = (uint8_t)((p[1] * (255 - alpha) + col.g * alpha) / 255);
        p[2] = (uint8_t)((p[2] * (255 - alpha) + col.b * alpha) / 255);
    }
    void Put(int x, int y, Rgb col) { Blend(x, y, col, 255); }
    void SetClip(Rect r) { m_clip = Intersect(r, {0, 0, m_c.w, m_c.h}); }
    void ClearClip() { m_clip = {0, 0, m_c.w, m_c.h}; }
    Rect Clip(Rect r) const { return Intersect(r, m_clip); }
    Canvas &canvas() { return m_c; }

private:
    static Rect Intersect(Rect a, Rect b)
    {
        int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
        int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
        return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
    }
    Canvas &m_c;
    Rect m_clip;
};

/* UTF-8 to code points; a malformed octet gives U+FFFD. */
std::vector<uint32_t> CodePoints(const std::string &s)
{
    std::vector<uint32_t> out;
    const unsigned char *p = (const unsigned char *)s.data(), *end = p + s.size();
    while (p < end) {
        unsigned char c = *p;
        int n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (n == 0 || end - p < n) {
            out.push_back(0xFFFD);
            ++p;
            continue;
        }
        uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        bool ok = true;
        for (int i = 1; i < n; ++i) {
            ok = ok && (p[i] & 0xC0) == 0x80;
            cp = cp << 6 | (p[i] & 0x3F);
        }
        out.push_back(ok ? cp : 0xFFFD);
        p += ok ? n : 1;
    }
    return out;
}

class Writer {
public:
    Writer(const Face &face, Painter &paint) : m_font(&face.impl()->info), m_paint(paint) {}

    int LineHeight(float px) const { return (int)(px * 1.25f + 0.5f); }
    float Width(const std::vector<uint32_t> &cps, size_t from, size_t to, float px) const
    {
        float scale = stbtt_ScaleForPixelHeight(m_font, px), w = 0;
        for (size_t i = from; i < to; ++i) {
            int adv, lsb;
            stbtt_GetCodepointHMetrics(m_font, (int)cps[i], &adv, &lsb);
            w += adv * scale;
            if (i + 1 < to)
                w += scale * stbtt_GetCodepointKernAdvance(m_font, (int)cps[i], (int)cps[i + 1]);
        }
        return w;
    }
    /* One line at (x, top); returns the advance. */
    float Line(const std::vector<uint32_t> &cps, size_t from, size_t to, int x, int top, float px, Rgb col)
    {
        float scale = stbtt_ScaleForPixelHeight(m_font, px);
        int ascent, descent, gap;
        stbtt_GetFontVMetrics(m_font, &ascent, &descent, &gap);
        int baseline = top + (int)(ascent * scale + 0.5f);
        float pen = (float)x;
        std::vector<unsigned char> glyph;
        for (size_t i = from; i < to; ++i) {
            int cp = (int)cps[i];
            int adv, lsb, x0, y0, x1, y1;
            stbtt_GetCodepointHMetrics(m_font, cp, &adv, &lsb);
            stbtt_GetCodepointBitmapBox(m_font, cp, scale, scale, &x0, &y0, &x1, &y1);
            int gw = x1 - x0, gh = y1 - y0;
            if (gw > 0 && gh > 0 && gw < 1024 && gh < 1024) {
                glyph.assign((size_t)gw * gh, 0);
                stbtt_MakeCodepointBitmap(m_font, glyph.data(), gw, gh, gw, scale, scale, cp);
                int gx = (int)(pen + 0.5f) + x0, gy = baseline + y0;
                for (int yy = 0; yy < gh; ++yy)
                    for (int xx = 0; xx < gw; ++xx)
                        m_paint.Blend(gx + xx, gy + yy, col, glyph[(size_t)yy * gw + xx]);
            }
            pen += adv * scale;
            if (i + 1 < to)
                pen += scale * stbtt_GetCodepointKernAdvance(m_font, cp, (int)cps[i + 1]);
        }
        return pen - x;
    }
    void Text(const std::string &s, int x, int top, float px, Rgb col)
    {
        std::vector<uint32_t> cps = CodePoints(s);
        Line(cps, 0, cps.size(), x, top, px, col);
    }
    /* Word-wrapped text inside r (clipped); returns the lines drawn. */
    int Wrapped(const std::string &s, Rect r, float px, Rgb col)
    {
        std::vector<uint32_t> cps = CodePoints(s);
        int lh = LineHeight(px), y = r.y + 2, lines = 0;
        size_t at = 0;
        while (at < cps.size() && y + lh <= r.y + r.h + lh / 3) {
            // The longest run of whole words that fits, or at least one character.
            size_t end = at, lastBreak = 0;
            bool hardBreak = false;
            while (end < cps.size()) {
                if (cps[end] == '\n') {
                    hardBreak = true;
                    break;
                }
                if (Width(cps, at, end + 1, px) > r.w - 4)
                    break;
                if (cps[end] == ' ')
                    lastBreak = end;
                ++end;
            }
            if (!hardBreak && end < cps.size() && lastBreak > at)
                end = lastBreak;
            if (end == at && !hardBreak)
                end = at + 1;
            std::vector<uint32_t> line(cps.begin() + at, cps.begin() + end);
            for (uint32_t &c : line)
                if (c == '\r' || c == '\t')
                    c = ' ';
            Line(line, 0, line.size(), r.x + 2, y, px, col);
            ++lines;
            y += lh;
            at = end;
            if (at < cps.size() && (cps[at] == ' ' || cps[at] == '\n'))
                ++at;
        }
        return lines;
    }

private:
    const stbtt_fontinfo *m_font;
    Painter &m_paint;
};

/* The picture scaled into box keeping its proportions (region fit "meet"), centred; each
 * target pixel is the mean of the source pixels it covers. */
void DrawScaled(Painter &paint, const Canvas &src, Rect box)
{
    if (box.w <= 0 || box.h <= 0 || src.w <= 0 || src.h <= 0)
        return;
    double s = std::min((double)box.w / src.w, (double)box.h / src.h);
    int w = std::max(1, (int)(src.w * s + 0.5)), h = std::max(1, (int)(src.h * s + 0.5));
    int ox = box.x + (box.w - w) / 2, oy = box.y + (box.h - h) / 2;
    for (int y = 0; y < h; ++y) {
        int sy0 = (int)((double)y * src.h / h), sy1 = std::max(sy0 + 1, (int)((double)(y + 1) * src.h / h));
        for (int x = 0; x < w; ++x) {
            int sx0 = (int)((double)x * src.w / w), sx1 = std::max(sx0 + 1, (int)((double)(x + 1) * src.w / w));
            unsigned r = 0, g = 0, b = 0, n = 0;
            for (int yy = sy0; yy < sy1 && yy < src.h; ++yy)
                for (int xx = sx0; xx < sx1 && xx < src.w; ++xx) {
                    const uint8_t *p = &src.rgb[((size_t)yy * src.w + xx) * 3];
                    r += p[0], g += p[1], b += p[2], ++n;
                }
            if (n)
                paint.Put(ox + x, oy + y, {(uint8_t)(r / n), (uint8_t)(g / n), (uint8_t)(b / n)});
        }
    }
}

/* A hatched box saying what is wrong, in place of a picture. */
void Placeholder(Painter &paint, Writer &write, Rect r, const std::string &what, const std::string &name, float px)
{
    paint.Fill(r, {0xF4, 0xE4, 0xE4});
    Rect k = paint.Clip(r);
    for (int y = k.y; y < k.y + k.h; ++y)
        for (int x = k.x; x < k.x + k.w; ++x)
            if ((x + y) % 12 == 0)
                paint.Put(x, y, {0xD8, 0xB0, 0xB0});
    paint.Frame(r, {0xB0, 0x30, 0x30});
    Rect inner{r.x + 3, r.y + 3, r.w - 6, r.h - 6};
    write.Wrapped(what + ": " + name, inner, px, {0x80, 0x10, 0x10});
}

std::string Seconds(int ms)
{
    char b[32];
    snprintf(b, sizeof b, "%.1f s", ms / 1000.0);
    return b;
}

/* The frames the reader would keep, counted from the blocks: a badge decodes nothing. */
int GifFrames(const std::string &path)
{
    GIFSCAN scan;
    return ScanGif(path.c_str(), &scan) ? scan.frames : 0;
}

bool IsGif(const std::string &path)
{
    FIO_FILE *f = FioOpen(path.c_str(), "rb");
    char sig[6] = {0};
    bool gif = f && FioRead(f, sig, 6) == 6 && (!memcmp(sig, "GIF87a", 6) || !memcmp(sig, "GIF89a", 6));
    FioClose(f);
    return gif;
}

}  // namespace

bool DrawStoryboard(const Presentation &p, const std::string &stageFolder, const Face &face, Storyboard *out,
                    std::string *error, int maxCells)
{
    *out = Storyboard();
    if (!face.impl()) {
        *error = "no font loaded";
        return false;
    }
    int n = (int)p.slides.size();
    int shown = std::min(n, std::max(1, maxCells));
    out->more = n - shown;
    int lw = std::max(1, p.width), lh = std::max(1, p.height);
    out->scale = std::min(1.0, (double)kMaxCellSide / std::max(lw, lh));
    int cw = std::max(1, (int)(lw * out->scale + 0.5)), ch = std::max(1, (int)(lh * out->scale + 0.5));
    int cols = std::max(1, std::min(shown, (int)kMaxColumns));
    int rows = (shown + cols - 1) / cols;
    int rowH = ch + 2 + kCaptionHeight + kGap;
    Canvas &c = out->canvas;
    c.w = std::max(360, kGap + cols * (cw + 2 + kGap));
    c.h = kHeaderHeight + rows * rowH + (out->more > 0 ? kFooterHeight : 0) + kGap / 2;
    try {
        c.rgb.assign((size_t)c.w * c.h * 3, 0);
    } catch (const std::bad_alloc &) {
        *error = "not enough memory for a storyboard of " + std::to_string(c.w) + " x " + std::to_string(c.h);
        return false;
    }
    Painter paint(c);
    Writer write(face, paint);
    const Rgb ink{0x20, 0x20, 0x20}, grey{0x60, 0x60, 0x60};
    paint.Fill({0, 0, c.w, c.h}, ColourOf(kBoardColour));

    std::string head = std::to_string(n) + (n == 1 ? " slide" : " slides") + ", screen " + std::to_string(p.width) +
                       " x " + std::to_string(p.height) + (p.fromSmil ? "" : " (no presentation: one slide per picture)");
    write.Text(head, kGap, 6, 14, ink);
    std::string sub;
    if (!p.missing.empty()) {
        sub += "missing:";
        for (const std::string &m : p.missing)
            sub += " " + m;
    }
    if (!p.unused.empty()) {
        sub += std::string(sub.empty() ? "" : "   ") + "unused:";
        for (int i : p.unused)
            sub += " " + (p.parts[i].name.empty() ? p.parts[i].id : p.parts[i].name);
    }
    if (!sub.empty())
        write.Text(sub, kGap, 23, 11, {0xA0, 0x20, 0x20});

    Rgb screen = ParseColour(p.background, {0xFF, 0xFF, 0xFF});
    Rgb textInk = (screen.r * 3 + screen.g * 6 + screen.b) / 10 < 110 ? Rgb{0xFF, 0xFF, 0xFF} : Rgb{0, 0, 0};
    float textPx = std::max(9.0f, (float)(13 * out->scale));
    for (int i = 0; i < shown; ++i) {
        const Slide &s = p.slides[i];
        int col = i % cols, row = i / cols;
        Rect cell{kGap + col * (cw + 2 + kGap) + 1, kHeaderHeight + row * rowH + 1, cw, ch};
        out->cells.push_back(cell);
        paint.Frame({cell.x - 1, cell.y - 1, cw + 2, ch + 2}, ColourOf(kFrameColour));
        paint.Fill(cell, screen);
        auto place = [&](const Rect &r) {
            return Rect{cell.x + (int)(r.x * out->scale), cell.y + (int)(r.y * out->scale),
                        (int)(r.w * out->scale + 0.5), (int)(r.h * out->scale + 0.5)};
        };
        paint.SetClip(cell);
        if (s.hasImage) {
            Rect r = place(s.image.region);
            if (s.image.missing || s.image.part < 0) {
                Placeholder(paint, write, r, "missing picture", s.image.src, textPx);
            } else {
                std::string path = Join(stageFolder, p.parts[s.image.part].file);
                HGLOBAL dib = PxOpenFile(path.c_str(), 0, 0);
                Canvas pic;
                bool drawn = dib && DibToCanvas(dib, &pic);
                if (dib)
                    BaseMemFree(dib);
                if (!drawn) {
                    Placeholder(paint, write, r, "damaged picture", s.image.src, textPx);
                } else {
                    DrawScaled(paint, pic, r);
                    int frames = IsGif(path) ? GifFrames(path) : 0;
                    if (frames > 1) {
                        std::string badge = std::to_string(frames) + " frames";
                        std::vector<uint32_t> cps = CodePoints(badge);
                        int bw = (int)write.Width(cps, 0, cps.size(), 11) + 8;
                        Rect b{r.x + r.w - bw - 3, r.y + 3, bw, 16};
                        paint.Fill(b, {0x30, 0x30, 0x30});
                        write.Text(badge, b.x + 4, b.y + 1, 11, {0xFF, 0xFF, 0xFF});
                    }
                }
            }
        }
        if (s.hasText) {
            Rect r = place(s.text.region);
            if (s.text.missing || s.text.part < 0) {
                Placeholder(paint, write, r, "missing text", s.text.src, textPx);
            } else {
                paint.SetClip({std::max(cell.x, r.x), std::max(cell.y, r.y),
                               std::min(cell.x + cw, r.x + r.w) - std::max(cell.x, r.x),
                               std::min(cell.y + ch, r.y + r.h) - std::max(cell.y, r.y)});
                write.Wrapped(s.text8, r, textPx, textInk);
            }
        }
        paint.ClearClip();
        // The caption: number and time, then the sound, then how the text was read.
        Rect cap{cell.x - 1, cell.y + ch + 3, cw + 2, kCaptionHeight - 4};
        paint.SetClip(cap);
        write.Text("Slide " + std::to_string(i + 1) + "  \xC2\xB7  " + Seconds(s.durationMs), cap.x, cap.y, 12, ink);
        std::string sound = !s.hasAudio ? "no sound"
                            : s.audio.missing ? "\xE2\x99\xAA missing: " + s.audio.src
                                              : "\xE2\x99\xAA " + s.audio.src;
        write.Text(sound, cap.x, cap.y + 15, 11, s.hasAudio && s.audio.missing ? Rgb{0xA0, 0x20, 0x20} : grey);
        if (!s.textNote.empty())
            write.Text("text " + s.textNote, cap.x, cap.y + 30, 10, grey);
        paint.ClearClip();
    }
    if (out->more > 0)
        write.Text("and " + std::to_string(out->more) + " more slide" + (out->more == 1 ? "" : "s"), kGap,
                   kHeaderHeight + rows * rowH + 4, 14, ink);
    return true;
}

bool DibToCanvas(HGLOBAL hDib, Canvas *out)
{
    DWORD size = BaseMemSize(hDib);
    const uint8_t *base = (const uint8_t *)BaseMemLock(hDib);
    if (!base)
        return false;
    bool ok = false;
    do {
        if (size < sizeof(BITMAPINFOHEADER))
            break;
        BITMAPINFOHEADER bih;
        memcpy(&bih, base, sizeof bih);
        int bits = bih.biBitCount;
        if (bih.biWidth <= 0 || bih.biHeight == 0 || bih.biWidth > 65535 || bih.biHeight > 65535 ||
            bih.biHeight < -65535 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
            break;
        int w = bih.biWidth, h = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        uint64_t colours = bih.biClrUsed ? bih.biClrUsed : (bits <= 8 ? 1u << bits : 0);
        uint64_t stride = (((uint64_t)w * bits + 31) / 32) * 4;
        uint64_t offset = bih.biSize + colours * 4;
        if (colours > 256 || offset + stride * h > size)
            break;
        const uint8_t *pal = base + bih.biSize;
        out->w = w;
        out->h = h;
        out->rgb.assign((size_t)w * h * 3, 0);
        for (int y = 0; y < h; ++y) {
            const uint8_t *row = base + offset + stride * (bih.biHeight > 0 ? h - 1 - y : y);
            for (int x = 0; x < w; ++x) {
                uint8_t *o = &out->rgb[((size_t)y * w + x) * 3];
                if (bits >= 24) {
                    int b = bits / 8;
                    o[0] = row[x * b + 2], o[1] = row[x * b + 1], o[2] = row[x * b];
                    continue;
                }
                unsigned idx = bits == 8 ? row[x] : bits == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15
                                                              : (row[x / 8] >> (7 - (x & 7))) & 1;
                if (idx < colours)
                    o[0] = pal[idx * 4 + 2], o[1] = pal[idx * 4 + 1], o[2] = pal[idx * 4];
            }
        }
        ok = true;
    } while (0);
    BaseMemUnlock(hDib);
    return ok;
}

bool WritePng(const Canvas &c, const std::string &path, std::string *error)
{
    std::string png;
    auto sink = [](void *ctx, void *data, int size) { ((std::string *)ctx)->append((const char *)data, (size_t)size); };
    if (c.w <= 0 || c.h <= 0 || !stbi_write_png_to_func(sink, &png, c.w, c.h, 3, c.rgb.data(), c.w * 3)) {
        *error = "the picture cannot be encoded as PNG";
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    FIO_FILE *f = FioCreateAtomic(path.c_str());
    if (!f) {
        *error = "cannot create " + path;
        return false;
    }
    if (FioWrite(f, png.data(), png.size()) != png.size()) {
        DWORD why = FioLastError(f);
        FioClose(f);
        SetLastError(why);
        *error = "cannot write " + path;
        return false;
    }
    if (!FioCommit(f)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool WriteDibPng(HGLOBAL hDib, const std::string &path, std::string *error)
{
    Canvas c;
    if (!hDib || !DibToCanvas(hDib, &c)) {
        *error = "the picture is not a 1, 4, 8, 24 or 32-bit DIB";
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return WritePng(c, path, error);
}

}  // namespace preview
