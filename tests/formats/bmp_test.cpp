// The BMP codec: both headers, every pixel layout, the RLE coders' exact bytes and their
// handling of hostile codes, DXT blocks, and round trips through the writer.
#include "cli/inspect.h"
#include "formats/bmp/bmp_codec.h"
#include "formats/bmp/bmp_dxt.h"
#include "formats/bmp/bmp_rle.h"
#include "formats/codec_files.h"

namespace {

struct BmpSpec {
    int width = 2;
    int height = 2;  // negative: top-down
    int bits = 8;
    uint32_t compression = 0;
    int info_size = 40;
    std::string masks;    // inside a long header, or right after a 40-byte one
    std::string palette;  // 4-byte entries
};

std::string bmp_file(const BmpSpec& s, const std::string& pixels)
{
    std::string info;
    put_le(info, static_cast<uint32_t>(s.info_size), 4);
    if (s.info_size == 12) {
        put_le(info, static_cast<uint32_t>(s.width), 2);
        put_le(info, static_cast<uint32_t>(s.height), 2);
        put_le(info, 1, 2);
        put_le(info, static_cast<uint32_t>(s.bits), 2);
    } else {
        put_le(info, static_cast<uint32_t>(s.width), 4);
        put_le(info, static_cast<uint32_t>(s.height), 4);
        put_le(info, 1, 2);
        put_le(info, static_cast<uint32_t>(s.bits), 2);
        put_le(info, s.compression, 4);
        info += std::string(20, '\0');
        info += s.masks;
        if (static_cast<int>(info.size()) < s.info_size) info += std::string(s.info_size - info.size(), '\0');
    }
    const std::string before = info + s.palette;
    std::string f = "BM";
    put_le(f, static_cast<uint32_t>(14 + before.size() + pixels.size()), 4);
    put_le(f, 0, 4);
    put_le(f, static_cast<uint32_t>(14 + before.size()), 4);
    return f + before + pixels;
}

std::string grey_palette(int n)
{
    std::string p;
    for (int i = 0; i < n; ++i) p += {static_cast<char>(i), static_cast<char>(i), static_cast<char>(i), 0};
    return p;
}

std::string masks(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0, bool with_alpha = false)
{
    std::string m;
    put_le(m, r, 4);
    put_le(m, g, 4);
    put_le(m, b, 4);
    if (with_alpha) put_le(m, a, 4);
    return m;
}

class Bmp : public CodecTest {
protected:
    Picture& load_bmp(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK)
    {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".bmp", &pic, params("bmp", flags)), expect);
        return keep(pic);
    }
    Picture& round_trip(const Picture& in, bool os2, bool rle, std::string* file = nullptr)
    {
        SaveParams sp = save_params("bmp");
        bmp_set_save_options(&sp, os2, rle);
        TempFile out(".bmp");
        EXPECT_EQ(save_picture(out.path(), &in, &sp), STATUS_OK);
        if (file) *file = read_file(out.path());
        return load_bmp(read_file(out.path()), LOAD_WANT_ALPHA * (in.type == PIXEL_RGBA));
    }
};

Bytes encode8(const Bytes& px)
{
    Bytes out(bmp_rle_line_capacity(static_cast<int>(px.size())));
    out.resize(bmp_rle8_encode_line(px.data(), static_cast<int>(px.size()), out.data()));
    return out;
}

Bytes encode4(const Bytes& px)
{
    Bytes out(bmp_rle_line_capacity(static_cast<int>(px.size())));
    out.resize(bmp_rle4_encode_line(px.data(), static_cast<int>(px.size()), out.data()));
    return out;
}

