/*
 * Drawing DIBs on device contexts: tiles, bars, the file icon DIB, the screen DIB section and
 * the key state, read back from a top-down 32-bit DIB section.
 */
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "basemem.h"
#include "dib.h"
#include "gif_bytes.h"
#include "picture_files.h"
#include "testkit.h"

namespace {

const uint32_t kUntouched = 0x123456;

/* A packed 24-bit DIB in memory, pixel (x, y from the top) = colour(x, y) as 0x00RRGGBB. */
std::vector<BYTE> MakeDib24(int w, int h, uint32_t (*colour)(int x, int y))
{
    std::vector<int> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back(int(colour(x, y)));
    testkit::DibView d(giftest::MakeDib(w, h, 24, 0, px), true);
    return std::vector<BYTE>(d.p, d.p + BaseMemSize(d.h));
}

uint32_t Pattern(int x, int y) { return uint32_t(0x40 + x) << 16 | uint32_t(0x80 + y) << 8 | 0x20; }

/* A memory DC holding a top-down 32-bit DIB section filled with kUntouched. */
struct Canvas {
    int w, h;
    HDC dc = NULL;
    HBITMAP bm = NULL;
    HGDIOBJ old = NULL;
    uint32_t *bits = nullptr;
    Canvas(int width, int height) : w(width), h(height)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader = testkit::InfoHeader(w, -h, 32);
        void *p = nullptr;
        dc = CreateCompatibleDC(NULL);
        bm = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0);
        bits = static_cast<uint32_t *>(p);
        if (bits) {
            for (int i = 0; i < w * h; ++i)
                bits[i] = kUntouched;
        }
        old = SelectObject(dc, bm);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) const { return bits[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFF; }
};

/* Every pixel of the canvas against want(x, y). */
void ExpectCanvas(const Canvas &c, uint32_t (*want)(int x, int y))
{
    ASSERT_TRUE(c.bits);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            ASSERT_EQ(want(x, y), c.At(x, y)) << x << "," << y;
}

