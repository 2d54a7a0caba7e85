// The codec libraries both builds link: the versions the codecs are written against.
#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

TEST(Dependencies, LibjpegSpeaksTheVersion62Interface)
{
    EXPECT_EQ(JPEG_LIB_VERSION, 62);
    jpeg_error_mgr errors;
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_CreateDecompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
    jpeg_destroy_decompress(&cinfo);
}

TEST(Dependencies, LibpngIsOnePointSixAndCreatesReaders)
{
    EXPECT_EQ(png_access_version_number() / 100, 106u);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    ASSERT_NE(png, nullptr);
    png_destroy_read_struct(&png, nullptr, nullptr);
    EXPECT_EQ(zlibVersion()[0], ZLIB_VERSION[0]);
}
