#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/picture.h"
#include "support/owned.h"

namespace {

TEST(PictureLayout, BilevelLinesPackEightPixelsAndRoundToPadding)
{
    struct Case { int width, padding, bytes; } cases[] = {{1, 1, 1}, {8, 1, 1}, {9, 1, 2}, {9, 4, 4}, {33, 4, 8}, {1, 0, 1}};
    for (const Case& c : cases) {
        Owned o;
        ASSERT_EQ(picture_alloc(&o.p, PIXEL_BINARY, c.padding, c.width, 3), 1);
        EXPECT_EQ(o.p.bytes_per_line, c.bytes) << c.width << " wide, padding " << c.padding;
        EXPECT_EQ(o.p.bits_per_component, 1);
        EXPECT_EQ(o.p.colour_used, 2);
        EXPECT_EQ(o.p.colour_map, nullptr);
    }
}

TEST(PictureLayout, ByteLinesRoundToPaddingAndPaddingZeroMeansOne)
{
    Owned rgb;
    ASSERT_EQ(picture_alloc(&rgb.p, PIXEL_RGB, 4, 3, 2), 1);
    EXPECT_EQ(rgb.p.bytes_per_line, 12);
    Owned unpadded;
    ASSERT_EQ(picture_alloc(&unpadded.p, PIXEL_RGB, 0, 3, 2), 1);
    EXPECT_EQ(unpadded.p.line_padding, 1);
    EXPECT_EQ(unpadded.p.bytes_per_line, 9);
    Owned deep;
    ASSERT_EQ(picture_alloc_depth(&deep.p, PIXEL_RGB, 1, 10, 2, 16), 1);
    EXPECT_EQ(deep.p.bytes_per_pixel, 6);
    EXPECT_EQ(deep.p.bytes_per_line, 60);
    EXPECT_EQ(deep.p.bits_per_component, 16);
}

TEST(PictureLayout, RequestMasksResolveToConcreteTypes)
{
    struct Case { uint32_t asked; uint16_t stored; uint16_t components; } cases[] = {
        {PIXEL_ANY24, PIXEL_RGB, 3}, {PIXEL_ANY32, PIXEL_RGBA, 4}, {PIXEL_ANYCOLOR, PIXEL_RGB, 3},
        {PIXEL_BGRA, PIXEL_BGRA, 4}, {PIXEL_BGR, PIXEL_BGR, 3},     {PIXEL_CMYK, PIXEL_CMYK, 4},
        {PIXEL_GREY, PIXEL_GREY, 1}, {PIXEL_COLORS, PIXEL_COLORS, 1}};
    for (const Case& c : cases) {
        Owned o;
        ASSERT_EQ(picture_alloc(&o.p, c.asked, 1, 5, 5), 1);
        EXPECT_EQ(o.p.type, c.stored) << "asked " << c.asked;
        EXPECT_EQ(o.p.components_per_pixel, c.components) << "asked " << c.asked;
        EXPECT_EQ(o.p.bytes_per_pixel, c.components);
    }
}

TEST(PictureLayout, GreyHasNoMapAndColourMappedHasAZeroedOne)
{
    Owned grey, mapped;
    ASSERT_EQ(picture_alloc(&grey.p, PIXEL_GREY, 4, 4, 4), 1);
    EXPECT_EQ(grey.p.colour_used, 256);
    EXPECT_EQ(grey.p.colour_map, nullptr);
    ASSERT_EQ(picture_alloc(&mapped.p, PIXEL_COLORS, 4, 4, 4), 1);
    ASSERT_NE(mapped.p.colour_map, nullptr);
    for (size_t i = 0; i < COLOUR_MAP_BYTES; ++i) ASSERT_EQ(mapped.p.colour_map[i], 0);
    EXPECT_EQ(mapped.p.transparent_index, NO_TRANSPARENT_INDEX);
    EXPECT_EQ(mapped.p.x_dpi, 0);
}

TEST(PictureLayout, SizesThatOverflowOrCannotExistAreRefusedNotShortened)
{
    Owned o;
    EXPECT_EQ(picture_alloc(&o.p, PIXEL_RGBA, 4, 0x40000000, 1), 0);  // line above 2 GB
    EXPECT_EQ(o.p.data, nullptr);
    EXPECT_EQ(picture_alloc(&o.p, PIXEL_RGB, 1, 1000000, 1000000000), 0);  // 3e15 bytes
    EXPECT_EQ(o.p.data, nullptr);
    EXPECT_EQ(picture_alloc_depth(&o.p, PIXEL_ANY32, 1, 0x7FFFFFFF, 0x7FFFFFFF, 16), 0);
    EXPECT_EQ(picture_alloc(&o.p, PIXEL_GREY, 1, 0, 10), 0);
    EXPECT_EQ(picture_alloc(&o.p, PIXEL_GREY, 1, 10, -1), 0);
    Picture like{};
    EXPECT_EQ(picture_alloc_like(&like, PIXEL_RGB, &o.p), 1);
}

TEST(PictureFree, IsHarmlessOnEmptyRecordsAndTwice)
{
    Picture p{};
    picture_free(&p);
    ASSERT_EQ(picture_alloc(&p, PIXEL_COLORS, 1, 2, 2), 1);
    picture_free(&p);
    picture_free(&p);
    EXPECT_EQ(p.data, nullptr);
    EXPECT_EQ(p.colour_map, nullptr);
}

PictureChunk* make_chunk(uint32_t kind, const char* bytes, PictureChunk* next)
{
    auto* c = static_cast<PictureChunk*>(calloc(1, sizeof(PictureChunk)));
    c->kind = kind;
    c->size = static_cast<uint32_t>(strlen(bytes));
    c->bytes = static_cast<uint8_t*>(malloc(c->size));
    memcpy(c->bytes, bytes, c->size);
    c->next = next;
    return c;
}

TEST(PictureExtras, FollowAPictureAsDeepCopiesInOrder)
{
    Owned src;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_RGB, 4, 4, 4), 1);
    src.p.origin = PICTURE_ORIGIN_BOTTOM;
    src.p.x_dpi = 300;
    src.p.y_dpi = 150;
    src.p.comment = strdup("holiday");
    src.p.chunks = make_chunk(CHUNK_EXIF, "Exif", make_chunk(CHUNK_IPTC, "8BIM", nullptr));

    Owned dst;
    ASSERT_EQ(picture_alloc_like(&dst.p, PIXEL_GREY, &src.p), 0);
    EXPECT_EQ(dst.p.type, PIXEL_GREY);
    EXPECT_EQ(dst.p.origin, PICTURE_ORIGIN_BOTTOM);
    EXPECT_EQ(dst.p.x_dpi, 300);
    EXPECT_EQ(dst.p.y_dpi, 150);
    ASSERT_NE(dst.p.comment, src.p.comment);
    EXPECT_STREQ(dst.p.comment, "holiday");
    ASSERT_NE(dst.p.chunks, nullptr);
    EXPECT_NE(dst.p.chunks, src.p.chunks);
    EXPECT_NE(dst.p.chunks->bytes, src.p.chunks->bytes);
    EXPECT_EQ(dst.p.chunks->kind, CHUNK_EXIF);
    ASSERT_NE(dst.p.chunks->next, nullptr);
    EXPECT_EQ(dst.p.chunks->next->kind, CHUNK_IPTC);
    EXPECT_EQ(memcmp(dst.p.chunks->next->bytes, "8BIM", 4), 0);
    EXPECT_EQ(dst.p.chunks->next->next, nullptr);
}

