// Windows metafiles: the corpus's files drawn at the sizes their headers give, with their
// drawings on the picture; hand-made placeable and enhanced files for the sizing rules; pictures
// written as EMF and read back. Elsewhere than on Windows the rows recognise nothing and the
// writer refuses.
#include <algorithm>
#include <random>

#include "formats/codec_files.h"
#include "formats/metafile/metafile_codec.h"
#include "support/corpus.h"

#if defined(_WIN32)
#include <windows.h>

#include "core/status.h"  // after windows.h: keeps STATUS_NO_MEMORY the library's
#endif

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << c.r << "," << c.g << "," << c.b; }

Rgb pixel(const Picture& p, int x, int y)
{
    const uint8_t* q = picture_line(&p, y) + x * p.bytes_per_pixel;
    return {q[0], q[1], q[2]};
}

// The share of pixels, in thousandths, that are not white.
int drawn_share(const Picture& p)
{
    int64_t drawn = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (!(pixel(p, x, y) == Rgb{255, 255, 255})) ++drawn;
    return static_cast<int>(drawn * 1000 / (int64_t{p.width} * p.height));
}

int count_colour(const Picture& p, Rgb colour)
{
    int n = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (pixel(p, x, y) == colour) ++n;
    return n;
}

// The corpus's metafiles, at the sizes the reader's rule gives. Placeable and plain ones are
// converted for the screen: their sizes are those of the test display's 1280 x 1024 pixels over
// 339 x 271 mm (96 dpi).
struct CorpusFile {
    const char* path;
    int width, height;
    const char* label;
    Rgb colour;  // a colour the drawing fills with
};
const CorpusFile corpus_files[] = {
    // Placeable: a box of 1369 units at 1200 per inch is 2897 hundredths of a millimetre, which
    // the screen's 1280 pixels over 339 mm make 109 pixels.
    {"wmf/drawing.wmf", 109, 109, "Windows Placeable metafile", {255, 0, 0}},
    // Plain: no description, so the frame is the one the system's conversion chooses; Wine
    // takes the drawing's bounds, 32787 x 26200 hundredths of a millimetre: 1237 x 989.
    {"wmf/drawing-plain.wmf", 1237, 989, "Windows metafile", {255, 0, 0}},
    // Enhanced: the frame (hundredths of a millimetre) at the file's own reference device.
    // 2899 x 10205 px / 216 mm -> 1369; 2899 x 13181 / 279 -> 1369.
    {"emf/drawing.emf", 1369, 1369, "Windows Enhanced metafile", {255, 0, 0}},
    // 12275 x 1280 / 320 -> 491; 6330 x 800 / 240 -> 211.
    {"emf/test-000.emf", 491, 211, "Windows Enhanced metafile", {-1, -1, -1}},
    // 16000 x 1280 / 320 -> 640; 12000 x 800 / 240 -> 400.
    {"emf/test-129.emf", 640, 400, "Windows Enhanced metafile", {-1, -1, -1}},
    // Frame (2313, -22219) to (10188, -16094): 7875 x 1024 / 320 -> 252; 6125 x 768 / 240 -> 196.
    {"emf/test-152.emf", 252, 196, "Windows Enhanced metafile", {-1, -1, -1}},
    // 29699 x 10205 / 216 -> 14031 and 20999 x 13181 / 279 -> 9920, over 5000: a tenth.
    {"emf/test_libuemf_ref.emf", 1403, 992, "Windows Enhanced metafile", {-1, -1, -1}},
};

// A placeable metafile of a box of `box_w` x `box_h` units at `units` per inch, filled with one
// red rectangle over the whole box.
std::string placeable_wmf(int box_w, int box_h, int units)
{
    std::string records;
    auto record = [&](uint16_t function, std::initializer_list<int> args) {
        put_le(records, static_cast<uint32_t>(3 + args.size()), 4);
        put_le(records, function, 2);
        for (int a : args) put_le(records, static_cast<uint32_t>(a), 2);
    };
    record(0x020B, {0, 0});                           // SetWindowOrg(y, x)
    record(0x020C, {box_h, box_w});                   // SetWindowExt(y, x)
    record(0x02FC, {0, 0x00FF, 0x0000, 0});           // CreateBrushIndirect: solid red
    record(0x012D, {0});                              // SelectObject
    record(0x041B, {box_h, box_w, 0, 0});             // Rectangle(bottom, right, top, left)
    record(0x0000, {});                               // end
    std::string meta;
    put_le(meta, 1, 2);                                         // in memory
    put_le(meta, 9, 2);                                         // header words
    put_le(meta, 0x300, 2);                                     // version
    put_le(meta, static_cast<uint32_t>((18 + records.size()) / 2), 4);
    put_le(meta, 1, 2);                                         // objects
    put_le(meta, 7, 4);                                         // largest record
    put_le(meta, 0, 2);
    meta += records;
    std::string file;
    put_le(file, METAFILE_PLACEABLE_KEY, 4);
    put_le(file, 0, 2);
    for (int v : {0, 0, box_w, box_h}) put_le(file, static_cast<uint32_t>(v), 2);
    put_le(file, static_cast<uint32_t>(units), 2);
    put_le(file, 0, 4);
    uint16_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) sum ^= static_cast<uint16_t>(uint8_t(file[i]) | uint8_t(file[i + 1]) << 8);
    put_le(file, sum, 2);
    return file + meta;
}

