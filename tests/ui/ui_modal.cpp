#include "ui_modal.h"

#include <gtest/gtest.h>

#include <map>

namespace uitest {

static std::map<UINT_PTR, ModalDriver *> &Drivers()
{
    static std::map<UINT_PTR, ModalDriver *> m;
    return m;
}

ModalDriver::ModalDriver(CSKUIDialogBox *pDlg, std::vector<std::function<void()>> steps)
    : m_pDlg(pDlg), m_steps(std::move(steps))
{
    m_timer = SetTimer(NULL, 0, 15, Tick);
    Drivers()[m_timer] = this;
}

ModalDriver::~ModalDriver()
{
    KillTimer(NULL, m_timer);
    Drivers().erase(m_timer);
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = Drivers().find(id);
    if (it == Drivers().end())
        return;
    ModalDriver *d = it->second;
    if (!d->m_pDlg->GetFrameHwnd())
        return;
    if (d->m_next < d->m_steps.size()) {
        d->m_steps[d->m_next++]();
        return;
    }
    if (++d->m_idleTicks == 200) {  // about 3 s after the last step
        d->m_stuck = true;
        PostMessageA(d->m_pDlg->GetFrameHwnd(), WM_CLOSE, 0, 0);
    }
}

INT_PTR RunDriven(CSKUIDialogBox *pDlg, std::vector<std::function<void()>> steps, HWND hParent)
{
    ModalDriver drive(pDlg, std::move(steps));
    INT_PTR result = pDlg->DoModal(hParent);
    EXPECT_FALSE(drive.stuck()) << "ended by its steps, not by the driver";
    return result;
}

void PostClick(HWND hScreen, const char *lpszName)
{
    HWND ctrl = GUI::CSKUICtrl::FindCtrlWindow(hScreen, lpszName);
    PostMessageA(ctrl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    PostMessageA(ctrl, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

}  // namespace uitest
