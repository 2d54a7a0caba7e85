#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/format.h"
#include "support/files.h"

namespace {

TEST(Registry, HoldsTheBuiltInRowsInTheirFixedOrder)
{
    library_init();
    ASSERT_EQ(format_count(), 23);
    const char* names[] = {"jpeg", "tga", "tiff", "bmp", "png", "iff", "gif", "pcx", "pict", "psd", "pbm", "pgm",
                           "ppm",  "pnm", "xbm",  "xpm", "wmf", "emf", "eps", "ps",  "epi",  "pdf", "epsp"};
    for (int i = 0; i < 23; ++i) EXPECT_STREQ(format_get_name(i), names[i]) << i;
    EXPECT_EQ(format_get_name(-1), nullptr);
    EXPECT_EQ(format_get_name(23), nullptr);

    for (int i = 0; i < 23; ++i) {
        const bool probed = (format_rows()[i].flags & FORMAT_PROBE) != 0;
        const bool by_extension_only = i == 16 || i == 17 || i == 20 || i == 21;
        EXPECT_EQ(probed, !by_extension_only) << names[i];
    }
    FormatInfo info;
    ASSERT_EQ(format_get_info(13, &info, 0), 0);
    EXPECT_STREQ(info.description, "Portable Image");
    EXPECT_STREQ(info.extensions[7], "rppm");
    EXPECT_STREQ(info.extensions[8], "");
    ASSERT_EQ(format_get_info(0, &info, 0), 0);
    EXPECT_STREQ(info.description, "JPEG / JFIF");
    const uint16_t jpeg_types[] = {PIXEL_ANY24, PIXEL_GREY, PIXEL_BINARY, PIXEL_CMYK, WRITABLE_END};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(info.writable[i].type, jpeg_types[i]) << i;
    EXPECT_EQ(info.writable[0].max_colours, WRITABLE_NO_LIMIT);
    EXPECT_EQ(format_get_info(23, &info, 0), -1);
    EXPECT_EQ(format_find_by_name("pcx"), 7);
    EXPECT_EQ(format_find_by_name("PCX"), -1);
    library_exit();
}

TEST(Registry, IsReferenceCounted)
{
    library_init();
    library_init();
    library_exit();
    EXPECT_EQ(format_count(), 23);
    library_exit();
    EXPECT_EQ(format_count(), 0);
    EXPECT_EQ(format_get_name(0), nullptr);
}

TEST(Registry, ExtensionsAreTheLastDotOfTheFileNameLowerCased)
{
    library_init();
    EXPECT_TRUE(format_find_by_extension("PHOTO.JPG"));
    EXPECT_TRUE(format_find_by_extension("archive.tar.tiff"));
    EXPECT_TRUE(format_find_by_extension("scan.Png", 4));
    EXPECT_FALSE(format_find_by_extension("scan.png", 3));
    EXPECT_FALSE(format_find_by_extension("README"));
    EXPECT_FALSE(format_find_by_extension("notes.txt"));
    EXPECT_FALSE(format_find_by_extension("trailing."));
    EXPECT_FALSE(format_find_by_extension("holiday.photos/IMG_0001"));
    EXPECT_TRUE(format_find_by_extension("C:\\Mes images.2024\\plage.jpe"));
    library_exit();
}

// Readers standing in for codecs: each row's fake accepts files that start with its signature
// and records that it was asked.
struct FakeRow {
    const char* signature;
    Status accept = STATUS_OK;  // what it answers for its signature
    Status refuse = STATUS_UNKNOWN_FORMAT;
    bool begin = false;         // pretend load_begin was reached before answering
};

std::vector<int> calls;
FakeRow fakes[23];

Status fake_reader(Stream* stream, LoadContext* ctx)
{
    const int row = static_cast<int>(ctx->private_value);
    calls.push_back(row);
    const FakeRow& f = fakes[row];
    char head[8] = {};
    if (stream) stream_read(stream, head, sizeof head - 1);
    const bool mine = f.signature && std::strncmp(head, f.signature, std::strlen(f.signature)) == 0;
    if (!mine) return f.refuse;
    ctx->began = f.begin;
    load_set_comment(ctx, "first", 0);
    load_set_comment(ctx, "kept comment", 0);
    load_set_comment(ctx, "\x01not text", 0);
    load_add_chunk(ctx, CHUNK_EXIF, reinterpret_cast<const uint8_t*>("exif"), 4);
    load_add_chunk(ctx, CHUNK_IPTC, reinterpret_cast<const uint8_t*>("iptc"), 4);
    load_add_text(ctx, "Author", "Ana", 0);
    load_add_text(ctx, nullptr, "plain", 0);
    return f.accept;
}

class Recognition : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_init();
        saved.assign(format_rows(), format_rows() + format_count());
        saved_signatures.assign(format_signatures(), format_signatures() + format_count());
        calls.clear();
        for (FakeRow& f : fakes) f = FakeRow{};
        LoadParams p;
        load_params_init(&p);
        params = p;
    }
    void TearDown() override
    {
        std::copy(saved.begin(), saved.end(), format_rows());
        std::copy(saved_signatures.begin(), saved_signatures.end(), format_signatures());
        library_exit();
    }
    void fake(int row, const char* signature, bool with_read = true)
    {
        fakes[row].signature = signature;
        format_signatures()[row] = nullptr;  // the fake decides alone
        FormatEntry& e = format_rows()[row];
        e.reader = fake_reader;
        e.private_value = static_cast<uint32_t>(row);
        if (with_read) e.flags |= FORMAT_READ;
    }
    Status load(const char* name, FileInfo* info = nullptr)
    {
        Picture pic{};
        const Status s = load_picture(name, &pic, &params, info);
        last_comment = pic.comment ? pic.comment : "";
        last_chunks.clear();
        for (PictureChunk* c = pic.chunks; c; c = c->next) last_chunks.push_back(std::string(reinterpret_cast<char*>(c->bytes), c->size));
        picture_free(&pic);
        return s;
    }

    std::vector<FormatEntry> saved;
    std::vector<FormatSignature> saved_signatures;
    LoadParams params{};
    std::string last_comment;
    std::vector<std::string> last_chunks;
};

