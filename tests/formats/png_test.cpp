// The PNG codec through the pipelines: colour types and their transformations, chunks, the
// writer's choices, and damaged files. The corpus test covers the PngSuite files.
#include <zlib.h>

#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/png/png_codec.h"

namespace {

void put_be(std::string& s, uint32_t v)
{
    for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string chunk(const char* type, const std::string& data)
{
    std::string c;
    put_be(c, static_cast<uint32_t>(data.size()));
    const std::string body = type + data;
    c += body;
    put_be(c, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
    return c;
}

// A non-interlaced PNG of unfiltered rows, with `extra` chunks before the image data.
std::string png_file(int w, int h, int depth, int colour_type, const std::vector<Bytes>& rows,
                     const std::string& extra = "")
{
    std::string ihdr;
    put_be(ihdr, static_cast<uint32_t>(w));
    put_be(ihdr, static_cast<uint32_t>(h));
    ihdr += {static_cast<char>(depth), static_cast<char>(colour_type), 0, 0, 0};
    std::string raw;
    for (const Bytes& r : rows) {
        raw += '\0';
        raw.append(r.begin(), r.end());
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
             static_cast<uLong>(raw.size()));
    packed.resize(size);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + extra + chunk("IDAT", packed) + chunk("IEND", "");
}

std::string text_chunk(const std::string& key, const std::string& text) { return chunk("tEXt", key + '\0' + text); }

std::string phys_chunk(uint32_t x, uint32_t y, int unit)
{
    std::string d;
    put_be(d, x);
    put_be(d, y);
    d += static_cast<char>(unit);
    return chunk("pHYs", d);
}

class Png : public CodecTest {
protected:
    Picture& load_png(const std::string& bytes, uint32_t flags = 0, FileInfo* info = nullptr,
                      void (*adjust)(LoadParams&) = nullptr)
    {
        LoadParams p = params("png", flags);
        if (adjust) adjust(p);
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".png", &pic, p, info), STATUS_OK);
        return keep(pic);
    }
    // Saves and loads back; the bytes written are returned through `file`.
    Picture& round_trip(const Picture& in, SaveParams sp, std::string* file = nullptr, uint32_t flags = 0)
    {
        TempFile out(".png");
        EXPECT_EQ(save_picture(out.path(), &in, &sp), STATUS_OK);
        if (file) *file = read_file(out.path());
        Picture back{};
        EXPECT_EQ(load(out.path(), &back, params("png", flags)), STATUS_OK);
        return keep(back);
    }
};

// IHDR's depth and colour type, and the palette's entry count, of a written file.
struct WrittenHeader {
    int depth, colour_type, palette_entries;
};
WrittenHeader written_header(const std::string& f)
{
    const size_t plte = f.find("PLTE");
    const int entries = plte == std::string::npos ? 0
                                                  : (static_cast<uint8_t>(f[plte - 2]) << 8 | static_cast<uint8_t>(f[plte - 1])) / 3;
    return {static_cast<uint8_t>(f[24]), static_cast<uint8_t>(f[25]), entries};
}

TEST_F(Png, EveryWritablePixelTypeComesBackUnchanged)
{
    struct Case { uint32_t type; int colours; int depth; int colour_type; int entries; } cases[] = {
        {PIXEL_BINARY, 2, 1, 0, 0}, {PIXEL_GREY, 256, 8, 0, 0}, {PIXEL_COLORS, 16, 4, 3, 16},
        {PIXEL_COLORS, 17, 8, 3, 256}, {PIXEL_RGB, 0, 8, 2, 0}, {PIXEL_RGBA, 0, 8, 6, 0},
    };
    for (const Case& c : cases) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << c.type << " colours " << c.colours << " interlace " << interlace);
            Picture& pic = make(c.type, 19, 11);
            fill_pattern(pic, c.type == PIXEL_COLORS ? c.colours : 256);
            if (c.type == PIXEL_COLORS) {
                pic.colour_used = static_cast<int16_t>(c.colours);
                for (int i = 0; i < 256; ++i) {
                    pic.colour_map[i] = static_cast<uint8_t>(i * 5);
                    pic.colour_map[256 + i] = static_cast<uint8_t>(255 - i);
                    pic.colour_map[512 + i] = static_cast<uint8_t>(i * 11);
                }
            }
            SaveParams sp = save_params("png");
            png_set_save_options(&sp, 6, PNG_SAVE_FILTER_DEFAULT, interlace);
            std::string file;
            Picture& back = round_trip(pic, sp, &file, LOAD_WANT_ALPHA * (c.type == PIXEL_RGBA));
            const WrittenHeader h = written_header(file);
            EXPECT_EQ(h.depth, c.depth);
            EXPECT_EQ(h.colour_type, c.colour_type);
            EXPECT_EQ(h.palette_entries, c.entries);
            EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
        }
    }
}

