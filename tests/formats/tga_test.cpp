// The Targa codec: header checks, colour maps, orientations, RLE packets across lines, grey with
// alpha, comments, and round trips through the writer.
#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/tga/tga_codec.h"

namespace {

struct TgaSpec {
    std::string id;
    int map_type = 0;
    int image_type = 2;
    int map_first = 0;
    int map_length = 0;
    int map_bits = 0;
    int width = 2;
    int height = 2;
    int depth = 24;
    int descriptor = 0x20;
    std::string map;
};

std::string tga_file(const TgaSpec& s, const std::string& data)
{
    std::string f;
    f += static_cast<char>(s.id.size());
    f += static_cast<char>(s.map_type);
    f += static_cast<char>(s.image_type);
    put_le(f, static_cast<uint32_t>(s.map_first), 2);
    put_le(f, static_cast<uint32_t>(s.map_length), 2);
    f += static_cast<char>(s.map_bits);
    put_le(f, 0, 4);
    put_le(f, static_cast<uint32_t>(s.width), 2);
    put_le(f, static_cast<uint32_t>(s.height), 2);
    f += static_cast<char>(s.depth);
    f += static_cast<char>(s.descriptor);
    return f + s.id + s.map + data;
}

Bytes encode(const Bytes& line, int pixel_bytes)
{
    Bytes out(line.size() / pixel_bytes * (pixel_bytes + 1));
    out.resize(tga_rle_encode(line.data(), static_cast<int>(line.size()) / pixel_bytes, pixel_bytes, out.data()));
    return out;
}

class Tga : public CodecTest {
protected:
    Picture& load_tga(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK)
    {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".tga", &pic, params("tga", flags)), expect);
        return keep(pic);
    }
};

TEST(TgaRle, RunsAndLiteralsNeverLongerThan128)
{
    EXPECT_EQ(encode({5, 5, 5, 1, 2, 3, 3}, 1), (Bytes{0x82, 5, 0x01, 1, 2, 0x81, 3}));
    EXPECT_EQ(encode({9}, 1), (Bytes{0, 9}));
    const Bytes long_run = encode(Bytes(300, 4), 1);
    EXPECT_EQ(long_run, (Bytes{0xFF, 4, 0xFF, 4, 0xAB, 4}));
    Bytes ramp(200);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i);
    const Bytes literal = encode(ramp, 1);
    EXPECT_EQ(literal[0], 127);
    EXPECT_EQ(literal[129], 71);
    EXPECT_EQ(encode({1, 2, 3, 1, 2, 3, 7, 8, 9}, 3), (Bytes{0x81, 1, 2, 3, 0x00, 7, 8, 9}));
}

TEST(TgaSignature, HeaderFieldsDecide)
{
    TgaSpec s;
    const std::string f = tga_file(s, "");
    EXPECT_TRUE(tga_signature(reinterpret_cast<const uint8_t*>(f.data()), f.size()));
    EXPECT_FALSE(tga_signature(reinterpret_cast<const uint8_t*>(f.data()), 17));
    s.image_type = 4;
    const std::string g = tga_file(s, "");
    EXPECT_FALSE(tga_signature(reinterpret_cast<const uint8_t*>(g.data()), g.size()));
}

TEST_F(Tga, RefusedHeaders)
{
    TgaSpec s;
    load_tga(tga_file(s, std::string(12, '\0')));
    for (auto change : {+[](TgaSpec& t) { t.map_type = 2; }, +[](TgaSpec& t) { t.image_type = 3 + 1; },
                        +[](TgaSpec& t) { t.width = 15001; }, +[](TgaSpec& t) { t.height = 15001; },
                        +[](TgaSpec& t) { t.depth = 12; }, +[](TgaSpec& t) { t.map_bits = 16; },
                        +[](TgaSpec& t) { t.map_type = 1, t.map_length = 2, t.map_bits = 16; },
                        +[](TgaSpec& t) { t.map_type = 1, t.map_length = 300, t.map_bits = 24; },
                        +[](TgaSpec& t) { t.map_type = 1, t.map_first = 3, t.map_length = 2, t.map_bits = 24; }}) {
        TgaSpec t;
        change(t);
        load_tga(tga_file(t, std::string(2000, '\0')), 0, STATUS_UNKNOWN_FORMAT);
    }
}

TEST_F(Tga, ColourMapsFromTheirFirstEntry)
{
    TgaSpec s;
    s.map_type = 1;
    s.image_type = 1;
    s.map_first = 2;
    s.map_length = 2;
    s.map_bits = 32;
    s.depth = 8;
    s.map = std::string("\x01\x02\x03\xFF\x04\x05\x06\xFF", 8);  // blue, green, red, alpha
    Picture& p = load_tga(tga_file(s, std::string("\x02\x03\x00\x09", 4)), LOAD_WANT_COLOUR);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{0, 0, 0, 0, 0, 0}));  // indices 0 and 9 have no entry
}

