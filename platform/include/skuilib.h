/*
 * SKUILib: the skinned-GUI class library (namespace GUI).  The classes and operations the base
 * library builds its dialogs and windows on.
 *
 * The module derives from these classes, so their layouts and virtual tables are part of its
 * binary interface, pinned below for any compiler in the way of the plug-in interfaces: no
 * virtual destructor (the Itanium ABI spends two slots on one); the destructor's slot is
 * Destroy(flags), bit 0 = free the memory, which every concrete class implements with
 * SKUI_DECLARE_DESTROY (a class that forgets it runs only its base's destructor); the real
 * destructors are public and non-virtual, so members and locals are destroyed as usual; no
 * overloaded virtual names, single inheritance.  Slot N is the N-th declared virtual:
 *
 *   CSKUIWnd        0 Attach  1 Detech  2 ShowWindow  3 Destroy
 *   CSKUIScreen     4 OnInit  5 DoAttachCtrl  6 OnShapeFrame  7 SKUIWndMsgProc
 *                   8 SKUIMessageProc  9 OnSKUI_Command  10 OnSKUI_OwnerDrawTemplate
 *   CSKUIDialogBox  11 OnOK  12 OnCancel  13 OnClose
 *   CWndBase        4 MessageProc
 *
 * The window classes run on Windows' own window system: Windows builds only.  The native build
 * of the stand-in carries the wizard host and the template reader (skui_template.h).
 */
#pragma once
#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "platform_api.h"

#ifdef SKUILIB_BUILD
#define SKUILIB_API MD_DLL_EXPORT
#else
#define SKUILIB_API MD_DLL_IMPORT
#endif

#if defined(_WIN32) && defined(__i386__)
#define SKUI_SLOTCALL __thiscall
#else
#define SKUI_SLOTCALL
#endif

/* The destructor's slot of a concrete class: runs this class's destructor chain and frees the
 * object when bit 0 of flags is set. */
#define SKUI_DECLARE_DESTROY(Class)                                              \
    void *Destroy(uint32_t flags) override                                       \
    {                                                                            \
        this->Class::~Class();                                                   \
        if (flags & 1)                                                           \
            ::operator delete(this);                                             \
        return this;                                                             \
    }

/* Results DoModal gives for the base's own endings. */
#define SKUI_RESULT_OK IDOK          // OnOK
#define SKUI_RESULT_CANCEL IDCANCEL  // OnCancel
#define SKUI_RESULT_CLOSE 8          // OnClose (IDCLOSE)

namespace GUI {

struct SkuiTemplateDef;

/* A window wrapper.  A wrapper finds its window and a window its wrapper through a window
 * property. */
class SKUILIB_API CSKUIWnd {
public:
    CSKUIWnd();
    ~CSKUIWnd();  // destroys a window the object made; lets an attached one go
    /* Wraps an existing window: 0 when hWnd is no window, already has a wrapper, or this object
     * already wraps one. */
    virtual BOOL Attach(HWND hWnd);  // slot 0
    /* Lets the window go without destroying it; returns it (null when there was none).  The
     * library's name for Detach. */
    virtual HWND Detech();                    // slot 1
    virtual BOOL ShowWindow(int nCmdShow);    // slot 2
    virtual void *Destroy(uint32_t flags);    // slot 3: the destructor

    HWND GetSafeHwnd() const;  // null for an object without window
    /* The wrapper of the parent window (a temporary one, owned by the library, when the parent
     * has no wrapper of its own), or null when there is no parent. */
    CSKUIWnd *GetParent() const;
    BOOL EnableWindow(BOOL bEnable);
    BOOL IsWindowVisible() const;
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint);
    void GetClientRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void Invalidate(BOOL bErase);
    void UpdateWindow();
    /* The object wrapping hWnd, or null. */
    static CSKUIWnd *FromHandlePermanent(HWND hWnd);

protected:
    HWND m_hWnd;
    BOOL m_bOwnsWindow;  // made by this object: destroyed with it
};

/* A skinned control: a child window named within its screen, drawn from its state images
 * (0 normal, 1 hover, 2 pressed, 3 disabled).  The name, images, state and tooltip belong to
 * the control's window, so a control made by a screen keeps them whichever object wraps it. */
class SKUILIB_API CSKUICtrl : public CSKUIWnd {
public:
    CSKUICtrl();
    ~CSKUICtrl();
    SKUI_DECLARE_DESTROY(CSKUICtrl)
    /* Keeps its own copy of the image; the caller frees its block right after.  0 for a state
     * outside 0..3, a control without window, or a block that is no DIB; a null block clears
     * the state's image. */
    BOOL SetControlDib(int nState, HGLOBAL hDib);

