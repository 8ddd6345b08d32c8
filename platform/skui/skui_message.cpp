/*
 * The skinned message box: an owned popup window with the UI folder's corner masks cutting its
 * corners, a title band, centred text and skinned buttons; modal to its owner.
 *
 * The caller's three 32-bit values mean, in order:
 *   1  the owner window (a 32-bit window handle, as Windows keeps them; 0 for none)
 *   2  the MB_* type: the buttons (MB_OK .. MB_RETRYCANCEL) and the default one
 *      (MB_DEFBUTTON1 .. 3); other bits are ignored
 *   3  milliseconds after which the box answers with its default button by itself (0: it
 *      waits for the user)
 * SkinShowMessage takes two: the owner and the milliseconds; it shows an OK box.  SkinMessageBoxEx takes the
 * text's first line as the box's caption.  The result is the IDOK .. IDNO value of the button
 * pressed; Escape and the close command (Alt+F4) answer IDCANCEL where there is a Cancel button,
 * IDOK in an OK-only box, and do nothing otherwise.  Tab moves the focus between the buttons (the
 * focused one drawn with a dotted frame), Enter and the space bar press the focused one.  With MEDLEY_SKUI_ANSWER set (ok, cancel, yes, no,
 * abort, retry, ignore or default), each box presses that button itself once shown, for
 * scripted runs; a button the box lacks is ignored.
 *
 * The box's window class is "SKUIMessageBox"; its text is the static control 0xFFFF and its
 * buttons are children whose control ids are the answers, as in the system's message box.
 */
#include <string.h>

#include <string>
#include <vector>

#include "skui.h"
#include "skui_private.h"
#include "ui_blocks.h"

namespace {

const char kBoxClass[] = "SKUIMessageBox";
const int kTextId = 0xFFFF;
const int kTitleHeight = 24;
const int kMargin = 20;
const int kButtonGap = 10;
const UINT_PTR kTimerAnswer = 1;
const COLORREF kBackground = RGB(0xF0, 0xF4, 0xFA);
const COLORREF kTitleBand = RGB(0x28, 0x46, 0x7A);
const COLORREF kBorder = RGB(0x28, 0x46, 0x7A);

struct ButtonSpec {
    int id;
    const char *label;
    const char *word;  // as MEDLEY_SKUI_ANSWER names it
};

const ButtonSpec kOk = {IDOK, "OK", "ok"}, kCancel = {IDCANCEL, "Cancel", "cancel"}, kYes = {IDYES, "&Yes", "yes"},
                 kNo = {IDNO, "&No", "no"}, kAbort = {IDABORT, "&Abort", "abort"}, kRetry = {IDRETRY, "&Retry", "retry"},
                 kIgnore = {IDIGNORE, "&Ignore", "ignore"};

std::vector<ButtonSpec> ButtonsOf(DWORD type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {kOk, kCancel};
    case MB_ABORTRETRYIGNORE:
        return {kAbort, kRetry, kIgnore};
    case MB_YESNOCANCEL:
        return {kYes, kNo, kCancel};
    case MB_YESNO:
        return {kYes, kNo};
    case MB_RETRYCANCEL:
        return {kRetry, kCancel};
    default:
        return {kOk};
    }
}

/* One box while it is up; lives on the caller's stack. */
struct Box {
    HWND hwnd = NULL;
    HWND owner = NULL;
    std::vector<ButtonSpec> buttons;
    int defaultId = IDOK;
    int escapeId = 0;  // 0: Escape does nothing
    int answer = 0;
    bool done = false;
    HFONT font = NULL;
    HBRUSH background = NULL;
    HGLOBAL buttonUp = 0, buttonDown = 0;
    int buttonWidth = 72, buttonHeight = 24;
    std::string caption;
};

void Answer(Box *box, int id)
{
    if (!box->done) {
        box->answer = id;
        box->done = true;
    }
}

