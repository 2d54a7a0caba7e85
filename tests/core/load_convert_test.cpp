// The loading pipeline driven by a reader of the tests' own: it declares any layout and hands
// over lines built here, so every unpacker, store, palette kind, colour space, orientation and
// reduction is exercised without a codec.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/line_convert.h"
#include "core/load_internal.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct TestReader {
    LoadContext ctx{};
    Picture pic{};
    FileInfo info{};
    HeaderInfo h{};

    explicit TestReader(uint32_t flags = 0)
    {
        load_params_init(&ctx.params);
        ctx.params.flags = flags;
        ctx.params.line_padding = 1;
        ctx.picture = &pic;
        ctx.info = &info;
        header_init(&h);
    }
    ~TestReader()
    {
        load_conversion_release(&ctx);
        picture_free(&pic);
        file_info_free_texts(&info);
    }
    void layout(int width, int height, int planes, int bits, int bytes_per_line, uint32_t layout_flags = 0)
    {
        h.width = width;
        h.height = height;
        h.planes = static_cast<int16_t>(planes);
        h.bits_per_plane = static_cast<int16_t>(bits);
        h.bytes_per_plane_line = bytes_per_line;
        h.layout_flags = layout_flags;
    }
    Status begin() { return load_begin(&ctx, &h); }
    Status put(const Bytes& line, int plane = -1, int number = -1)
    {
        std::memcpy(h.line_buffer, line.data(), line.size());
        return load_put_lines(&ctx, plane, number, 1);
    }
    // Begins, hands every line over in order, and ends with the palette.
    Status load(const std::vector<Bytes>& lines, const Bytes* palette = nullptr, uint32_t kind = 0, int bits = 8)
    {
        LUM_TRY(begin());
        for (const Bytes& l : lines) LUM_TRY(put(l));
        return load_end(&ctx, kind, bits, palette ? palette->data() : nullptr);
    }
    Bytes row(int y) const
    {
        const uint8_t* p = picture_line(&pic, y);
        const int n = pic.type == PIXEL_BINARY ? (pic.width + 7) / 8 : pic.width * pic.bytes_per_pixel;
        return Bytes(p, p + n);
    }
};

TEST(LineUnpack, SmallSamplesPackedWordsAndNibbles)
{
    TestReader four;
    four.layout(4, 1, 1, 4, 2);
    ASSERT_EQ(four.load({{0x12, 0x34}}), STATUS_OK);
    EXPECT_EQ(four.pic.type, PIXEL_GREY);
    EXPECT_EQ(four.pic.colour_used, 16);
    EXPECT_EQ(four.row(0), (Bytes{1, 2, 3, 4}));

    struct Case { int bits; uint32_t flags; Bytes line; Bytes rgb; } cases[] = {
        {15, 0, {0xFF, 0x7F}, {255, 255, 255}},
        {15, 0, {0x00, 0x7C}, {255, 0, 0}},
        {15, LAYOUT_15_RED_LOW, {0x00, 0x7C}, {0, 0, 255}},
        {16, LAYOUT_565, {0xE0, 0x07}, {0, 255, 0}},
        {16, LAYOUT_444_LOW, {0x0F, 0x00}, {0, 0, 255}},
        {16, LAYOUT_444_HIGH, {0x00, 0xF0}, {255, 0, 0}},
        {16, LAYOUT_555_GREEN_6, {0xC0, 0x07}, {0, 255, 0}},
        {16, 0, {0x1F, 0x00}, {0, 0, 255}},
        {24, LAYOUT_REVERSED, {1, 2, 3}, {3, 2, 1}},
        {24, LAYOUT_BGRA, {1, 2, 3}, {3, 2, 1}},
    };
    for (const Case& c : cases) {
        TestReader r;
        r.layout(1, 1, 1, c.bits, static_cast<int>(c.line.size()), c.flags);
        ASSERT_EQ(r.load({c.line}), STATUS_OK) << c.bits;
        EXPECT_EQ(r.pic.type, PIXEL_RGB);
        EXPECT_EQ(r.row(0), c.rgb) << c.bits << " bits, flags " << c.flags;
    }

    TestReader twelve;
    twelve.layout(2, 1, 1, 12, 3);
    ASSERT_EQ(twelve.load({{0xF0, 0x0F, 0x00}}), STATUS_OK);
    EXPECT_EQ(twelve.row(0), (Bytes{255, 0, 0, 255, 0, 0}));
}

