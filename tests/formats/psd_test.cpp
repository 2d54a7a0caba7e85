// The Photoshop reader: every colour mode and depth of the merged picture, raw and PackBits
// channels, the resolution and IPTC resources, layers as pages, and files that claim more than
// they hold.
#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/psd/psd_codec.h"

namespace {

void put_be(std::string& s, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string section(const std::string& data)
{
    std::string s;
    put_be(s, static_cast<uint32_t>(data.size()), 4);
    return s + data;
}

struct PsdSpec {
    int channels = 3;
    int width = 2;
    int height = 1;
    int depth = 8;
    int mode = 3;
    std::string colour_data;
    std::string resources;
    std::string layers;  // the layer and mask section's content
};

std::string psd_file(const PsdSpec& p, const std::string& image_data)
{
    std::string f = "8BPS";
    put_be(f, 1, 2);
    f += std::string(6, '\0');
    put_be(f, static_cast<uint32_t>(p.channels), 2);
    put_be(f, static_cast<uint32_t>(p.height), 4);
    put_be(f, static_cast<uint32_t>(p.width), 4);
    put_be(f, static_cast<uint32_t>(p.depth), 2);
    put_be(f, static_cast<uint32_t>(p.mode), 2);
    return f + section(p.colour_data) + section(p.resources) + section(p.layers) + image_data;
}

std::string raw(const std::string& channels)
{
    std::string d;
    put_be(d, 0, 2);
    return d + channels;
}

std::string resource(int number, const std::string& data)
{
    std::string r = "8BIM";
    put_be(r, static_cast<uint32_t>(number), 2);
    r += std::string("\x03" "abc", 4);  // a name of odd length: 4 bytes with its length byte
    put_be(r, static_cast<uint32_t>(data.size()), 4);
    r += data;
    if (data.size() & 1) r += '\0';
    return r;
}

class Psd : public CodecTest {
protected:
    Picture& load_psd(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK, int page = 0,
                      FileInfo* info = nullptr)
    {
        LoadParams p = params("psd", flags);
        p.image_index = page;
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".psd", &pic, p, info), expect);
        return keep(pic);
    }
};

TEST_F(Psd, RgbChannelsRawAndPackBits)
{
    PsdSpec s;
    Picture& p = load_psd(psd_file(s, raw(std::string("\x01\x02\x03\x04\x05\x06", 6))));
    ASSERT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{1, 3, 5, 2, 4, 6}));

    // PackBits: the byte counts of each channel's line, then the lines: a repeat, a literal, and
    // a no-op code between them.
    std::string rle;
    put_be(rle, 1, 2);
    for (int i = 0; i < 3; ++i) put_be(rle, 2, 2);
    rle += std::string("\xFF\x07" "\x80\x01\x08\x09" "\xFF\x0A", 8);
    Picture& q = load_psd(psd_file(s, rle));
    EXPECT_EQ(row_bytes(q, 0), (Bytes{7, 8, 10, 7, 9, 10}));
}

TEST_F(Psd, SixteenBitSamplesKeepTheirHighBytes)
{
    PsdSpec s;
    s.depth = 16;
    s.width = 1;
    Picture& p = load_psd(psd_file(s, raw(std::string("\x12\x34\xAB\xCD\xFF\x01", 6))));
    ASSERT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0x12, 0xAB, 0xFF}));
}

