// The IFF codec: interleaved planes into indices, true colour and both HAM modes, Extra
// Half-Brite, mask planes, chunky PBM rows, ByteRun1 rows, hostile chunk sizes, and round trips
// through the writer raw and packed.
#include <algorithm>

#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/iff/iff_codec.h"

namespace {

void put_be(std::string& s, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string chunk(const char* kind, const std::string& data)
{
    std::string c = kind;
    put_be(c, static_cast<uint32_t>(data.size()), 4);
    c += data;
    if (data.size() & 1) c += '\0';
    return c;
}

std::string bmhd(int w, int h, int planes, int compression = 0, int masking = 0)
{
    std::string b;
    put_be(b, static_cast<uint32_t>(w), 2);
    put_be(b, static_cast<uint32_t>(h), 2);
    put_be(b, 0, 4);
    b += static_cast<char>(planes);
    b += static_cast<char>(masking);
    b += static_cast<char>(compression);
    b += '\0';
    put_be(b, 0, 2);
    b += "\x01\x01";
    put_be(b, static_cast<uint32_t>(w), 2);
    put_be(b, static_cast<uint32_t>(h), 2);
    return chunk("BMHD", b);
}

std::string form(const char* type, const std::string& chunks)
{
    std::string f = "FORM";
    put_be(f, static_cast<uint32_t>(4 + chunks.size()), 4);
    return f + type + chunks;
}

std::string camg(uint32_t mode)
{
    std::string d;
    put_be(d, mode, 4);
    return chunk("CAMG", d);
}

// A colour map whose entry i is (i, 2i, 3i) unless given.
std::string cmap(int entries)
{
    std::string d;
    for (int i = 0; i < entries; ++i) d += {static_cast<char>(i), static_cast<char>(2 * i), static_cast<char>(3 * i)};
    return chunk("CMAP", d);
}

// One ILBM row of 16 pixels (2 bytes a plane) holding `values`, plane 0 first.
std::string planar_row(const std::vector<uint32_t>& values, int planes)
{
    std::string row(2 * static_cast<size_t>(planes), '\0');
    for (size_t x = 0; x < values.size(); ++x)
        for (int p = 0; p < planes; ++p)
            if ((values[x] >> p) & 1) row[2 * p + x / 8] = static_cast<char>(row[2 * p + x / 8] | (0x80 >> (x % 8)));
    return row;
}

Bytes rgb_at(const Picture& p, int x, int y)
{
    const std::vector<uint8_t> rgba = picture_to_rgba(p);
    const size_t i = 4 * (static_cast<size_t>(y) * p.width + x);
    return Bytes(rgba.begin() + i, rgba.begin() + i + 3);
}

class Iff : public CodecTest {
protected:
    Picture& load_iff(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK, FileInfo* info = nullptr)
    {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".iff", &pic, params("iff", flags), info), expect);
        return keep(pic);
    }
};

TEST_F(Iff, FivePlanesWithA32ColourMapGiveIndices)
{
    const std::string file = form("ILBM", bmhd(3, 1, 5) + cmap(32) + chunk("BODY", planar_row({0, 17, 31}, 5)));
    Picture& p = load_iff(file);
    ASSERT_EQ(p.type, PIXEL_COLORS);
    EXPECT_EQ(p.colour_used, 32);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0, 17, 31}));
    EXPECT_EQ(rgb_at(p, 1, 0), (Bytes{17, 34, 51}));
    // Indices the colour map does not reach fall back to 0.
    Picture& q = load_iff(form("ILBM", bmhd(2, 1, 3) + cmap(4) + chunk("BODY", planar_row({3, 6}, 3))));
    EXPECT_EQ(row_bytes(q, 0), (Bytes{3, 0}));
}

TEST_F(Iff, ExtraHalfBriteHalvesTheUpperColours)
{
    const std::string file =
        form("ILBM", bmhd(2, 1, 6) + camg(0x80) + cmap(32) + chunk("BODY", planar_row({10, 42}, 6)));
    Picture& p = load_iff(file);
    EXPECT_EQ(rgb_at(p, 0, 0), (Bytes{10, 20, 30}));
    EXPECT_EQ(rgb_at(p, 1, 0), (Bytes{5, 10, 15}));
}

