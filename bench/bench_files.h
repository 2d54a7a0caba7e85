// What the codec benchmarks share: test files in the temporary folder, a photo-like picture, and
// the load and save loops measured through the library's own pipeline.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

// Named after the process too: two runs at once must not write over each other's files.
inline std::string bench_temp_path(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_" + name)).string();
}

// Smooth RGB shading with grain, compressing about as a photo does; the seed varies the grain.
inline void bench_paint_photo(Picture& p, uint32_t seed)
{
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = picture_line(&p, y);
        for (int x = 0; x < p.width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int grain = static_cast<int>((seed >> 16) & 7) - 3;
            const double s = std::sin(x * 0.004) * std::cos(y * 0.006);
            row[3 * x] = static_cast<uint8_t>(std::clamp(128 + static_cast<int>(100 * s) + grain, 0, 255));
            row[3 * x + 1] = static_cast<uint8_t>(std::clamp(x * 255 / p.width + grain, 0, 255));
            row[3 * x + 2] = static_cast<uint8_t>(std::clamp(y * 255 / p.height - grain, 0, 255));
        }
    }
}

inline void bench_load_file(benchmark::State& state, const std::string& path, const char* format)
{
    LoadParams params;
    load_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name(format));
    for (auto _ : state) {
        Picture pic{};
        if (load_picture(path.c_str(), &pic, &params, nullptr) != STATUS_OK) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(pic.data);
        picture_free(&pic);
    }
}

inline void bench_save_file(benchmark::State& state, const Picture& pic, const std::string& path, const char* format)
{
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name(format));
    for (auto _ : state)
        if (save_picture(path.c_str(), &pic, &params) != STATUS_OK) state.SkipWithError("save failed");
}
