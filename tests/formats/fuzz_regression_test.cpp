// Inputs that once made a reader misbehave, and seeds that reach what the corpus does not (kept
// under fuzz/regressions/<format>/): each must load or fail with a status, under the sanitizers too.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/format.h"
#include "core/load.h"

namespace {

TEST(FuzzRegressions, EveryKeptInputGivesAStatus)
{
    const std::filesystem::path root = std::filesystem::path(LUMEVA_SOURCE_DIR) / "fuzz" / "regressions";
    if (!std::filesystem::exists(root)) GTEST_SKIP() << "no regression inputs";
    library_init();
    int inputs = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        ++inputs;
        const std::string path = entry.path().string();
        for (uint32_t flags : {0u, 7172u}) {
            LoadParams params;
            load_params_init(&params);
            params.flags = flags | LOAD_KEEP_CHUNKS | LOAD_KEEP_COMMENT;
            params.format_index = static_cast<int16_t>(format_find_by_name(entry.path().parent_path().filename().string().c_str()));
            if (flags) {
                params.box_width = 92;
                params.box_height = 64;
            }
            Picture picture{};
            FileInfo info{};
            const Status status = load_picture(path.c_str(), &picture, &params, &info);
            EXPECT_LE(status, STATUS_BAD_PARAMETER) << path;
            file_info_free_texts(&info);
            picture_free(&picture);
        }
    }
    library_exit();
    RecordProperty("inputs", inputs);
}

}  // namespace
