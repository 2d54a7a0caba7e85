// Our GIF, PCX and Targa files as another program sees them: ImageMagick's identify must read
// every kind the writers make, at the right size, without a warning. Skipped without identify.
#include <cstdio>
#include <cstdlib>

#include "formats/codec_files.h"
#include "formats/gif/gif_codec.h"
#include "formats/pcx/pcx_codec.h"
#include "formats/tga/tga_codec.h"

namespace {

bool identify_present() { return std::system("identify -version > /dev/null 2>&1") == 0; }

// identify's report and exit status; warnings count as failures.
std::string identify(const char* path, int* exit_status)
{
    const std::string command = std::string("identify -regard-warnings '") + path + "' 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buffer[512];
    while (p && std::fgets(buffer, sizeof buffer, p)) out += buffer;
    *exit_status = p ? pclose(p) : -1;
    return out;
}

class Identify : public CodecTest {
protected:
    void SetUp() override
    {
        if (!identify_present()) GTEST_SKIP() << "ImageMagick's identify is not installed";
        CodecTest::SetUp();
    }
    Picture& picture(uint32_t type, int colours)
    {
        Picture& pic = make(type, 61, 17);
        fill_pattern(pic, colours ? colours : 256);
        if (type == PIXEL_COLORS || type == PIXEL_GREY) pic.colour_used = static_cast<int16_t>(colours);
        if (type == PIXEL_COLORS)
            for (int i = 0; i < 768; ++i) pic.colour_map[i] = static_cast<uint8_t>(i * 37 % 251);
        return pic;
    }
    void expect_clean(const Picture& pic, const char* format, const char* extension, const SaveParams& sp, const char* label)
    {
        SCOPED_TRACE(label);
        TempFile out(extension);
        SaveParams p = sp;
        p.format_index = static_cast<int16_t>(format_find_by_name(format));
        ASSERT_EQ(save_picture(out.path(), &pic, &p), STATUS_OK);
        int status = 0;
        const std::string report = identify(out.path(), &status);
        EXPECT_EQ(status, 0) << report;
        EXPECT_NE(report.find(" 61x17 "), std::string::npos) << report;
        EXPECT_EQ(report.find("arning"), std::string::npos) << report;
        EXPECT_EQ(report.find("rror"), std::string::npos) << report;
    }
};

TEST_F(Identify, GifFiles)
{
    SaveParams sp;
    save_params_init(&sp);
    expect_clean(picture(PIXEL_BINARY, 2), "gif", ".gif", sp, "bilevel");
    expect_clean(picture(PIXEL_COLORS, 16), "gif", ".gif", sp, "16 colours");
    expect_clean(picture(PIXEL_GREY, 256), "gif", ".gif", sp, "grey");
    Picture& rich = picture(PIXEL_COLORS, 256);
    rich.transparent_index = 5;
    rich.comment = strdup("made by the tests");
    expect_clean(rich, "gif", ".gif", sp, "256 colours, transparency, comment");
    gif_set_save_options(&sp, true, true);
    expect_clean(rich, "gif", ".gif", sp, "interlaced GIF87a");
}

TEST_F(Identify, PcxFiles)
{
    for (bool rle : {false, true}) {
        SaveParams sp;
        save_params_init(&sp);
        pcx_set_save_options(&sp, rle);
        expect_clean(picture(PIXEL_BINARY, 2), "pcx", ".pcx", sp, rle ? "bilevel rle" : "bilevel");
        expect_clean(picture(PIXEL_COLORS, 16), "pcx", ".pcx", sp, rle ? "16 colours rle" : "16 colours");
        expect_clean(picture(PIXEL_COLORS, 200), "pcx", ".pcx", sp, rle ? "200 colours rle" : "200 colours");
        expect_clean(picture(PIXEL_GREY, 256), "pcx", ".pcx", sp, rle ? "grey rle" : "grey");
        expect_clean(picture(PIXEL_RGB, 0), "pcx", ".pcx", sp, rle ? "truecolour rle" : "truecolour");
    }
}

TEST_F(Identify, TargaFiles)
{
    for (bool rle : {false, true}) {
        SaveParams sp;
        save_params_init(&sp);
        tga_set_save_options(&sp, rle);
        // Bilevel pictures are written as 1-bit grey images, a depth Truevision's own format
        // description lacks and identify refuses ("improper image header"); our reader takes them.
        expect_clean(picture(PIXEL_COLORS, 200), "tga", ".tga", sp, rle ? "colours rle" : "colours");
        expect_clean(picture(PIXEL_GREY, 256), "tga", ".tga", sp, rle ? "grey rle" : "grey");
        expect_clean(picture(PIXEL_RGB, 0), "tga", ".tga", sp, rle ? "24 bits rle" : "24 bits");
        Picture& alpha = picture(PIXEL_RGBA, 0);
        alpha.comment = strdup("made by the tests");
        expect_clean(alpha, "tga", ".tga", sp, rle ? "32 bits rle" : "32 bits");
    }
}

}  // namespace
