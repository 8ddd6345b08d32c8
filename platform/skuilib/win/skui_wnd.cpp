/*
 * The window classes of the skinned-GUI library: a window wrapper and skinned controls that
 * draw their state images.  Windows' own window system only.
 *
 * A wrapper finds its window and a window its wrapper through the window property "SKUI.Wnd".
 * A control's name, state images, state and tooltip live in a record owned by the control's
 * window (property "SKUI.Ctrl", freed at WM_NCDESTROY), so they do not depend on which object
 * wraps the window, or whether one does.  State images are the control's own copies in Windows
 * global memory, whatever allocator the caller's block came from.
 */
#include "skuilib.h"

#include <commctrl.h>
#include <string.h>

#include <map>
#include <memory>
#include <string>

#include "pixkit.h"
#include "skui_template.h"
#include "skuilib_private.h"
#include "ui_blocks.h"

namespace GUI {
namespace {

const char kWndProp[] = "SKUI.Wnd";
const char kCtrlProp[] = "SKUI.Ctrl";

struct CtrlData {
    char name[64];
    HGLOBAL image[4];
    int state;
    bool tracking;  // TrackMouseEvent asked for WM_MOUSELEAVE
    HWND tip;       // tooltip window, or null
    std::string tips;
};

CtrlData *Data(HWND hCtrl)
{
    if (!hCtrl)
        return nullptr;
    char cls[32];
    if (!GetClassNameA(hCtrl, cls, sizeof cls) || strcmp(cls, skuilib::kCtrlClass) != 0)
        return nullptr;
    return (CtrlData *)GetPropA(hCtrl, kCtrlProp);
}

struct WndDeleter {
    void operator()(CSKUIWnd *w) const { w->Destroy(1); }
};

/* Wrappers made for parents that have none; each lives as long as its window (dropped when a
 * holder of the library's is destroyed, or when found dead by the next GetParent). */
std::map<HWND, std::unique_ptr<CSKUIWnd, WndDeleter>> &TempWrappers()
{
    static std::map<HWND, std::unique_ptr<CSKUIWnd, WndDeleter>> m;
    return m;
}

/* Drops a wrapper of the table: out of the table first (its destructor looks there too). */
std::map<HWND, std::unique_ptr<CSKUIWnd, WndDeleter>>::iterator
EraseTemp(std::map<HWND, std::unique_ptr<CSKUIWnd, WndDeleter>>::iterator it)
{
    CSKUIWnd *w = it->second.release();
    it = TempWrappers().erase(it);
    w->Destroy(1);
    return it;
}

void SetCtrlState(HWND hCtrl, CtrlData *d, int nState)
{
    if (nState < 0 || nState > 3 || nState == d->state)
        return;
    d->state = nState;
    InvalidateRect(hCtrl, NULL, FALSE);
}

LRESULT CtrlProcBody(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CtrlData *d = (CtrlData *)GetPropA(hWnd, kCtrlProp);
    switch (msg) {
    case WM_NCCREATE: {
        CtrlData *made = new (std::nothrow) CtrlData();
        if (!made || !SetPropA(hWnd, kCtrlProp, (HANDLE)made)) {
            delete made;
            return FALSE;
        }
        const CREATESTRUCTA *cs = (const CREATESTRUCTA *)lp;
        lstrcpynA(made->name, cs->lpszName ? cs->lpszName : "", sizeof made->name);
        return DefWindowProcA(hWnd, msg, wp, lp);
    }
    case WM_NCDESTROY:
        if (CSKUIWnd *w = CSKUIWnd::FromHandlePermanent(hWnd))
            w->Detech();
        if (d) {
            RemovePropA(hWnd, kCtrlProp);
            if (d->tip)
                DestroyWindow(d->tip);
            for (HGLOBAL img : d->image)
                if (img)
                    GlobalFree(img);
            delete d;
        }
        return DefWindowProcA(hWnd, msg, wp, lp);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        HGLOBAL img = d ? d->image[d->state] : 0;
        if (!img && d)
            img = d->image[0];
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        if (img)
            skuilib::DrawGlobalDib(dc, img, 0, 0);
        else
            FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        if (GetFocus() == hWnd) {  // the focus mark: a dotted frame just inside the edge
            InflateRect(&rc, -2, -2);
            DrawFocusRect(dc, &rc);
        }
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hWnd, NULL, FALSE);
        return 0;
    case WM_GETDLGCODE:
        // A push button; the focused one is what Enter presses.
        return DLGC_BUTTON | (GetFocus() == hWnd ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_KEYDOWN:
        if (wp == VK_SPACE && d && IsWindowEnabled(hWnd) && d->state != 2)
            SetCtrlState(hWnd, d, 2);
        return 0;
    case WM_KEYUP:
        if (wp == VK_SPACE && d && d->state == 2 && GetCapture() != hWnd) {
            SetCtrlState(hWnd, d, 0);
            SendMessageA(::GetParent(hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hWnd), BN_CLICKED), (LPARAM)hWnd);
        }
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_ENABLE:
        if (d)
            SetCtrlState(hWnd, d, wp ? 0 : 3);
        return 0;
    case WM_MOUSEMOVE:
        if (d && d->state == 0) {
            SetCtrlState(hWnd, d, 1);
            TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hWnd, 0};
            d->tracking = TrackMouseEvent(&tme) != FALSE;
        }
        return 0;
    case WM_MOUSELEAVE:
        if (d) {
            d->tracking = false;
            if (d->state == 1)
                SetCtrlState(hWnd, d, 0);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (d && IsWindowEnabled(hWnd)) {
            SetFocus(hWnd);
            SetCtrlState(hWnd, d, 2);
            SetCapture(hWnd);
        }
        return 0;
    case WM_LBUTTONUP:
        if (d && d->state == 2) {
            POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
            RECT rc;
            ::GetClientRect(hWnd, &rc);
            const bool inside = PtInRect(&rc, pt) != FALSE;
            SetCtrlState(hWnd, d, inside ? 1 : 0);
            if (GetCapture() == hWnd)
                ReleaseCapture();
            if (inside)
                SendMessageA(::GetParent(hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hWnd), BN_CLICKED), (LPARAM)hWnd);
        }
        return 0;
    default:
        return DefWindowProcA(hWnd, msg, wp, lp);
    }
}

