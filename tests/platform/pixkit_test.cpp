/* The imaging library stand-in: file decoding, type codes, conversions to true colour, blank
 * bitmaps, resampling and cropping, and clean failures on bad input. */
#include <windows.h>

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "basemem.h"
#include "media_files.h"
#include "picture_files.h"
#include "pixkit.h"
#include "testkit.h"

namespace {

typedef std::vector<unsigned char> Bytes;

struct Rgb {
    BYTE r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream &operator<<(std::ostream &os, const Rgb &c)
{
    char buf[16];
    snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return os << buf;
}

/* A DIB block, locked while it lives and freed after; pixels counted from its top-left. */
struct Dib : testkit::DibView {
    explicit Dib(HGLOBAL hDib) : DibView(hDib, true) {}
    HGLOBAL get() const { return h; }
    explicit operator bool() const { return h != 0; }
    Bytes bytes() const { return p ? Bytes(p, p + BaseMemSize(h)) : Bytes(); }
    BITMAPINFOHEADER header() const { return *bih(); }
    Rgb at(int x, int y) const  // of a 24-bit bitmap
    {
        const BYTE *q = row(y) + 3 * x;
        return Rgb{q[2], q[1], q[0]};
    }
};

/* A bitmap's size as "WxH" ("none" when it has none). */
std::string SizeOf(HGLOBAL h)
{
    int w = 0, h2 = 0;
    return PxDibGetSize(h, &w, &h2) ? std::to_string(w) + "x" + std::to_string(h2) : "none";
}

/* A BMP file written field by field: `indices` holds one palette index per pixel (or, at 24
 * bits, an index into `palette` whose colour is stored), rows from the top. */
Bytes MakeBmp(int width, int height, int bits, bool topDown, const std::vector<Rgb> &palette,
              const std::vector<int> &indices)
{
    int colours = bits <= 8 ? (int)palette.size() : 0;
    size_t stride = ((size_t)width * bits + 31) / 32 * 4;
    uint32_t offBits = 14 + 40 + 4 * colours;
    uint32_t fileSize = offBits + (uint32_t)(stride * height);
    Bytes b = {'B', 'M'};
    // Size, reserved, offset; header size, width, height, planes and depth, BI_RGB, image
    // size, 72 dpi both ways, colours used and important.
    for (uint32_t v : {fileSize, 0u, offBits, 40u, uint32_t(width), uint32_t(topDown ? -height : height),
                       1u | uint32_t(bits) << 16, 0u, uint32_t(stride * height), 2835u, 2835u, uint32_t(colours), 0u})
        testkit::PutLE(b, v, 4);
    for (int i = 0; i < colours; ++i)
        b.insert(b.end(), {palette[i].b, palette[i].g, palette[i].r, 0});
    for (int s = 0; s < height; ++s) {
        int y = topDown ? s : height - 1 - s;  // picture row stored at file row s
        Bytes row(stride, 0);
        for (int x = 0; x < width; ++x) {
            int v = indices[(size_t)y * width + x];
            switch (bits) {
            case 1:
                row[x / 8] |= (BYTE)(v << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= (BYTE)(x % 2 ? v : v << 4);
                break;
            case 8:
                row[x] = (BYTE)v;
                break;
            default:
                row[3 * x] = palette[v].b;
                row[3 * x + 1] = palette[v].g;
                row[3 * x + 2] = palette[v].r;
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

const std::vector<Rgb> kColours = {
    {0, 0, 0},     {255, 255, 255}, {255, 0, 0},   {0, 255, 0},    {0, 0, 255},   {255, 255, 0},
    {0, 255, 255}, {255, 0, 255},   {128, 64, 32}, {10, 200, 100}, {77, 77, 77},  {1, 2, 3},
    {250, 128, 5}, {5, 128, 250},   {90, 0, 180},  {33, 66, 99},
};

/* A 5x3 picture (odd width: every row is padded) using `levels` colours. */
std::vector<int> Pattern(int levels)
{
    std::vector<int> px(15);
    for (int i = 0; i < 15; ++i)
        px[i] = (i * 7 + i / 5) % levels;
    return px;
}

class PixKit : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BaseMemInit(); }
    std::string Put(const std::string &name, const Bytes &bytes)
    {
        std::string p = dir.file(name);
        EXPECT_TRUE(testkit::WriteFileBytes(p, bytes));
        return p;
    }
    testkit::TempDir dir;
};

/* Each depth: its type code, the conversion that applies and the palette size. */
struct DepthCase {
    int bits;
    int type;
    HGLOBAL(WINAPI *convert)(HGLOBAL);
    int levels;
};

const DepthCase kDepths[] = {
    {1, PX_TYPE_1BIT, PxDibConvert1BitToTrueColor, 2},
    {4, PX_TYPE_4BIT, PxDibConvert4BitToTrueColor, 16},
    {8, PX_TYPE_8BIT, PxDibConvert8BitToTrueColor, 16},
    {24, PX_TYPE_TRUECOLOR, nullptr, 16},
};

void ExpectNear(const Rgb &want, const Rgb &got, int tolerance)
{
    EXPECT_NEAR(want.r, got.r, tolerance) << want << " " << got;
    EXPECT_NEAR(want.g, got.g, tolerance) << want << " " << got;
    EXPECT_NEAR(want.b, got.b, tolerance) << want << " " << got;
}

TEST_F(PixKit, OpensAndCropsBmpOfEveryDepthBothRowOrders)
{
    // The picture as read, a crop inside it and one running off the right and bottom edges
    // (cut to the bitmap): at the depth read, bottom-up, pixels counted from the top-left.
    const struct {
        int x, y, w, h;
        const char *size;
    } rects[] = {{0, 0, 0, 0, "5x3"}, {1, 1, 3, 2, "3x2"}, {3, 2, 10, 10, "2x1"}};
    for (const DepthCase &c : kDepths) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, " << (topDown ? "top-down" : "bottom-up"));
            std::vector<Rgb> pal(kColours.begin(), kColours.begin() + c.levels);
            std::vector<int> px = Pattern(c.levels);
            const std::string path = Put("in.bmp", MakeBmp(5, 3, c.bits, topDown, pal, px));
            Dib dib(PxOpenFile(path.c_str(), 0, 0));
            ASSERT_TRUE(dib);
            // Only JPEG files are opened reduced: others come whole.
            EXPECT_TRUE(Dib(PxOpenFileReduced(path.c_str(), 1, 1)).bytes() == dib.bytes());
            EXPECT_EQ(c.type, PxDibGetType(dib.get()));
            // Each conversion takes only its own depth.
            const DepthCase *other = &c == &kDepths[0] ? &kDepths[1] : &kDepths[0];
            EXPECT_EQ(nullptr, other->convert(dib.get()));
            for (const auto &r : rects) {
                SCOPED_TRACE(r.size);
                Dib crop(r.w ? PxDibCrop(dib.get(), r.x, r.y, r.w, r.h) : PxDibDuplicate(dib.get()));
                ASSERT_TRUE(crop);
                EXPECT_EQ(r.size, SizeOf(crop.get()));
                BITMAPINFOHEADER bih = crop.header();
                EXPECT_EQ(40u, bih.biSize);
                EXPECT_GT(bih.biHeight, 0);
                EXPECT_EQ(c.bits, bih.biBitCount);
                Dib truecolour(c.convert ? c.convert(crop.get()) : PxDibDuplicate(crop.get()));
                ASSERT_TRUE(truecolour);
                EXPECT_EQ(PX_TYPE_TRUECOLOR, PxDibGetType(truecolour.get()));
                for (int y = 0; y < bih.biHeight; ++y)
                    for (int x = 0; x < bih.biWidth; ++x)
                        EXPECT_EQ(pal[px[(y + r.y) * 5 + x + r.x]], truecolour.at(x, y)) << "at " << x << "," << y;
            }
        }
    }
}

TEST_F(PixKit, OpensPngAndJpegFlatteningTransparencyOntoWhite)
{
    // 6x4: left half red, right half blue, bottom row white.  A pixel with alpha is its colour
    // laid over white, c * a / 255 + (255 - a), rounded, whatever an encoder left under it.
    const Rgb R{255, 0, 0}, B{0, 0, 255}, W{255, 255, 255};
    Bytes rgb;
    std::vector<Rgb> picture;
    for (int i = 0; i < 24; ++i) {
        picture.push_back(i >= 18 ? W : i % 6 < 3 ? R : B);
        rgb.insert(rgb.end(), {picture[i].r, picture[i].g, picture[i].b});
    }
    const struct {
        const char *file;
        int w, h, comp;
        Bytes pixels;
        std::vector<Rgb> want;
        int tolerance;
    } cases[] = {
        {"a.png", 6, 4, 3, rgb, picture, 0},
        {"a.jpg", 6, 4, 3, rgb, picture, 48},  // lossy: checked away from the colour edges
        {"rgba.png", 3, 1, 4, {0, 0, 0, 0, 200, 40, 1, 128, 10, 20, 30, 255}, {W, {227, 147, 128}, {10, 20, 30}}, 0},
        {"ga.png", 3, 1, 2, {0, 0, 1, 128, 90, 255}, {W, {128, 128, 128}, {90, 90, 90}}, 0},  // grey + alpha
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.file(c.file);
        const bool jpeg = strstr(c.file, ".jpg") != nullptr;
        ASSERT_TRUE(jpeg ? stbi_write_jpg(path.c_str(), c.w, c.h, c.comp, c.pixels.data(), 100)
                         : stbi_write_png(path.c_str(), c.w, c.h, c.comp, c.pixels.data(), c.w * c.comp));
        Dib d(PxOpenFile(path.c_str(), 0, 0));
        ASSERT_TRUE(d);
        EXPECT_EQ(PX_TYPE_TRUECOLOR, PxDibGetType(d.get()));
        EXPECT_EQ(std::to_string(c.w) + "x" + std::to_string(c.h), SizeOf(d.get()));
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                if (!jpeg || (y < 2 && (x == 0 || x == 5)))
                    ExpectNear(c.want[y * c.w + x], d.at(x, y), c.tolerance);
    }
}

/* A GIF of one w x h image under a two-colour global table (red, blue), its LZW data at code
 * size 2 in one sub-block. */
Bytes Gif(const char *sig, int w, int h, const Bytes &lzw)
{
    Bytes b(sig, sig + 6);
    b.insert(b.end(), {BYTE(w), BYTE(w >> 8), BYTE(h), BYTE(h >> 8), 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0x2C, 0, 0,
                       0, 0, BYTE(w), BYTE(w >> 8), BYTE(h), BYTE(h >> 8), 0, 2, BYTE(lzw.size())});
    b.insert(b.end(), lzw.begin(), lzw.end());
    b.insert(b.end(), {0, 0x3B});
    return b;
}

TEST_F(PixKit, OpensFirstGifImage)
{
    // 2x2 at 3 bits a code.  The signature counts in any letter case, as the base library's
    // reader takes it.  A code never defined ends the pixels: those after it keep index 0.
    const Rgb R{255, 0, 0}, B{0, 0, 255};
    struct Case {
        const char *sig;
        Bytes lzw;
        Rgb px[4];
    } cases[] = {
        {"GIF89a", {0x44, 0x18, 0x14}, {R, B, B, R}},  // clear 0 1 clear 1 0 end
        {"Gif87A", {0x44, 0x18, 0x14}, {R, B, B, R}},
        {"GIF89a", {BYTE(4 | (1 << 3) | (7 << 6)), 0x01}, {B, R, R, R}},  // clear 1 then code 7
    };
    for (const Case &c : cases) {
        Dib dib(PxOpenFile(Put("a.gif", Gif(c.sig, 2, 2, c.lzw)).c_str(), 0, 0));
        ASSERT_TRUE(dib) << c.sig;
        EXPECT_EQ(PX_TYPE_8BIT, PxDibGetType(dib.get()));
        Dib tc(PxDibConvert8BitToTrueColor(dib.get()));
        ASSERT_TRUE(tc);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.px[i], tc.at(i % 2, i / 2)) << c.sig << " pixel " << i;
    }
}

TEST_F(PixKit, NewBitmapsAreFilledAndOnlyAWholeGreyRampIsTypeThree)
{
    struct {
        DWORD fill;
        int grey;  // Rec. 601 luminance of the fill
    } const cases[] = {{0x00000000, 0}, {0x00FFFFFF, 255}, {0x00808080, 128}, {0x00FF0000, 76}, {0x000000FF, 29}};
    for (const auto &c : cases) {
        for (int bits : {8, 24}) {
            SCOPED_TRACE(testing::Message() << std::hex << c.fill << std::dec << ", " << bits << " bits");
            Dib dib(PxDibNew(3, 2, bits, 96, c.fill));
            ASSERT_TRUE(dib);
            EXPECT_EQ(bits == 8 ? PX_TYPE_8BIT_GREY : PX_TYPE_TRUECOLOR, PxDibGetType(dib.get()));
            BITMAPINFOHEADER bih = dib.header();
            EXPECT_EQ(bits == 8 ? 256u : 0u, bih.biClrUsed);
            EXPECT_EQ(3780, bih.biXPelsPerMeter);  // 96 dpi
            // At 24 bits: the fill itself, stored blue, green, red in rows padded from 9 to 12 bytes.
            const Rgb fill{BYTE(c.fill >> 16), BYTE(c.fill >> 8), BYTE(c.fill)};
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    if (bits == 8)
                        EXPECT_NEAR(c.grey, dib.pixel(x, y), 1);
                    else
                        EXPECT_EQ(fill, dib.at(x, y));
                }
        }
    }
    EXPECT_EQ(nullptr, PxDibNew(3, 2, 4, 96, 0));
    EXPECT_EQ(nullptr, PxDibNew(3, 2, 1, 96, 0));
    EXPECT_EQ(nullptr, PxDibNew(0, 2, 24, 96, 0));
    EXPECT_EQ(nullptr, PxDibNew(3, -1, 8, 96, 0));
    // The blank 8-bit bitmaps' palette is the grey ramp; one entry off it, in green alone, makes
    // an ordinary palette.
    std::vector<Rgb> grey(256);
    for (int i = 0; i < 256; ++i)
        grey[i] = Rgb{(BYTE)i, BYTE(i == 200 ? 0 : i), (BYTE)i};
    Dib off(PxOpenFile(Put("o.bmp", MakeBmp(5, 3, 8, false, grey, Pattern(256))).c_str(), 0, 0));
    ASSERT_TRUE(off);
    EXPECT_EQ(PX_TYPE_8BIT, PxDibGetType(off.get()));
}

TEST_F(PixKit, ResampleKeepsColoursAndSizesAndNothingIsCroppedFromOutside)
{
    Dib solid(PxDibNew(4, 2, 24, 0, 0x00336699));
    ASSERT_TRUE(solid);
    const Rgb want{0x33, 0x66, 0x99};
    const int sizes[][2] = {{8, 4}, {1, 1}, {3, 7}, {2, 1}};
    for (auto resample : {PxDibResample, PxDibResampleHQ}) {
        const int tolerance = resample == PxDibResampleHQ ? 1 : 0;  // the filtered one within a level
        for (const auto &s : sizes) {
            SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << (tolerance ? ", filtered" : ""));
            Dib r(resample(solid.get(), s[0], s[1]));
            ASSERT_TRUE(r);
            EXPECT_EQ(std::to_string(s[0]) + "x" + std::to_string(s[1]), SizeOf(r.get()));
            ExpectNear(want, r.at(s[0] - 1, s[1] - 1), tolerance);
        }
        EXPECT_EQ(nullptr, resample(solid.get(), 0, 4));
        EXPECT_EQ(nullptr, resample(solid.get(), 4, -1));
    }
    // Palette bitmaps keep a palette through the plain resampler, each pixel the index of its
    // nearest; the filtered one gives true colour.
    const std::vector<int> px = Pattern(16);
    Dib pal(PxOpenFile(Put("p.bmp", MakeBmp(5, 3, 4, false, kColours, px)).c_str(), 0, 0));
    Dib g2(PxDibResample(pal.get(), 10, 6));
    ASSERT_TRUE(g2);
    EXPECT_EQ(8, g2.header().biBitCount);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(px[y / 2 * 5 + x / 2], g2.pixel(x, y)) << "at " << x << "," << y;
    Dib g3(PxDibResampleHQ(pal.get(), 2, 2));
    ASSERT_TRUE(g3);
    EXPECT_EQ(PX_TYPE_TRUECOLOR, PxDibGetType(g3.get()));

