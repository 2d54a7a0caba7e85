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
#include "formats/metafile/metafile_codec.h"
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

// 5-bit samples of 16-bit PICT pixels are spread over the whole range as well (level x 255 / 31);
// the reference decoder shifts them (level x 8).
std::string as_shifted_fives(const Picture& pic)
{
    std::vector<uint8_t> rgba = picture_to_rgba(pic);
    for (size_t i = 0; i < rgba.size(); ++i)
        if (i % 4 != 3) rgba[i] = static_cast<uint8_t>((rgba[i] * 31 + 127) / 255 * 8);
    return sha256_hex(rgba.data(), rgba.size());
}

// XPM's "None" is white in our colour-name table; the reference decoder gives transparent pixels
// no colour at all.
std::string as_clear_transparency(const Picture& pic)
{
    std::vector<uint8_t> rgba = picture_to_rgba(pic);
    for (size_t i = 0; i < rgba.size(); i += 4)
        if (rgba[i + 3] == 0) rgba[i] = rgba[i + 1] = rgba[i + 2] = 0;
    return sha256_hex(rgba.data(), rgba.size());
}

std::string comparable_sha256(const CorpusEntry& e, const Picture& pic)
{
    if (e.path == "pict/16bit.pict") return as_shifted_fives(pic);
    if (e.path == "xpm/gs_l.xpm") return as_clear_transparency(pic);
    return our_hash(e, pic);
}

// Files where our reading rules and the reference decoder part ways, and why. Their sizes are
// still compared unless marked otherwise; their pixels are not.
struct Known {
    const char* path;
    const char* why;
    bool size_differs;
};

const Known* known_difference(const CorpusEntry& e)
{
    static const Known known[] = {
        // Pictures that draw several rasters (or vectors) into their frame: we read the first raster
        // image alone, at the size of its own bounds; the reference paints the whole frame.
        {"pict/FC10.PCT", "later bitmap opcodes draw over the first", false},
        {"pict/demo.pict", "a drawing of several pixmaps; the first is read", true},
        {"pict/Picture14.pict", "the first pixmap's bounds (411 wide) exceed the 404-wide frame it is clipped to", true},
        // HAM modifications carry 4 bits that we spread over 0..255 (x 17); the reference shifts
        // them (x 16), and its colour map handling differs for files with full 8-bit maps.
        {"iff/A4000T_HAM6.IFF", "HAM values spread, not shifted", false},
        {"iff/glass.iff", "HAM values spread, not shifted", false},
        // Photoshop: CMYK goes through our ink formula, not a colour profile; grey with alpha is
        // read as grey; 16-bit samples keep their high bytes where the only decoder converts
        // through its own colour management.
        {"psd/cmyk_8bits.psd", "CMYK converted by the ink formula", false},
        {"psd/psdtools-gray0.psd", "grey with alpha is read as grey", false},
        {"psd/psdtools-16bit5x5.psd", "16-bit samples keep their high bytes", false},
        // More than 256 colours load as true colour, which keeps no transparent colour.
        {"xpm/python3.xpm", "316 colours load as true colour without transparency", false},
    };
    for (const Known& k : known)
        if (e.path == k.path) return &k;
    return nullptr;
}

// TIFF files whose pixels are compared by size only, and why:
// - 16-bit samples and 16-bit colour maps keep their high byte, as our reading rule says; the
//   reference divides by 257 instead, so levels differ by one here and there.
bool tiff_size_only(const CorpusEntry& e)
{
    static const char* const files[] = {"tiff/minisblack-1c-16b.tiff", "tiff/rgb-3c-16b.tiff", "tiff/flower-cmyk16-planar.tif",
                                        "tiff/palette-1c-4b.tiff", "tiff/palette-1c-8b.tiff"};
    for (const char* f : files)
        if (e.path == f) return true;
    return false;
}

// The reference hashes TIFF pages in their stored order; orientation 3 (bottom-up, right to left)
// is turned upright by our loader, so the picture is hashed read back the other way round.
uint16_t stored_origin(const CorpusEntry& e)
{
    return e.path == "tiff/g4_orientation_3.tif" ? PICTURE_ORIGIN_BOTTOM | PICTURE_ORIGIN_RIGHT_TO_LEFT : 0;
}

// Targa colour maps of 16-bit entries are refused: our reader takes 24- and 32-bit maps only.
bool refused_by_rule(const CorpusEntry& e) { return e.path == "tga/UCM8.TGA" || e.path == "tga/CCM8.TGA"; }

// The manifest keeps a decoder's hash of this bottom-left Targa turned upside down (its label
// "BOT LEFT" then reads upside down at the top); ours has the label upright at the bottom left.
std::string own_hash(const CorpusEntry& e)
{
    if (e.path == "tga/FLAG_B16.TGA") return "0d32f4d48ef5ed92378863ca8c618291a29466960f6395450000890496d5c4ef";
    return e.rgba_sha256;
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
        // Vector documents are rendered at sizes of our own rule, checked by their codecs' tests;
        // metafiles need Windows.
        if (e.notes.find("vector/PostScript") != std::string::npos) {
            if (!metafile_supported() && (e.format == "wmf" || e.format == "emf")) {
                EXPECT_EQ(status, STATUS_UNKNOWN_FORMAT);
            }
            file_info_free_texts(&info);
            picture_free(&pic);
            continue;
        }
        if (!readable || refused_by_rule(e)) {
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
            const Known* known = known_difference(e);
            if (!known || !known->size_differs) {
                EXPECT_EQ(pic.width, e.width);
                EXPECT_EQ(pic.height, e.height);
            }
            if (status == STATUS_OK && !e.rgba_sha256.empty() && !known && !tiff_size_only(e)) {
                pic.origin = static_cast<uint16_t>(pic.origin ^ stored_origin(e));
                EXPECT_EQ(comparable_sha256(e, pic), own_hash(e));
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