// An enhanced metafile holding only its header and end, with the given frame (hundredths of a
// millimetre) and bounds, recorded on a 1280 x 800 pixel, 320 x 240 mm device.
std::string empty_emf(int frame_w, int frame_h, int bounds_w, int bounds_h)
{
    std::string f;
    put_le(f, 1, 4);   // header record
    put_le(f, 88, 4);  // its size
    for (int v : {0, 0, bounds_w, bounds_h, 0, 0, frame_w, frame_h}) put_le(f, static_cast<uint32_t>(v), 4);
    put_le(f, METAFILE_ENHANCED_SIGNATURE, 4);
    put_le(f, 0x10000, 4);  // version
    put_le(f, 108, 4);      // bytes
    put_le(f, 2, 4);        // records
    put_le(f, 1, 2);        // handles
    put_le(f, 0, 2);
    for (int v : {0, 0, 0, 1280, 800, 320, 240}) put_le(f, static_cast<uint32_t>(v), 4);
    for (int v : {14, 20, 0, 16, 20}) put_le(f, static_cast<uint32_t>(v), 4);  // end record
    return f;
}

class Metafile : public CodecTest {
protected:
    // Pictures as red, green, blue bytes whatever depth the drawing was read back at.
    // A null format: found by recognition.
    LoadParams rgb_params(const char* format, uint32_t flags = 0)
    {
        LoadParams p = params(format ? format : "emf", flags | LOAD_WANT_COLOUR | LOAD_DEEP_AS_RGB);
        if (!format) p.format_index = -1;
        return p;
    }
    void TearDown() override
    {
        metafile_set_readback_bits(0);
        CodecTest::TearDown();
    }
    Picture& write_and_read(const Picture& source, Status* read_status = nullptr)
    {
        SaveParams sp = save_params("emf");
        TempFile file(".emf");
        const Status saved = save_picture(file.path(), &source, &sp);
        Picture back{};
        Status status = STATUS_UNKNOWN_FORMAT;
        if (saved == STATUS_OK) status = load(file.path(), &back, rgb_params("emf"));
        if (read_status) *read_status = status;
        EXPECT_EQ(saved, STATUS_OK);
        return keep(back);
    }
};

// Whether the screen is the one the sizes of converted metafiles were worked out for.
bool test_screen()
{
#if defined(_WIN32)
    HDC screen = GetDC(nullptr);
    const bool same = GetDeviceCaps(screen, HORZRES) == 1280 && GetDeviceCaps(screen, VERTRES) == 1024 &&
                      GetDeviceCaps(screen, HORZSIZE) == 339 && GetDeviceCaps(screen, VERTSIZE) == 271;
    ReleaseDC(nullptr, screen);
    return same;
#else
    return false;
#endif
}

TEST_F(Metafile, CorpusFilesDrawAtTheirHeadersSize)
{
    const std::vector<CorpusEntry> manifest = corpus_manifest();
    if (manifest.empty()) GTEST_SKIP() << "no corpus";
    int tested = 0;
    for (const CorpusEntry& e : manifest) {
        if (e.format != "wmf" && e.format != "emf") continue;
        SCOPED_TRACE(e.path);
        const CorpusFile* found = std::find_if(std::begin(corpus_files), std::end(corpus_files),
                                               [&](const CorpusFile& c) { return e.path == c.path; });
        ASSERT_NE(found, std::end(corpus_files)) << "a metafile the test does not know yet";
        const CorpusFile& c = *found;
        ++tested;
        const bool enhanced = std::string(c.path).rfind("emf/", 0) == 0;
        Picture pic{};
        FileInfo info{};
        const Status status = load(corpus_path(c.path), &pic, rgb_params(enhanced ? "emf" : "wmf"), &info);
        keep(pic);
        if (!metafile_supported()) {
            EXPECT_EQ(status, STATUS_UNKNOWN_FORMAT);
            EXPECT_EQ(pic.data, nullptr);
            continue;
        }
        ASSERT_EQ(status, STATUS_OK) << info.message;
        if (enhanced || test_screen()) {
            EXPECT_EQ(pic.width, c.width);
            EXPECT_EQ(pic.height, c.height);
        }
        EXPECT_STREQ(info.format_label, c.label);
        // Each drawing covers a good part of its picture: a blank white picture means nothing was
        // played.
        EXPECT_GT(drawn_share(pic), 10) << "thousandths of the picture drawn";
        if (c.colour.r >= 0) {
            EXPECT_GT(count_colour(pic, c.colour), pic.width * pic.height / 20);
        }
    }
    EXPECT_GE(tested, 6);
}

