// The PICT reader: both versions, with and without the preamble, the opcode walk over drawing
// opcodes, bitmaps, indexed and direct pixmaps with their packed rows, QuickTime JPEG, and the
// refusals.
#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/pict/pict_codec.h"

namespace {

void put_be(std::string& s, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string rect(int w, int h)
{
    std::string r;
    for (int v : {0, 0, h, w}) put_be(r, static_cast<uint32_t>(v), 2);
    return r;
}

// A version 2 picture: preamble (or none), size, frame, version opcodes, `ops`, end.
std::string pict2(const std::string& ops, bool preamble = true, int w = 4, int h = 2)
{
    std::string f = preamble ? std::string(512, '\0') : std::string();
    put_be(f, 0, 2);
    f += rect(w, h);
    f += std::string("\x00\x11\x02\xFF\x0C\x00", 6) + std::string(24, '\0');
    f += ops;
    if (f.size() & 1) f += '\0';
    return f + std::string("\x00\xFF", 2);
}

// The pixmap fields after the bounds.
std::string pixmap_fields(int pack_type, int pixel_type, int pixel_size, int cmp_count, int cmp_size, int dpi = 72)
{
    std::string p;
    put_be(p, 0, 2);
    put_be(p, static_cast<uint32_t>(pack_type), 2);
    put_be(p, 0, 4);
    put_be(p, static_cast<uint32_t>(dpi) << 16, 4);
    put_be(p, static_cast<uint32_t>(dpi) << 16, 4);
    put_be(p, static_cast<uint32_t>(pixel_type), 2);
    put_be(p, static_cast<uint32_t>(pixel_size), 2);
    put_be(p, static_cast<uint32_t>(cmp_count), 2);
    put_be(p, static_cast<uint32_t>(cmp_size), 2);
    return p + std::string(12, '\0');
}

std::string direct_bits(int w, int h, int pixel_size, int cmp_count, const std::string& rows, int dpi = 72)
{
    std::string op("\x00\x9A", 2);
    put_be(op, 0xFF, 4);  // base address
    put_be(op, 0x8000u | static_cast<uint32_t>(w * pixel_size / 8), 2);
    op += rect(w, h);
    op += pixmap_fields(4, 16, pixel_size, cmp_count, pixel_size == 16 ? 5 : 8, dpi);
    op += rect(w, h) + rect(w, h);
    put_be(op, 0, 2);  // transfer mode
    return op + rows;
}

class Pict : public CodecTest {
protected:
    Picture& load_pict(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK, FileInfo* info = nullptr)
    {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".pict", &pic, params("pict", flags), info), expect);
        return keep(pic);
    }
};

TEST_F(Pict, DirectPixmapOf32BitsWithThreeComponentsIsTrueColour)
{
    // Two rows of two pixels, packed by component: a repeat and literals.
    const std::string rows = std::string("\x07\xFF\x10\x01\x20\x21\x00\x30", 8) + std::string("\x07\x05\x01\x02\x03\x04\x05\x06", 8);
    FileInfo info{};
    Picture& p = load_pict(pict2(direct_bits(2, 2, 32, 3, rows, 144)), 0, STATUS_OK, &info);
    ASSERT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0x10, 0x20, 0x30, 0x10, 0x21, 0}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{1, 3, 5, 2, 4, 6}));
    EXPECT_EQ(p.x_dpi, 144);
    EXPECT_STREQ(info.format_label, "Macintosh PICT 2 (DirectBits Pixmap)");
}

TEST_F(Pict, DirectPixmapOf32BitsWithAlphaAndSixteenBitPixels)
{
    // A narrow picture's rows are stored unpacked (row bytes below 8): A, R, G, B planes.
    Picture& argb = load_pict(pict2(direct_bits(1, 1, 32, 4, std::string("\x80\x01\x02\x03", 4))), LOAD_WANT_ALPHA);
    ASSERT_EQ(argb.type, PIXEL_RGBA);
    EXPECT_EQ(row_bytes(argb, 0), (Bytes{1, 2, 3, 0x80}));

    // 16-bit pixels packed in units of two bytes: 0xFE repeats the next unit 3 times.
    const std::string rows = std::string("\x03\xFE\x7C\x00", 4) + std::string("\x09\x03\x03\xE0\x00\x1F\x7F\xFF\x00\x00", 10);
    Picture& p = load_pict(pict2(direct_bits(4, 2, 16, 3, rows)));
    ASSERT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0}));
}

