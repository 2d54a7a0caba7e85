#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#endif

#include <jpeglib.h>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "formats/jpeg/jpeg.h"
#include "formats/common/exif.h"
#include "support/corpus.h"
#include "support/files.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Jpeg : public ::testing::Test {
protected:
    void SetUp() override { library_init(); }
    void TearDown() override
    {
        for (Picture& p : pictures) picture_free(&p);
        library_exit();
    }

    // A smooth picture: what JPEG is made for, so round trips stay close.
    Picture& gradient(uint32_t type, int w, int h)
    {
        pictures.emplace_back();
        Picture& p = pictures.back();
        picture_alloc(&p, type, 4, w, h);
        for (int y = 0; y < h; ++y) {
            uint8_t* row = picture_line(&p, y);
            if (p.type == PIXEL_BINARY) {
                for (int x = 0; x < w; ++x) bit_put(row, x, (x + y) % 3 == 0);
                continue;
            }
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < p.bytes_per_pixel; ++c)
                    row[x * p.bytes_per_pixel + c] = static_cast<uint8_t>(x * 180 / w + y * 60 / h + c * 5);
        }
        return p;
    }
    Status save(const Picture& p, const char* path, int quality = 90)
    {
        SaveParams params;
        save_params_init(&params);
        params.format_index = 0;
        params.quality = static_cast<uint16_t>(quality);
        return save_picture(path, &p, &params);
    }
    Status load(const char* path, Picture* out, uint32_t flags = 0, FileInfo* info = nullptr, int box_w = -1, int box_h = -1,
                bool exif_thumbnail = true)
    {
        LoadParams params;
        load_params_init(&params);
        params.flags = flags;
        params.box_width = box_w;
        params.box_height = box_h;
        params.use_exif_thumbnail = exif_thumbnail ? 1 : 0;
        return load_picture(path, out, &params, info);
    }
    static double mean_difference(const Picture& a, const Picture& b)
    {
        double sum = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width * a.bytes_per_pixel; ++x)
                sum += std::abs(picture_line(&a, y)[x] - picture_line(&b, y)[x]);
        return sum / (double(a.width) * a.height * a.bytes_per_pixel);
    }

    std::deque<Picture> pictures;  // references handed out stay valid
};

TEST_F(Jpeg, RoundTripsKeepSizeTypeAndLook)
{
    struct Case { uint32_t type; int quality; double tolerance; } cases[] = {
        {PIXEL_RGB, 95, 2.5}, {PIXEL_RGB, 60, 6.0}, {PIXEL_GREY, 90, 2.0}};
    for (const Case& c : cases) {
        Picture& original = gradient(c.type, 61, 37);
        TempFile file(".jpg");
        ASSERT_EQ(save(original, file.path(), c.quality), STATUS_OK);
        Picture back{};
        ASSERT_EQ(load(file.path(), &back), STATUS_OK);
        EXPECT_EQ(back.type, c.type);
        EXPECT_EQ(back.width, 61);
        EXPECT_EQ(back.height, 37);
        EXPECT_LT(mean_difference(original, back), c.tolerance) << "quality " << c.quality;
        picture_free(&back);
    }
    // BGR and bilevel pictures are accepted; a colour-mapped one is not.
    Picture& bgr = gradient(PIXEL_BGR, 16, 16);
    TempFile file(".jpg");
    EXPECT_EQ(save(bgr, file.path()), STATUS_OK);
    Picture& bits = gradient(PIXEL_BINARY, 16, 16);
    EXPECT_EQ(save(bits, file.path()), STATUS_OK);
    Picture back{};
    ASSERT_EQ(load(file.path(), &back), STATUS_OK);
    EXPECT_EQ(back.type, PIXEL_GREY);
    picture_free(&back);
}

