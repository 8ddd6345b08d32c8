/*
 * medley ui message | shape | frame | confirm | snapshot: the skinned message box, window
 * shaping, the confirmation dialog and pictures of the dialog and the image view.
 *
 * Both run on Windows' own window system: as medley.exe on Windows, or under Wine on Linux.
 * The native Linux build lists them and says so.
 */
#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "medley.h"

#if defined(_WIN32)
#include "baseui.h"
#include "basefun.h"
#include "confirmdlg.h"
#include "imgview.h"
#include "basemem.h"
#include "pixkit.h"
#include "plugin_host.h"
#include "winshape.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>
#endif

namespace {

const char kWhere[] = "runs on Windows' own window system: use medley.exe (under Wine on Linux)";

struct Style {
    const char *name;
    UINT type;
};
const Style kStyles[] = {{"ok", MB_OK},       {"okcancel", MB_OKCANCEL}, {"yesno", MB_YESNO},
                         {"yesnocancel", MB_YESNOCANCEL}, {"retrycancel", MB_RETRYCANCEL},
                         {"abortretryignore", MB_ABORTRETRYIGNORE}};

#if defined(_WIN32)

const char *AnswerWord(DWORD id)
{
    switch (id) {
    case IDOK:
        return "ok";
    case IDCANCEL:
        return "cancel";
    case IDABORT:
        return "abort";
    case IDRETRY:
        return "retry";
    case IDIGNORE:
        return "ignore";
    case IDYES:
        return "yes";
    case IDNO:
        return "no";
    default:
        return nullptr;
    }
}

void Message(int id, const std::string &style, DWORD timeoutMs, const std::string &module)
{
    UINT type = MB_OK;
    for (const Style &s : kStyles)
        if (style == s.name)
            type = s.type;
    host::PlugInHost h;
    if (!h.Load(module.empty() ? medley::DefaultModule() : module)) {
        medley::Fail(h.error());
        return;
    }
    SetHostFrame(&h.frame());
    if (GetResString(id).empty()) {
        medley::Fail("no string with id " + std::to_string(id));
        return;
    }
    DWORD answer = SkinMessageBoxById(0, type, timeoutMs, id);
    const char *word = AnswerWord(answer);
    if (!word) {
        medley::Fail("the message box could not be shown");
        return;
    }
    printf("%s\n", word);
}

/* The window that shows a shape: a vertical gradient with a frame, so that both the outline
 * and the inside can be seen. */
LRESULT CALLBACK ShapeProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg != WM_PAINT)
        return DefWindowProcA(hWnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hWnd, &ps);
    RECT rc;
    GetClientRect(hWnd, &rc);
    const int h = rc.bottom > 1 ? rc.bottom : 1;
    for (int y = 0; y < rc.bottom; ++y) {
        RECT line = {0, y, rc.right, y + 1};
        HBRUSH b = CreateSolidBrush(RGB(40 + 120 * y / h, 90 + 100 * y / h, 200));
        FillRect(dc, &line, b);
        DeleteObject(b);
    }
    HBRUSH frame = CreateSolidBrush(RGB(20, 30, 60));
    FrameRect(dc, &rc, frame);
    DeleteObject(frame);
    EndPaint(hWnd, &ps);
    return 0;
}

/* Writes the bytes to a temporary file beside `path` and renames it into place. */
bool WriteWhole(const std::string &path, const std::vector<unsigned char> &bytes, std::string *why)
{
    std::string tmp = path + ".tmp" + std::to_string(GetCurrentProcessId());
    HANDLE f = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) {
        *why = "cannot create " + tmp + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DWORD done = 0;
    bool ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &done, NULL) && done == bytes.size();
    DWORD err = GetLastError();
    ok = CloseHandle(f) && ok;
    if (ok && !MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ok = false;
        err = GetLastError();
    }
    if (!ok) {
        DeleteFileA(tmp.c_str());
        *why = "cannot write " + path + " (error " + std::to_string(err) + ")";
    }
    return ok;
}

/* Registers the showing window's class once. */
HINSTANCE ShapeClass()
{
    static bool done = false;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ShapeProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "MedleyShape";
    if (!done)
        done = RegisterClassA(&wc) != 0;
    return wc.hInstance;
}

/* Shows the window, reads what it looks like back through its DC (transparent where its region
 * leaves the rectangle), keeps it up holdMs more, destroys it and writes the PNG. */
