#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "ops/depth.h"
#include "tests/ops/depth_support.h"

namespace {

int distinct_indexes(const Picture& p)
{
    std::set<int> seen;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) seen.insert(picture_line(&p, y)[x]);
    return static_cast<int>(seen.size());
}

TEST(Palette, BilevelSourcesGetATwoColourMap)
{
    Owned o;
    picture_alloc(&o.p, PIXEL_BINARY, 1, 10, 2);
    picture_line(&o.p, 1)[1] = 0x40;  // pixel 9 of line 1
    picture_line(&o.p, 0)[0] = 0x80;
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_COLOURS_8 + 1, DITHER_ORDERED), STATUS_OK);
    EXPECT_EQ(o.p.type, PIXEL_COLORS);
    EXPECT_EQ(o.p.colour_used, 16);
    EXPECT_EQ(map_entry(o.p, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(map_entry(o.p, 1), (Rgb{255, 255, 255}));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(picture_line(&o.p, y)[x], (y == 0 && x == 0) || (y == 1 && x == 9) ? 1 : 0);
}

TEST(Palette, FewColoursKeepTheirOrderOfFirstAppearance)
{
    auto colour = [](int x, int y) {
        const int k = (x / 3 + y * 2) % 20;  // 20 colours, first met in the order 0, 1, ... along line 0 then 2, ...
        return Rgb{uint8_t(k * 12), uint8_t(255 - k * 7), uint8_t(k * k)};
    };
    Owned o;
    make_rgb(o, 60, 9, colour);
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_COLOURS_256, DITHER_NONE), STATUS_OK);
    EXPECT_EQ(o.p.colour_used, 256);
    for (int k = 0; k < 20; ++k) EXPECT_EQ(map_entry(o.p, k), colour(3 * k, 0)) << k;
    EXPECT_EQ(map_entry(o.p, 20), (Rgb{0, 0, 0}));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 60; ++x) EXPECT_EQ(map_entry(o.p, picture_line(&o.p, y)[x]), colour(x, y));

    Owned dithered;
    make_rgb(dithered, 60, 9, colour);
    ASSERT_EQ(image_change_depth(&dithered.p, nullptr, DEPTH_COLOURS_256, DITHER_ORDERED), STATUS_OK);
    EXPECT_EQ(map_entry(dithered.p, 0 * 32 + 7 * 4 + 3), (Rgb{0, 255, 255}));  // the 8 x 8 x 4 cube
}

TEST(Palette, GreyValuesStayExactMostFrequentFirstUntilThereAreTooMany)
{
    Owned few;
    make_bytes(few, PIXEL_GREY, 40, 4, [](int x, int) { return x < 30 ? 200 : x < 38 ? 10 : 90; });
    ASSERT_EQ(image_change_depth(&few.p, nullptr, DEPTH_COLOURS_8 + 1, DITHER_NONE), STATUS_OK);
    EXPECT_EQ(few.p.colour_used, 16);
    EXPECT_EQ(map_entry(few.p, 0), (Rgb{200, 200, 200}));
    EXPECT_EQ(map_entry(few.p, 1), (Rgb{10, 10, 10}));
    EXPECT_EQ(map_entry(few.p, 2), (Rgb{90, 90, 90}));
    EXPECT_EQ(picture_line(&few.p, 3)[39], 2);

    Owned many;
    make_bytes(many, PIXEL_GREY, 64, 4, [](int x, int) { return x * 4; });
    ASSERT_EQ(image_change_depth(&many.p, nullptr, DEPTH_COLOURS_8 + 1, DITHER_NONE), STATUS_OK);
    EXPECT_LE(distinct_indexes(many.p), 16);
    EXPECT_GE(distinct_indexes(many.p), 12);
    for (int x = 0; x < 64; ++x) {
        const Rgb c = map_entry(many.p, picture_line(&many.p, 0)[x]);
        EXPECT_NEAR(c.g, x * 4, 12) << x;
    }
}

TEST(Palette, ColourMappedSourcesKeepTheirTransparentEntry)
{
    Owned o;
    make_bytes(o, PIXEL_COLORS, 8, 2, [](int x, int) { return x % 3 == 0 ? 7 : 3; });
    o.p.colour_map[7] = 1, o.p.colour_map[3] = 99;
    o.p.transparent_index = 7;
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_COLOURS_8, DITHER_NONE), STATUS_OK);
    EXPECT_EQ(map_entry(o.p, 0).r, 99);  // five of eight pixels
    EXPECT_EQ(map_entry(o.p, 1).r, 1);
    EXPECT_EQ(o.p.transparent_index, 1);
}

