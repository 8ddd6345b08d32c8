/*
 * The window classes of the skinned-GUI library: a window wrapper and a skinned control that
 * draws its state images.  Windows' own window system only.
 *
 * A wrapper finds its window and a window its wrapper through the window property "SKUI.Wnd";
 * a control carries its name, so that a screen's controls can be found by name.  A control's
 * state images are its own copies in Windows global memory, whatever allocator the caller's
 * block came from.
 */
#include "skuilib.h"

#include <string.h>

#include <map>
#include <memory>

#include "pixkit.h"

namespace GUI {
namespace {

const char kWndProp[] = "SKUI.Wnd";
const char kCtrlClass[] = "SKUICtrl";

/* Wrappers made for parents that have none; they live as long as the library. */
std::map<HWND, std::unique_ptr<CSKUIWnd>> &TempWrappers()
{
    static std::map<HWND, std::unique_ptr<CSKUIWnd>> m;
    return m;
}

/* The caller's DIB block read in the allocator the imaging library names (as the base
 * library's blocks are made), copied into a new global block, or 0 when it is no DIB. */
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
    BITMAPINFOHEADER bih;
    if (size >= sizeof bih) {
        memcpy(&bih, p, sizeof bih);
        const int bits = bih.biBitCount;
        const bool depthOk = bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
        const uint64_t stride = ((uint64_t)(bih.biWidth > 0 ? bih.biWidth : 0) * (uint64_t)bits + 31) / 32 * 4;
        const uint64_t need = sizeof bih + (uint64_t)bih.biClrUsed * 4 + stride * (uint64_t)(bih.biHeight > 0 ? bih.biHeight : 0);
        if (depthOk && bih.biWidth > 0 && bih.biHeight > 0 && bih.biClrUsed <= 256 && need <= size) {
            copy = GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)need);
            if (void *q = copy ? GlobalLock(copy) : nullptr) {
                memcpy(q, p, (size_t)need);
                GlobalUnlock(copy);
            }
        }
    }
    if (huge)
        ZelMemUnlock(hDib);
    else
        GlobalUnlock(hDib);
    return copy;
}

/* Draws a copy made by CopyDib at (0, 0) of dc, unscaled. */
void DrawDib(HDC dc, HGLOBAL hDib)
{
    const BYTE *p = (const BYTE *)GlobalLock(hDib);
    if (!p)
        return;
    struct {
        BITMAPINFOHEADER bih;
        RGBQUAD pal[256];
    } info;
    memset(&info, 0, sizeof info);
    memcpy(&info.bih, p, sizeof info.bih);
    // GDI reads 2^bits entries when biClrUsed is 0; the library's blocks hold biClrUsed.
    const DWORD colours = info.bih.biClrUsed;
    memcpy(info.pal, p + sizeof info.bih, colours * 4);
    if (info.bih.biBitCount <= 8 && colours == 0)
        info.bih.biClrUsed = 1u << info.bih.biBitCount;
    const BYTE *bits = p + sizeof info.bih + colours * 4;
    StretchDIBits(dc, 0, 0, info.bih.biWidth, info.bih.biHeight, 0, 0, info.bih.biWidth, info.bih.biHeight, bits,
                  (const BITMAPINFO *)&info, DIB_RGB_COLORS, SRCCOPY);
    GlobalUnlock(hDib);
}

LRESULT CALLBACK CtrlProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp);

bool RegisterCtrlClass()
{
    static bool done = false;
    if (done)
        return true;
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = CtrlProc;
    wc.hInstance = GetModuleHandleA("SKUILib.dll");
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = kCtrlClass;
    done = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return done;
}

}  // namespace

