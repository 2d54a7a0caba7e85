// Hostile input for every reader in the registry: each one is covered the day its row gets a
// reader. Real files of the format cut short at many points, other formats' files under this
// format's name, empty and one-byte files: always a status and a consistent result, never a crash,
// a leak or a hang (the sanitizer build runs this too).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/format.h"
#include "formats/postscript/ghostscript.h"
#include "core/load.h"
#include "support/corpus.h"
#include "support/files.h"

#if defined(__SANITIZE_ADDRESS__)
#define LUMEVA_SLOW_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMEVA_SLOW_BUILD 1
#endif
#endif

namespace {

// Every byte of a small file is a cut point; larger files get every byte of their first bytes,
// where the headers are parsed, then points spread over the rest. Files of megabytes are decoded
// whole at every point, so they get fewer.
constexpr size_t SMALL_FILE = 2048;
constexpr size_t HEADER_BYTES = 256;
constexpr size_t LARGE_FILE = 512 * 1024;
#if defined(LUMEVA_SLOW_BUILD)
constexpr size_t SPREAD_POINTS = 96;
constexpr size_t LARGE_SPREAD_POINTS = 6;
#else
constexpr size_t SPREAD_POINTS = 192;
constexpr size_t LARGE_SPREAD_POINTS = 24;
#endif

std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<size_t> cut_points(size_t size)
{
    std::vector<size_t> points;
    if (size <= SMALL_FILE) {
        for (size_t n = 1; n < size; ++n) points.push_back(n);
        return points;
    }
    for (size_t n = 1; n < HEADER_BYTES; ++n) points.push_back(n);
    const size_t spread = size > LARGE_FILE ? LARGE_SPREAD_POINTS : SPREAD_POINTS;
    for (size_t i = 1; i <= spread; ++i) points.push_back(HEADER_BYTES + (size - HEADER_BYTES) * i / (spread + 1));
    return points;
}

// The registry's readable rows, by short name (test names).
std::vector<std::string> readable_rows()
{
    library_init();
    std::vector<std::string> names;
    for (int i = 0; i < format_count(); ++i)
        if (format_rows()[i].flags & FORMAT_READ) names.emplace_back(format_get_name(i));
    library_exit();
    return names;
}

// The corpus names formats as files are known; the registry has a row per variant.
int row_of(const CorpusEntry& e) { return format_find_by_name(e.format.c_str()); }

bool single_type(uint32_t type) { return type != 0 && (type & (type - 1)) == 0 && type <= PIXEL_CMYK; }

class HostileInput : public ::testing::TestWithParam<std::string> {
protected:
    // The PostScript rows stop where the interpreter would start: its own robustness is not
    // ours to test, and hundreds of renderings would take minutes.
    ~HostileInput() override { ghostscript_set_library_name(nullptr); }
    void SetUp() override
    {
        ghostscript_set_library_name("/nonexistent/libgs.so");
        library_init();
        row = format_find_by_name(GetParam().c_str());
        ASSERT_GE(row, 0);
        extension = std::string(".") + format_rows()[row].extensions[0];
        for (const CorpusEntry& e : corpus_manifest())
            if (row_of(e) == row) own_files.push_back(e);
    }
    void TearDown() override { library_exit(); }

    static LoadParams photo_params()
    {
        LoadParams p;
        load_params_init(&p);
        p.flags = LOAD_KEEP_COMMENT | LOAD_KEEP_TEXTS | LOAD_KEEP_CHUNKS;
        return p;
    }
    static LoadParams thumbnail_params()
    {
        LoadParams p;
        load_params_init(&p);
        p.flags = LOAD_KNOWN_EXTENSION | LOAD_ACCEPT_DAMAGED | LOAD_DEEP_AS_RGB | LOAD_PREVIEW | LOAD_KEEP_CHUNKS;
        p.box_width = 92;
        p.box_height = 64;
        p.reduce_method = 2;
        p.use_exif_thumbnail = 1;
        return p;
    }

    // Loads the bytes as a file of this row's extension (or the one given) and checks that the
    // answer is a status and the picture consistent with it. Returns the status and the row that
    // answered.
    Status load(const std::string& bytes, const LoadParams& params, int* answered = nullptr, const char* suffix = nullptr)
    {
        TempFile file(suffix ? suffix : extension.c_str(), bytes);
        Picture pic{};
        FileInfo info{};
        const Status status = load_picture(file.path(), &pic, &params, &info);
        if (answered) *answered = info.format_index;
        static const std::set<Status> load_statuses = {STATUS_OK,         STATUS_NO_MEMORY, STATUS_UNKNOWN_FORMAT,
                                                       STATUS_OPEN_FAILED, STATUS_INCOMPLETE, STATUS_BAD_HEADER,
                                                       STATUS_CORRUPT};
        EXPECT_TRUE(load_statuses.count(status)) << "status " << status;
        if (status == STATUS_OK) {
            EXPECT_NE(pic.data, nullptr);
            EXPECT_GE(pic.width, 1);
            EXPECT_GE(pic.height, 1);
            EXPECT_TRUE(single_type(pic.type)) << "type " << pic.type;
            EXPECT_TRUE(pic.type != PIXEL_COLORS || pic.colour_map);
            if (params.box_width > 0 && !info.preview) {
                EXPECT_LE(pic.width, params.box_width);
                EXPECT_LE(pic.height, params.box_height);
            }
        } else {
            EXPECT_EQ(pic.data, nullptr);
            EXPECT_EQ(pic.colour_map, nullptr);
        }
        file_info_free_texts(&info);
        picture_free(&pic);
        return status;
    }