    EXPECT_EQ(nullptr, PxDibCrop(solid.get(), 4, 0, 2, 2));   // wholly off the right edge
    EXPECT_EQ(nullptr, PxDibCrop(solid.get(), -4, 0, 2, 2));  // wholly off the left edge
    EXPECT_EQ(nullptr, PxDibCrop(solid.get(), 0, 0, 0, 2));
}

/* Every pixel of a 24-bit DIB, rows from the top. */
std::vector<Rgb> AllPixels(const Dib &d, int *w, int *h)
{
    BITMAPINFOHEADER bih = d.header();
    *w = bih.biWidth;
    *h = bih.biHeight;
    std::vector<Rgb> out;
    for (int y = 0; y < *h; ++y)
        for (int x = 0; x < *w; ++x)
            out.push_back(d.at(x, y));
    return out;
}

/* Peak signal to noise of `got` (gw x gh) against the mean of each s x s cell of `full`
 * (w x h; the cells at the right and bottom hold what is left); *bias gets the mean signed
 * difference. */
double CellMeanPsnr(const std::vector<Rgb> &full, int w, int h, int s, const std::vector<Rgb> &got, int gw,
                   double *bias)
{
    double err = 0, sumDiff = 0;
    size_t n = 0;
    for (int cy = 0; cy * s < h; ++cy)
        for (int cx = 0; cx * s < w; ++cx) {
            double sum[3] = {0, 0, 0};
            int count = 0;
            for (int y = cy * s; y < std::min(h, cy * s + s); ++y)
                for (int x = cx * s; x < std::min(w, cx * s + s); ++x, ++count) {
                    const Rgb &c = full[(size_t)y * w + x];
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                }
            const Rgb &g = got[(size_t)cy * gw + cx];
            const double mine[3] = {double(g.r), double(g.g), double(g.b)};
            for (int k = 0; k < 3; ++k) {
                double d = mine[k] - sum[k] / count;
                err += d * d;
                sumDiff += d;
                ++n;
            }
        }
    *bias = sumDiff / n;
    return err == 0 ? 99 : 10 * log10(255.0 * 255.0 / (err / n));
}