TEST_F(Pict, IndexedPixmapAndDeviceColourTables)
{
    auto indexed = [](int flags, const std::vector<int>& values) {
        std::string op("\x00\x98", 2);
        put_be(op, 0x8000 | 8, 2);  // row bytes 8: packed rows
        op += rect(3, 1);
        op += pixmap_fields(0, 0, 8, 1, 8);
        put_be(op, 0, 4);  // seed
        put_be(op, static_cast<uint32_t>(flags), 2);
        put_be(op, static_cast<uint32_t>(values.size() - 1), 2);
        int i = 0;
        for (int v : values) {
            put_be(op, static_cast<uint32_t>(v), 2);
            put_be(op, static_cast<uint32_t>(0x1000 * (i + 1)), 2);
            put_be(op, static_cast<uint32_t>(0x2000 * (i + 1)), 2);
            put_be(op, static_cast<uint32_t>(0x0100 * (i + 1)), 2);
            ++i;
        }
        op += rect(3, 1) + rect(3, 1);
        put_be(op, 0, 2);
        return op + std::string("\x04\x02\x00\x01\x02\x00", 6);  // an 8-bit count, then 3 literals
    };
    // Stored values put entry 0 in slot 2 and entry 2 in slot 0; a value past the count lands on the last slot.
    Picture& p = load_pict(pict2(indexed(0, {2, 1, 0})));
    ASSERT_EQ(p.type, PIXEL_COLORS);
    EXPECT_EQ(picture_to_rgba(p), (std::vector<uint8_t>{0x30, 0x60, 3, 255, 0x20, 0x40, 2, 255, 0x10, 0x20, 1, 255}));
    // The device flag ignores the stored values.
    Picture& d = load_pict(pict2(indexed(0x8000, {2, 1, 0})));
    EXPECT_EQ(picture_to_rgba(d), (std::vector<uint8_t>{0x10, 0x20, 1, 255, 0x20, 0x40, 2, 255, 0x30, 0x60, 3, 255}));
    Picture& past = load_pict(pict2(indexed(0, {9, 0, 1})));
    EXPECT_EQ(picture_to_rgba(past)[8], 0x10);  // entry 0 (value 9) went to slot 2
}

TEST_F(Pict, VersionOneBitmapAfterDrawingOpcodes)
{
    std::string f(512, '\0');
    put_be(f, 0, 2);
    f += rect(16, 2);
    f += std::string("\x11\x01", 2);
    f += std::string("\x01\x00\x0A", 3) + rect(16, 2);     // clip region of 10 bytes
    f += std::string("\x31", 1) + rect(4, 4);               // paint rectangle
    f += std::string("\x28\0\0\0\0\x03" "abc", 9);         // long text
    f += std::string("\xA1\0\x01\0\x02xy", 7);              // long comment
    f += std::string("\x90\x00\x02", 3) + rect(16, 2) + rect(16, 2) + rect(16, 2);
    put_be(f, 0, 2);                                         // transfer mode
    f += std::string("\xF0\x0F\x00\xFF", 4);                 // two unpacked rows of 2 bytes
    FileInfo info{};
    Picture& p = load_pict(f, 0, STATUS_OK, &info);
    ASSERT_EQ(p.type, PIXEL_BINARY);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0x0F, 0xF0}));  // set bits black
    EXPECT_EQ(row_bytes(p, 1), (Bytes{0xFF, 0x00}));
    EXPECT_STREQ(info.format_label, "Macintosh PICT (Bitmap)");
}

TEST_F(Pict, PicturesWithoutThePreambleAndPackedBitmapRows)
{
    // Rows of 10 bytes are packed, with 8-bit counts; the region variant skips its mask region.
    std::string op("\x00\x99", 2);
    put_be(op, 10, 2);
    op += rect(80, 1) + rect(80, 1) + rect(80, 1);
    put_be(op, 0, 2);
    op += std::string("\x00\x0A", 2) + rect(80, 1);  // mask region
    op += std::string("\x05\xF8\x00\x80\x00\xFF", 6);  // 9 zero bytes, a no-op, one literal
    Picture& p = load_pict(pict2(op, false, 80, 1));
    ASSERT_EQ(p.width, 80);
    EXPECT_EQ(row_bytes(p, 0)[0], 0xFF);  // clear bits are white
    EXPECT_EQ(row_bytes(p, 0)[9], 0x00);
}

