#include <gtest/gtest.h>

#include <cstdlib>

#include "ops/depth.h"
#include "ops/depth_internal.h"
#include "ops/dither_matrix.h"
#include "ops/luminance.h"
#include "tests/ops/depth_support.h"

namespace {

TEST(DitherMatrices, OrderedMatrixIsBuiltByDoublingWithItsCornerRaised)
{
    const int first_row[16] = {1, 128, 32, 160, 8, 136, 40, 168, 2, 130, 34, 162, 10, 138, 42, 170};
    for (int x = 0; x < 16; ++x) EXPECT_EQ(kBayer16[0][x], first_row[x]) << x;
    // Every value 1 ... 255 once, and the raised corner standing in for 0.
    int seen[256] = {};
    for (const auto& row : kBayer16)
        for (uint8_t v : row) ++seen[v];
    EXPECT_EQ(seen[0], 0);
    EXPECT_EQ(seen[1], 2);
    for (int v = 2; v < 256; ++v) EXPECT_EQ(seen[v], 1) << v;
    EXPECT_EQ(kBayer16[1][1], 64);   // bottom-right quadrant of the 2 x 2 step: 4M + 1
    EXPECT_EQ(kBayer16[1][0], 192);  // bottom-left: 4M + 3
}

TEST(GreyLevels, FullGreyIsTheLuminance)
{
    Owned o;
    make_rgb(o, 5, 3, [](int x, int y) -> Rgb { return x == 0 ? Rgb{255, 255, 255} : x == 1 ? Rgb{255, 0, 0} : Rgb{uint8_t(x * 40), uint8_t(y * 70), 9}; });
    Owned original;
    make_rgb(original, 5, 3, [&](int x, int y) { return rgb_at(o.p, x, y); });
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_GREY_256, DITHER_ORDERED), STATUS_OK);  // 256 levels: never dithered
    EXPECT_EQ(o.p.type, PIXEL_GREY);
    EXPECT_EQ(o.p.colour_used, 256);
    EXPECT_EQ(o.p.colour_map, nullptr);
    EXPECT_EQ(picture_line(&o.p, 0)[0], 255);
    EXPECT_EQ(picture_line(&o.p, 0)[1], 76);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const Rgb c = rgb_at(original.p, x, y);
            EXPECT_EQ(picture_line(&o.p, y)[x], luminance(c.r, c.g, c.b));
        }
}

TEST(GreyLevels, EveryLineLoopGivesTheLuminanceInEveryByteOrder)
{
    struct Order { uint16_t type; int r, g, b; } orders[] = {{PIXEL_RGB, 0, 1, 2},  {PIXEL_RGBA, 0, 1, 2}, {PIXEL_BGR, 2, 1, 0},
                                                              {PIXEL_BGRA, 2, 1, 0}, {PIXEL_ABGR, 3, 2, 1}, {PIXEL_ARGB, 1, 2, 3}};
    for (GreyLineKind kind : {GREY_LINE_PORTABLE, GREY_LINE_SSSE3, GREY_LINE_AVX2})
        for (const Order& order : orders) {
            const GreyLineFn line_grey = colour_grey_line_of(order.type, kind);
            if (!line_grey) continue;  // not on this processor
            // Widths around the 16- and 32-pixel blocks, so that the tails are met too.
            for (int width : {1, 15, 16, 17, 31, 32, 33, 71}) {
                Owned o;
                picture_alloc(&o.p, order.type, 4, width, 1);
                uint32_t seed = 99u + width;
                for (uint64_t i = 0; i < picture_data_size(&o.p); ++i) o.p.data[i] = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
                SourceReader reader;
                ASSERT_EQ(source_reader_init(&reader, &o.p), STATUS_OK);
                std::vector<uint8_t> grey(width);
                line_grey(reader, o.p.data, grey.data());
                for (int x = 0; x < width; ++x) {
                    const uint8_t* px = o.p.data + x * o.p.bytes_per_pixel;
                    ASSERT_EQ(grey[x], luminance(px[order.r], px[order.g], px[order.b])) << kind << " " << order.type << " width " << width << " at " << x;
                }
            }
        }
}

TEST(GreyLevels, FourLevelRampBoundaries)
{
    Owned o;
    make_rgb(o, 256, 1, [](int x, int) { return Rgb{uint8_t(x), uint8_t(x), uint8_t(x)}; });
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_GREY_4, DITHER_NONE), STATUS_OK);
    EXPECT_EQ(o.p.colour_used, 4);
    const uint8_t* line = picture_line(&o.p, 0);
    for (int g = 0; g < 256; ++g) EXPECT_EQ(line[g], g <= 84 ? 0 : g <= 169 ? 1 : g <= 254 ? 2 : 3) << g;
}