void ShowAndWrite(HWND wnd, int w, int h, const std::string &outPath, DWORD holdMs)
{
    ShowWindow(wnd, SW_SHOWNOACTIVATE);
    UpdateWindow(wnd);
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);

    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    bool shaped = GetWindowRgn(wnd, rgn) != ERROR;
    std::vector<unsigned char> rgba((size_t)w * (size_t)h * 4, 0);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC wdc = GetDC(wnd), mdc = CreateCompatibleDC(wdc);
    HBITMAP dib = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = dib ? SelectObject(mdc, dib) : NULL;
    bool read = dib && BitBlt(mdc, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
    GdiFlush();
    long inside = 0;
    for (int y = 0; y < h && read; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *s = (const unsigned char *)bits + ((size_t)y * (size_t)w + (size_t)x) * 4;
            unsigned char *o = &rgba[((size_t)y * (size_t)w + (size_t)x) * 4];
            bool in = !shaped || PtInRegion(rgn, x, y);
            o[0] = s[2], o[1] = s[1], o[2] = s[0], o[3] = in ? 255 : 0;
            inside += in;
        }
    if (old)
        SelectObject(mdc, old);
    if (dib)
        DeleteObject(dib);
    DeleteDC(mdc);
    ReleaseDC(wnd, wdc);
    DeleteObject(rgn);
    if (!read) {
        DestroyWindow(wnd);
        medley::Fail("cannot read the window's pixels back");
        return;
    }
    std::vector<unsigned char> png;
    stbi_write_png_to_func(
        [](void *ctx, void *data, int size) {
            auto *out = (std::vector<unsigned char> *)ctx;
            out->insert(out->end(), (unsigned char *)data, (unsigned char *)data + size);
        },
        &png, w, h, 4, rgba.data(), w * 4);
    std::string why;
    if (png.empty()) {
        DestroyWindow(wnd);
        medley::Fail("cannot encode the PNG");
        return;
    }
    if (!WriteWhole(outPath, png, &why)) {
        DestroyWindow(wnd);
        medley::Fail(why);
        return;
    }
    printf("%s: %d x %d, %ld of %ld pixels inside the window\n", outPath.c_str(), w, h, inside, (long)w * h);
    fflush(stdout);
    // Kept on the screen a while after the PNG is written (for a screenshot), still answering
    // its messages.
    for (DWORD start = GetTickCount(); GetTickCount() - start < holdMs;) {
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        Sleep(20);
    }
    DestroyWindow(wnd);
}