TEST(PictureClone, CopiesPixelsMapAndMarksIntoIndependentStorage)
{
    Owned src;
    ASSERT_EQ(picture_alloc(&src.p, PIXEL_COLORS, 4, 5, 3), 1);
    for (int i = 0; i < 15; ++i) picture_line(&src.p, i / 5)[i % 5] = static_cast<uint8_t>(i);
    src.p.colour_map[7] = 200;
    src.p.colour_used = 16;
    src.p.transparent_index = 3;
    EXPECT_EQ(picture_clone(&src.p, nullptr), 0);
    Owned dst;
    ASSERT_EQ(picture_clone(&src.p, &dst.p), 0);
    EXPECT_NE(dst.p.data, src.p.data);
    EXPECT_EQ(memcmp(dst.p.data, src.p.data, picture_data_size(&src.p)), 0);
    EXPECT_EQ(dst.p.colour_map[7], 200);
    EXPECT_EQ(dst.p.colour_used, 16);
    EXPECT_EQ(dst.p.transparent_index, 3);
}

TEST(RectClip, ClipsToThePictureAndRefusesEmptyResults)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_GREY, 1, 100, 100), 1);
    Rect r;
    EXPECT_EQ(rect_clip(&o.p, nullptr, &r), STATUS_OK);
    EXPECT_EQ(r.w, 100);
    const Rect partly{-5, -5, 10, 10};
    EXPECT_EQ(rect_clip(&o.p, &partly, &r), STATUS_OK);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.w, 5);
    EXPECT_EQ(r.h, 5);
    const Rect outside{100, 0, 10, 10};
    EXPECT_EQ(rect_clip(&o.p, &outside, &r), STATUS_BAD_PARAMETER);
    const Rect inverted{50, 50, -10, 10};
    EXPECT_EQ(rect_clip(&o.p, &inverted, &r), STATUS_BAD_PARAMETER);
    // x + w beyond 32 bits must not wrap into a valid rectangle.
    const Rect huge{0x7FFFFFF0, 0, 0x7FFFFFF0, 10};
    EXPECT_EQ(rect_clip(&o.p, &huge, &r), STATUS_BAD_PARAMETER);
    const Rect wide{-0x7FFFFFFF, 10, 0x7FFFFFFF, 5};
    EXPECT_EQ(rect_clip(&o.p, &wide, &r), STATUS_BAD_PARAMETER);
}