TEST(GreyLevels, GreySourcesRampTheirOwnLevelsAndBilevelTakesTheEnds)
{
    Owned grey;
    make_bytes(grey, PIXEL_GREY, 16, 1, [](int x, int) { return x; });
    grey.p.colour_used = 16;
    ASSERT_EQ(image_change_depth(&grey.p, nullptr, DEPTH_GREY_4, DITHER_NONE), STATUS_OK);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(picture_line(&grey.p, 0)[x], x * 3 / 15) << x;

    Owned bits;
    picture_alloc(&bits.p, PIXEL_BINARY, 1, 9, 1);
    picture_line(&bits.p, 0)[0] = 0xA0;  // pixels 0 and 2 white
    ASSERT_EQ(image_change_depth(&bits.p, nullptr, DEPTH_GREY_4 + 1, DITHER_ORDERED), STATUS_OK);  // 8 levels
    const uint8_t want[9] = {7, 0, 7, 0, 0, 0, 0, 0, 0};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(picture_line(&bits.p, 0)[x], want[x]);
}

TEST(GreyLevels, OrderedDitherStaysBetweenNeighbouringLevelsAndKeepsTheMean)
{
    for (int g : {0, 30, 100, 128, 200, 255}) {
        Owned o;
        make_rgb(o, 64, 64, [&](int, int) { return Rgb{uint8_t(g), uint8_t(g), uint8_t(g)}; });
        ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_GREY_4, DITHER_ORDERED), STATUS_OK);
        const int q = g == 255 ? 2 : g * 3 / 255;
        double sum = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int v = picture_line(&o.p, y)[x];
                ASSERT_TRUE(v == q || v == q + 1) << g;
                sum += v;
            }
        EXPECT_NEAR(sum / 4096 * 85, g, 12) << g;
        if (g == 0) { EXPECT_EQ(sum, 0); }
        if (g == 255) { EXPECT_EQ(sum, 3 * 4096); }
    }
}

// Whether pixel (x, y) of a uniform area of grey g is white under an ordered bilevel method.
bool ordered_white(int method, int g, int x, int y)
{
    switch (method) {
    case 0: return g >= 127;
    case 1: return g >= kBayer16[y % 16][x % 16];
    case 3: return g * 36 / 255 >= kClustered6[y % 6][x % 6];
    default: return g * 36 / 255 >= kDispersed6[y % 6][x % 6];
    }
}

TEST(Bilevel, OrderedMethodsFollowTheirMatrices)
{
    for (int method : {0, 1, 2, 3, 4, 6, 9}) {
        for (int g = 0; g < 256; g += 3) {
            Owned o;
            make_rgb(o, 50, 37, [&](int, int) { return Rgb{uint8_t(g), uint8_t(g), uint8_t(g)}; });
            ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_BILEVEL, method), STATUS_OK);
            ASSERT_EQ(o.p.type, PIXEL_BINARY);
            ASSERT_EQ(o.p.colour_used, 2);
            for (int y = 0; y < 37; ++y)
                for (int x = 0; x < 50; ++x)
                    ASSERT_EQ(bit_get(picture_line(&o.p, y), x), ordered_white(method, g, x, y) ? 1 : 0)
                        << "method " << method << " grey " << g << " at " << x << "," << y;
        }
    }
}

int white_count(const Picture& p)
{
    int n = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) n += bit_get(picture_line(&p, y), x);
    return n;
}

TEST(Bilevel, ErrorDiffusionOfUniformAreas)
{
    for (int g : {0, 128, 255}) {
        Owned o;
        make_bytes(o, PIXEL_GREY, 101, 80, [&](int, int) { return g; });
        ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_BILEVEL, BILEVEL_DIFFUSION), STATUS_OK);
        const int total = 101 * 80, white = white_count(o.p);
        if (g == 0) { EXPECT_EQ(white, 0); }
        if (g == 255) { EXPECT_EQ(white, total); }
        if (g == 128) { EXPECT_NEAR(static_cast<double>(white) / total, 0.5, 0.03); }
    }
    // A quarter grey lights about a quarter of the pixels.
    Owned o;
    make_bytes(o, PIXEL_GREY, 64, 64, [](int, int) { return 64; });
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_BILEVEL, BILEVEL_DIFFUSION), STATUS_OK);
    EXPECT_NEAR(white_count(o.p) / 4096.0, 0.25, 0.03);
}

