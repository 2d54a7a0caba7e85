#include <gtest/gtest.h>

#include <cmath>

#include "ops/colour.h"
#include "ops/lookup.h"
#include "test_pictures.h"

namespace {

// The table straight from the formulas, kept apart from the code under test.
int reference_adjust(int i, int b, int k, double g)
{
    int v = std::min(255, std::max(0, i + b));
    double f = k > 0 ? (v - k) * 255.0 / (255.0 - 2 * k) : (2 * k + 255.0) * v / 255.0 - k;
    int u = std::min(255, std::max(0, static_cast<int>(std::trunc(f))));
    if (g < 0.9999 || g > 1.0001) u = static_cast<int>(std::pow(u / 255.0, 1 / g) * 255.0 + 0.5);
    return u;
}

TEST(AdjustTable, KnownValuesAndFormula)
{
    uint8_t t[256];
    adjust_table(t, 0, 0, 1.0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], i);
    adjust_table(t, 0, 127, 1.0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], i <= 127 ? 0 : 255) << i;
    adjust_table(t, 0, -127, 1.0);
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(t[i] == 127 || t[i] == 128) << i;
    adjust_table(t, 0, 0, 2.0);
    EXPECT_EQ(t[64], 128);
    for (int b : {-127, -30, 0, 45, 127})
        for (int k : {-127, -50, 0, 20, 126})
            for (double g : {0.25, 1.0, 1.00005, 3.5}) {
                adjust_table(t, b, k, g);
                for (int i = 0; i < 256; ++i) ASSERT_EQ(t[i], reference_adjust(i, b, k, g)) << b << ' ' << k << ' ' << g;
            }
    // Out-of-range arguments saturate instead of inverting or overflowing.
    uint8_t clamped[256];
    adjust_table(t, 1000000, 300, 1.0);
    adjust_table(clamped, 255, 127, 1.0);
    EXPECT_EQ(0, std::memcmp(t, clamped, 256));
    adjust_table(t, -2147483647, 0, -1.0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], 0);
}

uint8_t random_table_entry(int i, int salt) { return static_cast<uint8_t>((i * 73 + salt * 31 + 11) ^ (i >> 3)); }

// Every byte of every type, with a destination and in place, with and without a rectangle.
TEST(ApplyTables, EveryByteFollowsItsTable)
{
    uint8_t tables[768];
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 256; ++i) tables[256 * k + i] = random_table_entry(i, k + 1);
    const Rect rects[] = {{0, 0, 1000, 1000}, {3, 1, 70, 4}, {-5, 2, 9, 100}};
    for (uint32_t type : kByteTypes)
        for (const Rect& rect : rects)
            for (bool in_place : {false, true}) {
                OwnedPicture src, dst;
                fill_random(src, type, 83, 7, type);  // 83 pixels: lines past one 192-byte block
                const std::vector<uint8_t> before = pixel_bytes(src.p);
                ASSERT_EQ(apply_tables(src.get(), in_place ? nullptr : dst.get(), &rect, tables), STATUS_OK);
                const Picture& out = in_place ? src.p : dst.p;
                if (!in_place) {
                    EXPECT_EQ(pixel_bytes(src.p), before);
                }
                Rect r;
                rect_clip(&out, &rect, &r);
                const int pb = out.bytes_per_pixel;
                for (int y = 0; y < out.height; ++y)
                    for (int x = 0; x < out.width; ++x)
                        for (int k = 0; k < pb; ++k) {
                            const uint8_t b = before[y * out.bytes_per_line + x * pb + k];
                            const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                            const uint8_t want = inside && k < 3 ? tables[256 * k + b] : b;
                            ASSERT_EQ(at(out, x, y, k), want) << type << " x" << x << " y" << y << " k" << k;
                        }
            }
}

