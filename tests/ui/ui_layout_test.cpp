/* Placement arithmetic: centring, bevel insets and points, corner offsets. */
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include <string>

#include "ui_layout.h"

static const double kPi = 3.14159265358979323846;

/* Points as "(x,y)(x,y)...". */
static std::string Points(const POINT *p, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "(" + std::to_string(p[i].x) + "," + std::to_string(p[i].y) + ")";
    return s;
}

TEST(UiLayout, CentringRoundsTowardZero)
{
    EXPECT_EQ(249, UiCenterOffset(800, 301));  // 499 / 2
    EXPECT_EQ(250, UiCenterOffset(800, 300));
    EXPECT_EQ(0, UiCenterOffset(100, 100));
    EXPECT_EQ(-49, UiCenterOffset(100, 199)) << "-99 / 2 toward zero, not -50";
    EXPECT_EQ(-50, UiCenterOffset(100, 200));
    EXPECT_EQ(INT_MAX, UiCenterOffset(INT_MAX, INT_MIN + 1)) << "computed wider than int";
    EXPECT_EQ(1073741824, UiCenterOffset(0, INT_MIN));
}

TEST(UiLayout, BevelInset)
{
    EXPECT_EQ(0, UiBevelInset(100, 0.0));
    EXPECT_EQ(100, UiBevelInset(100, kPi / 4));  // 100 * 0.99999... + 0.5
    EXPECT_EQ(58, UiBevelInset(100, kPi / 6));   // 57.735 + 0.5
    EXPECT_EQ(0, UiBevelInset(0, kPi / 4));
    EXPECT_EQ(0, UiBevelInset(100, -0.004)) << "-0.4 + 0.5 truncates to 0";
    EXPECT_EQ(-57, UiBevelInset(100, -kPi / 6)) << "-57.235 truncates toward zero";
    EXPECT_EQ(INT_MAX, UiBevelInset(100, kPi / 2 - 1e-12));
    EXPECT_EQ(0, UiBevelInset(100, NAN));
}

TEST(UiLayout, BevelPointsFollowTheFlags)
{
    // The top edge runs from (inset, 0) to (W - inset, 0); each flag slants its own corner
    // only; inset 0 is the plain rectangle whatever the flags.  The last point closes the ring.
    const struct Row {
        int inset;
        unsigned flags;
        const char *points;
    } rows[] = {
        {100, UI_BEVEL_LT | UI_BEVEL_RT, "(100,0)(200,0)(300,100)(0,100)(100,0)"},
        {7, UI_BEVEL_RB | UI_BEVEL_LB, "(0,0)(300,0)(293,100)(7,100)(0,0)"},
        {7, 1, "(7,0)(300,0)(300,100)(0,100)(7,0)"},
        {7, 2, "(0,0)(293,0)(300,100)(0,100)(0,0)"},
        {7, 4, "(0,0)(300,0)(293,100)(0,100)(0,0)"},
        {7, 8, "(0,0)(300,0)(300,100)(7,100)(0,0)"},
        {0, 15, "(0,0)(300,0)(300,100)(0,100)(0,0)"},
    };
    for (const Row &r : rows) {
        POINT p[5];
        UiBevelPoints(300, 100, r.inset, r.flags, p);
        EXPECT_EQ(r.points, Points(p, 5)) << "inset " << r.inset << ", flags " << r.flags;
    }
}

TEST(UiLayout, CornerOffsets)
{
    const struct Row {
        int corner, w, h, maskW, maskH;
        const char *at;
    } rows[] = {
        {UI_CORNER_LT, 200, 100, 8, 8, "(0,0)"},  {UI_CORNER_RT, 200, 100, 8, 8, "(192,0)"},
        {UI_CORNER_RB, 200, 100, 8, 6, "(192,94)"}, {UI_CORNER_LB, 200, 100, 8, 8, "(0,92)"},
        {UI_CORNER_RB, 4, 4, 8, 8, "(-4,-4)"},  // a mask larger than the window
    };
    for (const Row &r : rows) {
        POINT p = UiCornerOffset(r.corner, r.w, r.h, r.maskW, r.maskH);
        EXPECT_EQ(r.at, Points(&p, 1)) << r.corner;
    }
}
