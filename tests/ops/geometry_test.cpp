#include <gtest/gtest.h>

#include <cmath>

#include "ops/geometry.h"
#include "ops/pixel_dispatch.h"
#include "picture_testing.h"

namespace {

std::string describe(const TypeCase& t, int w, int h)
{
    return "type " + std::to_string(t.type) + "/" + std::to_string(t.bits) + " " + std::to_string(w) + "x" + std::to_string(h);
}

const int kSizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {7, 5}, {33, 17}, {64, 3}};

TEST(Flip, WholePictureMirrorsEveryTypeAndSize)
{
    for (const TypeCase& t : all_type_cases())
        for (const auto& s : kSizes) {
            SCOPED_TRACE(describe(t, s[0], s[1]));
            Owned src, h, v;
            make_patterned(src, t.type, s[0], s[1], t.bits);
            ASSERT_EQ(image_flip_horizontal(&src.p, &h.p, nullptr), STATUS_OK);
            ASSERT_EQ(image_flip_vertical(&src.p, &v.p, nullptr), STATUS_OK);
            ASSERT_EQ(h.p.bits_per_component, src.p.bits_per_component);
            for (int y = 0; y < s[1]; ++y)
                for (int x = 0; x < s[0]; ++x) {
                    ASSERT_EQ(pixel_at(h.p, x, y), pixel_at(src.p, s[0] - 1 - x, y)) << x << "," << y;
                    ASSERT_EQ(pixel_at(v.p, x, y), pixel_at(src.p, x, s[1] - 1 - y)) << x << "," << y;
                }
            if (src.p.colour_map) {
                EXPECT_EQ(std::memcmp(h.p.colour_map, src.p.colour_map, COLOUR_MAP_BYTES), 0);
            }
            EXPECT_EQ(h.p.x_dpi, 300);
        }
}

TEST(Flip, RectangleMirrorsOnlyItsInsideAndIsClipped)
{
    for (const TypeCase& t : all_type_cases()) {
        SCOPED_TRACE(describe(t, 21, 13));
        Owned src, h, v;
        make_patterned(src, t.type, 21, 13, t.bits);
        const Rect r{-4, 3, 15, 100};  // clipped to x 0..10, y 3..12
        ASSERT_EQ(image_flip_horizontal(&src.p, &h.p, &r), STATUS_OK);
        ASSERT_EQ(image_flip_vertical(&src.p, &v.p, &r), STATUS_OK);
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 21; ++x) {
                const bool in = x <= 10 && y >= 3;
                ASSERT_EQ(pixel_at(h.p, x, y), pixel_at(src.p, in ? 10 - x : x, y)) << x << "," << y;
                ASSERT_EQ(pixel_at(v.p, x, y), pixel_at(src.p, x, in ? 15 - y : y)) << x << "," << y;
            }
    }
}

TEST(Flip, MirroredRunsOfEveryLengthAndWidth)
{
    // The common widths move several pixels a step: every remainder must come out right.
    for (int n : {1, 2, 3, 4, 6, 8})
        for (int64_t count = 0; count <= 21; ++count) {
            std::vector<uint8_t> from(static_cast<size_t>(count * n) + 1), to(from.size(), 0xEE);
            for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 37 + 1);
            pixels_reverse(to.data(), from.data(), count, n);
            for (int64_t i = 0; i < count; ++i)
                for (int b = 0; b < n; ++b) ASSERT_EQ(to[i * n + b], from[(count - 1 - i) * n + b]) << n << " " << count;
            EXPECT_EQ(to.back(), 0xEE) << "wrote past the run";
        }
}

TEST(Flip, InPlaceReplacesTheSourceAndTwiceRestoresIt)
{
    Owned src, original;
    make_patterned(src, PIXEL_RGB, 11, 6);
    ASSERT_EQ(picture_clone(&src.p, &original.p), 0);
    ASSERT_EQ(image_flip_horizontal(&src.p, nullptr, nullptr), STATUS_OK);
    EXPECT_FALSE(same_pixels(src.p, original.p));
    ASSERT_EQ(image_flip_horizontal(&src.p, nullptr, nullptr), STATUS_OK);
    EXPECT_TRUE(same_pixels(src.p, original.p));
}