namespace {

LRESULT CALLBACK CtrlProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    CSKUICtrl *ctrl = static_cast<CSKUICtrl *>(CSKUIWnd::FromHandlePermanent(hWnd));
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        if (ctrl) {
            HGLOBAL img = ctrl->GetControlDib(ctrl->GetState());
            if (!img)
                img = ctrl->GetControlDib(0);
            if (img)
                DrawDib(dc, img);
        }
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ENABLE:
        if (ctrl) {
            ctrl->SetState(wp ? 0 : 3);
        }
        return 0;
    case WM_LBUTTONDOWN:
        if (ctrl) {
            ctrl->SetState(2);
            SetCapture(hWnd);
        }
        return 0;
    case WM_LBUTTONUP:
        if (ctrl && ctrl->GetState() == 2) {
            ctrl->SetState(0);
            ReleaseCapture();
            POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
            RECT rc;
            ::GetClientRect(hWnd, &rc);
            if (PtInRect(&rc, pt))
                SendMessageA(::GetParent(hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hWnd), BN_CLICKED), (LPARAM)hWnd);
        }
        return 0;
    default:
        return DefWindowProcA(hWnd, msg, wp, lp);
    }
}

}  // namespace

/* ---- CSKUIWnd ---- */

CSKUIWnd::CSKUIWnd() : m_hWnd(NULL), m_bOwnsWindow(FALSE) {}

CSKUIWnd::~CSKUIWnd()
{
    HWND h = Detach();
    if (h && m_bOwnsWindow)
        DestroyWindow(h);
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
    std::unique_ptr<CSKUIWnd> w(new CSKUIWnd);
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

HWND CSKUIWnd::Detach()
{
    HWND h = m_hWnd;
    if (h && GetPropA(h, kWndProp) == (HANDLE)this)
        RemovePropA(h, kWndProp);
    m_hWnd = NULL;
    return h;
}

CSKUIWnd *CSKUIWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? (CSKUIWnd *)GetPropA(hWnd, kWndProp) : nullptr;
}

/* ---- CSKUICtrl ---- */

CSKUICtrl::CSKUICtrl() : m_szName(), m_hStateDib(), m_nState(0) {}

CSKUICtrl::~CSKUICtrl()
{
    HWND h = Detach();
    if (h && m_bOwnsWindow)
        DestroyWindow(h);
    m_bOwnsWindow = FALSE;
    for (HGLOBAL &img : m_hStateDib)
        if (img)
            GlobalFree(img);
}

BOOL CSKUICtrl::SetControlDib(int nState, HGLOBAL hDib)
{
    if (nState < 0 || nState > 3)
        return FALSE;
    HGLOBAL copy = 0;
    if (hDib && !(copy = CopyDib(hDib)))
        return FALSE;
    if (m_hStateDib[nState])
        GlobalFree(m_hStateDib[nState]);
    m_hStateDib[nState] = copy;
    if (m_hWnd)
        InvalidateRect(m_hWnd, NULL, FALSE);
    return TRUE;
}

void CSKUICtrl::SetState(int nState)
{
    if (nState < 0 || nState > 3 || nState == m_nState)
        return;
    m_nState = nState;
    if (m_hWnd)
        InvalidateRect(m_hWnd, NULL, FALSE);
}

HGLOBAL CSKUICtrl::GetControlDib(int nState) const
{
    return nState >= 0 && nState <= 3 ? m_hStateDib[nState] : 0;
}

BOOL CSKUICtrl::Create(LPCSTR lpszName, HWND hParent, const RECT &rc, UINT nId)
{
    if (m_hWnd || !lpszName || strlen(lpszName) >= sizeof m_szName || !RegisterCtrlClass())
        return FALSE;
    HWND h = CreateWindowExA(0, kCtrlClass, lpszName, WS_CHILD | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                             rc.bottom - rc.top, hParent, (HMENU)(UINT_PTR)nId, GetModuleHandleA("SKUILib.dll"), NULL);
    if (!h)
        return FALSE;
    if (!Attach(h)) {
        DestroyWindow(h);
        return FALSE;
    }
    m_bOwnsWindow = TRUE;
    strcpy(m_szName, lpszName);
    return TRUE;
}

CSKUICtrl *CSKUICtrl::FindInScreen(HWND hScreen, LPCSTR lpszName)
{
    if (!hScreen || !lpszName)
        return nullptr;
    for (HWND h = GetWindow(hScreen, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        char cls[32];
        if (!GetClassNameA(h, cls, sizeof cls) || strcmp(cls, kCtrlClass) != 0)
            continue;
        CSKUICtrl *c = static_cast<CSKUICtrl *>(FromHandlePermanent(h));
        if (c && strcmp(c->m_szName, lpszName) == 0)
            return c;
    }
    return nullptr;
}

}  // namespace GUI
