/*
 * Device contexts, DIB sections, drawing and GDI bitmap objects (creation, GetObjectA, GetDIBits
 * in every output depth, CreateDIBitmap's choice of depth, handle discipline), probed the way
 * conformance tests probe: error codes after SetLastError(0xdeadbeef), edges, bottom-up against
 * top-down layouts.
 */
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "picture_files.h"
#include "testkit.h"

namespace {

/* A bitmap header with room for a full colour table. */
struct Dib {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
    BITMAPINFO *info() { return reinterpret_cast<BITMAPINFO *>(this); }
};

Dib Header(int width, int height, int bpp)
{
    Dib d = {};
    d.h = testkit::InfoHeader(width, height, bpp);
    return d;
}

/* A memory DC with a 32-bit DIB section of w x h (top-down when h < 0) selected. */
struct Surface {
    HDC dc;
    HBITMAP bm;
    HGDIOBJ old;
    BYTE *bits = nullptr;
    Surface(int w, int h, BYTE fill = 0xCC)
    {
        Dib bi = Header(w, h, 32);
        void *p = nullptr;
        dc = CreateCompatibleDC(NULL);
        bm = CreateDIBSection(dc, bi.info(), DIB_RGB_COLORS, &p, NULL, 0);
        bits = static_cast<BYTE *>(p);
        if (bits)
            memset(bits, fill, size_t(w) * size_t(h < 0 ? -h : h) * 4);
        old = SelectObject(dc, bm);
    }
    ~Surface()
    {
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
    /* The colours of n pixels of line y from x on. */
    std::vector<COLORREF> Row(int x, int y, int n) const
    {
        std::vector<COLORREF> out;
        for (int i = 0; i < n; ++i)
            out.push_back(GetPixel(dc, x + i, y));
        return out;
    }
};

using Colours = std::vector<COLORREF>;
const COLORREF kFill = RGB(0xCC, 0xCC, 0xCC);

TEST(Dc, ScreenDcAnswersTheScreen)
{
    HDC screen = GetDC(NULL);
    ASSERT_TRUE(screen);
    EXPECT_EQ(DWORD(OBJ_DC), GetObjectType(screen));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), GetDeviceCaps(screen, HORZRES));
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), GetDeviceCaps(screen, VERTRES));
    EXPECT_EQ(1, GetDeviceCaps(screen, PLANES));
    EXPECT_GE(GetDeviceCaps(screen, BITSPIXEL), 1);
    EXPECT_GT(GetDeviceCaps(screen, LOGPIXELSX), 0);
    // A memory DC made from it reports the same device.
    HDC mem = CreateCompatibleDC(screen);
    ASSERT_TRUE(mem);
    EXPECT_EQ(DWORD(OBJ_MEMDC), GetObjectType(mem));
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), GetDeviceCaps(mem, HORZRES));
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), GetDeviceCaps(mem, BITSPIXEL));
    EXPECT_TRUE(DeleteDC(mem));
    EXPECT_EQ(1, ReleaseDC(NULL, screen));

    HDC display = CreateDCA("DISPLAY", NULL, NULL, NULL);
    ASSERT_TRUE(display);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), GetDeviceCaps(display, HORZRES));
    EXPECT_TRUE(DeleteDC(display));

    EXPECT_EQ(0, GetDeviceCaps(NULL, HORZRES));
}