TEST_F(Iff, TrueColourAndHoldAndModify)
{
    const uint32_t px = 0x30 | 0x2010 << 8;  // red 0x30, green 0x10, blue 0x20
    Picture& deep = load_iff(form("ILBM", bmhd(1, 1, 24) + chunk("BODY", planar_row({px}, 24))));
    ASSERT_EQ(deep.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(deep, 0), (Bytes{0x30, 0x10, 0x20}));

    // HAM6: control 01 first changes blue and keeps red and green of colour 0; 10 red; 11 green;
    // 00 takes a palette colour.
    std::string pal = chunk("CMAP", std::string("\x40\x50\x60\x01\x02\x03", 6));
    Picture& ham6 = load_iff(form("ILBM", bmhd(4, 1, 6) + camg(0x800) + pal +
                                              chunk("BODY", planar_row({0x1F, 0x22, 0x33, 0x01}, 6))));
    EXPECT_EQ(row_bytes(ham6, 0), (Bytes{0x40, 0x50, 0xFF, 0x22, 0x50, 0xFF, 0x22, 0x33, 0xFF, 1, 2, 3}));

    // HAM8: six data bits go to the top of the component, the low two are held.
    pal = chunk("CMAP", std::string("\x03\x03\x03", 3));
    Picture& ham8 = load_iff(form("ILBM", bmhd(2, 1, 8) + camg(0x800) + pal + chunk("BODY", planar_row({0x40 | 0x3F, 0x80 | 1}, 8))));
    EXPECT_EQ(row_bytes(ham8, 0), (Bytes{3, 3, 0xFF, 7, 3, 0xFF}));
}

TEST_F(Iff, HoldAndModifyCarriesTheHeldColourIntoTheNextLine)
{
    std::string pal = chunk("CMAP", std::string("\x00\x00\x00", 3));
    const std::string body = planar_row({0x2F}, 6) + planar_row({0x1F}, 6);  // red, then blue
    Picture& p = load_iff(form("ILBM", bmhd(1, 2, 6) + camg(0x800) + pal + chunk("BODY", body)));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{0xFF, 0, 0xFF}));
}

TEST_F(Iff, MaskPlanesAreSkippedAndChunkyRowsAreEven)
{
    // A mask plane after the two colour planes: all ones, which must not leak into the indices.
    const std::string row = planar_row({1, 2}, 2) + std::string("\xFF\xFF", 2);
    Picture& masked = load_iff(form("ILBM", bmhd(2, 2, 2, 0, 1) + cmap(4) + chunk("BODY", row + row)));
    EXPECT_EQ(row_bytes(masked, 1), (Bytes{1, 2}));

    // PBM: 3 pixels take 4 bytes a row.
    Picture& chunky = load_iff(form("PBM ", bmhd(3, 2, 8) + cmap(256) + chunk("BODY", std::string("\x05\x06\x07\x00\x08\x09\x0A\x00", 8))));
    EXPECT_EQ(row_bytes(chunky, 1), (Bytes{8, 9, 10}));
}

TEST_F(Iff, ByteRun1RowsAndTheNoOpCode)
{
    // 0x80 produces nothing; 0xFE repeats the next byte 3 times; 0x00 copies one byte.
    const std::string body = std::string("\x80\xFF\xF0\x80\x01\xAA\x55", 7);
    Picture& p = load_iff(form("ILBM", bmhd(16, 1, 2, 1) + cmap(4) + chunk("BODY", body)));
    const Bytes row = row_bytes(p, 0);
    EXPECT_EQ(row[0], 3);  // plane 0 0xF0, plane 1 0xAA
    EXPECT_EQ(row[1], 1);
    EXPECT_EQ(row[8], 1);  // plane 0 0xF0, plane 1 0x55
    EXPECT_EQ(row[15], 2);
}

