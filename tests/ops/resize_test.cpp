#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "ops/resize.h"
#include "picture_testing.h"

namespace {

// Component values of a picture, as displayed values (bilevel bits as 0 or 255).
double value_at(const Picture& p, int x, int y, int c)
{
    const uint8_t* line = picture_line(&p, y);
    if (p.type == PIXEL_BINARY) return bit_get(line, x) ? 255 : 0;
    if (p.bits_per_component > 8) return reinterpret_cast<const uint16_t*>(line)[static_cast<size_t>(x) * p.components_per_pixel + c];
    return line[static_cast<size_t>(x) * p.bytes_per_pixel + c];
}

// The plain definition: the mean of the source area a new pixel covers.
double area_mean(const Picture& src, int new_w, int new_h, int k, int j, int c)
{
    const double sx = static_cast<double>(src.width) / new_w, sy = static_cast<double>(src.height) / new_h;
    const double x0 = k * sx, x1 = (k + 1) * sx, y0 = j * sy, y1 = (j + 1) * sy;
    double sum = 0;
    for (int y = static_cast<int>(y0); y < y1 && y < src.height; ++y) {
        const double oy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
        for (int x = static_cast<int>(x0); x < x1 && x < src.width; ++x) {
            const double ox = std::min<double>(x + 1, x1) - std::max<double>(x, x0);
            if (ox > 0 && oy > 0) sum += ox * oy * value_at(src, x, y, c);
        }
    }
    return sum / (sx * sy);
}

void expect_area_means(const Picture& src, const Picture& out)
{
    const int components = src.type == PIXEL_BINARY ? 1 : src.components_per_pixel;
    for (int j = 0; j < out.height; ++j)
        for (int k = 0; k < out.width; ++k)
            for (int c = 0; c < components; ++c)
                ASSERT_NEAR(value_at(out, k, j, c), area_mean(src, out.width, out.height, k, j, c), 1.0)
                    << k << "," << j << " component " << c;
}

TEST(ResizeAverage, WithinOneUnitOfTheAreaMeanForEveryRatio)
{
    const TypeCase types[] = {{PIXEL_GREY, 8}, {PIXEL_RGB, 8}, {PIXEL_BGRA, 8}, {PIXEL_CMYK, 8}, {PIXEL_RGB, 16}, {PIXEL_GREY, 16}};
    const int sizes[][4] = {{40, 30, 10, 10}, {37, 23, 5, 7}, {100, 3, 7, 2}, {9, 9, 9, 9}, {7, 5, 13, 11}, {64, 48, 1, 1}, {3, 40, 2, 39}};
    for (const TypeCase& t : types)
        for (const auto& s : sizes) {
            SCOPED_TRACE("type " + std::to_string(t.type) + "/" + std::to_string(t.bits) + " " + std::to_string(s[0]) + "x" +
                         std::to_string(s[1]) + " to " + std::to_string(s[2]) + "x" + std::to_string(s[3]));
            Owned src, out;
            make_patterned(src, t.type, s[0], s[1], t.bits);
            ASSERT_EQ(image_resize_average(&src.p, &out.p, s[2], s[3], PIXEL_RGB), STATUS_OK);
            EXPECT_EQ(out.p.type, src.p.type);
            EXPECT_EQ(out.p.bits_per_component, src.p.bits_per_component);
            expect_area_means(src.p, out.p);
        }
}

TEST(ResizeAverage, PhotoToThumbnailTakesTheMeanOfEachBlock)
{
    Owned src, out;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_GREY, 4, 4000, 3000), 1);
    for (int y = 0; y < 3000; ++y)
        for (int x = 0; x < 4000; ++x) picture_line(&src.p, y)[x] = static_cast<uint8_t>((x * 7 + y * 13) % 251);
    ASSERT_EQ(image_resize_average(&src.p, &out.p, 160, 120, PIXEL_RGB), STATUS_OK);
    for (int j = 0; j < 120; j += 17)
        for (int k = 0; k < 160; k += 13) {
            double sum = 0;
            for (int y = 25 * j; y < 25 * j + 25; ++y)
                for (int x = 25 * k; x < 25 * k + 25; ++x) sum += picture_line(&src.p, y)[x];
            ASSERT_NEAR(picture_line(&out.p, j)[k], sum / 625, 0.5 + 1e-9) << k << "," << j;
        }
}

TEST(ResizeAverage, ConstantPicturesStayConstantThroughHugeReductions)
{
    // Tall enough that the 32-bit line sums have to be folded into wider ones on the way.
    Owned tall, deep, out, deep_out;
    ASSERT_EQ(picture_alloc(&tall.p, PIXEL_GREY, 1, 2, 20000), 1);
    std::memset(tall.p.data, 255, picture_data_size(&tall.p));
    ASSERT_EQ(image_resize_average(&tall.p, &out.p, 1, 1, PIXEL_RGB), STATUS_OK);
    EXPECT_EQ(out.p.data[0], 255);
    ASSERT_EQ(picture_alloc_depth(&deep.p, PIXEL_GREY, 1, 3, 70000, 16), 1);
    std::memset(deep.p.data, 0xFF, picture_data_size(&deep.p));
    ASSERT_EQ(image_resize_average(&deep.p, &deep_out.p, 1, 3, PIXEL_RGB), STATUS_OK);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(reinterpret_cast<uint16_t*>(picture_line(&deep_out.p, j))[0], 65535);
}