TEST(Dc, DibSectionLayouts)
{
    // Bottom-up, line 0 of the picture is the last row in memory; top-down, the first.
    HDC dc = CreateCompatibleDC(NULL);
    void *p;
    for (int height : {2, -2}) {
        SCOPED_TRACE(height);
        Dib bi = Header(3, height, 24);
        p = (void *)1;
        HBITMAP bm = CreateDIBSection(dc, bi.info(), DIB_RGB_COLORS, &p, NULL, 0);
        ASSERT_TRUE(bm);
        ASSERT_TRUE(p);
        BYTE *bits = static_cast<BYTE *>(p);
        EXPECT_EQ(std::vector<BYTE>(bits, bits + 24), std::vector<BYTE>(24, 0)) << "a new section is zero-filled";
        BITMAP info;
        ASSERT_EQ(int(sizeof info), GetObjectA(bm, sizeof info, &info));
        EXPECT_EQ((std::vector<LONG>{3, 2, 12, 24}),
                  (std::vector<LONG>{info.bmWidth, info.bmHeight, info.bmWidthBytes, info.bmBitsPixel}));
        EXPECT_EQ(p, info.bmBits);
        HGDIOBJ old = SelectObject(dc, bm);
        ASSERT_TRUE(old);
        EXPECT_EQ(DWORD(OBJ_BITMAP), GetObjectType(old));
        EXPECT_EQ(RGB(1, 2, 3), SetPixel(dc, 0, 0, RGB(1, 2, 3)));
        int line0 = height > 0 ? 12 : 0, line1 = 12 - line0;
        EXPECT_EQ((std::vector<BYTE>{3, 2, 1, 0}), std::vector<BYTE>(bits + line0, bits + line0 + 4));
        EXPECT_EQ(0, bits[line1 + 2]);
        bits[line1 + 3] = 0x30;  // picture (1, 1), blue
        EXPECT_EQ(RGB(0, 0, 0x30), GetPixel(dc, 1, 1));
        SelectObject(dc, old);
        DeleteObject(bm);
    }

    // An 8-bit section draws through its own colour table.
    Dib pal = Header(4, 1, 8);
    pal.h.biClrUsed = 2;
    pal.colors[1] = {0x10, 0x20, 0x30, 0};
    HBITMAP eight = CreateDIBSection(dc, pal.info(), DIB_RGB_COLORS, &p, NULL, 0);
    ASSERT_TRUE(eight);
    HGDIOBJ old = SelectObject(dc, eight);
    static_cast<BYTE *>(p)[2] = 1;
    EXPECT_EQ(RGB(0x30, 0x20, 0x10), GetPixel(dc, 2, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 1, 0));
    SelectObject(dc, old);
    DeleteObject(eight);

    for (Dib bad : {Header(3, 2, 7), Header(0, 2, 24), Header(2, 0, 24)}) {
        p = (void *)1;
        EXPECT_EQ(HBITMAP(NULL), CreateDIBSection(dc, bad.info(), DIB_RGB_COLORS, &p, NULL, 0));
        EXPECT_EQ(nullptr, p);
    }
    DeleteDC(dc);
}