    /* Makes the control's window: a child of hParent named lpszName (at most 63 characters),
     * at rc in the parent's client coordinates, sending WM_COMMAND with nId when clicked. */
    BOOL Create(LPCSTR lpszName, HWND hParent, const RECT &rc, UINT nId);
    /* Binds this object to the control named lpszName of the screen window hScreen (one the
     * screen made from its template).  0 when there is no such control or it is bound already. */
    BOOL AttachCtrl(HWND hScreen, LPCSTR lpszName);
    LPCSTR GetName() const;  // "" without window
    /* The state drawn (0..3; a state without image draws the state-0 image). */
    int GetState() const;
    void SetState(int nState);
    /* The control's own copy of a state's image (still the control's), or 0. */
    HGLOBAL GetControlDib(int nState) const;
    /* The control named lpszName among the children of hScreen, or null: FindInScreen gives its
     * wrapper (null when it has none), FindCtrlWindow its window. */
    static CSKUICtrl *FindInScreen(HWND hScreen, LPCSTR lpszName);
    static HWND FindCtrlWindow(HWND hScreen, LPCSTR lpszName);
    /* SetControlDib on a control window, wrapped or not. */
    static BOOL SetWindowDib(HWND hCtrl, int nState, HGLOBAL hDib);
};

/* A named rectangle of a screen's template, where the screen's owner draws. */
class SKUILIB_API CSKUIUserDefineArea : public CSKUICtrl {
public:
    CSKUIUserDefineArea();
    ~CSKUIUserDefineArea();
    SKUI_DECLARE_DESTROY(CSKUIUserDefineArea)
    /* Binds the area named lpszName of the screen window hScreen's template; 0 when there is
     * none. */
    BOOL AttachCtrl(HWND hScreen, LPCSTR lpszName);
    /* The area's rectangle in the screen's client coordinates (empty when unbound). */
    void GetRect(LPRECT lpRect) const;

protected:
    RECT m_rcArea;
};

class SKUILIB_API CButton : public CSKUICtrl {
public:
    CButton();
    ~CButton();
    SKUI_DECLARE_DESTROY(CButton)
    /* The text the button shows as its tooltip (kept by the button's window; null or "" removes
     * it).  0 without window. */
    BOOL SetTips(LPCSTR lpszTips);
    /* The tooltip text copied into lpszBuf (nBuf characters with the terminator); its length. */
    int GetTips(LPSTR lpszBuf, int nBuf) const;
};

/* A screen: a window laid out by a UI template (size, background, named controls and areas). */
class SKUILIB_API CSKUIScreen : public CSKUIWnd {
public:
    CSKUIScreen();
    ~CSKUIScreen();
    SKUI_DECLARE_DESTROY(CSKUIScreen)
    /* Base: makes the template's controls in the screen window hWnd (with their state pictures
     * from the image file's folder), then calls DoAttachCtrl.  TRUE. */
    virtual BOOL OnInit(LPCSTR lpszTemplate, HWND hWnd);                                  // slot 4
    virtual BOOL DoAttachCtrl();                                                          // slot 5
    /* Called once the window holding the screen exists, before it is shown.  Base: nothing. */
    virtual void OnShapeFrame();                                                          // slot 6
    /* First look at every message of the screen window: TRUE with *pResult when handled.  Base:
     * FALSE. */
    virtual BOOL SKUIWndMsgProc(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT *pResult);  // slot 7
    /* The screen window's procedure: SKUIWndMsgProc first, then the screen's own handling
     * (painting the background and OnSKUI_OwnerDrawTemplate, control commands). */
    virtual LRESULT SKUIMessageProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);  // slot 8
    /* A control was clicked (lValue: its notification, 0).  Base: TRUE. */
    virtual BOOL OnSKUI_Command(LPCSTR lpszCtrlName, LPARAM lValue);                        // slot 9
    /* Draw over the background of a paint.  Base: nothing. */
    virtual void OnSKUI_OwnerDrawTemplate(HDC hDC);                                         // slot 10

    /* Reads the template lpszTemplate from the layout and image files.  TRUE when both were
     * read; FALSE with the reason in GetUITemplateError() (the screen then has no controls and a
     * default size). */
    BOOL SetUITemplate(LPCSTR lpszTemplate, LPCSTR lpszLayoutFile, LPCSTR lpszImageFile);
    LPCSTR GetUITemplateError() const;
    LPCSTR GetUITemplateName() const;
    /* The template read (null before SetUITemplate or after a failed one). */
    const SkuiTemplateDef *GetUITemplate() const;
    /* The screen's size: the template's, or 320 x 160 without one. */
    SIZE GetScreenSize() const;
    /* Makes the screen's window (hidden) as a child of hParent at (0, 0).  0 on failure. */
    HWND CreateScreen(HWND hParent);

