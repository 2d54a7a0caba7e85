// The TIFF codec against libtiff in the same run: a 24-megapixel RGB photo written by our writer
// uncompressed, LZW with the predictor, and deflate; each loaded by us (into a picture) and read
// strip by strip by libtiff, into one reused strip buffer and into a fresh picture-sized block.
// Saving LZW against libtiff's writer with the same strips.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_files.h"
#include "core/pixels.h"
#include "formats/tiff/tiff_codec.h"
#include "tiff_yardstick.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

struct Fixtures {
    Picture photo{};
    std::string files[3] = {bench_temp_path("lumeva_bench_plain.tif"), bench_temp_path("lumeva_bench_lzw.tif"),
                            bench_temp_path("lumeva_bench_deflate.tif")};
    std::string out = bench_temp_path("lumeva_bench_out.tif");
    std::string out_libtiff = bench_temp_path("lumeva_bench_out_libtiff.tif");

    Fixtures()
    {
        library_init();
        picture_alloc(&photo, PIXEL_RGB, 1, kWidth, kHeight);
        bench_paint_photo(photo, 2024);
        const uint16_t options[3] = {TIFF_SAVE_NONE, TIFF_SAVE_LZW_PREDICTOR, TIFF_SAVE_DEFLATE};
        for (int i = 0; i < 3; ++i) {
            SaveParams sp;
            save_params_init(&sp);
            sp.format_index = static_cast<int16_t>(format_find_by_name("tiff"));
            tiff_set_save_options(&sp, options[i], false);
            save_picture(files[i].c_str(), &photo, &sp);
        }
    }
    ~Fixtures()
    {
        for (const std::string& f : files) std::remove(f.c_str());
        std::remove(out.c_str());
        std::remove(out_libtiff.c_str());
        picture_free(&photo);
        library_exit();
    }
};

Fixtures& fixtures()
{
    static Fixtures f;
    return f;
}

void BM_TiffLoad(benchmark::State& state)
{
    Fixtures& f = fixtures();
    const std::string& file = f.files[state.range(0)];
    LoadParams params;
    load_params_init(&params);
    for (auto _ : state) {
        Picture p{};
        if (load_picture(file.c_str(), &p, &params, nullptr) != STATUS_OK) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(p.data);
        picture_free(&p);
    }
}

void BM_LibtiffReadStrips(benchmark::State& state)
{
    Fixtures& f = fixtures();
    const std::string& file = f.files[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(libtiff_read_strips(file.c_str()));
}

// A fairer yardstick for a load: the strips land in a fresh picture-sized block from the same
// allocator as our pictures, so both pay for the memory the picture is made of.
void BM_LibtiffReadIntoPicture(benchmark::State& state)
{
    Fixtures& f = fixtures();
    const std::string& file = f.files[state.range(0)];
    const size_t size = size_t{kWidth} * kHeight * 3;
    for (auto _ : state) {
        uint8_t* picture = pixels_alloc(size);
        benchmark::DoNotOptimize(libtiff_read_strips_into(file.c_str(), picture, size));
        pixels_free(picture);
    }
}

void BM_TiffSaveLzw(benchmark::State& state)
{
    Fixtures& f = fixtures();
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find_by_name("tiff"));
    tiff_set_save_options(&sp, TIFF_SAVE_LZW, false);
    for (auto _ : state)
        if (save_picture(f.out.c_str(), &f.photo, &sp) != STATUS_OK) state.SkipWithError("save failed");
}

void BM_LibtiffWriteLzw(benchmark::State& state)
{
    Fixtures& f = fixtures();
    // The same strips as ours: (65536 / width) / 24 rows, at least one.
    const int rows = std::max(1, 65536 / kWidth / 24);
    for (auto _ : state)
        if (!libtiff_write_lzw(f.out_libtiff.c_str(), f.photo.data, kWidth, kHeight, rows)) state.SkipWithError("write failed");
}

// 0 uncompressed, 1 LZW with predictor, 2 deflate.
// Large LZW and deflate pages are decoded on every core: the time is the wall clock's, the CPU
// time the whole process's.
BENCHMARK(BM_TiffLoad)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_LibtiffReadStrips)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibtiffReadIntoPicture)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffSaveLzw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibtiffWriteLzw)->Unit(benchmark::kMillisecond);

}  // namespace
