/*
 * The confirmation dialog: a message from the string table drawn into the "w_message1" area of
 * the UI template "zelkova_mms" ("udf_medley.ui", "img_medley.ui"), with the buttons "b_Exit",
 * "b_OK" and "b_Cancel", on a holding window whose corners the UI folder's default masks cut.
 * Windows' window system only (libbase/ui/).
 *
 * Styles (m_nStyle): 0 OK style: the one usable answer is "b_Cancel" dressed as OK, "b_OK" stays
 * disabled (its disabled picture "invalid.bmp"); 4 Yes/No style before its pictures are set;
 * 1 Yes/No style with its pictures set ("b_OK" is Yes, "b_Cancel" is No).  DoModal gives
 * SKUI_RESULT_OK for "b_OK", SKUI_RESULT_CANCEL for "b_Cancel", SKUI_RESULT_CLOSE for "b_Exit"
 * (or the holder's WM_CLOSE), and 0 after CloseDialog.
 */
#pragma once
#include <windows.h>

#include <stdint.h>

#include "skuilib.h"

class CConfirmDlg : public CSKUIDialogBox {
public:
    /* Reads the template from the UI folder; style 0, both texts empty. */
    CConfirmDlg();
    ~CConfirmDlg();
    SKUI_DECLARE_DESTROY(CConfirmDlg)  // slot 3

    /* Base first; then the tooltip of "b_Exit" (string 89) and "b_OK" disabled. */
    BOOL OnInit(LPCSTR lpszTemplate, HWND hWnd) override;  // slot 4
    /* Base first; then binds "w_message1", "b_Exit", "b_OK", "b_Cancel", in that order. */
    BOOL DoAttachCtrl() override;  // slot 5
    /* Cuts the holding window's corners with the UI folder's default masks. */
    void OnShapeFrame() override;  // slot 6
    /* On the screen being shown: the pictures of the style (Yes/No style once: 4 becomes 1);
     * every message then goes to the screen's own handler. */
    BOOL SKUIWndMsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT *pResult) override;  // slot 7
    /* Base first; then "b_Exit", "b_OK", "b_Cancel" in any letter case end the dialog through
     * OnClose, OnOK, OnCancel.  NOTES: a name that is not a readable string of up to 200
     * characters stops the handling. */
    BOOL OnSKUI_Command(LPCSTR lpszCtrlName, LPARAM lValue) override;  // slot 9
    /* Draws the message in white, the dialog font of size 10: centred on one line, or from the
     * area's top-left when it holds a line feed; in style 1 enables "b_OK". */
    void OnSKUI_OwnerDrawTemplate(HDC hDC) override;  // slot 10

    /* The message: string nTextId (cut to 259 characters when longer) and the style.  The
     * second form also loads string nTextId2, which is kept and not shown. */
    void SetMessage(int32_t nTextId, uint32_t nStyle);
    void SetMessage(int32_t nTextId, int32_t nTextId2, uint32_t nStyle);
    /* Ends the running dialog with 0. */
    void CloseDialog();

    LPCSTR GetText(int nIndex) const { return nIndex == 1 ? m_szText[1] : m_szText[0]; }
    uint32_t GetStyle() const { return m_nStyle; }

protected:
    void SetStyleImages(bool bYesNo);

    char m_szText[2][260];
    uint32_t m_nStyle;
    GUI::CSKUIUserDefineArea m_area[2];  // the first bound to "w_message1"
    GUI::CButton m_button[3];            // "b_Exit", "b_Cancel", "b_OK"
};

#define CONFIRM_STYLE_OK 0
#define CONFIRM_STYLE_YESNO 4

/* Builds the dialog, sets the message (one or two string ids) and style, runs it over hParent
 * and returns DoModal's result. */
INT_PTR ConfirmBox(HWND hParent, int32_t nTextId, uint32_t nStyle);
INT_PTR ConfirmBoxEx(HWND hParent, int32_t nTextId, int32_t nTextId2, uint32_t nStyle);

static_assert(sizeof(CConfirmDlg) == sizeof(CSKUIDialogBox) + 520 + 4 + 2 * sizeof(GUI::CSKUIUserDefineArea) +
                                         3 * sizeof(GUI::CButton) + (sizeof(void *) == 8 ? 4 : 0),
              "CConfirmDlg: texts, style, areas, buttons");