TEST(PictureCrop, CutsBytesAndBitsAndWorksInPlace)
{
    Owned rgb;
    ASSERT_EQ(picture_alloc(&rgb.p, PIXEL_RGB, 4, 4, 3), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 12; ++x) picture_line(&rgb.p, y)[x] = static_cast<uint8_t>(y * 16 + x);
    const Rect r{1, 1, 2, 5};
    Owned out;
    ASSERT_EQ(picture_crop(&rgb.p, &out.p, &r), STATUS_OK);
    EXPECT_EQ(out.p.width, 2);
    EXPECT_EQ(out.p.height, 2);
    EXPECT_EQ(out.p.bytes_per_line, 8);
    EXPECT_EQ(picture_line(&out.p, 0)[0], 16 + 3);
    EXPECT_EQ(picture_line(&out.p, 1)[5], 32 + 8);

    // Bilevel: a crop starting mid-byte must shift the bits, and bits past the width stay clear.
    Owned bits;
    ASSERT_EQ(picture_alloc(&bits.p, PIXEL_BINARY, 1, 20, 1), 1);
    for (int x = 0; x < 20; ++x) bit_put(picture_line(&bits.p, 0), x, x % 3 == 0);
    const Rect b{5, 0, 11, 1};
    ASSERT_EQ(picture_crop(&bits.p, nullptr, &b), STATUS_OK);
    EXPECT_EQ(bits.p.width, 11);
    for (int x = 0; x < 11; ++x) EXPECT_EQ(bit_get(picture_line(&bits.p, 0), x), (x + 5) % 3 == 0) << x;
    for (int x = 11; x < 16; ++x) EXPECT_EQ(bit_get(picture_line(&bits.p, 0), x), 0);

    const Rect empty{30, 0, 5, 5};
    const int32_t width_before = bits.p.width;
    EXPECT_EQ(picture_crop(&bits.p, nullptr, &empty), STATUS_BAD_PARAMETER);
    EXPECT_EQ(bits.p.width, width_before);
}

TEST(BitAccessors, AddressBitSevenAsTheLeftmostPixel)
{
    uint8_t line[2] = {0, 0};
    bit_or(line, 0, 1);
    bit_or(line, 9, 1);
    EXPECT_EQ(line[0], 0x80);
    EXPECT_EQ(line[1], 0x40);
    bit_put(line, 0, 0);
    bit_put(line, 15, 1);
    EXPECT_EQ(line[0], 0x00);
    EXPECT_EQ(line[1], 0x41);
    EXPECT_EQ(bit_get(line, 9), 1);
    EXPECT_EQ(bit_get(line, 8), 0);
}

}  // namespace