TEST(ResizeAverage, BilevelBecomesGreySharesOfWhiteOnlyWhenShrinking)
{
    Owned src, out;
    make_patterned(src, PIXEL_BINARY, 29, 17, 1, 4);
    ASSERT_EQ(image_resize_average(&src.p, &out.p, 6, 5, PIXEL_RGB), STATUS_OK);
    EXPECT_EQ(out.p.type, PIXEL_GREY);
    EXPECT_EQ(out.p.colour_used, 256);
    expect_area_means(src.p, out.p);
    const std::vector<uint8_t> before = snapshot(src.p);
    for (const auto& s : {std::pair{29, 5}, std::pair{6, 17}, std::pair{40, 40}, std::pair{0, 3}}) {
        Picture dest{};
        EXPECT_EQ(image_resize_average(&src.p, &dest, s.first, s.second, PIXEL_RGB), STATUS_BAD_PARAMETER);
        EXPECT_EQ(dest.data, nullptr);
    }
    EXPECT_EQ(snapshot(src.p), before);
}

TEST(ResizeAverage, ColourMappedPicturesAreAveragedThroughTheirMap)
{
    Owned src;
    make_patterned(src, PIXEL_COLORS, 12, 8);
    for (uint32_t target : {PIXEL_RGB, PIXEL_BGR}) {
        Owned out;
        ASSERT_EQ(image_resize_average(&src.p, &out.p, 12, 8, target), STATUS_OK);  // same size: the map alone
        EXPECT_EQ(out.p.type, target);
        EXPECT_EQ(out.p.colour_map, nullptr);
        EXPECT_EQ(out.p.colour_used, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                const uint8_t i = picture_line(&src.p, y)[x];
                const uint8_t* p = picture_line(&out.p, y) + 3 * x;
                const uint8_t r = src.p.colour_map[i], g = src.p.colour_map[256 + i], b = src.p.colour_map[512 + i];
                ASSERT_EQ(p[0], target == PIXEL_RGB ? r : b);
                ASSERT_EQ(p[1], g);
                ASSERT_EQ(p[2], target == PIXEL_RGB ? b : r);
            }
    }
    Picture dest{};
    EXPECT_EQ(image_resize_average(&src.p, &dest, 6, 4, PIXEL_GREY), STATUS_BAD_PARAMETER);
}

TEST(ResizeAverage, GreyOfFewerLevelsIsStretchedToTheFullRange)
{
    Owned src, out;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_GREY, 1, 4, 1), 1);
    src.p.colour_used = 16;
    const uint8_t levels[4] = {0, 5, 15, 10};
    std::memcpy(src.p.data, levels, 4);
    ASSERT_EQ(image_resize_average(&src.p, &out.p, 4, 1, PIXEL_RGB), STATUS_OK);
    EXPECT_EQ(out.p.colour_used, 256);
    EXPECT_EQ(std::vector<uint8_t>(out.p.data, out.p.data + 4), std::vector<uint8_t>({0, 85, 255, 170}));
}

TEST(Resize, NearestRepeatsAndPicksPixelsOfEveryType)
{
    for (const TypeCase& t : all_type_cases()) {
        SCOPED_TRACE("type " + std::to_string(t.type) + "/" + std::to_string(t.bits));
        Owned src, up, down;
        make_patterned(src, t.type, 2, 2, t.bits);
        ASSERT_EQ(image_resize(&src.p, &up.p, 4, 4, RESIZE_NEAREST), STATUS_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) ASSERT_EQ(pixel_at(up.p, x, y), pixel_at(src.p, x / 2, y / 2));
        Owned wide;
        make_patterned(wide, t.type, 23, 9, t.bits);
        ASSERT_EQ(image_resize(&wide.p, &down.p, 7, 4, RESIZE_NEAREST), STATUS_OK);
        EXPECT_EQ(down.p.type, wide.p.type);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 7; ++x) ASSERT_EQ(pixel_at(down.p, x, y), pixel_at(wide.p, 23 * x / 7, 9 * y / 4));
    }
}

TEST(Resize, ColourMappedKeepsItsMapUnlessAFilterMakesNewColours)
{
    Owned src;
    make_patterned(src, PIXEL_COLORS, 10, 10);
    src.p.colour_used = 77;
    src.p.transparent_index = 5;
    for (int filter : {0, 1, 2}) {
        Owned out;
        ASSERT_EQ(image_resize(&src.p, &out.p, 5, 20, filter), STATUS_OK);
        EXPECT_EQ(out.p.type, PIXEL_COLORS);
        EXPECT_EQ(out.p.colour_used, 77);
        ASSERT_NE(out.p.colour_map, nullptr);
        EXPECT_EQ(std::memcmp(out.p.colour_map, src.p.colour_map, COLOUR_MAP_BYTES), 0);
    }
    Owned rgb;
    ASSERT_EQ(image_resize(&src.p, &rgb.p, 5, 20, RESIZE_QUADRATIC), STATUS_OK);
    EXPECT_EQ(rgb.p.type, PIXEL_RGB);
    EXPECT_EQ(rgb.p.colour_used, 0);
    EXPECT_EQ(rgb.p.colour_map, nullptr);
    EXPECT_EQ(rgb.p.transparent_index, NO_TRANSPARENT_INDEX);
}