TEST(LineUnpack, FourBytePixelsInEveryOrderAndChannelOrders)
{
    // A, R, G, B in the file (flag 0x10), asked for as B, G, R, A.
    TestReader r(LOAD_WANT_ALPHA);
    r.ctx.params.channel_order = 2;
    r.layout(1, 1, 1, 32, 4, LAYOUT_ALPHA_FIRST);
    ASSERT_EQ(r.load({{40, 10, 20, 30}}), STATUS_OK);
    EXPECT_EQ(r.pic.type, PIXEL_BGRA);
    EXPECT_EQ(r.row(0), (Bytes{30, 20, 10, 40}));

    struct Case { int order; uint16_t type; Bytes expected; } orders[] = {
        {0, PIXEL_RGBA, {10, 20, 30, 40}}, {1, PIXEL_ABGR, {40, 30, 20, 10}}, {3, PIXEL_ARGB, {40, 10, 20, 30}}};
    for (const Case& c : orders) {
        TestReader o;
        o.ctx.params.channel_order = static_cast<uint16_t>(c.order);
        o.layout(1, 1, 1, 32, 4, LAYOUT_REVERSED);  // stored A, B, G, R
        ASSERT_EQ(o.load({{40, 30, 20, 10}}), STATUS_OK);
        EXPECT_EQ(o.pic.type, c.type);
        EXPECT_EQ(o.row(0), c.expected) << c.order;
    }

    // Three-component files asked for with alpha get the default alpha.
    TestReader rgb(LOAD_WANT_ALPHA);
    rgb.ctx.params.default_alpha = 77;
    rgb.layout(1, 1, 1, 24, 3);
    ASSERT_EQ(rgb.load({{1, 2, 3}}), STATUS_OK);
    EXPECT_EQ(rgb.row(0), (Bytes{1, 2, 3, 77}));

    TestReader bgr;
    bgr.ctx.params.channel_order = 1;
    bgr.layout(2, 1, 1, 24, 6, LAYOUT_REVERSED);
    ASSERT_EQ(bgr.load({{3, 2, 1, 6, 5, 4}}), STATUS_OK);
    EXPECT_EQ(bgr.pic.type, PIXEL_BGR);
    EXPECT_EQ(bgr.row(0), (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(LineUnpack, PlanesSideBySidePlanarAndInterleaved)
{
    // Two 1-bit planes side by side: bit p of the index from plane p.
    TestReader bits;
    bits.layout(8, 1, 2, 1, 1);
    ASSERT_EQ(bits.load({{0xF0, 0xCC}}), STATUS_OK);
    EXPECT_EQ(bits.row(0), (Bytes{3, 3, 1, 1, 2, 2, 0, 0}));

    TestReader rgb_planes;
    rgb_planes.layout(2, 1, 3, 8, 2, LAYOUT_REVERSED);  // B plane, G plane, R plane
    ASSERT_EQ(rgb_planes.load({{5, 6, 3, 4, 1, 2}}), STATUS_OK);
    EXPECT_EQ(rgb_planes.row(0), (Bytes{1, 3, 5, 2, 4, 6}));

    // Planar: one plane's line per call.
    TestReader planar;
    planar.layout(2, 1, 3, 8, 2, HEADER_PLANAR);
    ASSERT_EQ(planar.begin(), STATUS_OK);
    ASSERT_EQ(planar.put({1, 2}, 0, 0), STATUS_OK);
    ASSERT_EQ(planar.put({3, 4}, 1, 0), STATUS_OK);
    ASSERT_EQ(planar.put({5, 6}, 2, 0), STATUS_OK);
    ASSERT_EQ(load_end(&planar.ctx, 0, 8, nullptr), STATUS_OK);
    EXPECT_EQ(planar.row(0), (Bytes{1, 3, 5, 2, 4, 6}));

    TestReader planar_bits;
    planar_bits.layout(8, 1, 2, 1, 1, HEADER_PLANAR);
    ASSERT_EQ(planar_bits.begin(), STATUS_OK);
    ASSERT_EQ(planar_bits.put({0xF0}, 0, 0), STATUS_OK);
    ASSERT_EQ(planar_bits.put({0xCC}, 1, 0), STATUS_OK);
    ASSERT_EQ(load_end(&planar_bits.ctx, 0, 8, nullptr), STATUS_OK);
    EXPECT_EQ(planar_bits.row(0), (Bytes{3, 3, 1, 1, 2, 2, 0, 0}));

    // Interleaved bit planes: one big-endian word per plane for each 16 pixels.
    TestReader interleaved;
    interleaved.layout(16, 1, 2, 1, 4, LAYOUT_INTERLEAVED_PLANES);
    ASSERT_EQ(interleaved.load({{0x80, 0x01, 0xC0, 0x00}}), STATUS_OK);
    Bytes expected(16, 0);
    expected[0] = 3;
    expected[1] = 2;
    expected[15] = 1;
    EXPECT_EQ(interleaved.row(0), expected);
}

TEST(Palettes, LayoutsReachThePlanarColourMap)
{
    uint8_t map[1024] = {};
    const uint8_t atari[] = {0x07, 0x00};
    palette_to_map(PALETTE_ATARI, 8, atari, 1, map);
    EXPECT_EQ(map[0], 255);
    EXPECT_EQ(map[256], 0);
    EXPECT_EQ(map[512], 0);
    const uint8_t ste[] = {0x0F, 0x00};  // red 7 * 2 + 1 = 15
    palette_to_map(PALETTE_ATARI_STE, 8, ste, 1, map);
    EXPECT_EQ(map[0], 255);
    const uint8_t bgrx[] = {1, 2, 3, 9};
    palette_to_map(PALETTE_BGRX, 8, bgrx, 1, map);
    EXPECT_EQ(map[0], 3);
    EXPECT_EQ(map[512], 1);
    EXPECT_EQ(map[768], 9);
    const uint8_t six_bits[] = {63, 0, 21};
    palette_to_map(0, 6, six_bits, 1, map);
    EXPECT_EQ(map[0], 255);
    EXPECT_EQ(map[512], 85);
    const uint16_t wide[] = {0xFF00, 0x0000, 0x1234, 0x8000, 0xFFFF, 0x0100};  // 2 entries: reds, greens, blues
    palette_to_map(PALETTE_PLANES_16, 8, reinterpret_cast<const uint8_t*>(wide), 2, map);
    EXPECT_EQ(map[0], 0xFF);
    EXPECT_EQ(map[1], 0x00);
    EXPECT_EQ(map[256], 0x12);
    EXPECT_EQ(map[513], 0x01);
}

TEST(Palettes, IndexedFilesBecomeColourMappedOrExpandedColour)
{
    const Bytes palette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    TestReader mapped;
    mapped.layout(4, 1, 1, 2, 1);
    ASSERT_EQ(mapped.load({{0x1B}}, &palette), STATUS_OK);  // 0, 1, 2, 3
    EXPECT_EQ(mapped.pic.type, PIXEL_COLORS);
    EXPECT_EQ(mapped.pic.colour_used, 4);
    ASSERT_NE(mapped.pic.colour_map, nullptr);
    EXPECT_EQ(mapped.pic.colour_map[3], 100);
    EXPECT_EQ(mapped.pic.colour_map[256 + 3], 110);

    TestReader colour(LOAD_WANT_COLOUR);
    colour.ctx.params.channel_order = 1;
    colour.layout(2, 1, 1, 2, 1);
    ASSERT_EQ(colour.load({{0x70}}, &palette), STATUS_OK);  // indices 1, 3
    EXPECT_EQ(colour.pic.type, PIXEL_BGR);
    EXPECT_EQ(colour.row(0), (Bytes{60, 50, 40, 120, 110, 100}));
    EXPECT_EQ(colour.pic.colour_map, nullptr);
}

TEST(Bilevel, PalettePolarityAndGreyRequests)
{
    const Bytes white_black = {255, 255, 255, 0, 0, 0}, black_white = {0, 0, 0, 255, 255, 255};
    TestReader inverted;
    inverted.layout(8, 1, 1, 1, 1);
    ASSERT_EQ(inverted.load({{0x0F}}, &white_black), STATUS_OK);
    EXPECT_EQ(inverted.pic.type, PIXEL_BINARY);
    EXPECT_EQ(inverted.row(0), (Bytes{0xF0}));  // set bits are white

    TestReader plain;
    plain.layout(8, 1, 1, 1, 1);
    ASSERT_EQ(plain.load({{0x0F}}, &black_white), STATUS_OK);
    EXPECT_EQ(plain.row(0), (Bytes{0x0F}));

    TestReader grey(LOAD_BILEVEL_AS_GREY);
    grey.layout(4, 1, 1, 1, 1);
    ASSERT_EQ(grey.load({{0x50}}, &white_black), STATUS_OK);
    EXPECT_EQ(grey.pic.type, PIXEL_GREY);
    EXPECT_EQ(grey.row(0), (Bytes{255, 0, 255, 0}));

    const Bytes red_blue = {255, 0, 0, 0, 0, 255};
    TestReader coloured;
    coloured.layout(3, 1, 1, 1, 1);
    ASSERT_EQ(coloured.load({{0xA0}}, &red_blue), STATUS_OK);
    EXPECT_EQ(coloured.pic.type, PIXEL_COLORS);
    EXPECT_EQ(coloured.row(0), (Bytes{1, 0, 1}));
    EXPECT_EQ(coloured.pic.colour_map[1], 0);
    EXPECT_EQ(coloured.pic.colour_map[512 + 1], 255);

    // One byte a pixel, low bit used, packed into a bilevel picture.
    TestReader bytes;
    bytes.layout(9, 1, 1, 1, 9, LAYOUT_BYTE_PER_PIXEL);
    ASSERT_EQ(bytes.load({{1, 0, 3, 0, 0, 0, 0, 1, 1}}), STATUS_OK);
    EXPECT_EQ(bytes.row(0), (Bytes{0xA1, 0x80}));
}

TEST(ColourSpaces, CmykKeptInvertedOrConverted)
{
    TestReader kept(LOAD_KEEP_CMYK);
    kept.layout(1, 1, 1, 32, 4, HEADER_CMYK_INVERTED);
    ASSERT_EQ(kept.load({{255, 0, 55, 200}}), STATUS_OK);
    EXPECT_EQ(kept.pic.type, PIXEL_CMYK);
    EXPECT_EQ(kept.row(0), (Bytes{0, 255, 200, 55}));

    TestReader converted;
    converted.layout(1, 1, 1, 32, 4, HEADER_CMYK_INVERTED);
    ASSERT_EQ(converted.load({{255, 0, 155, 255}}), STATUS_OK);
    EXPECT_EQ(converted.pic.type, PIXEL_RGB);
    EXPECT_EQ(converted.pic.bytes_per_line, 3);
    EXPECT_EQ(converted.row(0), (Bytes{255, 0, 155}));

    TestReader ink;
    ink.ctx.params.channel_order = 1;
    ink.layout(2, 1, 1, 32, 8, HEADER_CMYK);
    ASSERT_EQ(ink.load({{0, 255, 0, 0, 0, 0, 0, 255}}), STATUS_OK);
    EXPECT_EQ(ink.pic.type, PIXEL_BGR);
    EXPECT_EQ(ink.row(0), (Bytes{255, 0, 255, 0, 0, 0}));
}

TEST(ColourSpaces, LabGreyExpansionAndNegatives)
{
    TestReader lab;
    lab.layout(2, 1, 1, 24, 6, HEADER_LAB);
    ASSERT_EQ(lab.load({{255, 128, 128, 0, 128, 128}}), STATUS_OK);
    EXPECT_EQ(lab.pic.type, PIXEL_RGB);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(lab.row(0)[c], 255, 1);
        EXPECT_EQ(lab.row(0)[3 + c], 0);
    }

    TestReader grey(LOAD_WANT_COLOUR);
    grey.layout(2, 1, 1, 8, 2);
    ASSERT_EQ(grey.load({{7, 200}}), STATUS_OK);
    EXPECT_EQ(grey.row(0), (Bytes{7, 7, 7, 200, 200, 200}));

    // Levels of a 4-bit grey file asked for as colour are spread over the full range.
    TestReader nibbles(LOAD_WANT_COLOUR);
    nibbles.layout(2, 1, 1, 4, 1);
    ASSERT_EQ(nibbles.load({{0xF5}}), STATUS_OK);
    EXPECT_EQ(nibbles.row(0), (Bytes{255, 255, 255, 85, 85, 85}));

    TestReader negative;
    negative.layout(2, 1, 1, 4, 1);
    ASSERT_EQ(negative.load({{0xF5}}, nullptr, PALETTE_NEGATIVE), STATUS_OK);
    EXPECT_EQ(negative.row(0), (Bytes{0, 10}));
}

TEST(DeepFiles, SixteenBitSamplesAreRoundedToEightAndNativeKeepsThem)
{
    TestReader grey;
    grey.layout(2, 1, 1, 16, 4);
    grey.h.components = 1;
    ASSERT_EQ(grey.load({{0xFF, 0xFF, 0x80, 0x80}}), STATUS_OK);
    EXPECT_EQ(grey.pic.type, PIXEL_GREY);
    EXPECT_EQ(grey.row(0), (Bytes{255, 128}));

    TestReader rgb;
    rgb.layout(1, 1, 1, 16, 6);
    rgb.h.components = 3;
    ASSERT_EQ(rgb.load({{0, 0, 0xFF, 0xFF, 0x01, 0x01}}), STATUS_OK);
    EXPECT_EQ(rgb.pic.type, PIXEL_RGB);
    EXPECT_EQ(rgb.row(0), (Bytes{0, 255, 1}));

    TestReader native(LOAD_NATIVE);
    native.layout(1, 1, 1, 16, 6);
    native.h.components = 3;
    ASSERT_EQ(native.load({{1, 2, 3, 4, 5, 6}}), STATUS_OK);
    EXPECT_EQ(native.pic.type, PIXEL_RGB);
    EXPECT_EQ(native.pic.bits_per_component, 16);
    EXPECT_EQ(native.pic.bytes_per_pixel, 6);
    EXPECT_EQ(native.row(0), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(DeepFiles, TenTwelveAndSixteenBitSamplesAreRoundedToTheNearestLevel)
{
    // Values whose exact level lies just above or below a half, and values above the depth's
    // maximum (clamped): truncating, rounding and taking the high bits all differ on them.
    const std::vector<unsigned> values = {0, 1, 2, 3, 128, 129, 255, 256, 511, 512, 1021, 1022, 1023, 2699,
                                          4094, 4095, 25956, 32896, 65280, 65534, 65535};
    for (int bits : {10, 12, 16}) {
        SCOPED_TRACE(bits);
        const unsigned max = (1u << bits) - 1;
        Bytes line;
        for (unsigned v : values) line.insert(line.end(), {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)});
        for (int components : {1, 3}) {
            const int width = static_cast<int>(values.size()) / components;
            TestReader r;
            r.layout(width, 1, 1, bits, 2 * width * components);
            r.h.components = static_cast<int16_t>(components);
            ASSERT_EQ(r.load({line}), STATUS_OK);
            const Bytes got = r.row(0);
            for (int i = 0; i < width * components; ++i) {
                const unsigned v = std::min(values[static_cast<size_t>(i)], max);
                EXPECT_EQ(got[static_cast<size_t>(i)], std::lround(v * 255.0 / max)) << values[static_cast<size_t>(i)];
            }
        }
    }
}

TEST(Orientation, BottomUpAndRightToLeftFilesComeOutAsAsked)
{
    TestReader bmp;
    bmp.layout(2, 2, 1, 8, 2);
    bmp.h.orientation = PICTURE_ORIGIN_BOTTOM;
    ASSERT_EQ(bmp.load({{1, 2}, {3, 4}}), STATUS_OK);
    EXPECT_EQ(bmp.row(0), (Bytes{3, 4}));
    EXPECT_EQ(bmp.row(1), (Bytes{1, 2}));
    EXPECT_EQ(bmp.pic.origin, 0);

    TestReader kept;
    kept.ctx.params.origin = PICTURE_ORIGIN_BOTTOM;
    kept.layout(2, 2, 1, 8, 2);
    kept.h.orientation = PICTURE_ORIGIN_BOTTOM;
    ASSERT_EQ(kept.load({{1, 2}, {3, 4}}), STATUS_OK);
    EXPECT_EQ(kept.row(0), (Bytes{1, 2}));
    EXPECT_EQ(kept.pic.origin, PICTURE_ORIGIN_BOTTOM);

    TestReader rtl;
    rtl.layout(3, 1, 1, 24, 9);
    rtl.h.orientation = PICTURE_ORIGIN_RIGHT_TO_LEFT;
    ASSERT_EQ(rtl.load({{1, 2, 3, 4, 5, 6, 7, 8, 9}}), STATUS_OK);
    EXPECT_EQ(rtl.row(0), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));

    TestReader rtl_bits;
    rtl_bits.layout(10, 1, 1, 1, 2);
    rtl_bits.h.orientation = PICTURE_ORIGIN_RIGHT_TO_LEFT;
    ASSERT_EQ(rtl_bits.load({{0xC0, 0x40}}), STATUS_OK);  // pixels 0, 1, 9
    EXPECT_EQ(rtl_bits.row(0), (Bytes{0x80, 0xC0}));      // pixels 0, 8, 9
}

std::vector<Bytes> blank_lines(int count, size_t size) { return std::vector<Bytes>(static_cast<size_t>(count), Bytes(size, 0)); }

TEST(Reduction, BoxesKeepProportionsAndSmallFilesAreLeftAlone)
{
    struct Case { int w, h, bw, bh, ew, eh; uint32_t method; } cases[] = {
        {4000, 3000, 160, 120, 160, 120, 0}, {4000, 3000, 160, 160, 160, 120, 0}, {100, 80, 160, 160, 100, 80, 0},
        {4000, 3000, 160, 120, 160, 120, 2}, {3000, 4000, 160, 160, 120, 160, 2}, {5000, 1, 50, 50, 50, 1, 0},
    };
    for (const Case& c : cases) {
        TestReader r;
        r.ctx.params.box_width = c.bw;
        r.ctx.params.box_height = c.bh;
        r.ctx.params.reduce_method = c.method;
        r.layout(c.w, c.h, 1, 24, 3 * c.w);
        ASSERT_EQ(r.load(blank_lines(c.h, static_cast<size_t>(3 * c.w))), STATUS_OK);
        EXPECT_EQ(r.pic.width, c.ew) << c.w << "x" << c.h << " into " << c.bw << "x" << c.bh;
        EXPECT_EQ(r.pic.height, c.eh);
        EXPECT_EQ(r.info.width, c.w);  // the file's own size is reported
    }
}

TEST(Reduction, NearestKeepsTheFirstLineOfEachTargetLine)
{
    TestReader r;
    r.ctx.params.box_width = 2;
    r.ctx.params.box_height = 2;
    r.layout(4, 4, 1, 8, 4);
    ASSERT_EQ(r.load({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}), STATUS_OK);
    ASSERT_EQ(r.pic.width, 2);
    EXPECT_EQ(r.row(0), (Bytes{2, 4}));
    EXPECT_EQ(r.row(1), (Bytes{10, 12}));
}

TEST(Reduction, AveragingWhileLoadingMatchesTheAreaMeans)
{
    const int w = 37, h = 23, tw = 10, th = 6;
    std::mt19937 rng(7);
    std::vector<Bytes> lines(h, Bytes(static_cast<size_t>(3 * w)));
    for (Bytes& l : lines)
        for (uint8_t& v : l) v = static_cast<uint8_t>(rng());
    TestReader r;
    r.ctx.params.box_width = tw;
    r.ctx.params.box_height = 10;
    r.ctx.params.reduce_method = 2;
    r.h.orientation = PICTURE_ORIGIN_BOTTOM;
    r.layout(w, h, 1, 24, 3 * w);
    r.h.orientation = PICTURE_ORIGIN_BOTTOM;
    ASSERT_EQ(r.load(lines), STATUS_OK);
    ASSERT_EQ(r.pic.width, tw);
    ASSERT_EQ(r.pic.height, th);
    const double sx = double(w) / tw, sy = double(h) / th;
    for (int ty = 0; ty < th; ++ty)
        for (int tx = 0; tx < tw; ++tx)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const double cover_x = std::max(0.0, std::min(x + 1.0, (tx + 1) * sx) - std::max(double(x), tx * sx));
                        const double cover_y = std::max(0.0, std::min(y + 1.0, (ty + 1) * sy) - std::max(double(y), ty * sy));
                        // The file is bottom-up: picture row y is file line h - 1 - y.
                        sum += cover_x * cover_y * lines[static_cast<size_t>(h - 1 - y)][static_cast<size_t>(3 * x + c)];
                    }
                EXPECT_NEAR(r.row(ty)[static_cast<size_t>(3 * tx + c)], sum / (sx * sy), 1.0) << tx << "," << ty;
            }
}