LRESULT CALLBACK CtrlProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return UiNoThrow<LRESULT>(0, [&] { return CtrlProcBody(hWnd, msg, wp, lp); });
}

}  // namespace

/* ---- shared inside the library ---- */

}  // namespace GUI

namespace skuilib {

const char kCtrlClass[] = "SKUICtrl";

HINSTANCE Instance()
{
    HMODULE m = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCSTR)&Instance, &m);
    return m;
}

bool RegisterCtrlClass()
{
    static bool done = false;
    if (done)
        return true;
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = GUI::CtrlProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = kCtrlClass;
    done = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return done;
}

HWND CreateCtrlWindow(LPCSTR lpszName, HWND hParent, const RECT &rc, UINT nId)
{
    if (!lpszName || strlen(lpszName) > GUI::SKUI_NAME_MAX || !RegisterCtrlClass())
        return NULL;
    return CreateWindowExA(0, kCtrlClass, lpszName, WS_CHILD | WS_VISIBLE | WS_TABSTOP, rc.left, rc.top, rc.right - rc.left,
                           rc.bottom - rc.top, hParent, (HMENU)(UINT_PTR)nId, Instance(), NULL);
}

HGLOBAL CopyDib(HGLOBAL hDib)
{
    if (!hDib)
        return 0;
    const bool huge = PxIsHugeVersion() != FALSE;
    SIZE_T size = huge ? ZelMemSize(hDib) : GlobalSize(hDib);
    const BYTE *p = (const BYTE *)(huge ? ZelMemLock(hDib) : GlobalLock(hDib));
    if (!p)
        return 0;
    HGLOBAL copy = 0;
    // Only a plain DIB whose rows the block holds: the copy is exactly what drawing reads.
    if (const size_t need = UiDibBytes(p, size)) {
        copy = GlobalAlloc(GMEM_MOVEABLE, need);
        if (void *q = copy ? GlobalLock(copy) : nullptr) {
            memcpy(q, p, need);
            GlobalUnlock(copy);
        }
    }
    if (huge)
        ZelMemUnlock(hDib);
    else
        GlobalUnlock(hDib);
    return copy;
}

void ForgetTempWrapper(HWND hWnd)
{
    auto &temp = GUI::TempWrappers();
    auto it = temp.find(hWnd);
    if (it != temp.end())
        GUI::EraseTemp(it);
}

