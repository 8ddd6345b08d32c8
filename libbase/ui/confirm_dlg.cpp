/* The confirmation dialog on the skinned-GUI library's dialog base. */
#include "confirmdlg.h"

#include <string.h>

#include <string>

#include "basefun.h"
#include "basemem.h"
#include "baseui.h"
#include "pixkit.h"
#include "skui.h"
#include "ui_blocks.h"
#include "winshape.h"

namespace {

const char kTemplate[] = "zelkova_mms";
const char kExit[] = "b_Exit", kOK[] = "b_OK", kCancel[] = "b_Cancel";

struct StateImage {
    const char *ctrl;
    int state;
    const char *file;
};

/* Applied row by row, state 0 first. */
const StateImage kYesNoImages[] = {
    {kOK, 0, "Yes1.bmp"},     {kOK, 1, "Yes2.bmp"},     {kOK, 2, "Yes3.bmp"},     {kOK, 3, "Yes5.bmp"},
    {kCancel, 0, "no1.bmp"},  {kCancel, 1, "no2.bmp"},  {kCancel, 2, "no3.bmp"},  {kCancel, 3, "no5.bmp"},
};
const StateImage kOkImages[] = {
    {kCancel, 0, "ok1.bmp"}, {kCancel, 1, "ok2.bmp"}, {kCancel, 2, "ok3.bmp"}, {kCancel, 3, "ok5.bmp"},
    {kOK, 3, "invalid.bmp"},
};

/* Copies at most 259 characters and the terminator (a longer string is cut). */
void CopyText(char (&dest)[260], const std::string &text)
{
    size_t n = text.size() < sizeof dest - 1 ? text.size() : sizeof dest - 1;
    memcpy(dest, text.data(), n);
    dest[n] = 0;
}

}  // namespace

CConfirmDlg::CConfirmDlg() : m_szText(), m_nStyle(0)
{
    char layout[MAX_PATH], images[MAX_PATH];
    // A path that cannot be made reads as a missing file: the dialog runs without its template.
    if (!GetUIPath("udf_medley.ui", layout))
        layout[0] = 0;
    if (!GetUIPath("img_medley.ui", images))
        images[0] = 0;
    SetUITemplate(kTemplate, layout, images);
    m_nStyle = 0;
}

CConfirmDlg::~CConfirmDlg() {}

void CConfirmDlg::SetMessage(int32_t nTextId, uint32_t nStyle)
{
    CopyText(m_szText[0], GetResString((uint32_t)nTextId));
    m_nStyle = nStyle;
}

void CConfirmDlg::SetMessage(int32_t nTextId, int32_t nTextId2, uint32_t nStyle)
{
    CopyText(m_szText[0], GetResString((uint32_t)nTextId));
    // Loaded and kept; no part of the dialog shows it.
    CopyText(m_szText[1], GetResString((uint32_t)nTextId2));
    m_nStyle = nStyle;
}

void CConfirmDlg::CloseDialog() { EndDialog(0); }

BOOL CConfirmDlg::OnInit(LPCSTR lpszTemplate, HWND hWnd)
{
    BOOL r = CSKUIDialogBox::OnInit(lpszTemplate, hWnd);
    m_button[0].SetTips(GetResString(89).c_str());  // "Close"
    m_button[2].EnableWindow(FALSE);                // b_OK
    // Enter answers Yes in the Yes/No style, OK (b_Cancel dressed as OK) in the OK style.
    HWND def = (m_nStyle == CONFIRM_STYLE_YESNO || m_nStyle == 1 ? m_button[2] : m_button[1]).GetSafeHwnd();
    if (def)
        SendMessageA(GetSafeHwnd(), DM_SETDEFID, (WPARAM)GetDlgCtrlID(def), 0);
    return r;
}

BOOL CConfirmDlg::DoAttachCtrl()
{
    BOOL r = CSKUIDialogBox::DoAttachCtrl();
    HWND screen = GetSafeHwnd();
    m_area[0].AttachCtrl(screen, "w_message1");
    m_button[0].AttachCtrl(screen, kExit);
    m_button[2].AttachCtrl(screen, kOK);
    m_button[1].AttachCtrl(screen, kCancel);
    return r;
}