// JPEG is the program's only way out: every picture is written as it looks on screen.
TEST_F(Jpeg, FewLevelGreyBilevelAndColourMappedPicturesAreWrittenAsTheyLook)
{
    TempFile file(".jpg");
    Picture back{};

    // Bilevel: a set bit is white.
    Picture& bits = gradient(PIXEL_BINARY, 16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) bit_put(picture_line(&bits, y), x, x >= 8);
    ASSERT_EQ(save(bits, file.path(), 95), STATUS_OK);
    ASSERT_EQ(load(file.path(), &back), STATUS_OK);
    ASSERT_EQ(back.type, PIXEL_GREY);
    EXPECT_LT(picture_line(&back, 4)[1], 10);
    EXPECT_GT(picture_line(&back, 4)[14], 245);
    picture_free(&back);

    // Sixteen grey levels hold 0 to 15 and look like 0 to 255.
    Picture& grey = gradient(PIXEL_GREY, 16, 16);
    grey.colour_used = 16;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) picture_line(&grey, y)[x] = static_cast<uint8_t>(x < 8 ? 3 : 15);
    ASSERT_EQ(save(grey, file.path(), 95), STATUS_OK);
    ASSERT_EQ(load(file.path(), &back), STATUS_OK);
    EXPECT_NEAR(picture_line(&back, 8)[2], 51, 4);
    EXPECT_GT(picture_line(&back, 8)[13], 250);
    picture_free(&back);

    // A colour map gives true colour: red on the left, blue on the right.
    Picture& mapped = gradient(PIXEL_COLORS, 16, 16);
    mapped.colour_used = 2;
    mapped.colour_map[0] = 255;
    mapped.colour_map[512 + 1] = 255;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) picture_line(&mapped, y)[x] = static_cast<uint8_t>(x >= 8);
    ASSERT_EQ(save(mapped, file.path(), 95), STATUS_OK);
    ASSERT_EQ(load(file.path(), &back), STATUS_OK);
    ASSERT_EQ(back.type, PIXEL_RGB);
    const uint8_t* row = picture_line(&back, 8);
    EXPECT_GT(row[3 * 1], 240);
    EXPECT_LT(row[3 * 1 + 2], 15);
    EXPECT_LT(row[3 * 14], 15);
    EXPECT_GT(row[3 * 14 + 2], 240);
    picture_free(&back);
}

TEST_F(Jpeg, CmykIsWrittenInvertedAndReadBackEitherWay)
{
    Picture& cmyk = gradient(PIXEL_CMYK, 24, 24);
    TempFile file(".jpg");
    ASSERT_EQ(save(cmyk, file.path(), 98), STATUS_OK);
    Picture kept{};
    ASSERT_EQ(load(file.path(), &kept, LOAD_KEEP_CMYK), STATUS_OK);
    EXPECT_EQ(kept.type, PIXEL_CMYK);
    EXPECT_LT(mean_difference(cmyk, kept), 3.0);
    Picture rgb{};
    ASSERT_EQ(load(file.path(), &rgb), STATUS_OK);
    EXPECT_EQ(rgb.type, PIXEL_RGB);
    picture_free(&kept);
    picture_free(&rgb);
}

TEST_F(Jpeg, TruncatedFilesFailAsPhotosAndGivePartialThumbnails)
{
    const std::string whole = read_file(corpus_path("jpeg/testorig.jpg"));
    ASSERT_GT(whole.size(), 1000u);
    TempFile cut(".jpg", whole.substr(0, whole.size() * 6 / 10));
    Picture photo{};
    EXPECT_EQ(load(cut.path(), &photo), STATUS_INCOMPLETE);
    EXPECT_EQ(photo.data, nullptr);
    Picture thumb{};
    ASSERT_EQ(load(cut.path(), &thumb, LOAD_ACCEPT_DAMAGED), STATUS_OK);
    ASSERT_EQ(thumb.height, 149);
    const uint8_t* last = picture_line(&thumb, thumb.height - 1);
    for (int x = 0; x < thumb.width * 3; ++x) ASSERT_EQ(last[x], 0);
    picture_free(&thumb);
}