TEST_F(Tga, OrientationsAndDepths)
{
    TgaSpec s;
    s.descriptor = 0;  // bottom-up: the first stored line is the bottom one
    const std::string rows = std::string("\x01\x02\x03\x04\x05\x06\x11\x12\x13\x14\x15\x16", 12);
    Picture& up = load_tga(tga_file(s, rows));
    EXPECT_EQ(row_bytes(up, 1), (Bytes{3, 2, 1, 6, 5, 4}));
    s.descriptor = 0x30;  // top-down, right to left
    Picture& mirrored = load_tga(tga_file(s, rows));
    EXPECT_EQ(row_bytes(mirrored, 0), (Bytes{6, 5, 4, 3, 2, 1}));

    s.descriptor = 0x20;
    s.depth = 16;
    s.width = 1;
    s.height = 1;
    EXPECT_EQ(row_bytes(load_tga(tga_file(s, std::string("\x00\x7C", 2))), 0), (Bytes{255, 0, 0}));
    s.depth = 32;
    Picture& alpha = load_tga(tga_file(s, std::string("\x01\x02\x03\x80", 4)));
    EXPECT_EQ(row_bytes(alpha, 0), (Bytes{3, 2, 1, 0x80}));

    // Sixteen-bit grey: a level and an alpha byte.
    s.image_type = 3;
    s.depth = 16;
    Picture& ga = load_tga(tga_file(s, std::string("\x40\x90", 2)));
    EXPECT_EQ(row_bytes(ga, 0), (Bytes{0x40, 0x40, 0x40, 0x90}));

    s.depth = 1;
    s.width = 10;
    Picture& bits = load_tga(tga_file(s, std::string("\xA0\xC0", 2)));
    EXPECT_EQ(bits.type, PIXEL_BINARY);
    EXPECT_EQ(row_bytes(bits, 0), (Bytes{0xA0, 0xC0}));
}

TEST_F(Tga, RlePacketsRunAcrossLines)
{
    TgaSpec s;
    s.image_type = 11;
    s.depth = 8;
    s.width = 3;
    s.height = 2;
    // A run of 4 fills line 0 and starts line 1; a literal of 2 ends it; the extra packet is never read.
    Picture& p = load_tga(tga_file(s, std::string("\x83\x07\x01\x08\x09\x85\x01", 7)));
    EXPECT_EQ(row_bytes(p, 0), (Bytes{7, 7, 7}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{7, 8, 9}));
    // A run longer than the picture is cut; a literal past the end is stepped over.
    EXPECT_EQ(row_bytes(load_tga(tga_file(s, std::string("\xFF\x05", 2))), 1), (Bytes{5, 5, 5}));
    EXPECT_EQ(row_bytes(load_tga(tga_file(s, std::string("\x07\x01\x02\x03\x04\x05\x06\x07\x08", 9))), 1), (Bytes{4, 5, 6}));
    // The file ends inside the packets.
    load_tga(tga_file(s, std::string("\x83\x07\x01\x08", 4)), 0, STATUS_INCOMPLETE);
    Picture& partial = load_tga(tga_file(s, std::string("\x83\x07\x01\x08", 4)), LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 0), (Bytes{7, 7, 7}));
    s.image_type = 3;
    load_tga(tga_file(s, std::string(5, '\x01')), 0, STATUS_INCOMPLETE);
}

TEST_F(Tga, IdentificationFieldIsTheComment)
{
    TgaSpec s;
    s.id = std::string("a comment", 10);
    Picture& p = load_tga(tga_file(s, std::string(12, '\0')), LOAD_KEEP_COMMENT);
    ASSERT_NE(p.comment, nullptr);
    EXPECT_STREQ(p.comment, "a comment");
    EXPECT_EQ(load_tga(tga_file(s, std::string(12, '\0'))).comment, nullptr);

    Picture& pic = make(PIXEL_GREY, 2, 2);
    pic.comment = strdup("0123456789");
    SaveParams sp = save_params("tga");
    TempFile out(".tga");
    ASSERT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
    EXPECT_EQ(read_file(out.path())[0], 11);
    EXPECT_EQ(read_file(out.path()).substr(18, 11), std::string("0123456789", 11));
    std::free(pic.comment);
    pic.comment = strdup(std::string(300, 'c').c_str());
    ASSERT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
    EXPECT_EQ(read_file(out.path())[0], 0);
}

TEST_F(Tga, RoundTripsOfEveryAcceptedType)
{
    struct Case { uint32_t type; int colours; int image_type; int depth; int map_length; } cases[] = {
        {PIXEL_BINARY, 2, 3, 1, 0}, {PIXEL_GREY, 256, 3, 8, 0}, {PIXEL_GREY, 16, 3, 8, 0}, {PIXEL_COLORS, 200, 1, 8, 256},
        {PIXEL_RGB, 0, 2, 24, 0}, {PIXEL_BGR, 0, 2, 24, 0}, {PIXEL_RGBA, 0, 2, 32, 0}, {PIXEL_ARGB, 0, 2, 32, 0},
    };
    for (const Case& c : cases) {
        for (bool rle : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " rle " << rle);
            Picture& pic = make(c.type, 37, 9);
            fill_pattern(pic, c.colours ? c.colours : 256);
            if (c.type == PIXEL_COLORS || c.type == PIXEL_GREY) pic.colour_used = static_cast<int16_t>(c.colours);
            if (c.type == PIXEL_COLORS)
                for (int i = 0; i < 768; ++i) pic.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
            if (c.type != PIXEL_BINARY)
                for (int i = 0; i < 20 * pic.bytes_per_pixel; ++i) picture_line(&pic, 4)[i] = 1;
            SaveParams sp = save_params("tga");
            tga_set_save_options(&sp, rle);
            TempFile out(".tga");
            ASSERT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
            const std::string file = read_file(out.path());
            const int type = c.image_type + (rle && c.type != PIXEL_BINARY ? 8 : 0);
            EXPECT_EQ(file[2], type);
            EXPECT_EQ(file[1], c.map_length ? 1 : 0);
            EXPECT_EQ(static_cast<uint8_t>(file[5]) | static_cast<uint8_t>(file[6]) << 8, c.map_length);
            EXPECT_EQ(file[7], c.map_length ? 24 : 0);
            EXPECT_EQ(file[16], c.depth);
            EXPECT_EQ(file[17], 0x20);
            Picture back{};
            ASSERT_EQ(load(out.path(), &back, params("tga", LOAD_WANT_ALPHA * (c.depth == 32))), STATUS_OK);
            keep(back);
            EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
        }
    }
}

}  // namespace