TEST(BmpRle, EncodersWriteRunsLiteralsAndLineEnds)
{
    EXPECT_EQ(encode8({7, 7, 9}), (Bytes{2, 7, 1, 9, 0, 0}));
    EXPECT_EQ(encode8({1, 2}), (Bytes{1, 1, 1, 2, 0, 0}));
    EXPECT_EQ(encode8({1, 2, 3, 4}), (Bytes{0, 3, 1, 2, 3, 0, 1, 4, 0, 0}));
    EXPECT_EQ(encode8({1, 2, 3, 4, 5, 5}), (Bytes{0, 4, 1, 2, 3, 4, 2, 5, 0, 0}));
    EXPECT_EQ(encode8(Bytes(300, 4)), (Bytes{255, 4, 45, 4, 0, 0}));
    EXPECT_EQ(encode4({3, 3, 5}), (Bytes{2, 0x33, 1, 0x55, 0, 0}));
    EXPECT_EQ(encode4({1, 2, 3, 3}), (Bytes{2, 0x12, 2, 0x33, 0, 0}));
    EXPECT_EQ(encode4({1, 2}), (Bytes{1, 0x11, 1, 0x22, 0, 0}));  // the last pixel stands alone
    EXPECT_EQ(encode4({1, 2, 3, 4}), (Bytes{0, 3, 0x12, 0x30, 1, 0x44, 0, 0}));
    EXPECT_EQ(encode4({1, 2, 3, 4, 5, 6}), (Bytes{0, 5, 0x12, 0x34, 0x50, 0, 1, 0x66, 0, 0}));
    // 254 differing pixels at most per literal group.
    Bytes ramp(300);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i);
    const Bytes long_line = encode8(ramp);
    EXPECT_EQ(long_line[0], 0);
    EXPECT_EQ(long_line[1], 254);
}

TEST_F(Bmp, RleDecodingOfRunsLiteralsDeltasAndHostileCounts)
{
    BmpSpec s;
    s.width = 4;
    s.height = 3;
    s.compression = 1;
    s.palette = grey_palette(256);
    // Row 0: a run, then an odd literal (with its pad byte) running past the line's end; a delta
    // right 1 and down 1; then a run far longer than what is left of the picture.
    const std::string codes = std::string("\x02\x05\x00\x03\x07\x08\x09\x00\x00\x00\x00\x02\x01\x01\x01\x06\xff\x04\x00\x01", 20);
    Picture& p = load_bmp(bmp_file(s, codes), LOAD_BILEVEL_AS_GREY);
    // Bottom-up: file row 0 is the picture's last row.
    EXPECT_EQ(row_bytes(p, 2), (Bytes{5, 5, 7, 8}));   // the literal's fourth pixel runs past the line
    EXPECT_EQ(row_bytes(p, 1), (Bytes{9, 0, 0, 0}));   // ... and carries on here; the delta skipped it
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0, 6, 4, 4}) );  // moved right by one, down by one

    // RLE4: a run of 5 alternates the two nibbles from its first pixel.
    BmpSpec s4 = s;
    s4.bits = 4;
    s4.compression = 2;
    s4.width = 6;
    s4.height = 1;
    s4.palette = grey_palette(16);
    Picture& q = load_bmp(bmp_file(s4, std::string("\x01\xf0\x05\x12\x00\x01", 6)), LOAD_BILEVEL_AS_GREY);
    EXPECT_EQ(row_bytes(q, 0), (Bytes{15, 1, 2, 1, 2, 1}));

    // A file ending inside its codes is incomplete, keeping what was decoded.
    load_bmp(bmp_file(s, std::string("\x02\x05\x00", 3)), 0, STATUS_INCOMPLETE);
    Picture& partial = load_bmp(bmp_file(s, std::string("\x02\x05\x00", 3)), LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 2), (Bytes{5, 5, 0, 0}));
}