TEST_F(PixKit, ReducedJpegIsTheMeanOfTheFullPicture)
{
    // The kinds of JPEG cameras, phones and editors write (fuzz/make_jpeg_corpus.py).  The
    // reduction covers the sequential ones; progressive and CMYK files come at full size.
    const struct {
        const char *name;
        bool reduced;
    } files[] = {
        {"case-420.jpg", true},           {"case-422.jpg", true},
        {"case-444.jpg", true},           {"case-420-odd-size.jpg", true},
        {"case-444-odd-size.jpg", true},  {"case-grey.jpg", true},
        {"case-grey-odd-size.jpg", true}, {"case-optimised-tables.jpg", true},
        {"case-low-quality.jpg", true},   {"case-one-pixel.jpg", true},
        {"case-wide-strip.jpg", true},    {"case-grey-strip.jpg", true},
        {"case-restart-420.jpg", true},
        {"case-restart-444.jpg", true},   {"case-restart-grey.jpg", true},
        {"case-adobe-rgb.jpg", true},     {"case-own-422.jpg", true},
        {"case-progressive.jpg", false},  {"case-cmyk.jpg", false},
    };
    const char *src = getenv("MEDLEY_SOURCE_DIR");
    ASSERT_TRUE(src);
    for (const auto &f : files) {
        SCOPED_TRACE(f.name);
        const std::string path = std::string(src) + "/fuzz/corpus/jpeg/" + f.name;
        Dib full(PxOpenFile(path.c_str(), 0, 0));
        ASSERT_TRUE(full);
        int W, H;
        std::vector<Rgb> ref = AllPixels(full, &W, &H);
        // Asked for a size, the smallest reduction at least that large in both ways, or the full
        // picture: each reduction's own size, and one pixel more than a reduction gives.
        const int asks[][2] = {{(W + 1) / 2, (H + 1) / 2}, {(W + 3) / 4, (H + 3) / 4}, {(W + 7) / 8, (H + 7) / 8},
                               {(W + 1) / 2 + 1, 1}, {1, (H + 7) / 8 + 1}};
        for (const auto &ask : asks) {
            SCOPED_TRACE(testing::Message() << ask[0] << "x" << ask[1]);
            int s = 1;
            for (int k : {2, 4, 8})
                if (f.reduced && (W + k - 1) / k >= ask[0] && (H + k - 1) / k >= ask[1])
                    s = k;
            Dib r(PxOpenFileReduced(path.c_str(), ask[0], ask[1]));
            ASSERT_TRUE(r);
            int gw, gh;
            std::vector<Rgb> got = AllPixels(r, &gw, &gh);
            ASSERT_EQ((W + s - 1) / s, gw);
            ASSERT_EQ((H + s - 1) / s, gh);
            if (s == 1) {
                EXPECT_TRUE(got == ref);
                continue;
            }
            // The full decoder spreads subsampled colour smoothly and rounds each stage; the
            // means agree closely all the same.
            double bias = 0;
            EXPECT_GE(CellMeanPsnr(ref, W, H, s, got, gw, &bias), 36.0);
            if (gw * gh >= 16) {
                EXPECT_LT(fabs(bias), 0.5);  // no level lost or gained on the whole
            }
        }
    }
}

