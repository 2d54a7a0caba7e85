// The helpers every codec shares: resolutions, failure messages, checked reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "formats/common/messages.h"
#include "formats/common/resolution.h"
#include "formats/common/stream_bytes.h"
#include "support/files.h"

namespace {

TEST(Resolution, DotsPerMetreAndPerInchRoundTripTheUsualValues)
{
    EXPECT_EQ(dpi_from_dots_per_metre(2835), 72u);
    EXPECT_EQ(dpi_from_dots_per_metre(2834), 72u);   // rounded, not truncated
    EXPECT_EQ(dpi_from_dots_per_metre(3779), 96u);   // 95.98
    EXPECT_EQ(dpi_from_dots_per_metre(11811), 300u);
    EXPECT_EQ(dpi_from_dots_per_metre(0), 0u);
    EXPECT_EQ(dpi_from_dots_per_metre(-2835), 0u);
    EXPECT_EQ(dpi_from_dots_per_metre(INT32_MAX), 65535u);

    EXPECT_EQ(dots_per_metre_from_dpi(72), 2834u);   // 2834.74, truncated
    EXPECT_EQ(dots_per_metre_from_dpi(300), 11811u);
    EXPECT_EQ(dots_per_metre_from_dpi(0), 0u);
    EXPECT_EQ(dots_per_metre_from_dpi(-1), 0u);
    for (int dpi : {1, 72, 96, 150, 200, 240, 300, 600, 1200, 2400, 10000})
        EXPECT_EQ(dpi_from_dots_per_metre(dots_per_metre_from_dpi(dpi)), static_cast<uint32_t>(dpi)) << dpi;
}

TEST(CodecMessages, NameTheFormatAndCarryTheStatus)
{
    LoadContext ctx{};
    EXPECT_EQ(fail_bad_size(&ctx, "Pcx", STATUS_UNKNOWN_FORMAT), STATUS_UNKNOWN_FORMAT);
    EXPECT_STREQ(ctx.message, "Pcx : Bad picture's size !");
    EXPECT_EQ(fail_lzw_refused(&ctx, "GIF"), STATUS_BAD_HEADER);
    EXPECT_STREQ(ctx.message, "GIF : Bad compression (LZW) !");
    EXPECT_EQ(fail_bad_code_size(&ctx, "GIF"), STATUS_BAD_HEADER);
    EXPECT_STREQ(ctx.message, "GIF : Bad code's size !");
    EXPECT_EQ(fail_bad_lzw_codes(&ctx, "TIFF"), STATUS_BAD_HEADER);
    EXPECT_STREQ(ctx.message, "TIFF : Bad LZW codes !");

    ctx.message[0] = '\0';
    EXPECT_EQ(check_picture_size(&ctx, "Iff", 1, 15999), STATUS_OK);
    EXPECT_STREQ(ctx.message, "");
    // Both sides, at both ends, and values the narrowing to 32 bits would turn positive.
    for (auto [w, h] : {std::pair<int64_t, int64_t>{0, 5}, {5, 0}, {16000, 5}, {5, 16000}, {-1, 5}, {int64_t{1} << 32, 5}}) {
        EXPECT_EQ(check_picture_size(&ctx, "Iff", w, h), STATUS_BAD_HEADER) << w << " x " << h;
        EXPECT_STREQ(ctx.message, "Iff : Bad picture's size !");
    }
    EXPECT_EQ(check_picture_size(&ctx, "Windows Bitmap", 31999, 2, 32000), STATUS_OK);
}

class CheckedReads : public ::testing::Test {
protected:
    void open(const std::string& bytes)
    {
        file.write(bytes);
        stream = stream_open(file.path(), STREAM_READ);
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override
    {
        if (stream) stream_close(stream);
    }
    TempFile file{".bin"};
    Stream* stream = nullptr;
};

TEST_F(CheckedReads, IntegersInBothOrdersAndTheEndOfTheFile)
{
    open(std::string("\x01\x02\x03\x04\x05\x06\x07", 7));
    uint16_t a = 0, b = 0;
    uint32_t c = 1;
    EXPECT_EQ(stream_get_u16le(stream, &a), STATUS_OK);
    EXPECT_EQ(a, 0x0201);
    EXPECT_EQ(stream_get_u16be(stream, &b), STATUS_OK);
    EXPECT_EQ(b, 0x0304);
    EXPECT_EQ(stream_get_u32le(stream, &c), STATUS_INCOMPLETE);  // three bytes left
    EXPECT_EQ(c, 0u);
    stream_seek(stream, 0, SEEK_SET);
    EXPECT_EQ(stream_get_u32be(stream, &c), STATUS_OK);
    EXPECT_EQ(c, 0x01020304u);
    EXPECT_EQ(stream_get_u32le(stream, &c), STATUS_INCOMPLETE);

    const uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(le32_at(bytes), 0x12345678u);
    EXPECT_EQ(be32_at(bytes), 0x78563412u);
    EXPECT_EQ(le16_at(bytes), 0x5678);
    EXPECT_EQ(be16_at(bytes), 0x7856);
}

TEST_F(CheckedReads, BlocksAndSkipsMustLieInsideTheFile)
{
    open("0123456789");
    ASSERT_EQ(stream_skip_inside(stream, 2), STATUS_OK);
    uint8_t* block = reinterpret_cast<uint8_t*>(1);
    // A length from a hostile header: refused before memory is asked for.
    EXPECT_EQ(stream_read_block(stream, SIZE_MAX, &block), STATUS_INCOMPLETE);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(stream_read_block(stream, 9, &block), STATUS_INCOMPLETE);
    ASSERT_EQ(stream_read_block(stream, 8, &block), STATUS_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 8), "23456789");
    std::free(block);
    EXPECT_EQ(stream_bytes_left(stream), 0);
    EXPECT_EQ(stream_skip_inside(stream, 1), STATUS_INCOMPLETE);
    EXPECT_EQ(stream_skip_inside(stream, -1), STATUS_INCOMPLETE);
    EXPECT_EQ(stream_skip_inside(stream, 0), STATUS_OK);
    EXPECT_EQ(stream_seek_inside(stream, 11), STATUS_INCOMPLETE);
}

}  // namespace