TEST(Dc, SelectObjectRules)
{
    Dib bi = Header(2, 2, 32);
    void *p;
    HBITMAP bm = CreateDIBSection(NULL, bi.info(), DIB_RGB_COLORS, &p, NULL, 0);
    ASSERT_TRUE(bm);
    HDC a = CreateCompatibleDC(NULL), b = CreateCompatibleDC(NULL);
    HGDIOBJ oldA = SelectObject(a, bm);
    ASSERT_TRUE(oldA);
    // A bitmap lives in one DC at a time.
    EXPECT_EQ(HGDIOBJ(NULL), SelectObject(b, bm));
    // The screen DC takes no bitmap.
    HDC screen = GetDC(NULL);
    EXPECT_EQ(HGDIOBJ(NULL), SelectObject(screen, bm));
    ReleaseDC(NULL, screen);
    // Brushes: the default is the white stock brush.
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), SelectObject(a, red));
    EXPECT_EQ(HGDIOBJ(red), SelectObject(a, GetStockObject(WHITE_BRUSH)));
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_EQ(DWORD(OBJ_BRUSH), GetObjectType(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(HGDIOBJ(bm), SelectObject(a, oldA));
    // Given back, it can go elsewhere.
    HGDIOBJ oldB = SelectObject(b, bm);
    EXPECT_TRUE(oldB);
    SelectObject(b, oldB);
    DeleteDC(a);
    DeleteDC(b);
    EXPECT_TRUE(DeleteObject(bm));
}

TEST(Dc, FillRectClipsAndUsesSystemColours)
{
    Surface s(4, -4);
    ASSERT_TRUE(s.bits);
    const COLORREF blue = RGB(0, 0, 255);
    HBRUSH brush = CreateSolidBrush(blue);
    RECT r = {-5, -5, 2, 2};
    EXPECT_NE(0, FillRect(s.dc, &r, brush));
    EXPECT_EQ(s.Row(0, 1, 3), (Colours{blue, blue, kFill}));
    EXPECT_EQ(kFill, GetPixel(s.dc, 1, 2));
    RECT beyond = {3, 3, 100, 100};
    EXPECT_NE(0, FillRect(s.dc, &beyond, brush));
    EXPECT_EQ(s.Row(2, 3, 2), (Colours{kFill, blue}));
    DeleteObject(brush);

    RECT all = {0, 0, 4, 4};
    EXPECT_NE(0, FillRect(s.dc, &all, (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1)));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(s.dc, 2, 2));
    EXPECT_NE(0, FillRect(s.dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(s.dc, 3, 0));
    FillRect(s.dc, &all, (HBRUSH)GetStockObject(NULL_BRUSH));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(s.dc, 3, 0));

    // Pixels outside the surface; there SetPixel draws nothing, yet answers the colour.
    EXPECT_EQ(s.Row(3, 0, 2), (Colours{RGB(0, 0, 0), CLR_INVALID}));
    EXPECT_EQ(CLR_INVALID, GetPixel(s.dc, 0, -1));
    EXPECT_EQ(RGB(1, 1, 1), SetPixel(s.dc, -1, 0, RGB(1, 1, 1)));
    EXPECT_EQ(CLR_INVALID, SetPixel(NULL, 0, 0, RGB(1, 1, 1)));
}

TEST(Dc, SetDIBitsToDeviceClipsAtTheEdges)
{
    // A 3 x 2 bottom-up source; picture line 0 (top) is the second row in memory.
    Dib bi = Header(3, 2, 24);
    BYTE src[2][12] = {{0x01, 0, 0, 0x02, 0, 0, 0x03, 0, 0}, {0x11, 0, 0, 0x12, 0, 0, 0x13, 0, 0}};
    Surface s(5, -4);
    ASSERT_TRUE(s.bits);
    EXPECT_EQ(2, SetDIBitsToDevice(s.dc, 1, 1, 3, 2, 0, 0, 0, 2, src, bi.info(), DIB_RGB_COLORS));
    EXPECT_EQ(s.Row(0, 1, 5), (Colours{kFill, RGB(0, 0, 0x11), RGB(0, 0, 0x12), RGB(0, 0, 0x13), kFill}));
    EXPECT_EQ(s.Row(0, 2, 5), (Colours{kFill, RGB(0, 0, 0x01), RGB(0, 0, 0x02), RGB(0, 0, 0x03), kFill}));
    EXPECT_EQ(s.Row(0, 3, 2), (Colours{kFill, kFill}));

    // Off the top-left corner: only the source's lower-right pixel lands, at (0, 0).
    Surface t(5, -4);
    SetDIBitsToDevice(t.dc, -2, -1, 3, 2, 0, 0, 0, 2, src, bi.info(), DIB_RGB_COLORS);
    EXPECT_EQ(t.Row(0, 0, 2), (Colours{RGB(0, 0, 0x03), kFill}));
    EXPECT_EQ(kFill, GetPixel(t.dc, 0, 1));

    // A source rectangle taken from the bottom: ySrc 1, height 1 is the top line.
    Surface u(5, -4);
    SetDIBitsToDevice(u.dc, 0, 0, 1, 1, 2, 1, 0, 2, src, bi.info(), DIB_RGB_COLORS);
    EXPECT_EQ(RGB(0, 0, 0x13), GetPixel(u.dc, 0, 0));

    EXPECT_EQ(0, SetDIBitsToDevice(u.dc, 0, 0, 3, 2, 0, 0, 0, 2, NULL, bi.info(), DIB_RGB_COLORS));
}