TEST_F(Metafile, RecognisedByExtensionOnly)
{
    if (corpus_manifest().empty()) GTEST_SKIP() << "no corpus";
    // Found through recognition as well as through their rows; a metafile's bytes under another
    // name are not taken for one.
    for (const char* path : {"wmf/drawing.wmf", "emf/drawing.emf"}) {
        SCOPED_TRACE(path);
        Picture pic{};
        const Status status = load(corpus_path(path), &pic, rgb_params(nullptr));
        keep(pic);
        EXPECT_EQ(status, metafile_supported() ? STATUS_OK : STATUS_UNKNOWN_FORMAT);
        Picture renamed{};
        EXPECT_NE(load_bytes(read_file(corpus_path(path).c_str()), ".dat", &renamed, rgb_params(nullptr)), STATUS_OK);
        keep(renamed);
    }
}

// What the system is handed of a plain metafile: the system trusts every size in it, so records
// that run past the file's end or past their own must never reach it.
TEST(WmfRecords, WholeFilesPassAndCutOnesEndOnTheirLastWholeRecord)
{
    auto u16 = [](const std::vector<uint8_t>& b, size_t at) { return static_cast<uint32_t>(b[at] | b[at + 1] << 8); };
    auto u32 = [&](const std::vector<uint8_t>& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; };
    // Walks the records as the system would: every one inside, ending with the end record.
    auto walks_to_its_end = [&](const std::vector<uint8_t>& b) {
        if (b.size() < 18 || u32(b, 6) * 2 != b.size()) return false;
        uint32_t largest = 0;
        for (size_t at = 18; at + 6 <= b.size();) {
            const size_t n = 2 * size_t{u32(b, at)};
            if (n < 6 || n > b.size() - at) return false;
            largest = std::max(largest, static_cast<uint32_t>(n / 2));
            if (u16(b, at + 4) == 0) return at + n == b.size() && u32(b, 12) >= largest;
            at += n;
        }
        return false;
    };

    if (!corpus_manifest().empty()) {
        for (const auto& [path, skip] : {std::pair<const char*, size_t>{"wmf/drawing-plain.wmf", 0}, {"wmf/drawing.wmf", 22}}) {
            SCOPED_TRACE(path);
            const std::string file = read_file(corpus_path(path).c_str());
            const auto* data = reinterpret_cast<const uint8_t*>(file.data()) + skip;
            const size_t size = file.size() - skip;
            bool whole = false;
            const std::vector<uint8_t> kept = wmf_sound_records(data, size, &whole);
            EXPECT_TRUE(whole);
            ASSERT_TRUE(walks_to_its_end(kept));
            EXPECT_TRUE(std::equal(kept.begin() + 18, kept.end(), data + 18));  // every record kept

            // Cut anywhere: the records before the cut, then an end record of its own.
            for (size_t cut = 18; cut < size; cut += 1 + cut / 64) {
                const std::vector<uint8_t> part = wmf_sound_records(data, cut, &whole);
                ASSERT_TRUE(walks_to_its_end(part)) << cut;
                EXPECT_LE(part.size(), cut + 6);
                EXPECT_TRUE(std::equal(part.begin() + 18, part.end() - 6, data + 18)) << cut;
            }
        }
    }

    // A header of 18 bytes, a polygon of `points` points in a record sized for `room`, the end.
    auto polygon_file = [](uint16_t points, uint16_t room) {
        std::vector<uint8_t> b = {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const uint32_t words = 3 + 1 + 2u * room;
        b.insert(b.end(), {static_cast<uint8_t>(words), static_cast<uint8_t>(words >> 8), 0, 0, 0x24, 0x03,
                           static_cast<uint8_t>(points), static_cast<uint8_t>(points >> 8)});
        b.insert(b.end(), 4u * room, 7);
        b.insert(b.end(), {3, 0, 0, 0, 0, 0});
        return b;
    };
    bool whole = false;
    const std::vector<uint8_t> fitting = polygon_file(5, 5);
    EXPECT_EQ(wmf_sound_records(fitting.data(), fitting.size(), &whole).size(), fitting.size());
    EXPECT_TRUE(whole);
    // 60000 points in a record holding 5: the drawing ends before it.
    const std::vector<uint8_t> lying = polygon_file(60000, 5);
    EXPECT_EQ(wmf_sound_records(lying.data(), lying.size(), &whole).size(), 24u);
    EXPECT_FALSE(whole);
    // An escape whose byte count runs past its record: likewise.
    std::vector<uint8_t> escape = {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   7, 0, 0, 0, 0x26, 0x06, 15, 0, 0xE8, 0x03, 1, 2, 3, 4, 3, 0, 0, 0, 0, 0};
    EXPECT_EQ(wmf_sound_records(escape.data(), escape.size(), &whole).size(), 24u);
    escape[26] = 4, escape[27] = 0;  // four bytes: they fit
    EXPECT_EQ(wmf_sound_records(escape.data(), escape.size(), &whole).size(), escape.size());
    // Selecting an object outside the file's table of one: the drawing ends before it.
    std::vector<uint8_t> select = {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                   4, 0, 0, 0, 0x2D, 0x01, 0, 0, 3, 0, 0, 0, 0, 0};
    EXPECT_EQ(wmf_sound_records(select.data(), select.size(), &whole).size(), select.size());
    select[24] = 5;
    EXPECT_EQ(wmf_sound_records(select.data(), select.size(), &whole).size(), 24u);
    // A record of size 0 would have the system walk in place; a header not 9 words long is no metafile.
    std::vector<uint8_t> stuck = fitting;
    stuck[18] = stuck[19] = 0;
    EXPECT_EQ(wmf_sound_records(stuck.data(), stuck.size(), &whole).size(), 24u);
    std::vector<uint8_t> odd = fitting;
    odd[2] = 10;
    EXPECT_TRUE(wmf_sound_records(odd.data(), odd.size(), &whole).empty());
}

// Enhanced metafiles likewise: records inside the data and ending with the end record, object
// indices inside the file's table, and regions filled with a stock brush given a brush of their
// own (Wine's player reads far outside the table for those).
TEST(EmfRecords, WholeFilesPassCutOnesEndAndStockBrushedRegionsGetTheirOwn)
{
    auto u32 = [](const std::vector<uint8_t>& b, size_t at) {
        return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
    };
    // The records as the system walks them: types in order, checked against the header's counts.
    auto walk = [&](const std::vector<uint8_t>& b) {
        std::vector<uint32_t> types;
        for (size_t at = 0; at + 8 <= b.size();) {
            const uint32_t n = u32(b, at + 4);
            if (n < 8 || n % 4 || n > b.size() - at) return std::vector<uint32_t>{};
            types.push_back(u32(b, at));
            at += n;
            if (types.back() == 14) {
                if (at != b.size() || u32(b, 48) != b.size() || u32(b, 52) != types.size()) return std::vector<uint32_t>{};
                return types;
            }
        }
        return std::vector<uint32_t>{};
    };

    if (!corpus_manifest().empty()) {
        for (const char* path : {"emf/drawing.emf", "emf/test-000.emf", "emf/test-129.emf", "emf/test-152.emf", "emf/test_libuemf_ref.emf"}) {
            SCOPED_TRACE(path);
            const std::string file = read_file(corpus_path(path).c_str());
            const auto* data = reinterpret_cast<const uint8_t*>(file.data());
            bool whole = false;
            const std::vector<uint8_t> kept = emf_sound_records(data, file.size(), &whole);
            EXPECT_TRUE(whole);
            const std::vector<uint32_t> types = walk(kept);
            ASSERT_FALSE(types.empty());
            if (std::string(path) != "emf/test_libuemf_ref.emf") {
                EXPECT_TRUE(std::equal(kept.begin() + 60, kept.end(), data + 60));
                EXPECT_EQ(kept.size(), file.size());
            } else {
                // Its two regions filled and framed with the grey stock brush: each now between
                // the creation and the deletion of a brush in a new slot of the table.
                const uint32_t slot = u32(std::vector<uint8_t>(data, data + 60), 56) & 0xFFFF;
                EXPECT_EQ(kept.size(), file.size() + 2 * (24 + 12));
                EXPECT_EQ(u32(kept, 56) & 0xFFFF, slot + 1);
                int regions = 0;
                for (size_t at = 0, i = 0; i < types.size(); at += u32(kept, at + 4), ++i) {
                    if (types[i] != 71 && types[i] != 72) continue;
                    ++regions;
                    EXPECT_EQ(u32(kept, at + 28), slot);
                    EXPECT_EQ(types[i - 1], 39u);
                    EXPECT_EQ(types[i + 1], 40u);
                }
                EXPECT_EQ(regions, 2);
            }
            // Cut anywhere after its header record (a cut header is no metafile).
            EXPECT_TRUE(emf_sound_records(data, u32(kept, 4) - 1, &whole).empty());
            for (size_t cut = u32(kept, 4); cut < file.size(); cut += 1 + cut / 16) {
                const std::vector<uint8_t> part = emf_sound_records(data, cut, &whole);
                ASSERT_FALSE(walk(part).empty()) << cut;
                EXPECT_FALSE(whole);
            }
        }
    }

    // A header of 88 bytes (a table of 2 objects), then: select stock object 7, delete object 5
    // (beyond the table), create a pen in stock slot 0x80000001, delete object 1, the end.
    std::vector<uint8_t> b(88, 0);
    auto put = [&](std::initializer_list<uint32_t> words) {
        for (uint32_t w : words)
            for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
    };
    b[0] = 1, b[4] = 88, b[40] = 0x20, b[41] = 'E', b[42] = 'M', b[43] = 'F', b[56] = 2;
    put({37, 12, 0x80000007});
    put({40, 12, 5});
    put({38, 28, 0x80000001, 0, 1, 0, 0});
    put({40, 12, 1});
    put({14, 20, 0, 16, 20});
    bool whole = true;
    const std::vector<uint8_t> kept = emf_sound_records(b.data(), b.size(), &whole);
    EXPECT_FALSE(whole);  // two records left out: the load will say so
    EXPECT_EQ(walk(kept), (std::vector<uint32_t>{1, 37, 40, 14}));
    EXPECT_EQ(u32(kept, 88 + 12 + 8), 1u);  // the deletion kept is object 1's

    // Points, polygons, characters and bitmaps counted beyond their record: each left out.
    auto kept_types = [&](std::initializer_list<uint32_t> record) {
        std::vector<uint8_t> file(b.begin(), b.begin() + 88);
        file[40] = 0x20;
        std::swap(b, file);
        put(record);
        put({14, 20, 0, 16, 20});
        std::swap(b, file);
        return walk(emf_sound_records(file.data(), file.size(), &whole));
    };
    const std::vector<uint32_t> left_out = {1, 14}, kept_too = {1, 86, 14};
    EXPECT_EQ(kept_types({86, 36, 0, 0, 9, 9, 2, 0x00010001, 0x00020002}), kept_too);  // a polygon of 2 points
    EXPECT_EQ(kept_types({86, 36, 0, 0, 9, 9, 60000, 0x00010001, 0x00020002}), left_out);
    EXPECT_EQ(kept_types({91, 44, 0, 0, 9, 9, 1, 2, 2, 0x00010001, 0x00020002}), (std::vector<uint32_t>{1, 91, 14}));
    EXPECT_EQ(kept_types({91, 44, 0, 0, 9, 9, 1, 2, 5, 0x00010001, 0x00020002}), left_out);  // a count above the total
    // Text of 3 characters whose string lies past the record's end.
    EXPECT_EQ(kept_types({84, 76, 0, 0, 9, 9, 1, 0, 0, 0, 0, 3, 74, 0, 0, 0, 0, 0, 0}), left_out);
    // A stretched bitmap of 2 x 2 at 24 bits with its 16 bytes of bits; then one of 100 x 100
    // whose bits are 12 bytes.
    EXPECT_EQ(kept_types({81, 136, 0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0, 0, 0,
                          40, 2, 2, 0x00180001, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}),
              (std::vector<uint32_t>{1, 81, 14}));
    EXPECT_EQ(kept_types({81, 120, 0, 0, 9, 9, 0, 0, 0, 0, 100, 100, 80, 40, 80, 12, 0, 0, 0, 0,
                          40, 100, 100, 0x00180001, 0, 0, 0, 0, 0, 0}),
              left_out);
    // Sides whose bits multiplied out are 2^64, nothing in 64 bits: 2^31 wide at 32 bits, as tall.
    EXPECT_EQ(kept_types({81, 120, 0, 0, 9, 9, 0, 0, 0, 0, 100, 100, 80, 40, 80, 12, 0, 0, 0, 0,
                          40, 0x80000000, 0x80000000, 0x00200001, 0, 0, 0, 0, 0, 0}),
              left_out);
    // Not an enhanced metafile's header.
    b[40] = 0;
    EXPECT_TRUE(emf_sound_records(b.data(), b.size(), &whole).empty());
}

TEST_F(Metafile, PlaceableBoxAtScreenResolution)
{
    const std::string inch_by_half = placeable_wmf(1440, 720, 1440);
    Picture pic{};
    FileInfo info{};
    const Status status = load_bytes(inch_by_half, ".wmf", &pic, rgb_params("wmf"), &info);
    keep(pic);
    if (!metafile_supported()) {
        EXPECT_EQ(status, STATUS_UNKNOWN_FORMAT);
        return;
    }
    ASSERT_EQ(status, STATUS_OK) << info.message;
#if defined(_WIN32)
    // One inch (2540 hundredths of a millimetre) by half an inch at the screen's pixels per mm.
    HDC screen = GetDC(nullptr);
    const int per_inch_x = MulDiv(2540, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, HORZSIZE)) / 100;
    const int per_inch_y = MulDiv(2540, GetDeviceCaps(screen, VERTRES), GetDeviceCaps(screen, VERTSIZE)) / 100;
    ReleaseDC(nullptr, screen);
    EXPECT_NEAR(pic.width, per_inch_x, 1);
    EXPECT_NEAR(pic.height, per_inch_y / 2, 1);
#endif
    // The red rectangle fills the box.
    EXPECT_EQ(pixel(pic, pic.width / 2, pic.height / 2), (Rgb{255, 0, 0}));
    EXPECT_GT(count_colour(pic, {255, 0, 0}), pic.width * pic.height * 8 / 10);
    const int plain_width = pic.width, plain_height = pic.height;

    // Scaled by its units per inch: 1440 / 96 times larger.
    LoadParams scaled = rgb_params("wmf");
    scaled.scale_placeable = 1;
    Picture big{};
    ASSERT_EQ(load_bytes(inch_by_half, ".wmf", &big, scaled), STATUS_OK);
    keep(big);
    EXPECT_EQ(big.width, plain_width * 1440 / 96);
    EXPECT_EQ(big.height, plain_height * 1440 / 96);
    EXPECT_EQ(pixel(big, big.width / 2, big.height / 2), (Rgb{255, 0, 0}));

    // At 96 units per inch or fewer the flag changes nothing.
    Picture low{};
    ASSERT_EQ(load_bytes(placeable_wmf(96, 48, 96), ".wmf", &low, scaled), STATUS_OK);
    keep(low);
    EXPECT_NEAR(low.width, plain_width, 1);
}

