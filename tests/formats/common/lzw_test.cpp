// The shared LZW coder: a known GIF stream, the width schedule of both variants, round trips in
// pieces of every size, and hostile codes.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "formats/common/lzw.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool append_sink(void* data, const uint8_t* bytes, size_t size)
{
    static_cast<Bytes*>(data)->insert(static_cast<Bytes*>(data)->end(), bytes, bytes + size);
    return true;
}

Bytes encode(const LzwParams& p, const Bytes& pixels, size_t piece = 0)
{
    auto e = std::make_unique<LzwEncoder>();
    Bytes out;
    EXPECT_TRUE(lzw_encoder_init(e.get(), p, append_sink, &out));
    if (piece == 0) piece = pixels.size() ? pixels.size() : 1;
    for (size_t at = 0; at < pixels.size(); at += piece)
        EXPECT_TRUE(lzw_encode(e.get(), pixels.data() + at, std::min(piece, pixels.size() - at)));
    EXPECT_TRUE(lzw_encode_finish(e.get()));
    return out;
}

// Feeds `in_piece` bytes at a time and asks for `out_piece` bytes at a time.
Bytes decode(const LzwParams& p, const Bytes& coded, size_t in_piece, size_t out_piece, LzwResult* last = nullptr,
             size_t limit = 1 << 24)
{
    auto d = std::make_unique<LzwDecoder>();
    EXPECT_TRUE(lzw_decoder_init(d.get(), p));
    Bytes out;
    size_t fed = 0;
    LzwResult r = LZW_NEED_INPUT;
    std::vector<uint8_t> piece(out_piece);
    while (out.size() < limit) {
        size_t got = 0;
        r = lzw_decode(d.get(), piece.data(), piece.size(), &got);
        out.insert(out.end(), piece.begin(), piece.begin() + static_cast<long>(got));
        if (r == LZW_NEED_INPUT) {
            if (fed >= coded.size()) break;
            const size_t n = std::min(in_piece, coded.size() - fed);
            lzw_decoder_input(d.get(), coded.data() + fed, n);
            fed += n;
        } else if (r != LZW_OUTPUT_FULL) {
            break;
        }
    }
    if (last) *last = r;
    return out;
}

// The 10 x 10 sample picture of the format's usual walk-through: 22 bytes of codes, minimum
// code size 2, widths growing from 3 to 4 bits along the way.
const Bytes sample_codes = {0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75,
                            0xEC, 0x95, 0xFA, 0xA8, 0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01};

Bytes sample_pixels()
{
    const char* rows[10] = {"1111122222", "1111122222", "1111122222", "1110000222", "1110000222",
                            "2220000111", "2220000111", "2222211111", "2222211111", "2222211111"};
    Bytes px;
    for (const char* r : rows)
        for (int x = 0; x < 10; ++x) px.push_back(static_cast<uint8_t>(r[x] - '0'));
    return px;
}

Bytes random_bytes(size_t n, int alphabet, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(rng() % static_cast<unsigned>(alphabet));
    return b;
}

// Long runs and repeats: strings grow long and the table fills and clears many times.
Bytes runs_and_noise(size_t n, int alphabet, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const uint8_t v = static_cast<uint8_t>(rng() % static_cast<unsigned>(alphabet));
        const size_t run = rng() % 3 == 0 ? rng() % 600 : 1 + rng() % 4;
        for (size_t i = 0; i < run && b.size() < n; ++i) b.push_back(v);
    }
    return b;
}

unsigned bits_lsb(const Bytes& b, size_t pos, int n)
{
    unsigned v = 0;
    for (int i = 0; i < n; ++i, ++pos) v |= ((b[pos / 8] >> (pos % 8)) & 1u) << i;
    return v;
}

unsigned bits_msb(const Bytes& b, size_t pos, int n)
{
    unsigned v = 0;
    for (int i = 0; i < n; ++i, ++pos) v = v << 1 | ((b[pos / 8] >> (7 - pos % 8)) & 1u);
    return v;
}

TEST(Lzw, SampleStreamDecodesAndIsReproducedByteForByte)
{
    EXPECT_EQ(decode(LZW_GIF(2), sample_codes, 1000, 1000), sample_pixels());
    EXPECT_EQ(encode(LZW_GIF(2), sample_pixels()), sample_codes);
}

TEST(Lzw, WidthGrowsAtTheCodeEachVariantExpects)
{
    // 256 distinct bytes: every code is a literal and each adds a table entry.
    Bytes ramp(256);
    for (int i = 0; i < 256; ++i) ramp[i] = static_cast<uint8_t>(i);

    // GIF: the 255th literal after the Clear still fits 9 bits; the last one needs 10.
    const Bytes gif = encode(LZW_GIF(8), ramp);
    EXPECT_EQ(bits_lsb(gif, 0, 9), 256u);
    EXPECT_EQ(bits_lsb(gif, 9 + 254 * 9, 9), 254u);
    EXPECT_EQ(bits_lsb(gif, 9 + 255 * 9, 10), 255u);
    EXPECT_EQ(bits_lsb(gif, 9 + 255 * 9 + 10, 10), 257u);

    // TIFF switches one code sooner: the 255th literal is already written with 10 bits.
    const Bytes tiff = encode(LZW_TIFF, ramp);
    EXPECT_EQ(bits_msb(tiff, 0, 9), 256u);
    EXPECT_EQ(bits_msb(tiff, 9 + 253 * 9, 9), 253u);
    EXPECT_EQ(bits_msb(tiff, 9 + 254 * 9, 10), 254u);
    EXPECT_EQ(bits_msb(tiff, 9 + 254 * 9 + 20, 10), 257u);

    EXPECT_EQ(decode(LZW_GIF(8), gif, 7, 13), ramp);
    EXPECT_EQ(decode(LZW_TIFF, tiff, 7, 13), ramp);
}

