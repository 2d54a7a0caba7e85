// The XBM and XPM codecs: declarations and value tokens, bit order and polarity, XPM colour
// values and names, key lookups of every width, and round trips through both writers.
#include <filesystem>

#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/x11/x11_codecs.h"
#include "formats/x11/x11_colours.h"

namespace {

class X11 : public CodecTest {
protected:
    Picture& load_as(const std::string& bytes, const char* format, uint32_t flags = 0, Status expect = STATUS_OK)
    {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, format[1] == 'b' ? ".xbm" : ".xpm", &pic, params(format, flags)), expect);
        return keep(pic);
    }
    std::string save(const Picture& pic, const char* format, const char* name = "icon", Status expect = STATUS_OK)
    {
        SaveParams sp = save_params(format);
        // A folder of its own, so that the file keeps the name the writer builds from.
        static int counter = 0;
        const std::filesystem::path dir = std::filesystem::temp_directory_path() /
            ("lumeva_x11_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(dir);
        const std::string path = (dir / (std::string(name) + "." + format)).string();
        EXPECT_EQ(save_picture(path.c_str(), &pic, &sp), expect);
        const std::string bytes = read_file(path.c_str());
        std::filesystem::remove_all(dir);
        return bytes;
    }
};

std::string xpm(const std::string& values, const std::string& colours, const std::string& pixels)
{
    return "/* XPM */\nstatic char *t[] = {\n\"" + values + "\",\n" + colours + pixels + "};\n";
}

// The colour of pixel x of row y as R, G, B.
Bytes rgb_at(const Picture& p, int x, int y)
{
    const std::vector<uint8_t> rgba = picture_to_rgba(p);
    const size_t i = 4 * (static_cast<size_t>(y) * p.width + x);
    return Bytes(rgba.begin() + i, rgba.begin() + i + 3);
}

TEST_F(X11, XbmBytesAreLeastSignificantBitFirstAndSetBitsBlack)
{
    const std::string file = "#define t_width 10\n#define t_height 2\n#define t_x_hot 1\n\nstatic unsigned char t_bits[] = {\n"
                             "  0x01, 0x02,\n0xfe,3};\n";
    Picture& p = load_as(file, "xbm");
    ASSERT_EQ(p.type, PIXEL_BINARY);
    ASSERT_EQ(p.width, 10);
    // 0x01: the leftmost pixel black; 0x02: the tenth pixel black.
    EXPECT_EQ(row_bytes(p, 0)[0], 0x7F);
    EXPECT_EQ(row_bytes(p, 0)[1] & 0xC0, 0x80);
    EXPECT_EQ(row_bytes(p, 1)[0], 0x80);
    EXPECT_EQ(row_bytes(p, 1)[1] & 0xC0, 0x00);
}

TEST_F(X11, XbmWordsGiveTheirLowByteFirst)
{
    // 16-bit data: 20 pixels take two words a line.
    const std::string file = "#define w_width 20\n#define w_height 1\nstatic unsigned short w_bits[] = { 0x00ff, 0x000f };\n";
    Picture& p = load_as(file, "xbm");
    EXPECT_EQ(row_bytes(p, 0)[0], 0x00);
    EXPECT_EQ(row_bytes(p, 0)[1], 0xFF);
    EXPECT_EQ(row_bytes(p, 0)[2] & 0xF0, 0x00);
    Picture& s = load_as("#define w_width 8\n#define w_height 1\nstatic short w_bits[] = {0x0001};\n", "xbm");
    EXPECT_EQ(row_bytes(s, 0), (Bytes{0x7F}));
}

TEST_F(X11, XbmDataTypeIsTheDeclaredOneNotAWordOfTheArrayName)
{
    // "short" inside the name of a byte array does not make its values words.
    Picture& bytes = load_as("#define t_width 16\n#define t_height 1\nstatic char shortcut_bits[] = {0x01, 0x02};\n", "xbm");
    EXPECT_EQ(row_bytes(bytes, 0), (Bytes{0x7F, 0xBF}));
    Picture& words = load_as("#define t_width 16\n#define t_height 1\nstatic unsigned short char_bits[] = {0x0201};\n", "xbm");
    EXPECT_EQ(row_bytes(words, 0), (Bytes{0x7F, 0xBF}));
}

