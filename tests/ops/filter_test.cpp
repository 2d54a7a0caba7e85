#include <gtest/gtest.h>

#include <algorithm>

#include "ops/filter.h"
#include "test_pictures.h"

namespace {

// Byte k of pixel (x, y) with the picture's edges repeated outwards.
int edge(const Picture& p, int x, int y, int k)
{
    return at(p, std::clamp(x, 0, p.width - 1), std::clamp(y, 0, p.height - 1), k);
}

int reference_blur(const Picture& p, int x, int y, int k, int s)
{
    const int w = (3175 * (100 - s)) / 100 + 25;
    const int sides = edge(p, x, y - 1, k) + edge(p, x, y + 1, k) + edge(p, x - 1, y, k) + edge(p, x + 1, y, k);
    const int corners = edge(p, x - 1, y - 1, k) + edge(p, x + 1, y - 1, k) + edge(p, x - 1, y + 1, k) +
                        edge(p, x + 1, y + 1, k);
    return (w * edge(p, x, y, k) + 100 * (2 * sides + corners)) / (w + 1200);
}

int reference_kernel(const Picture& p, int x, int y, int k, const FilterKernel& kernel)
{
    int sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += kernel.weight[(dy + 1) * 3 + dx + 1] * edge(p, x + dx, y + dy, k);
    return std::clamp(sum / kernel.divisor + kernel.bias, 0, 255);
}

// Compares every byte of `out` with `expect` inside the rectangle and with the source outside.
template <class Expect>
void check_every_byte(const Picture& src, const Picture& out, const Rect& r, Expect expect)
{
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x)
            for (int k = 0; k < src.bytes_per_pixel; ++k) {
                const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                ASSERT_EQ(at(out, x, y, k), inside ? expect(x, y, k) : at(src, x, y, k))
                    << "type " << src.type << " x" << x << " y" << y << " k" << k;
            }
}

TEST(Blur, EveryByteAgainstTheFormula)
{
    const uint32_t types[] = {PIXEL_GREY, PIXEL_COLORS, PIXEL_RGB, PIXEL_ABGR};
    for (uint32_t type : types)
        for (unsigned s : {0u, 3u, 37u, 100u})
            for (const Rect& rect : {Rect{0, 0, 99, 99}, Rect{2, 1, 30, 3}}) {
                OwnedPicture src, dst;
                fill_random(src, type, 29, 6, type + s);  // 29 x 4 = 116 bytes: one block and a tail
                src->transparent_index = 3;
                ASSERT_EQ(image_blur(src.get(), dst.get(), &rect, s), STATUS_OK);
                Rect r;
                rect_clip(src.get(), &rect, &r);
                check_every_byte(src.p, dst.p, r, [&](int x, int y, int k) { return reference_blur(src.p, x, y, k, s); });
                EXPECT_EQ(dst->transparent_index, NO_TRANSPARENT_INDEX);
                EXPECT_EQ(map_bytes(dst.p), map_bytes(src.p));
            }
}

TEST(Blur, SingleBrightPixelAndStrengthBeyondHundred)
{
    OwnedPicture p;
    picture_alloc(p.get(), PIXEL_GREY, 1, 5, 5);
    picture_line(p.get(), 2)[2] = 255;
    OwnedPicture out;
    ASSERT_EQ(image_blur(p.get(), out.get(), nullptr, 3), STATUS_OK);
    EXPECT_EQ(at(out.p, 2, 2, 0), 183);
    EXPECT_EQ(at(out.p, 1, 2, 0), 11);
    EXPECT_EQ(at(out.p, 2, 3, 0), 11);
    EXPECT_EQ(at(out.p, 0, 0, 0), 0);
    OwnedPicture hundred, more;
    ASSERT_EQ(image_blur(p.get(), hundred.get(), nullptr, 100), STATUS_OK);
    ASSERT_EQ(image_blur(p.get(), more.get(), nullptr, 4000000000u), STATUS_OK);
    EXPECT_EQ(pixel_bytes(more.p), pixel_bytes(hundred.p));
}

