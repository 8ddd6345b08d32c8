/*
 * CWndBase: a plain window whose messages reach its object's MessageProc.  The object is bound
 * to its window at WM_NCCREATE (CreateWindowEx's parameter) and let go at WM_NCDESTROY; a
 * message that arrives before the one or after the other gets the default handling.
 */
#include "skuilib.h"
#include "ui_blocks.h"

namespace {

LRESULT WndBaseProcBody(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto *obj = (CWndBase *)((const CREATESTRUCTA *)lp)->lpCreateParams;
        if (!obj || !obj->Attach(hWnd))
            return FALSE;
    }
    auto *obj = static_cast<CWndBase *>(GUI::CSKUIWnd::FromHandlePermanent(hWnd));
    if (!obj)
        return DefWindowProcA(hWnd, msg, wp, lp);
    LRESULT r = obj->MessageProc(msg, wp, lp);  // through the table
    if (msg == WM_NCDESTROY)
        obj->Detech();
    return r;
}

LRESULT CALLBACK WndBaseProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return UiNoThrow<LRESULT>(0, [&] { return WndBaseProcBody(hWnd, msg, wp, lp); });
}

}  // namespace

CWndBase::CWndBase() {}
CWndBase::~CWndBase() {}

LRESULT CWndBase::MessageProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(m_hWnd, uMsg, wParam, lParam);
}

BOOL CWndBase::RegisterWndClass(HINSTANCE hInstance, LPCSTR lpszClassName, UINT uStyle, HICON hIcon, HBRUSH hBrush,
                                HICON hIconSmall)
{
    if (!lpszClassName)
        return FALSE;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = uStyle;
    wc.lpfnWndProc = WndBaseProc;
    wc.hInstance = hInstance;
    wc.hIcon = hIcon;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = hBrush;
    wc.lpszClassName = lpszClassName;
    wc.hIconSm = hIconSmall;
    return RegisterClassExA(&wc) != 0;
}

HWND CWndBase::Create(LPCSTR lpszClassName, LPCSTR lpszTitle, DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                      HWND hParent, HMENU hMenu, HINSTANCE hInstance)
{
    if (m_hWnd)
        return NULL;
    HWND h = CreateWindowExA(0, lpszClassName, lpszTitle, dwStyle, x, y, nWidth, nHeight, hParent, hMenu, hInstance,
                             this);
    if (h && m_hWnd == h)
        m_bOwnsWindow = TRUE;
    return h;
}
