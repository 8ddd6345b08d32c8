/*
 * Device contexts, DIB sections and drawing, probed the way conformance tests probe: error
 * codes after SetLastError(0xdeadbeef), edges, bottom-up against top-down layouts.
 */
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "picture_files.h"
#include "testkit.h"

namespace {

BITMAPINFO Header(int w, int h, int bits)
{
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader = testkit::InfoHeader(w, h, bits);
    return bi;
}

/* A memory DC with a 32-bit DIB section of w x h (top-down when h < 0) selected. */
struct Surface {
    HDC dc;
    HBITMAP bm;
    HGDIOBJ old;
    BYTE *bits = nullptr;
    Surface(int w, int h, BYTE fill = 0xCC)
    {
        BITMAPINFO bi = Header(w, h, 32);
        void *p = nullptr;
        dc = CreateCompatibleDC(NULL);
        bm = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0);
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
};

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
    // Bottom-up: line 0 of the picture is the last row in memory.
    BITMAPINFO bi = Header(3, 2, 24);
    HDC dc = CreateCompatibleDC(NULL);
    void *p = (void *)1;
    HBITMAP up = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0);
    ASSERT_TRUE(up);
    ASSERT_TRUE(p);
    BYTE *bits = static_cast<BYTE *>(p);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(0, bits[i]) << "a new section is zero-filled";
    BITMAP bm;
    ASSERT_EQ(int(sizeof bm), GetObjectA(up, sizeof bm, &bm));
    EXPECT_EQ(3, bm.bmWidth);
    EXPECT_EQ(2, bm.bmHeight);
    EXPECT_EQ(12, bm.bmWidthBytes);
    EXPECT_EQ(24, bm.bmBitsPixel);
    EXPECT_EQ(p, bm.bmBits);
    HGDIOBJ old = SelectObject(dc, up);
    ASSERT_TRUE(old);
    EXPECT_EQ(DWORD(OBJ_BITMAP), GetObjectType(old));
    EXPECT_EQ(RGB(1, 2, 3), SetPixel(dc, 0, 0, RGB(1, 2, 3)));
    EXPECT_EQ(3, bits[12]);
    EXPECT_EQ(2, bits[13]);
    EXPECT_EQ(1, bits[14]);
    bits[3] = 0x30;  // picture (1, 1), blue
    EXPECT_EQ(RGB(0, 0, 0x30), GetPixel(dc, 1, 1));
    SelectObject(dc, old);
    DeleteObject(up);

    // Top-down: line 0 first.
    bi = Header(3, -2, 24);
    HBITMAP down = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0);
    ASSERT_TRUE(down);
    bits = static_cast<BYTE *>(p);
    old = SelectObject(dc, down);
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(3, bits[0]);
    EXPECT_EQ(1, bits[2]);
    EXPECT_EQ(0, bits[14]);
    SelectObject(dc, old);
    DeleteObject(down);

    // An 8-bit section draws through its own colour table.
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD q[2];
    } pal = {Header(4, 1, 8).bmiHeader, {{0, 0, 0, 0}, {0x10, 0x20, 0x30, 0}}};
    pal.h.biClrUsed = 2;
    HBITMAP eight = CreateDIBSection(dc, (BITMAPINFO *)&pal, DIB_RGB_COLORS, &p, NULL, 0);
    ASSERT_TRUE(eight);
    old = SelectObject(dc, eight);
    static_cast<BYTE *>(p)[2] = 1;
    EXPECT_EQ(RGB(0x30, 0x20, 0x10), GetPixel(dc, 2, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 1, 0));
    SelectObject(dc, old);
    DeleteObject(eight);

    // Bad headers.
    bi = Header(3, 2, 7);
    p = (void *)1;
    EXPECT_EQ(HBITMAP(NULL), CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0));
    EXPECT_EQ(nullptr, p);
    bi = Header(0, 2, 24);
    EXPECT_EQ(HBITMAP(NULL), CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0));
    bi = Header(2, 0, 24);
    EXPECT_EQ(HBITMAP(NULL), CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, NULL, 0));
    DeleteDC(dc);
}