TEST_F(Jpeg, AJpegNamedLikeAnotherFormatIsFoundByItsContent)
{
    TempFile named_gif(".gif", read_file(corpus_path("jpeg/hopper_gray.jpg")));
    Picture p{};
    FileInfo info{};
    ASSERT_EQ(load(named_gif.path(), &p, 0, &info), STATUS_OK);
    EXPECT_EQ(info.format_index, 0);
    EXPECT_EQ(p.type, PIXEL_GREY);
    EXPECT_EQ(p.x_dpi, 96);
    picture_free(&p);
    // Thumbnails only trust extensions: a known one is tried by extension, nothing is probed.
    EXPECT_EQ(load(named_gif.path(), &p, 7172, nullptr, 92, 64), STATUS_UNKNOWN_FORMAT);
}

TEST_F(Jpeg, CommentsChunksAndDensityGoBackOutInFileOrder)
{
    Picture src{};
    ASSERT_EQ(load(corpus_path("jpeg/FurnaceCreekInn.jpg").c_str(), &src, LOAD_KEEP_CHUNKS | LOAD_KEEP_COMMENT), STATUS_OK);
    std::vector<std::pair<uint32_t, Bytes>> chunks;
    for (const PictureChunk* c = src.chunks; c; c = c->next) chunks.push_back({c->kind, Bytes(c->bytes, c->bytes + c->size)});
    ASSERT_GE(chunks.size(), 3u);
    free(src.comment);
    src.comment = strdup("8 chars!");
    src.x_dpi = 300;
    src.y_dpi = 150;
    TempFile file(".jpg");
    ASSERT_EQ(save(src, file.path()), STATUS_OK);
    const std::string bytes = read_file(file.path());
    EXPECT_NE(bytes.find(std::string("\xFF\xFE\x00\x0B" "8 chars!", 12) + '\0'), std::string::npos);
    // The Exif block must still be the first APP1 after saving, as readers of Exif expect.
    const size_t exif = bytes.find("Exif");
    const size_t xmp = bytes.find("http://ns.adobe.com/xap");
    ASSERT_NE(exif, std::string::npos);
    ASSERT_NE(xmp, std::string::npos);
    EXPECT_LT(exif, xmp);

    Picture back{};
    ASSERT_EQ(load(file.path(), &back, LOAD_KEEP_CHUNKS | LOAD_KEEP_COMMENT), STATUS_OK);
    EXPECT_STREQ(back.comment, "8 chars!");
    EXPECT_EQ(back.x_dpi, 300);
    EXPECT_EQ(back.y_dpi, 150);
    size_t i = 0;
    for (const PictureChunk* c = back.chunks; c; c = c->next, ++i) {
        ASSERT_LT(i, chunks.size());
        EXPECT_EQ(c->kind, chunks[i].first);
        EXPECT_EQ(Bytes(c->bytes, c->bytes + c->size), chunks[i].second);
    }
    EXPECT_EQ(i, chunks.size());
    picture_free(&src);
    picture_free(&back);

    // No resolution in the file reads as 72 dpi.
    Picture plain{};
    ASSERT_EQ(load(corpus_path("jpeg/testorig.jpg").c_str(), &plain), STATUS_OK);
    EXPECT_EQ(plain.x_dpi, 72);
    picture_free(&plain);
}