TEST_F(Bmp, WindowsAndOs2RoundTripsOfEveryPixelType)
{
    struct Case { uint32_t type; int colours; bool rle; int bits; } cases[] = {
        {PIXEL_BINARY, 2, false, 1}, {PIXEL_GREY, 256, false, 8}, {PIXEL_GREY, 16, true, 4},
        {PIXEL_COLORS, 16, false, 4}, {PIXEL_COLORS, 16, true, 4}, {PIXEL_COLORS, 200, false, 8},
        {PIXEL_COLORS, 200, true, 8}, {PIXEL_RGB, 0, false, 24}, {PIXEL_RGBA, 0, false, 32},
    };
    for (const Case& c : cases) {
        for (bool os2 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " colours " << c.colours << " rle " << c.rle << " os2 " << os2);
            Picture& pic = make(c.type, 37, 9);
            fill_pattern(pic, c.colours ? c.colours : 256);
            if (c.type != PIXEL_BINARY && c.type != PIXEL_RGB && c.type != PIXEL_RGBA) pic.colour_used = static_cast<int16_t>(c.colours);
            if (c.type == PIXEL_COLORS)
                for (int i = 0; i < 768; ++i) pic.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
            // Runs as well as literals for the encoders.
            if (c.type != PIXEL_BINARY)
                for (int x = 10; x < 20; ++x) picture_line(&pic, 4)[x] = 1;
            std::string file;
            Picture& back = round_trip(pic, os2, c.rle, &file);
            EXPECT_EQ(static_cast<uint8_t>(file[os2 ? 24 : 28]), c.bits);
            if (!os2) {
                EXPECT_EQ(static_cast<uint8_t>(file[30]) != 0, c.rle);
            }
            uint32_t size = 0;
            std::memcpy(&size, file.data() + 2, 4);
            EXPECT_EQ(size, file.size());
            EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
        }
    }
}

TEST_F(Bmp, TopDownAndBottomUpGiveTheSamePicture)
{
    BmpSpec s;
    s.width = 3;
    s.bits = 24;
    const std::string rows = std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\0\0\0", 12) +
                             std::string("\x11\x12\x13\x14\x15\x16\x17\x18\x19\0\0\0", 12);
    Picture& up = load_bmp(bmp_file(s, rows));
    s.height = -2;
    const std::string flipped = rows.substr(12) + rows.substr(0, 12);
    Picture& down = load_bmp(bmp_file(s, flipped));
    EXPECT_EQ(picture_rgba_sha256(up), picture_rgba_sha256(down));
    EXPECT_EQ(row_bytes(up, 0), (Bytes{0x13, 0x12, 0x11, 0x16, 0x15, 0x14, 0x19, 0x18, 0x17}));
}

TEST_F(Bmp, DirectColourLayoutsAndMasks)
{
    BmpSpec s;
    s.width = 1;
    s.height = 1;
    s.bits = 16;
    // Plain 16-bit pixels are 5-5-5; bit fields 5-6-5; narrow fields repeat their bits.
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\x1f\x7c\0\0", 4))), 0), (Bytes{255, 0, 255}));
    s.compression = 3;
    s.masks = masks(0xF800, 0x7E0, 0x1F);
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\xe0\x07\0\0", 4))), 0), (Bytes{0, 255, 0}));
    s.masks = masks(0xF00, 0xF0, 0xF);
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\x5f\x0a\0\0", 4))), 0), (Bytes{170, 85, 255}));
    // Bit fields announced but the pixels start right after the header: the usual 5-6-5.
    s.masks.clear();
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\x00\xf8\0\0", 4))), 0), (Bytes{255, 0, 0}));

    // 32 bits: a zero fourth byte everywhere means opaque, otherwise it is alpha.
    s = BmpSpec{};
    s.width = 2;
    s.height = 1;
    s.bits = 32;
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8))), 0),
              (Bytes{3, 2, 1, 255, 6, 5, 4, 255}));
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\x01\x02\x03\x00\x04\x05\x06\x80", 8))), 0),
              (Bytes{3, 2, 1, 0, 6, 5, 4, 0x80}));
    // Red in the top byte, alpha from a long header's fourth mask.
    s.compression = 3;
    s.info_size = 124;
    s.masks = masks(0xFF000000, 0xFF00, 0xFF, 0xFF0000, true);
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(s, std::string("\x10\x20\x40\x30\x11\x21\x41\x31", 8))), 0),
              (Bytes{0x30, 0x20, 0x10, 0x40, 0x31, 0x21, 0x11, 0x41}));
}