TEST(Headers, OutOfRangeIsRefusedAndDpiIsSettled)
{
    struct Case { int w, h, planes, bits; } bad[] = {{64000, 10, 1, 8}, {10, 64000, 1, 8}, {0, 1, 1, 8}, {1, 1, 0, 8}, {1, 1, 3, 16}};
    for (const Case& c : bad) {
        TestReader r;
        r.layout(c.w, c.h, c.planes, c.bits, 100);
        EXPECT_EQ(r.begin(), STATUS_UNKNOWN_FORMAT) << c.w << "x" << c.h;
    }
    TestReader r;
    r.layout(63999, 1, 1, 8, 63999);
    r.h.x_dpi = 0;
    r.h.y_dpi = 300;
    ASSERT_EQ(r.load({Bytes(63999, 1)}), STATUS_OK);
    EXPECT_EQ(r.pic.x_dpi, 72);
    EXPECT_EQ(r.pic.y_dpi, 300);
    TestReader outside;
    outside.layout(1, 1, 1, 8, 1);
    outside.h.x_dpi = 20000;
    outside.h.y_dpi = 300;
    ASSERT_EQ(outside.load({{1}}), STATUS_OK);
    EXPECT_EQ(outside.pic.x_dpi, 0);
    EXPECT_EQ(outside.pic.y_dpi, 0);
    EXPECT_EQ(outside.info.x_dpi, 0);
    EXPECT_EQ(outside.info.y_dpi, 300);
}