TEST(Palette, UniformPaletteEntries)
{
    struct Case { int mode; int red, green, blue; } cases[] = {
        {12, 2, 2, 2}, {13, 2, 4, 2}, {14, 4, 4, 2}, {15, 4, 4, 4}, {16, 8, 8, 4}, {17, 6, 6, 6}, {18, 8, 8, 4}};
    for (const Case& c : cases) {
        Owned o;
        make_rgb(o, 16, 16, photo_like);
        ASSERT_EQ(image_change_depth(&o.p, nullptr, c.mode, DITHER_ORDERED), STATUS_OK);
        EXPECT_EQ(o.p.colour_used, c.red * c.green * c.blue) << c.mode;
        for (int r = 0; r < c.red; ++r)
            for (int g = 0; g < c.green; ++g)
                for (int b = 0; b < c.blue; ++b)
                    ASSERT_EQ(map_entry(o.p, (r * c.green + g) * c.blue + b),
                              (Rgb{uint8_t(r * 255 / (c.red - 1)), uint8_t(g * 255 / (c.green - 1)), uint8_t(b * 255 / (c.blue - 1))}))
                        << c.mode;
    }
}

TEST(Palette, OrderedCubeSendsFullAndEmptyComponentsToTheEndLevels)
{
    Owned o;
    make_rgb(o, 32, 32, [](int x, int y) { return Rgb{255, uint8_t(x * 8 + y % 8), 0}; });
    ASSERT_EQ(image_change_depth(&o.p, nullptr, 17, DITHER_ORDERED), STATUS_OK);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int index = picture_line(&o.p, y)[x];
            EXPECT_EQ(index / 36, 5);
            EXPECT_EQ(index % 6, 0);
            const int g = x * 8 + y % 8, level = (index / 6) % 6;
            EXPECT_TRUE(level == g / 51 || level == g / 51 + 1) << g;
        }
}

// The nearest entry to the centre of a pixel's histogram cell, red weighted 2, green 3, blue 1,
// the lowest index on ties.
int nearest_entry(const Picture& p, Rgb c, int entries)
{
    const int cr = (c.r >> 3) * 8 + 4, cg = (c.g >> 2) * 4 + 2, cb = (c.b >> 3) * 8 + 4;
    int best = INT_MAX, index = -1;
    for (int i = 0; i < entries; ++i) {
        const Rgb e = map_entry(p, i);
        const int dr = 2 * (cr - e.r), dg = 3 * (cg - e.g), db = cb - e.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) best = d, index = i;
    }
    return index;
}

TEST(MedianCut, NeverMoreThanAskedAndEveryPixelTakesItsNearestColour)
{
    for (int colours : {2, 8, 16, 37, 216, 256}) {
        Owned o, original;
        make_rgb(o, 90, 70, photo_like);
        make_rgb(original, 90, 70, photo_like);
        ASSERT_EQ(image_median_cut(&o.p, nullptr, colours, false), STATUS_OK);
        EXPECT_EQ(o.p.colour_used, colours);
        EXPECT_LE(distinct_indexes(o.p), colours);
        for (int i = colours; i < 256; ++i) ASSERT_EQ(map_entry(o.p, i), (Rgb{0, 0, 0}));
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 90; ++x)
                ASSERT_EQ(picture_line(&o.p, y)[x], nearest_entry(o.p, rgb_at(original.p, x, y), colours))
                    << colours << " colours at " << x << "," << y;
    }
}

TEST(MedianCut, ManyColoursThroughTheModesGoToMedianCut)
{
    Owned o;
    make_rgb(o, 64, 64, photo_like);
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_COLOURS_8 + 2, DITHER_NONE), STATUS_OK);  // 32
    EXPECT_EQ(o.p.colour_used, 32);
    EXPECT_LE(distinct_indexes(o.p), 32);
    EXPECT_GE(distinct_indexes(o.p), 24);
}