TEST(Dc, StretchDIBitsNearestAndMirrored)
{
    Dib bi = Header(2, 1, 32);
    DWORD src[2] = {0x0000AA, 0x0000BB};
    const COLORREF a = RGB(0, 0, 0xAA), b = RGB(0, 0, 0xBB);
    const struct {
        int x, w, xSrc, wSrc;
        Colours want;
    } rows[] = {
        {0, 4, 0, 2, {a, a, b, b}},
        {3, -4, 0, 2, {b, b, a, a}},          // a negative width mirrors: x 3, width -4 spans [0, 4)
        {4, -4, 0, 2, {kFill, b, b, a}},      // x 4 spans [1, 5): the last pixel lands outside
        {3, -4, 1, -2, {a, a, b, b}},         // mirrored on both sides cancels out
    };
    for (const auto &r : rows) {
        Surface s(4, -1);
        ASSERT_TRUE(s.bits);
        EXPECT_NE(0, StretchDIBits(s.dc, r.x, 0, r.w, 1, r.xSrc, 0, r.wSrc, 1, src, bi.info(), DIB_RGB_COLORS, SRCCOPY));
        EXPECT_EQ(s.Row(0, 0, 4), r.want) << r.x << ", " << r.w << " from " << r.xSrc << ", " << r.wSrc;
    }

    // A bottom-up source counts ySrc from its lowest line.
    Dib tall = Header(1, 2, 32);
    DWORD column[2] = {0x000011, 0x000022};  // lowest line first
    Surface c(1, -1);
    StretchDIBits(c.dc, 0, 0, 1, 1, 0, 0, 1, 1, column, tall.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0x11), GetPixel(c.dc, 0, 0));
    StretchDIBits(c.dc, 0, 0, 1, 1, 0, 1, 1, 1, column, tall.info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0x22), GetPixel(c.dc, 0, 0));
}