    int row = -1;
    std::string extension;
    std::vector<CorpusEntry> own_files;
};

TEST_P(HostileInput, EveryFileCutShortGivesAStatus)
{
    if (own_files.empty()) GTEST_SKIP() << "no corpus files of this format";
    const LoadParams photo = photo_params(), thumbnail = thumbnail_params();
    int loads = 0;
    for (const CorpusEntry& e : own_files) {
        SCOPED_TRACE(e.path);
        const std::string whole = read_bytes(corpus_path(e.path));
        for (size_t n : cut_points(whole.size())) {
            SCOPED_TRACE(n);
            // Photos and thumbnails take different paths through the readers: alternate them.
            load(whole.substr(0, n), n % 2 ? thumbnail : photo);
            ++loads;
            if (HasFailure()) return;  // one cut's report is enough
        }
    }
    RecordProperty("loads", loads);
}

TEST_P(HostileInput, OtherFormatsUnderThisNameAreLeftToTheirOwnReaders)
{
    const FormatEntry* rows = format_rows();
    int checked = 0;
    for (int other = 0; other < format_count(); ++other) {
        if (!(rows[other].flags & FORMAT_READ) || rows[other].reader == rows[row].reader) continue;
        // The smallest sound file of the other format that its own reader reads.
        std::vector<std::pair<size_t, std::string>> candidates;
        for (const CorpusEntry& e : corpus_manifest())
            if (row_of(e) == other && e.variant.find("truncated") == std::string::npos)
                candidates.emplace_back(std::filesystem::file_size(corpus_path(e.path)), e.path);
        std::sort(candidates.begin(), candidates.end());
        for (const auto& [size, path] : candidates) {
            const std::string bytes = read_bytes(corpus_path(path));
            LoadParams own = photo_params();
            own.format_index = static_cast<int16_t>(other);
            const std::string own_extension = std::string(".") + rows[other].extensions[0];
            if (load(bytes, own, nullptr, own_extension.c_str()) != STATUS_OK) continue;

            SCOPED_TRACE(path);
            int answered = -1;
            LoadParams forced = photo_params();
            forced.format_index = static_cast<int16_t>(row);
            EXPECT_NE(load(bytes, forced), STATUS_OK) << "this reader took a file of " << rows[other].name;
            // Formats without a content probe (the metafiles) are found by their extension alone.
            if (rows[other].flags & FORMAT_PROBE) {
                EXPECT_EQ(load(bytes, photo_params(), &answered), STATUS_OK);
                EXPECT_EQ(rows[answered].reader, rows[other].reader) << "answered by " << rows[answered].name;
            }
            load(bytes.substr(0, std::min<size_t>(bytes.size(), FORMAT_HEAD_BYTES)), thumbnail_params());
            ++checked;
            break;
        }
    }
    RecordProperty("formats", checked);
}

TEST_P(HostileInput, EmptyAndOneByteFilesAreRefused)
{
    std::vector<uint8_t> firsts = {0x00, 0xFF, 'P', '%'};
    for (const CorpusEntry& e : own_files) {
        const std::string whole = read_bytes(corpus_path(e.path));
        if (!whole.empty()) firsts.push_back(static_cast<uint8_t>(whole[0]));
    }
    for (int index : {-1, row}) {
        LoadParams photo = photo_params(), thumbnail = thumbnail_params();
        photo.format_index = thumbnail.format_index = static_cast<int16_t>(index);
        EXPECT_EQ(load("", photo), STATUS_OPEN_FAILED);
        EXPECT_EQ(load("", thumbnail), STATUS_OPEN_FAILED);
        for (uint8_t first : firsts) {
            SCOPED_TRACE(int{first});
            const std::string one(1, static_cast<char>(first));
            EXPECT_EQ(load(one, photo), STATUS_UNKNOWN_FORMAT);
            EXPECT_EQ(load(one, thumbnail), STATUS_UNKNOWN_FORMAT);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Registry, HostileInput, ::testing::ValuesIn(readable_rows()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
