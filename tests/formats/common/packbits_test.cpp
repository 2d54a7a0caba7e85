#include "formats/common/packbits.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> encode(const std::vector<uint8_t>& plain)
{
    std::vector<uint8_t> coded(packbits_bound(plain.size()));
    coded.resize(packbits_encode(plain.data(), plain.size(), coded.data()));
    return coded;
}

}  // namespace

TEST(PackBits, DecodesLiteralsRepeatsAndSkipsTheNoOp)
{
    // 2 literals, 128 (no-op), a run of 4, then one literal.
    const uint8_t coded[] = {1, 10, 20, 128, 253, 7, 0, 99};
    uint8_t out[7] = {};
    PackBitsResult r{};
    EXPECT_EQ(packbits_decode(coded, sizeof coded, out, sizeof out, &r), STATUS_OK);
    const uint8_t expected[] = {10, 20, 7, 7, 7, 7, 99};
    EXPECT_EQ(0, memcmp(out, expected, sizeof out));
    EXPECT_EQ(r.consumed, sizeof coded);
    EXPECT_EQ(r.produced, 7u);
}

TEST(PackBits, RunsCrossingTheRowAreCutButConsumed)
{
    // A repeat of 5 and a literal of 3 into a 4-byte row: the next row must start after both.
    const uint8_t coded[] = {252, 1, 2, 9, 9, 9, 0, 42};
    uint8_t row[4] = {};
    PackBitsResult r{};
    EXPECT_EQ(packbits_decode(coded, 2, row, 4, &r), STATUS_OK);
    EXPECT_EQ(r.consumed, 2u);
    EXPECT_EQ(r.produced, 4u);
    const uint8_t literal[] = {2, 9, 9, 9};
    uint8_t row2[2] = {};
    EXPECT_EQ(packbits_decode(literal, sizeof literal, row2, 2, &r), STATUS_OK);
    EXPECT_EQ(r.consumed, 4u);
    EXPECT_EQ(row2[0], 9);
}

TEST(PackBits, ShortInputKeepsWhatItHad)
{
    const uint8_t coded[] = {3, 1, 2};  // promises 4 literals, holds 2
    uint8_t out[8] = {};
    PackBitsResult r{};
    EXPECT_EQ(packbits_decode(coded, sizeof coded, out, sizeof out, &r), STATUS_INCOMPLETE);
    EXPECT_EQ(r.produced, 2u);
    const uint8_t dangling_repeat[] = {250};
    EXPECT_EQ(packbits_decode(dangling_repeat, 1, out, sizeof out, &r), STATUS_INCOMPLETE);
    EXPECT_EQ(r.produced, 0u);
}

TEST(PackBits, RoundTripsAndStaysWithinItsBound)
{
    std::mt19937 random(5);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> plain(random() % 700);
        // Mixed content: noise, long runs (longer than one code's 128) and pairs.
        for (size_t i = 0; i < plain.size();) {
            const int kind = random() % 3;
            const size_t len = std::min<size_t>(plain.size() - i, 1 + random() % 300);
            const uint8_t v = static_cast<uint8_t>(random());
            for (size_t k = 0; k < len; ++k)
                plain[i + k] = kind == 0 ? static_cast<uint8_t>(random()) : kind == 1 ? v : static_cast<uint8_t>(v + (k / 2) % 2);
            i += len;
        }
        const auto coded = encode(plain);
        ASSERT_LE(coded.size(), packbits_bound(plain.size()));
        std::vector<uint8_t> back(plain.size());
        PackBitsResult r{};
        ASSERT_EQ(packbits_decode(coded.data(), coded.size(), back.data(), back.size(), &r), STATUS_OK);
        EXPECT_EQ(r.consumed, coded.size());
        EXPECT_EQ(back, plain);
    }
}

TEST(PackBits, LongRunsPackTightly)
{
    const std::vector<uint8_t> plain(1000, 0x55);
    EXPECT_EQ(encode(plain).size(), 16u);  // 7 runs of 128 and one of 104, two bytes each
}
