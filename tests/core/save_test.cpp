// The saving pipeline through a writer of the tests' own, installed in a registry row.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/line_convert.h"
#include "core/save.h"
#include "support/files.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct WriterScript {
    SaveHeader header{};
    std::vector<Bytes> lines;
    int fail_after = -1;  // lines written before failing
    int line_bytes = 0;
    uint32_t seen_type = 0;
};
WriterScript script;

Status script_writer(const char* file_name, SaveContext* ctx)
{
    script.seen_type = ctx->type;
    Stream* out = stream_open(file_name, STREAM_WRITE);
    if (!out) return STATUS_CREATE_FAILED;
    SaveHeader h = script.header;
    Status s = save_begin(ctx, &h);
    if (s != STATUS_OK) {
        stream_close(out);
        return s;
    }
    script.line_bytes = ctx->line_bytes;
    script.lines.clear();
    for (int y = 0; y < ctx->height; ++y) {
        if (y == script.fail_after) {
            save_end(ctx);
            stream_close(out);
            return STATUS_WRITE_FAILED;
        }
        save_get_lines(ctx, -1, 1);
        script.lines.emplace_back(h.line_buffer, h.line_buffer + ctx->line_bytes);
        stream_write(out, h.line_buffer, static_cast<size_t>(ctx->line_bytes));
    }
    save_end(ctx);
    stream_close(out);
    return STATUS_OK;
}

class Saving : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_init();
        saved.assign(format_rows(), format_rows() + format_count());
        format_rows()[0].writer = script_writer;  // the JPEG row, with its own writable types
        format_rows()[21].writer = script_writer; // the PDF row: no list, accepts everything
        script = WriterScript{};
        save_header_init(&script.header);
        save_params_init(&params);
        params.format_index = 21;
    }
    void TearDown() override
    {
        std::copy(saved.begin(), saved.end(), format_rows());
        library_exit();
        for (Picture& p : pictures) picture_free(&p);
    }
    Picture& make(uint32_t type, int w, int h, std::initializer_list<uint8_t> bytes)
    {
        pictures.emplace_back();
        Picture& p = pictures.back();
        picture_alloc(&p, type, 1, w, h);
        std::copy(bytes.begin(), bytes.end(), p.data);
        return p;
    }
    void want(int planes, int bits, uint32_t flags = 0, uint16_t orientation = 0)
    {
        script.header.planes = static_cast<int16_t>(planes);
        script.header.bits_per_plane = static_cast<int16_t>(bits);
        script.header.layout_flags = flags;
        script.header.orientation = orientation;
    }

    std::vector<FormatEntry> saved;
    std::deque<Picture> pictures;  // references handed out stay valid
    SaveParams params{};
};

TEST_F(Saving, WritableTypesDecideWhatAFormatTakes)
{
    TempFile out(".jpg");
    params.format_index = 0;
    want(1, 24);
    Picture& rgba = make(PIXEL_RGBA, 1, 1, {1, 2, 3, 4});
    EXPECT_EQ(save_picture(out.path(), &rgba, &params), STATUS_OK);
    EXPECT_EQ(script.seen_type, PIXEL_ANYCOLOR);
    EXPECT_EQ(script.lines[0], (Bytes{1, 2, 3}));  // alpha dropped on the way to 24 bits
    // JPEG takes colour-mapped pictures too: the writer sees their type and gets true colour.
    Picture& mapped = make(PIXEL_COLORS, 2, 1, {0, 1});
    mapped.colour_map[1] = 200;
    mapped.colour_map[512] = 7;
    EXPECT_EQ(save_picture(out.path(), &mapped, &params), STATUS_OK);
    EXPECT_EQ(script.seen_type, PIXEL_COLORS);
    EXPECT_EQ(script.lines[0], (Bytes{0, 0, 7, 200, 0, 0}));
    // A list that names only grey refuses colour.
    format_rows()[0].writable_types = [](WritableType list[FORMAT_WRITABLE_MAX]) { list[0].type = PIXEL_GREY; };
    Picture& colour = make(PIXEL_RGB, 1, 1, {1, 2, 3});
    EXPECT_EQ(save_picture(out.path(), &colour, &params), STATUS_TYPE_UNSUPPORTED);
    Picture& grey = make(PIXEL_GREY, 1, 1, {9});
    EXPECT_EQ(save_picture(out.path(), &grey, &params), STATUS_OK);
    Picture& rgba_again = make(PIXEL_RGBA, 1, 1, {1, 2, 3, 4});
    params.format_index = 55;
    EXPECT_EQ(save_picture(out.path(), &rgba_again, &params), STATUS_NO_WRITER);
    params.format_index = 8;  // a row without writer
    EXPECT_EQ(save_picture(out.path(), &rgba_again, &params), STATUS_NO_WRITER);
}

TEST_F(Saving, ExtensionsAreSetUnlessNumeric)
{
    char name[300];
    save_name_with_extension("dir.v2/photo.jpeg", "jpg", name, sizeof name);
    EXPECT_STREQ(name, "dir.v2/photo.jpg");
    save_name_with_extension("scan.001", "jpg", name, sizeof name);
    EXPECT_STREQ(name, "scan.001.jpg");
    save_name_with_extension("C:\\Photos.2024\\plage", "jpg", name, sizeof name);
    EXPECT_STREQ(name, "C:\\Photos.2024\\plage.jpg");

    TempFile target(".jpeg");
    std::string expected = target.path();
    expected.replace(expected.size() - 5, 5, ".jpg");
    params.format_index = 0;
    params.flags = SAVE_SET_EXTENSION | SAVE_RETURN_NAME;
    want(1, 24);
    Picture& rgb = make(PIXEL_RGB, 1, 1, {9, 8, 7});
    char returned[512] = {};
    ASSERT_EQ(save_picture(target.path(), &rgb, &params, returned, sizeof returned), STATUS_OK);
    EXPECT_EQ(expected, returned);
    EXPECT_EQ(read_file(expected.c_str()), std::string("\x09\x08\x07", 3));
    std::remove(expected.c_str());
}

