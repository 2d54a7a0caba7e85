// The thumbnail worker's load over a folder of 50 photos of 10 to 12 megapixels, against what
// `lumeva-cli thumb --box 92x64 --out-dir` does for each file on one core (the same load, then
// the thumbnail saved as JPEG at quality 80). The worker's part here is everything it does apart
// from the screen bitmap and the message: the reduced load and the Exif orientation.
//
// The photos are cut from the corpus's large photos once and kept in the temporary folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ThumbView.h"
#include "core/format.h"
#include "core/save.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPhotos = 50;

const char* const kSources[] = {"jpeg/sunset_by_Aitzol_Berasategi.jpg", "jpeg/Dragonfly_by_Bolly.jpg",
                                "jpeg/Kleiber_by_Lukas_Baubkus.jpg"};

// Crops of 10 to 12 megapixels, shifted from photo to photo so that no two files are the same.
std::vector<std::string> photo_folder()
{
    static std::vector<std::string> files;
    if (!files.empty()) return files;
    const fs::path folder = fs::temp_directory_path() / "lumeva_bench_thumbs";
    fs::create_directories(folder);
    std::vector<Picture> sources;
    for (const char* s : kSources) {
        Picture p{};
        LoadParams params;
        load_params_init(&params);
        if (load_picture((std::string(LUMEVA_CORPUS_DIR) + "/" + s).c_str(), &p, &params, nullptr) == STATUS_OK)
            sources.push_back(p);
    }
    for (int i = 0; i < kPhotos && !sources.empty(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%02d.jpg", i);
        const fs::path path = folder / name;
        files.push_back(path.string());
        if (fs::exists(path) && fs::file_size(path) > 0) continue;
        Picture& source = sources[static_cast<size_t>(i) % sources.size()];
        // Widths and heights that keep 10 to 12 megapixels inside every source.
        const int w = 3900 + (i * 37) % 300;
        const int h = 2650 + (i * 53) % 150;
        Rect r{(i * 7) % (source.width - w + 1), (i * 11) % (source.height - h + 1), w, h};
        Picture cut{};
        if (picture_crop(&source, &cut, &r) != STATUS_OK) continue;
        SaveParams params;
        save_params_init(&params);
        params.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
        params.quality = 90;
        save_picture(path.string().c_str(), &cut, &params);
        picture_free(&cut);
    }
    for (Picture& p : sources) picture_free(&p);
    return files;
}

// Resident memory from /proc/self/status ("VmRSS:" now, "VmHWM:" the peak), in kilobytes.
long status_kb(const char* key)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long value = 0;
    const size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0) value = std::atol(line + n);
    std::fclose(f);
    return value;
}

// Starts a new peak: writing 5 to clear_refs resets the high-water mark.
void reset_peak()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

void BM_ThumbnailWorkerLoad(benchmark::State& state)
{
    library_init();
    const std::vector<std::string> files = photo_folder();
    if (files.size() != kPhotos) state.SkipWithError("the corpus photos are missing");
    reset_peak();
    const long rss_before = status_kb("VmRSS:");
    for (auto _ : state) {
        for (const std::string& f : files) {
            Picture p{};
            FileInfo info{};
            const Status s = thumbnail_load(f.c_str(), &p, &info, THUMB_BOX_WIDTH, THUMB_BOX_HEIGHT, true, false);
            if (s != STATUS_OK) state.SkipWithError("a photo did not load");
            benchmark::DoNotOptimize(p.data);
            picture_free(&p);
        }
    }
    state.counters["photos"] = static_cast<double>(files.size());
    state.counters["peak_rss_growth_MB"] = static_cast<double>(status_kb("VmHWM:") - rss_before) / 1024.0;
    library_exit();
}
BENCHMARK(BM_ThumbnailWorkerLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// The yardstick: the command-line tool's thumbnail, file after file on one thread.
void BM_CliThumbOneCore(benchmark::State& state)
{
    library_init();
    const std::vector<std::string> files = photo_folder();
    if (files.size() != kPhotos) state.SkipWithError("the corpus photos are missing");
    const fs::path out = fs::temp_directory_path() / "lumeva_bench_thumbs_out";
    fs::create_directories(out);
    for (auto _ : state) {
        for (const std::string& f : files) {
            LoadParams params;
            load_params_init(&params);
            params.flags = THUMB_LOAD_FLAGS | LOAD_PREVIEW;
            params.line_padding = 4;
            params.box_width = THUMB_BOX_WIDTH;
            params.box_height = THUMB_BOX_HEIGHT;
            Picture p{};
            FileInfo info{};
            if (load_picture(f.c_str(), &p, &params, &info) != STATUS_OK) state.SkipWithError("a photo did not load");
            file_info_free_texts(&info);
            SaveParams save;
            save_params_init(&save);
            save.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
            save.quality = 80;
            const std::string target = (out / fs::path(f).filename()).string();
            save_picture(target.c_str(), &p, &save);
            picture_free(&p);
        }
    }
    state.counters["photos"] = static_cast<double>(files.size());
    library_exit();
}
BENCHMARK(BM_CliThumbOneCore)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