/* A Huffman table segment's body: its class and number, then counts[k] codes of k + 1 bits
 * for the symbols 0, 1, 2... */
Bytes Dht(BYTE table, std::vector<BYTE> counts)
{
    counts.resize(16, 0);
    Bytes b = {table};
    b.insert(b.end(), counts.begin(), counts.end());
    for (int k = 0, v = 0; k < 16; ++k)
        for (int n = 0; n < counts[k]; ++n)
            b.push_back(BYTE(v++));
    return b;
}

/* A grey baseline JPEG declaring w x h: its Huffman tables (by default a DC and an AC table of
 * one one-bit code each, so that zero bits read as flat blocks), a scan using the DC and AC
 * tables `use` names, `scan` zero bytes and the EOI. */
Bytes GreyJpeg(int w, int h, size_t scan, const std::vector<Bytes> &tables = {Dht(0x00, {1}), Dht(0x10, {1})},
               BYTE use = 0x00)
{
    Bytes b = {0xFF, 0xD8};
    auto seg = [&](BYTE m, const Bytes &body) {
        b.insert(b.end(), {0xFF, m, BYTE((body.size() + 2) >> 8), BYTE(body.size() + 2)});
        b.insert(b.end(), body.begin(), body.end());
    };
    Bytes dqt(65, 1);
    dqt[0] = 0;
    seg(0xDB, dqt);
    seg(0xC0, {8, BYTE(h >> 8), BYTE(h), BYTE(w >> 8), BYTE(w), 1, 1, 0x11, 0});
    for (const Bytes &t : tables)
        seg(0xC4, t);
    seg(0xDA, {1, 1, use, 0, 63, 0});
    b.resize(b.size() + scan, 0);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

TEST_F(PixKit, BadInputFailsCleanly)
{
    EXPECT_EQ(nullptr, PxOpenFile(NULL, 0, 0));
    EXPECT_EQ(nullptr, PxOpenFileReduced(NULL, 1, 1));
    EXPECT_EQ(nullptr, PxOpenFile(dir.file("missing.bmp").c_str(), 0, 0));
    EXPECT_EQ(nullptr, PxOpenFileReduced(dir.file("missing.jpg").c_str(), 1, 1));
    EXPECT_EQ(nullptr, PxLoadBmpFileThumbnail(NULL, 0, 0));
    const Bytes bmp = MakeBmp(5, 3, 24, false, kColours, Pattern(16));
    auto with = [&](size_t at, BYTE v) {
        Bytes b = bmp;
        b[at] = v;
        return b;
    };
    // JPEG damage the reduction meets is left to the full decoder, which refuses it too: no
    // tables (the file ends after its frame header), a scan naming a table never defined, a
    // Huffman table with too many codes.
    const Bytes dc = Dht(0x00, {1}), ac = Dht(0x10, {1});
    const Bytes frameOnly = GreyJpeg(8, 8, 0, {});
    // A table no scan uses of `of15` codes of 15 bits and 255 of 16.
    auto spare = [&](BYTE of15) {
        std::vector<BYTE> counts(14, 0);
        counts.insert(counts.end(), {of15, 255});
        return GreyJpeg(8, 8, 8, {dc, ac, Dht(0x02, counts)});
    };
    const struct {
        const char *what;
        Bytes file;
    } kBad[] = {
        {"empty", {}},
        {"junk", Bytes(300, 0x5A)},
        {"BMP, last row short", Bytes(bmp.begin(), bmp.end() - 10)},
        {"BMP, BI_RLE8", with(14 + 16, 1)},
        {"BMP, 16-bit pixels", with(14 + 14, 16)},
        {"BMP, a width the pixels cannot hold", with(14 + 4 + 3, 0x7F)},
        {"GIF cut in its first image", {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, 0x2C, 0, 0}},
        {"PNG cut in its header", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}},
        {"JPEG, no tables", Bytes(frameOnly.begin(), frameOnly.begin() + 2 + 69 + 13)},  // SOI, DQT, SOF
        {"JPEG, DC and AC tables never defined", GreyJpeg(8, 8, 8, {dc, ac}, 0x33)},
        {"JPEG, a DC table never defined", GreyJpeg(8, 8, 8, {dc, ac}, 0x30)},
        {"JPEG, an AC table never defined", GreyJpeg(8, 8, 8, {dc, ac}, 0x03)},
        {"JPEG, three codes of one bit", GreyJpeg(8, 8, 8, {Dht(0x00, {3}), ac})},
        // Its lookup would be filled far past its end.
        {"JPEG, 162 AC codes of one bit", GreyJpeg(8, 8, 8, {dc, Dht(0x10, {162})})},
        // The full decoder would take these, write past the end of its table and go on.
        {"JPEG, 257 codes in a table no scan uses", spare(2)},
    };
    for (const auto &c : kBad) {
        std::string path = Put("bad.bin", c.file);
        EXPECT_EQ(nullptr, PxOpenFile(path.c_str(), 0, 0)) << c.what;
        EXPECT_EQ(nullptr, PxOpenFileReduced(path.c_str(), 1, 1)) << c.what << " (reduced)";
    }
    // The same JPEG files undamaged are read, 256 codes in a table no scan uses too.
    for (const Bytes &good : {GreyJpeg(8, 8, 8), spare(1)}) {
        std::string path = Put("good.jpg", good);
        EXPECT_NE(nullptr, Dib(PxOpenFile(path.c_str(), 0, 0)).get());
        EXPECT_NE(nullptr, Dib(PxOpenFileReduced(path.c_str(), 1, 1)).get());
    }

    // No bitmap, and a block that is no DIB: a header claiming more rows than it holds.
    HGLOBAL junk = BaseMemAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    ASSERT_NE(nullptr, junk);
    *static_cast<BITMAPINFOHEADER *>(BaseMemLock(junk)) = testkit::InfoHeader(4, 100, 24);
    BaseMemUnlock(junk);
    for (HGLOBAL none : {HGLOBAL(0), junk}) {
        int w = 7, h = 7;
        EXPECT_FALSE(PxDibGetSize(none, &w, &h));
        EXPECT_EQ(0, PxDibGetType(none));
        EXPECT_EQ(nullptr, PxDibDuplicate(none));
        EXPECT_EQ(nullptr, PxDibResample(none, 2, 2));
        EXPECT_EQ(nullptr, PxDibResampleHQ(none, 2, 2));
        EXPECT_EQ(nullptr, PxDibCrop(none, 0, 0, 2, 2));
        for (auto convert : {PxDibConvert1BitToTrueColor, PxDibConvert4BitToTrueColor, PxDibConvert8BitToTrueColor})
            EXPECT_EQ(nullptr, convert(none));
    }
    BaseMemFree(junk);
}