TEST(Dc, BitBltBetweenMemoryDcs)
{
    Surface a(3, -3, 0x00), b(3, -3, 0xCC);
    const COLORREF first = RGB(10, 20, 30), black = RGB(0, 0, 0);
    SetPixel(a.dc, 0, 0, first);
    SetPixel(a.dc, 2, 2, RGB(40, 50, 60));
    EXPECT_TRUE(BitBlt(b.dc, 1, 1, 3, 3, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(b.Row(0, 1, 3), (Colours{kFill, first, black}));
    EXPECT_EQ(b.Row(0, 2, 3), (Colours{kFill, black, black}));
    // Within one surface, the old pixels are read.
    EXPECT_TRUE(BitBlt(a.dc, 1, 1, 2, 2, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(a.Row(1, 1, 2), (Colours{first, black}));
    EXPECT_EQ(black, GetPixel(a.dc, 2, 2));
    EXPECT_TRUE(BitBlt(b.dc, 0, 0, 3, 3, NULL, 0, 0, WHITENESS));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(b.dc, 2, 2));
    EXPECT_TRUE(BitBlt(b.dc, 0, 0, 1, 1, NULL, 0, 0, BLACKNESS));
    EXPECT_EQ(black, GetPixel(b.dc, 0, 0));
    EXPECT_FALSE(BitBlt(b.dc, 0, 0, 1, 1, NULL, 0, 0, SRCCOPY));
}

/* (Drawing a file's icon, and a missing file's having none: the file icon picture's test.) */
TEST(Dc, ShellIconsOfBothSizesAreDestroyed)
{
    testkit::TempDir dir;
    std::string file = dir.file("a.dat");
    ASSERT_TRUE(testkit::WriteFileText(file, "x"));
    SHFILEINFOA info;
    for (UINT size : {(UINT)SHGFI_LARGEICON, (UINT)SHGFI_SMALLICON}) {
        memset(&info, 0, sizeof info);
        ASSERT_NE(DWORD_PTR(0), SHGetFileInfoA(file.c_str(), 0, &info, sizeof info, SHGFI_ICON | size));
        ICONINFO ii;
        ASSERT_TRUE(GetIconInfo(info.hIcon, &ii));
        BITMAP bm;
        GetObjectA(ii.hbmMask, sizeof bm, &bm);
        EXPECT_EQ(GetSystemMetrics(size == SHGFI_LARGEICON ? SM_CXICON : SM_CXSMICON), bm.bmWidth);
        DeleteObject(ii.hbmMask);
        if (ii.hbmColor)
            DeleteObject(ii.hbmColor);
        EXPECT_TRUE(DestroyIcon(info.hIcon));
    }
    Surface s(32, -32, 0x7F);
    EXPECT_FALSE(DrawIcon(s.dc, 0, 0, NULL));
}

TEST(Dc, KeyStateFromTheKeyboardState)
{
    BYTE saved[256], keys[256];
    ASSERT_TRUE(GetKeyboardState(saved));
    memset(keys, 0, sizeof keys);
    keys['A'] = 0x81;
    keys[VK_CAPITAL] = 0x01;
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_TRUE(GetKeyState('A') < 0);
    EXPECT_EQ(1, GetKeyState('A') & 1);
    EXPECT_EQ(1, GetKeyState(VK_CAPITAL));
    EXPECT_EQ(0, GetKeyState('B'));
    BYTE back[256];
    ASSERT_TRUE(GetKeyboardState(back));
    EXPECT_EQ(0x81, back['A']);
    SetKeyboardState(saved);
}

/* A 32-bit DDB of 3x2 pixels: top row red, green, blue; bottom row white, black, grey. */
HBITMAP ColourBitmap()
{
    const uint8_t rows[2][12] = {{0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0},
                                 {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0x80, 0x80, 0x80, 0}};
    return CreateBitmap(3, 2, 1, 32, rows);
}

TEST(GdiBitmap, CreateBitmapAndGetObject)
{
    HBITMAP bm = CreateBitmap(13, 5, 1, 1, NULL);
    ASSERT_NE(nullptr, bm);
    EXPECT_EQ((DWORD)OBJ_BITMAP, GetObjectType(bm));
    EXPECT_EQ((int)sizeof(BITMAP), GetObjectA(bm, 0, NULL));
    BITMAP info;
    memset(&info, 0xCC, sizeof info);
    EXPECT_EQ(0, GetObjectA(bm, sizeof info - 1, &info));
    EXPECT_EQ(LONG(0xCCCCCCCC), info.bmWidth);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_FALSE(DeleteObject(bm));
    EXPECT_EQ(0, GetObjectA(bm, sizeof info, &info));

    // Depths round up to the next kept one; rows stay 16-bit aligned.  An empty size gives the
    // stock bitmap, 1 x 1 of 1 bit, which survives its deletion.
    const struct {
        int width, height;
        UINT asked;
        WORD kept;
        LONG widthBytes;
    } depths[] = {{13, 5, 1, 1, 2}, {7, 2, 2, 4, 4},   {7, 2, 4, 4, 4},   {7, 2, 7, 8, 8}, {7, 2, 15, 16, 14},
                  {7, 2, 24, 24, 22}, {7, 2, 32, 32, 28}, {0, 0, 32, 1, 2}, {0, 5, 1, 1, 2}};
    for (const auto &d : depths) {
        SCOPED_TRACE(testing::Message() << d.width << " x " << d.height << " of " << d.asked);
        bm = CreateBitmap(d.width, d.height, 1, d.asked, NULL);
        ASSERT_NE(nullptr, bm);
        ASSERT_EQ((int)sizeof info, GetObjectA(bm, sizeof info, &info));
        EXPECT_EQ((std::vector<LONG>{0, d.width ? d.width : 1, d.width ? d.height : 1, d.widthBytes, 1, d.kept}),
                  (std::vector<LONG>{info.bmType, info.bmWidth, info.bmHeight, info.bmWidthBytes, info.bmPlanes,
                                     info.bmBitsPixel}));
        EXPECT_EQ(nullptr, info.bmBits);
        EXPECT_TRUE(DeleteObject(bm));
        EXPECT_EQ(d.width ? 0u : (DWORD)OBJ_BITMAP, GetObjectType(bm));
    }
    EXPECT_EQ(CreateBitmap(0, 0, 1, 32, NULL), CreateBitmap(0, 5, 1, 1, NULL));
    EXPECT_FAILS_WITH(CreateBitmap(4, 4, 1, 33, NULL), nullptr, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(nullptr, CreateBitmap(4, 4, 2, 8, NULL));
}

TEST(GdiBitmap, GetDIBitsInEveryDepthAndItsRefusals)
{
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bm = ColourBitmap();
    ASSERT_NE(nullptr, bm);

    // Format only: no bits and no depth.
    Dib d = Header(0, 0, 0);
    EXPECT_NE(0, GetDIBits(dc, bm, 0, 0, NULL, d.info(), DIB_RGB_COLORS));
    EXPECT_EQ((std::vector<LONG>{3, 2, 32, 24}),
              (std::vector<LONG>{d.h.biWidth, d.h.biHeight, d.h.biBitCount, (LONG)d.h.biSizeImage}));

    // 24 bits, bottom-up: the bottom row comes first, rows padded to 4 bytes.
    d = Header(3, 2, 24);
    uint8_t px[2 * 12];
    memset(px, 0xCC, sizeof px);
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px, d.info(), DIB_RGB_COLORS));
    const uint8_t want24[] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0,
                              0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(want24, px, sizeof want24));

    // Top-down 32 bits.
    d = Header(3, -2, 32);
    uint32_t px32[6];
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px32, d.info(), DIB_RGB_COLORS));
    const uint32_t want32[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(want32[i], px32[i] & 0xFFFFFF) << i;

    // One scan line from the bottom.
    memset(px, 0xCC, sizeof px);
    d = Header(3, 2, 24);
    ASSERT_EQ(1, GetDIBits(dc, bm, 1, 5, px, d.info(), DIB_RGB_COLORS));
    EXPECT_EQ(0, memcmp(want24 + 12, px, 12));
    EXPECT_EQ(0xCC, px[12]);
    // A start past the last line copies nothing, yet answers 1 (the reference GDI's result),
    // whichever way the rows run.
    for (int hh : {2, -2}) {
        memset(px, 0xCC, sizeof px);
        d = Header(3, hh, 24);
        EXPECT_EQ(1, GetDIBits(dc, bm, 2, 1, px, d.info(), DIB_RGB_COLORS)) << hh;
        EXPECT_EQ(1, GetDIBits(dc, bm, 9, 1, px, d.info(), DIB_RGB_COLORS)) << hh;
        EXPECT_EQ(0xCC, px[0]);
        EXPECT_EQ(0xCC, px[12]);
    }

    // 4 bits: the 16-colour table, each pixel its nearest entry.
    d = Header(3, -2, 4);
    uint8_t px4[8];
    memset(px4, 0xCC, sizeof px4);
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px4, d.info(), DIB_RGB_COLORS));
    auto rgb = [&](int idx) {
        return (uint32_t)d.colors[idx].rgbRed << 16 | (uint32_t)d.colors[idx].rgbGreen << 8 | d.colors[idx].rgbBlue;
    };
    std::vector<uint32_t> got = {rgb(px4[0] >> 4), rgb(px4[0] & 15), rgb(px4[1] >> 4),
                                 rgb(px4[4] >> 4), rgb(px4[4] & 15), rgb(px4[5] >> 4)};
    EXPECT_EQ(got, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080}));

    // 8 bits: black and white are in the default table.
    d = Header(3, -2, 8);
    uint8_t px8[8];
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px8, d.info(), DIB_RGB_COLORS));
    EXPECT_EQ(0xFFFFFFu, rgb(px8[4]));
    EXPECT_EQ(0x000000u, rgb(px8[5]));

    // Refused: a handle that is no bitmap, no header, a depth there is none of, a deleted bitmap.
    d = Header(3, 2, 24);
    EXPECT_EQ(0, GetDIBits(dc, (HBITMAP)dc, 0, 2, px, d.info(), DIB_RGB_COLORS));
    EXPECT_EQ(0, GetDIBits(dc, bm, 0, 2, px, NULL, DIB_RGB_COLORS));
    d.h.biBitCount = 7;
    EXPECT_EQ(0, GetDIBits(dc, bm, 0, 2, px, d.info(), DIB_RGB_COLORS));
    EXPECT_FALSE(DeleteObject(NULL));
    EXPECT_TRUE(DeleteObject(bm));
    d.h.biBitCount = 24;
    EXPECT_EQ(0, GetDIBits(dc, bm, 0, 2, px, d.info(), DIB_RGB_COLORS));
    DeleteDC(dc);
}

