/* Placement arithmetic: centring, bevel insets and points, corner offsets. */
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include "ui_layout.h"

static const double kPi = 3.14159265358979323846;

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
    POINT p[5];
    UiBevelPoints(300, 100, 100, UI_BEVEL_LT | UI_BEVEL_RT, p);
    EXPECT_EQ(100, p[0].x);
    EXPECT_EQ(0, p[0].y);
    EXPECT_EQ(200, p[1].x);  // the top edge runs from (100, 0) to (W - 100, 0)
    EXPECT_EQ(0, p[1].y);
    EXPECT_EQ(300, p[2].x);
    EXPECT_EQ(100, p[2].y);
    EXPECT_EQ(0, p[3].x);
    EXPECT_EQ(100, p[3].y);
    EXPECT_EQ(p[0].x, p[4].x);
    EXPECT_EQ(p[0].y, p[4].y);

    UiBevelPoints(300, 100, 7, UI_BEVEL_RB | UI_BEVEL_LB, p);
    EXPECT_EQ(0, p[0].x);
    EXPECT_EQ(300, p[1].x);
    EXPECT_EQ(293, p[2].x);
    EXPECT_EQ(7, p[3].x);

    // Each flag slants its own corner only.
    const POINT one[4][4] = {{{7, 0}, {300, 0}, {300, 100}, {0, 100}},
                             {{0, 0}, {293, 0}, {300, 100}, {0, 100}},
                             {{0, 0}, {300, 0}, {293, 100}, {0, 100}},
                             {{0, 0}, {300, 0}, {300, 100}, {7, 100}}};
    for (int bit = 0; bit < 4; ++bit) {
        UiBevelPoints(300, 100, 7, 1u << bit, p);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(one[bit][i].x, p[i].x) << "flag " << (1 << bit) << " point " << i;
            EXPECT_EQ(one[bit][i].y, p[i].y) << "flag " << (1 << bit) << " point " << i;
        }
    }

    UiBevelPoints(300, 100, 0, 15, p);  // angle 0: the plain rectangle whatever the flags
    const POINT rect[5] = {{0, 0}, {300, 0}, {300, 100}, {0, 100}, {0, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rect[i].x, p[i].x) << i;
        EXPECT_EQ(rect[i].y, p[i].y) << i;
    }
}

TEST(UiLayout, CornerOffsets)
{
    POINT p = UiCornerOffset(UI_CORNER_LT, 200, 100, 8, 8);
    EXPECT_EQ(0, p.x);
    EXPECT_EQ(0, p.y);
    p = UiCornerOffset(UI_CORNER_RT, 200, 100, 8, 8);
    EXPECT_EQ(192, p.x);
    EXPECT_EQ(0, p.y);
    p = UiCornerOffset(UI_CORNER_RB, 200, 100, 8, 6);
    EXPECT_EQ(192, p.x);
    EXPECT_EQ(94, p.y);
    p = UiCornerOffset(UI_CORNER_LB, 200, 100, 8, 8);
    EXPECT_EQ(0, p.x);
    EXPECT_EQ(92, p.y);
    p = UiCornerOffset(UI_CORNER_RB, 4, 4, 8, 8);  // a mask larger than the window
    EXPECT_EQ(-4, p.x);
    EXPECT_EQ(-4, p.y);
}