TEST_F(Metafile, DamagedPlaceableHeadersAreRefused)
{
    std::string zero_units = placeable_wmf(100, 100, 1440);
    zero_units[14] = zero_units[15] = 0;
    std::string cut = placeable_wmf(100, 100, 1440).substr(0, 30);
    for (const std::string& bytes : {zero_units, cut}) {
        Picture pic{};
        EXPECT_EQ(load_bytes(bytes, ".wmf", &pic, rgb_params("wmf")), STATUS_UNKNOWN_FORMAT);
        keep(pic);
    }
}

TEST_F(Metafile, HugeFramesAreBroughtDown)
{
    // 1125000 hundredths of a millimetre at 1280 pixels per 320 mm is 45000 pixels wide; 100 high.
    Picture pic{};
    FileInfo info{};
    const Status status = load_bytes(empty_emf(1125000, 3000, 800, 600), ".emf", &pic, rgb_params("emf"), &info);
    keep(pic);
    if (!metafile_supported()) {
        EXPECT_EQ(status, STATUS_UNKNOWN_FORMAT);
        return;
    }
    ASSERT_EQ(status, STATUS_OK) << info.message;
    EXPECT_EQ(pic.width, 4500);
    EXPECT_EQ(pic.height, 10);
    EXPECT_EQ(drawn_share(pic), 0) << "an empty metafile stays white";

    // Still too large once divided (60000 pixels become 6000): the bounds instead, scaled by
    // pixels per hundredth of a millimetre.
    Picture bounded{};
    ASSERT_EQ(load_bytes(empty_emf(1500000, 3000, 32000, 16000), ".emf", &bounded, rgb_params("emf")), STATUS_OK);
    keep(bounded);
    EXPECT_EQ(bounded.width, 32000 * 1280 / 32000);
    EXPECT_EQ(bounded.height, 16000 * 800 / 24000);
}

