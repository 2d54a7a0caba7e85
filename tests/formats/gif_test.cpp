// The GIF codec: interlaced row order, image choice in multi-image files, transparency and
// comments, damaged data, refused headers, and round trips through the writer.
#include <memory>

#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/common/lzw.h"
#include "formats/gif/gif_codec.h"

namespace {

bool append_sink(void* data, const uint8_t* bytes, size_t size)
{
    static_cast<std::string*>(data)->append(reinterpret_cast<const char*>(bytes), size);
    return true;
}

std::string lzw_codes(const Bytes& pixels, int root)
{
    auto e = std::make_unique<LzwEncoder>();
    std::string out;
    lzw_encoder_init(e.get(), LZW_GIF(root), append_sink, &out);
    lzw_encode(e.get(), pixels.data(), pixels.size());
    lzw_encode_finish(e.get());
    return out;
}

std::string sub_blocks(const std::string& data)
{
    std::string out;
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        out += static_cast<char>(n);
        out += data.substr(at, n);
    }
    return out + '\0';
}

std::string colour_table(int entries, int seed)
{
    std::string t;
    for (int i = 0; i < 3 * entries; ++i) t += static_cast<char>((i * 29 + seed * 71) % 256);
    return t;
}

struct GifImage {
    int width = 4;
    int height = 3;
    Bytes pixels;  // stored order (interlaced files: in their passes)
    int root = 2;
    bool interlaced = false;
    std::string local_table;  // with its size bits in `local_bits`
    int local_bits = 0;
    std::string before;  // extensions written before the descriptor
    std::string codes;   // replaces the coded pixels when set (sub-blocks included)
};

std::string image_block(const GifImage& im)
{
    std::string b = im.before + ",";
    put_le(b, 0, 2);
    put_le(b, 0, 2);
    put_le(b, static_cast<uint32_t>(im.width), 2);
    put_le(b, static_cast<uint32_t>(im.height), 2);
    b += static_cast<char>((im.local_bits ? 0x80 | (im.local_bits - 1) : 0) | (im.interlaced ? 0x40 : 0));
    b += im.local_table;
    b += static_cast<char>(im.root);
    b += im.codes.empty() ? sub_blocks(lzw_codes(im.pixels, im.root)) : im.codes;
    return b;
}

std::string gif_file(const std::vector<GifImage>& images, int global_bits = 2, const char* version = "GIF89a")
{
    std::string f = version;
    put_le(f, 4, 2);
    put_le(f, 3, 2);
    f += static_cast<char>(global_bits ? 0x80 | (global_bits - 1) : 0);
    f += '\0';
    f += '\0';
    if (global_bits) f += colour_table(1 << global_bits, 1);
    for (const GifImage& im : images) f += image_block(im);
    return f + ';';
}

std::string graphic_control(int transparent)
{
    return std::string("\x21\xF9\x04", 3) + static_cast<char>(transparent >= 0 ? 1 : 0) + std::string(2, '\0') +
           static_cast<char>(transparent >= 0 ? transparent : 0) + '\0';
}

std::string comment_block(const std::string& text) { return std::string("\x21\xFE", 2) + sub_blocks(text); }

Bytes pattern(int n, int alphabet)
{
    Bytes px(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) px[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + i / 5) % alphabet);
    return px;
}

class Gif : public CodecTest {
protected:
    Picture& load_gif(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK, int image = 0,
                      FileInfo* info = nullptr)
    {
        LoadParams p = params("gif", flags);
        p.image_index = image;
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".gif", &pic, p, info), expect);
        return keep(pic);
    }
    std::string save_gif(const Picture& in, bool interlace = false, bool gif87a = false, Status expect = STATUS_OK)
    {
        SaveParams sp = save_params("gif");
        gif_set_save_options(&sp, interlace, gif87a);
        TempFile out(".gif");
        EXPECT_EQ(save_picture(out.path(), &in, &sp), expect);
        return read_file(out.path());
    }
};