// An APP1 payload holding a first directory with one entry and, when asked, a second directory
// pointing at a thumbnail placed after it.
Bytes exif_block(bool big, const Bytes& thumbnail, bool via_second = true)
{
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    auto u16 = [&](uint16_t v) { if (big) { b.push_back(uint8_t(v >> 8)); b.push_back(uint8_t(v)); } else { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); } };
    auto u32 = [&](uint32_t v) { if (big) { u16(uint16_t(v >> 16)); u16(uint16_t(v)); } else { u16(uint16_t(v)); u16(uint16_t(v >> 16)); } };
    b.push_back(big ? 'M' : 'I');
    b.push_back(big ? 'M' : 'I');
    u16(42);
    u32(8);
    // First directory at 8: orientation 6, then the next directory at 26.
    u16(1);
    u16(0x112); u16(3); u32(1); u16(6); u16(0);
    u32(via_second ? 26 : 0);
    // Second directory at 26: thumbnail offset and length; data at 26 + 2 + 24 + 4 = 56.
    u16(2);
    u16(0x201); u16(4); u32(1); u32(56);
    u16(0x202); u16(4); u32(1); u32(static_cast<uint32_t>(thumbnail.size()));
    u32(0);
    b.insert(b.end(), thumbnail.begin(), thumbnail.end());
    return b;
}

TEST(ExifWalk, FindsThumbnailsInBothByteOrdersAndSurvivesBrokenDirectories)
{
    const Bytes thumb = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    for (bool big : {false, true}) {
        Bytes block = exif_block(big, thumb);
        ExifThumbnail t{};
        ASSERT_TRUE(exif_find_thumbnail(block.data(), block.size(), &t)) << big;
        EXPECT_EQ(t.offset, 62u);
        EXPECT_EQ(t.length, thumb.size());
        EXPECT_EQ(Bytes(block.begin() + 62, block.end()), thumb);
        EXPECT_EQ(exif_orientation(block.data(), block.size()), 6);
        ASSERT_TRUE(exif_set_orientation(block.data(), block.size(), 1));
        EXPECT_EQ(exif_orientation(block.data(), block.size()), 1);
    }
    Bytes block = exif_block(false, thumb);
    ExifThumbnail t{};
    // A thumbnail that runs past the block.
    Bytes longer = block;
    longer[6 + 26 + 2 + 12 + 8] = 200;
    EXPECT_FALSE(exif_find_thumbnail(longer.data(), longer.size(), &t));
    // A next-directory pointer leading back to the first directory must not loop.
    Bytes loop = exif_block(false, thumb, false);
    loop[6 + 8 + 2 + 12] = 8;
    EXPECT_FALSE(exif_find_thumbnail(loop.data(), loop.size(), &t));
    // Entry counts far past the block, a first directory outside it, and bad headers.
    Bytes many = block;
    many[6 + 8] = 0xFF;
    many[6 + 9] = 0xFF;
    EXPECT_FALSE(exif_find_thumbnail(many.data(), many.size(), &t));
    Bytes outside = block;
    outside[6 + 4] = 0xF0;
    EXPECT_FALSE(exif_find_thumbnail(outside.data(), outside.size(), &t));
    Bytes not_tiff = block;
    not_tiff[6] = 'X';
    EXPECT_FALSE(exif_find_thumbnail(not_tiff.data(), not_tiff.size(), &t));
    for (size_t n = 0; n < block.size(); ++n) exif_find_thumbnail(block.data(), n, &t);  // every truncation
}

// As cameras write it: the first directory points at the Exif directory and, after its entries,
// at the second directory, which holds the thumbnail.
TEST(ExifWalk, TheThumbnailDirectoryAfterAnExifDirectoryIsStillWalked)
{
    const Bytes thumb = {0xFF, 0xD8, 9, 8, 7, 0xFF, 0xD9};
    Bytes b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](uint16_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v)); u16(uint16_t(v >> 16)); };
    u16(1);                                    // first directory at 8
    u16(0x8769); u16(4); u32(1); u32(26);
    u32(44);
    u16(1);                                    // Exif directory at 26
    u16(0x9000); u16(7); u32(4); b.insert(b.end(), {'0', '2', '3', '0'});
    u32(0);
    u16(2);                                    // second directory at 44, thumbnail at 74
    u16(0x201); u16(4); u32(1); u32(74);
    u16(0x202); u16(4); u32(1); u32(static_cast<uint32_t>(thumb.size()));
    u32(0);
    b.insert(b.end(), thumb.begin(), thumb.end());
    ExifThumbnail t{};
    ASSERT_TRUE(exif_find_thumbnail(b.data(), b.size(), &t));
    EXPECT_EQ(t.offset, 80u);
    EXPECT_EQ(t.length, thumb.size());
}