TEST_F(Bmp, Os2HeadersAndPaletteDepths)
{
    BmpSpec s;
    s.info_size = 12;
    s.width = 9;
    s.height = 1;
    s.bits = 1;
    std::string f = bmp_file(s, std::string("\xAA\x80\0\0", 4));
    // OS/2 entries are three bytes: white then black.
    f.insert(26, std::string("\xff\xff\xff\0\0\0", 6));
    f[10] = 32;
    Picture& p = load_bmp(f);
    EXPECT_EQ(p.type, PIXEL_BINARY);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0x55, 0x7F}));  // set bits are white in a bilevel picture

    BmpSpec two;
    two.bits = 2;
    two.width = 4;
    two.height = 1;
    two.palette = grey_palette(4);
    EXPECT_EQ(row_bytes(load_bmp(bmp_file(two, std::string("\x1b\0\0\0", 4)), LOAD_BILEVEL_AS_GREY), 0), (Bytes{0, 1, 2, 3}));
}

TEST_F(Bmp, DxtBlocks)
{
    // c0 > c1: four opaque colours; index bits least significant first.
    const uint8_t dxt1[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
    uint8_t px[64];
    dxt1_decode_block(dxt1, px);
    EXPECT_EQ(Bytes(px, px + 16), (Bytes{248, 0, 0, 255, 0, 0, 248, 255, 165, 0, 83, 255, 83, 0, 165, 255}));
    // c0 <= c1: the fourth colour is clear.
    const uint8_t clear[8] = {0x1F, 0x00, 0x00, 0xF8, 0x03, 0, 0, 0};
    dxt1_decode_block(clear, px);
    EXPECT_EQ(px[3], 0);
    EXPECT_EQ(px[7], 255);
    const uint8_t dxt3[16] = {0x0F, 0xF0, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
    dxt3_decode_block(dxt3, px);
    EXPECT_EQ(px[3], 255);
    EXPECT_EQ(px[7], 0);
    EXPECT_EQ(px[15], 255);

    // A 5 x 5 DXT1 file: two blocks across and down, edges dropped; a short file is incomplete.
    BmpSpec s;
    s.width = 5;
    s.height = 5;
    s.compression = BMP_DXT1;
    s.info_size = 60;
    std::string blocks;
    for (int i = 0; i < 4; ++i) blocks += std::string(reinterpret_cast<const char*>(dxt1), 8);
    Picture& p = load_bmp(bmp_file(s, blocks));
    EXPECT_EQ(p.width, 5);
    EXPECT_EQ(row_bytes(p, 4).size(), 20u);
    load_bmp(bmp_file(s, blocks.substr(0, 20)), 0, STATUS_INCOMPLETE);
}

TEST_F(Bmp, RefusedHeaders)
{
    BmpSpec s;
    s.palette = grey_palette(256);
    const std::string pixels(8, '\0');
    Picture pic{};
    FileInfo info{};
    s.width = 32000;
    EXPECT_EQ(load_bytes(bmp_file(s, pixels), ".bmp", &pic, params("bmp"), &info), STATUS_BAD_HEADER);
    EXPECT_STREQ(info.message, "Windows Bitmap : Bad picture's size !");
    s.width = 2;
    s.compression = 7;
    EXPECT_EQ(load_bytes(bmp_file(s, pixels), ".bmp", &pic, params("bmp")), STATUS_UNKNOWN_FORMAT);
    s.compression = 0;
    s.info_size = 20;
    EXPECT_EQ(load_bytes(bmp_file(s, pixels), ".bmp", &pic, params("bmp")), STATUS_UNKNOWN_FORMAT);
    s.info_size = 40;
    load_bmp(bmp_file(s, pixels.substr(0, 5)), 0, STATUS_INCOMPLETE);
}

}  // namespace
