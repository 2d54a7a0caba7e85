// The PCX codec: header checks, palettes by version and depth, RLE and raw lines, damaged files,
// DCX pages, the encoder's exact bytes and round trips through the writer.
#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/pcx/pcx_codec.h"

namespace {

struct PcxSpec {
    int version = 5;
    int rle = 1;
    int bits = 8;
    int width = 4;
    int height = 2;
    int planes = 1;
    int bytes_per_line = 4;
    std::string palette;  // 48 bytes at most
};

std::string pcx_file(const PcxSpec& s, const std::string& data)
{
    std::string f;
    f += '\x0A';
    f += static_cast<char>(s.version);
    f += static_cast<char>(s.rle);
    f += static_cast<char>(s.bits);
    put_le(f, 0, 2);
    put_le(f, 0, 2);
    put_le(f, static_cast<uint32_t>(s.width - 1), 2);
    put_le(f, static_cast<uint32_t>(s.height - 1), 2);
    put_le(f, 300, 2);
    put_le(f, 200, 2);
    f += s.palette + std::string(48 - s.palette.size(), '\0');
    f += '\0';
    f += static_cast<char>(s.planes);
    put_le(f, static_cast<uint32_t>(s.bytes_per_line), 2);
    f += std::string(60, '\0');
    return f + data;
}

std::string vga_palette()
{
    std::string p = "\x0C";
    for (int i = 0; i < 768; ++i) p += static_cast<char>(255 - i % 256);
    return p;
}

Bytes encode(const Bytes& line)
{
    Bytes out(2 * line.size());
    out.resize(pcx_rle_encode(line.data(), line.size(), out.data()));
    return out;
}

class Pcx : public CodecTest {
protected:
    Picture& load_pcx(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK, int image = 0,
                      FileInfo* info = nullptr)
    {
        LoadParams p = params("pcx", flags);
        p.image_index = image;
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".pcx", &pic, p, info), expect);
        return keep(pic);
    }
};

TEST(PcxRle, RunsOfUpTo63AndHighBytesAlwaysCounted)
{
    EXPECT_EQ(encode(Bytes(100, 7)), (Bytes{0xFF, 7, 0xE5, 7}));
    EXPECT_EQ(encode(Bytes{0xC5}), (Bytes{0xC1, 0xC5}));
    EXPECT_EQ(encode(Bytes{1, 2, 2, 0xBF}), (Bytes{1, 0xC2, 2, 0xBF}));
}

TEST(PcxSignature, ManufacturerOrDcx)
{
    const uint8_t pcx[4] = {10, 5, 1, 8};
    EXPECT_TRUE(pcx_signature(pcx, 4));
    EXPECT_FALSE(pcx_signature(pcx, 0));
    const uint8_t dcx[4] = {0xB1, 0x68, 0xDE, 0x3A};
    EXPECT_TRUE(pcx_signature(dcx, 4));
    const uint8_t other[4] = {'G', 'I', 'F', '8'};
    EXPECT_FALSE(pcx_signature(other, 4));
}

TEST_F(Pcx, RefusedHeaders)
{
    FileInfo info{};
    PcxSpec s;
    s.width = 1;
    load_pcx(pcx_file(s, std::string(8, '\0')), 0, STATUS_UNKNOWN_FORMAT, 0, &info);
    EXPECT_STREQ(info.message, "Pcx : Bad picture's size !");
    for (auto change : {+[](PcxSpec& t) { t.planes = 0; }, +[](PcxSpec& t) { t.planes = 9; },
                        +[](PcxSpec& t) { t.bits = 0; }, +[](PcxSpec& t) { t.bits = 32; },
                        +[](PcxSpec& t) { t.height = 1; }, +[](PcxSpec& t) { t.bytes_per_line = 3; }}) {
        PcxSpec t;
        change(t);
        load_pcx(pcx_file(t, std::string(64, '\0')), 0, STATUS_UNKNOWN_FORMAT, 0, &info);
        EXPECT_STREQ(info.message, "Pcx : Bad picture's size !");
    }
    load_pcx(std::string(200, '\x0B'), 0, STATUS_UNKNOWN_FORMAT);
}