TEST_F(Png, WriterOptionsResolutionCommentAndTransparentIndex)
{
    Picture& pic = make(PIXEL_COLORS, 8, 4);
    fill_pattern(pic, 16);
    pic.colour_used = 16;
    pic.x_dpi = pic.y_dpi = 72;
    pic.transparent_index = 3;
    pic.comment = static_cast<char*>(std::malloc(16));
    std::strcpy(pic.comment, "Tirage 10x15");
    for (uint16_t filter = PNG_SAVE_FILTER_DEFAULT; filter <= PNG_SAVE_FILTER_ALL; ++filter) {
        SaveParams sp = save_params("png");
        png_set_save_options(&sp, filter * 2, filter, filter % 2);
        std::string file;
        Picture& back = round_trip(pic, sp, &file, LOAD_KEEP_COMMENT);
        // 72 dpi is 2834.67 pixels a metre, stored truncated.
        EXPECT_NE(file.find(phys_chunk(2834, 2834, 1)), std::string::npos);
        EXPECT_NE(file.find(std::string("tRNS\xff\xff\xff\x00", 8)), std::string::npos);
        EXPECT_EQ(back.transparent_index, 3);
        EXPECT_EQ(back.x_dpi, 72);
        ASSERT_NE(back.comment, nullptr);
        EXPECT_STREQ(back.comment, "Tirage 10x15");
        EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
    }
}

TEST_F(Png, GreyOfFewLevelsIsWrittenOverTheFullRange)
{
    Picture& pic = make(PIXEL_GREY, 4, 1);
    pic.colour_used = 16;
    const uint8_t levels[] = {0, 5, 10, 15};
    std::memcpy(pic.data, levels, 4);
    Picture& back = round_trip(pic, save_params("png"));
    EXPECT_EQ(row_bytes(back, 0), (Bytes{0, 85, 170, 255}));
}

TEST_F(Png, SixteenBitAlphaIsKeptOrFlattenedOntoWhite)
{
    // One opaque red pixel and one fully transparent black one.
    const std::string f = png_file(2, 1, 16, 6, {{0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}});
    Picture& kept = load_png(f);
    EXPECT_EQ(kept.type, PIXEL_RGBA);
    EXPECT_EQ(row_bytes(kept, 0), (Bytes{255, 0, 0, 255, 0, 0, 0, 0}));
    Picture& flat = load_png(f, 0, nullptr, [](LoadParams& p) { p.flatten_alpha = 1; });
    EXPECT_EQ(flat.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(flat, 0), (Bytes{255, 0, 0, 255, 255, 255}));

    // Samples that are not multiples of 257 tell the file's rule (v x 255 / 65535, truncated, and
    // alpha from its transparency 65535 - v) from rounding or taking the high byte.
    struct Sample { uint16_t v; uint8_t level, alpha; } samples[] = {
        {25956, 100, 101},  // 100.996: the high byte would give 101
        {65534, 254, 255},  // the high byte 255
        {255, 0, 1},        // the high byte 0, rounding 1
        {2699, 10, 11},     // 10.502
    };
    std::string grey_alpha_row;
    for (const Sample& s : samples)
        for (int k = 0; k < 2; ++k) grey_alpha_row += {static_cast<char>(s.v >> 8), static_cast<char>(s.v & 0xFF)};
    const Bytes row(grey_alpha_row.begin(), grey_alpha_row.end());
    Picture& deep = load_png(png_file(4, 1, 16, 4, {row}), LOAD_WANT_ALPHA);
    ASSERT_EQ(deep.type, PIXEL_RGBA);
    for (int i = 0; i < 4; ++i) {
        const uint8_t* px = picture_line(&deep, 0) + 4 * i;
        EXPECT_EQ(px[0], samples[i].level) << samples[i].v;
        EXPECT_EQ(px[2], samples[i].level) << samples[i].v;
        EXPECT_EQ(px[3], samples[i].alpha) << samples[i].v;
    }

    Picture& native = load_png(png_file(1, 1, 16, 0, {{0x12, 0x34}}), LOAD_NATIVE);
    EXPECT_EQ(native.bits_per_component, 16);
    EXPECT_EQ(row_bytes(native, 0), (Bytes{0x34, 0x12}));
}

