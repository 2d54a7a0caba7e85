// Every real file beside the project, loaded as a user's file would be. Files of formats whose
// reader exists are compared with the independent decoder's size and pixels; the others must be
// reported as not recognised, never as something else.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/inspect.h"
#include "core/format.h"
#include "support/corpus.h"

namespace {

// The manifest names formats as the files are known; the registry has one row per variant.
int row_for(const std::string& format)
{
    if (format == "eps") return format_find_by_name("eps");
    return format_find_by_name(format.c_str());
}

bool doubtful(const CorpusEntry& e) { return e.notes.find("confidence: DOUBTFUL") != std::string::npos; }

// BMP bit fields: level n of a field of k bits becomes n x 255 / (2^k - 1), truncated, as our
// reading rule says. The reference decoders widen fields otherwise: 4-bit ones are shifted
// (n x 16, so 15 is 240), 5- and 6-bit ones repeat their bits (5 bits abcde give abcdeabc), which
// differs from our rule by one for some levels. The pixels must agree once our levels are turned
// back into the field's levels and widened their way.
struct FieldWidths {
    const char* path;
    int red, green, blue;
    bool shifted;  // widened by shifting rather than by repeating bits
};
const FieldWidths bit_field_files[] = {
    {"bmp/blauesglas_16_bitmask444.bmp", 4, 4, 4, true},
    {"bmp/rgb16.bmp", 5, 5, 5, false},
    {"bmp/rgb16-565.bmp", 5, 6, 5, false},
};

uint8_t widened_their_way(uint8_t ours, int bits, bool shifted)
{
    const int top = (1 << bits) - 1;
    const int level = (ours * top + 127) / 255;  // our levels are at most 0.5 below n x 255 / top
    if (shifted) return static_cast<uint8_t>(level << (8 - bits));
    return static_cast<uint8_t>(level << (8 - bits) | level >> (2 * bits - 8));
}

std::string as_reference_fields(const Picture& pic, const FieldWidths& f)
{
    std::vector<uint8_t> rgba = picture_to_rgba(pic);
    const int widths[3] = {f.red, f.green, f.blue};
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) rgba[i] = widened_their_way(rgba[i], widths[i % 4], f.shifted);
    return sha256_hex(rgba.data(), rgba.size());
}

const FieldWidths* bit_fields_of(const CorpusEntry& e)
{
    for (const FieldWidths& f : bit_field_files)
        if (e.path == f.path) return &f;
    return nullptr;
}

// An RLE4 file that codes 302 pixels on each of its 301-pixel lines: the reference decoders
// carry each line's last nibble onto the start of the next line (143 pixels of the first column
// differ), where we drop what passes a line's end. The hash of the picture with those nibbles
// dropped, checked by hand against the reference's in every other pixel.
constexpr char RLE4_PAST_LINE_END[] = "bmp/blauesglas_4_rle4.bmp";
constexpr char RLE4_DROPPED_SHA256[] = "9e390cef49c59ff9e703334007165bcb1d3d5a1e5d87bfcc419acce922671d4b";

std::string expected_hash(const CorpusEntry& e)
{
    return e.path == RLE4_PAST_LINE_END ? RLE4_DROPPED_SHA256 : e.rgba_sha256;
}

std::string our_hash(const CorpusEntry& e, const Picture& pic)
{
    const FieldWidths* f = bit_fields_of(e);
    return f ? as_reference_fields(pic, *f) : picture_rgba_sha256(pic);
}

class Corpus : public ::testing::Test {
protected:
    void SetUp() override { library_init(); }
    void TearDown() override { library_exit(); }
};

TEST_F(Corpus, EveryFileLoadsAsItsFormatOrIsNotRecognised)
{
    const auto manifest = corpus_manifest();
    ASSERT_FALSE(manifest.empty()) << "no corpus at " << corpus_dir();
    int compared = 0;
    for (const CorpusEntry& e : manifest) {
        SCOPED_TRACE(e.path);
        const int row = row_for(e.format);
        ASSERT_GE(row, 0) << "unknown format " << e.format;
        const bool readable = (format_rows()[row].flags & FORMAT_READ) != 0;

        LoadParams params;
        load_params_init(&params);
        Picture pic{};
        FileInfo info{};
        Status status = load_picture(corpus_path(e.path).c_str(), &pic, &params, &info);
        if (!readable) {
            EXPECT_EQ(status, STATUS_UNKNOWN_FORMAT);
            EXPECT_EQ(pic.data, nullptr);
        } else if (!doubtful(e)) {
            ++compared;
            if (e.variant.find("truncated") != std::string::npos) {
                // A damaged file fails as a photo and gives its partial picture as a thumbnail.
                EXPECT_EQ(status, STATUS_INCOMPLETE);
                picture_free(&pic);
                params.flags |= LOAD_ACCEPT_DAMAGED;
                file_info_free_texts(&info);
                status = load_picture(corpus_path(e.path).c_str(), &pic, &params, &info);
            }
            EXPECT_EQ(status, STATUS_OK) << info.message;
            EXPECT_EQ(pic.width, e.width);
            EXPECT_EQ(pic.height, e.height);
            if (status == STATUS_OK && !e.rgba_sha256.empty()) {
                EXPECT_EQ(our_hash(e, pic), expected_hash(e));
            }
        }
        file_info_free_texts(&info);
        picture_free(&pic);
    }
    RecordProperty("compared", compared);
}

TEST_F(Corpus, ThumbnailLoadsOfUnreadableFormatsAreRefusedByExtension)
{
    for (const CorpusEntry& e : corpus_manifest()) {
        const int row = row_for(e.format);
        if (row < 0 || (format_rows()[row].flags & FORMAT_READ)) continue;
        LoadParams params;
        load_params_init(&params);
        params.flags = 7172;
        params.box_width = 92;
        params.box_height = 64;
        Picture pic{};
        EXPECT_EQ(load_picture(corpus_path(e.path).c_str(), &pic, &params, nullptr), STATUS_UNKNOWN_FORMAT)
            << e.path;
        picture_free(&pic);
    }
}

}  // namespace