// The corpus's metafiles with bytes changed at random, as a damaged disk or a hostile file would
// have them: whatever the system is handed must never make it fault (under Wine it read outside
// the data for records whose sizes, counts or object indices were wrong). Drawn as thumbnails,
// small, to keep the run short.
TEST_F(Metafile, FilesWithChangedBytesGiveAStatus)
{
    if (!metafile_supported()) GTEST_SKIP() << "needs Windows";
    if (corpus_manifest().empty()) GTEST_SKIP() << "no corpus";
    std::mt19937 rng(2026);
    int loads = 0;
    for (const char* path : {"wmf/drawing-plain.wmf", "wmf/drawing.wmf", "emf/drawing.emf", "emf/test-000.emf",
                             "emf/test-129.emf", "emf/test-152.emf", "emf/test_libuemf_ref.emf"}) {
        const std::string file = read_file(corpus_path(path).c_str());
        const bool enhanced = std::string(path).rfind("emf", 0) == 0;
        for (int copy = 0; copy < 40; ++copy) {
            std::string changed = file;
            for (int n = 1 << (rng() % 5); n > 0; --n) {
                const size_t at = rng() % changed.size();
                switch (rng() % 3) {
                case 0: changed[at] = static_cast<char>(rng()); break;
                case 1: changed[at] = static_cast<char>(changed[at] ^ (1 << (rng() % 8))); break;
                default: changed[at] = "\x00\xFF\x7F\x80"[rng() % 4]; break;
                }
            }
            LoadParams p = rgb_params(enhanced ? "emf" : "wmf", LOAD_PREVIEW);
            p.box_width = 92;
            p.box_height = 64;
            Picture pic{};
            const Status status = load_bytes(changed, enhanced ? ".emf" : ".wmf", &pic, p);
            EXPECT_LE(status, STATUS_BAD_PARAMETER) << path << " copy " << copy;
            keep(pic);
            ++loads;
        }
    }
    EXPECT_EQ(loads, 280);
}