TEST(TileDib, ModesCutTilesAndClip)
{
    std::vector<BYTE> tile = MakeDib24(10, 10, Pattern);
    static const RECT clip = {12, 3, 15, 4};
    struct Case {
        const char *what;
        RECT r;
        const RECT *clip;
        int mode;  // -1: mode 0 with a step
        uint32_t (*want)(int x, int y);  // on a 50 x 50 canvas
    } cases[] = {
        // Tiles of 10 from the rectangle's corner, cut at its right and bottom edges.
        {"mode 1: the first row only", {0, 0, 25, 25}, nullptr, 1,
         [](int x, int y) { return x < 25 && y < 10 ? Pattern(x % 10, y) : kUntouched; }},
        {"mode 2: the first column only", {0, 0, 25, 25}, nullptr, 2,
         [](int x, int y) { return x < 10 && y < 25 ? Pattern(x, y % 10) : kUntouched; }},
        {"any other mode: the whole rectangle", {0, 0, 25, 25}, nullptr, 0,
         [](int x, int y) { return x < 25 && y < 25 ? Pattern(x % 10, y % 10) : kUntouched; }},
        {"a tile cut at the bottom shows the bitmap's top", {1, 2, 11, 6}, nullptr, 0,
         [](int x, int y) { return x >= 1 && x < 11 && y >= 2 && y < 6 ? Pattern(x - 1, y - 2) : kUntouched; }},
        {"only tiles that meet the clip, drawn whole", {0, 0, 30, 10}, &clip, 1,
         [](int x, int y) { return x >= 10 && x < 20 && y < 10 ? Pattern(x - 10, y) : kUntouched; }},
        {"a step: a tile every 40, the last ones cut", {0, 0, 45, 45}, nullptr, -1,
         [](int x, int y) {
             return x < 45 && y < 45 && x % 40 < 10 && y % 40 < 10 ? Pattern(x % 40, y % 40) : kUntouched;
         }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Canvas c(50, 50);
        EXPECT_EQ(1, TileDib(c.dc, tile.data(), &k.r, k.mode < 0, k.clip, k.mode < 0 ? 0 : k.mode));
        ExpectCanvas(c, k.want);
    }
}

TEST(TileDib, EmptyRectanglesAndNullArgumentsFail)
{
    std::vector<BYTE> tile = MakeDib24(10, 10, Pattern);
    Canvas c(10, 10);
    RECT empty = {5, 5, 5, 9}, inverted = {5, 5, 2, 9};
    EXPECT_EQ(0, TileDib(c.dc, tile.data(), &empty, 0, NULL, 0));
    EXPECT_EQ(0, TileDib(c.dc, tile.data(), &inverted, 0, NULL, 0));
    EXPECT_EQ(kUntouched, c.At(5, 5));

    testkit::AssertCapture cap;
    RECT r = {0, 0, 10, 10};
    EXPECT_EQ(0, TileDib(c.dc, NULL, &r, 0, NULL, 0));
    EXPECT_TRUE(cap.Saw("pDibData"));
    EXPECT_EQ(0, TileDib(c.dc, tile.data(), NULL, 0, NULL, 0));
    EXPECT_TRUE(cap.Saw("pRect"));
    EXPECT_EQ(0, TileDib(NULL, tile.data(), &r, 0, NULL, 0));
    EXPECT_TRUE(cap.Saw("hDC"));
    EXPECT_EQ(kUntouched, c.At(0, 0));

    // A header that is not a 40-byte, bottom-up, uncompressed 1/4/8/24-bit one is not drawn.
    std::vector<BYTE> bad = tile;
    bad[14] = 7;  // biBitCount
    EXPECT_EQ(0, TileDib(c.dc, bad.data(), &r, 0, NULL, 0));
    EXPECT_EQ(kUntouched, c.At(0, 0));
}

uint32_t Head(int x, int y) { return 0xF00000 | uint32_t(x) << 8 | uint32_t(y); }
uint32_t Middle(int x, int y) { return 0x00F000 | uint32_t(x) << 16 | uint32_t(y); }
uint32_t Tail(int x, int y) { return 0x0000F0 | uint32_t(x) << 16 | uint32_t(y) << 8; }

TEST(DrawDibBar, PiecesAlongTheBar)
{
    // Horizontal pieces 4 high, vertical ones 4 wide, on a bar one pixel larger across: the
    // pieces are drawn on the first row (column) of tiles only.
    std::vector<BYTE> hh = MakeDib24(3, 4, Head), hm = MakeDib24(4, 4, Middle), ht = MakeDib24(2, 4, Tail);
    std::vector<BYTE> vh = MakeDib24(4, 2, Head), vm = MakeDib24(4, 3, Middle), vt = MakeDib24(4, 5, Tail);
    static const RECT tailOnly = {0, 15, 5, 16};
    struct Case {
        const char *what;
        const BYTE *head, *middle, *tail;
        bool horizontal;
        const RECT *clip;
        uint32_t (*want)(int x, int y);  // on a 24 x 20 canvas
    } cases[] = {
        {"horizontal: head, tiled middle, tail", hh.data(), hm.data(), ht.data(), true, nullptr, [](int x, int y) {
             return y < 1 || y >= 5 || x < 1 || x >= 21 ? kUntouched
                    : x < 4                              ? Head(x - 1, y - 1)
                    : x < 19                             ? Middle((x - 4) % 4, y - 1)
                                                         : Tail(x - 19, y - 1);
         }},
        {"without a head the middle starts at the bar's edge", nullptr, hm.data(), ht.data(), true, nullptr,
         [](int x, int y) {
             return y < 1 || y >= 5 || x < 1 || x >= 21 ? kUntouched
                    : x < 19 ? Middle((x - 1) % 4, y - 1) : Tail(x - 19, y - 1);
         }},
        {"without a middle its span stays empty", hh.data(), nullptr, ht.data(), true, nullptr, [](int x, int y) {
             return y < 1 || y >= 5 || x < 1 || x >= 21 ? kUntouched
                    : x < 4 ? Head(x - 1, y - 1) : x < 19 ? kUntouched : Tail(x - 19, y - 1);
         }},
        {"vertical", vh.data(), vm.data(), vt.data(), false, nullptr, [](int x, int y) {
             return x >= 4 || y < 1 || y >= 18 ? kUntouched
                    : y < 3                     ? Head(x, y - 1)
                    : y < 13                    ? Middle(x, (y - 3) % 3)
                                                : Tail(x, y - 13);
         }},
        {"a clip over the tail leaves head and middle undrawn", vh.data(), vm.data(), vt.data(), false, &tailOnly,
         [](int x, int y) { return x >= 4 || y < 13 || y >= 18 ? kUntouched : Tail(x, y - 13); }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Canvas c(24, 20);
        if (k.horizontal)
            DrawDibBar(c.dc, k.head, k.middle, k.tail, 1, 1, 21, 6, 1, k.clip);
        else
            DrawDibBar(c.dc, k.head, k.middle, k.tail, 0, 1, 5, 18, 0, k.clip);
        ExpectCanvas(c, k.want);
    }
}

TEST(DrawDibBar, HandlesAreLockedForTheCallOnly)
{
    std::vector<BYTE> head = MakeDib24(3, 4, Head), middle = MakeDib24(4, 4, Middle), tail = MakeDib24(2, 4, Tail);
    auto toGlobal = [](const std::vector<BYTE> &d) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, d.size());
        memcpy(GlobalLock(h), d.data(), d.size());
        GlobalUnlock(h);
        return h;
    };
    HGLOBAL hh = toGlobal(head), hm = toGlobal(middle), ht = toGlobal(tail);
    Canvas c(12, 4);
    DrawDibBarHandles(c.dc, hh, hm, ht, 0, 0, 12, 4, 1, NULL);
    EXPECT_EQ(Head(2, 3), c.At(2, 3));
    EXPECT_EQ(Middle(0, 3), c.At(7, 3));
    EXPECT_EQ(Tail(1, 3), c.At(11, 3));
    // Every lock was given back: a further unlock finds the block not locked.
    for (HGLOBAL h : {hh, hm, ht}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(GlobalUnlock(h));
        EXPECT_EQ(DWORD(ERROR_NOT_LOCKED), GetLastError());
        GlobalFree(h);
    }
    // A missing handle is a missing piece.
    Canvas d(12, 4);
    DrawDibBarHandles(d.dc, 0, 0, 0, 0, 0, 12, 4, 1, NULL);
    EXPECT_EQ(kUntouched, d.At(0, 0));
}

