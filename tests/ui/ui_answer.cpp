#include "ui_answer.h"

#include <string.h>

#include <algorithm>

namespace uitest {

static BoxAnswerer *g_answerer = nullptr;

BoxAnswerer::BoxAnswerer() : m_hook(NULL)
{
    g_answerer = this;
    m_hook = SetWindowsHookExA(WH_CBT, CbtProc, NULL, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    g_answerer = nullptr;
}

void BoxAnswerer::Answer(int nButton, const std::string &file) { m_answers.emplace_back(nButton, file); }

LRESULT CALLBACK BoxAnswerer::CbtProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_ACTIVATE && g_answerer)
        g_answerer->Handle((HWND)wParam);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

static std::string TextOf(HWND h)
{
    char buf[1024] = "";
    if (h)
        GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

void BoxAnswerer::Handle(HWND hWnd)
{
    char cls[64] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 && strcmp(cls, "SKUIMessageBox") != 0)
        return;
    if (std::find(m_handled.begin(), m_handled.end(), hWnd) != m_handled.end())
        return;
    m_handled.push_back(hWnd);
    // Act once the window has finished its set-up (a dialog fills its controls after it is
    // first activated): from a timer that the box's own message loop dispatches.
    SetTimer(hWnd, (UINT_PTR)this, 20, TimerProc);
}

void CALLBACK BoxAnswerer::TimerProc(HWND hWnd, UINT, UINT_PTR id, DWORD)
{
    KillTimer(hWnd, id);
    if (g_answerer && (UINT_PTR)g_answerer == id)
        g_answerer->Press(hWnd);
}

void BoxAnswerer::Press(HWND hWnd)
{
    char cls[64] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    BoxSeen seen;
    seen.windowClass = cls;
    seen.owner = GetWindow(hWnd, GW_OWNER);
    seen.caption = TextOf(hWnd);
    seen.text = TextOf(GetDlgItem(hWnd, 0xFFFF));
    // The file name box: cmb13 in the Explorer-style dialog, edt1 in the old one.  Known Wine
    // divergence: Wine shows the Explorer-style dialog even without OFN_EXPLORER.
    const int fileBox = GetDlgItem(hWnd, 0x47c) ? 0x47c : 0x480;
    seen.fileDialog = GetDlgItem(hWnd, fileBox) != NULL;
    seen.fileName = seen.fileDialog ? TextOf(GetDlgItem(hWnd, fileBox)) : "";
    seen.ownerEnabled = seen.owner && IsWindowEnabled(seen.owner);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    seen.topLeftCut = GetWindowRgn(hWnd, rgn) != ERROR && !PtInRegion(rgn, 0, 0);
    DeleteObject(rgn);
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (GetDlgItem(hWnd, id))
            seen.buttons.push_back(id);
    m_seen.push_back(seen);

    int button;
    std::string file;
    if (!m_answers.empty()) {
        button = m_answers.front().first;
        file = m_answers.front().second;
        m_answers.erase(m_answers.begin());
    } else {
        bool cancel = std::find(seen.buttons.begin(), seen.buttons.end(), IDCANCEL) != seen.buttons.end();
        button = cancel ? IDCANCEL : seen.buttons.empty() ? IDOK : seen.buttons.front();
    }
    if (seen.fileDialog && !file.empty())
        SetDlgItemTextA(hWnd, fileBox, file.c_str());
    PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(hWnd, button));
}

}  // namespace uitest