TEST_F(Iff, RefusalsAndHostileSizes)
{
    FileInfo info{};
    load_iff(form("ILBX", bmhd(1, 1, 1)), 0, STATUS_UNKNOWN_FORMAT);
    load_iff("LIST" + form("ILBM", "").substr(4), 0, STATUS_UNKNOWN_FORMAT);
    load_iff(form("ILBM", cmap(1) + chunk("BODY", "ab")), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "IFF : Not valid !");
    load_iff(form("ILBM", bmhd(16000, 1, 1)), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "Iff : Bad picture's size !");
    load_iff(form("ILBM", bmhd(1, 1, 12)), 0, STATUS_BAD_HEADER);
    load_iff(form("ILBM", bmhd(1, 1, 1) + cmap(257)), 0, STATUS_UNKNOWN_FORMAT);
    // A chunk claiming more than the file holds ends the walk rather than reading past the end.
    std::string huge = "ANNO";
    put_be(huge, 0x7FFFFFF0, 4);
    load_iff(form("ILBM", bmhd(1, 1, 1) + huge), 0, STATUS_UNKNOWN_FORMAT);
    // A body cut short: the rows read so far, then incomplete.
    const std::string cut = form("ILBM", bmhd(16, 3, 1) + cmap(2) + chunk("BODY", std::string("\xFF\x00\x0F\x0F", 4)));
    load_iff(cut, 0, STATUS_INCOMPLETE);
    Picture& partial = load_iff(cut, LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(partial.height, 3);
}

TEST_F(Iff, RoundTripsRawAndPacked)
{
    struct Case { uint32_t type; int colours; int planes; } cases[] = {
        {PIXEL_BINARY, 2, 1}, {PIXEL_GREY, 256, 8}, {PIXEL_GREY, 16, 4}, {PIXEL_COLORS, 5, 3},
        {PIXEL_COLORS, 32, 5}, {PIXEL_COLORS, 200, 8}, {PIXEL_RGB, 0, 24}, {PIXEL_BGRA, 0, 24},
    };
    for (const Case& c : cases) {
        for (bool packed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " colours " << c.colours << " packed " << packed);
            Picture& pic = make(c.type, 37, 6);
            fill_pattern(pic, c.colours ? c.colours : 256);
            if (c.type == PIXEL_GREY || c.type == PIXEL_COLORS) pic.colour_used = static_cast<int16_t>(c.colours);
            if (c.type == PIXEL_COLORS)
                for (int i = 0; i < 768; ++i) pic.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
            for (int x = 3; x < std::min(30, pic.bytes_per_line); ++x) picture_line(&pic, 2)[x] = 0;  // runs for the packer
            if (c.type == PIXEL_BGRA)
                for (int y = 0; y < pic.height; ++y)
                    for (int x = 0; x < pic.width; ++x) picture_line(&pic, y)[4 * x + 3] = 255;
            SaveParams sp = save_params("iff");
            iff_set_save_options(&sp, packed);
            TempFile out(".iff");
            ASSERT_EQ(save_picture(out.path(), &pic, &sp), STATUS_OK);
            const std::string file = read_file(out.path());
            EXPECT_EQ(file.size() % 2, 0u);
            EXPECT_EQ((uint8_t(file[4]) << 24 | uint8_t(file[5]) << 16 | uint8_t(file[6]) << 8 | uint8_t(file[7])) + 8u, file.size());
            EXPECT_EQ(static_cast<uint8_t>(file[28]), c.planes);
            EXPECT_EQ(static_cast<uint8_t>(file[30]), packed ? 1 : 0);
            Picture& back = load_iff(file, c.type == PIXEL_BGRA ? uint32_t{LOAD_WANT_ALPHA} : 0u);
            EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
        }
    }
}

TEST(IffSignature, RefusesOnlyOtherForms)
{
    const std::string ilbm = std::string("FORM\0\0\0\0ILBM", 12), anim = std::string("FORM\0\0\0\0ANIM", 12), list = "LIST";
    EXPECT_TRUE(iff_signature(reinterpret_cast<const uint8_t*>(ilbm.data()), 12));
    EXPECT_TRUE(iff_signature(reinterpret_cast<const uint8_t*>(ilbm.data()), 4));
    EXPECT_FALSE(iff_signature(reinterpret_cast<const uint8_t*>(anim.data()), 12));
    EXPECT_FALSE(iff_signature(reinterpret_cast<const uint8_t*>(list.data()), 4));
}

}  // namespace
