#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "editing/text_stamp.h"
#include "support/owned.h"

namespace {

// Every byte different, so that any misplaced copy shows.
void fill_pattern(Picture* p)
{
    for (int y = 0; y < p->height; ++y)
        for (int i = 0; i < p->bytes_per_line; ++i) picture_line(p, y)[i] = static_cast<uint8_t>(y * 31 + i * 7 + 3);
}

std::vector<uint8_t> block(const Picture* p)
{
    return std::vector<uint8_t>(p->data, p->data + picture_data_size(p));
}

struct TypeCase {
    uint32_t type;
    int bits;
    int expected_bits;
};

class StampRoundTrip : public ::testing::TestWithParam<TypeCase> {};

// Into the bitmap and back without drawing gives the picture back byte for byte, whichever way
// up it is stored.
TEST_P(StampRoundTrip, UntouchedBitmapGivesThePictureBack)
{
    const TypeCase c = GetParam();
    for (uint16_t origin : {uint16_t{0}, uint16_t{PICTURE_ORIGIN_BOTTOM}}) {
        Owned o;
        ASSERT_EQ(picture_alloc_depth(&o.p, c.type, 4, 13, 5, c.bits), 1);
        o.p.origin = origin;
        fill_pattern(&o.p);
        const std::vector<uint8_t> before = block(&o.p);
        StampBitmapLayout l;
        ASSERT_TRUE(stamp_bitmap_layout(&o.p, &l));
        EXPECT_EQ(l.bit_count, c.expected_bits);
        EXPECT_EQ(l.stride % 4, 0);
        std::vector<uint8_t> bits(static_cast<size_t>(l.stride) * l.height, 0xEE);
        stamp_picture_to_bitmap(&o.p, l, bits.data());
        if (c.type != PIXEL_CMYK) {
            stamp_bitmap_to_picture(bits.data(), l, &o.p);
            EXPECT_EQ(block(&o.p), before) << "type " << c.type << " origin " << origin;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryType, StampRoundTrip,
                         ::testing::Values(TypeCase{PIXEL_BINARY, 1, 1}, TypeCase{PIXEL_GREY, 8, 8},
                                           TypeCase{PIXEL_COLORS, 8, 8}, TypeCase{PIXEL_RGB, 8, 24},
                                           TypeCase{PIXEL_BGR, 8, 24}, TypeCase{PIXEL_RGBA, 8, 32},
                                           TypeCase{PIXEL_BGRA, 8, 32}, TypeCase{PIXEL_ABGR, 8, 32},
                                           TypeCase{PIXEL_ARGB, 8, 32}, TypeCase{PIXEL_CMYK, 8, 32}));

TEST(StampBitmap, RowsAreBottomUpAndColoursInBlueGreenRedOrder)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_ARGB, 4, 2, 2), 1);
    uint8_t* top = picture_line(&o.p, 0);
    const uint8_t argb[4] = {200, 10, 20, 30};  // alpha, red, green, blue
    std::memcpy(top, argb, 4);
    StampBitmapLayout l;
    ASSERT_TRUE(stamp_bitmap_layout(&o.p, &l));
    std::vector<uint8_t> bits(static_cast<size_t>(l.stride) * l.height);
    stamp_picture_to_bitmap(&o.p, l, bits.data());
    // The picture's top line is the bitmap's last row.
    const uint8_t* row = bits.data() + l.stride;
    EXPECT_EQ(row[0], 30);
    EXPECT_EQ(row[1], 20);
    EXPECT_EQ(row[2], 10);
    EXPECT_EQ(row[3], 200);
}

TEST(StampBitmap, DrawnColourGoesBackAndAlphaStays)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_RGBA, 4, 3, 1), 1);
    std::memset(o.p.data, 128, picture_data_size(&o.p));
    StampBitmapLayout l;
    ASSERT_TRUE(stamp_bitmap_layout(&o.p, &l));
    std::vector<uint8_t> bits(static_cast<size_t>(l.stride) * l.height);
    stamp_picture_to_bitmap(&o.p, l, bits.data());
    // As GDI draws a pure-red pixel: blue, green, red, and the fourth byte cleared.
    const uint8_t drawn[4] = {0, 0, 255, 0};
    std::memcpy(bits.data() + 4, drawn, 4);
    stamp_bitmap_to_picture(bits.data(), l, &o.p);
    const uint8_t* px = o.p.data + 4;
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
    EXPECT_EQ(px[2], 0);
    EXPECT_EQ(px[3], 128);
    EXPECT_EQ(o.p.data[0], 128);
}

TEST(StampBitmap, CmykTakesTheDrawnColourOnlyWhereDrawn)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_CMYK, 4, 2, 1), 1);
    const uint8_t ink[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    std::memcpy(o.p.data, ink, 8);
    StampBitmapLayout l;
    ASSERT_TRUE(stamp_bitmap_layout(&o.p, &l));
    std::vector<uint8_t> bits(static_cast<size_t>(l.stride) * l.height);
    stamp_picture_to_bitmap(&o.p, l, bits.data());
    const uint8_t blue[4] = {255, 0, 0, 0};
    std::memcpy(bits.data() + 4, blue, 4);
    stamp_bitmap_to_picture(bits.data(), l, &o.p);
    EXPECT_EQ(std::memcmp(o.p.data, ink, 4), 0);  // untouched pixel keeps its inks
    const uint8_t* px = o.p.data + 4;
    EXPECT_EQ(px[0], 255);  // cyan
    EXPECT_EQ(px[1], 255);  // magenta
    EXPECT_EQ(px[2], 0);    // no yellow
    EXPECT_EQ(px[3], 0);
}

TEST(StampBitmap, ColourTablesFollowThePicture)
{
    Owned grey;
    ASSERT_EQ(picture_alloc(&grey.p, PIXEL_GREY, 4, 4, 4), 1);
    StampBitmapLayout l;
    ASSERT_TRUE(stamp_bitmap_layout(&grey.p, &l));
    EXPECT_EQ(l.colours, 256);
    EXPECT_EQ(l.table[0], 0u);
    EXPECT_EQ(l.table[200], 0xC8C8C8u);

    Owned mapped;
    ASSERT_EQ(picture_alloc(&mapped.p, PIXEL_COLORS, 4, 4, 4), 1);
    ASSERT_NE(mapped.p.colour_map, nullptr);
    mapped.p.colour_map[5] = 0x11;
    mapped.p.colour_map[256 + 5] = 0x22;
    mapped.p.colour_map[512 + 5] = 0x33;
    ASSERT_TRUE(stamp_bitmap_layout(&mapped.p, &l));
    EXPECT_EQ(l.table[5], 0x112233u);

    Owned bilevel;
    ASSERT_EQ(picture_alloc(&bilevel.p, PIXEL_BINARY, 4, 40, 2), 1);
    ASSERT_TRUE(stamp_bitmap_layout(&bilevel.p, &l));
    EXPECT_EQ(l.colours, 2);
    EXPECT_EQ(l.table[0], 0u);
    EXPECT_EQ(l.table[1], 0xFFFFFFu);
    EXPECT_EQ(l.stride, 8);
}

TEST(StampBitmap, DeepPicturesAreNotStamped)
{
    Owned deep;
    ASSERT_EQ(picture_alloc_depth(&deep.p, PIXEL_RGB, 4, 4, 4, 16), 1);
    StampBitmapLayout l;
    EXPECT_FALSE(stamp_bitmap_layout(&deep.p, &l));
    Picture empty{};
    EXPECT_FALSE(stamp_bitmap_layout(&empty, &l));
}

}  // namespace
