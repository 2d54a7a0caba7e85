// Colour-depth conversion on a 6000 x 4000 photo against a plain copy of its bytes.
//
// The photo is built in code (smooth colour fields with grain), or read from the raw RGB file
// named by LUMEVA_BENCH_RGB (6000 x 4000 x 3 bytes, e.g. made with
// `convert photo.jpg -resize 6000x4000! -depth 8 rgb:/tmp/photo.rgb`).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/picture.h"
#include "ops/depth.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

uint8_t clamp_byte(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

bool read_raw(Picture* p, const char* path)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bool ok = true;
    for (int y = 0; y < kHeight && ok; ++y) ok = std::fread(picture_line(p, y), 3, kWidth, f) == static_cast<size_t>(kWidth);
    std::fclose(f);
    return ok;
}

void build_photo(Picture* p)
{
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* line = picture_line(p, y);
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const double grain = static_cast<double>(seed >> 28) - 7.5;
            const double u = x / 6000.0, v = y / 4000.0;
            const double sky = 1 - v, shade = 0.5 + 0.5 * std::sin(7 * u + 3 * v) * std::cos(5 * v - 2 * u);
            line[3 * x + 0] = clamp_byte(70 + 120 * shade * (1 - sky) + 60 * sky + grain);
            line[3 * x + 1] = clamp_byte(90 + 100 * shade + 50 * std::sin(11 * u * v) + grain);
            line[3 * x + 2] = clamp_byte(60 + 170 * sky * (0.6 + 0.4 * shade) + grain);
        }
    }
}

const Picture& photo()
{
    static Picture p = [] {
        Picture out{};
        picture_alloc(&out, PIXEL_RGB, 1, kWidth, kHeight);
        const char* path = std::getenv("LUMEVA_BENCH_RGB");
        if (!path || !read_raw(&out, path)) build_photo(&out);
        return out;
    }();
    return p;
}

void BM_DepthPlainCopy(benchmark::State& state)
{
    const Picture& src = photo();
    const size_t size = picture_data_size(&src);
    uint8_t* to = static_cast<uint8_t*>(std::malloc(size));
    std::memset(to, 1, size);
    for (auto _ : state) {
        std::memcpy(to, src.data, size);
        benchmark::DoNotOptimize(to);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
    std::free(to);
}
BENCHMARK(BM_DepthPlainCopy)->Unit(benchmark::kMillisecond);

// A copy into a freshly allocated picture, as every operation's result is.
void BM_DepthPictureClone(benchmark::State& state)
{
    Picture& src = const_cast<Picture&>(photo());
    for (auto _ : state) {
        Picture copy{};
        picture_clone(&src, &copy);
        benchmark::DoNotOptimize(copy.data);
        picture_free(&copy);
    }
}
BENCHMARK(BM_DepthPictureClone)->Unit(benchmark::kMillisecond);

void BM_ChangeDepth(benchmark::State& state)
{
    Picture& src = const_cast<Picture&>(photo());
    const int mode = static_cast<int>(state.range(0)), dither = static_cast<int>(state.range(1));
    for (auto _ : state) {
        Picture out{};
        if (image_change_depth(&src, &out, mode, dither) != STATUS_OK) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(out.data);
        picture_free(&out);
    }
}
// Grey levels, bilevel, uniform palette, median cut without and with diffusion, byte order.
BENCHMARK(BM_ChangeDepth)
    ->ArgNames({"mode", "dither"})
    ->Args({DEPTH_GREY_256, DITHER_NONE})
    ->Args({DEPTH_GREY_4, DITHER_ORDERED})
    ->Args({DEPTH_BILEVEL, BILEVEL_ORDERED_16})
    ->Args({DEPTH_BILEVEL, BILEVEL_DIFFUSION})
    ->Args({DEPTH_COLOURS_256, DITHER_ORDERED})
    ->Args({DEPTH_COLOURS_8, DITHER_NONE})
    ->Args({DEPTH_COLOURS_256, DITHER_NONE})
    ->Args({DEPTH_COLOURS_8, DITHER_DIFFUSION})
    ->Args({DEPTH_COLOURS_256, DITHER_DIFFUSION})
    ->Args({DEPTH_BGRA, DITHER_NONE})
    ->Unit(benchmark::kMillisecond);

}  // namespace
