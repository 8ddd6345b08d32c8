/*
 * The image view: a small child window that shows one DIB over an optional solid background and
 * passes the mouse on to its parent, in the parent's coordinates; and the frame's size handler
 * that keeps a frame at least 800 x 600 and shows the UI folder's "resize.bmp" as a grip in its
 * bottom-right corner.  Windows' window system only (libbase/ui/).
 */
#pragma once
#include <windows.h>

#include <stdint.h>

#include "skuilib.h"

#define IMGVIEW_CLASS "_WndCls_ImgView_"
#define IMGVIEW_NO_BACKGROUND 0xFFFFFFFFu

class CImgView : public CWndBase {
public:
    /* No window, no image (m_hDib 0), no background (0xFFFFFFFF), m_rcView all zero. */
    CImgView();
    /* Frees the image, then the window base goes. */
    ~CImgView();
    SKUI_DECLARE_DESTROY(CImgView)  // slot 3

    /* Mouse moves, left clicks and double clicks go to the parent at the same place in the
     * parent's client coordinates; WM_PAINT is OnPaint; the background is never erased. */
    LRESULT MessageProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;  // slot 4
    /* Stored only (not used for drawing); returns the view. */
    virtual CImgView *SetViewRect(const RECT *lpRect);  // slot 5
    /* The view takes hDib.  bKeep 0: the previous image is freed and 0 returned; otherwise the
     * previous image is returned and is the caller's.  Repaints when the window exists. */
    virtual HGLOBAL SetDib(HGLOBAL hDib, uint32_t bKeep);  // slot 6
    /* bCopy 0 (or no image): the view's own image (still the view's); otherwise a new copy
     * that the caller frees. */
    virtual HGLOBAL GetDib(uint32_t bCopy);  // slot 7
    /* 0x00BBGGRR, or 0xFFFFFFFF for none.  Repaints when the window exists. */
    virtual void SetBkColor(COLORREF crBack);  // slot 8
    /* Stored only; returns the view. */
    virtual CImgView *SetViewData(uint32_t dwData);  // slot 9
    /* With an image: the background (when one is set), then the image scaled into the client
     * area.  Without an image nothing is painted. */
    virtual void OnPaint();  // slot 10

    /* Registers "_WndCls_ImgView_" (style 11, no icon, no brush) once per process: non-zero
     * when it is (or already was) registered.  A failed registration is tried again. */
    static BOOL RegisterViewClass(HINSTANCE hInstance);
    /* The view's window: WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN at lpRect in the parent's
     * client coordinates.  Null on failure. */
    HWND Create(HINSTANCE hInstance, HWND hParent, const RECT *lpRect);
    /* Frees the image and forgets it. */
    void FreeDib();

    COLORREF GetBkColor() const { return m_crBack; }
    void GetViewRect(LPRECT lpRect) const { *lpRect = m_rcView; }
    uint32_t GetViewData() const { return m_dwData; }

protected:
    HGLOBAL m_hDib;
    COLORREF m_crBack;
    RECT m_rcView;
    uint32_t m_dwData;
};

static_assert(sizeof(CImgView) == sizeof(CWndBase) + sizeof(void *) + 24, "CImgView: image, colour, rectangle, data");

/* The size handler of a top-level frame (nType and nSize as WM_SIZE's wParam and lParam).
 * Maximised (2): the grip is hidden and the frame takes the work area (width at least 800,
 * height one less than the work area's, or 600 when that is not above 600).  Otherwise: a frame
 * smaller than 800 x 600 is raised to it in place, and the grip (the process's one view, made
 * anew each time, showing "resize.bmp") sits 5 pixels inside the frame's bottom-right corner.
 * NOTES: when "resize.bmp" does not load the grip keeps its previous image; without any it is
 * neither placed nor shown.  When the work area cannot be read the frame keeps its place and
 * takes the size from nSize. */
void OnFrameSize(HWND hFrame, uint32_t nType, uint32_t nSize);
/* The process's grip view (made on first use, destroyed when the module unloads). */
CImgView &FrameGrip();
