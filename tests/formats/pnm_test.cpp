// The PNM codec: header tokens and comments, sample scaling for every maximum, bitmap polarity,
// the ASCII and binary forms of the writer, and damaged files.
#include "cli/inspect.h"
#include "formats/codec_files.h"
#include "formats/pnm/pnm_codec.h"
#include "formats/common/stream_bytes.h"

namespace {

class Pnm : public CodecTest {
protected:
    Picture& load_pnm(const std::string& bytes, uint32_t flags = 0, Status expect = STATUS_OK, FileInfo* info = nullptr)
    {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".pnm", &pic, params("pnm", flags), info), expect);
        return keep(pic);
    }
    std::string save(const Picture& pic, const char* format, bool ascii, Status expect = STATUS_OK)
    {
        SaveParams sp = save_params(format);
        pnm_set_save_options(&sp, ascii);
        TempFile out(".pnm");
        EXPECT_EQ(save_picture(out.path(), &pic, &sp), expect);
        return read_file(out.path());
    }
};

TEST_F(Pnm, AsciiGreyScalesByItsMaximumAndSkipsComments)
{
    // A comment between the width and the height, another glued to a sample.
    Picture& p = load_pnm("P2\n3 # width\n# more\n2\n15\n15 7 0\n1#c\n2 3\n", LOAD_BILEVEL_AS_GREY);
    ASSERT_EQ(p.type, PIXEL_GREY);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{255, 119, 0}));
    EXPECT_EQ(row_bytes(p, 1), (Bytes{17, 34, 51}));
}

TEST_F(Pnm, AsciiBitmapDigitsNeedNoSeparatorsAndOneIsBlack)
{
    Picture& p = load_pnm("P1\n5 2\n01101\n1 0 0 0 1\n");
    ASSERT_EQ(p.type, PIXEL_BINARY);
    // Set bits of the picture are white.
    EXPECT_EQ(row_bytes(p, 0)[0] & 0xF8, 0x90);
    EXPECT_EQ(row_bytes(p, 1)[0] & 0xF8, 0x70);
    load_pnm("P1\n2 1\n0 2\n", 0, STATUS_CORRUPT);
}

TEST_F(Pnm, BinaryBitmapGreyAndPixmap)
{
    Picture& bits = load_pnm(std::string("P4\n10 1\n\xC0\x40", 10));
    EXPECT_EQ(row_bytes(bits, 0)[0], 0x3F);
    EXPECT_EQ(row_bytes(bits, 0)[1] & 0xC0, 0x80);
    Picture& grey = load_pnm(std::string("P5 2 1 100\n\x64\x32", 13), LOAD_BILEVEL_AS_GREY);
    EXPECT_EQ(row_bytes(grey, 0), (Bytes{255, 127}));
    Picture& rgb = load_pnm(std::string("P6\n1 2\n255\n\x01\x02\x03\x04\x05\x06", 17));
    ASSERT_EQ(rgb.type, PIXEL_RGB);
    EXPECT_EQ(row_bytes(rgb, 1), (Bytes{4, 5, 6}));
    Picture& ascii_rgb = load_pnm("P3 1 1 255 9 8 7");
    EXPECT_EQ(row_bytes(ascii_rgb, 0), (Bytes{9, 8, 7}));
}

TEST_F(Pnm, SixteenBitSamplesAreBigEndianAndScaled)
{
    // Maximum 1023: 1023 is white, 512 is 512 x 255 / 1023.
    Picture& grey = load_pnm(std::string("P5\n2 1\n1023\n\x03\xFF\x02\x00", 16), LOAD_BILEVEL_AS_GREY);
    EXPECT_EQ(row_bytes(grey, 0), (Bytes{255, 127}));
    Picture& rgb = load_pnm("P6\n1 1\n65535\n" + std::string("\xFF\xFF\x80\x00\x00\xFF", 6));
    EXPECT_EQ(row_bytes(rgb, 0), (Bytes{255, 127, 0}));
    // Samples above the maximum are taken as it.
    Picture& over = load_pnm(std::string("P5\n1 1\n300\n\xFF\xFF", 13), LOAD_BILEVEL_AS_GREY);
    EXPECT_EQ(row_bytes(over, 0), (Bytes{255}));
}

TEST_F(Pnm, XvThumbnailsLoadAsGrey)
{
    FileInfo info{};
    Picture& p = load_pnm("P7 332\n#XVVERSION:Version 2.28\n#END_OF_COMMENTS\n2 1 255\n" + std::string("\x10\xE0", 2), 0,
                          STATUS_OK, &info);
    EXPECT_EQ(p.type, PIXEL_GREY);
    EXPECT_EQ(row_bytes(p, 0), (Bytes{0x10, 0xE0}));
    EXPECT_STREQ(info.format_label, "XV visual schnauzer");
}