TEST_F(Recognition, ExtensionPassThenProbeInRowOrder)
{
    fake(0, "\xFF\xD8");
    fake(6, "GIF8");
    fake(3, "BM");
    TempFile jpeg_named_gif(".gif", "\xFF\xD8\xFF\xE0 jpeg");
    FileInfo info{};
    EXPECT_EQ(load(jpeg_named_gif.path(), &info), STATUS_OK);
    EXPECT_EQ(calls, (std::vector<int>{6, 0}));
    EXPECT_EQ(info.format_index, 0);
    EXPECT_EQ(info.file_size, 9u);
    file_info_free_texts(&info);
}

TEST_F(Recognition, RowsListingTheSameExtensionAreTriedInOrder)
{
    fake(10, "P4");
    fake(13, "P6");
    TempFile ppm_named_pbm(".pbm", "P6 1 1 255\n...");
    EXPECT_EQ(load(ppm_named_pbm.path()), STATUS_OK);
    EXPECT_EQ(calls, (std::vector<int>{10, 13}));
}

TEST_F(Recognition, KnownExtensionRefusesWithoutOpeningOrProbing)
{
    fake(0, "\xFF\xD8");
    params.flags = LOAD_KNOWN_EXTENSION;
    EXPECT_EQ(load("/no/such/folder/no-extension"), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(load("/no/such/folder/file.txt"), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(load("/no/such/folder/file.jpg"), STATUS_OPEN_FAILED);
    params.format_index = 4;
    EXPECT_EQ(load("/no/such/folder/file.jpg"), STATUS_UNKNOWN_FORMAT);
    TempFile jpeg_named_gif(".gif", "\xFF\xD8\xFF\xE0");
    params.format_index = -1;
    EXPECT_EQ(load(jpeg_named_gif.path()), STATUS_UNKNOWN_FORMAT);  // no probe pass
    EXPECT_TRUE(calls.empty());
}

TEST_F(Recognition, ExtensionOnlyRowsAreNeverProbed)
{
    fake(16, "");  // accepts anything
    fake(21, "");
    fake(2, "II*");
    TempFile unnamed(".bin", "II*\0....");
    EXPECT_EQ(load(unnamed.path()), STATUS_OK);
    EXPECT_EQ(calls, (std::vector<int>{2}));

    calls.clear();
    fakes[16].signature = "\xD7\xCD\xC6\x9A";
    TempFile tiff_named_wmf(".wmf", "II*\0....");
    EXPECT_EQ(load(tiff_named_wmf.path()), STATUS_OK);
    EXPECT_EQ(calls, (std::vector<int>{16, 2}));
}

TEST_F(Recognition, IncompleteBeforeBeginCountsAsNotRecognised)
{
    fake(1, "T");
    fakes[1].accept = STATUS_INCOMPLETE;
    fake(4, "T");
    params.flags = LOAD_KEEP_COMMENT;
    TempFile f(".dat", "TTTT");
    EXPECT_EQ(load(f.path()), STATUS_OK);
    EXPECT_EQ(calls, (std::vector<int>{1, 4}));
    EXPECT_EQ(last_comment, "kept comment");  // from row 4 alone
    EXPECT_EQ(last_chunks.size(), 0u);        // chunks need their flag
}

TEST_F(Recognition, SignatureChecksDecideBeforeAnythingIsKept)
{
    static std::vector<size_t> seen;
    seen.clear();
    fake(6, "");  // the reader takes anything: only the check can refuse
    format_signatures()[6] = [](const uint8_t* head, size_t size) {
        seen.push_back(size);
        return size >= 4 && std::memcmp(head, "GIF8", 4) == 0;
    };
    params.flags = LOAD_KEEP_COMMENT | LOAD_ACCEPT_DAMAGED;
    params.format_index = 6;
    TempFile other(".gif", "\x89PNG\r\n\x1a\n and more");
    EXPECT_EQ(load(other.path()), STATUS_UNKNOWN_FORMAT);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(last_comment, "");

    TempFile gif(".gif", "GIF89a" + std::string(200, 'x'));
    EXPECT_EQ(load(gif.path()), STATUS_OK);
    EXPECT_EQ(calls, (std::vector<int>{6}));
    EXPECT_EQ(last_comment, "kept comment");
    TempFile short_gif(".gif", "GIF8");
    EXPECT_EQ(load(short_gif.path()), STATUS_OK);
    EXPECT_EQ(seen, (std::vector<size_t>{17, FORMAT_HEAD_BYTES, 4}));
}

TEST_F(Recognition, EveryBuiltInReaderHasASignatureCheck)
{
    for (int i = 0; i < builtin_format_count; ++i) {
        const BuiltinFormat& b = builtin_formats[i];
        EXPECT_TRUE(!b.row.reader || b.signature) << b.row.name;
    }
    // Short files are refused by the checks, not by the readers.
    const uint8_t one = 0xFF;
    for (int i = 0; i < format_count(); ++i) {
        const FormatSignature check = format_signatures()[i];
        EXPECT_TRUE(!check || !check(&one, 1)) << format_get_name(i);
    }
}

TEST_F(Recognition, DamagedFilesNeedAcceptDamaged)
{
    fake(1, "T");
    fakes[1].accept = STATUS_INCOMPLETE;
    fakes[1].begin = true;
    TempFile f(".tga", "TTTT");
    FileInfo info{};
    EXPECT_EQ(load(f.path(), &info), STATUS_INCOMPLETE);
    EXPECT_EQ(last_comment, "");
    params.flags = LOAD_ACCEPT_DAMAGED | LOAD_KEEP_COMMENT;
    EXPECT_EQ(load(f.path(), &info), STATUS_OK);
    EXPECT_EQ(last_comment, "kept comment");
    fakes[1].accept = STATUS_CORRUPT;
    EXPECT_EQ(load(f.path(), &info), STATUS_OK);
}

TEST_F(Recognition, KeptMetadataReachesThePictureAndTheInfo)
{
    fake(0, "\xFF\xD8");
    params.flags = LOAD_KEEP_COMMENT | LOAD_KEEP_CHUNKS | LOAD_KEEP_TEXTS;
    TempFile f(".jpg", "\xFF\xD8...");
    FileInfo info{};
    EXPECT_EQ(load(f.path(), &info), STATUS_OK);
    EXPECT_EQ(last_comment, "kept comment");
    EXPECT_EQ(last_chunks, (std::vector<std::string>{"iptc", "exif"}));  // newest first
    ASSERT_EQ(info.text_count, 2);
    EXPECT_STREQ(info.texts[0], "Author: Ana");
    EXPECT_STREQ(info.texts[1], "plain");
    file_info_free_texts(&info);
}

TEST_F(Recognition, FailuresCarryTheReadersMessageAndTheRow)
{
    FormatEntry& row = format_rows()[7];
    row.flags |= FORMAT_READ;
    row.reader = [](Stream*, LoadContext* ctx) -> Status {
        return load_fail(ctx, STATUS_BAD_HEADER, "Pcx : Bad picture's size !");
    };
    TempFile f(".pcx", "\x0A\x05");
    FileInfo info{};
    EXPECT_EQ(load(f.path(), &info), STATUS_BAD_HEADER);
    EXPECT_STREQ(info.message, "Pcx : Bad picture's size !");
    EXPECT_EQ(info.format_index, 7);
    EXPECT_EQ(info.file_size, 0u);
}

TEST_F(Recognition, FormatIndexPicksOneRowOnly)
{
    fake(0, "\xFF\xD8");
    fake(3, "BM");
    TempFile f(".jpg", "BM....");
    params.format_index = 0;
    EXPECT_EQ(load(f.path()), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(calls, (std::vector<int>{0}));
    params.format_index = 3;
    EXPECT_EQ(load(f.path()), STATUS_OK);
    params.format_index = 40;
    EXPECT_EQ(load(f.path()), STATUS_UNKNOWN_FORMAT);
}

TEST_F(Recognition, PreviewRequestsAreMarkedForTheReaders)
{
    static uint32_t seen_flags;
    FormatEntry& row = format_rows()[18];
    row.flags |= FORMAT_READ;
    row.reader = [](Stream*, LoadContext* ctx) -> Status {
        seen_flags = ctx->params.flags;
        return STATUS_UNKNOWN_FORMAT;
    };
    TempFile f(".eps", "%!PS");
    params.flags = LOAD_PREVIEW;
    EXPECT_EQ(load(f.path()), STATUS_UNKNOWN_FORMAT);
    EXPECT_EQ(seen_flags & (LOAD_PREVIEW | LOAD_PREVIEW_MARK), LOAD_PREVIEW | LOAD_PREVIEW_MARK);
}

TEST_F(Recognition, EmptyFilesAndFoldersCannotBeOpened)
{
    fake(0, "");
    TempFile empty(".jpg");
    EXPECT_EQ(load(empty.path()), STATUS_OPEN_FAILED);
    const std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(load(folder.c_str()), STATUS_OPEN_FAILED);
    EXPECT_TRUE(calls.empty());
}

TEST(LoadParams, DefaultsMatchWhatCallersRelyOn)
{
    LoadParams p;
    std::memset(&p, 0xAB, sizeof p);
    load_params_init(&p);
    EXPECT_EQ(p.format_index, -1);
    EXPECT_EQ(p.line_padding, 4);
    EXPECT_EQ(p.default_alpha, 255);
    EXPECT_EQ(p.box_width, -1);
    EXPECT_EQ(p.box_height, -1);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_EQ(p.render_resolution, 72);
    EXPECT_EQ(p.reserved_84, 768);
    EXPECT_FLOAT_EQ(p.reserved_120, 0.6f);
    EXPECT_EQ(p.line_callback, nullptr);

    HeaderInfo h;
    std::memset(&h, 0xAB, sizeof h);
    header_init(&h);
    EXPECT_EQ(h.lines_per_call, 1);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bits_per_plane, 1);
    EXPECT_EQ(h.transparent_index, NO_TRANSPARENT_INDEX);
    EXPECT_EQ(h.full_bits_per_component, 8);
    EXPECT_EQ(h.line_buffer, nullptr);
    EXPECT_EQ(h.format_label[0], '\0');
}

TEST(LoadNames, CompressionAndColourModels)
{
    EXPECT_STREQ(compression_name(9, nullptr), "CCITT Group 4");
    EXPECT_STREQ(compression_name(42, nullptr), "Uncompressed");
    EXPECT_STREQ(compression_name(255, "PackBits"), "PackBits");
    EXPECT_STREQ(colour_model_name(6), "CIE Lab");
    EXPECT_STREQ(colour_model_name(0), "RGB");
}

}  // namespace