TEST_F(X11, XbmRefusalsAndMissingValues)
{
    load_as("#define t_width 8\n#define t_height 1\n", "xbm", 0, STATUS_UNKNOWN_FORMAT);
    load_as("#define t_width 0\n#define t_height 1\nstatic char t_bits[] = {0x00};\n", "xbm", 0, STATUS_UNKNOWN_FORMAT);
    load_as("#define t_width 16000\n#define t_height 1\nstatic char t_bits[] = {0x00};\n", "xbm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(std::string("#define t_width 8\n\x01\x02\x03", 21), "xbm", 0, STATUS_UNKNOWN_FORMAT);
    load_as("#define t_width 8\n#define t_height 3\nstatic char t_bits[] = {0x00, 0x01};\n", "xbm", 0, STATUS_INCOMPLETE);
    // The lines read keep their polarity although the file ends early.
    Picture& partial = load_as("#define t_width 8\n#define t_height 3\nstatic char t_bits[] = {0x00, 0x01};\n", "xbm",
                               LOAD_ACCEPT_DAMAGED | LOAD_BILEVEL_AS_GREY);
    ASSERT_EQ(partial.height, 3);
    EXPECT_EQ(row_bytes(partial, 0), (Bytes(8, 255)));
    EXPECT_EQ(row_bytes(partial, 1), (Bytes{0, 255, 255, 255, 255, 255, 255, 255}));
}

TEST_F(X11, XbmValuesWithoutPrefixAndOnOneLine)
{
    Picture& p = load_as("/* made by hand */\n#define a_width 16\n#define a_height 2\nstatic const unsigned char a_bits[] =\n  { ff,0X0,\n 0x1 ,80 };", "xbm");
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{0x7F, 0xFE}));
}

TEST_F(X11, XbmWriterTextAndRoundTrip)
{
    Picture& p = make(PIXEL_BINARY, 10, 1);
    picture_line(&p, 0)[0] = 0x7F;  // the leftmost pixel black
    picture_line(&p, 0)[1] = 0xC0;
    EXPECT_EQ(save(p, "xbm"), "#define x_width 10\n#define x_height 1\nstatic char x_bits[] = {\n0x01, 0x00, \n}; \n");

    Picture& big = make(PIXEL_BINARY, 37, 9);
    fill_pattern(big, 2);
    Picture& back = load_as(save(big, "xbm"), "xbm");
    EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(big));
    save(make(PIXEL_GREY, 2, 2), "xbm", "g", STATUS_TYPE_UNSUPPORTED);
}

TEST_F(X11, XpmColourValuesAndNames)
{
    const std::string colours = "\"a c #FFFF00000000\",\n\"b c Alice Blue\",\n\"c c none\",\n\"d c #102030\",\n"
                                "\"e s thing m white c #123\",\n\"f c #0a0b0cff\",\n\"g c nosuchcolour\",\n"
                                "\"h g grey50\",\n";
    Picture& p = load_as(xpm("8 1 8 1", colours, "\"abcdefgh\"\n"), "xpm");
    ASSERT_EQ(p.type, PIXEL_COLORS);
    EXPECT_EQ(rgb_at(p, 0, 0), (Bytes{255, 0, 0}));
    EXPECT_EQ(rgb_at(p, 1, 0), (Bytes{240, 248, 255}));
    EXPECT_EQ(rgb_at(p, 2, 0), (Bytes{255, 255, 255}));
    EXPECT_EQ(p.transparent_index, 2);  // None is the transparent colour
    EXPECT_EQ(rgb_at(p, 3, 0), (Bytes{0x10, 0x20, 0x30}));
    EXPECT_EQ(rgb_at(p, 4, 0), (Bytes{0x11, 0x22, 0x33}));
    EXPECT_EQ(rgb_at(p, 5, 0), (Bytes{0x0a, 0x0b, 0x0c}));
    EXPECT_EQ(rgb_at(p, 6, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(rgb_at(p, 7, 0), (Bytes{127, 127, 127}));
}

TEST_F(X11, XpmKeysOfOneToFourCharacters)
{
    // Two-character keys with high bytes stay inside the lookup table.
    Picture& two = load_as(xpm("3 1 2 2", "\"\xff\xfe c #010203\",\n\"ab c #040506\",\n", "\"ab\xff\xfezz\"\n"), "xpm");
    EXPECT_EQ(rgb_at(two, 0, 0), (Bytes{4, 5, 6}));
    EXPECT_EQ(rgb_at(two, 1, 0), (Bytes{1, 2, 3}));
    EXPECT_EQ(rgb_at(two, 2, 0), (Bytes{1, 2, 3}));  // an unknown key takes the first entry
    Picture& four = load_as(xpm("2 1 2 4", "\"abcd c red\",\n\"abce c blue\",\n", "\"abceabcd\"\n"), "xpm");
    EXPECT_EQ(rgb_at(four, 0, 0), (Bytes{0, 0, 255}));
    EXPECT_EQ(rgb_at(four, 1, 0), (Bytes{255, 0, 0}));
}

TEST_F(X11, XpmWithMoreThan256ColoursLoadsAsTrueColour)
{
    std::string colours;
    for (int i = 0; i < 300; ++i) {
        char entry[40];
        std::snprintf(entry, sizeof entry, "\"%c%c c #%02x%02x%02x\",\n", 'A' + i / 26, 'a' + i % 26, i & 255, i >> 8, 7);
        colours += entry;
    }
    Picture& p = load_as(xpm("2 1 300 2", colours, "\"LnAa\"\n"), "xpm");
    ASSERT_EQ(p.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{299 & 255, 1, 7, 0, 0, 7}));
}

TEST_F(X11, XpmRefusalsAndTruncation)
{
    load_as("/* XPN */\n", "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("0 1 1 1", "\"a c red\",\n", "\"a\"\n"), "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("32001 1 1 1", "\"a c red\",\n", "\"a\"\n"), "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("1 1 1 5", "\"aaaaa c red\",\n", "\"aaaaa\"\n"), "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("1 1 1 0", "\"a c red\",\n", "\"a\"\n"), "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("1 1 2000000 1", "\"a c red\",\n", "\"a\"\n"), "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("1 1 3 1", "\"a c red\",\n", ""), "xpm", 0, STATUS_UNKNOWN_FORMAT);
    load_as(xpm("2 2 1 1", "\"a c red\",\n", "\"aa\",\n"), "xpm", 0, STATUS_INCOMPLETE);
    load_as("/* XPM */\n\"2 1 1 1\",\n\"a c red\",\n\"a", "xpm", 0, STATUS_INCOMPLETE);
}

