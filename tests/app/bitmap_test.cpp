// Dither tables, display maps, DIB formats and the bytes every line converter writes.
#include "app/bitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <tuple>
#include <vector>

namespace {

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(display_tables_init(6, 6, 6), STATUS_OK); }
    void TearDown() override
    {
        display_free(&display);
        for (Picture& p : pictures) picture_free(&p);
        display_tables_free();
    }

    Picture* make(uint32_t type, int w, int h, int bits = 8)
    {
        pictures.emplace_back();
        Picture* p = &pictures.back();
        EXPECT_EQ(picture_alloc_depth(p, type, 1, w, h, bits), 1);
        for (uint64_t i = 0; i < picture_data_size(p); ++i) p->data[i] = static_cast<uint8_t>(i * 7 + 3);
        return p;
    }

    // Converts the whole display (at most one tile) and returns DIB line `row` from the top.
    std::vector<uint8_t> line(int row, int width_bytes)
    {
        const uint8_t* l = display_buffer_line(&display, row);
        return std::vector<uint8_t>(l, l + width_bytes);
    }

    DisplayBitmap display{};
    std::deque<Picture> pictures;  // stable addresses
};

TEST_F(DisplayTest, ChannelTablesPlaceValuesBetweenCubeLevels)
{
    const DisplayTables* t = display_tables();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->cube_colours, 216);
    // 0 is exactly the lowest level, 255 the top of the last interval.
    EXPECT_EQ(t->channel[0][0].fraction, 0);
    EXPECT_EQ(t->channel[0][0].lo, 0);
    EXPECT_EQ(t->channel[0][255].fraction, 63);
    EXPECT_EQ(t->channel[0][255].lo, 4 * 36);
    EXPECT_EQ(t->channel[0][255].hi, 5 * 36);
    EXPECT_EQ(t->channel[1][255].hi, 5 * 6);
    EXPECT_EQ(t->channel[2][255].hi, 5);
    // 51 is level 1 exactly; 76 lies half-way (fraction trunc(25 * 63 / 51) = 30).
    EXPECT_EQ(t->channel[2][51].lo, 1);
    EXPECT_EQ(t->channel[2][51].fraction, 0);
    EXPECT_EQ(t->channel[1][76].lo, 6);
    EXPECT_EQ(t->channel[1][76].fraction, 30);
    for (int v = 0; v < 256; ++v) EXPECT_LE(t->channel[0][v].hi, 180);
    // The palette is the 6 x 6 x 6 cube with steps of 51.
    EXPECT_EQ(t->cube[0][0], 0);
    EXPECT_EQ(t->cube[215][0], 255);
    EXPECT_EQ(t->cube[215][2], 255);
    EXPECT_EQ(t->cube[1 * 36 + 2 * 6 + 3][0], 51);
    EXPECT_EQ(t->cube[1 * 36 + 2 * 6 + 3][1], 102);
    EXPECT_EQ(t->cube[1 * 36 + 2 * 6 + 3][2], 153);
}

TEST_F(DisplayTest, WhiteAndBlackGoThroughTheCubeUnchangedEverywhere)
{
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(display_dither_index(255, 255, 255, x, y), 215);
            EXPECT_EQ(display_dither_index(0, 0, 0, x, y), 0);
            // A cube colour maps to itself.
            EXPECT_EQ(display_dither_index(51, 102, 153, x, y), 36 + 12 + 3);
        }
}

TEST_F(DisplayTest, DitherFollowsTheMatrix)
{
    // Red at fraction 30 takes the upper level where the matrix is below 30.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int expected = DISPLAY_DITHER_MATRIX[y][x] < 30 ? 2 * 36 : 36;
            EXPECT_EQ(display_dither_index(76, 0, 0, x + 16, y + 8), expected) << x << "," << y;
        }
}