TEST_F(Pcx, PalettesByVersionAndDepth)
{
    // Version 3, four 1-bit planes: the EGA colours, whatever the header holds.
    PcxSpec ega;
    ega.version = 3;
    ega.rle = 0;
    ega.bits = 1;
    ega.planes = 4;
    ega.bytes_per_line = 2;
    ega.palette = std::string(48, '\x11');
    // Pixel 0 has index 15 (all planes set), pixel 1 index 9 (planes 0 and 3).
    const std::string line = std::string("\xC0\0\x80\0\x80\0\xC0\0", 8);
    Picture& p = load_pcx(pcx_file(ega, line + line), LOAD_WANT_COLOUR);
    const Bytes first = row_bytes(p, 0);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 6), (Bytes{255, 255, 255, 85, 85, 255}));

    // Version 5 with the same header palette: the header's colours.
    ega.version = 5;
    Picture& q = load_pcx(pcx_file(ega, line + line), LOAD_WANT_COLOUR);
    EXPECT_EQ(row_bytes(q, 0)[0], 0x11);

    // 8 bits with the table at the end; the marker may sit a few bytes after the data.
    PcxSpec vga;
    vga.rle = 0;
    Picture& r = load_pcx(pcx_file(vga, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) + "\0\0" + vga_palette()));
    EXPECT_EQ(r.type, PIXEL_COLORS);
    EXPECT_EQ(r.colour_map[1], 252);
    // Without the table: grey levels. With it cut short: finished, but incomplete.
    EXPECT_EQ(load_pcx(pcx_file(vga, std::string(8, '\x40'))).type, PIXEL_GREY);
    load_pcx(pcx_file(vga, std::string(8, '\x40') + vga_palette().substr(0, 100)), 0, STATUS_INCOMPLETE);

    // Three 8-bit planes: truecolour, no palette.
    PcxSpec rgb;
    rgb.planes = 3;
    rgb.rle = 0;
    rgb.width = 2;
    rgb.bytes_per_line = 2;
    Picture& t = load_pcx(pcx_file(rgb, std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C", 12)));
    EXPECT_EQ(t.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(t, 0), (Bytes{1, 3, 5, 2, 4, 6}));
}

TEST_F(Pcx, PlanesOfSeveralBitsGiveTheirBitsOfTheIndex)
{
    // Two planes of 4 bits: plane 0 holds the low half of each index, plane 1 the high half.
    PcxSpec s;
    s.rle = 0;
    s.bits = 4;
    s.planes = 2;
    s.bytes_per_line = 2;
    const std::string line("\x12\x34\x56\x78", 4);
    Picture& p = load_pcx(pcx_file(s, line + line + vga_palette()));
    ASSERT_EQ(p.width, 4);
    ASSERT_EQ(p.type, PIXEL_COLORS);
    const Bytes row = row_bytes(p, 0);
    EXPECT_EQ(Bytes(row.begin(), row.begin() + 4), (Bytes{0x51, 0x62, 0x73, 0x84}));

    // Four planes of 2 bits.
    s.bits = 2;
    s.planes = 4;
    s.bytes_per_line = 1;
    // Pixel 0: planes give 3, 0, 1, 2 -> 0b10'01'00'11.
    const std::string line2("\xC0\x00\x40\x80", 4);
    Picture& q = load_pcx(pcx_file(s, line2 + line2 + vga_palette()));
    const Bytes qrow = row_bytes(q, 0);
    EXPECT_EQ(qrow[0], 0x93);
    EXPECT_EQ(qrow[1], 0x00);
}

TEST_F(Pcx, RleLinesAndDamagedFiles)
{
    PcxSpec s;
    s.width = 3;
    s.bytes_per_line = 4;
    // Line 0: a run of 6 cut at the line's end (4 bytes); line 1 starts afresh.
    Picture& p = load_pcx(pcx_file(s, std::string("\xC6\x09\x01\x02\xC3\x03", 6)), LOAD_BILEVEL_AS_GREY);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{9, 9, 9}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{1, 2, 3}));
    // Codes ending early: incomplete, with the line reached handed on.
    load_pcx(pcx_file(s, std::string("\xC6\x09\x01", 3)), 0, STATUS_INCOMPLETE);
    Picture& partial = load_pcx(pcx_file(s, std::string("\xC6\x09\x01", 3)), LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 1), (Bytes{1, 0, 0}));
    s.rle = 0;
    load_pcx(pcx_file(s, std::string(7, '\x01')), 0, STATUS_INCOMPLETE);
}