TEST(GetFileIconDib, ThirtyTwoSquareTrueColourOnTheButtonFace)
{
    testkit::TempDir dir;
    std::string file = dir.file("note.txt");
    ASSERT_TRUE(testkit::WriteFileText(file, "hello"));
    testkit::DibView icon(GetFileIconDib(file.c_str()), true);
    ASSERT_TRUE(icon.p);
    const BITMAPINFOHEADER *bih = icon.bih();
    EXPECT_EQ(40u, bih->biSize);
    EXPECT_EQ(32, bih->biWidth);
    EXPECT_EQ(32, bih->biHeight);
    EXPECT_EQ(24, bih->biBitCount);
    ASSERT_GE(BaseMemSize(icon.h), SIZE_T(40 + 4 * bih->biClrUsed + 96 * 32));
    // Part of the square shows the button face around the icon, part the icon itself.
    DWORD face = GetSysColor(COLOR_BTNFACE);
    uint32_t faceRgb = (face & 0xFF) << 16 | (face & 0xFF00) | ((face >> 16) & 0xFF);
    const BYTE *px = icon.p + 40 + 4 * bih->biClrUsed;
    int faceCount = 0;
    for (int i = 0; i < 32 * 32; ++i) {
        uint32_t c = uint32_t(px[3 * i + 2]) << 16 | uint32_t(px[3 * i + 1]) << 8 | px[3 * i];
        faceCount += c == faceRgb;
    }
    EXPECT_GT(faceCount, 0);
    EXPECT_LT(faceCount, 32 * 32);

    EXPECT_EQ(HGLOBAL(0), GetFileIconDib(dir.file("missing.txt").c_str()));
    EXPECT_EQ(HGLOBAL(0), GetFileIconDib(NULL));
}

TEST(CreateScreenDibSection, AsLargeAsTheScreen)
{
    HDC screen = GetDC(NULL);
    ASSERT_TRUE(screen);
    int w = GetDeviceCaps(screen, HORZRES), h = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(NULL, screen);
    HBITMAP bm = CreateScreenDibSection();
    ASSERT_TRUE(bm);
    BITMAP info;
    ASSERT_EQ(int(sizeof info), GetObjectA(bm, sizeof info, &info));
    EXPECT_EQ(w, info.bmWidth);
    EXPECT_EQ(h, info.bmHeight);
    EXPECT_EQ(24, info.bmBitsPixel);
    EXPECT_EQ(LONG((w * 24 + 31) / 32 * 4), info.bmWidthBytes);
    EXPECT_TRUE(info.bmBits != NULL);
    EXPECT_TRUE(DeleteObject(bm));
}

TEST(IsKeyDown, FollowsTheKeyboardState)
{
    BYTE saved[256], keys[256];
    ASSERT_TRUE(GetKeyboardState(saved));
    memset(keys, 0, sizeof keys);
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_EQ(0, IsKeyDown(VK_SHIFT));
    keys[VK_SHIFT] = 0x80;
    keys[VK_CAPITAL] = 0x01;  // toggled, not down
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_EQ(1, IsKeyDown(VK_SHIFT));
    EXPECT_EQ(0, IsKeyDown(VK_CAPITAL));
    EXPECT_EQ(0, IsKeyDown(VK_CONTROL));
    SetKeyboardState(saved);
}

}  // namespace