void Shape(const std::string &maskPath, const std::string &outPath)
{
    HGLOBAL mask = PxOpenFile(maskPath.c_str(), 0, 0);
    if (!mask) {
        medley::Fail("cannot read " + maskPath + " as a bitmap");
        return;
    }
    int w = 0, h = 0, type = PxDibGetType(mask);
    PxDibGetSize(mask, &w, &h);
    if (type != PX_TYPE_8BIT && type != PX_TYPE_8BIT_GREY) {
        BaseMemFree(mask);
        medley::Fail(maskPath + " is not an 8-bit mask (palette index 255 marks what stays visible)");
        return;
    }
    if (w > 8192 || h > 8192) {
        BaseMemFree(mask);
        medley::Fail(maskPath + " is larger than 8192 x 8192");
        return;
    }
    HWND wnd = CreateWindowExA(WS_EX_TOOLWINDOW, "MedleyShape", "medley ui shape", WS_POPUP, 0, 0, w, h, NULL, NULL,
                               ShapeClass(), NULL);
    if (!wnd) {
        BaseMemFree(mask);
        medley::Fail("cannot make a window (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    SetWindowMask(wnd, mask);  // takes the mask block
    ShowAndWrite(wnd, w, h, outPath, 0);
}

void Frame(const std::string &outPath, int x, int y, int w, int h, DWORD holdMs)
{
    HWND wnd = CreateWindowExA(WS_EX_TOOLWINDOW, "MedleyShape", "medley ui frame", WS_POPUP, x, y, w, h, NULL, NULL,
                               ShapeClass(), NULL);
    if (!wnd) {
        medley::Fail("cannot make a window (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    SetWindowFrameRgn(wnd, 0, 0, 0, 0);  // the UI folder's default corner masks
    ShowAndWrite(wnd, w, h, outPath, holdMs);
}


/* ---- the confirmation dialog ---- */

/* Loads the module for its strings (the dialog's texts and the font settings). */
bool UseModule(host::PlugInHost &h, const std::string &module)
{
    if (!h.Load(module.empty() ? medley::DefaultModule() : module)) {
        medley::Fail(h.error());
        return false;
    }
    SetHostFrame(&h.frame());
    return true;
}

BOOL CALLBACK FindDialog(HWND w, LPARAM lp)
{
    char cls[32];
    if (GetClassNameA(w, cls, sizeof cls) && strcmp(cls, "SKUIDialogFrame") == 0 && IsWindowVisible(w)) {
        *(HWND *)lp = w;
        return FALSE;
    }
    return TRUE;
}

/* The dialog of this thread that is up (its holding window), or null. */
HWND DialogUp()
{
    HWND found = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&found);
    return found;
}

/* MEDLEY_CONFIRM_PRESS names the control a scripted run clicks (b_OK, b_Cancel, b_Exit), or
 * "close" for the holding window's close. */
std::string g_press;

void CALLBACK PressTick(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND frame = DialogUp();
    if (!frame)
        return;
    KillTimer(NULL, id);
    if (g_press == "close") {
        PostMessageA(frame, WM_CLOSE, 0, 0);
        return;
    }
    HWND screen = FindWindowExA(frame, NULL, "SKUIScreen", NULL);
    HWND ctrl = GUI::CSKUICtrl::FindCtrlWindow(screen, g_press.c_str());
    if (!ctrl || !IsWindowEnabled(ctrl)) {
        // A person could not press it either: the dialog is closed rather than left waiting.
        fprintf(stderr, "medley: the dialog's %s %s; closing it\n", g_press.c_str(),
                ctrl ? "is disabled" : "does not exist");
        PostMessageA(frame, WM_CLOSE, 0, 0);
        return;
    }
    PostMessageA(ctrl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    PostMessageA(ctrl, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

const char *ConfirmWord(INT_PTR r, bool yesno)
{
    switch (r) {
    case SKUI_RESULT_OK:
        return yesno ? "yes" : "ok";
    case SKUI_RESULT_CANCEL:
        return yesno ? "no" : "ok";
    case SKUI_RESULT_CLOSE:
    case 0:
        return "closed";
    default:
        return nullptr;
    }
}

void Confirm(int id, bool yesno, const std::string &module)
{
    host::PlugInHost h;
    if (!UseModule(h, module))
        return;
    if (GetResString((uint32_t)id).empty()) {
        medley::Fail("no string with id " + std::to_string(id));
        return;
    }
    CConfirmDlg dlg;
    if (!dlg.GetUITemplate())
        fprintf(stderr, "medley: warning: the dialog runs without its template: %s\n", dlg.GetUITemplateError());
    dlg.SetMessage(id, yesno ? CONFIRM_STYLE_YESNO : CONFIRM_STYLE_OK);
    const char *press = getenv("MEDLEY_CONFIRM_PRESS");
    g_press = press ? press : "";
    UINT_PTR timer = g_press.empty() ? 0 : SetTimer(NULL, 0, 50, PressTick);
    INT_PTR r = dlg.DoModal(NULL);
    if (timer)
        KillTimer(NULL, timer);
    const char *word = ConfirmWord(r, yesno);
    if (!word) {
        medley::Fail("the dialog could not be shown (Windows error " + std::to_string(GetLastError()) + ")");
        return;
    }
    printf("%s (%d)\n", word, (int)r);
}

/* ---- snapshots ---- */

/* The pixels of window `src` (w x h from its top-left), transparent outside `shapeWnd`'s region
 * (when it has one), as RGBA rows.  False when they cannot be read. */
bool ReadPixels(HWND src, HWND shapeWnd, int w, int h, std::vector<unsigned char> *rgba, long *inside)
{
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    bool shaped = rgn && GetWindowRgn(shapeWnd, rgn) != ERROR;
    rgba->assign((size_t)w * (size_t)h * 4, 0);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC wdc = GetDC(src), mdc = CreateCompatibleDC(wdc);
    HBITMAP dib = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = dib ? SelectObject(mdc, dib) : NULL;
    bool read = dib && BitBlt(mdc, 0, 0, w, h, wdc, 0, 0, SRCCOPY);
    GdiFlush();
    *inside = 0;
    for (int y = 0; y < h && read; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char *s = (const unsigned char *)bits + ((size_t)y * (size_t)w + (size_t)x) * 4;
            unsigned char *o = &(*rgba)[((size_t)y * (size_t)w + (size_t)x) * 4];
            bool in = !shaped || PtInRegion(rgn, x, y);
            o[0] = s[2], o[1] = s[1], o[2] = s[0], o[3] = in ? 255 : 0;
            *inside += in;
        }
    if (old)
        SelectObject(mdc, old);
    if (dib)
        DeleteObject(dib);
    DeleteDC(mdc);
    ReleaseDC(src, wdc);
    if (rgn)
        DeleteObject(rgn);
    return read;
}

/* Encodes RGBA rows as PNG and writes them whole to `path`. */
bool WritePng(const std::string &path, const std::vector<unsigned char> &rgba, int w, int h, std::string *why)
{
    std::vector<unsigned char> png;
    stbi_write_png_to_func(
        [](void *ctx, void *data, int size) {
            auto *out = (std::vector<unsigned char> *)ctx;
            out->insert(out->end(), (unsigned char *)data, (unsigned char *)data + size);
        },
        &png, w, h, 4, rgba.data(), w * 4);
    if (png.empty()) {
        *why = "cannot encode the PNG";
        return false;
    }
    return WriteWhole(path, png, why);
}

struct Snap {
    CConfirmDlg *dlg;
    std::string out, why;
    bool written = false;
    long inside = 0;
    int w = 0, h = 0;
};
Snap *g_snap;

void CALLBACK SnapTick(HWND, UINT, UINT_PTR id, DWORD)
{
    Snap &s = *g_snap;
    HWND frame = s.dlg->GetFrameHwnd();
    if (!frame || !IsWindowVisible(frame))
        return;
    KillTimer(NULL, id);
    UpdateWindow(frame);
    RECT rc;
    GetWindowRect(frame, &rc);
    s.w = rc.right - rc.left;
    s.h = rc.bottom - rc.top;
    std::vector<unsigned char> rgba;
    if (!ReadPixels(s.dlg->GetSafeHwnd(), frame, s.w, s.h, &rgba, &s.inside))
        s.why = "cannot read the dialog's pixels back";
    else
        s.written = WritePng(s.out, rgba, s.w, s.h, &s.why);
    s.dlg->CloseDialog();
}

void SnapshotConfirm(bool yesno, int id, const std::string &out, const std::string &module)
{
    host::PlugInHost h;
    if (!UseModule(h, module))
        return;
    if (GetResString((uint32_t)id).empty()) {
        medley::Fail("no string with id " + std::to_string(id));
        return;
    }
    CConfirmDlg dlg;
    if (!dlg.GetUITemplate())
        fprintf(stderr, "medley: warning: the dialog runs without its template: %s\n", dlg.GetUITemplateError());
    dlg.SetMessage(id, yesno ? CONFIRM_STYLE_YESNO : CONFIRM_STYLE_OK);
    Snap s;
    s.dlg = &dlg;
    s.out = out;
    g_snap = &s;
    UINT_PTR timer = SetTimer(NULL, 0, 30, SnapTick);
    INT_PTR r = dlg.DoModal(NULL);
    KillTimer(NULL, timer);
    g_snap = nullptr;
    if (r == -1) {
        medley::Fail("the dialog could not be shown (Windows error " + std::to_string(GetLastError()) + ")");
        return;
    }
    if (!s.written) {
        medley::Fail(s.why.empty() ? "the dialog ended before it was shown" : s.why);
        return;
    }
    printf("%s: %d x %d, %ld of %ld pixels inside the dialog (%s style, string %d)\n", out.c_str(), s.w, s.h,
           s.inside, (long)s.w * s.h, yesno ? "Yes/No" : "OK", id);
}

/* A picture for the view when none is named: a 64 x 48 24-bit DIB, a colour ramp with a
 * white frame. */
HGLOBAL RampPicture()
{
    const int w = 64, h = 48, stride = (w * 3 + 3) & ~3;
    HGLOBAL m = BaseMemAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + (DWORD)(stride * h));
    BYTE *p = m ? (BYTE *)BaseMemLock(m) : nullptr;
    if (!p)
        return m;
    BITMAPINFOHEADER bih = {};
    bih.biSize = 40;
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    memcpy(p, &bih, 40);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE *px = p + 40 + y * stride + x * 3;
            const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            px[0] = edge ? 255 : (BYTE)(255 * y / h);   // blue grows upward (rows are bottom-up)
            px[1] = edge ? 255 : (BYTE)(255 * x / w);   // green grows to the right
            px[2] = edge ? 255 : 180;
        }
    BaseMemUnlock(m);
    return m;
}

void SnapshotView(const std::string &out, const std::string &image)
{
    HGLOBAL pic = image.empty() ? RampPicture() : PxOpenFile(image.c_str(), 0, 0);
    if (!pic) {
        medley::Fail(image.empty() ? std::string("cannot make the picture") : "cannot read " + image + " as a picture");
        return;
    }
    const int W = 240, H = 180;
    HWND parent = CreateWindowExA(WS_EX_TOOLWINDOW, "MedleyShape", "medley ui snapshot view", WS_POPUP, 0, 0, W, H,
                                  NULL, NULL, ShapeClass(), NULL);
    if (!parent) {
        BaseMemFree(pic);
        medley::Fail("cannot make a window (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    ShowWindow(parent, SW_SHOWNOACTIVATE);
    UpdateWindow(parent);
    long inside = 0;
    std::vector<unsigned char> rgba;
    bool read;
    {
        CImgView view;
        RECT rc = {40, 30, 200, 150};
        if (!view.Create(GetModuleHandleA(NULL), parent, &rc)) {
            BaseMemFree(pic);
            DestroyWindow(parent);
            medley::Fail("cannot make the image view (error " + std::to_string(GetLastError()) + ")");
            return;
        }
        view.SetBkColor(RGB(0, 160, 0));
        view.SetDib(pic, 0);  // the view owns it now
        UpdateWindow(parent);
        read = ReadPixels(parent, parent, W, H, &rgba, &inside);
    }
    DestroyWindow(parent);
    std::string why;
    if (!read) {
        medley::Fail("cannot read the window's pixels back");
        return;
    }
    if (!WritePng(out, rgba, W, H, &why)) {
        medley::Fail(why);
        return;
    }
    printf("%s: %d x %d, a view at (40, 30)-(200, 150) of a %d x %d window\n", out.c_str(), W, H, W, H);
}

#else

void Confirm(int, bool, const std::string &) { medley::Fail(std::string("ui confirm ") + kWhere); }
void SnapshotConfirm(bool, int, const std::string &, const std::string &)
{
    medley::Fail(std::string("ui snapshot ") + kWhere);
}
void SnapshotView(const std::string &, const std::string &) { medley::Fail(std::string("ui snapshot ") + kWhere); }
void Message(int, const std::string &, DWORD, const std::string &) { medley::Fail(std::string("ui message ") + kWhere); }
void Shape(const std::string &, const std::string &) { medley::Fail(std::string("ui shape ") + kWhere); }
void Frame(const std::string &, int, int, int, int, DWORD) { medley::Fail(std::string("ui frame ") + kWhere); }

#endif

void Setup(CLI::App &app)
{
    auto *ui = app.add_subcommand("ui", std::string("Skinned message boxes and shaped windows (") + kWhere + ")");
    ui->require_subcommand(1);

    auto *message = ui->add_subcommand("message", "Shows string TEXT_ID of redll.pll in a skinned message box and "
                                                  "prints the button pressed (ok, cancel, yes, no, ...)");
    auto id = std::make_shared<int>(0);
    auto style = std::make_shared<std::string>("ok");
    auto timeout = std::make_shared<unsigned>(0);
    auto module = std::make_shared<std::string>();
    message->add_option("TEXT_ID", *id, "String id (0-65535)")->required()->check(CLI::Range(0, 65535));
    std::vector<std::string> names;
    for (const Style &s : kStyles)
        names.push_back(s.name);
    message->add_option("--style", *style, "Buttons: ok, okcancel, yesno, yesnocancel, retrycancel, abortretryignore")
        ->check(CLI::IsMember(names));
    message->add_option("--timeout", *timeout, "Answer with the default button after this many milliseconds");
    message->add_option("--module", *module, "The module to load (default: redll.pll beside medley, else in the installed plug-in folder)");
    message->footer("Set MEDLEY_SKUI_ANSWER=yes (no, ok, cancel, default, ...) to answer without a person.");
    message->callback([=] { Message(*id, *style, *timeout, *module); });

    auto *shape = ui->add_subcommand("shape", "Draws a window shaped by an 8-bit mask bitmap (index 255 stays "
                                              "visible) and writes what it looks like as a PNG");
    auto mask = std::make_shared<std::string>(), out = std::make_shared<std::string>();
    shape->add_option("MASK", *mask, "The mask bitmap (.bmp)")->required();
    shape->add_option("OUT", *out, "The PNG to write (transparent outside the window)")->required();
    shape->callback([=] { Shape(*mask, *out); });

    auto *frame = ui->add_subcommand("frame", "Draws a window whose corners are cut by the UI folder's corner "
                                              "masks and writes what it looks like as a PNG (then keeps it up "
                                              "--hold milliseconds)");
    auto frameOut = std::make_shared<std::string>();
    auto at = std::make_shared<std::vector<int>>(std::vector<int>{100, 100});
    auto size = std::make_shared<std::vector<int>>(std::vector<int>{240, 160});
    auto hold = std::make_shared<unsigned>(0);
    frame->add_option("OUT", *frameOut, "The PNG to write (transparent outside the window)")->required();
    frame->add_option("--at", *at, "The window's place on the screen: X Y")->expected(2);
    frame->add_option("--size", *size, "The window's size: W H")->expected(2)->check(CLI::Range(1, 8192));
    frame->add_option("--hold", *hold, "Keep the window on the screen this many milliseconds (for screenshots)");
    frame->callback([=] { Frame(*frameOut, (*at)[0], (*at)[1], (*size)[0], (*size)[1], *hold); });

    auto *confirm = ui->add_subcommand("confirm", "Shows string TEXT_ID of redll.pll in the confirmation dialog and "
                                                  "prints the answer (ok, yes, no or closed, with the dialog's code)");
    auto confirmId = std::make_shared<int>(0);
    auto yesno = std::make_shared<bool>(false);
    auto confirmModule = std::make_shared<std::string>();
    confirm->add_option("TEXT_ID", *confirmId, "String id (0-65535)")->required()->check(CLI::Range(0, 65535));
    confirm->add_flag("--yesno", *yesno, "Yes and No buttons (default: one OK button)");
    confirm->add_option("--module", *confirmModule, "The module to load (default: redll.pll beside medley, else in "
                                                    "the installed plug-in folder)");
    confirm->footer("Set MEDLEY_CONFIRM_PRESS=b_OK (b_Cancel, b_Exit, close) to answer without a person.");
    confirm->callback([=] { Confirm(*confirmId, *yesno, *confirmModule); });

    auto *snapshot = ui->add_subcommand("snapshot", "Renders the confirmation dialog (OK or Yes/No style) or an image "
                                                    "view and writes its pixels as a PNG (transparent where the "
                                                    "dialog's corners are cut)");
    auto what = std::make_shared<std::string>();
    auto snapOut = std::make_shared<std::string>();
    auto textId = std::make_shared<int>(-1);
    auto image = std::make_shared<std::string>();
    auto snapModule = std::make_shared<std::string>();
    snapshot->add_option("WHAT", *what, "confirm, confirm-yesno or view")
        ->required()
        ->check(CLI::IsMember({"confirm", "confirm-yesno", "view"}));
    snapshot->add_option("OUT", *snapOut, "The PNG to write")->required();
    snapshot->add_option("--text-id", *textId, "The dialog's string (default: 110, one line, for confirm; 195, two "
                                               "lines, for confirm-yesno)")
        ->check(CLI::Range(0, 65535));
    snapshot->add_option("--image", *image, "The view's picture (default: a drawn colour ramp)");
    snapshot->add_option("--module", *snapModule, "The module to load for the dialog's strings");
    snapshot->callback([=] {
        if (*what == "view") {
            SnapshotView(*snapOut, *image);
            return;
        }
        const bool yn = *what == "confirm-yesno";
        SnapshotConfirm(yn, *textId >= 0 ? *textId : (yn ? 195 : 110), *snapOut, *snapModule);
    });
}

}  // namespace

MEDLEY_VERBS("60-ui", Setup);