protected:
    struct Impl;
    Impl *m_pImpl;  // template, picture folder, the reasons of failures
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

/* A modal dialog: a screen inside a holding top-level window of the screen's size, centred over
 * its parent (or the screen).  DoModal builds the holder and the screen, calls OnInit (which
 * makes the controls and calls DoAttachCtrl), then OnShapeFrame, shows the holder and then the
 * screen (the screen's WM_SHOWWINDOW), and runs its own message loop until EndDialog. */
class SKUILIB_API CSKUIDialogBox : public GUI::CSKUIScreen {
public:
    CSKUIDialogBox();
    ~CSKUIDialogBox();
    SKUI_DECLARE_DESTROY(CSKUIDialogBox)
    virtual void OnOK();      // slot 11: EndDialog(SKUI_RESULT_OK)
    virtual void OnCancel();  // slot 12: EndDialog(SKUI_RESULT_CANCEL)
    virtual void OnClose();   // slot 13: EndDialog(SKUI_RESULT_CLOSE); also WM_CLOSE of the holder

    /* Runs the dialog; returns the code given to EndDialog, or -1 when the windows cannot be
     * made or the dialog is running already.  The parent is disabled while it runs.  NOTES: a
     * WM_QUIT ends the dialog with SKUI_RESULT_CANCEL and is posted again for the caller's loop. */
    INT_PTR DoModal(HWND hParent);
    /* Ends a running dialog with nCode (DoModal returns once the current message is handled);
     * ignored when no dialog runs. */
    void EndDialog(INT_PTR nCode);
    /* The holding window while the dialog runs, else null. */
    HWND GetFrameHwnd() const;

protected:
    HWND m_hFrame;
    INT_PTR m_nResult;
    BOOL m_bRunning;
    BOOL m_bEnded;
};

/* A plain window whose messages reach the object's MessageProc. */
class SKUILIB_API CWndBase : public GUI::CSKUIWnd {
public:
    CWndBase();
    ~CWndBase();
    SKUI_DECLARE_DESTROY(CWndBase)
    /* Default handling (DefWindowProcA). */
    virtual LRESULT MessageProc(UINT uMsg, WPARAM wParam, LPARAM lParam);  // slot 4

    /* Registers a window class whose windows route to their CWndBase.  Non-zero on success; 0
     * as RegisterClassExA gives it (a class of that name registered already, for one). */
    static BOOL RegisterWndClass(HINSTANCE hInstance, LPCSTR lpszClassName, UINT uStyle, HICON hIcon, HBRUSH hBrush,
                                 HICON hIconSmall);
    /* Makes the window of a class registered by RegisterWndClass and binds it to this object
     * (destroyed with it).  Null on failure or when the object has a window already. */
    HWND Create(LPCSTR lpszClassName, LPCSTR lpszTitle, DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                HWND hParent, HMENU hMenu, HINSTANCE hInstance);
};

/* The layouts the module derives from, for 32- and 64-bit targets alike. */
static_assert(sizeof(GUI::CSKUIWnd) == 3 * sizeof(void *), "CSKUIWnd: table, window, owns-window");
static_assert(sizeof(GUI::CSKUICtrl) == sizeof(GUI::CSKUIWnd), "CSKUICtrl adds no field");
static_assert(sizeof(GUI::CButton) == sizeof(GUI::CSKUIWnd), "CButton adds no field");
static_assert(sizeof(GUI::CSKUIUserDefineArea) == sizeof(GUI::CSKUIWnd) + 16, "area: its rectangle");
static_assert(sizeof(GUI::CSKUIScreen) == 4 * sizeof(void *), "CSKUIScreen: its private part");
static_assert(sizeof(CSKUIDialogBox) == 4 * sizeof(void *) + 2 * sizeof(void *) + 8, "dialog: frame, result, flags");
static_assert(sizeof(CWndBase) == sizeof(GUI::CSKUIWnd), "CWndBase adds no field");