void PaintButton(Box *box, const DRAWITEMSTRUCT *di)
{
    const bool down = (di->itemState & ODS_SELECTED) != 0;
    HGLOBAL img = down ? box->buttonDown : box->buttonUp;
    if (img) {
        skui::DrawDibBlock(di->hDC, img, 0, 0);
    } else {
        FillRect(di->hDC, &di->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(di->hDC, (RECT *)&di->rcItem, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
    char label[32];
    GetWindowTextA(di->hwndItem, label, sizeof label);
    RECT rc = di->rcItem;
    if (down)
        OffsetRect(&rc, 1, 1);
    SetBkMode(di->hDC, TRANSPARENT);
    SetTextColor(di->hDC, RGB(0x10, 0x20, 0x40));
    HGDIOBJ old = SelectObject(di->hDC, box->font);
    DrawTextA(di->hDC, label, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(di->hDC, old);
    if (di->itemState & ODS_FOCUS) {
        RECT focus = di->rcItem;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(di->hDC, &focus);
    }
}

void PaintFrame(Box *box, HDC dc)
{
    RECT rc;
    GetClientRect(box->hwnd, &rc);
    FillRect(dc, &rc, box->background);
    RECT band = {0, 0, rc.right, kTitleHeight};
    HBRUSH title = CreateSolidBrush(kTitleBand);
    FillRect(dc, &band, title);
    DeleteObject(title);
    HBRUSH border = CreateSolidBrush(kBorder);
    FrameRect(dc, &rc, border);
    DeleteObject(border);
    band.left += 10;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, box->font);
    DrawTextA(dc, box->caption.c_str(), -1, &band, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT BoxProcBody(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    Box *box = (Box *)GetWindowLongPtrA(hWnd, GWLP_USERDATA);
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA *)lp)->lpCreateParams);
        break;
    case WM_PAINT:
        if (box) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hWnd, &ps);
            PaintFrame(box, dc);
            EndPaint(hWnd, &ps);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_CTLCOLORSTATIC:
        if (box) {
            SetBkColor((HDC)wp, kBackground);
            SetTextColor((HDC)wp, RGB(0x10, 0x20, 0x40));
            return (LRESULT)box->background;
        }
        break;
    case WM_DRAWITEM:
        if (box) {
            PaintButton(box, (const DRAWITEMSTRUCT *)lp);
            return TRUE;
        }
        break;
    case WM_COMMAND:
        if (box) {
            int id = LOWORD(wp);
            for (const ButtonSpec &b : box->buttons)
                if (b.id == id)
                    Answer(box, id);
            if (id == IDCANCEL && box->escapeId)
                Answer(box, box->escapeId);
            return 0;
        }
        break;
    case DM_GETDEFID:
        if (box) {
            // Enter presses the focused button, else the default one.
            HWND f = GetFocus();
            int id = box->defaultId;
            for (const ButtonSpec &b : box->buttons)
                if (f && GetParent(f) == hWnd && GetDlgCtrlID(f) == b.id)
                    id = b.id;
            return MAKELRESULT(id, DC_HASDEFID);
        }
        break;
    case WM_TIMER:
        if (box && wp == kTimerAnswer) {
            KillTimer(hWnd, kTimerAnswer);
            Answer(box, box->defaultId);
            return 0;
        }
        break;
    case WM_CLOSE:
        if (box && box->escapeId)
            Answer(box, box->escapeId);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hWnd, msg, wp, lp);
}

LRESULT CALLBACK BoxProc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return UiNoThrow<LRESULT>(0, [&] { return BoxProcBody(hWnd, msg, wp, lp); });
}

bool RegisterBoxClass()
{
    static bool done = false;
    if (done)
        return true;
    WNDCLASSA wc = {};
    wc.style = CS_DROPSHADOW;
    wc.lpfnWndProc = BoxProc;
    wc.hInstance = GetModuleHandleA("SKUI.dll");
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = kBoxClass;
    done = RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return done;
}

/* The button MEDLEY_SKUI_ANSWER names, if the box has it. */
int ScriptedAnswer(const Box &box)
{
    char word[32];
    DWORD n = GetEnvironmentVariableA("MEDLEY_SKUI_ANSWER", word, sizeof word);
    if (n == 0 || n >= sizeof word)
        return 0;
    if (_stricmp(word, "default") == 0)
        return box.defaultId;
    for (const ButtonSpec &b : box.buttons)
        if (_stricmp(word, b.word) == 0)
            return b.id;
    return 0;
}

HWND OwnerOf(DWORD dwValue)
{
    // Window handles keep their meaning in 32 bits, sign-extended on 64-bit Windows.
    HWND h = (HWND)(LONG_PTR)(LONG)dwValue;
    return (h && IsWindow(h)) ? h : NULL;
}