TEST(Bilevel, BilevelSourceIsCopiedExactly)
{
    Owned o;
    picture_alloc(&o.p, PIXEL_BINARY, 4, 21, 5);
    for (int y = 0; y < 5; ++y)
        for (int i = 0; i < 3; ++i) picture_line(&o.p, y)[i] = static_cast<uint8_t>(0x5A + 17 * y + i);
    const std::vector<uint8_t> before = bytes_of(o.p);
    Owned copy;
    ASSERT_EQ(image_change_depth(&o.p, &copy.p, DEPTH_BILEVEL, BILEVEL_THRESHOLD), STATUS_OK);
    EXPECT_EQ(bytes_of(copy.p), before);
    EXPECT_NE(copy.p.data, o.p.data);
    uint8_t* data = o.p.data;
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_BILEVEL, BILEVEL_DIFFUSION), STATUS_OK);
    EXPECT_EQ(o.p.data, data);
    EXPECT_EQ(bytes_of(o.p), before);
}

TEST(ChangeDepth, UnknownModesAndUnreadablePicturesLeaveTheSourceAlone)
{
    Owned o;
    make_rgb(o, 7, 4, photo_like);
    o.p.comment = strdup("kept");
    const std::vector<uint8_t> before = bytes_of(o.p);
    uint8_t* data = o.p.data;
    for (int mode : {0, 10, 11, 25, -1, 1000}) {
        Owned dest;
        EXPECT_EQ(image_change_depth(&o.p, &dest.p, mode, 0), STATUS_BAD_PARAMETER) << mode;
        EXPECT_EQ(image_change_depth(&o.p, nullptr, mode, 0), STATUS_BAD_PARAMETER) << mode;
        EXPECT_EQ(dest.p.data, nullptr);
        EXPECT_EQ(o.p.type, PIXEL_RGB);
        EXPECT_EQ(o.p.data, data);
        EXPECT_EQ(bytes_of(o.p), before);
    }
    EXPECT_EQ(image_change_depth(&o.p, nullptr, DEPTH_BILEVEL, -1), STATUS_BAD_PARAMETER);

    // Lines too short for the width, and a colour-mapped picture without its map.
    Owned short_lines;
    make_rgb(short_lines, 8, 2, photo_like);
    short_lines.p.width = 9;
    EXPECT_EQ(image_change_depth(&short_lines.p, nullptr, DEPTH_GREY_256, 0), STATUS_BAD_PARAMETER);
    Owned no_map;
    make_bytes(no_map, PIXEL_COLORS, 4, 4, [](int x, int) { return x; });
    std::free(no_map.p.colour_map);
    no_map.p.colour_map = nullptr;
    EXPECT_EQ(image_change_depth(&no_map.p, nullptr, DEPTH_RGB, 0), STATUS_BAD_PARAMETER);
    Owned empty;
    EXPECT_EQ(image_change_depth(&empty.p, nullptr, DEPTH_RGB, 0), STATUS_BAD_PARAMETER);
}

TEST(ChangeDepth, DestinationLeavesSourceAndResultCarriesTheExtras)
{
    Owned o;
    make_rgb(o, 6, 6, photo_like, 1);
    o.p.x_dpi = 300;
    o.p.comment = strdup("photo");
    const std::vector<uint8_t> before = bytes_of(o.p);
    for (int mode : {1, 5, 9, 13, 18, 20}) {
        Owned dest;
        ASSERT_EQ(image_change_depth(&o.p, &dest.p, mode, 0), STATUS_OK) << mode;
        EXPECT_EQ(bytes_of(o.p), before);
        EXPECT_EQ(dest.p.width, 6);
        EXPECT_EQ(dest.p.line_padding, 1);
        EXPECT_EQ(dest.p.x_dpi, 300);
        ASSERT_NE(dest.p.comment, nullptr);
        EXPECT_STREQ(dest.p.comment, "photo");
        EXPECT_EQ(dest.p.transparent_index, NO_TRANSPARENT_INDEX);
    }
}

TEST(TrueColour, EveryByteOrderFromEverySourceOrder)
{
    struct Order { int mode; uint16_t type; int r, g, b, a; } orders[] = {
        {DEPTH_RGB, PIXEL_RGB, 0, 1, 2, -1},   {DEPTH_RGBA, PIXEL_RGBA, 0, 1, 2, 3}, {DEPTH_BGR, PIXEL_BGR, 2, 1, 0, -1},
        {DEPTH_ABGR, PIXEL_ABGR, 3, 2, 1, 0},  {DEPTH_BGRA, PIXEL_BGRA, 2, 1, 0, 3}, {DEPTH_ARGB, PIXEL_ARGB, 1, 2, 3, 0}};
    for (const Order& from : orders)
        for (const Order& to : orders) {
            Owned o;
            picture_alloc(&o.p, from.type, 1, 2, 1);
            uint8_t* px = o.p.data;
            const int stride = o.p.bytes_per_pixel;
            for (int x = 0; x < 2; ++x) {
                px[x * stride + from.r] = static_cast<uint8_t>(10 + x);
                px[x * stride + from.g] = static_cast<uint8_t>(20 + x);
                px[x * stride + from.b] = static_cast<uint8_t>(30 + x);
                if (from.a >= 0) px[x * stride + from.a] = static_cast<uint8_t>(40 + x);
            }
            ASSERT_EQ(image_change_depth(&o.p, nullptr, to.mode, 0), STATUS_OK);
            ASSERT_EQ(o.p.type, to.type);
            const uint8_t* out = o.p.data;
            const int out_stride = o.p.bytes_per_pixel;
            for (int x = 0; x < 2; ++x) {
                EXPECT_EQ(out[x * out_stride + to.r], 10 + x);
                EXPECT_EQ(out[x * out_stride + to.g], 20 + x);
                EXPECT_EQ(out[x * out_stride + to.b], 30 + x);
                // Sources without alpha become opaque.
                if (to.a >= 0) { EXPECT_EQ(out[x * out_stride + to.a], from.a >= 0 ? 40 + x : 255) << from.type << " to " << to.type; }
            }
        }
}