TEST(Rotate, QuarterTurnsMoveEveryPixelOfEveryType)
{
    // Padding 1 leaves no spare byte after a line's last pixel, where wider reads would overrun.
    for (int padding : {1, 4}) {
        for (const TypeCase& t : all_type_cases())
            for (const auto& s : kSizes) {
                SCOPED_TRACE(describe(t, s[0], s[1]) + " padding " + std::to_string(padding));
                const int w = s[0], h = s[1];
                Owned src, cw, ccw, half;
                make_patterned(src, t.type, w, h, t.bits, padding);
                ASSERT_EQ(image_rotate_90(&src.p, &cw.p, 90), STATUS_OK);
                ASSERT_EQ(image_rotate_90(&src.p, &ccw.p, -90), STATUS_OK);
                ASSERT_EQ(image_rotate_180(&src.p, &half.p), STATUS_OK);
                ASSERT_EQ(cw.p.width, h);
                ASSERT_EQ(cw.p.height, w);
                for (int r = 0; r < w; ++r)
                    for (int c = 0; c < h; ++c) {
                        ASSERT_EQ(pixel_at(cw.p, c, r), pixel_at(src.p, r, h - 1 - c));
                        ASSERT_EQ(pixel_at(ccw.p, c, r), pixel_at(src.p, w - 1 - r, c));
                    }
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) ASSERT_EQ(pixel_at(half.p, x, y), pixel_at(src.p, w - 1 - x, h - 1 - y));
            }
    }
}

TEST(Rotate, AnglesPickTheirTurn)
{
    Owned src, a, b;
    make_patterned(src, PIXEL_RGB, 5, 3);
    struct Case { int angle; int direction; } quarter[] = {{90, 90}, {-270, 90}, {-90, -90}, {270, -90}};
    for (const auto& c : quarter) {
        Owned got, want;
        ASSERT_EQ(image_rotate(&src.p, &got.p, c.angle, nullptr), STATUS_OK);
        ASSERT_EQ(image_rotate_90(&src.p, &want.p, c.direction), STATUS_OK);
        EXPECT_TRUE(same_pixels(got.p, want.p)) << c.angle;
    }
    for (int angle : {0, 360, -360, 720}) {
        Owned copy;
        ASSERT_EQ(image_rotate(&src.p, &copy.p, angle, nullptr), STATUS_OK);
        EXPECT_TRUE(same_pixels(copy.p, src.p)) << angle;
    }
    // 450 is no quarter-turn value: it takes the any-angle path, which lands on the same pixels.
    ASSERT_EQ(image_rotate(&src.p, &a.p, 450, nullptr), STATUS_OK);
    ASSERT_EQ(image_rotate_90(&src.p, &b.p, 90), STATUS_OK);
    EXPECT_TRUE(same_pixels(a.p, b.p));
}

// A bottom-up picture with the same displayed content as `top`.
void bottom_up_twin(const Picture& top, Owned& twin)
{
    ASSERT_EQ(picture_clone(&top, &twin.p), 0);
    twin.p.origin = PICTURE_ORIGIN_BOTTOM;
    for (int y = 0; y < top.height; ++y)
        std::memcpy(picture_line(&twin.p, top.height - 1 - y), picture_line(&top, y), static_cast<size_t>(top.bytes_per_line));
}

TEST(Rotate, BottomUpPicturesTurnTheSameWayAsShown)
{
    for (uint32_t type : {PIXEL_RGB, PIXEL_BINARY})
        for (int angle : {90, -90, 270, -270, 180, 30, -45, 450}) {
            SCOPED_TRACE("type " + std::to_string(type) + " angle " + std::to_string(angle));
            Owned top, bottom, a, b;
            make_patterned(top, type, 9, 5);
            bottom_up_twin(top.p, bottom);
            ASSERT_EQ(image_rotate(&top.p, &a.p, angle, nullptr), STATUS_OK);
            ASSERT_EQ(image_rotate(&bottom.p, &b.p, angle, nullptr), STATUS_OK);
            ASSERT_EQ(b.p.origin, PICTURE_ORIGIN_BOTTOM);
            ASSERT_EQ(a.p.width, b.p.width);
            ASSERT_EQ(a.p.height, b.p.height);
            for (int y = 0; y < a.p.height; ++y)
                for (int x = 0; x < a.p.width; ++x) ASSERT_EQ(shown_at(a.p, x, y), shown_at(b.p, x, y)) << x << "," << y;
        }
}

TEST(Rotate, BilevelTilesMatchTheBitByBitTurnsAndLeaveClearPadding)
{
    const int sizes[][2] = {{1, 1}, {31, 33}, {32, 32}, {65, 7}, {100, 40}, {3, 70}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(describe({PIXEL_BINARY, 1}, s[0], s[1]));
        Owned src;
        make_patterned(src, PIXEL_BINARY, s[0], s[1], 1, 4);
        ASSERT_TRUE(bilevel_tiles_apply(&src.p));
        for (int angle : {90, -90, 180}) {
            Owned tiles, bits;
            ASSERT_EQ(image_rotate(&src.p, &tiles.p, angle, nullptr), STATUS_OK);
            ASSERT_EQ(angle == 180 ? image_rotate_180(&src.p, &bits.p) : image_rotate_90(&src.p, &bits.p, angle), STATUS_OK);
            ASSERT_EQ(picture_data_size(&tiles.p), picture_data_size(&bits.p));
            EXPECT_EQ(std::memcmp(tiles.p.data, bits.p.data, picture_data_size(&bits.p)), 0) << angle;
            for (int y = 0; y < tiles.p.height; ++y)
                for (int x = tiles.p.width; x < tiles.p.bytes_per_line * 8; ++x)
                    ASSERT_EQ(bit_get(picture_line(&tiles.p, y), x), 0) << "padding bit " << x;
        }
    }
    Owned narrow;  // padding 1: no whole words, the generic turn
    make_patterned(narrow, PIXEL_BINARY, 12, 3, 1, 1);
    EXPECT_FALSE(bilevel_tiles_apply(&narrow.p));
    EXPECT_EQ(bilevel_rotate_90_tiles(&narrow.p, nullptr, 90), STATUS_BAD_PARAMETER);
}