TEST(Lzw, RoundTripsEveryVariantInPiecesOfAnySize)
{
    const LzwParams variants[] = {LZW_GIF(2), LZW_GIF(3), LZW_GIF(4), LZW_GIF(5), LZW_GIF(6), LZW_GIF(7), LZW_GIF(8),
                                  LZW_TIFF, {8, LZW_LSB_FIRST, false}, {4, LZW_MSB_FIRST, true}};
    unsigned seed = 1;
    for (const LzwParams& p : variants) {
        SCOPED_TRACE(testing::Message() << "root " << p.root_bits << " msb " << (p.order == LZW_MSB_FIRST)
                                        << " early " << p.early_change);
        const int alphabet = 1 << p.root_bits;
        for (const Bytes& pixels : {random_bytes(70000, alphabet, seed++), runs_and_noise(200000, alphabet, seed++),
                                    Bytes(100000, 1), Bytes(1, 0), Bytes{}}) {
            const Bytes coded = encode(p, pixels, 777);
            EXPECT_EQ(decode(p, coded, coded.size() + 1, pixels.size() + 1), pixels);
            EXPECT_EQ(decode(p, coded, 1, 1), pixels);
            EXPECT_EQ(decode(p, coded, 255, 4093), pixels);
        }
    }
}

TEST(Lzw, EncoderTakesStrayIndicesModuloTheAlphabet)
{
    const Bytes pixels = {0, 1, 5, 7, 4, 3};  // 5, 7 and 4 lie outside a 2-bit alphabet
    EXPECT_EQ(decode(LZW_GIF(2), encode(LZW_GIF(2), pixels), 100, 100), (Bytes{0, 1, 1, 3, 0, 3}));
}

TEST(Lzw, CodesBeyondTheTableStopWithAStatus)
{
    LzwResult r;
    // Clear, then 7: a code two past the first free entry (6) with nothing before it.
    EXPECT_TRUE(decode(LZW_GIF(2), Bytes{0x3C, 0x00}, 10, 10, &r).empty());
    EXPECT_EQ(r, LZW_BAD_CODE);
    // Clear then 6 (the next code, but no previous string to repeat).
    decode(LZW_GIF(2), Bytes{0x34, 0x00}, 10, 10, &r);
    EXPECT_EQ(r, LZW_BAD_CODE);
    // A literal above 255 under a 9-bit root.
    Bytes nine{0x00, 0xB2, 0x04, 0x00};  // 10-bit codes: 512 (Clear), then 300
    EXPECT_TRUE(decode({9, LZW_LSB_FIRST, false}, nine, 10, 10, &r).empty());
    EXPECT_EQ(r, LZW_BAD_CODE);
    // A 3-bit literal beyond a 2-bit root's alphabet is fine for the coder (the palette decides).
    EXPECT_EQ(decode(LZW_GIF(2), Bytes{0x5C, 0x01}, 10, 10, &r), (Bytes{3}));
    EXPECT_EQ(r, LZW_END);

    // Random garbage never reads or writes out of bounds, whatever it decodes to.
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        const Bytes junk = random_bytes(1 + rng() % 3000, 256, rng());
        for (const LzwParams& p : {LZW_GIF(2), LZW_GIF(8), LZW_TIFF}) decode(p, junk, 1 + rng() % 300, 1 + rng() % 5000, &r, 1 << 20);
    }
}

TEST(Lzw, EndCodeAndTruncationAreReported)
{
    const Bytes pixels = runs_and_noise(5000, 16, 3);
    Bytes coded = encode(LZW_GIF(4), pixels);
    LzwResult r;
    EXPECT_EQ(decode(LZW_GIF(4), coded, 64, 300, &r), pixels);
    EXPECT_EQ(r, LZW_END);
    coded.resize(coded.size() / 2);
    const Bytes half = decode(LZW_GIF(4), coded, 64, 300, &r);
    EXPECT_EQ(r, LZW_NEED_INPUT);
    ASSERT_LT(half.size(), pixels.size());
    EXPECT_TRUE(std::equal(half.begin(), half.end(), pixels.begin()));
}

TEST(Lzw, ParametersOutOfRangeAreRefused)
{
    auto d = std::make_unique<LzwDecoder>();
    auto e = std::make_unique<LzwEncoder>();
    Bytes sink;
    EXPECT_FALSE(lzw_decoder_init(d.get(), {1, LZW_LSB_FIRST, false}));
    EXPECT_FALSE(lzw_decoder_init(d.get(), {10, LZW_LSB_FIRST, false}));
    EXPECT_FALSE(lzw_encoder_init(e.get(), {9, LZW_LSB_FIRST, false}, append_sink, &sink));
    EXPECT_FALSE(lzw_encoder_init(e.get(), {8, static_cast<LzwBitOrder>(5), false}, append_sink, &sink));
}

}  // namespace
