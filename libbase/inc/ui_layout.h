/*
 * Placement arithmetic of the window services: where a centred window goes, how far a bevel
 * cuts in, where a corner mask sits.  Portable: plain numbers, no window system involved.
 */
#pragma once
#include <windows.h>

/* Corners, in the order the corner operations take their masks. */
enum UiCorner { UI_CORNER_LT = 0, UI_CORNER_RT = 1, UI_CORNER_RB = 2, UI_CORNER_LB = 3 };

/* Bevel corner flags. */
#define UI_BEVEL_LT 1
#define UI_BEVEL_RT 2
#define UI_BEVEL_RB 4
#define UI_BEVEL_LB 8

/* The offset that centres nInner in nOuter: (nOuter - nInner) / 2, rounded toward zero
 * (negative when the inner one is larger).  Computed without overflow for any int inputs. */
int UiCenterOffset(int nOuter, int nInner);

/* The bevel inset: the integer part, truncated toward zero, of nHeight * tan(dAngle) + 0.5.
 * NOTES: a result outside the int range (an angle near pi/2, not a number) is clamped to it,
 * never undefined. */
int UiBevelInset(int nHeight, double dAngle);

/* The five points of a bevelled window outline of nWidth x nHeight with inset d: P1 = (d, 0)
 * with flag 1 else (0, 0), P2 = (W - d, 0) with flag 2 else (W, 0), P3 = (W - d, H) with flag 4
 * else (W, H), P4 = (d, H) with flag 8 else (0, H), P5 = P1. */
void UiBevelPoints(int nWidth, int nHeight, int d, DWORD dwFlags, POINT pts[5]);

/* Where a corner mask of w x h goes in a window of W x H: top-left (0, 0), top-right
 * (W - w, 0), bottom-right (W - w, H - h), bottom-left (0, H - h). */
POINT UiCornerOffset(int nCorner, int nWidth, int nHeight, int w, int h);