TEST(RotateAny, FortyFiveDegreesGivesTheBoundingBoxAndBackground)
{
    Owned src;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_RGB, 4, 100, 100), 1);
    std::memset(src.p.data, 200, picture_data_size(&src.p));
    const uint8_t blue[3] = {0, 0, 255};
    Owned plain, filled;
    ASSERT_EQ(image_rotate_any(&src.p, &plain.p, 45, nullptr), STATUS_OK);
    ASSERT_EQ(image_rotate_any(&src.p, &filled.p, 45, blue), STATUS_OK);
    EXPECT_EQ(plain.p.width, 141);
    EXPECT_EQ(plain.p.height, 141);
    const int corners[][2] = {{0, 0}, {140, 0}, {0, 140}, {140, 140}};
    for (const auto& c : corners) {
        EXPECT_EQ(pixel_at(plain.p, c[0], c[1]), std::vector<uint8_t>({0, 0, 0}));
        EXPECT_EQ(pixel_at(filled.p, c[0], c[1]), std::vector<uint8_t>({0, 0, 255}));
    }
    EXPECT_EQ(pixel_at(filled.p, 70, 70), std::vector<uint8_t>({200, 200, 200}));
    // The turned square's tips reach the middle of each side.
    EXPECT_EQ(pixel_at(filled.p, 70, 1), std::vector<uint8_t>({200, 200, 200}));
    EXPECT_EQ(pixel_at(filled.p, 139, 70), std::vector<uint8_t>({200, 200, 200}));
}

TEST(RotateAny, ZeroAndQuarterAnglesAreExactAndBilevelKeepsItsBits)
{
    for (const TypeCase& t : all_type_cases()) {
        SCOPED_TRACE(describe(t, 13, 6));
        Owned src, zero, quarter, want;
        make_patterned(src, t.type, 13, 6, t.bits);
        ASSERT_EQ(image_rotate_any(&src.p, &zero.p, 0, nullptr), STATUS_OK);
        EXPECT_TRUE(same_pixels(zero.p, src.p));
        ASSERT_EQ(image_rotate_any(&src.p, &quarter.p, -90, nullptr), STATUS_OK);
        ASSERT_EQ(image_rotate_90(&src.p, &want.p, -90), STATUS_OK);
        EXPECT_TRUE(same_pixels(quarter.p, want.p));
    }
    Owned black, white;
    ASSERT_EQ(picture_alloc(&black.p, PIXEL_BINARY, 4, 40, 20), 1);  // all black
    const uint8_t set = 1;
    ASSERT_EQ(image_rotate_any(&black.p, &white.p, 30, &set), STATUS_OK);
    EXPECT_EQ(bit_get(picture_line(&white.p, 0), 0), 1);  // background corner
    EXPECT_EQ(bit_get(picture_line(&white.p, white.p.height / 2), white.p.width / 2), 0);
}

TEST(RotateAny, EveryWrittenPixelComesFromInsideTheSource)
{
    // A picture of one colour on a background of another: no pixel of neither may appear.
    Owned src;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_GREY, 1, 37, 23), 1);
    std::memset(src.p.data, 90, picture_data_size(&src.p));
    const uint8_t background = 10;
    for (double angle : {1.0, 17.5, 45.0, 89.9, 133.0, 181.0, 270.5, -33.3}) {
        Owned out;
        ASSERT_EQ(image_rotate_any(&src.p, &out.p, angle, &background), STATUS_OK);
        int inside = 0;
        for (int y = 0; y < out.p.height; ++y)
            for (int x = 0; x < out.p.width; ++x) {
                const uint8_t v = picture_line(&out.p, y)[x];
                ASSERT_TRUE(v == 90 || v == 10) << angle;
                inside += v == 90;
            }
        EXPECT_NEAR(inside, 37 * 23, 37 * 23 * 0.1) << angle;
    }
}