TEST(DisplayTables, RejectsLevelCountsTheCubeCannotHold)
{
    EXPECT_EQ(display_tables_init(1, 6, 6), STATUS_BAD_PARAMETER);
    EXPECT_EQ(display_tables_init(7, 7, 7), STATUS_BAD_PARAMETER);
    EXPECT_EQ(display_tables(), nullptr);
    EXPECT_EQ(display_tables_init(8, 8, 4), STATUS_OK);
    EXPECT_EQ(display_tables()->cube_colours, 256);
    EXPECT_EQ(display_dither_index(255, 255, 255, 3, 5), 255);
    display_tables_free();
}

TEST_F(DisplayTest, MapsAreNearestNeighbourAndUndoStoredOrientation)
{
    Picture* p = make(PIXEL_RGB, 4, 4);
    ASSERT_EQ(display_init(&display, 32, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, p, 4, 4, true), STATUS_OK);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(display.columns[x], static_cast<uint32_t>(x * 3));
    for (int y = 0; y < 4; ++y) EXPECT_EQ(display.rows[y], picture_line(p, y));

    ASSERT_EQ(display_prepare(&display, p, 3, 8, true), STATUS_OK);
    EXPECT_EQ(display.columns[1], 3u);  // trunc(1 * 4 / 3) = 1
    EXPECT_EQ(display.columns[2], 6u);  // trunc(2 * 4 / 3) = 2
    EXPECT_EQ(display.rows[5], picture_line(p, 2));

    p->origin = PICTURE_ORIGIN_BOTTOM | PICTURE_ORIGIN_RIGHT_TO_LEFT;
    ASSERT_EQ(display_prepare(&display, p, 4, 4, true), STATUS_OK);
    EXPECT_EQ(display.rows[0], picture_line(p, 3));
    EXPECT_EQ(display.columns[0], 9u);

    Picture* b = make(PIXEL_BINARY, 20, 2);
    ASSERT_EQ(display_prepare(&display, b, 10, 2, true), STATUS_OK);
    EXPECT_EQ(display.columns[3], 6u);  // bilevel maps hold the source column
}

// Screen depth, picture type -> DIB bits, colour count, palette.
TEST_F(DisplayTest, FormatFollowsScreenAndPictureType)
{
    struct Case {
        int screen;
        uint32_t type;
        int bits;
        uint32_t colours;
        uint8_t palette;
    } cases[] = {
        {24, PIXEL_BINARY, 1, 2, DISPLAY_PALETTE_OWN},   {24, PIXEL_GREY, 8, 256, DISPLAY_PALETTE_OWN},
        {24, PIXEL_COLORS, 8, 256, DISPLAY_PALETTE_OWN}, {24, PIXEL_RGB, 24, 0, DISPLAY_PALETTE_NONE},
        {32, PIXEL_RGBA, 24, 0, DISPLAY_PALETTE_NONE},   {16, PIXEL_CMYK, 24, 0, DISPLAY_PALETTE_NONE},
        {8, PIXEL_BINARY, 1, 2, DISPLAY_PALETTE_CUBE},   {8, PIXEL_GREY, 8, 216, DISPLAY_PALETTE_CUBE},
        {8, PIXEL_COLORS, 8, 216, DISPLAY_PALETTE_CUBE}, {8, PIXEL_RGB, 8, 216, DISPLAY_PALETTE_CUBE},
        {4, PIXEL_BGRA, 8, 216, DISPLAY_PALETTE_CUBE},
    };
    for (const Case& c : cases) {
        Picture* p = make(c.type, 5, 3);
        ASSERT_EQ(display_init(&display, c.screen, 256, 256), STATUS_OK);
        ASSERT_EQ(display_prepare(&display, p, 5, 3, true), STATUS_OK);
        EXPECT_EQ(display.dib.bit_count, c.bits) << c.screen << " " << c.type;
        EXPECT_EQ(display.dib.colours_used, c.colours) << c.screen << " " << c.type;
        EXPECT_EQ(display.palette_kind, c.palette) << c.screen << " " << c.type;
        EXPECT_EQ(display.dib.size, 40u);
        EXPECT_EQ(display.dib.height, 256);
        // GDI reads the buffer with the stride of the chosen depth.
        EXPECT_EQ(display.buffer_bytes_per_line, 256 * c.bits / 8);
        display_free(&display);
    }
}