TEST_F(Psd, ResolutionAndIptcResources)
{
    PsdSpec s;
    s.width = 1;
    std::string res;
    put_be(res, 300u << 16, 4);
    put_be(res, 1, 2);
    put_be(res, 1, 2);
    put_be(res, 150u << 16, 4);
    put_be(res, 1, 2);
    put_be(res, 1, 2);
    s.resources = resource(1000, "xyz") + resource(1005, res) + resource(1028, "\x1C\x02\x05");
    Picture& p = load_psd(psd_file(s, raw("abc")), LOAD_KEEP_CHUNKS);
    EXPECT_EQ(p.x_dpi, 300);
    EXPECT_EQ(p.y_dpi, 150);
    ASSERT_NE(p.chunks, nullptr);
    EXPECT_EQ(p.chunks->kind, 2u);
    const std::string block(reinterpret_cast<const char*>(p.chunks->bytes), p.chunks->size);
    EXPECT_EQ(block, std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0" "\0\0\0\x03" "\x1C\x02\x05\0", 30));
    Picture& plain = load_psd(psd_file(s, raw("abc")));
    EXPECT_EQ(plain.chunks, nullptr);
}

TEST_F(Psd, ModesGreyBitmapIndexedCmykAndLab)
{
    PsdSpec grey;
    grey.channels = 2;  // grey and alpha: read as grey
    grey.mode = 1;
    Picture& g = load_psd(psd_file(grey, raw("\x10\x20\xFF\xFF")));
    ASSERT_EQ(g.type, PIXEL_GREY);
    EXPECT_EQ(row_bytes(g, 0), (Bytes{0x10, 0x20}));

    PsdSpec bitmap;
    bitmap.channels = 1;
    bitmap.mode = 0;
    bitmap.depth = 1;
    bitmap.width = 3;
    Picture& b = load_psd(psd_file(bitmap, raw("\xA0")));
    ASSERT_EQ(b.type, PIXEL_BINARY);
    EXPECT_EQ(row_bytes(b, 0)[0] & 0xE0, 0x40);  // set bits are black

    PsdSpec indexed;
    indexed.channels = 1;
    indexed.mode = 2;
    indexed.colour_data = std::string(768, '\0');
    indexed.colour_data[5] = 50;         // red of entry 5
    indexed.colour_data[256 + 5] = 60;   // green
    indexed.colour_data[512 + 5] = 70;   // blue
    Picture& i = load_psd(psd_file(indexed, raw(std::string("\x05\x00", 2))));
    ASSERT_EQ(i.type, PIXEL_COLORS);
    EXPECT_EQ(picture_to_rgba(i), (std::vector<uint8_t>{50, 60, 70, 255, 0, 0, 0, 255}));

    // CMYK is stored as 255 minus the ink: (255, 255, 255, 255) is no ink at all, white.
    PsdSpec cmyk;
    cmyk.channels = 4;
    cmyk.mode = 4;
    cmyk.width = 1;
    Picture& c = load_psd(psd_file(cmyk, raw(std::string("\xFF\x00\xFF\xFF", 4))));
    ASSERT_EQ(c.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(c, 0), (Bytes{255, 0, 255}));  // full magenta ink
    Picture& kept = load_psd(psd_file(cmyk, raw(std::string("\xFF\x00\xFF\xFF", 4))), LOAD_KEEP_CMYK);
    ASSERT_EQ(kept.type, PIXEL_CMYK);
    EXPECT_EQ(row_bytes(kept, 0), (Bytes{0, 255, 0, 0}));

    PsdSpec lab;
    lab.mode = 9;
    lab.width = 1;
    Picture& l = load_psd(psd_file(lab, raw(std::string("\xFF\x80\x80", 3))));
    ASSERT_EQ(l.type, PIXEL_RGB);
    EXPECT_GT(row_bytes(l, 0)[0], 250);  // L at its top with neutral a and b: white
}

// Only a single 1-bit plane is a bitmap with a two-entry table; several 1-bit planes are
// colours of their own and must not take the bitmap's table for an eight- or sixteen-colour one.
TEST_F(Psd, SeveralOneBitPlanesTakeNoBitmapTable)
{
    PsdSpec rgb;
    rgb.depth = 1;
    rgb.width = 5;
    // Pixel 0 red, 1 green, 2 blue, 3 all three, 4 none.
    Picture& p = load_psd(psd_file(rgb, raw(std::string("\x90\x50\x30", 3))));
    EXPECT_EQ(picture_to_rgba(p), (Bytes{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255}));

    PsdSpec cmyk = rgb;
    cmyk.channels = 4;
    cmyk.mode = 4;
    cmyk.width = 1;
    EXPECT_EQ(load_psd(psd_file(cmyk, raw(std::string("\x80\x80\x80\x80", 4)))).width, 1);
}

TEST_F(Psd, FourthChannelIsAlphaOnlyWhenAskedFor)
{
    PsdSpec s;
    s.channels = 4;
    s.width = 1;
    const std::string file = psd_file(s, raw("\x01\x02\x03\x80"));
    Picture& rgb = load_psd(file);
    EXPECT_EQ(rgb.type, PIXEL_RGB);
    Picture& rgba = load_psd(file, LOAD_WANT_ALPHA);
    ASSERT_EQ(rgba.type, PIXEL_RGBA);
    EXPECT_EQ(row_bytes(rgba, 0), (Bytes{1, 2, 3, 0x80}));
}

// Two layers with areas of their own, then the merged picture.
std::string layered_file()
{
    auto record = [](int top, int left, int bottom, int right, const std::vector<int>& ids, uint32_t length) {
        std::string r;
        for (int v : {top, left, bottom, right}) put_be(r, static_cast<uint32_t>(v), 4);
        put_be(r, static_cast<uint32_t>(ids.size()), 2);
        for (int id : ids) {
            put_be(r, static_cast<uint32_t>(id) & 0xFFFF, 2);
            put_be(r, length, 4);
        }
        r += "8BIMnorm";
        r += std::string("\xFF\0\0\0", 4);
        put_be(r, 0, 4);  // no extra data
        return r;
    };
    std::string info;
    put_be(info, static_cast<uint32_t>(-2) & 0xFFFF, 2);  // a negative count: its absolute value counts
    info += record(0, 0, 1, 2, {0, 1, 2}, 4);             // 2 x 1
    info += record(0, 0, 2, 1, {-1, 0, 1, 2}, 4);          // 1 x 2, with transparency
    for (const char* ch : {"\x01\x02", "\x03\x04", "\x05\x06"}) info += raw(std::string(ch, 2));
    for (const char* ch : {"\x80\x40", "\x11\x12", "\x21\x22", "\x31\x32"}) info += raw(std::string(ch, 2));
    PsdSpec s;
    s.width = 3;
    s.layers = section(info);
    return psd_file(s, raw("abcdefghi"));
}

TEST_F(Psd, LayersArePagesAtTheirOwnSizes)
{
    const std::string file = layered_file();
    Picture& merged = load_psd(file);
    EXPECT_EQ(merged.width, 3);
    Picture& first = load_psd(file, 0, STATUS_OK, 1);
    ASSERT_EQ(first.width, 2);
    EXPECT_EQ(row_bytes(first, 0), (Bytes{1, 3, 5, 2, 4, 6}));
    Picture& second = load_psd(file, LOAD_WANT_ALPHA, STATUS_OK, 2);
    ASSERT_EQ(second.width, 1);
    ASSERT_EQ(second.height, 2);
    ASSERT_EQ(second.type, PIXEL_RGBA);
    EXPECT_EQ(row_bytes(second, 0), (Bytes{0x11, 0x21, 0x31, 0x80}));
    EXPECT_EQ(row_bytes(second, 1), (Bytes{0x12, 0x22, 0x32, 0x40}));
    // Past the last page: the merged picture.
    EXPECT_EQ(load_psd(file, 0, STATUS_OK, 3).width, 3);
}

TEST_F(Psd, RefusalsAndFilesThatClaimMoreThanTheyHold)
{
    FileInfo info{};
    PsdSpec s;
    s.depth = 32;
    load_psd(psd_file(s, raw("")), 0, STATUS_BAD_HEADER, 0, &info);
    EXPECT_STREQ(info.message, "PSD: Depth != 8/16!");
    s.depth = 8;
    s.mode = 5;
    load_psd(psd_file(s, raw("")), 0, STATUS_BAD_HEADER, 0, &info);
    EXPECT_STREQ(info.message, "PSD: Invalid Picture Mode !");
    s.mode = 3;
    std::string wrong = psd_file(s, raw("abcdef"));
    wrong[5] = 2;  // version 2 is the large document format
    load_psd(wrong, 0, STATUS_UNKNOWN_FORMAT);

    // A section longer than the file.
    std::string cut = psd_file(s, "");
    cut[29] = 0x7F;
    load_psd(cut, 0, STATUS_UNKNOWN_FORMAT);  // before load_begin: not this format after all
    // More lines than the data holds: the lines read, then incomplete.
    s.height = 4;
    const std::string short_data = psd_file(s, raw("abcdef"));
    load_psd(short_data, 0, STATUS_INCOMPLETE);
    EXPECT_EQ(load_psd(short_data, LOAD_ACCEPT_DAMAGED).height, 4);
    // A PackBits table that runs past the end.
    std::string rle;
    put_be(rle, 1, 2);
    rle += "\x00";
    load_psd(psd_file(s, rle), 0, STATUS_UNKNOWN_FORMAT);
    // A layer count far beyond the records present: the merged picture is still read.
    std::string info_section;
    put_be(info_section, 30000, 2);
    s.height = 1;
    s.layers = section(info_section);
    EXPECT_EQ(load_psd(psd_file(s, raw("abcdef"))).width, 2);
}

TEST(PsdSignature, RefusesOtherFiles)
{
    const std::string psd = std::string("8BPS\0\x01", 6), psb = std::string("8BPS\0\x02", 6);
    EXPECT_TRUE(psd_signature(reinterpret_cast<const uint8_t*>(psd.data()), 6));
    EXPECT_TRUE(psd_signature(reinterpret_cast<const uint8_t*>(psd.data()), 2));
    EXPECT_FALSE(psd_signature(reinterpret_cast<const uint8_t*>(psb.data()), 6));
}

}  // namespace