TEST(GifInterlace, RowsFollowTheFourPasses)
{
    for (int h = 1; h <= 70; ++h) {
        std::vector<int> expected;
        for (int start : {0, 4, 2, 1})
            for (int y = start; y < h; y += start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2) expected.push_back(y);
        std::vector<int> got;
        for (int n = 0; n < h; ++n) got.push_back(gif_interlaced_row(n, h));
        EXPECT_EQ(got, expected) << "height " << h;
    }
    std::vector<int> ten;
    for (int n = 0; n < 10; ++n) ten.push_back(gif_interlaced_row(n, 10));
    EXPECT_EQ(ten, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
}

TEST(GifSignature, OnlyTheTwoVersions)
{
    EXPECT_TRUE(gif_signature(reinterpret_cast<const uint8_t*>("GIF89a"), 6));
    EXPECT_TRUE(gif_signature(reinterpret_cast<const uint8_t*>("GIF87a"), 6));
    EXPECT_FALSE(gif_signature(reinterpret_cast<const uint8_t*>("GIF89"), 5));
    EXPECT_FALSE(gif_signature(reinterpret_cast<const uint8_t*>("GIF88a"), 6));
    EXPECT_FALSE(gif_signature(reinterpret_cast<const uint8_t*>("\x89PNG"), 4));
}

TEST_F(Gif, InterlacedImagesLandInTheirRows)
{
    GifImage im;
    im.width = 2;
    im.height = 10;
    im.interlaced = true;
    for (int n = 0; n < 10; ++n) {
        const int row = gif_interlaced_row(n, 10);
        im.pixels.push_back(static_cast<uint8_t>(row % 4));
        im.pixels.push_back(static_cast<uint8_t>(row / 4));
    }
    FileInfo info{};
    Picture& p = load_gif(gif_file({im}), 0, STATUS_OK, 0, &info);
    for (int y = 0; y < 10; ++y) EXPECT_EQ(row_bytes(p, y), (Bytes{static_cast<uint8_t>(y % 4), static_cast<uint8_t>(y / 4)}));
    EXPECT_STREQ(info.format_label, "Compuserve GIF (Version 89a - Interlaced)");
    EXPECT_EQ(info.compression, COMPRESSION_LZW);
    file_info_free_texts(&info);
}

TEST_F(Gif, TheRequestedImageOfSeveralWithItsOwnTableAndTransparency)
{
    GifImage first, second, third;
    first.pixels = Bytes(12, 1);
    first.before = graphic_control(2);
    second.pixels = pattern(12, 4);
    second.local_bits = 2;
    second.local_table = colour_table(4, 9);
    third.pixels = Bytes(12, 3);
    const std::string file = gif_file({first, second, third});

    Picture& p = load_gif(file, 0, STATUS_OK, 1);
    const Bytes second_pixels = pattern(12, 4);
    EXPECT_EQ(row_bytes(p, 1), Bytes(second_pixels.begin() + 4, second_pixels.begin() + 8));
    EXPECT_EQ(p.colour_map[1], static_cast<uint8_t>((3 * 29 + 9 * 71) % 256));  // the local table
    EXPECT_EQ(p.transparent_index, 65535);  // the first image's transparency is not this one's
    Picture& q = load_gif(file, 0, STATUS_OK, 2);
    EXPECT_EQ(q.colour_map[1], static_cast<uint8_t>((3 * 29 + 71) % 256));  // the global table again
    Picture& r = load_gif(file, 0, STATUS_OK, 0);
    EXPECT_EQ(r.transparent_index, 2);
    EXPECT_EQ(picture_to_rgba(r)[3], 255);
    load_gif(file, 0, STATUS_UNKNOWN_FORMAT, 3);
    // A thumbnail load stops after the first image.
    load_gif(file, LOAD_PREVIEW, STATUS_UNKNOWN_FORMAT, 1);
}

TEST_F(Gif, CommentsAreKeptUnlessTheyAreADrawingProgramsRecords)
{
    GifImage im;
    im.pixels = Bytes(12, 0);
    im.before = comment_block(std::string(300, 'x') + "end");
    Picture& p = load_gif(gif_file({im}), LOAD_KEEP_COMMENT);
    ASSERT_NE(p.comment, nullptr);
    EXPECT_EQ(std::string(p.comment), std::string(300, 'x') + "end");
    im.before = comment_block("first") + comment_block("nCC private");
    Picture& q = load_gif(gif_file({im}), LOAD_KEEP_COMMENT);
    ASSERT_NE(q.comment, nullptr);
    EXPECT_STREQ(q.comment, "first");
    EXPECT_EQ(load_gif(gif_file({im})).comment, nullptr);
}

TEST_F(Gif, DamagedDataKeepsTheRowsDecoded)
{
    GifImage im;
    im.width = 40;
    im.height = 20;
    im.pixels = pattern(800, 4);
    const std::string whole = gif_file({im});
    // Cut in the middle of the codes: incomplete, the rows so far kept as a thumbnail.
    const std::string cut = whole.substr(0, whole.size() / 2);
    load_gif(cut, 0, STATUS_INCOMPLETE);
    Picture& partial = load_gif(cut, LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(partial, 0), Bytes(im.pixels.begin(), im.pixels.begin() + 40));
    EXPECT_EQ(row_bytes(partial, 19), Bytes(40, 0));

    // An End code after two rows: the picture stands as its coder left it.
    im.codes = sub_blocks(lzw_codes(Bytes(im.pixels.begin(), im.pixels.begin() + 80), 2));
    Picture& ended = load_gif(gif_file({im}));
    EXPECT_EQ(row_bytes(ended, 1), Bytes(im.pixels.begin() + 40, im.pixels.begin() + 80));
    EXPECT_EQ(row_bytes(ended, 2), Bytes(40, 0));

    // A code beyond the table: corrupt.
    im.codes = sub_blocks(std::string("\x3C\x00", 2));
    load_gif(gif_file({im}), 0, STATUS_CORRUPT);
}

// A few bytes declaring a large two-colour image that ends after a row: its colours are applied
// without touching the rows never delivered (which made such a file take seconds).
TEST_F(Gif, LargeDeclaredTwoColourImageWithOneRow)
{
    GifImage im;
    im.width = 20000;
    im.height = 20000;
    im.root = 2;
    Bytes first(20000, 0);
    for (size_t i = 0; i < first.size(); i += 3) first[i] = 1;
    im.codes = sub_blocks(lzw_codes(first, 2));
    im.local_bits = 1;
    im.local_table = std::string("\xFF\x00\x00\x00\x00\xFF", 6);  // red and blue
    Picture& p = load_gif(gif_file({im}, 0));
    ASSERT_EQ(p.type, PIXEL_COLORS);
    EXPECT_EQ(row_bytes(p, 0), first);
    EXPECT_EQ(row_bytes(p, 1), Bytes(20000, 0));
    EXPECT_EQ(row_bytes(p, 19999), Bytes(20000, 0));
    EXPECT_EQ(p.colour_map[1], 0);    // blue: no red
    EXPECT_EQ(p.colour_map[513], 255);
}

TEST_F(Gif, RefusedHeaders)
{
    FileInfo info{};
    GifImage im;
    im.pixels = Bytes(12, 0);
    im.width = 0;
    load_gif(gif_file({im}), 0, STATUS_BAD_HEADER, 0, &info);
    EXPECT_STREQ(info.message, "GIF : Bad picture's size !");
    im.width = 4;
    for (int root : {1, 10}) {
        im.root = root;
        im.codes = sub_blocks("\x01");
        load_gif(gif_file({im}), 0, STATUS_BAD_HEADER, 0, &info);
        EXPECT_STREQ(info.message, "GIF : Bad code's size !");
    }
    im.root = 2;
    im.codes.clear();
    lzw_set_enabled(false);
    load_gif(gif_file({im}), 0, STATUS_BAD_HEADER, 0, &info);
    EXPECT_STREQ(info.message, "GIF : Bad compression (LZW) !");
    Picture& pic = make(PIXEL_COLORS, 3, 3);
    save_gif(pic, false, false, STATUS_TYPE_UNSUPPORTED);
    lzw_set_enabled(true);
    load_gif("GIF88a" + gif_file({im}).substr(6), 0, STATUS_UNKNOWN_FORMAT);
    save_gif(make(PIXEL_RGB, 3, 3), false, false, STATUS_TYPE_UNSUPPORTED);
}

TEST_F(Gif, TwoBlackEntriesMakeTheSecondWhite)
{
    GifImage im;
    im.pixels = pattern(12, 2);
    std::string f = gif_file({im}, 1);
    std::fill(f.begin() + 13, f.begin() + 19, '\0');
    Picture& p = load_gif(f, LOAD_WANT_COLOUR);
    EXPECT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0)[3], 255);  // pixel 1 is index 1
}