TEST_F(DisplayTest, ColourTablesComeFromTheMapOrAGreyRamp)
{
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    Picture* b = make(PIXEL_BINARY, 8, 1);
    ASSERT_EQ(display_prepare(&display, b, 8, 1, true), STATUS_OK);
    EXPECT_EQ(display.dib.colours[0][0], 0);
    EXPECT_EQ(display.dib.colours[1][1], 255);  // a set bit is white

    Picture* g = make(PIXEL_GREY, 8, 1);
    ASSERT_EQ(display_prepare(&display, g, 8, 1, true), STATUS_OK);
    EXPECT_EQ(display.dib.colours[100][2], 100);

    Picture* m = make(PIXEL_COLORS, 8, 1);
    m->colour_map[7] = 10;
    m->colour_map[256 + 7] = 20;
    m->colour_map[512 + 7] = 30;
    ASSERT_EQ(display_prepare(&display, m, 8, 1, true), STATUS_OK);
    EXPECT_EQ(display.dib.colours[7][0], 30);  // blue, green, red
    EXPECT_EQ(display.dib.colours[7][1], 20);
    EXPECT_EQ(display.dib.colours[7][2], 10);
}

TEST_F(DisplayTest, ColourPictureAtItsOwnSizeIsReversedPerPixelOn24Bits)
{
    Picture* p = make(PIXEL_RGB, 5, 3);
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, p, 5, 3, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 5, 3);
    for (int y = 0; y < 3; ++y) {
        const uint8_t* src = picture_line(p, y);
        const std::vector<uint8_t> out = line(y, 15);
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(out[x * 3 + c], src[x * 3 + 2 - c]) << x << "," << y;
    }
}

TEST_F(DisplayTest, OtherChannelOrdersShowTheirTrueColours)
{
    const std::tuple<uint32_t, std::vector<uint8_t>> cases[] = {
        {PIXEL_BGR, {30, 20, 10}},      {PIXEL_RGBA, {10, 20, 30, 99}}, {PIXEL_BGRA, {30, 20, 10, 99}},
        {PIXEL_ABGR, {99, 30, 20, 10}}, {PIXEL_ARGB, {99, 10, 20, 30}},
    };
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    for (const auto& [type, bytes] : cases) {
        Picture* p = make(type, 1, 1);
        std::memcpy(p->data, bytes.data(), bytes.size());
        ASSERT_EQ(display_prepare(&display, p, 1, 1, true), STATUS_OK);
        display_convert_tile(&display, 0, 0, 1, 1);
        EXPECT_EQ(line(0, 3), (std::vector<uint8_t>{30, 20, 10})) << type;  // blue, green, red
    }
    Picture* cmyk = make(PIXEL_CMYK, 1, 1);
    const uint8_t ink[4] = {255, 0, 0, 0};  // pure cyan
    std::memcpy(cmyk->data, ink, 4);
    ASSERT_EQ(display_prepare(&display, cmyk, 1, 1, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 1, 1);
    EXPECT_EQ(line(0, 3), (std::vector<uint8_t>{255, 255, 0}));
}

TEST_F(DisplayTest, CmykInksInTheMiddleOfTheRangeShowTheirMixedColour)
{
    // Each channel is (255 - ink) x (255 - black) / 255, rounded: inks away from 0 and 255 tell
    // rounding from truncation, the black ink from the others, and the channels apart.
    const uint8_t inks[4][4] = {{100, 150, 200, 60}, {128, 64, 32, 128}, {1, 254, 127, 200}, {37, 90, 219, 3}};
    auto channel = [](int ink, int black) { return static_cast<uint8_t>(std::lround((255 - ink) * (255 - black) / 255.0)); };
    Picture* cmyk = make(PIXEL_CMYK, 4, 1);
    std::memcpy(cmyk->data, inks, sizeof inks);

    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, cmyk, 4, 1, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 4, 1);
    const std::vector<uint8_t> out = line(0, 12);
    for (int i = 0; i < 4; ++i) {
        const uint8_t* p = inks[i];
        EXPECT_EQ(out[3 * i + 2], channel(p[0], p[3])) << "red of pixel " << i;
        EXPECT_EQ(out[3 * i + 1], channel(p[1], p[3])) << "green of pixel " << i;
        EXPECT_EQ(out[3 * i], channel(p[2], p[3])) << "blue of pixel " << i;
    }
    EXPECT_EQ(out[2], 119);  // 118.53: truncation would give 118

    // An 8-bit screen dithers the same colour.
    display_free(&display);
    ASSERT_EQ(display_init(&display, 8, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, cmyk, 4, 1, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 4, 1);
    const std::vector<uint8_t> dithered = line(0, 4);
    for (int i = 0; i < 4; ++i) {
        const uint8_t* p = inks[i];
        EXPECT_EQ(dithered[i], display_dither_index(channel(p[0], p[3]), channel(p[1], p[3]), channel(p[2], p[3]), i, 0)) << i;
    }
}

TEST_F(DisplayTest, DeepPicturesShowTheirHighBytes)
{
    Picture* p = make(PIXEL_RGB, 1, 1, 16);
    const uint16_t samples[3] = {0x1234, 0x5678, 0x9ABC};
    std::memcpy(p->data, samples, 6);
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, p, 1, 1, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 1, 1);
    EXPECT_EQ(line(0, 3), (std::vector<uint8_t>{0x9A, 0x56, 0x12}));
}