TEST(TrueColour, OneByteSourcesExpandTheirValues)
{
    Owned grey;
    make_bytes(grey, PIXEL_GREY, 3, 1, [](int x, int) { return x; });
    grey.p.colour_used = 3;
    ASSERT_EQ(image_change_depth(&grey.p, nullptr, DEPTH_BGR, 0), STATUS_OK);
    EXPECT_EQ(rgb_at(grey.p, 1, 0), (Rgb{127, 127, 127}));
    EXPECT_EQ(rgb_at(grey.p, 2, 0), (Rgb{255, 255, 255}));

    Owned mapped;
    make_bytes(mapped, PIXEL_COLORS, 2, 1, [](int x, int) { return x + 4; });
    mapped.p.colour_map[4] = 200, mapped.p.colour_map[256 + 4] = 100, mapped.p.colour_map[512 + 4] = 50;
    mapped.p.transparent_index = 5;
    ASSERT_EQ(image_change_depth(&mapped.p, nullptr, DEPTH_RGBA, 0), STATUS_OK);
    const uint8_t want[8] = {200, 100, 50, 255, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(mapped.p.data, want, 8), 0);
}

TEST(TrueColour, CmykIsReadAsInkNotAsRedGreenBlue)
{
    Owned o;
    picture_alloc(&o.p, PIXEL_CMYK, 1, 4, 1);
    const uint8_t inks[16] = {255, 0, 0, 0, /**/ 0, 0, 0, 255, /**/ 0, 0, 0, 0, /**/ 0, 128, 255, 51};
    std::memcpy(o.p.data, inks, 16);
    Owned grey;
    ASSERT_EQ(image_change_depth(&o.p, &grey.p, DEPTH_GREY_256, 0), STATUS_OK);
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_RGB, 0), STATUS_OK);
    EXPECT_EQ(rgb_at(o.p, 0, 0), (Rgb{0, 255, 255}));  // cyan ink
    EXPECT_EQ(rgb_at(o.p, 1, 0), (Rgb{0, 0, 0}));      // black ink
    EXPECT_EQ(rgb_at(o.p, 2, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgb_at(o.p, 3, 0), (Rgb{204, 101, 0}));  // (255 - ink) x (255 - black) / 255
    EXPECT_EQ(picture_line(&grey.p, 0)[0], luminance(0, 255, 255));
    EXPECT_EQ(picture_line(&grey.p, 0)[2], 255);
}

TEST(ChangeDepth, DeepPicturesAreNarrowedFirst)
{
    Owned o;
    ASSERT_EQ(picture_alloc_depth(&o.p, PIXEL_RGB, 1, 2, 1, 16), 1);
    const uint16_t samples[6] = {65535, 65535, 65535, 65535, 0, 0};
    std::memcpy(o.p.data, samples, sizeof samples);
    ASSERT_EQ(image_change_depth(&o.p, nullptr, DEPTH_GREY_256, 0), STATUS_OK);
    EXPECT_EQ(o.p.bits_per_component, 8);
    EXPECT_EQ(picture_line(&o.p, 0)[0], 255);
    EXPECT_EQ(picture_line(&o.p, 0)[1], 76);

    Owned twelve;
    ASSERT_EQ(picture_alloc_depth(&twelve.p, PIXEL_GREY, 1, 2, 1, 12), 1);
    const uint16_t grey[2] = {4095, 2048};
    std::memcpy(twelve.p.data, grey, sizeof grey);
    ASSERT_EQ(image_change_depth(&twelve.p, nullptr, DEPTH_RGB, 0), STATUS_OK);
    EXPECT_EQ(rgb_at(twelve.p, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(rgb_at(twelve.p, 1, 0), (Rgb{128, 128, 128}));
}

}  // namespace