TEST_F(Gif, RoundTripsOfEveryAcceptedType)
{
    struct Case { uint32_t type; int colours; int bits; } cases[] = {
        {PIXEL_BINARY, 2, 1}, {PIXEL_COLORS, 2, 1}, {PIXEL_COLORS, 5, 3}, {PIXEL_COLORS, 16, 4},
        {PIXEL_COLORS, 100, 7}, {PIXEL_COLORS, 256, 8}, {PIXEL_GREY, 256, 8}, {PIXEL_GREY, 16, 4},
    };
    for (const Case& c : cases) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " colours " << c.colours << " interlace " << interlace);
            Picture& pic = make(c.type, 37, 23);
            fill_pattern(pic, c.type == PIXEL_BINARY ? 2 : c.colours);
            if (c.type != PIXEL_BINARY) pic.colour_used = static_cast<int16_t>(c.colours);
            if (c.type == PIXEL_COLORS)
                for (int i = 0; i < 768; ++i) pic.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
            const std::string file = save_gif(pic, interlace);
            ASSERT_GT(file.size(), 13u);
            EXPECT_EQ(static_cast<uint8_t>(file[10]), 0x80 | (c.bits - 1));
            const size_t descriptor = 13 + (size_t{3} << c.bits);
            ASSERT_EQ(file[descriptor], ',');
            EXPECT_EQ(static_cast<uint8_t>(file[descriptor + 9]), (interlace ? 0x40 : 0) | (c.bits - 1));
            EXPECT_EQ(file[descriptor + 10], std::max(c.bits, 2));
            EXPECT_EQ(file.back(), ';');
            Picture& back = load_gif(file);
            EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
        }
    }
}

TEST_F(Gif, WriterOptionsTransparencyAndComment)
{
    Picture& pic = make(PIXEL_COLORS, 5, 4);
    fill_pattern(pic, 4);
    pic.colour_used = 4;
    pic.transparent_index = 3;
    pic.comment = strdup("hello");
    const std::string file = save_gif(pic, false, true);
    EXPECT_EQ(file.substr(0, 6), "GIF87a");
    EXPECT_EQ(file.substr(13 + 12, 8), std::string("\x21\xF9\x04\x01\x00\x00\x03\x00", 8));
    EXPECT_EQ(file.substr(13 + 20, 10), std::string("\x21\xFE\x06hello\0\0", 10));
    Picture& back = load_gif(file, LOAD_KEEP_COMMENT);
    EXPECT_EQ(back.transparent_index, 3);
    EXPECT_STREQ(back.comment, "hello");
    EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));

    std::free(pic.comment);
    pic.comment = strdup(std::string(255, 'c').c_str());
    pic.transparent_index = 65535;
    EXPECT_EQ(save_gif(pic)[13 + 12], ',');  // neither block
}

}  // namespace