TEST_F(Pnm, BadHeadersAndDamagedFiles)
{
    FileInfo info{};
    load_pnm("P6\n0 5\n255\n", 0, STATUS_BAD_HEADER, &info);
    EXPECT_STREQ(info.message, "Portable Bitmap : Bad picture's size !");
    load_pnm("P6\n16000 5\n255\n", 0, STATUS_BAD_HEADER);
    // Sizes beyond 16 bits saturate rather than wrap into the accepted range.
    load_pnm("P5\n65537 1\n255\n", 0, STATUS_BAD_HEADER);
    load_pnm("P5\n2 2\n0\n\0\0\0\0", 0, STATUS_BAD_HEADER);
    load_pnm("P8\n1 1\n", 0, STATUS_UNKNOWN_FORMAT);
    load_pnm("P5\nx 1\n", 0, STATUS_UNKNOWN_FORMAT);
    load_pnm("P5\n4", 0, STATUS_UNKNOWN_FORMAT);  // the end of the file before load_begin counts as 2

    const std::string truncated = std::string("P5\n2 3\n255\n\x01\x02\x03", 14);
    load_pnm(truncated, 0, STATUS_INCOMPLETE);
    Picture& partial = load_pnm(truncated, LOAD_ACCEPT_DAMAGED | LOAD_BILEVEL_AS_GREY);
    EXPECT_EQ(row_bytes(partial, 0), (Bytes{1, 2}));
    EXPECT_EQ(row_bytes(partial, 1), (Bytes{0, 0}));
    load_pnm("P2 2 1 255 7", 0, STATUS_INCOMPLETE);
    Picture& bits = load_pnm(std::string("P4\n8 2\n\x0F", 8), LOAD_ACCEPT_DAMAGED);
    EXPECT_EQ(row_bytes(bits, 0), (Bytes{0xF0}));
}

TEST_F(Pnm, WriterHeadersAndAsciiBitmap)
{
    Picture& bits = make(PIXEL_BINARY, 3, 1);
    picture_line(&bits, 0)[0] = 0x40;  // white, black... set bits are white
    EXPECT_EQ(save(bits, "pbm", true), "P1\n3 1\n1 0 1 \n");
    EXPECT_EQ(save(bits, "pbm", false), std::string("P4\n3 1\n\xA0", 8));
    Picture& grey = make(PIXEL_GREY, 2, 1);
    picture_line(&grey, 0)[0] = 7;
    picture_line(&grey, 0)[1] = 200;
    EXPECT_EQ(save(grey, "pgm", true), "P2\n2 1\n255\n7 200 \n");
    Picture& rgb = make(PIXEL_BGR, 1, 1);
    picture_line(&rgb, 0)[0] = 3;
    EXPECT_EQ(save(rgb, "ppm", false), std::string("P6\n1 1\n255\n\0\0\x03", 14));

    Picture& mapped = make(PIXEL_COLORS, 2, 2);
    mapped.colour_used = 4;
    save(mapped, "pnm", false, STATUS_TYPE_UNSUPPORTED);
    save(grey, "ppm", false, STATUS_TYPE_UNSUPPORTED);
}

TEST_F(Pnm, RoundTripsOfEveryAcceptedTypeInBothForms)
{
    for (uint32_t type : {PIXEL_BINARY, PIXEL_GREY, PIXEL_RGB, PIXEL_BGR, PIXEL_RGBA, PIXEL_ARGB}) {
        for (bool ascii : {false, true}) {
            SCOPED_TRACE(testing::Message() << "type " << type << " ascii " << ascii);
            Picture& pic = make(type, 37, 5);
            fill_pattern(pic, 256);
            if (type & PIXEL_ANY32)  // the file has no alpha: an opaque picture comes back the same
                for (int y = 0; y < pic.height; ++y)
                    for (int x = 0; x < pic.width; ++x) picture_line(&pic, y)[4 * x + (type == PIXEL_ARGB ? 0 : 3)] = 255;
            const std::string file = save(pic, "pnm", ascii);
            Picture& back = load_pnm(file, type & PIXEL_ANY32 ? uint32_t{LOAD_WANT_ALPHA} : 0u);
            EXPECT_EQ(picture_rgba_sha256(back), picture_rgba_sha256(pic));
        }
    }
}

TEST_F(Pnm, GreyPicturesOfFewerLevelsAreSpreadOverTheFullRange)
{
    Picture& grey = make(PIXEL_GREY, 3, 1);
    grey.colour_used = 16;
    picture_line(&grey, 0)[0] = 0;
    picture_line(&grey, 0)[1] = 7;
    picture_line(&grey, 0)[2] = 15;
    EXPECT_EQ(save(grey, "pgm", true), "P2\n3 1\n255\n0 119 255 \n");
}

TEST_F(Pnm, SkippingRasterPagesOfAMultiPageOutput)
{
    const std::string pages = std::string("P4\n9 2\n\x01\x02\x03\x04", 11) + "P6\n1 1\n65535\n" + std::string(6, '\0') +
                              std::string("P5\n1 1\n255\n\x2A", 12);
    TempFile f(".pnm", pages);
    Stream* s = stream_open(f.path(), STREAM_READ);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pnm_skip_image(s), STATUS_OK);
    EXPECT_EQ(pnm_skip_image(s), STATUS_OK);
    EXPECT_EQ(stream_bytes_left(s), 12);
    EXPECT_EQ(pnm_skip_image(s), STATUS_OK);
    EXPECT_EQ(pnm_skip_image(s), STATUS_INCOMPLETE);
    stream_close(s);

    TempFile cut(".pnm", std::string("P6\n100 100\n255\n\0\0", 17));
    s = stream_open(cut.path(), STREAM_READ);
    EXPECT_EQ(pnm_skip_image(s), STATUS_INCOMPLETE);
    stream_close(s);
}

TEST(PnmSignature, RefusesOnlyWhatCannotBeAnAnymap)
{
    const uint8_t p6[] = {'P', '6'}, p0[] = {'P', '0'}, gif[] = {'G', 'I'};
    EXPECT_TRUE(pnm_signature(p6, 2));
    EXPECT_TRUE(pnm_signature(p6, 1));
    EXPECT_FALSE(pnm_signature(p0, 2));
    EXPECT_FALSE(pnm_signature(gif, 2));
}

}  // namespace