// The vector loop and the portable one agree on every pixel size and on lines of any length.
TEST(ApplyTables, VectorAndPortableLoopsAgree)
{
    uint8_t tables[768];
    for (int i = 0; i < 768; ++i) tables[i] = random_table_entry(i & 255, i >> 8);
    std::vector<uint8_t> from(4 * 500), fast(from.size()), plain(from.size());
    for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 7 + (i >> 5));
    for (int pb = 1; pb <= 4; ++pb)
        for (bool shared : {false, true}) {
            const PixelTables t{{tables, shared ? tables : tables + 256, shared ? tables : tables + 512}, pb};
            for (size_t pixels : {0, 1, 63, 64, 65, 191, 192, 193, 500}) {
                std::fill(fast.begin(), fast.end(), 0);
                std::fill(plain.begin(), plain.end(), 0);
                map_pixels(from.data(), fast.data(), pixels, t);
                map_pixels_portable(from.data(), plain.data(), pixels, t);
                ASSERT_EQ(fast, plain) << pb << ' ' << pixels;
            }
        }
}

TEST(ColourBalance, TablesFollowBytePositions)
{
    OwnedPicture rgb, bgr;
    picture_alloc(rgb.get(), PIXEL_RGB, 1, 1, 1);
    picture_alloc(bgr.get(), PIXEL_BGR, 1, 1, 1);
    const uint8_t px[3] = {100, 100, 10};
    std::memcpy(rgb->data, px, 3);
    std::memcpy(bgr->data, px, 3);
    ASSERT_EQ(image_colour_balance(rgb.get(), nullptr, nullptr, 20, 0, -20), STATUS_OK);
    ASSERT_EQ(image_colour_balance(bgr.get(), nullptr, nullptr, 20, 0, -20), STATUS_OK);
    EXPECT_EQ(rgb->data[0], 120);
    EXPECT_EQ(rgb->data[2], 0);
    EXPECT_EQ(bgr->data[0], 120);  // blue, the first byte of BGR
    EXPECT_EQ(bgr->data[2], 0);
    // Offsets far beyond a byte saturate instead of wrapping.
    ASSERT_EQ(image_colour_balance(rgb.get(), nullptr, nullptr, INT32_MAX, INT32_MIN, 0), STATUS_OK);
    EXPECT_EQ(rgb->data[0], 255);
    EXPECT_EQ(rgb->data[1], 0);
}

TEST(ApplyTable, ColourMappedPicturesChangeOnlyTheirMap)
{
    OwnedPicture src, dst;
    fill_random(src, PIXEL_COLORS, 9, 5, 3);
    src->colour_used = 200;
    const std::vector<uint8_t> indexes = pixel_bytes(src.p), map = map_bytes(src.p);
    const Rect corner{0, 0, 2, 2};
    ASSERT_EQ(image_adjust(src.get(), dst.get(), &corner, 0, 0, 2.0), STATUS_OK);
    uint8_t t[256];
    adjust_table(t, 0, 0, 2.0);
    EXPECT_EQ(pixel_bytes(dst.p), indexes);
    EXPECT_EQ(map_bytes(src.p), map);
    for (int plane = 0; plane < 4; ++plane)
        for (int i = 0; i < 256; ++i) {
            const uint8_t was = map[256 * plane + i];
            EXPECT_EQ(dst->colour_map[256 * plane + i], plane < 3 && i < 200 ? t[was] : was);
        }
    EXPECT_EQ(dst->colour_used, 200);
    ASSERT_EQ(image_colour_balance(src.get(), nullptr, nullptr, 5, 0, 0), STATUS_OK);
    EXPECT_EQ(src->colour_used, 256);
    EXPECT_EQ(pixel_bytes(src.p), indexes);
}

