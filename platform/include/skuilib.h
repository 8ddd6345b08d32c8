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

/* A window wrapper.  The window classes below are Windows-only (they run on Windows' own window
 * system); the native build of the stand-in carries only the wizard host. */
class SKUILIB_API CSKUIWnd {
public:
    CSKUIWnd();
    virtual ~CSKUIWnd();
    HWND GetSafeHwnd() const;  // null for an object without window
    /* The wrapper of the parent window (a temporary one, owned by the library, when the parent
     * has no wrapper of its own), or null when there is no parent. */
    CSKUIWnd *GetParent() const;
    BOOL EnableWindow(BOOL bEnable);
    BOOL IsWindowVisible() const;
    BOOL ShowWindow(int nCmdShow);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint);
    void GetClientRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void Invalidate(BOOL bErase);
    void UpdateWindow();

    /* Wraps an existing window (0 when hWnd is no window or this object already wraps one);
     * Detach lets it go without destroying it. */
    BOOL Attach(HWND hWnd);
    HWND Detach();
    /* The object wrapping hWnd, or null. */
    static CSKUIWnd *FromHandlePermanent(HWND hWnd);

protected:
    HWND m_hWnd;
    BOOL m_bOwnsWindow;  // made by this object: destroyed with it
};

class CSKUIScreen : public CSKUIWnd {
public:
    CSKUIScreen();
    ~CSKUIScreen() override;
    BOOL SetUITemplate(LPCSTR lpszTemplate, LPCSTR lpszLayoutFile, LPCSTR lpszImageFile);
};

/* A skinned control: a child window named within its screen, drawn from its state images
 * (0 normal, 1 hover, 2 pressed, 3 disabled). */
class SKUILIB_API CSKUICtrl : public CSKUIWnd {
public:
    CSKUICtrl();
    ~CSKUICtrl() override;
    /* Keeps its own copy of the image; the caller frees its block right after.  0 for a state
     * outside 0..3 or a block that is no DIB; a null block clears the state's image. */
    BOOL SetControlDib(int nState, HGLOBAL hDib);

    /* Makes the control's window: a child of hParent named lpszName (at most 63 characters),
     * at rc in the parent's client coordinates, sending WM_COMMAND with nId when clicked. */
    BOOL Create(LPCSTR lpszName, HWND hParent, const RECT &rc, UINT nId);
    LPCSTR GetName() const { return m_szName; }
    /* The state drawn (0..3; a state without image draws the state-0 image). */
    int GetState() const { return m_nState; }
    void SetState(int nState);
    /* The control's own copy of a state's image (still the control's), or 0. */
    HGLOBAL GetControlDib(int nState) const;
    /* The control named lpszName among the children of hScreen, or null. */
    static CSKUICtrl *FindInScreen(HWND hScreen, LPCSTR lpszName);

protected:
    char m_szName[64];
    HGLOBAL m_hStateDib[4];
    int m_nState;
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