DWORD RunBox(DWORD dwOwner, DWORD dwType, DWORD dwTimeout, const std::string &caption, const std::string &text)
{
    if (!RegisterBoxClass())
        return 0;
    Box box;
    box.owner = OwnerOf(dwOwner);
    box.buttons = ButtonsOf(dwType);
    size_t def = (dwType & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : (dwType & MB_DEFMASK) == MB_DEFBUTTON3 ? 2 : 0;
    box.defaultId = box.buttons[def < box.buttons.size() ? def : 0].id;
    for (const ButtonSpec &b : box.buttons)
        if (b.id == IDCANCEL)
            box.escapeId = IDCANCEL;
    if (box.buttons.size() == 1)
        box.escapeId = IDOK;
    box.caption = caption;
    box.font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    box.background = CreateSolidBrush(kBackground);
    box.buttonUp = skui::LoadUIDib("SkinBtn_normal.bmp");
    box.buttonDown = skui::LoadUIDib("SkinBtn_down.bmp");
    skui::DibSize(box.buttonUp, &box.buttonWidth, &box.buttonHeight);

    // Measure the text, wrapped at 360 pixels.
    RECT textRc = {0, 0, 360, 0};
    HDC dc = GetDC(NULL);
    HGDIOBJ old = SelectObject(dc, box.font);
    DrawTextA(dc, text.c_str(), -1, &textRc, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    const int n = (int)box.buttons.size();
    const int buttonsWidth = n * box.buttonWidth + (n - 1) * kButtonGap;
    int width = textRc.right + 2 * kMargin;
    if (width < buttonsWidth + 2 * kMargin)
        width = buttonsWidth + 2 * kMargin;
    if (width < 220)
        width = 220;
    const int textHeight = textRc.bottom > 16 ? textRc.bottom : 16;
    const int height = kTitleHeight + kMargin + textHeight + kMargin + box.buttonHeight + kMargin;

    // Centred over the owner, or on the screen.
    RECT over = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (box.owner)
        GetWindowRect(box.owner, &over);
    const int x = over.left + (over.right - over.left - width) / 2, y = over.top + (over.bottom - over.top - height) / 2;

    DWORD result = 0;
    box.hwnd = CreateWindowExA(0, kBoxClass, caption.c_str(),
                               WS_POPUP | WS_CLIPCHILDREN, x, y, width, height, box.owner, NULL,
                               GetModuleHandleA("SKUI.dll"), &box);
    if (box.hwnd) {
        HINSTANCE inst = GetModuleHandleA("SKUI.dll");
        HWND textWnd = CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX,
                                       kMargin, kTitleHeight + kMargin, width - 2 * kMargin, textHeight, box.hwnd,
                                       (HMENU)(INT_PTR)kTextId, inst, NULL);
        SendMessageA(textWnd, WM_SETFONT, (WPARAM)box.font, FALSE);
        int bx = (width - buttonsWidth) / 2;
        const int by = height - kMargin - box.buttonHeight;
        HWND focus = NULL;
        for (const ButtonSpec &b : box.buttons) {
            HWND bw = CreateWindowExA(0, "BUTTON", b.label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, bx, by,
                                      box.buttonWidth, box.buttonHeight, box.hwnd, (HMENU)(INT_PTR)b.id, inst, NULL);
            if (b.id == box.defaultId)
                focus = bw;
            bx += box.buttonWidth + kButtonGap;
        }
        skui::CutUICorners(box.hwnd);

        if (box.owner)
            EnableWindow(box.owner, FALSE);
        if (dwTimeout)
            SetTimer(box.hwnd, kTimerAnswer, dwTimeout, NULL);
        ShowWindow(box.hwnd, SW_SHOW);
        SetForegroundWindow(box.hwnd);
        SetFocus(focus);
        if (int scripted = ScriptedAnswer(box))
            PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(scripted, BN_CLICKED), 0);

        MSG msg;
        while (!box.done) {
            BOOL got = GetMessageA(&msg, NULL, 0, 0);
            if (got == 0) {  // WM_QUIT: hand it on to the caller's loop
                PostQuitMessage((int)msg.wParam);
                break;
            }
            if (got == -1)
                break;
            // The dialog keys: Tab between the buttons, Enter (DM_GETDEFID), Escape (IDCANCEL).
            if (IsDialogMessageA(box.hwnd, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        result = (DWORD)box.answer;
        if (box.owner)
            EnableWindow(box.owner, TRUE);
        KillTimer(box.hwnd, kTimerAnswer);
        DestroyWindow(box.hwnd);
        if (box.owner)
            SetActiveWindow(box.owner);
    }
    DeleteObject(box.font);
    DeleteObject(box.background);
    skui::FreeDib(box.buttonUp);
    skui::FreeDib(box.buttonDown);
    return result;
}

std::string Caption(DWORD dwOwner)
{
    char text[256] = "";
    if (HWND owner = OwnerOf(dwOwner))
        GetWindowTextA(owner, text, sizeof text);
    return text;
}

DWORD SkinMessageBoxExBody(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, LPCSTR lpszText)
{
    std::string all = lpszText ? lpszText : "";
    size_t nl = all.find('\n');
    if (nl == std::string::npos)
        return RunBox(dwValue1, dwValue2, dwValue3, "", all);
    std::string caption = all.substr(0, nl);
    if (!caption.empty() && caption.back() == '\r')
        caption.pop_back();
    return RunBox(dwValue1, dwValue2, dwValue3, caption, all.substr(nl + 1));
}

}  // namespace

void WINAPI SkinShowMessage(DWORD dwValue1, DWORD dwValue2, LPCSTR lpszText)
{
    UiNoThrow<DWORD>(0, [&] { return RunBox(dwValue1, MB_OK, dwValue2, Caption(dwValue1), lpszText ? lpszText : ""); });
}

DWORD WINAPI SkinMessageBox(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, LPCSTR lpszText)
{
    return UiNoThrow<DWORD>(
        0, [&] { return RunBox(dwValue1, dwValue2, dwValue3, Caption(dwValue1), lpszText ? lpszText : ""); });
}

DWORD WINAPI SkinMessageBoxEx(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, LPCSTR lpszText)
{
    return UiNoThrow<DWORD>(0, [&] { return SkinMessageBoxExBody(dwValue1, dwValue2, dwValue3, lpszText); });
}
