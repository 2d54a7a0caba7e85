#include <gtest/gtest.h>

#include "ops/colour.h"
#include "test_pictures.h"

namespace {

TEST(ClipPoints, ThresholdFallbackAndEmptyHistograms)
{
    uint32_t h[256] = {};
    EXPECT_EQ(histogram_clip_points(h, 0).low, 255);  // nothing counted: the walks find nothing
    EXPECT_EQ(histogram_clip_points(h, 0).high, 0);
    h[10] = 3;
    h[200] = 5;
    ClipPoints c = histogram_clip_points(h, 8);  // fewer than 1000 pixels: threshold 0
    EXPECT_EQ(c.low, 10);
    EXPECT_EQ(c.high, 200);
    // 0.1 % of 10000 pixels is 10: ten pixels at each end are ignored, the eleventh is not.
    uint32_t wide[256] = {};
    wide[0] = 10;
    wide[3] = 1;
    wide[128] = 9978;
    wide[250] = 1;
    wide[255] = 10;
    c = histogram_clip_points(wide, 10000);
    EXPECT_EQ(c.low, 3);
    EXPECT_EQ(c.high, 250);
    uint32_t one[256] = {};
    one[77] = 5000;
    c = histogram_clip_points(one, 5000);
    EXPECT_EQ(c.low, 77);
    EXPECT_EQ(c.high, 77);
}

TEST(Histograms, ReadColoursByBytePositions)
{
    OwnedPicture rgb, bgr;
    picture_alloc(rgb.get(), PIXEL_RGB, 1, 1, 1);
    picture_alloc(bgr.get(), PIXEL_BGR, 1, 1, 1);
    rgb->data[0] = bgr->data[2] = 255;  // red
    uint32_t h[256], counts[1024];
    luminance_histogram(rgb.get(), h);
    EXPECT_EQ(h[76], 1u);
    luminance_histogram(bgr.get(), h);
    EXPECT_EQ(h[76], 1u);
    OwnedPicture argb;
    picture_alloc(argb.get(), PIXEL_ARGB, 1, 3, 1);
    argb->data[0] = 255;  // alpha only: black
    luminance_histogram(argb.get(), h);
    EXPECT_EQ(h[0], 3u);
    component_histograms(argb.get(), counts);
    EXPECT_EQ(counts[255], 1u);
    EXPECT_EQ(counts[256 + 0], 3u);
}

TEST(AutoContrast, FullRangeRaisesEveryValueByOne)
{
    OwnedPicture g;
    picture_alloc(g.get(), PIXEL_GREY, 1, 256, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 256; ++x) picture_line(g.get(), y)[x] = static_cast<uint8_t>(x);
    ASSERT_EQ(image_auto_contrast(g.get(), nullptr, nullptr), STATUS_OK);
    for (int x = 0; x < 256; ++x) EXPECT_EQ(g->data[x], x == 255 ? 255 : x + 1);
}

TEST(AutoLevels, StretchesEachComponentAndKeepsAlpha)
{
    OwnedPicture src, dst;
    picture_alloc(src.get(), PIXEL_BGRA, 4, 30, 30);  // under 1000 pixels: no clipping
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            uint8_t* px = picture_line(src.get(), y) + 4 * x;
            px[0] = static_cast<uint8_t>(20 + x + y);  // 20..78
            px[1] = static_cast<uint8_t>(128);                  // uniform
            px[2] = static_cast<uint8_t>(x * 5);                // 0..145
            px[3] = static_cast<uint8_t>(x * 3 + y);
        }
    const std::vector<uint8_t> before = pixel_bytes(src.p);
    const Rect rect{10, 10, 15, 15};
    ASSERT_EQ(image_auto_levels(src.get(), dst.get(), &rect), STATUS_OK);
    EXPECT_EQ(pixel_bytes(src.p), before);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const uint8_t* was = before.data() + y * src->bytes_per_line + 4 * x;
            const bool inside = x >= 10 && x < 25 && y >= 10 && y < 25;
            EXPECT_EQ(at(dst.p, x, y, 0), inside ? (was[0] * 255 - 20 * 255) / 58 : was[0]);
            EXPECT_EQ(at(dst.p, x, y, 1), 128);
            EXPECT_EQ(at(dst.p, x, y, 2), inside ? (was[2] * 255) / 145 : was[2]);
            EXPECT_EQ(at(dst.p, x, y, 3), was[3]);
        }
}

