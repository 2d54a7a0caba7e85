// Turning a 24-megapixel photo a quarter: without loss (rearranging its blocks), against the
// transform tool of libjpeg-turbo run on the same file, and against decoding, turning and
// compressing it again.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "formats/jpeg/jpeg_transform.h"
#include "ops/geometry.h"
#include "ops/resize.h"

namespace {

struct Photo24 {
    std::string path;
    std::vector<uint8_t> bytes;
};

// A 6000 x 4000 photo made once from the corpus's largest one, resized up.
const Photo24& photo()
{
    static Photo24 p = [] {
        Photo24 made;
        made.path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/lumeva_bench_turn24.jpg";
        library_init();
        Picture picture{};
        LoadParams params;
        load_params_init(&params);
        const std::string source = std::string(LUMEVA_CORPUS_DIR) + "/jpeg/Kleiber_by_Lukas_Baubkus.jpg";
        if (load_picture(source.c_str(), &picture, &params, nullptr) == STATUS_OK &&
            image_resize(&picture, nullptr, 6000, 4000, 0) == STATUS_OK) {
            SaveParams save;
            save_params_init(&save);
            save.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
            save.quality = 90;
            save_picture(made.path.c_str(), &picture, &save);
        }
        picture_free(&picture);
        std::ifstream in(made.path, std::ios::binary);
        made.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return made;
    }();
    return p;
}

void BM_TurnLossless(benchmark::State& state)
{
    const Photo24& p = photo();  // made before the clock starts
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (jpeg_turn_bytes(p.bytes, TURN_RIGHT, &out) != STATUS_OK) state.SkipWithError("transform failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_TurnLossless)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same work from files, as the command line does it.
void BM_TurnLosslessFile(benchmark::State& state)
{
    const std::string out = photo().path + ".ours.jpg";
    for (auto _ : state)
        if (jpeg_turn_file(photo().path.c_str(), out.c_str(), TURN_RIGHT) != STATUS_OK) state.SkipWithError("failed");
    std::remove(out.c_str());
}
BENCHMARK(BM_TurnLosslessFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: libjpeg-turbo's own transform tool on the same file (its process start included).
void BM_TurnJpegtran(benchmark::State& state)
{
    const std::string out = photo().path + ".tool.jpg";
    const std::string command = "jpegtran -rotate 90 -perfect -copy all -outfile '" + out + "' '" + photo().path + "'";
    if (std::system("command -v jpegtran >/dev/null 2>&1") != 0) {
        state.SkipWithError("jpegtran is not installed");
        return;
    }
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("jpegtran failed");
    std::remove(out.c_str());
}
BENCHMARK(BM_TurnJpegtran)->Unit(benchmark::kMillisecond)->UseRealTime();

// The ordinary road: decode, turn, compress again at the program's quality.
void BM_TurnRecompress(benchmark::State& state)
{
    const std::string out = photo().path + ".again.jpg";
    SaveParams save;
    save_params_init(&save);
    save.format_index = static_cast<int16_t>(format_find_by_name("jpeg"));
    save.quality = 80;
    for (auto _ : state) {
        Picture picture{};
        LoadParams params;
        load_params_init(&params);
        if (load_picture(photo().path.c_str(), &picture, &params, nullptr) != STATUS_OK ||
            image_rotate(&picture, nullptr, 90, nullptr) != STATUS_OK ||
            save_picture(out.c_str(), &picture, &save) != STATUS_OK)
            state.SkipWithError("ordinary road failed");
        picture_free(&picture);
    }
    std::remove(out.c_str());
}
BENCHMARK(BM_TurnRecompress)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