TEST(Dc, SelectObjectRules)
{
    BITMAPINFO bi = Header(2, 2, 32);
    void *p;
    HBITMAP bm = CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &p, NULL, 0);
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
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT r = {-5, -5, 2, 2};
    EXPECT_NE(0, FillRect(s.dc, &r, blue));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(s.dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(s.dc, 1, 1));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(s.dc, 2, 1));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(s.dc, 1, 2));
    RECT beyond = {3, 3, 100, 100};
    EXPECT_NE(0, FillRect(s.dc, &beyond, blue));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(s.dc, 3, 3));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(s.dc, 2, 3));
    DeleteObject(blue);

    RECT all = {0, 0, 4, 4};
    EXPECT_NE(0, FillRect(s.dc, &all, (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1)));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(s.dc, 2, 2));
    EXPECT_NE(0, FillRect(s.dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(s.dc, 3, 0));
    FillRect(s.dc, &all, (HBRUSH)GetStockObject(NULL_BRUSH));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(s.dc, 3, 0));

    // Pixels outside the surface.
    EXPECT_EQ(CLR_INVALID, GetPixel(s.dc, 4, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(s.dc, 0, -1));
    // Outside the surface SetPixel draws nothing, yet answers the colour.
    EXPECT_EQ(RGB(1, 1, 1), SetPixel(s.dc, -1, 0, RGB(1, 1, 1)));
    EXPECT_EQ(CLR_INVALID, SetPixel(NULL, 0, 0, RGB(1, 1, 1)));
}

TEST(Dc, SetDIBitsToDeviceClipsAtTheEdges)
{
    // A 3 x 2 bottom-up source; picture line 0 (top) is the second row in memory.
    BITMAPINFO bi = Header(3, 2, 24);
    BYTE src[2][12] = {{0x01, 0, 0, 0x02, 0, 0, 0x03, 0, 0}, {0x11, 0, 0, 0x12, 0, 0, 0x13, 0, 0}};
    Surface s(5, -4);
    ASSERT_TRUE(s.bits);
    EXPECT_EQ(2, SetDIBitsToDevice(s.dc, 1, 1, 3, 2, 0, 0, 0, 2, src, &bi, DIB_RGB_COLORS));
    EXPECT_EQ(RGB(0, 0, 0x11), GetPixel(s.dc, 1, 1));
    EXPECT_EQ(RGB(0, 0, 0x13), GetPixel(s.dc, 3, 1));
    EXPECT_EQ(RGB(0, 0, 0x01), GetPixel(s.dc, 1, 2));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(s.dc, 0, 1));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(s.dc, 4, 1));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(s.dc, 1, 3));

    // Off the top-left corner: only the source's lower-right pixel lands, at (0, 0).
    Surface t(5, -4);
    SetDIBitsToDevice(t.dc, -2, -1, 3, 2, 0, 0, 0, 2, src, &bi, DIB_RGB_COLORS);
    EXPECT_EQ(RGB(0, 0, 0x03), GetPixel(t.dc, 0, 0));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(t.dc, 1, 0));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(t.dc, 0, 1));

    // A source rectangle taken from the bottom: ySrc 1, height 1 is the top line.
    Surface u(5, -4);
    SetDIBitsToDevice(u.dc, 0, 0, 1, 1, 2, 1, 0, 2, src, &bi, DIB_RGB_COLORS);
    EXPECT_EQ(RGB(0, 0, 0x13), GetPixel(u.dc, 0, 0));

    EXPECT_EQ(0, SetDIBitsToDevice(u.dc, 0, 0, 3, 2, 0, 0, 0, 2, NULL, &bi, DIB_RGB_COLORS));
}