void CConfirmDlg::OnShapeFrame()
{
    if (GUI::CSKUIWnd *holder = GetParent())
        SetWindowFrameRgn(holder->GetSafeHwnd(), 0, 0, 0, 0);
}

void CConfirmDlg::SetStyleImages(bool bYesNo)
{
    const StateImage *rows = bYesNo ? kYesNoImages : kOkImages;
    const size_t n = bYesNo ? sizeof kYesNoImages / sizeof *kYesNoImages : sizeof kOkImages / sizeof *kOkImages;
    for (size_t i = 0; i < n; ++i) {
        char path[MAX_PATH];
        if (!GetUIPath(rows[i].file, path))
            continue;
        HGLOBAL img = PxLoadBmpFileThumbnail(path, 0, 0);
        if (!img)
            continue;  // a missing picture is skipped
        SetCtrlImage(GetSafeHwnd(), rows[i].ctrl, rows[i].state, img);
        BaseMemFree(img);  // the control keeps its own copy
    }
}

BOOL CConfirmDlg::SKUIWndMsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    if (uMsg == WM_SHOWWINDOW && wParam) {
        if (m_nStyle == CONFIRM_STYLE_YESNO) {
            SetStyleImages(true);
            m_nStyle = 1;
        } else if (m_nStyle == CONFIRM_STYLE_OK) {
            SetStyleImages(false);
        }
    }
    return GUI::CSKUIScreen::SKUIWndMsgProc(uMsg, wParam, lParam, pResult);
}

BOOL CConfirmDlg::OnSKUI_Command(LPCSTR lpszCtrlName, LPARAM lValue)
{
    BOOL r = CSKUIDialogBox::OnSKUI_Command(lpszCtrlName, lValue);
    if (IsBadStringPtrA(lpszCtrlName, 200))
        return r;
    if (lstrcmpiA(lpszCtrlName, kExit) == 0) {
        OnClose();
        return r;
    }
    if (IsBadStringPtrA(lpszCtrlName, 200))
        return r;
    if (lstrcmpiA(lpszCtrlName, kOK) == 0) {
        OnOK();
        return r;
    }
    if (IsBadStringPtrA(lpszCtrlName, 200))
        return r;
    if (lstrcmpiA(lpszCtrlName, kCancel) == 0)
        OnCancel();
    return r;
}

void CConfirmDlg::OnSKUI_OwnerDrawTemplate(HDC hDC)
{
    HFONT font = CreateResFont(10);
    HGDIOBJ old = font ? SelectObject(hDC, font) : NULL;
    SetTextColor(hDC, RGB(255, 255, 255));
    SetBkMode(hDC, TRANSPARENT);
    if (m_szText[0][0]) {
        RECT rc;
        m_area[0].GetRect(&rc);
        if (strchr(m_szText[0], '\n'))
            DrawTextA(hDC, m_szText[0], -1, &rc, 0);  // from the top-left, broken at the line feeds
        else
            DrawTextA(hDC, m_szText[0], -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (m_nStyle == 1)
        m_button[2].EnableWindow(TRUE);
    if (old)
        SelectObject(hDC, old);
    if (font)
        DeleteObject(font);
}

INT_PTR ConfirmBox(HWND hParent, int32_t nTextId, uint32_t nStyle)
{
    return UiNoThrow<INT_PTR>(-1, [&] {
        CConfirmDlg dlg;
        dlg.SetMessage(nTextId, nStyle);
        return dlg.DoModal(hParent);
    });
}

INT_PTR ConfirmBoxEx(HWND hParent, int32_t nTextId, int32_t nTextId2, uint32_t nStyle)
{
    return UiNoThrow<INT_PTR>(-1, [&] {
        CConfirmDlg dlg;
        dlg.SetMessage(nTextId, nTextId2, nStyle);
        return dlg.DoModal(hParent);
    });
}