TEST(GdiBitmap, MonochromeBitmapsReadAsBlackAndWhite)
{
    HDC dc = CreateCompatibleDC(NULL);
    const uint8_t rows[2][2] = {{0xA0, 0}, {0x40, 0}};  // 1 0 1 / 0 1 0
    HBITMAP bm = CreateBitmap(3, 2, 1, 1, rows);
    Dib d = Header(3, -2, 1);
    uint8_t bits[8];
    memset(bits, 0xCC, sizeof bits);
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, bits, d.info(), DIB_RGB_COLORS));
    EXPECT_EQ(0, d.colors[0].rgbRed | d.colors[0].rgbGreen | d.colors[0].rgbBlue);
    EXPECT_EQ(0xFF, d.colors[1].rgbRed & d.colors[1].rgbGreen & d.colors[1].rgbBlue);
    EXPECT_EQ(0xA0, bits[0] & 0xE0);
    EXPECT_EQ(0x40, bits[4] & 0xE0);
    d = Header(3, -2, 24);
    uint8_t px[2 * 12];
    ASSERT_EQ(2, GetDIBits(dc, bm, 0, 2, px, d.info(), DIB_RGB_COLORS));
    EXPECT_EQ(0xFF, px[0]);
    EXPECT_EQ(0x00, px[3]);
    EXPECT_EQ(0xFF, px[6]);
    EXPECT_EQ(0xFF, px[12 + 3]);
    DeleteObject(bm);
    DeleteDC(dc);
}