TEST(Dc, StretchDIBitsNearestAndMirrored)
{
    BITMAPINFO bi = Header(2, 1, 32);
    DWORD src[2] = {0x0000AA, 0x0000BB};
    Surface s(4, -1);
    ASSERT_TRUE(s.bits);
    EXPECT_NE(0, StretchDIBits(s.dc, 0, 0, 4, 1, 0, 0, 2, 1, src, &bi, DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(RGB(0, 0, 0xAA), GetPixel(s.dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0xAA), GetPixel(s.dc, 1, 0));
    EXPECT_EQ(RGB(0, 0, 0xBB), GetPixel(s.dc, 2, 0));
    EXPECT_EQ(RGB(0, 0, 0xBB), GetPixel(s.dc, 3, 0));

    // A negative destination width mirrors; x = 3, width -4 spans [0, 4).
    Surface m(4, -1);
    EXPECT_NE(0, StretchDIBits(m.dc, 3, 0, -4, 1, 0, 0, 2, 1, src, &bi, DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(RGB(0, 0, 0xBB), GetPixel(m.dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0xBB), GetPixel(m.dc, 1, 0));
    EXPECT_EQ(RGB(0, 0, 0xAA), GetPixel(m.dc, 2, 0));
    EXPECT_EQ(RGB(0, 0, 0xAA), GetPixel(m.dc, 3, 0));
    // x = 4 spans [1, 5): the first pixel stays, the last lands outside.
    Surface n(4, -1);
    StretchDIBits(n.dc, 4, 0, -4, 1, 0, 0, 2, 1, src, &bi, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(n.dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0xBB), GetPixel(n.dc, 1, 0));
    EXPECT_EQ(RGB(0, 0, 0xAA), GetPixel(n.dc, 3, 0));
    // Mirrored on both sides cancels out.
    Surface b(4, -1);
    StretchDIBits(b.dc, 3, 0, -4, 1, 1, 0, -2, 1, src, &bi, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0xAA), GetPixel(b.dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0xBB), GetPixel(b.dc, 3, 0));

    // A bottom-up source counts ySrc from its lowest line.
    BITMAPINFO tall = Header(1, 2, 32);
    DWORD column[2] = {0x000011, 0x000022};  // lowest line first
    Surface c(1, -1);
    StretchDIBits(c.dc, 0, 0, 1, 1, 0, 0, 1, 1, column, &tall, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0x11), GetPixel(c.dc, 0, 0));
    StretchDIBits(c.dc, 0, 0, 1, 1, 0, 1, 1, 1, column, &tall, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(RGB(0, 0, 0x22), GetPixel(c.dc, 0, 0));
}

TEST(Dc, BitBltBetweenMemoryDcs)
{
    Surface a(3, -3, 0x00), b(3, -3, 0xCC);
    SetPixel(a.dc, 0, 0, RGB(10, 20, 30));
    SetPixel(a.dc, 2, 2, RGB(40, 50, 60));
    EXPECT_TRUE(BitBlt(b.dc, 1, 1, 3, 3, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(10, 20, 30), GetPixel(b.dc, 1, 1));
    EXPECT_EQ(RGB(0xCC, 0xCC, 0xCC), GetPixel(b.dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(b.dc, 2, 2));
    // Within one surface, the old pixels are read.
    EXPECT_TRUE(BitBlt(a.dc, 1, 1, 2, 2, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(10, 20, 30), GetPixel(a.dc, 1, 1));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(a.dc, 2, 2));
    EXPECT_TRUE(BitBlt(b.dc, 0, 0, 3, 3, NULL, 0, 0, WHITENESS));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(b.dc, 2, 2));
    EXPECT_TRUE(BitBlt(b.dc, 0, 0, 1, 1, NULL, 0, 0, BLACKNESS));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(b.dc, 0, 0));
    EXPECT_FALSE(BitBlt(b.dc, 0, 0, 1, 1, NULL, 0, 0, SRCCOPY));
}

TEST(Dc, ShellIconsDrawAndAreDestroyed)
{
    testkit::TempDir dir;
    std::string file = dir.file("a.dat");
    ASSERT_TRUE(testkit::WriteFileText(file, "x"));
    SHFILEINFOA info;
    memset(&info, 0, sizeof info);
    EXPECT_EQ(DWORD_PTR(0), SHGetFileInfoA(dir.file("none.dat").c_str(), 0, &info, sizeof info, SHGFI_ICON));
    ASSERT_NE(DWORD_PTR(0), SHGetFileInfoA(file.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON));
    ASSERT_TRUE(info.hIcon);
    ICONINFO ii;
    ASSERT_TRUE(GetIconInfo(info.hIcon, &ii));
    BITMAP bm;
    GetObjectA(ii.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), bm.bmWidth);
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);

    // Drawn over a known background, it changes some pixels and keeps others.
    Surface s(32, -32, 0x7F);
    EXPECT_TRUE(DrawIcon(s.dc, 0, 0, info.hIcon));
    int kept = 0;
    for (int i = 0; i < 32 * 32 * 4; i += 4)
        kept += s.bits[i] == 0x7F && s.bits[i + 1] == 0x7F && s.bits[i + 2] == 0x7F;
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 32 * 32);
    EXPECT_TRUE(DestroyIcon(info.hIcon));

    memset(&info, 0, sizeof info);
    ASSERT_NE(DWORD_PTR(0), SHGetFileInfoA(file.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON));
    ASSERT_TRUE(GetIconInfo(info.hIcon, &ii));
    GetObjectA(ii.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), bm.bmWidth);
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);
    EXPECT_TRUE(DestroyIcon(info.hIcon));

    SetLastError(0xdeadbeef);
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

}  // namespace
