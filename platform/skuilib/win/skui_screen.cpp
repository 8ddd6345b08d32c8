/*
 * Screens laid out by UI templates, and the modal dialog built on them.  Windows' own window
 * system only.
 *
 * A dialog is two windows: the holding window (top-level, class "SKUIDialogFrame", the one
 * that gets shaped and moved) and the screen inside it (child, class "SKUIScreen", the
 * template's size), whose children are the template's controls.  Both route their messages
 * to the dialog object, found through the wrapper property of CSKUIWnd.
 */
#include "skuilib.h"

#include <string.h>

#include <string>

#include "pixkit.h"
#include "skui_template.h"
#include "skuilib_private.h"
#include "ui_blocks.h"

namespace {

const char kScreenClass[] = "SKUIScreen";
const char kFrameClass[] = "SKUIDialogFrame";
const int kDefaultWidth = 320, kDefaultHeight = 160;
const COLORREF kDefaultBackground = RGB(30, 60, 110);
const UINT kFirstCtrlId = 1000;

LRESULT ScreenProcBody(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto *screen = (GUI::CSKUIScreen *)((const CREATESTRUCTA *)lp)->lpCreateParams;
        if (!screen || !screen->Attach(hWnd))
            return FALSE;
    }
    auto *screen = static_cast<GUI::CSKUIScreen *>(GUI::CSKUIWnd::FromHandlePermanent(hWnd));
    if (!screen)
        return DefWindowProcA(hWnd, msg, wp, lp);
    LRESULT r = screen->SKUIMessageProc(hWnd, msg, wp, lp);
    if (msg == WM_NCDESTROY)
        screen->Detech();
    return r;
}

LRESULT FrameProcBody(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        SetPropA(hWnd, "SKUI.Dialog", (HANDLE)((const CREATESTRUCTA *)lp)->lpCreateParams);
    auto *dlg = (CSKUIDialogBox *)GetPropA(hWnd, "SKUI.Dialog");
    switch (msg) {
    case WM_CLOSE:
        if (dlg)
            dlg->OnClose();  // through the table: a derived dialog may refuse
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the screen covers the whole holder
    case WM_NCDESTROY:
        RemovePropA(hWnd, "SKUI.Dialog");
        skuilib::ForgetTempWrapper(hWnd);
        break;
    }
    return DefWindowProcA(hWnd, msg, wp, lp);
}

LRESULT CALLBACK ScreenProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return UiNoThrow<LRESULT>(0, [&] { return ScreenProcBody(hWnd, msg, wp, lp); });
}

LRESULT CALLBACK FrameProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return UiNoThrow<LRESULT>(0, [&] { return FrameProcBody(hWnd, msg, wp, lp); });
}

bool RegisterClasses()
{
    static bool done = false;
    if (done)
        return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ScreenProc;
    wc.hInstance = skuilib::Instance();
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = kScreenClass;
    bool ok = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = kFrameClass;
    ok = ok && (RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    done = ok && skuilib::RegisterCtrlClass();
    return done;
}

}  // namespace

namespace skuilib {

bool IsScreenWindow(HWND hWnd)
{
    char cls[32];
    return hWnd && GetClassNameA(hWnd, cls, sizeof cls) && strcmp(cls, kScreenClass) == 0;
}

}  // namespace skuilib