TEST_F(Metafile, ThumbnailsDrawnAtThreeTimesTheBox)
{
    if (corpus_manifest().empty()) GTEST_SKIP() << "no corpus";
    LoadParams p = rgb_params("emf", LOAD_PREVIEW);
    p.box_width = 92;
    p.box_height = 64;
    Picture pic{};
    FileInfo info{};
    const Status status = load(corpus_path("emf/drawing.emf"), &pic, p, &info);
    keep(pic);
    if (!metafile_supported()) {
        EXPECT_EQ(status, STATUS_UNKNOWN_FORMAT);
        return;
    }
    ASSERT_EQ(status, STATUS_OK);
    // 1369 x 1369 fits the box as 64 x 64; drawn at 192 x 192 and reduced into the box.
    EXPECT_EQ(info.width, 192);
    EXPECT_EQ(info.height, 192);
    EXPECT_EQ(pic.width, 64);
    EXPECT_EQ(pic.height, 64);
    EXPECT_GT(drawn_share(pic), 20);

    // A small drawing is drawn at its own size.
    Picture small{};
    FileInfo small_info{};
    p.format_index = static_cast<int16_t>(format_find_by_name("wmf"));
    ASSERT_EQ(load(corpus_path("wmf/drawing.wmf"), &small, p, &small_info), STATUS_OK);
    keep(small);
    if (test_screen()) {
        EXPECT_EQ(small_info.width, 109);
    }
}

