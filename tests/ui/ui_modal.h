/*
 * Drives a modal dialog from inside its own message loop, as a person would: a thread timer
 * (which the dialog's loop dispatches) runs the script's steps one per tick once the dialog's
 * holding window exists.  Steps post their input (clicks, WM_CLOSE) like the system does.  A
 * dialog still running a while after the last step is closed (WM_CLOSE) and counted as stuck.
 */
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "skuilib.h"

namespace uitest {

class ModalDriver {
public:
    ModalDriver(CSKUIDialogBox *pDlg, std::vector<std::function<void()>> steps);
    ~ModalDriver();
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;
    bool stuck() const { return m_stuck; }
    size_t done() const { return m_next; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    CSKUIDialogBox *m_pDlg;
    std::vector<std::function<void()>> m_steps;
    size_t m_next = 0;
    int m_idleTicks = 0;
    bool m_stuck = false;
    UINT_PTR m_timer;
};

/* Runs pDlg modally over hParent, driven by steps, and returns its result; a run its driver had
 * to close fails the test. */
INT_PTR RunDriven(CSKUIDialogBox *pDlg, std::vector<std::function<void()>> steps, HWND hParent = NULL);

/* Posts a left click (down and up at (3, 3)) to the control named lpszName of the screen. */
void PostClick(HWND hScreen, const char *lpszName);

}  // namespace uitest