TEST(AutoLevels, ColourMappedPicturesStretchTheirMapByIndexes)
{
    OwnedPicture p;
    picture_alloc(p.get(), PIXEL_COLORS, 1, 2, 1);
    p->data[0] = 10;
    p->data[1] = 20;
    for (int i = 0; i < 256; ++i) p->colour_map[i] = p->colour_map[256 + i] = p->colour_map[512 + i] = 15;
    p->colour_used = 30;
    ASSERT_EQ(image_auto_levels(p.get(), nullptr, nullptr), STATUS_OK);
    EXPECT_EQ(p->data[0], 10);
    EXPECT_EQ(p->data[1], 20);
    for (int plane = 0; plane < 3; ++plane) {
        EXPECT_EQ(p->colour_map[256 * plane], (15 * 255 - 10 * 255) / 10);
        EXPECT_EQ(p->colour_map[256 * plane + 29], (15 * 255 - 10 * 255) / 10);
        EXPECT_EQ(p->colour_map[256 * plane + 30], 15);  // past colour_used
    }
    EXPECT_EQ(p->colour_used, 256);
}

TEST(AutoCorrections, UniformPicturesStayUniform)
{
    for (uint32_t type : kByteTypes) {
        OwnedPicture p, q;
        picture_alloc(p.get(), type, 4, 9, 5);
        std::memset(p->data, 90, picture_data_size(p.get()));
        ASSERT_EQ(image_auto_levels(p.get(), q.get(), nullptr), STATUS_OK);
        EXPECT_EQ(pixel_bytes(q.p), pixel_bytes(p.p)) << type;
        OwnedPicture c;
        ASSERT_EQ(image_auto_contrast(p.get(), c.get(), nullptr), STATUS_OK);
        const uint8_t first = c->data[0];
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x)
                for (int k = 0; k < (c->bytes_per_pixel == 4 ? 3 : c->bytes_per_pixel); ++k)
                    ASSERT_EQ(at(c.p, x, y, k), first) << type;
    }
    // A uniform 4-level grey keeps its look: level 2 of 4 becomes grey value 170.
    OwnedPicture levels;
    picture_alloc(levels.get(), PIXEL_GREY, 1, 3, 1);
    levels->colour_used = 4;
    std::memset(levels->data, 2, 3);
    ASSERT_EQ(image_auto_levels(levels.get(), nullptr, nullptr), STATUS_OK);
    EXPECT_EQ(levels->colour_used, 256);
    EXPECT_EQ(levels->data[1], 170);
}

TEST(AutoCorrections, Refusals)
{
    OwnedPicture bilevel, deep;
    fill_random(bilevel, PIXEL_BINARY, 9, 2, 4);
    picture_alloc_depth(deep.get(), PIXEL_GREY, 1, 4, 4, 16);
    const std::vector<uint8_t> bits = pixel_bytes(bilevel.p);
    EXPECT_EQ(image_auto_contrast(bilevel.get(), nullptr, nullptr), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(image_auto_levels(bilevel.get(), nullptr, nullptr), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(pixel_bytes(bilevel.p), bits);
    EXPECT_EQ(image_auto_contrast(deep.get(), nullptr, nullptr), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_auto_levels(deep.get(), nullptr, nullptr), STATUS_BAD_PARAMETER);
    Picture empty{};
    EXPECT_EQ(image_auto_levels(&empty, nullptr, nullptr), STATUS_BAD_PARAMETER);
}

}  // namespace