TEST(GdiBitmap, CreateDIBitmapTakesTheDepthOfTheDc)
{
    // A 24-bit DIB of 2x1: black, white.
    Dib d = Header(2, 1, 24);
    const uint8_t bits[8] = {0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0};
    HDC dc = CreateCompatibleDC(NULL);
    for (HDC target : {(HDC)NULL, (HDC)dc}) {
        // No DC, or a memory DC holding its first monochrome bitmap: a monochrome bitmap.
        HBITMAP bm = CreateDIBitmap(target, &d.h, CBM_INIT, bits, d.info(), DIB_RGB_COLORS);
        ASSERT_NE(nullptr, bm);
        BITMAP info;
        ASSERT_EQ((int)sizeof info, GetObjectA(bm, sizeof info, &info));
        EXPECT_EQ(1, info.bmBitsPixel);
        EXPECT_EQ(2, info.bmWidth);
        Dib out = Header(2, 1, 24);
        uint8_t px[8];
        ASSERT_EQ(1, GetDIBits(dc, bm, 0, 1, px, out.info(), DIB_RGB_COLORS));
        EXPECT_EQ(0, px[0]);
        EXPECT_EQ(0xFF, px[3]);
        DeleteObject(bm);
    }
    // Without CBM_INIT the bits are not read; an empty size gives the stock bitmap.
    HBITMAP bm = CreateDIBitmap(NULL, &d.h, 0, NULL, NULL, DIB_RGB_COLORS);
    EXPECT_NE(nullptr, bm);
    DeleteObject(bm);
    d.h.biWidth = 0;
    EXPECT_EQ(CreateBitmap(0, 0, 1, 1, NULL), CreateDIBitmap(NULL, &d.h, 0, NULL, NULL, DIB_RGB_COLORS));
    EXPECT_EQ(nullptr, CreateDIBitmap(NULL, NULL, 0, NULL, NULL, DIB_RGB_COLORS));
    DeleteDC(dc);
}

}  // namespace