TEST(Headers, UnderstatedLinesAndStrayLineNumbersStayInsideTheBuffers)
{
    TestReader r;
    r.layout(1000, 4, 1, 24, 1);  // a line really needs 3000 bytes
    r.h.lines_per_call = 2;
    ASSERT_EQ(r.begin(), STATUS_OK);
    std::memset(r.h.line_buffer, 9, 2 * 3000);
    EXPECT_EQ(load_put_lines(&r.ctx, 0, 0, 50), STATUS_OK);      // more lines than the buffer holds
    EXPECT_EQ(load_put_lines(&r.ctx, 0, 3, 2), STATUS_OK);       // runs past the last line
    EXPECT_EQ(load_put_lines(&r.ctx, 0, -40, 1), STATUS_OK);
    EXPECT_EQ(load_put_lines(&r.ctx, 0, 1000000, 1), STATUS_OK);
    EXPECT_EQ(load_end(&r.ctx, 0, 8, nullptr), STATUS_OK);
    EXPECT_EQ(r.row(1)[2999], 9);
    EXPECT_EQ(r.row(2)[0], 0);
    EXPECT_EQ(r.row(3)[0], 9);

    TestReader planes;
    planes.layout(16, 1, 4, 1, 0);  // no bytes per plane line at all
    ASSERT_EQ(planes.begin(), STATUS_OK);
    std::memset(planes.h.line_buffer, 0xFF, 8);
    EXPECT_EQ(load_put_lines(&planes.ctx, 0, 0, 1), STATUS_OK);
    EXPECT_EQ(load_end(&planes.ctx, 0, 8, nullptr), STATUS_OK);
    EXPECT_EQ(planes.row(0)[15], 15);
}