TEST_F(Jpeg, CameraFilesGiveTheirExifThumbnailsAsPreviews)
{
    for (const char* name : {"jpeg/exiv2-canon-powershot-s40.jpg", "jpeg/exiv2-nikon-d70.jpg", "jpeg/exiv2-bug876.jpg"}) {
        SCOPED_TRACE(name);
        Picture p{};
        FileInfo info{};
        ASSERT_EQ(load(corpus_path(name).c_str(), &p, 7172, &info, 160, 120), STATUS_OK);
        EXPECT_EQ(info.preview, 1);
        EXPECT_LE(p.width, 160);
        EXPECT_LE(p.height, 120);
        picture_free(&p);
    }
}

TEST_F(Jpeg, PreviewsComeFromTheExifThumbnailWithoutDecodingThePhoto)
{
    Picture& small = gradient(PIXEL_RGB, 40, 30);
    TempFile thumb_file(".jpg");
    ASSERT_EQ(save(small, thumb_file.path()), STATUS_OK);
    const std::string thumb = read_file(thumb_file.path());

    Picture& photo = gradient(PIXEL_RGB, 800, 600);
    Bytes block = exif_block(false, Bytes(thumb.begin(), thumb.end()));
    auto* chunk = static_cast<PictureChunk*>(calloc(1, sizeof(PictureChunk)));
    chunk->kind = CHUNK_EXIF;
    chunk->size = static_cast<uint32_t>(block.size());
    chunk->bytes = static_cast<uint8_t*>(malloc(block.size()));
    memcpy(chunk->bytes, block.data(), block.size());
    photo.chunks = chunk;
    TempFile file(".jpg");
    ASSERT_EQ(save(photo, file.path()), STATUS_OK);

    Picture p{};
    FileInfo info{};
    ASSERT_EQ(load(file.path(), &p, 7172, &info, 160, 120), STATUS_OK);
    EXPECT_EQ(info.preview, 1);
    EXPECT_EQ(info.width, 800);
    EXPECT_EQ(info.height, 600);
    EXPECT_EQ(p.width, 40);
    EXPECT_EQ(p.height, 30);
    picture_free(&p);

    // Without a usable thumbnail the photo itself is decoded at a reduced scale.
    ASSERT_EQ(load(file.path(), &p, LOAD_PREVIEW, &info, 300, 200), STATUS_OK);
    EXPECT_EQ(info.preview, 1);
    picture_free(&p);
    LoadParams params;
    load_params_init(&params);
    params.flags = LOAD_PREVIEW;
    params.box_width = 90;
    params.box_height = 90;
    ASSERT_EQ(load_picture(file.path(), &p, &params, &info), STATUS_OK);
    EXPECT_EQ(info.preview, 0);
    EXPECT_EQ(info.width, 800);
    EXPECT_EQ(p.width, 90);
    EXPECT_EQ(p.height, 67);
    picture_free(&p);
}

// libjpeg's own decode at a scale of 1 / denominator, with the fast settings previews use.
struct Reference {
    int width = 0, height = 0, components = 0;
    Bytes pixels;
};
Reference reference_decode(const std::string& bytes, unsigned denominator)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = denominator;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    Reference r;
    r.width = static_cast<int>(cinfo.output_width);
    r.height = static_cast<int>(cinfo.output_height);
    r.components = cinfo.output_components;
    const size_t line = static_cast<size_t>(r.width) * r.components;
    r.pixels.resize(line * r.height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = r.pixels.data() + line * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return r;
}