TEST(Crop, ClipsToThePictureAndKeepsEveryType)
{
    for (const TypeCase& t : all_type_cases()) {
        SCOPED_TRACE(describe(t, 30, 10));
        Owned src, out;
        make_patterned(src, t.type, 30, 10, t.bits);
        const Rect r{-5, 7, 19, 50};  // x 0..13, y 7..9
        ASSERT_EQ(image_crop(&src.p, &out.p, &r), STATUS_OK);
        ASSERT_EQ(out.p.width, 14);
        ASSERT_EQ(out.p.height, 3);
        ASSERT_EQ(out.p.bits_per_component, src.p.bits_per_component);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 14; ++x) ASSERT_EQ(pixel_at(out.p, x, y), pixel_at(src.p, x, 7 + y));
    }
}

TEST(Crop, BilevelBitsAtAnyOffset)
{
    Owned src;
    make_patterned(src, PIXEL_BINARY, 45, 4, 1, 1);
    for (int x = 0; x < 45; x += 3)
        for (int w : {1, 7, 8, 9, 30}) {
            Owned out;
            const Rect r{x, 1, w, 2};
            ASSERT_EQ(image_crop(&src.p, &out.p, &r), STATUS_OK);
            for (int y = 0; y < 2; ++y)
                for (int i = 0; i < out.p.width; ++i) ASSERT_EQ(pixel_at(out.p, i, y), pixel_at(src.p, x + i, 1 + y));
        }
}

TEST(Crop, BottomUpTakesTheSameShownRegion)
{
    Owned top, bottom, a, b;
    make_patterned(top, PIXEL_RGB, 20, 12);
    bottom_up_twin(top.p, bottom);
    const Rect r{3, 2, 10, 5};
    ASSERT_EQ(image_crop(&top.p, &a.p, &r), STATUS_OK);
    ASSERT_EQ(image_crop(&bottom.p, &b.p, &r), STATUS_OK);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(shown_at(b.p, x, y), shown_at(a.p, x, y));
            ASSERT_EQ(shown_at(a.p, x, y), shown_at(top.p, 3 + x, 2 + y));
        }
}

TEST(PictureCopy, WholeOrRectangleOfStoredLines)
{
    Owned src, whole, part;
    make_patterned(src, PIXEL_COLORS, 10, 8);
    src.p.origin = PICTURE_ORIGIN_BOTTOM;
    EXPECT_EQ(picture_copy(&src.p, nullptr, nullptr), STATUS_OK);  // nothing to do
    ASSERT_EQ(picture_copy(&src.p, &whole.p, nullptr), STATUS_OK);
    EXPECT_TRUE(same_pixels(whole.p, src.p));
    EXPECT_EQ(std::memcmp(whole.p.colour_map, src.p.colour_map, COLOUR_MAP_BYTES), 0);
    const Rect r{2, 1, 3, 2};
    ASSERT_EQ(picture_copy(&src.p, &part.p, &r), STATUS_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) ASSERT_EQ(pixel_at(part.p, x, y), pixel_at(src.p, 2 + x, 1 + y));
    ASSERT_EQ(picture_copy(&src.p, nullptr, &r), STATUS_OK);  // in place
    EXPECT_TRUE(same_pixels(src.p, part.p));
}

TEST(GeometryFailures, LeaveTheSourceAndDestinationUntouched)
{
    const Rect outside{100, 0, 10, 10}, empty{0, 0, 0, 5}, left{-20, 0, 20, 5};
    for (const TypeCase& t : all_type_cases()) {
        SCOPED_TRACE(describe(t, 8, 6));
        Owned src;
        make_patterned(src, t.type, 8, 6, t.bits);
        const std::vector<uint8_t> before = snapshot(src.p);
        Picture dest{};
        dest.width = 12345;
        for (const Rect* r : {&outside, &empty, &left}) {
            EXPECT_EQ(image_flip_horizontal(&src.p, &dest, r), STATUS_BAD_PARAMETER);
            EXPECT_EQ(image_flip_vertical(&src.p, nullptr, r), STATUS_BAD_PARAMETER);
            EXPECT_EQ(image_crop(&src.p, &dest, r), STATUS_BAD_PARAMETER);
            EXPECT_EQ(picture_copy(&src.p, nullptr, r), STATUS_BAD_PARAMETER);
        }
        EXPECT_EQ(image_crop(&src.p, nullptr, nullptr), STATUS_BAD_PARAMETER);
        EXPECT_EQ(image_rotate_any(&src.p, nullptr, NAN, nullptr), STATUS_BAD_PARAMETER);
        EXPECT_EQ(snapshot(src.p), before);
        EXPECT_EQ(dest.width, 12345);
        EXPECT_EQ(dest.data, nullptr);
    }
    Picture none{};
    EXPECT_EQ(image_rotate(&none, nullptr, 90, nullptr), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_rotate_90(&none, nullptr, 90), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_flip_vertical(&none, nullptr, nullptr), STATUS_BAD_PARAMETER);
}

}  // namespace