TEST_F(X11, XpmWriterTextNameAndTwoCharacterKeys)
{
    Picture& p = make(PIXEL_COLORS, 2, 2);
    p.colour_used = 2;
    p.colour_map[0] = 0x12;
    p.colour_map[1] = 0xFF;
    p.transparent_index = 1;
    picture_line(&p, 0)[1] = 1;
    picture_line(&p, 1)[0] = 1;
    EXPECT_EQ(save(p, "xpm", "my.icon"),
              "/* XPM */\nstatic char *my.icon_xpm[] = {\n/* width height num_colors chars_per_pixel */\n"
              "\"     2     2        2            1\",\n/* colors */\n\"` c #120000\",\n\". c None\",\n"
              "/* pixels */\n\"`.\",\n\".`\"\n};\n");

    Picture& many = make(PIXEL_COLORS, 70, 1);
    many.colour_used = 70;
    for (int x = 0; x < 70; ++x) picture_line(&many, 0)[x] = static_cast<uint8_t>(x);
    const std::string file = save(many, "xpm");
    EXPECT_NE(file.find("\"    70     1       70            2\""), std::string::npos);
    EXPECT_NE(file.find("\".` c #000000\""), std::string::npos);  // colour 64
    save(make(PIXEL_RGB, 2, 2), "xpm", "rgb", STATUS_TYPE_UNSUPPORTED);
}

TEST_F(X11, XpmRoundTripsOfEveryAcceptedType)
{
    for (int colours : {2, 16, 63, 64, 200, 256}) {
        SCOPED_TRACE(colours);
        Picture& p = make(PIXEL_COLORS, 37, 5);
        p.colour_used = static_cast<int16_t>(colours);
        fill_pattern(p, colours);
        for (int i = 0; i < 768; ++i) p.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
        Picture& back = load_as(save(p, "xpm"), "xpm");
        EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(p));
    }
    Picture& grey = make(PIXEL_GREY, 37, 5);
    fill_pattern(grey, 256);
    EXPECT_EQ(picture_rgba_sha256(load_as(save(grey, "xpm"), "xpm")), picture_rgba_sha256(grey));
    Picture& bits = make(PIXEL_BINARY, 37, 5);
    fill_pattern(bits, 2);
    EXPECT_EQ(picture_rgba_sha256(load_as(save(bits, "xpm"), "xpm")), picture_rgba_sha256(bits));
}

TEST(X11Colours, TableIsSortedAndKnowsBothSpellings)
{
    int count = 0;
    const X11Colour* t = x11_colour_table(&count);
    ASSERT_GT(count, 700);
    EXPECT_STREQ(t[0].name, "None");
    for (int i = 2; i < count; ++i) EXPECT_LT(std::strcmp(t[i - 1].name, t[i].name), 0) << t[i].name;
    EXPECT_STREQ(t[count - 1].name, "yellowgreen");
    ASSERT_NE(x11_colour_find("aliceblue"), nullptr);
    EXPECT_EQ(x11_colour_find("alice blue")->green, 248);
    EXPECT_EQ(x11_colour_find("antiquewhite4")->red, 139);
    EXPECT_EQ(x11_colour_find("none"), t);
    EXPECT_EQ(x11_colour_find("mauve"), nullptr);
}

TEST(X11Signatures, RefuseOnlyWhatCannotBeThem)
{
    const std::string x = "/* XPM */", b = "#define a_width 8\n#define a_height 1\nstatic char a_bits[] = {0};", bin = std::string("\x89PNG\r\n\x1a\n", 8);
    EXPECT_TRUE(xpm_signature(reinterpret_cast<const uint8_t*>(x.data()), x.size()));
    EXPECT_FALSE(xpm_signature(reinterpret_cast<const uint8_t*>(b.data()), b.size()));
    EXPECT_TRUE(xbm_signature(reinterpret_cast<const uint8_t*>(b.data()), b.size()));
    EXPECT_FALSE(xbm_signature(reinterpret_cast<const uint8_t*>(bin.data()), bin.size()));
    EXPECT_FALSE(xbm_signature(reinterpret_cast<const uint8_t*>(b.data()), 20));  // too short to hold a bitmap
}

}  // namespace