TEST(ApplyTable, GreyLevelsAndOddColourCounts)
{
    uint8_t t[256];
    for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(255 - i);
    // Four levels: the table is read at 0, 85, 170, 255 and brought back to levels.
    OwnedPicture four;
    picture_alloc(four.get(), PIXEL_GREY, 1, 4, 1);
    four->colour_used = 4;
    for (int i = 0; i < 4; ++i) four->data[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(apply_table(four.get(), nullptr, nullptr, t), STATUS_OK);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(four->data[i], (255 - i * 255 / 3) * 3 / 255);
    EXPECT_EQ(four->colour_used, 4);
    // colour_used 0 and 1 (and junk) read as plain 0..255 values, without dividing by zero.
    for (int used : {0, 1, -3, 300}) {
        OwnedPicture g;
        picture_alloc(g.get(), PIXEL_GREY, 1, 2, 1);
        g->colour_used = static_cast<int16_t>(used);
        g->data[0] = 0;
        g->data[1] = 200;
        ASSERT_EQ(apply_table(g.get(), nullptr, nullptr, t), STATUS_OK);
        EXPECT_EQ(g->data[0], 255);
        EXPECT_EQ(g->data[1], 55);
    }
    // A balance of a 4-level picture gives 256 grey values, not offset level numbers.
    OwnedPicture levels;
    picture_alloc(levels.get(), PIXEL_GREY, 1, 4, 1);
    levels->colour_used = 4;
    for (int i = 0; i < 4; ++i) levels->data[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(image_colour_balance(levels.get(), nullptr, nullptr, 10, 0, 0), STATUS_OK);
    EXPECT_EQ(levels->colour_used, 256);
    EXPECT_EQ(levels->data[0], 10);
    EXPECT_EQ(levels->data[1], 95);
    EXPECT_EQ(levels->data[3], 255);
}

TEST(ApplyTable, RefusalsLeaveEverythingAsItWas)
{
    uint8_t t[256] = {};
    OwnedPicture bilevel, deep, rgb;
    fill_random(bilevel, PIXEL_BINARY, 17, 3, 1);
    picture_alloc_depth(deep.get(), PIXEL_RGB, 1, 4, 4, 16);
    fill_random(rgb, PIXEL_RGB, 4, 4, 2);
    const std::vector<uint8_t> bits = pixel_bytes(bilevel.p), rgb_bytes = pixel_bytes(rgb.p);
    Picture untouched{};
    untouched.width = 77;
    Picture dst = untouched;
    EXPECT_EQ(image_adjust(bilevel.get(), &dst, nullptr, 10, 10, 1.0), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(image_colour_balance(bilevel.get(), nullptr, nullptr, 1, 1, 1), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(apply_table(bilevel.get(), nullptr, nullptr, t), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(pixel_bytes(bilevel.p), bits);
    EXPECT_EQ(image_adjust(deep.get(), &dst, nullptr, 10, 0, 1.0), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_colour_balance(deep.get(), nullptr, nullptr, 1, 1, 1), STATUS_BAD_PARAMETER);
    const Rect outside{4, 0, 3, 3};
    EXPECT_EQ(image_adjust(rgb.get(), &dst, &outside, 10, 0, 1.0), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_adjust(rgb.get(), nullptr, nullptr, 10, 0, 0.0), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_adjust(rgb.get(), nullptr, nullptr, 10, 0, std::nan("")), STATUS_BAD_PARAMETER);
    EXPECT_EQ(pixel_bytes(rgb.p), rgb_bytes);
    EXPECT_EQ(dst.width, 77);
    EXPECT_EQ(dst.data, nullptr);
}

TEST(ApplyTable, IdentityStillGivesTheDestinationAFullCopy)
{
    OwnedPicture src, dst;
    fill_random(src, PIXEL_RGBA, 5, 3, 9);
    src->x_dpi = 300;
    ASSERT_EQ(image_adjust(src.get(), dst.get(), nullptr, 0, 0, 1.0), STATUS_OK);
    EXPECT_EQ(pixel_bytes(dst.p), pixel_bytes(src.p));
    EXPECT_EQ(dst->x_dpi, 300);
    EXPECT_NE(dst->data, src->data);
}

}  // namespace