namespace GUI {

struct CSKUIScreen::Impl {
    SkuiTemplateDef tmpl;
    bool hasTemplate = false;
    std::string name;
    std::string error;
    std::string picDir;  // the image file's folder, with its trailing separator
    HGLOBAL hBack = 0;   // background picture (a global copy), or 0
    UINT defId = 0;      // the control Enter presses when no button has the focus (DM_SETDEFID)
};

CSKUIScreen::CSKUIScreen() : m_pImpl(new Impl) {}

CSKUIScreen::~CSKUIScreen()
{
    // The window goes first, while the object can still answer its last messages.
    HWND h = m_hWnd;
    if (h && m_bOwnsWindow) {
        Detech();
        DestroyWindow(h);
    }
    if (m_pImpl->hBack)
        GlobalFree(m_pImpl->hBack);
    delete m_pImpl;
}

BOOL CSKUIScreen::SetUITemplate(LPCSTR lpszTemplate, LPCSTR lpszLayoutFile, LPCSTR lpszImageFile)
{
    Impl &im = *m_pImpl;
    im.hasTemplate = false;
    im.tmpl = SkuiTemplateDef();
    im.error.clear();
    im.picDir.clear();
    return UiNoThrow(FALSE, [&]() -> BOOL {
        im.name = lpszTemplate ? lpszTemplate : "";
        if (!lpszTemplate || !lpszLayoutFile || !lpszImageFile) {
            im.error = "no template name or file";
            return FALSE;
        }
        std::string dir = lpszImageFile;
        size_t slash = dir.find_last_of("\\/");
        im.picDir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
        if (!SkuiLoadTemplate(lpszTemplate, lpszLayoutFile, lpszImageFile, &im.tmpl, &im.error)) {
            im.tmpl = SkuiTemplateDef();
            return FALSE;
        }
        im.hasTemplate = true;
        return TRUE;
    });
}

LPCSTR CSKUIScreen::GetUITemplateError() const { return m_pImpl->error.c_str(); }
LPCSTR CSKUIScreen::GetUITemplateName() const { return m_pImpl->name.c_str(); }
const SkuiTemplateDef *CSKUIScreen::GetUITemplate() const { return m_pImpl->hasTemplate ? &m_pImpl->tmpl : nullptr; }

SIZE CSKUIScreen::GetScreenSize() const
{
    SIZE sz = {kDefaultWidth, kDefaultHeight};
    if (m_pImpl->hasTemplate)
        sz.cx = m_pImpl->tmpl.width, sz.cy = m_pImpl->tmpl.height;
    return sz;
}

HWND CSKUIScreen::CreateScreen(HWND hParent)
{
    if (m_hWnd || !RegisterClasses())
        return NULL;
    SIZE sz = GetScreenSize();
    HWND h = CreateWindowExA(0, kScreenClass, m_pImpl->name.c_str(), WS_CHILD | WS_CLIPCHILDREN, 0, 0, sz.cx, sz.cy,
                             hParent, NULL, skuilib::Instance(), this);
    if (h)
        m_bOwnsWindow = TRUE;
    return h;
}

namespace {

/* A picture of the template's folder as a global DIB copy, or 0 (missing or no picture). */
HGLOBAL LoadPicture(const std::string &dir, const std::string &file)
{
    if (file.empty() || dir.size() + file.size() >= MAX_PATH)
        return 0;
    HGLOBAL img = PxLoadBmpFileThumbnail((dir + file).c_str(), 0, 0);
    HGLOBAL copy = skuilib::CopyDib(img);
    skuilib::FreeImagingDib(img);
    return copy;
}

}  // namespace

BOOL CSKUIScreen::OnInit(LPCSTR, HWND hWnd)
{
    Impl &im = *m_pImpl;
    if (hWnd && hWnd == m_hWnd && im.hasTemplate) {
        if (!im.hBack)
            im.hBack = LoadPicture(im.picDir, im.tmpl.backImage);
        UINT id = kFirstCtrlId;
        for (const SkuiControlDef &c : im.tmpl.controls) {
            if (c.kind != SKUI_KIND_BUTTON || CSKUICtrl::FindCtrlWindow(hWnd, c.name.c_str()))
                continue;
            RECT rc = {c.left, c.top, c.right, c.bottom};
            HWND ctrl = skuilib::CreateCtrlWindow(c.name.c_str(), hWnd, rc, id++);
            for (int s = 0; ctrl && s < 4; ++s) {
                if (c.image[s].empty() || im.picDir.size() + c.image[s].size() >= MAX_PATH)
                    continue;
                // A picture that does not load is skipped: the state keeps no image.
                HGLOBAL img = PxLoadBmpFileThumbnail((im.picDir + c.image[s]).c_str(), 0, 0);
                if (img) {
                    CSKUICtrl::SetWindowDib(ctrl, s, img);
                    skuilib::FreeImagingDib(img);
                }
            }
        }
    }
    DoAttachCtrl();
    return TRUE;
}

BOOL CSKUIScreen::DoAttachCtrl() { return TRUE; }
void CSKUIScreen::OnShapeFrame() {}
BOOL CSKUIScreen::SKUIWndMsgProc(UINT, WPARAM, LPARAM, LRESULT *) { return FALSE; }
BOOL CSKUIScreen::OnSKUI_Command(LPCSTR, LPARAM) { return TRUE; }
void CSKUIScreen::OnSKUI_OwnerDrawTemplate(HDC) {}

LRESULT CSKUIScreen::SKUIMessageProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (SKUIWndMsgProc(uMsg, wParam, lParam, &result))  // through the table
        return result;
    switch (uMsg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        const Impl &im = *m_pImpl;
        HBRUSH back = CreateSolidBrush(im.hasTemplate && im.tmpl.hasBackground ? im.tmpl.background
                                                                                 : kDefaultBackground);
        if (back) {
            FillRect(dc, &rc, back);
            DeleteObject(back);
        }
        if (im.hBack)
            skuilib::DrawGlobalDib(dc, im.hBack, 0, 0);
        const int saved = SaveDC(dc);
        OnSKUI_OwnerDrawTemplate(dc);
        RestoreDC(dc, saved);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case DM_SETDEFID:
        m_pImpl->defId = (UINT)wParam;
        return TRUE;
    case DM_GETDEFID:
        return m_pImpl->defId ? MAKELRESULT(m_pImpl->defId, DC_HASDEFID) : 0;
    case WM_COMMAND: {
        HWND ctrl = (HWND)lParam;
        if (LOWORD(wParam) == IDCANCEL && !ctrl) {
            // Escape (the dialog keys): a dialog holding this screen cancels.
            HWND root = GetAncestor(hWnd, GA_ROOT);
            char cls[32];
            if (root && GetClassNameA(root, cls, sizeof cls) && strcmp(cls, kFrameClass) == 0)
                if (auto *dlg = (CSKUIDialogBox *)GetPropA(root, "SKUI.Dialog"))
                    dlg->OnCancel();  // through the table
            return 0;
        }
        char cls[32], name[SKUI_NAME_MAX + 1];
        if (ctrl && ::GetParent(ctrl) == hWnd && GetClassNameA(ctrl, cls, sizeof cls) &&
            strcmp(cls, skuilib::kCtrlClass) == 0 && GetWindowTextA(ctrl, name, sizeof name) >= 0) {
            // The name is copied: the handler may end the dialog and destroy the control.
            OnSKUI_Command(name, (LPARAM)HIWORD(wParam));
            return 0;
        }
        break;
    }
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace GUI

/* ---- CSKUIDialogBox ---- */

CSKUIDialogBox::CSKUIDialogBox() : m_hFrame(NULL), m_nResult(0), m_bRunning(FALSE), m_bEnded(FALSE) {}

CSKUIDialogBox::~CSKUIDialogBox()
{
    if (m_hFrame) {
        // Destroyed while running (from inside its own loop): take the windows down first.
        HWND frame = m_hFrame;
        m_hFrame = NULL;
        Detech();
        DestroyWindow(frame);
    }
}

void CSKUIDialogBox::OnOK() { EndDialog(SKUI_RESULT_OK); }
void CSKUIDialogBox::OnCancel() { EndDialog(SKUI_RESULT_CANCEL); }
void CSKUIDialogBox::OnClose() { EndDialog(SKUI_RESULT_CLOSE); }

HWND CSKUIDialogBox::GetFrameHwnd() const { return m_hFrame; }

void CSKUIDialogBox::EndDialog(INT_PTR nCode)
{
    if (!m_bRunning)
        return;
    m_nResult = nCode;
    m_bEnded = TRUE;
    PostMessageA(m_hFrame, WM_NULL, 0, 0);  // wakes the loop
}

INT_PTR CSKUIDialogBox::DoModal(HWND hParent)
{
    if (m_bRunning || m_hWnd || !RegisterClasses())
        return -1;
    HWND owner = hParent && IsWindow(hParent) ? GetAncestor(hParent, GA_ROOT) : NULL;
    SIZE sz = GetScreenSize();
    // Centred over the owner, or over the work area.
    RECT over;
    if ((!owner || !GetWindowRect(owner, &over)) && !SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0))
        SetRect(&over, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const int x = over.left + ((over.right - over.left) - sz.cx) / 2;
    const int y = over.top + ((over.bottom - over.top) - sz.cy) / 2;
    m_hFrame = CreateWindowExA(0, kFrameClass, GetUITemplateName(), WS_POPUP | WS_CLIPCHILDREN, x, y, sz.cx, sz.cy,
                               owner, NULL, skuilib::Instance(), this);
    if (!m_hFrame)
        return -1;
    if (!CreateScreen(m_hFrame)) {
        DestroyWindow(m_hFrame);
        m_hFrame = NULL;
        return -1;
    }
    m_bRunning = TRUE;
    m_bEnded = FALSE;
    m_nResult = SKUI_RESULT_CANCEL;

    UiNoThrow(FALSE, [&] { return OnInit(GetUITemplateName(), m_hWnd); });  // a control short of memory is left out
    OnShapeFrame();
    const bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    ::ShowWindow(m_hFrame, SW_SHOW);
    if (!m_bEnded)
        ::ShowWindow(m_hWnd, SW_SHOW);
    if (ownerWasEnabled)
        ::EnableWindow(owner, FALSE);
    if (m_hFrame)
        ::UpdateWindow(m_hFrame);
    // The keyboard starts on the default control, or the first one that takes the focus.
    if (m_hWnd && !m_bEnded && !::IsChild(m_hWnd, GetFocus())) {
        LRESULT def = SendMessageA(m_hWnd, DM_GETDEFID, 0, 0);
        HWND first = HIWORD(def) == DC_HASDEFID ? GetDlgItem(m_hWnd, LOWORD(def)) : NULL;
        if (!first || !::IsWindowEnabled(first))
            first = GetNextDlgTabItem(m_hWnd, NULL, FALSE);
        if (first)
            SetFocus(first);
    }

    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (!m_bEnded) {
        BOOL got = GetMessageA(&msg, NULL, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            m_nResult = SKUI_RESULT_CANCEL;
            break;
        }
        if (got == -1) {
            m_nResult = SKUI_RESULT_CANCEL;
            break;
        }
        // The dialog keys: Tab between the controls, Enter, Escape (IsDialogMessage dispatches
        // what it takes).
        if (m_hWnd && IsDialogMessageA(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    if (ownerWasEnabled) {
        ::EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    HWND frame = m_hFrame;
    m_hFrame = NULL;
    if (frame)
        DestroyWindow(frame);  // the screen and its controls with it
    m_bRunning = FALSE;
    if (quit)
        PostQuitMessage((int)quitCode);
    return m_nResult;
}
