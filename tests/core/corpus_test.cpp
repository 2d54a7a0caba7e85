// Every real file beside the project, loaded as a user's file would be. Files of formats whose
// reader exists are compared with the independent decoder's size and pixels; the others must be
// reported as not recognised, never as something else.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
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

// An RLE4 file that codes 302 pixels on each of its 301-pixel lines. We drop what passes a
// line's end; the reference decoders carry it onto the start of the next line, where it stays
// unless that line's own codes paint over it. The reference's picture is ours with those carried
// pixels put back, found by walking the file's codes.
constexpr char RLE4_PAST_LINE_END[] = "bmp/blauesglas_4_rle4.bmp";

std::vector<uint8_t> file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string as_reference_rle4(const Picture& pic, const std::string& path)
{
    const std::vector<uint8_t> f = file_bytes(path);
    auto u32 = [&](size_t at) { return uint32_t{f[at]} | uint32_t{f[at + 1]} << 8 | uint32_t{f[at + 2]} << 16 | uint32_t{f[at + 3]} << 24; };
    const int width = static_cast<int>(u32(18)), height = static_cast<int>(u32(22));
    std::vector<int> carried(static_cast<size_t>(height) + 1, -1);  // by file line
    std::vector<bool> first_painted(static_cast<size_t>(height) + 1, false);
    int x = 0, y = 0;
    auto paint = [&](int value) {
        if (y >= height) return;
        if (x == 0) first_painted[y] = true;
        if (x == width) carried[y + 1] = value;
        ++x;
    };
    for (size_t at = u32(10); at + 1 < f.size() && y < height;) {
        const int count = f[at], value = f[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) paint(i & 1 ? value & 15 : value >> 4);
        } else if (value == 0) {
            ++y;
            x = 0;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            x += f[at];
            y += f[at + 1];
            at += 2;
        } else {
            for (int i = 0; i < value; ++i) paint(i & 1 ? f[at + i / 2] & 15 : f[at + i / 2] >> 4);
            at += ((value + 1) / 2 + 1) & ~size_t{1};
        }
    }
    std::vector<uint8_t> rgba = picture_to_rgba(pic);
    for (int line = 0; line < height; ++line) {
        const int index = carried[line];
        if (index < 0 || first_painted[line]) continue;
        uint8_t* px = rgba.data() + static_cast<size_t>(height - 1 - line) * pic.width * 4;  // bottom-up
        px[0] = pic.colour_map[index];
        px[1] = pic.colour_map[256 + index];
        px[2] = pic.colour_map[512 + index];
    }
    return sha256_hex(rgba.data(), rgba.size());
}

std::string our_hash(const CorpusEntry& e, const Picture& pic)
{
    if (e.path == RLE4_PAST_LINE_END) return as_reference_rle4(pic, corpus_path(e.path));
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
                EXPECT_EQ(our_hash(e, pic), e.rgba_sha256);
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
