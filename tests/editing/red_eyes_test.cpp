// Red-eye correction: which pixels the ellipse takes (those on it are left alone) and what
// happens to a pixel taken.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editing/red_eyes.h"
#include "support/owned.h"

namespace {

constexpr uint8_t RED[3] = {255, 0, 0};

void fill(Picture& p, const uint8_t colour[3])
{
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int k = 0; k < 3; ++k) picture_line(&p, y)[3 * x + k] = colour[k];
}

bool corrected(const Picture& p, int x, int y)
{
    const uint8_t* px = picture_line(&p, y) + 3 * x;
    return px[0] == 0 && px[1] == 0 && px[2] == 0;  // pure red becomes black
}

// Strictly inside the ellipse of the frame, in integers: dy^2 A + dx^2 B < A B.
bool inside(int i, int line, int w, int h)
{
    const int64_t hw = w / 2, hh = h / 2, a = hw * w / 2, b = hh * h / 2;
    if (a == 0 || b == 0) return true;
    const int64_t dx = i - hw, dy = line - hh;
    return dy * dy * a + dx * dx * b < a * b;
}

TEST(RedEyes, PixelsOnTheEllipseAreLeftAlone)
{
    // 8 x 8: A = B = 16, so (-4, 0) and (0, -4) lie exactly on it. 10 x 6: A = 25, B = 9, with
    // (-5, 0) and (0, -3) on it.
    struct OnEllipse { int w, h, i, line; } on[] = {{8, 8, 0, 4}, {8, 8, 4, 0}, {10, 6, 0, 3}, {10, 6, 5, 0}};
    for (const OnEllipse& o : on) {
        Owned pic;
        ASSERT_TRUE(picture_alloc(&pic.p, PIXEL_RGB, 1, 20, 20));
        fill(pic.p, RED);
        ASSERT_EQ(image_red_eyes(&pic.p, 3, 2, o.w, o.h), STATUS_OK);
        EXPECT_FALSE(corrected(pic.p, 3 + o.i, 2 + o.line)) << o.w << "x" << o.h << " at " << o.i << "," << o.line;
        // Their neighbours towards the centre are inside.
        const int ni = o.i + (o.i < o.w / 2 ? 1 : 0), nl = o.line + (o.line < o.h / 2 ? 1 : 0);
        EXPECT_TRUE(corrected(pic.p, 3 + ni, 2 + nl)) << o.w << "x" << o.h << " at " << ni << "," << nl;
    }
}

TEST(RedEyes, TheWholeFrameFollowsTheInscribedEllipse)
{
    // Odd sizes too, where the constants are truncated: every pixel of the picture is checked.
    for (auto [w, h] : std::vector<std::pair<int, int>>{{8, 8}, {10, 6}, {7, 5}, {9, 13}, {1, 6}, {6, 1}, {2, 2}, {3, 3}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        Owned pic;
        ASSERT_TRUE(picture_alloc(&pic.p, PIXEL_RGB, 4, 16, 16));
        fill(pic.p, RED);
        const int x0 = 2, y0 = 3;
        ASSERT_EQ(image_red_eyes(&pic.p, x0, y0, w, h), STATUS_OK);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool in_frame = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
                ASSERT_EQ(corrected(pic.p, x, y), in_frame && inside(x - x0, y - y0, w, h)) << x << "," << y;
            }
    }
}

TEST(RedEyes, AFramePartlyOutsideIsClippedBeforeTheEllipseIsInscribed)
{
    Owned pic;
    ASSERT_TRUE(picture_alloc(&pic.p, PIXEL_RGB, 1, 10, 10));
    fill(pic.p, RED);
    // Asked: (-4, -4) 12 x 12; clipped: (0, 0) 8 x 8, whose ellipse leaves (0, 4) alone.
    ASSERT_EQ(image_red_eyes(&pic.p, -4, -4, 12, 12), STATUS_OK);
    EXPECT_FALSE(corrected(pic.p, 0, 4));
    EXPECT_TRUE(corrected(pic.p, 1, 4));
    EXPECT_TRUE(corrected(pic.p, 4, 4));
    EXPECT_FALSE(corrected(pic.p, 8, 4));  // outside the clipped frame
}

TEST(RedEyes, WhatATakenPixelBecomes)
{
    struct Case { uint8_t in[3], out[3]; } cases[] = {
        {{255, 0, 0}, {0, 0, 0}},          // both tests pass, then all lowered
        {{220, 160, 130}, {220, 160, 130}}, // skin: r' = 112 < 142
        {{120, 40, 40}, {32, 32, 32}},      // dark red
        {{100, 60, 50}, {55, 60, 50}},      // r' = 51 >= 42 but < 60: red replaced, nothing lowered
        {{20, 4, 6}, {0, 0, 0}},            // lowered to zero, never below
        {{60, 49, 200}, {60, 49, 200}},     // r' = 30 < 49 - 18: unchanged
    };
    for (const Case& c : cases) {
        Owned pic;
        ASSERT_TRUE(picture_alloc(&pic.p, PIXEL_RGB, 1, 1, 1));
        for (int k = 0; k < 3; ++k) pic.p.data[k] = c.in[k];
        ASSERT_EQ(image_red_eyes(&pic.p, 0, 0, 1, 1), STATUS_OK);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(pic.p.data[k], c.out[k]) << int{c.in[0]} << "," << int{c.in[1]} << "," << int{c.in[2]};
    }
    Owned grey;
    ASSERT_TRUE(picture_alloc(&grey.p, PIXEL_GREY, 1, 4, 4));
    EXPECT_EQ(image_red_eyes(&grey.p, 0, 0, 4, 4), STATUS_BAD_PARAMETER);
}

}  // namespace