TEST_F(Metafile, WrittenPicturesReadBackWithTheirPixels)
{
    // Blocks of distinct colours, each several pixels wide so that the size must match exactly
    // for every block to land where it was.
    Picture& colour = make(PIXEL_RGB, 40, 24);
    const Rgb blocks[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}, {200, 100, 50}};
    for (int y = 0; y < colour.height; ++y)
        for (int x = 0; x < colour.width; ++x) {
            const Rgb c = blocks[(x / 8 + y / 8) % 5];
            uint8_t* q = picture_line(&colour, y) + 3 * x;
            q[0] = static_cast<uint8_t>(c.r), q[1] = static_cast<uint8_t>(c.g), q[2] = static_cast<uint8_t>(c.b);
        }
    SaveParams sp = save_params("emf");
    TempFile file(".emf");
    const Status saved = save_picture(file.path(), &colour, &sp);
    if (!metafile_supported()) {
        EXPECT_NE(saved, STATUS_OK);
        return;
    }
    ASSERT_EQ(saved, STATUS_OK);
    EXPECT_TRUE(emf_signature(reinterpret_cast<const uint8_t*>(read_file(file.path()).data()), 44));
    Status status;
    const Picture& back = write_and_read(colour, &status);
    ASSERT_EQ(status, STATUS_OK);
    ASSERT_EQ(back.width, colour.width);
    ASSERT_EQ(back.height, colour.height);
    for (int y = 0; y < colour.height; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(row_bytes(back, y), row_bytes(colour, y));
    }
}

TEST_F(Metafile, WrittenBilevelAndMappedPicturesKeepTheirLook)
{
    if (!metafile_supported()) GTEST_SKIP() << "needs Windows";
    Picture& bilevel = make(PIXEL_BINARY, 33, 9);
    fill_pattern(bilevel, 2);
    Status status;
    const Picture& b = write_and_read(bilevel, &status);
    ASSERT_EQ(status, STATUS_OK);
    ASSERT_EQ(b.width, 33);
    ASSERT_EQ(b.height, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 33; ++x) {
            // Set bits are white in a bilevel picture.
            const int v = bit_get(picture_line(&bilevel, y), x) ? 255 : 0;
            ASSERT_EQ(pixel(b, x, y), (Rgb{v, v, v})) << x << "," << y;
        }

    Picture& mapped = make(PIXEL_COLORS, 16, 8);
    for (int i = 0; i < 256; ++i) {
        mapped.colour_map[i] = static_cast<uint8_t>(i * 16);
        mapped.colour_map[256 + i] = static_cast<uint8_t>(255 - i * 16);
        mapped.colour_map[512 + i] = static_cast<uint8_t>(i * 7);
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) picture_line(&mapped, y)[x] = static_cast<uint8_t>(x);
    const Picture& m = write_and_read(mapped, &status);
    ASSERT_EQ(status, STATUS_OK);
    ASSERT_EQ(m.width, 16);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(pixel(m, x, 5), (Rgb{x * 16, 255 - x * 16, x * 7}));
}