void FreeImagingDib(HGLOBAL hDib)
{
    if (!hDib)
        return;
    if (PxIsHugeVersion())
        ZelMemFree(hDib);
    else
        GlobalFree(hDib);
}

void DrawGlobalDib(HDC dc, HGLOBAL hDib, int x, int y)
{
    const BYTE *p = hDib ? (const BYTE *)GlobalLock(hDib) : nullptr;
    if (!p)
        return;
    UiDrawDib(dc, p, GlobalSize(hDib), x, y);
    GlobalUnlock(hDib);
}

}  // namespace skuilib

namespace GUI {

/* ---- CSKUIWnd ---- */

CSKUIWnd::CSKUIWnd() : m_hWnd(NULL), m_bOwnsWindow(FALSE) {}

CSKUIWnd::~CSKUIWnd()
{
    HWND h = m_hWnd;
    if (h && GetPropA(h, kWndProp) == (HANDLE)this)
        RemovePropA(h, kWndProp);
    m_hWnd = NULL;
    if (h && m_bOwnsWindow)
        DestroyWindow(h);
    TempWrappers().erase(h);
}

void *CSKUIWnd::Destroy(uint32_t flags)
{
    this->CSKUIWnd::~CSKUIWnd();
    if (flags & 1)
        ::operator delete(this);
    return this;
}

HWND CSKUIWnd::GetSafeHwnd() const { return m_hWnd; }

CSKUIWnd *CSKUIWnd::GetParent() const
{
    HWND parent = m_hWnd ? ::GetParent(m_hWnd) : NULL;
    if (!parent)
        return nullptr;
    if (CSKUIWnd *w = FromHandlePermanent(parent))
        return w;
    auto &temp = TempWrappers();
    auto it = temp.find(parent);
    if (it != temp.end() && it->second->m_hWnd == parent)
        return it->second.get();
    for (auto dead = temp.begin(); dead != temp.end();)
        dead = IsWindow(dead->first) ? std::next(dead) : EraseTemp(dead);
    std::unique_ptr<CSKUIWnd, WndDeleter> w(new CSKUIWnd);
    w->m_hWnd = parent;  // not attached: a temporary view of a window that has no wrapper
    CSKUIWnd *raw = w.get();
    temp[parent] = std::move(w);
    return raw;
}

BOOL CSKUIWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
BOOL CSKUIWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CSKUIWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }

void CSKUIWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    if (lpRect)
        ::MoveWindow(m_hWnd, lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
                     bRepaint);
}

void CSKUIWnd::GetClientRect(LPRECT lpRect) const
{
    if (lpRect && !::GetClientRect(m_hWnd, lpRect))
        SetRectEmpty(lpRect);
}

void CSKUIWnd::ClientToScreen(LPPOINT lpPoint) const
{
    if (lpPoint)
        ::ClientToScreen(m_hWnd, lpPoint);
}

void CSKUIWnd::Invalidate(BOOL bErase) { InvalidateRect(m_hWnd, NULL, bErase); }
void CSKUIWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

BOOL CSKUIWnd::Attach(HWND hWnd)
{
    if (m_hWnd || !IsWindow(hWnd) || GetPropA(hWnd, kWndProp))
        return FALSE;
    if (!SetPropA(hWnd, kWndProp, (HANDLE)this))
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CSKUIWnd::Detech()
{
    HWND h = m_hWnd;
    if (h && GetPropA(h, kWndProp) == (HANDLE)this)
        RemovePropA(h, kWndProp);
    m_hWnd = NULL;
    m_bOwnsWindow = FALSE;
    return h;
}

CSKUIWnd *CSKUIWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? (CSKUIWnd *)GetPropA(hWnd, kWndProp) : nullptr;
}

/* ---- CSKUICtrl ---- */

CSKUICtrl::CSKUICtrl() {}
CSKUICtrl::~CSKUICtrl() {}

BOOL CSKUICtrl::SetWindowDib(HWND hCtrl, int nState, HGLOBAL hDib)
{
    CtrlData *d = Data(hCtrl);
    if (!d || nState < 0 || nState > 3)
        return FALSE;
    HGLOBAL copy = 0;
    if (hDib && !(copy = skuilib::CopyDib(hDib)))
        return FALSE;
    if (d->image[nState])
        GlobalFree(d->image[nState]);
    d->image[nState] = copy;
    InvalidateRect(hCtrl, NULL, FALSE);
    return TRUE;
}