TEST_F(Pcx, DcxPages)
{
    PcxSpec s;
    s.rle = 0;
    const std::string page0 = pcx_file(s, std::string(8, '\x10'));
    const std::string page1 = pcx_file(s, std::string(8, '\x20'));
    std::string dcx;
    put_le(dcx, 987654321u, 4);
    const uint32_t table = 4 + 4 * 1024;
    put_le(dcx, table, 4);
    put_le(dcx, table + static_cast<uint32_t>(page0.size()), 4);
    dcx += std::string(table - dcx.size(), '\0');
    dcx += page0 + page1;
    EXPECT_EQ(row_bytes(load_pcx(dcx, 0, STATUS_OK, 0), 0), Bytes(4, 0x10));
    EXPECT_EQ(row_bytes(load_pcx(dcx, 0, STATUS_OK, 1), 1), Bytes(4, 0x20));
    load_pcx(dcx, 0, STATUS_UNKNOWN_FORMAT, 2);
    // A page offset beyond the file.
    std::string bad = dcx;
    bad[11] = '\x7F';
    load_pcx(bad, 0, STATUS_UNKNOWN_FORMAT, 1);
}

TEST_F(Pcx, RoundTripsOfEveryAcceptedType)
{
    struct Case { uint32_t type; int colours; int planes; int bits; } cases[] = {
        {PIXEL_BINARY, 2, 1, 1}, {PIXEL_COLORS, 16, 4, 1}, {PIXEL_COLORS, 200, 1, 8},
        {PIXEL_GREY, 256, 1, 8}, {PIXEL_GREY, 16, 1, 8}, {PIXEL_RGB, 0, 3, 8}, {PIXEL_BGR, 0, 3, 8},
    };
    for (const Case& c : cases) {
        for (bool rle : {false, true}) {
            for (int width : {3, 16, 17, 37}) {
                SCOPED_TRACE(testing::Message() << "type " << c.type << " rle " << rle << " width " << width);
                Picture& pic = make(c.type, width, 9);
                fill_pattern(pic, c.colours ? c.colours : 256);
                if (c.type == PIXEL_COLORS || c.type == PIXEL_GREY) pic.colour_used = static_cast<int16_t>(c.colours);
                if (c.type == PIXEL_COLORS)
                    for (int i = 0; i < 768; ++i) pic.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
                for (int x = 0; x < width; ++x)
                    if (c.type != PIXEL_BINARY) picture_line(&pic, 4)[x] = 1;  // runs for the encoder
                pic.x_dpi = 150;
                SaveParams sp = save_params("pcx");
                pcx_set_save_options(&sp, rle);
                TempFile out(".pcx");
                ASSERT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
                const std::string file = read_file(out.path());
                EXPECT_EQ(file[2], rle ? 1 : 0);
                EXPECT_EQ(file[3], c.bits);
                EXPECT_EQ(file[65], c.planes);
                const int bpl = static_cast<uint8_t>(file[66]) | static_cast<uint8_t>(file[67]) << 8;
                EXPECT_EQ(bpl, c.bits == 8 ? width : (width + 15) / 8 / 2 * 2);
                EXPECT_EQ(static_cast<uint8_t>(file[12]), 150);
                Picture back{};
                ASSERT_EQ(load(out.path(), &back, params("pcx")), STATUS_OK);
                keep(back);
                EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
            }
        }
    }
}

TEST_F(Pcx, RgbaPicturesLoseTheirAlpha)
{
    Picture& pic = make(PIXEL_RGBA, 5, 3);
    fill_pattern(pic, 256);
    SaveParams sp = save_params("pcx");
    TempFile out(".pcx");
    ASSERT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
    Picture back{};
    ASSERT_EQ(load(out.path(), &back, params("pcx")), STATUS_OK);
    keep(back);
    EXPECT_EQ(back.type, PIXEL_RGB);
    const Bytes rgba = row_bytes(pic, 2);
    Bytes rgb;
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) rgb.push_back(rgba[i]);
    EXPECT_EQ(row_bytes(back, 2), rgb);
}

}  // namespace