#if defined(_WIN32)
// Pure colours in blocks of 4 x 4: each survives any depth the screen may have (the 16 colours
// of 4-bit tables included), black and white even one bit.
const Rgb pure[] = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

Picture& pure_blocks(Picture& p)
{
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const Rgb c = pure[(x / 4 + y / 4) % 5];
            uint8_t* q = picture_line(&p, y) + 3 * x;
            q[0] = static_cast<uint8_t>(c.r), q[1] = static_cast<uint8_t>(c.g), q[2] = static_cast<uint8_t>(c.b);
        }
    return p;
}
#endif

TEST_F(Metafile, ReadBackAtTheDisplaysDepth)
{
    if (!metafile_supported()) GTEST_SKIP() << "needs Windows";
#if defined(_WIN32)
    const Picture& source = pure_blocks(make(PIXEL_RGB, 20, 12));
    SaveParams sp = save_params("emf");
    TempFile file(".emf");
    ASSERT_EQ(save_picture(file.path(), &source, &sp), STATUS_OK);

    HDC screen = GetDC(nullptr);
    const int display = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    // As the file gives it: Wine's 24-bit X screen is a 32-bit display, whose fourth byte the
    // drawing leaves unset; the picture must come out opaque.
    Picture as_is{};
    FileInfo info{};
    ASSERT_EQ(load(file.path(), &as_is, params("emf"), &info), STATUS_OK);
    keep(as_is);
    EXPECT_EQ(info.bits_per_plane, display == 15 ? 16 : display);
    if (display == 32) {
        ASSERT_EQ(as_is.type, PIXEL_RGBA);
        for (int y = 0; y < as_is.height; ++y)
            for (int x = 0; x < as_is.width; ++x) ASSERT_EQ(picture_line(&as_is, y)[4 * x + 3], 255) << x << "," << y;
    }

    // Every depth a display may have.
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        metafile_set_readback_bits(bits);
        Picture pic{};
        FileInfo pic_info{};
        ASSERT_EQ(load(file.path(), &pic, rgb_params("emf"), &pic_info), STATUS_OK);
        keep(pic);
        EXPECT_EQ(pic_info.bits_per_plane, bits);
        ASSERT_EQ(pic.width, source.width);
        ASSERT_EQ(pic.height, source.height);
        for (int y = 0; y < pic.height; ++y)
            for (int x = 0; x < pic.width; ++x) {
                const Rgb want = pure[(x / 4 + y / 4) % 5];
                // One bit holds black and white only.
                if (bits == 1 && !(want == Rgb{0, 0, 0}) && !(want == Rgb{255, 255, 255})) continue;
                ASSERT_EQ(pixel(pic, x, y), want) << x << "," << y;
            }
        // Up to 8 bits the colour table comes along: a colour-mapped picture when colour is not
        // asked for.
        if (bits == 8 || bits == 4) {
            Picture mapped{};
            ASSERT_EQ(load(file.path(), &mapped, params("emf")), STATUS_OK);
            keep(mapped);
            ASSERT_EQ(mapped.type, PIXEL_COLORS);
            const uint8_t red_index = picture_line(&mapped, 0)[8];
            EXPECT_EQ(mapped.colour_map[red_index], 255);
            EXPECT_EQ(mapped.colour_map[256 + red_index], 0);
            EXPECT_EQ(mapped.colour_map[512 + red_index], 0);
        }
    }
#endif
}

TEST_F(Metafile, WrittenGreyPicturesLookAsTheyDo)
{
    if (!metafile_supported()) GTEST_SKIP() << "needs Windows";
    // Grey pictures of fewer than 256 levels hold level numbers; the file must show them spread
    // over black to white, as every other writer does. Two, four, sixteen and all levels.
    for (int levels : {2, 4, 16, 256}) {
        SCOPED_TRACE(levels);
        Picture& grey = make(PIXEL_GREY, 32, 4);
        grey.colour_used = static_cast<int16_t>(levels);
        for (int y = 0; y < grey.height; ++y)
            for (int x = 0; x < grey.width; ++x) picture_line(&grey, y)[x] = static_cast<uint8_t>(x * levels / 32);
        Status status;
        const Picture& back = write_and_read(grey, &status);
        ASSERT_EQ(status, STATUS_OK);
        ASSERT_EQ(back.width, grey.width);
        for (int x = 0; x < grey.width; ++x) {
            const int v = x * levels / 32 * 255 / (levels - 1);
            ASSERT_EQ(pixel(back, x, 2), (Rgb{v, v, v})) << x;
        }
    }
}

}  // namespace