TEST_F(Png, TransparencyByColourType)
{
    // Palette with only clear and opaque entries: never composited, its first clear entry is
    // the transparent index.
    const std::string plte = chunk("PLTE", std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90", 9));
    const std::string palette = png_file(3, 1, 8, 3, {{0, 1, 2}}, plte + chunk("tRNS", std::string("\xff\x00\x00", 3)));
    Picture& p = load_png(palette, 0, nullptr, [](LoadParams& lp) { lp.flatten_palette_alpha = 1; });
    EXPECT_EQ(p.type, PIXEL_COLORS);
    EXPECT_EQ(p.transparent_index, 1);
    EXPECT_EQ(p.colour_map[2], 0x70);

    // Partial alphas are composited when asked: half-transparent black on white is mid grey.
    const std::string partial = png_file(1, 1, 8, 3, {{0}}, chunk("PLTE", std::string(3, '\0')) + chunk("tRNS", "\x80"));
    Picture& mixed = load_png(partial, 0, nullptr, [](LoadParams& lp) { lp.flatten_palette_alpha = 1; });
    EXPECT_NEAR(mixed.colour_map[0], 127, 1);

    // Grey with alpha and grey with a transparent level keep their transparency as alpha.
    Picture& ga = load_png(png_file(2, 1, 8, 4, {{10, 255, 20, 0}}), LOAD_WANT_ALPHA);
    EXPECT_EQ(row_bytes(ga, 0), (Bytes{10, 10, 10, 255, 20, 20, 20, 0}));
    Picture& flat = load_png(png_file(1, 1, 8, 4, {{0, 0}}), 0, nullptr, [](LoadParams& lp) { lp.flatten_alpha = 1; });
    EXPECT_EQ(flat.type, PIXEL_GREY);
    EXPECT_EQ(row_bytes(flat, 0), (Bytes{255}));
    Picture& keyed = load_png(png_file(2, 1, 4, 0, {{0x3F}}, chunk("tRNS", std::string("\x00\x0f", 2))));
    EXPECT_EQ(row_bytes(keyed, 0), (Bytes{51, 51, 51, 255, 255, 255, 255, 0}));
}

TEST_F(Png, ResolutionAndTexts)
{
    const Bytes row{1, 2};
    Picture& metres = load_png(png_file(2, 1, 8, 0, {row}, phys_chunk(2835, 5670, 1)));
    EXPECT_EQ(metres.x_dpi, 72);
    EXPECT_EQ(metres.y_dpi, 144);
    Picture& aspect = load_png(png_file(2, 1, 8, 0, {row}, phys_chunk(2835, 2835, 0)));
    EXPECT_EQ(aspect.x_dpi, 72);  // no resolution: the pipeline's default

    const std::string texts = text_chunk("Title", "Vacances") + text_chunk("COMMENT", "Souvenir") +
                              text_chunk("Software", "nCC 1.0");
    FileInfo info{};
    Picture& pic = load_png(png_file(2, 1, 8, 0, {row}, texts), LOAD_KEEP_COMMENT | LOAD_KEEP_TEXTS, &info);
    ASSERT_NE(pic.comment, nullptr);
    EXPECT_STREQ(pic.comment, "Souvenir");
    ASSERT_EQ(info.text_count, 1);
    EXPECT_STREQ(info.texts[0], "Title: Vacances");
    file_info_free_texts(&info);
    Picture& without = load_png(png_file(2, 1, 8, 0, {row}, texts));
    EXPECT_EQ(without.comment, nullptr);
}

TEST_F(Png, DamagedFiles)
{
    const std::string good = png_file(4, 64, 8, 2, std::vector<Bytes>(64, Bytes(12, 200)));
    Picture pic{};
    const std::string cut = good.substr(0, good.size() - 30);
    FileInfo info{};
    EXPECT_EQ(load_bytes(cut, ".png", &pic, params("png"), &info), STATUS_INCOMPLETE);
    EXPECT_EQ(pic.data, nullptr);
    EXPECT_STREQ(info.message, "Png : Read error");  // libpng's own words for the failure
    std::string bad_crc = good;
    bad_crc[bad_crc.find("IDAT") + 8] ^= 0x55;  // a deflated byte: zlib's check fails before the chunk's
    EXPECT_EQ(load_bytes(bad_crc, ".png", &pic, params("png"), &info), STATUS_INCOMPLETE);
    EXPECT_STREQ(info.message, "Png : IDAT: incorrect data check");
    ASSERT_EQ(load_bytes(cut, ".png", &pic, params("png", LOAD_ACCEPT_DAMAGED)), STATUS_OK);
    EXPECT_EQ(pic.width, 4);
    picture_free(&pic);
    // The end chunks are read after the picture is complete: damage there costs nothing.
    ASSERT_EQ(load_bytes(good.substr(0, good.size() - 6), ".png", &pic, params("png")), STATUS_OK);
    EXPECT_EQ(picture_line(&pic, 63)[0], 200);
    picture_free(&pic);
}

}  // namespace