TEST(Resize, FiltersKeepFlatPicturesFlatAndStayInRange)
{
    for (int filter = 0; filter <= RESIZE_RAISED_COSINE; ++filter)
        for (const auto& s : {std::pair{7, 5}, std::pair{40, 31}, std::pair{3, 100}}) {
            SCOPED_TRACE("filter " + std::to_string(filter) + " to " + std::to_string(s.first) + "x" + std::to_string(s.second));
            Owned flat, out;
            ASSERT_EQ(picture_alloc(&flat.p, PIXEL_RGB, 4, 19, 13), 1);
            for (int y = 0; y < 13; ++y)
                for (int x = 0; x < 19; ++x) {
                    uint8_t* p = picture_line(&flat.p, y) + 3 * x;
                    p[0] = 0, p[1] = 130, p[2] = 255;
                }
            ASSERT_EQ(image_resize(&flat.p, &out.p, s.first, s.second, filter), STATUS_OK);
            ASSERT_EQ(out.p.width, s.first);
            for (int y = 0; y < out.p.height; ++y)
                for (int x = 0; x < out.p.width; ++x)
                    ASSERT_EQ(pixel_at(out.p, x, y), std::vector<uint8_t>({0, 130, 255})) << x << "," << y;
        }
}

TEST(Resize, LanczosOvershootIsClampedAndEdgesStaySymmetric)
{
    // A black square in a white field, enlarged: ringing must clamp, and the result mirrors.
    Owned src, out;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_GREY, 1, 16, 16), 1);
    std::memset(src.p.data, 255, picture_data_size(&src.p));
    for (int y = 4; y < 12; ++y) std::memset(picture_line(&src.p, y) + 4, 0, 8);
    ASSERT_EQ(image_resize(&src.p, &out.p, 48, 48, RESIZE_LANCZOS), STATUS_OK);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            ASSERT_EQ(picture_line(&out.p, y)[x], picture_line(&out.p, y)[47 - x]) << x << "," << y;
            ASSERT_EQ(picture_line(&out.p, y)[x], picture_line(&out.p, 47 - y)[x]) << x << "," << y;
        }
    EXPECT_EQ(picture_line(&out.p, 24)[24], 0);
    EXPECT_EQ(picture_line(&out.p, 1)[1], 255);
}

TEST(Resize, OwnInterpolationAveragesWhenReducingAndBlendsWhenEnlarging)
{
    Owned src, half, twice;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_GREY, 1, 4, 1), 1);
    const uint8_t v[4] = {10, 20, 100, 201};
    std::memcpy(src.p.data, v, 4);
    ASSERT_EQ(image_resize(&src.p, &half.p, 2, 1, 0), STATUS_OK);
    EXPECT_EQ(half.p.data[0], 15);
    EXPECT_EQ(half.p.data[1], 150);  // 150.5 truncated
    ASSERT_EQ(image_resize(&src.p, &twice.p, 8, 1, 1), STATUS_OK);
    EXPECT_EQ(std::vector<uint8_t>(twice.p.data, twice.p.data + 8), std::vector<uint8_t>({10, 15, 20, 60, 100, 150, 201, 201}));
    for (const TypeCase& t : {TypeCase{PIXEL_RGB, 8}, TypeCase{PIXEL_ARGB, 8}, TypeCase{PIXEL_RGB, 16}}) {
        Owned a, reduced;
        make_patterned(a, t.type, 30, 21, t.bits);
        ASSERT_EQ(image_resize(&a.p, &reduced.p, 7, 6, 0), STATUS_OK);
        expect_area_means(a.p, reduced.p);
    }
}

TEST(ResizeFailures, BadSizesAndFiltersLeaveTheSourceAlone)
{
    Owned src;
    make_patterned(src, PIXEL_RGB, 8, 8);
    const std::vector<uint8_t> before = snapshot(src.p);
    Picture dest{};
    EXPECT_EQ(image_resize(&src.p, &dest, 0, 5, 2), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_resize(&src.p, nullptr, 5, -1, 8), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_resize(&src.p, nullptr, 5, 5, 10), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_resize(&src.p, nullptr, 5, 5, -1), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_resize_average(&src.p, &dest, 5, 0, PIXEL_RGB), STATUS_BAD_PARAMETER);
    EXPECT_EQ(snapshot(src.p), before);
    EXPECT_EQ(dest.data, nullptr);
    Picture none{};
    EXPECT_EQ(image_resize(&none, nullptr, 5, 5, 2), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_resize_average(&none, nullptr, 5, 5, PIXEL_RGB), STATUS_BAD_PARAMETER);
}

}  // namespace