TEST_F(Pict, QuickTimeJpegGoesToTheJpegReader)
{
    Picture& src = make(PIXEL_RGB, 16, 8);
    fill_pattern(src, 256);
    SaveParams sp = save_params("jpeg");
    TempFile jpeg(".jpg");
    ASSERT_EQ(save_picture(jpeg.path(), &src, &sp), STATUS_OK);
    const std::string data = read_file(jpeg.path());
    std::string op("\x82\x00", 2);
    std::string body;
    put_be(body, 0, 2);
    body += std::string(36, '\0');  // matrix
    put_be(body, 0, 4);             // no matte
    body += std::string(8 + 2 + 8 + 4, '\0');
    put_be(body, 0, 4);  // no mask
    put_be(body, 86, 4);
    body += "jpeg" + std::string(78, '\0');
    body += data;
    put_be(op, static_cast<uint32_t>(body.size()), 4);
    FileInfo info{};
    Picture& p = load_pict(pict2(op + body), 0, STATUS_OK, &info);
    EXPECT_EQ(p.width, 16);
    EXPECT_EQ(p.height, 8);
    EXPECT_EQ(std::string(info.format_label).rfind("Macintosh PICT 2", 0), 0u) << info.format_label;
}

TEST_F(Pict, RefusalsAndHostileLengths)
{
    FileInfo info{};
    load_pict(pict2(std::string("\x00\x31", 2) + rect(4, 4)), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "APPLE pict : Bad picture's format !");
    load_pict(std::string(600, 'x'), 0, STATUS_UNKNOWN_FORMAT);
    // An opcode whose data runs past the end of the file.
    std::string huge("\x00\xA5\xFF\xFF", 4);
    load_pict(pict2(huge).substr(0, 512 + 40 + 4), 0, STATUS_UNKNOWN_FORMAT);
    std::string big("\x81\x00", 2);
    put_be(big, 0x7FFFFFFF, 4);
    load_pict(pict2(big), 0, STATUS_UNKNOWN_FORMAT);

    std::string bad_type("\x00\x98", 2);
    put_be(bad_type, 0x8000 | 8, 2);
    bad_type += rect(3, 1) + pixmap_fields(0, 16, 8, 1, 8);
    load_pict(pict2(bad_type + std::string(40, '\0')), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "APPLE pict : Bad pixel type !");
    std::string bad_count("\x00\x98", 2);
    put_be(bad_count, 0x8000 | 8, 2);
    bad_count += rect(3, 1) + pixmap_fields(0, 0, 8, 3, 8);
    load_pict(pict2(bad_count + std::string(40, '\0')), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "APPLE pict : Bad cmpCount != 1 !");
    std::string bad_size("\x00\x98", 2);
    put_be(bad_size, 0x8000 | 8, 2);
    bad_size += rect(3, 1) + pixmap_fields(0, 0, 8, 1, 4);
    load_pict(pict2(bad_size + std::string(40, '\0')), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "APPLE pict : Bad pixel size !");
    load_pict(pict2(direct_bits(16000, 1, 16, 3, "")), 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "APPLE pict : Bad picture's size !");

    // A packed length beyond the row's room, and rows that stop early.
    load_pict(pict2(direct_bits(200, 1, 32, 3, std::string("\xFF\xFF", 2))), 0, STATUS_INCOMPLETE);
    const std::string cut = pict2(direct_bits(2, 2, 32, 3, std::string("\x07\xFF\x10\x01\x20\x21\x00\x30", 8)));
    load_pict(cut.substr(0, cut.size() - 2), 0, STATUS_INCOMPLETE);
}

TEST(PictSignature, NeedsAVersionOpcodeWhereOneCanBe)
{
    std::string with(512, '\0'), without;
    for (std::string* f : {&with, &without}) *f += std::string(10, '\0') + std::string("\x00\x11\x02\xFF", 4);
    EXPECT_TRUE(pict_signature(reinterpret_cast<const uint8_t*>(with.data()), with.size()));
    EXPECT_TRUE(pict_signature(reinterpret_cast<const uint8_t*>(without.data()), without.size()));
    const std::string neither(600, 'x');
    EXPECT_FALSE(pict_signature(reinterpret_cast<const uint8_t*>(neither.data()), neither.size()));
    EXPECT_TRUE(pict_signature(reinterpret_cast<const uint8_t*>(neither.data()), 100));  // the preamble may hide it
    EXPECT_FALSE(pict_signature(reinterpret_cast<const uint8_t*>(neither.data()), 40));   // a whole file, without
    EXPECT_FALSE(pict_signature(reinterpret_cast<const uint8_t*>(without.data()), 11));
}

}  // namespace
