/*
 * Answers message boxes and the open dialog for the tests, so the UI runs without a person.
 *
 * While a BoxAnswerer lives, a WH_CBT hook on the thread watches windows being activated; each
 * system message box or dialog ("#32770") and each skinned box ("SKUIMessageBox") is, a moment
 * later (a timer its own message loop dispatches), recorded (owner, caption, text, buttons)
 * and answered with the next queued answer: the button is
 * pressed by posting WM_COMMAND, after typing the queued file name into a file dialog's name
 * box.  With no answer queued, Cancel is pressed where there is one, else the first button.
 */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace uitest {

struct BoxSeen {
    std::string windowClass;
    HWND owner;
    std::string caption;
    std::string text;          // the message (control 0xFFFF); "" for a file dialog
    std::vector<int> buttons;  // IDOK .. IDNO present, in that order
    bool fileDialog;
    std::string fileName;  // a file dialog's name box as it was offered
    bool ownerEnabled;  // while the box was up
    bool topLeftCut;    // the window has a region without its top-left pixel
};

class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer &) = delete;
    BoxAnswerer &operator=(const BoxAnswerer &) = delete;

    void Answer(int nButton, const std::string &file = "");
    const std::vector<BoxSeen> &seen() const { return m_seen; }

private:
    static LRESULT CALLBACK CbtProc(int nCode, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
    void Handle(HWND hWnd);
    void Press(HWND hWnd);

    HHOOK m_hook;
    std::vector<std::pair<int, std::string>> m_answers;
    std::vector<HWND> m_handled;
    std::vector<BoxSeen> m_seen;
};

}  // namespace uitest
