// The PNM, IFF and XPM codecs against a plain read-and-copy (or copy-and-write) of the same
// bytes in the same run. The test files are made in the temporary folder at the first benchmark
// and removed at exit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "core/pixels.h"
#include "formats/iff/iff_codec.h"

namespace {

constexpr int kWidth = 2000, kHeight = 1500;

void paint(Picture& p)
{
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = picture_line(&p, y);
        for (int x = 0; x < p.width * p.bytes_per_pixel; ++x)
            row[x] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.003) * std::cos(y * 0.005) + (x * y) % 5);
    }
}

struct Fixtures {
    Picture rgb{};
    Picture mapped{};
    std::string ppm = bench_temp_path("lumeva_bench_photo.ppm");
    std::string iff24 = bench_temp_path("lumeva_bench_deep.iff");
    std::string iff8 = bench_temp_path("lumeva_bench_mapped.iff");
    std::string xpm = bench_temp_path("lumeva_bench_mapped.xpm");
    std::string out = bench_temp_path("lumeva_bench_out.ppm");

    Fixtures()
    {
        library_init();
        picture_alloc(&rgb, PIXEL_RGB, 1, kWidth, kHeight);
        paint(rgb);
        picture_alloc(&mapped, PIXEL_COLORS, 1, kWidth, kHeight);
        paint(mapped);
        for (int i = 0; i < 768; ++i) mapped.colour_map[i] = static_cast<uint8_t>(i * 7);
        save(rgb, ppm, "ppm", false);
        save(rgb, iff24, "iff", true);
        save(mapped, iff8, "iff", true);
        save(mapped, xpm, "xpm", false);
    }
    ~Fixtures()
    {
        for (const std::string& f : {ppm, iff24, iff8, xpm, out}) std::remove(f.c_str());
        picture_free(&rgb);
        picture_free(&mapped);
        library_exit();
    }
    static void save(const Picture& p, const std::string& path, const char* format, bool packbits)
    {
        SaveParams sp;
        save_params_init(&sp);
        sp.format_index = static_cast<int16_t>(format_find_by_name(format));
        iff_set_save_options(&sp, packbits);
        save_picture(path.c_str(), &p, &sp);
    }
};

Fixtures& fixtures()
{
    static Fixtures f;
    return f;
}

void BM_PpmLoad(benchmark::State& state) { bench_load_file(state, fixtures().ppm, "ppm"); }

// The yardstick: the file read whole and its samples copied into a new block.
void BM_PpmReadAndCopy(benchmark::State& state)
{
    const std::string& path = fixtures().ppm;
    const size_t size = static_cast<size_t>(std::filesystem::file_size(path));
    const size_t pixels = size_t{3} * kWidth * kHeight;
    std::vector<uint8_t> file(size);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (std::fread(file.data(), 1, size, f) != size) state.SkipWithError("short read");
        std::fclose(f);
        uint8_t* copy = pixels_alloc(pixels);
        std::memcpy(copy, file.data() + (size - pixels), pixels);
        benchmark::DoNotOptimize(copy);
        pixels_free(copy);
    }
}

void BM_PpmSave(benchmark::State& state)
{
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find_by_name("ppm"));
    for (auto _ : state)
        if (save_picture(fixtures().out.c_str(), &fixtures().rgb, &sp) != STATUS_OK) state.SkipWithError("save failed");
}

void BM_PpmCopyAndWrite(benchmark::State& state)
{
    const Picture& pic = fixtures().rgb;
    const size_t size = static_cast<size_t>(pic.bytes_per_line) * static_cast<size_t>(pic.height);
    for (auto _ : state) {
        std::vector<uint8_t> file(size + 16);
        std::memcpy(file.data() + 16, pic.data, size);
        FILE* f = std::fopen(fixtures().out.c_str(), "wb");
        if (std::fwrite(file.data(), 1, file.size(), f) != file.size()) state.SkipWithError("short write");
        std::fclose(f);
    }
}

void BM_Iff24PlanesLoad(benchmark::State& state) { bench_load_file(state, fixtures().iff24, "iff"); }
void BM_Iff8PlanesLoad(benchmark::State& state) { bench_load_file(state, fixtures().iff8, "iff"); }
void BM_XpmLoad(benchmark::State& state) { bench_load_file(state, fixtures().xpm, "xpm"); }

BENCHMARK(BM_PpmLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PpmReadAndCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PpmSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PpmCopyAndWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iff24PlanesLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iff8PlanesLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XpmLoad)->Unit(benchmark::kMillisecond);

}  // namespace