BOOL CSKUICtrl::SetControlDib(int nState, HGLOBAL hDib) { return SetWindowDib(m_hWnd, nState, hDib); }

LPCSTR CSKUICtrl::GetName() const
{
    CtrlData *d = Data(m_hWnd);
    return d ? d->name : "";
}

int CSKUICtrl::GetState() const
{
    CtrlData *d = Data(m_hWnd);
    return d ? d->state : 0;
}

void CSKUICtrl::SetState(int nState)
{
    if (CtrlData *d = Data(m_hWnd))
        SetCtrlState(m_hWnd, d, nState);
}

HGLOBAL CSKUICtrl::GetControlDib(int nState) const
{
    CtrlData *d = Data(m_hWnd);
    return d && nState >= 0 && nState <= 3 ? d->image[nState] : 0;
}

BOOL CSKUICtrl::Create(LPCSTR lpszName, HWND hParent, const RECT &rc, UINT nId)
{
    if (m_hWnd)
        return FALSE;
    HWND h = skuilib::CreateCtrlWindow(lpszName, hParent, rc, nId);
    if (!h)
        return FALSE;
    if (!Attach(h)) {
        DestroyWindow(h);
        return FALSE;
    }
    m_bOwnsWindow = TRUE;
    return TRUE;
}

HWND CSKUICtrl::FindCtrlWindow(HWND hScreen, LPCSTR lpszName)
{
    if (!hScreen || !lpszName)
        return NULL;
    for (HWND h = GetWindow(hScreen, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        CtrlData *d = Data(h);
        if (d && strcmp(d->name, lpszName) == 0)
            return h;
    }
    return NULL;
}

CSKUICtrl *CSKUICtrl::FindInScreen(HWND hScreen, LPCSTR lpszName)
{
    return static_cast<CSKUICtrl *>(FromHandlePermanent(FindCtrlWindow(hScreen, lpszName)));
}

BOOL CSKUICtrl::AttachCtrl(HWND hScreen, LPCSTR lpszName)
{
    HWND h = FindCtrlWindow(hScreen, lpszName);
    return h && Attach(h);  // the screen made the window and destroys it with itself
}

/* ---- CButton ---- */

CButton::CButton() {}
CButton::~CButton() {}

BOOL CButton::SetTips(LPCSTR lpszTips)
{
    CtrlData *d = Data(m_hWnd);
    if (!d)
        return FALSE;
    d->tips = lpszTips ? lpszTips : "";
    if (d->tip) {
        DestroyWindow(d->tip);
        d->tip = NULL;
    }
    if (d->tips.empty())
        return TRUE;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    d->tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, NULL,
                             skuilib::Instance(), NULL);
    if (!d->tip)
        return FALSE;
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hWnd;
    ti.uId = (UINT_PTR)m_hWnd;
    ti.lpszText = &d->tips[0];
    SendMessageA(d->tip, TTM_ADDTOOLA, 0, (LPARAM)&ti);
    return TRUE;
}

int CButton::GetTips(LPSTR lpszBuf, int nBuf) const
{
    CtrlData *d = Data(m_hWnd);
    const std::string tips = d ? d->tips : std::string();
    if (lpszBuf && nBuf > 0)
        lstrcpynA(lpszBuf, tips.c_str(), nBuf);
    return (int)tips.size();
}

/* ---- CSKUIUserDefineArea ---- */

CSKUIUserDefineArea::CSKUIUserDefineArea() : m_rcArea() {}
CSKUIUserDefineArea::~CSKUIUserDefineArea() {}

BOOL CSKUIUserDefineArea::AttachCtrl(HWND hScreen, LPCSTR lpszName)
{
    CSKUIScreen *screen = static_cast<CSKUIScreen *>(FromHandlePermanent(hScreen));
    const SkuiTemplateDef *t = screen && skuilib::IsScreenWindow(hScreen) ? screen->GetUITemplate() : nullptr;
    const SkuiControlDef *c = t ? t->Find(lpszName) : nullptr;
    if (!c || c->kind != SKUI_KIND_AREA)
        return FALSE;
    SetRect(&m_rcArea, c->left, c->top, c->right, c->bottom);
    return TRUE;
}

void CSKUIUserDefineArea::GetRect(LPRECT lpRect) const
{
    if (lpRect)
        *lpRect = m_rcArea;
}

}  // namespace GUI
