/*
 * SKUILib: the skinned-GUI class library (namespace GUI).  The classes and operations the base
 * library builds its dialogs and windows on.
 */
#pragma once
#include <windows.h>

#include <stdint.h>

#include "platform_api.h"

#ifdef SKUILIB_BUILD
#define SKUILIB_API MD_DLL_EXPORT
#else
#define SKUILIB_API MD_DLL_IMPORT
#endif

/* The window and dialog classes are declared here for the base library's dialogs; each takes
 * SKUILIB_API when the stand-in implements it (an exported class must define every member). */
namespace GUI {

class CSKUIWnd {
public:
    CSKUIWnd();
    virtual ~CSKUIWnd();
    HWND GetSafeHwnd() const;
    CSKUIWnd *GetParent() const;
    BOOL EnableWindow(BOOL bEnable);
    BOOL IsWindowVisible() const;
    BOOL ShowWindow(int nCmdShow);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint);
    void GetClientRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void Invalidate(BOOL bErase);
    void UpdateWindow();

protected:
    HWND m_hWnd;
};

class CSKUIScreen : public CSKUIWnd {
public:
    CSKUIScreen();
    ~CSKUIScreen() override;
    BOOL SetUITemplate(LPCSTR lpszTemplate, LPCSTR lpszLayoutFile, LPCSTR lpszImageFile);
};

class CSKUICtrl : public CSKUIWnd {
public:
    CSKUICtrl();
    ~CSKUICtrl() override;
    /* Keeps its own copy of the image; the caller frees its block right after. */
    BOOL SetControlDib(int nState, HGLOBAL hDib);
};

class CSKUIUserDefineArea : public CSKUICtrl {
public:
    void GetRect(LPRECT lpRect) const;
};

class CButton : public CSKUICtrl {
public:
    void SetTips(LPCSTR lpszTips);
};

/* The wizard host object of RunPlugInWizard. */
class SKUILIB_API CSKUIWizard {
public:
    CSKUIWizard();
    ~CSKUIWizard();
    /* How many wizard objects have been constructed and destroyed in this process. */
    static int32_t GetConstructedCount();
    static int32_t GetDestroyedCount();
};

}  // namespace GUI

class CSKUIDialogBox : public GUI::CSKUIScreen {
public:
    CSKUIDialogBox();
    ~CSKUIDialogBox() override;
    INT_PTR DoModal(HWND hParent);
    void EndDialog(INT_PTR nCode);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    virtual BOOL OnInit(LPCSTR lpszTemplate, HWND hWnd);
    virtual BOOL DoAttachCtrl();
    virtual BOOL OnSKUI_Command(LPCSTR lpszCtrlName, LPARAM lValue);
    virtual BOOL SKUIWndMsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT *pResult);
    virtual LRESULT SKUIMessageProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

class CWndBase {
public:
    CWndBase();
    virtual ~CWndBase();
    static BOOL RegisterWndClass(HINSTANCE hInstance, LPCSTR lpszClassName, UINT uStyle, HICON hIcon,
                                 HBRUSH hBrush, HICON hIconSmall);
    HWND Create(LPCSTR lpszClassName, LPCSTR lpszTitle, DWORD dwStyle, int x, int y, int nWidth,
                int nHeight, HWND hParent, HMENU hMenu, HINSTANCE hInstance);
    virtual LRESULT MessageProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    HWND m_hWnd;
};
