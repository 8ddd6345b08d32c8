/* The image view window and the frame's resize grip. */
#include "imgview.h"

#include "basemem.h"
#include "baseui.h"
#include "pixkit.h"

namespace {

/* A successful registration, process-wide; a failed one is tried again. */
bool g_viewClassRegistered = false;

}  // namespace

CImgView::CImgView() : m_hDib(0), m_crBack(IMGVIEW_NO_BACKGROUND), m_rcView(), m_dwData(0) {}

CImgView::~CImgView()
{
    if (m_hDib)
        BaseMemFree(m_hDib);
    m_hDib = 0;
}

BOOL CImgView::RegisterViewClass(HINSTANCE hInstance)
{
    if (!g_viewClassRegistered)
        g_viewClassRegistered =
            RegisterWndClass(hInstance, IMGVIEW_CLASS, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, NULL, NULL, NULL) != FALSE;
    return g_viewClassRegistered;
}

HWND CImgView::Create(HINSTANCE hInstance, HWND hParent, const RECT *lpRect)
{
    if (!lpRect || !RegisterViewClass(hInstance))
        return NULL;
    return CWndBase::Create(IMGVIEW_CLASS, NULL, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, lpRect->left, lpRect->top,
                            lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, hParent, NULL, hInstance);
}

LRESULT CImgView::MessageProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        HWND parent = ::GetParent(m_hWnd);
        if (parent) {
            ClientToScreen(&pt);
            ScreenToClient(parent, &pt);
            LPARAM at = (LPARAM)(((DWORD)pt.x & 0xFFFF) | (((DWORD)pt.y & 0xFFFF) << 16));
            SendMessageA(parent, uMsg, wParam, at);
        }
        return 0;
    }
    case WM_CREATE:
        return 0;
    case WM_PAINT:
        OnPaint();  // through the table
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return CWndBase::MessageProc(uMsg, wParam, lParam);
    }
}

CImgView *CImgView::SetViewRect(const RECT *lpRect)
{
    if (lpRect)
        m_rcView = *lpRect;
    return this;
}

HGLOBAL CImgView::SetDib(HGLOBAL hDib, uint32_t bKeep)
{
    HGLOBAL previous = 0;
    if (!bKeep) {
        if (m_hDib && m_hDib != hDib)
            BaseMemFree(m_hDib);
    } else {
        previous = m_hDib;
    }
    m_hDib = hDib;
    if (IsWindow(m_hWnd)) {
        Invalidate(TRUE);
        UpdateWindow();
    }
    return previous;
}

HGLOBAL CImgView::GetDib(uint32_t bCopy)
{
    if (!bCopy || !m_hDib)
        return m_hDib;
    return PxDibDuplicate(m_hDib);
}

void CImgView::FreeDib()
{
    if (m_hDib)
        BaseMemFree(m_hDib);
    m_hDib = 0;
}

void CImgView::SetBkColor(COLORREF crBack)
{
    m_crBack = crBack;
    if (IsWindow(m_hWnd)) {
        Invalidate(TRUE);
        UpdateWindow();
    }
}

CImgView *CImgView::SetViewData(uint32_t dwData)
{
    m_dwData = dwData;
    return this;
}

void CImgView::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (!dc)
        return;
    RECT rc;
    GetClientRect(&rc);
    if (m_hDib) {
        if (m_crBack != IMGVIEW_NO_BACKGROUND) {
            if (HBRUSH brush = CreateSolidBrush(m_crBack)) {
                FillRect(dc, &rc, brush);
                DeleteObject(brush);
            }
        }
        DrawDibBlock(dc, m_hDib, &rc, 1, 0);
    }
    EndPaint(m_hWnd, &ps);
}

CImgView &FrameGrip()
{
    static CImgView grip;
    return grip;
}

void OnFrameSize(HWND hFrame, uint32_t nType, uint32_t nSize)
{
    CImgView &grip = FrameGrip();
    if (IsWindow(grip.GetSafeHwnd()))
        DestroyWindow(grip.GetSafeHwnd());
    const RECT none = {0, 0, 0, 0};
    grip.Create((HINSTANCE)GetWindowLongPtrA(hFrame, GWLP_HINSTANCE), hFrame, &none);

    char path[MAX_PATH];
    if (GetUIPath("resize.bmp", path)) {
        if (HGLOBAL img = PxOpenFile(path, 0, 0))
            grip.SetDib(img, 0);  // frees the previous image
    }

    if (nType == SIZE_MAXIMIZED) {
        if (grip.IsWindowVisible())
            grip.ShowWindow(SW_HIDE);
        RECT work;
        int w, h;
        if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
            w = (short)(work.right - work.left);
            if (w <= 800)
                w = 800;
            h = (short)(work.bottom - work.top);
            h = h > 600 ? h - 1 : 600;
        } else {
            // Size from the message; the frame keeps its place.
            RECT at = {0, 0, 0, 0};
            GetWindowRect(hFrame, &at);
            work = at;
            w = (short)LOWORD(nSize);
            h = (short)HIWORD(nSize);
        }
        MoveWindow(hFrame, work.left, work.top, w, h, TRUE);
        return;
    }

    RECT rc;
    if (!GetWindowRect(hFrame, &rc))
        return;
    int W = rc.right - rc.left, H = rc.bottom - rc.top;
    if (W < 800 || H < 600) {
        if (W <= 800)
            W = 800;
        if (H <= 600)
            H = 600;
        MoveWindow(hFrame, rc.left, rc.top, W, H, TRUE);
    }
    int w = 0, h = 0;
    HGLOBAL img = grip.GetDib(0);
    if (img && PxDibGetSize(img, &w, &h) && w >= 1 && h >= 1) {
        RECT place = {W - w - 5, H - h - 5, W - 5, H - 5};
        grip.MoveWindow(&place, TRUE);
        grip.ShowWindow(SW_SHOW);
    }
}