TEST_F(Saving, AFailingWriterLeavesTheUsersFileAsItWas)
{
    TempFile photo(".jpg", "the original photo");
    want(1, 24);
    Picture& rgb = make(PIXEL_RGB, 1, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    script.fail_after = 2;
    EXPECT_EQ(save_picture(photo.path(), &rgb, &params), STATUS_WRITE_FAILED);
    EXPECT_EQ(read_file(photo.path()), "the original photo");
    const std::filesystem::path target(photo.path());
    for (const auto& entry : std::filesystem::directory_iterator(target.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(target.filename().string(), 0) == 0) {
            EXPECT_EQ(name, target.filename().string());
        }
    }
    script.fail_after = -1;
    EXPECT_EQ(save_picture(photo.path(), &rgb, &params), STATUS_OK);
    EXPECT_EQ(read_file(photo.path()), std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9));
    EXPECT_EQ(save_picture("/no/such/folder/x.jpg", &rgb, &params), STATUS_CREATE_FAILED);
}

TEST_F(Saving, LinesComeInTheWritersLayout)
{
    TempFile out(".bin");
    // A bottom-up BGR picture, written top-down as R, G, B and as B, G, R.
    Picture& bgr = make(PIXEL_BGR, 2, 2, {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10});
    bgr.origin = PICTURE_ORIGIN_BOTTOM;
    want(1, 24);
    ASSERT_EQ(save_picture(out.path(), &bgr, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(script.lines[1], (Bytes{1, 2, 3, 4, 5, 6}));
    want(1, 24, LAYOUT_REVERSED, PICTURE_ORIGIN_BOTTOM);
    ASSERT_EQ(save_picture(out.path(), &bgr, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{3, 2, 1, 6, 5, 4}));

    // Colour-mapped picture packed 4 bits a pixel, and as two bit planes.
    Picture& mapped = make(PIXEL_COLORS, 3, 1, {1, 2, 3});
    want(1, 4);
    ASSERT_EQ(save_picture(out.path(), &mapped, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{0x12, 0x30}));
    want(2, 1);
    ASSERT_EQ(save_picture(out.path(), &mapped, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{0xA0, 0x60}));

    // Bilevel: as it is, and with set bits black for writers that want it so.
    Picture& bits = make(PIXEL_BINARY, 10, 1, {0xF0, 0xC0});
    want(1, 1);
    ASSERT_EQ(save_picture(out.path(), &bits, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{0xF0, 0xC0}));
    want(1, 1, SAVE_LAYOUT_BILEVEL_SET_BLACK);
    ASSERT_EQ(save_picture(out.path(), &bits, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{0x0F, 0x00}));  // bits past the width stay clear
    want(1, 8);
    ASSERT_EQ(save_picture(out.path(), &bits, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{1, 1, 1, 1, 0, 0, 0, 0, 1, 1}));

    // CMYK written inverted, and grey expanded for a colour writer.
    Picture& cmyk = make(PIXEL_CMYK, 1, 1, {0, 10, 200, 255});
    want(1, 32, HEADER_CMYK_INVERTED);
    ASSERT_EQ(save_picture(out.path(), &cmyk, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{255, 245, 55, 0}));
    Picture& grey = make(PIXEL_GREY, 2, 1, {0, 200});
    want(1, 24);
    ASSERT_EQ(save_picture(out.path(), &grey, &params), STATUS_OK);
    EXPECT_EQ(script.lines[0], (Bytes{0, 0, 0, 200, 200, 200}));
}

TEST_F(Saving, ColourThroughAnEightBitLayoutBecomesItsLuminance)
{
    // Pure red, green and blue apart, in every channel order: a writer that takes grey lines gets
    // (77 R + 150 G + 29 B) >> 8, so red and blue exchanged or weighted alike would show.
    TempFile out(".bin");
    want(1, 8);
    const Bytes expected{76, 149, 28, 255, 0, 150};
    struct Case { uint32_t type; std::initializer_list<uint8_t> pixels; } cases[] = {
        {PIXEL_RGB, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 100, 200, 30}},
        {PIXEL_BGR, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 30, 200, 100}},
        {PIXEL_RGBA, {255, 0, 0, 9, 0, 255, 0, 9, 0, 0, 255, 9, 255, 255, 255, 9, 0, 0, 0, 9, 100, 200, 30, 9}},
        {PIXEL_ABGR, {9, 0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9, 255, 255, 255, 9, 0, 0, 0, 9, 30, 200, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Picture& pic = make(c.type, 6, 1, c.pixels);
        ASSERT_EQ(save_picture(out.path(), &pic, &params), STATUS_OK);
        ASSERT_EQ(script.lines.size(), 1u);
        EXPECT_EQ(script.lines[0], expected);
    }
}

TEST(SaveHelpers, BitsForColours)
{
    const int cases[][2] = {{2, 1}, {3, 2}, {4, 2}, {5, 3}, {16, 4}, {17, 5}, {64, 6}, {65, 7}, {128, 7}, {129, 8}, {256, 8}};
    for (const auto& c : cases) EXPECT_EQ(bits_for_colours(c[0]), c[1]) << c[0];
    SaveParams p;
    save_params_init(&p);
    EXPECT_EQ(p.quality, 100);
    EXPECT_EQ(p.write_exif, 1);
    EXPECT_EQ(p.dct_method, 65535);
}

}  // namespace
