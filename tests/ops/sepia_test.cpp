#include <gtest/gtest.h>

#include <algorithm>

#include "ops/colour.h"
#include "ops/rgb_runs.h"
#include "test_pictures.h"

namespace {

struct Places {
    uint32_t type;
    int red, green, blue, alpha;  // alpha -1 when none
};

constexpr Places kPlaces[] = {
    {PIXEL_RGB, 0, 1, 2, -1},  {PIXEL_BGR, 2, 1, 0, -1},  {PIXEL_RGBA, 0, 1, 2, 3},
    {PIXEL_BGRA, 2, 1, 0, 3},  {PIXEL_ABGR, 3, 2, 1, 0},  {PIXEL_ARGB, 1, 2, 3, 0},
    {PIXEL_CMYK, 0, 1, 2, 3},
};

TEST(Sepia, KnownColours)
{
    OwnedPicture p;
    picture_alloc(p.get(), PIXEL_RGB, 1, 3, 1);
    const uint8_t colours[9] = {255, 255, 255, 0, 0, 0, 128, 128, 128};
    std::memcpy(p->data, colours, 9);
    ASSERT_EQ(image_sepia(p.get(), nullptr, nullptr, 100), STATUS_OK);
    const uint8_t toned[9] = {255, 255, 255, 64, 32, 0, 192, 160, 128};
    EXPECT_EQ(0, std::memcmp(p->data, toned, 9));
}

TEST(Sepia, EveryTypeEveryByte)
{
    for (const Places& pl : kPlaces)
        for (int strength : {0, 100, 55, 1000, -20}) {
            OwnedPicture src, dst;
            fill_random(src, pl.type, 13, 4, pl.type + strength);
            const Rect rect{2, 1, 9, 2};
            ASSERT_EQ(image_sepia(src.get(), dst.get(), &rect, strength), STATUS_OK);
            const int red_lift = std::clamp(static_cast<int>(strength * 0.01 * 64.0), 0, 255);
            const int green_lift = std::clamp(static_cast<int>(strength * 0.01 * 32.0), 0, 255);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 13; ++x) {
                    const bool inside = x >= 2 && x < 11 && y >= 1 && y < 3;
                    const int l = (77 * at(src.p, x, y, pl.red) + 150 * at(src.p, x, y, pl.green) +
                                   29 * at(src.p, x, y, pl.blue)) >> 8;
                    for (int k = 0; k < src->bytes_per_pixel; ++k) {
                        int want = at(src.p, x, y, k);
                        if (inside && k == pl.red) want = std::min(l + red_lift, 255);
                        if (inside && k == pl.green) want = std::min(l + green_lift, 255);
                        if (inside && k == pl.blue) want = l;
                        ASSERT_EQ(at(dst.p, x, y, k), want) << pl.type << ' ' << strength << " k" << k;
                    }
                }
            EXPECT_EQ(dst->transparent_index, NO_TRANSPARENT_INDEX);
            EXPECT_EQ(dst->type, pl.type);
            // In place gives the same bytes.
            ASSERT_EQ(image_sepia(src.get(), nullptr, &rect, strength), STATUS_OK);
            EXPECT_EQ(pixel_bytes(src.p), pixel_bytes(dst.p));
        }
}

// The vector loops and the portable ones agree for every layout and on runs of any length.
TEST(RgbRuns, VectorAndPortableLoopsAgree)
{
    std::vector<uint8_t> from(4 * 300);
    for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 13 + (i >> 4));
    for (const Places& pl : kPlaces) {
        const RgbLayout layout{pl.alpha < 0 ? 3 : 4, {pl.red, pl.green, pl.blue}};
        for (size_t pixels : {0, 1, 63, 64, 65, 130, 300}) {
            std::vector<uint8_t> fast(300, 1), plain(300, 2), toned(from.size(), 3), toned_plain(from.size(), 3);
            luminance_run(from.data(), fast.data(), pixels, layout);
            luminance_run_portable(from.data(), plain.data(), pixels, layout);
            ASSERT_TRUE(std::equal(fast.begin(), fast.begin() + pixels, plain.begin())) << pl.type << ' ' << pixels;
            sepia_run(from.data(), toned.data(), pixels, layout, 200, 31);
            sepia_run_portable(from.data(), toned_plain.data(), pixels, layout, 200, 31);
            ASSERT_EQ(toned, toned_plain) << pl.type << ' ' << pixels;
        }
    }
}

TEST(Sepia, RefusesWhatIsNotColour)
{
    for (uint32_t type : {PIXEL_GREY, PIXEL_COLORS, PIXEL_BINARY}) {
        OwnedPicture p;
        fill_random(p, type, 5, 5, 8);
        const std::vector<uint8_t> bytes = pixel_bytes(p.p), map = map_bytes(p.p);
        EXPECT_EQ(image_sepia(p.get(), nullptr, nullptr, 100), STATUS_BAD_PARAMETER);
        EXPECT_EQ(pixel_bytes(p.p), bytes);
        EXPECT_EQ(map_bytes(p.p), map);
    }
    OwnedPicture deep, rgb;
    picture_alloc_depth(deep.get(), PIXEL_RGB, 1, 2, 2, 16);
    EXPECT_EQ(image_sepia(deep.get(), nullptr, nullptr, 100), STATUS_BAD_PARAMETER);
    fill_random(rgb, PIXEL_RGB, 2, 2, 3);
    const Rect outside{-5, 0, 5, 2};
    EXPECT_EQ(image_sepia(rgb.get(), nullptr, &outside, 100), STATUS_BAD_PARAMETER);
}

}  // namespace