/* An RGB PNG declaring w x h with `idat` bytes of image data. */
Bytes DeclaringPng(uint32_t w, uint32_t h, size_t idat)
{
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char *type, const Bytes &body) {
        testkit::PutBE(b, uint32_t(body.size()), 4);
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), body.begin(), body.end());
        b.insert(b.end(), 4, 0);  // the CRC is not what is weighed
    };
    chunk("IHDR", {BYTE(w >> 24), BYTE(w >> 16), BYTE(w >> 8), BYTE(w), BYTE(h >> 24), BYTE(h >> 16), BYTE(h >> 8),
                   BYTE(h), 8, 2, 0, 0, 0});
    chunk("IDAT", Bytes(idat, 0x78));
    chunk("IEND", {});
    return b;
}

TEST_F(PixKit, DeclaredSizesAreWeighedAgainstTheirData)
{
    const struct {
        const char *what;
        Bytes file;
        bool refused;
    } kCases[] = {
        {"JPEG: a bit a block", GreyJpeg(8 * 80, 8, 8), false},  // 8 + the EOI: 10 bytes
        {"JPEG: one block more", GreyJpeg(8 * 81, 8, 8), true},
        {"JPEG: 65000 x 65000 in 204 bytes", GreyJpeg(65000, 65000, 64), true},
        {"PNG: 1032 to 1", DeclaringPng(3439, 1, 10), false},  // 1 + 3 x 3439 = 10318 bytes of rows
        {"PNG: a pixel more", DeclaringPng(3440, 1, 10), true},
        {"GIF: 4096 pixels a byte", Gif("GIF89a", 64, 64, {0x44}), false},
        {"GIF: one more", Gif("GIF89a", 4097, 1, {0x44}), true},
    };
    for (const auto &c : kCases) {
        std::string path = Put("declaring.bin", c.file);
        for (int reduced : {0, 1}) {
            SetLastError(0);
            HGLOBAL h = reduced ? PxOpenFileReduced(path.c_str(), 8, 8) : PxOpenFile(path.c_str(), 0, 0);
            DWORD err = GetLastError();
            Dib freed(h);
            EXPECT_EQ(c.refused, err == DWORD(PX_ERROR_UNBACKED_SIZE)) << c.what << (reduced ? " (reduced)" : "");
            EXPECT_TRUE(!c.refused || !h) << c.what << ": refused, yet a bitmap";
        }
    }
}

}  // namespace