TEST_F(DisplayTest, GreyAndMappedPicturesCopyTheirBytesOn24Bits)
{
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    for (uint32_t type : {PIXEL_GREY, PIXEL_COLORS}) {
        Picture* p = make(type, 6, 2);
        ASSERT_EQ(display_prepare(&display, p, 3, 2, true), STATUS_OK);
        display_convert_tile(&display, 0, 0, 3, 2);
        const uint8_t* src = picture_line(p, 1);
        EXPECT_EQ(line(1, 3), (std::vector<uint8_t>{src[0], src[2], src[4]}));
    }
}

TEST_F(DisplayTest, BilevelBitsArePackedFromTheTileStart)
{
    Picture* p = make(PIXEL_BINARY, 20, 1);
    const uint8_t bits[3] = {0b10110010, 0b01111000, 0b10100000};
    std::memcpy(p->data, bits, 3);
    ASSERT_EQ(display_init(&display, 8, 256, 256), STATUS_OK);  // bilevel stays 1 bit on any screen
    ASSERT_EQ(display_prepare(&display, p, 20, 1, true), STATUS_OK);
    display_convert_tile(&display, 3, 0, 11, 1);
    // Pixels 3..13: 1 0 0 1 0 0 1 1 1 1 0
    const uint8_t* out = display_buffer_line(&display, 0);
    EXPECT_EQ(out[0], 0b10010011);
    EXPECT_EQ(out[1], 0b11000000);
}