TEST(Filter, EveryKernelAgainstTheFormula)
{
    for (int e = 0; e < FILTER_KERNEL_COUNT; ++e)
        for (uint32_t type : {PIXEL_RGBA, PIXEL_BGR}) {
            OwnedPicture src, dst;
            fill_random(src, type, 21, 5, 100 + e);
            const Rect rect{1, 1, 19, 3};
            ASSERT_EQ(image_filter(src.get(), dst.get(), &rect, e), STATUS_OK);
            check_every_byte(src.p, dst.p, rect,
                             [&](int x, int y, int k) { return reference_kernel(src.p, x, y, k, filter_kernels[e]); });
        }
}

TEST(Filter, UniformAreasAndInPlace)
{
    OwnedPicture p;
    picture_alloc(p.get(), PIXEL_RGB, 4, 70, 3);
    std::memset(p->data, 77, picture_data_size(p.get()));
    for (int e = 0; e < FILTER_KERNEL_COUNT; ++e) {
        OwnedPicture out;
        ASSERT_EQ(image_filter(p.get(), out.get(), nullptr, e), STATUS_OK);
        for (int x = 0; x < 70; ++x) ASSERT_EQ(at(out.p, x, 1, 1), filter_kernels[e].bias ? 128 : 77) << e;
    }
    ASSERT_EQ(image_blur(p.get(), nullptr, nullptr, 50), STATUS_OK);
    ASSERT_EQ(image_sharpen(p.get(), nullptr, nullptr), STATUS_OK);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 70; ++x) ASSERT_EQ(at(p.p, x, y, 2), 77);
}

TEST(Filter, RectangleReadsItsNeighbours)
{
    OwnedPicture p, out;
    picture_alloc(p.get(), PIXEL_GREY, 1, 6, 6);
    picture_line(p.get(), 2)[1] = 255;  // just left of the rectangle
    const Rect rect{2, 2, 2, 2};
    ASSERT_EQ(image_blur(p.get(), out.get(), &rect, 3), STATUS_OK);
    EXPECT_EQ(at(out.p, 2, 2, 0), 11);   // its side neighbour inside
    EXPECT_EQ(at(out.p, 1, 2, 0), 255);  // itself outside: kept
    EXPECT_EQ(at(out.p, 2, 4, 0), 0);
}

TEST(Filter, RefusalsAndPaddedLine)
{
    OwnedPicture bilevel, rgb;
    fill_random(bilevel, PIXEL_BINARY, 9, 3, 1);
    fill_random(rgb, PIXEL_RGB, 4, 3, 2);
    const std::vector<uint8_t> bits = pixel_bytes(bilevel.p), bytes = pixel_bytes(rgb.p);
    EXPECT_EQ(image_blur(bilevel.get(), nullptr, nullptr, 3), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(image_sharpen(bilevel.get(), nullptr, nullptr), STATUS_BILEVEL_REFUSED);
    EXPECT_EQ(image_filter(rgb.get(), nullptr, nullptr, 9), STATUS_BAD_PARAMETER);
    EXPECT_EQ(image_filter(rgb.get(), nullptr, nullptr, -1), STATUS_BAD_PARAMETER);
    const Rect outside{0, 3, 4, 1};
    EXPECT_EQ(image_blur(rgb.get(), nullptr, &outside, 3), STATUS_BAD_PARAMETER);
    OwnedPicture deep;
    picture_alloc_depth(deep.get(), PIXEL_RGB, 1, 3, 3, 16);
    EXPECT_EQ(image_blur(deep.get(), nullptr, nullptr, 3), STATUS_BAD_PARAMETER);
    EXPECT_EQ(pixel_bytes(bilevel.p), bits);
    EXPECT_EQ(pixel_bytes(rgb.p), bytes);

    uint8_t buffer[6 * 3];
    padded_line(buffer, rgb.get(), 7, 3);  // past the end: the last line
    const uint8_t* last = picture_line(rgb.get(), 2);
    EXPECT_EQ(0, std::memcmp(buffer, last, 3));
    EXPECT_EQ(0, std::memcmp(buffer + 3, last, 12));
    EXPECT_EQ(0, std::memcmp(buffer + 15, last + 9, 3));
}

}  // namespace
