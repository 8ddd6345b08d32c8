/* Placement arithmetic shared by the window services (portable). */
#include "ui_layout.h"

#include <limits.h>
#include <math.h>
#include <stdint.h>

static int ClampInt(int64_t v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : (int)v;
}

int UiCenterOffset(int nOuter, int nInner)
{
    // C++ division truncates toward zero, as the window services place windows.
    return (int)(((int64_t)nOuter - nInner) / 2);
}

int UiBevelInset(int nHeight, double dAngle)
{
    double d = (double)nHeight * tan(dAngle) + 0.5;
    if (d != d)  // not a number
        return 0;
    if (d >= (double)INT_MAX)
        return INT_MAX;
    if (d <= (double)INT_MIN)
        return INT_MIN;
    return (int)d;  // truncates toward zero
}

void UiBevelPoints(int nWidth, int nHeight, int d, DWORD dwFlags, POINT pts[5])
{
    const int wd = ClampInt((int64_t)nWidth - d);
    pts[0] = (dwFlags & UI_BEVEL_LT) ? POINT{d, 0} : POINT{0, 0};
    pts[1] = (dwFlags & UI_BEVEL_RT) ? POINT{wd, 0} : POINT{nWidth, 0};
    pts[2] = (dwFlags & UI_BEVEL_RB) ? POINT{wd, nHeight} : POINT{nWidth, nHeight};
    pts[3] = (dwFlags & UI_BEVEL_LB) ? POINT{d, nHeight} : POINT{0, nHeight};
    pts[4] = pts[0];
}

POINT UiCornerOffset(int nCorner, int nWidth, int nHeight, int w, int h)
{
    const int x = ClampInt((int64_t)nWidth - w), y = ClampInt((int64_t)nHeight - h);
    switch (nCorner) {
    case UI_CORNER_RT:
        return POINT{x, 0};
    case UI_CORNER_RB:
        return POINT{x, y};
    case UI_CORNER_LB:
        return POINT{0, y};
    default:
        return POINT{0, 0};
    }
}