TEST(MedianCut, BoxColoursAreRoundedMeansOfTheirCellCentres)
{
    // Two low-red cells (two pixels and one) and two high-red cells (one and two): each box's
    // mean falls between whole numbers, so rounding, truncating or weighting by cells rather than
    // pixels would each give other entries.
    const Rgb pixels[6] = {{0, 0, 0}, {8, 4, 8}, {208, 100, 16}, {0, 0, 0}, {248, 108, 24}, {248, 108, 24}};
    auto colour = [&](int x, int) { return pixels[x]; };
    Owned two;
    make_rgb(two, 6, 1, colour);
    ASSERT_EQ(image_median_cut(&two.p, nullptr, 2, false), STATUS_OK);
    // Cell centres: red and blue 8c + 4, green 4c + 2.
    EXPECT_EQ(map_entry(two.p, 0), (Rgb{7, 3, 7}));        // (2x4 + 12) / 3 = 6.67, (2x2 + 6) / 3 = 3.33
    EXPECT_EQ(map_entry(two.p, 1), (Rgb{239, 107, 25}));   // (212 + 2x252) / 3 = 238.67, 107.33, 25.33
    const uint8_t indexes[6] = {0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(picture_line(&two.p, 0)[x], indexes[x]) << x;

    // Four colours: the most populous box is split first (the earlier one on a tie), then the
    // largest; each new box takes the next entry.
    Owned four;
    make_rgb(four, 6, 1, colour);
    ASSERT_EQ(image_median_cut(&four.p, nullptr, 4, false), STATUS_OK);
    EXPECT_EQ(map_entry(four.p, 0), (Rgb{4, 2, 4}));
    EXPECT_EQ(map_entry(four.p, 1), (Rgb{212, 102, 20}));
    EXPECT_EQ(map_entry(four.p, 2), (Rgb{12, 6, 12}));
    EXPECT_EQ(map_entry(four.p, 3), (Rgb{252, 110, 28}));
}

TEST(MedianCut, FewerDistinctCellsThanColoursGiveFewerEntries)
{
    Owned o;
    make_rgb(o, 10, 10, [](int x, int) { return x < 5 ? Rgb{250, 0, 0} : Rgb{0, 0, 250}; });
    ASSERT_EQ(image_median_cut(&o.p, nullptr, 256, true), STATUS_OK);
    // Cell centres; the first split is along red, lower half first.
    EXPECT_EQ(map_entry(o.p, 0), (Rgb{4, 2, 252}));
    EXPECT_EQ(map_entry(o.p, 1), (Rgb{252, 2, 4}));
    EXPECT_EQ(map_entry(o.p, 2), (Rgb{0, 0, 0}));
    EXPECT_EQ(distinct_indexes(o.p), 2);
}

TEST(MedianCut, DiffusionKeepsTheAverageOfAreasBetweenColours)
{
    auto colour = [](int x, int) { return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)}; };
    Owned plain, diffused;
    make_rgb(plain, 256, 40, colour);
    make_rgb(diffused, 256, 40, colour);
    ASSERT_EQ(image_median_cut(&plain.p, nullptr, 8, false), STATUS_OK);
    ASSERT_EQ(image_median_cut(&diffused.p, nullptr, 8, true), STATUS_OK);
    // Over each 8-column band, the diffused picture's mean stays near the source's; the plain
    // mapping is off by up to half the distance between two colours.
    double worst_plain = 0, worst_diffused = 0;
    for (int bx = 32; bx + 8 <= 224; bx += 8) {
        double src = 0, p = 0, d = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = bx; x < bx + 8; ++x) {
                src += x;
                p += map_entry(plain.p, picture_line(&plain.p, y)[x]).g;
                d += map_entry(diffused.p, picture_line(&diffused.p, y)[x]).g;
            }
        worst_plain = std::max(worst_plain, std::abs(p - src) / 320);
        worst_diffused = std::max(worst_diffused, std::abs(d - src) / 320);
    }
    EXPECT_LT(worst_diffused, 3);
    EXPECT_GT(worst_plain, 8);
}

TEST(MedianCut, DiffusionThroughTheModesUsesDitherTwo)
{
    Owned o;
    make_rgb(o, 64, 64, photo_like);
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_COLOURS_8, DITHER_DIFFUSION), STATUS_OK);
    EXPECT_EQ(o.p.colour_used, 8);
    EXPECT_LE(distinct_indexes(o.p), 8);

    // Grey sources are mapped without diffusion: every value takes its nearest entry.
    Owned grey;
    make_bytes(grey, PIXEL_GREY, 200, 3, [](int x, int) { return x; });
    ASSERT_EQ(image_change_depth(&grey.p, nullptr, DEPTH_COLOURS_8, DITHER_DIFFUSION), STATUS_OK);
    for (int x = 0; x < 200; ++x) {
        const uint8_t v = static_cast<uint8_t>(x);
        EXPECT_EQ(picture_line(&grey.p, 0)[x], nearest_entry(grey.p, Rgb{v, v, v}, 8)) << x;
        EXPECT_EQ(picture_line(&grey.p, 2)[x], picture_line(&grey.p, 0)[x]);
    }
}

}  // namespace