TEST_F(Jpeg, ScaledPreviewsAreLibjpegsOwnDecodeAtThatScale)
{
    // Boxes the scaled picture fills exactly, so that nothing but the DCT scaling is at work.
    struct Case { const char* file; int box_w, box_h; unsigned denominator; } cases[] = {
        {"jpeg/FurnaceCreekInn.jpg", 200, 150, 2},  // 4:2:2
        {"jpeg/FurnaceCreekInn.jpg", 100, 75, 4},
        {"jpeg/photoshop-200dpi.jpg", 50, 50, 4},   // 4:4:4
        {"jpeg/hopper_gray.jpg", 16, 16, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " into " << c.box_w << " x " << c.box_h);
        const std::string bytes = read_file(corpus_path(c.file));
        ASSERT_FALSE(bytes.empty());
        const Reference ref = reference_decode(bytes, c.denominator);
        ASSERT_LE(ref.width, c.box_w);
        ASSERT_LE(ref.height, c.box_h);
        Picture p{};
        FileInfo info{};
        // Without the Exif thumbnail, which some of these files carry and would be taken instead.
        ASSERT_EQ(load(corpus_path(c.file).c_str(), &p, LOAD_PREVIEW, &info, c.box_w, c.box_h, false), STATUS_OK);
        pictures.push_back(p);
        ASSERT_EQ(p.width, ref.width);
        ASSERT_EQ(p.height, ref.height);
        ASSERT_EQ(p.bytes_per_pixel, ref.components);
        const size_t line = static_cast<size_t>(ref.width) * ref.components;
        for (int y = 0; y < ref.height; ++y)
            ASSERT_EQ(0, std::memcmp(picture_line(&p, y), ref.pixels.data() + line * y, line)) << "line " << y;
    }
}

}  // namespace

namespace {

TEST(JpegLimits, ATinyFileClaimingAHugeProgressivePictureIsRefusedAtOnce)
{
    library_init();
    const std::string path = std::string(LUMEVA_SOURCE_DIR) + "/fuzz/regressions/jpeg/huge-progressive-header.jpg";
    LoadParams params;
    load_params_init(&params);
    Picture p{};
    EXPECT_EQ(load_picture(path.c_str(), &p, &params, nullptr), STATUS_NO_MEMORY);
    EXPECT_EQ(p.data, nullptr);
    library_exit();
}

long peak_resident_kilobytes()
{
#if defined(__linux__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return 0;
#endif
}

// The same claim made by an Exif thumbnail: the thumbnail road has the photo road's limits, and
// the photo itself is shown instead.
TEST(JpegLimits, AnExifThumbnailClaimingAHugeProgressivePictureIsRefusedAtOnce)
{
    library_init();
    const std::string path = std::string(LUMEVA_SOURCE_DIR) + "/fuzz/regressions/jpeg/huge-exif-thumbnail.jpg";
    const long before = peak_resident_kilobytes();
    LoadParams params;
    load_params_init(&params);
    params.flags = 7172;
    params.box_width = 160;
    params.box_height = 120;
    params.use_exif_thumbnail = 1;
    Picture p{};
    FileInfo info{};
    EXPECT_EQ(load_picture(path.c_str(), &p, &params, &info), STATUS_OK);
    EXPECT_EQ(info.preview, 0);
    EXPECT_EQ(p.width, 8);
    picture_free(&p);
    EXPECT_LT(peak_resident_kilobytes() - before, 200 * 1024) << "kilobytes";

    const std::string bytes = read_file(path);
    const size_t start = bytes.find("\xFF\xD8", 2);
    ASSERT_NE(start, std::string::npos);
    LoadContext ctx{};
    load_params_init(&ctx.params);
    ctx.params.flags = LOAD_PREVIEW;
    EXPECT_EQ(exif_thumbnail_read(reinterpret_cast<const uint8_t*>(bytes.data()) + start, bytes.size() - start, 8, 8,
                                  0, &ctx),
              STATUS_NO_MEMORY);
    EXPECT_LT(peak_resident_kilobytes() - before, 200 * 1024) << "kilobytes";
    library_exit();
}

}  // namespace