TEST_F(DisplayTest, EightBitScreensDitherEveryType)
{
    ASSERT_EQ(display_init(&display, 8, 256, 256), STATUS_OK);
    Picture* rgb = make(PIXEL_RGB, 16, 8);
    ASSERT_EQ(display_prepare(&display, rgb, 16, 8, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 16, 8);
    for (int y = 0; y < 8; ++y) {
        const uint8_t* src = picture_line(rgb, y);
        const std::vector<uint8_t> out = line(y, 16);
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(out[x], display_dither_index(src[3 * x], src[3 * x + 1], src[3 * x + 2], x, y));
    }

    Picture* grey = make(PIXEL_GREY, 8, 8);
    std::memset(grey->data, 255, picture_data_size(grey));
    grey->data[0] = 0;
    ASSERT_EQ(display_prepare(&display, grey, 8, 8, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 8, 8);
    EXPECT_EQ(line(0, 2), (std::vector<uint8_t>{0, 215}));
    EXPECT_EQ(line(7, 8), std::vector<uint8_t>(8, 215));

    Picture* mapped = make(PIXEL_COLORS, 2, 1);
    mapped->data[0] = 3;
    mapped->data[1] = 4;
    mapped->colour_map[3] = 255;            // red
    mapped->colour_map[512 + 4] = 255;      // blue
    ASSERT_EQ(display_prepare(&display, mapped, 2, 1, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 2, 1);
    EXPECT_EQ(line(0, 2), (std::vector<uint8_t>{5 * 36, 5}));
}

TEST_F(DisplayTest, RepeatedSourceRowsReuseTheLineAbove)
{
    Picture* p = make(PIXEL_RGB, 3, 2);
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, p, 6, 4, true), STATUS_OK);
    display_convert_tile(&display, 0, 0, 6, 4);
    EXPECT_EQ(line(0, 18), line(1, 18));
    EXPECT_EQ(line(2, 18), line(3, 18));
    EXPECT_NE(line(1, 18), line(2, 18));
    const std::vector<uint8_t> first = line(0, 18);
    EXPECT_EQ(first[0], first[3]);  // columns doubled too
}

TEST_F(DisplayTest, AreaOf300SquareIsDrawnAsFourTiles)
{
    Picture* p = make(PIXEL_RGB, 600, 600);
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, p, 600, 600, true), STATUS_OK);
    DisplayRect part;
    ASSERT_TRUE(display_visible_part(&display, -10, -20, DisplayRect{0, 0, 300, 300}, &part));
    std::vector<std::tuple<int, int, int, int>> tiles;
    display_walk_tiles(&display, -10, -20, part,
                       [&](int tx, int ty, int w, int h) { tiles.emplace_back(tx, ty, w, h); });
    const std::vector<std::tuple<int, int, int, int>> expected = {
        {10, 20, 256, 256}, {266, 20, 44, 256}, {10, 276, 256, 44}, {266, 276, 44, 44}};
    EXPECT_EQ(tiles, expected);
    // The last tile's top row is display row 276.
    const uint8_t* out = display_buffer_line(&display, 0);
    EXPECT_EQ(out[2], picture_line(p, 276)[266 * 3]);
}

TEST_F(DisplayTest, VisiblePartIsTheIntersection)
{
    Picture* p = make(PIXEL_GREY, 100, 50);
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    ASSERT_EQ(display_prepare(&display, p, 100, 50, true), STATUS_OK);
    DisplayRect part;
    ASSERT_TRUE(display_visible_part(&display, 20, 30, DisplayRect{0, 0, 400, 300}, &part));
    EXPECT_EQ(part.x, 20);
    EXPECT_EQ(part.y, 30);
    EXPECT_EQ(part.w, 100);
    EXPECT_EQ(part.h, 50);
    EXPECT_FALSE(display_visible_part(&display, 20, 30, DisplayRect{120, 0, 50, 50}, &part));
}

TEST_F(DisplayTest, MalformedPicturesAreRefused)
{
    ASSERT_EQ(display_init(&display, 24, 256, 256), STATUS_OK);
    Picture* p = make(PIXEL_RGB, 10, 10);
    EXPECT_EQ(display_prepare(&display, p, 0, 10, true), STATUS_BAD_PARAMETER);
    p->bytes_per_line = 20;  // shorter than a line of pixels
    EXPECT_EQ(display_prepare(&display, p, 10, 10, true), STATUS_BAD_PARAMETER);
    p->bytes_per_line = 30;
    p->type = PIXEL_NATIVE;
    EXPECT_EQ(display_prepare(&display, p, 10, 10, true), STATUS_TYPE_UNSUPPORTED);
    Picture empty{};
    EXPECT_EQ(display_prepare(&display, &empty, 10, 10, true), STATUS_BAD_PARAMETER);
    EXPECT_FALSE(display_ready(&display));
    display_convert_tile(&display, 0, 0, 10, 10);  // harmless without maps
}

TEST(DisplayTablesMissing, DitheringNeedsTheTables)
{
    Picture p{};
    ASSERT_EQ(picture_alloc(&p, PIXEL_RGB, 1, 4, 4), 1);
    DisplayBitmap d{};
    ASSERT_EQ(display_init(&d, 8, 256, 256), STATUS_OK);
    EXPECT_EQ(display_prepare(&d, &p, 4, 4, true), STATUS_BAD_PARAMETER);
    display_free(&d);
    picture_free(&p);
}

}  // namespace