struct Counter {
    int lines = 0;
    int stop_after = -1;
    std::vector<int> progress;
};

TEST(Callbacks, StopHalfwayAndReportProgress)
{
    TestReader r;
    Counter counter;
    counter.stop_after = 5;
    r.ctx.params.line_callback_data = &counter;
    r.ctx.params.line_callback = [](int, int total, void* data) {
        auto* c = static_cast<Counter*>(data);
        EXPECT_EQ(total, 10);
        return ++c->lines == c->stop_after ? 1 : 0;
    };
    r.ctx.params.progress_data = &counter;
    r.ctx.params.progress_callback = [](int value, void* data) { static_cast<Counter*>(data)->progress.push_back(value); };
    r.layout(2, 10, 1, 8, 2);
    ASSERT_EQ(r.begin(), STATUS_OK);
    Status s = STATUS_OK;
    int handed = 0;
    while (s == STATUS_OK && handed < 10) {
        s = r.put({7, 7});
        ++handed;
    }
    EXPECT_EQ(s, STATUS_STOPPED);
    EXPECT_EQ(handed, 5);
    ASSERT_EQ(load_end(&r.ctx, 0, 8, nullptr), STATUS_OK);
    EXPECT_EQ(r.row(4), (Bytes{7, 7}));  // the line that asked to stop is kept
    EXPECT_EQ(r.row(5), (Bytes{0, 0}));
    EXPECT_EQ(r.row(9), (Bytes{0, 0}));
    EXPECT_EQ(counter.progress, (std::vector<int>{10, 20, 30, 40, 50}));

    TestReader cancelled;
    cancelled.ctx.params.cancel_callback = [](void*) { return 1; };
    cancelled.layout(1, 3, 1, 8, 1);
    ASSERT_EQ(cancelled.begin(), STATUS_OK);
    EXPECT_EQ(cancelled.put({1}), STATUS_STOPPED);
}

TEST(FileInfoFields, ComeFromTheHeaderAndPreviewsGiveTheFullSize)
{
    TestReader r(LOAD_PREVIEW);
    r.layout(100, 50, 1, 24, 300);
    r.h.full_width = 800;
    r.h.full_height = 400;
    r.h.full_components = 3;
    r.h.compression = COMPRESSION_JPEG;
    std::strcpy(r.h.format_label, "JPEG");
    ASSERT_EQ(r.load(blank_lines(50, 300)), STATUS_OK);
    EXPECT_EQ(r.info.width, 800);
    EXPECT_EQ(r.info.height, 400);
    EXPECT_EQ(r.info.components, 3);
    EXPECT_EQ(r.info.preview, 0);  // set by readers that hand over an embedded preview
    EXPECT_EQ(r.info.compression, COMPRESSION_JPEG);
    EXPECT_STREQ(r.info.format_label, "JPEG");
    EXPECT_EQ(r.pic.width, 100);
}

}  // namespace
