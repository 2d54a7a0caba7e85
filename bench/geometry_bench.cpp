// Geometry and resizing on a 6000 × 4000 RGB photo, beside plain copies of the same bytes: one
// into a buffer that already exists, one into a freshly allocated picture (as every operation
// builds its result).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "ops/geometry.h"
#include "ops/resize.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

struct Photo {
    Picture p{};
    Photo()
    {
        picture_alloc(&p, PIXEL_RGB, 4, kWidth, kHeight);
        for (uint64_t i = 0; i < picture_data_size(&p); ++i) p.data[i] = static_cast<uint8_t>(i * 31 >> 3);
    }
    ~Photo() { picture_free(&p); }
};

Photo& photo()
{
    static Photo shared;
    return shared;
}

void BM_Geometry_PlainCopy(benchmark::State& state)
{
    const Picture& src = photo().p;
    std::vector<uint8_t> to(picture_data_size(&src));
    for (auto _ : state) {
        std::memcpy(to.data(), src.data, to.size());
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(BM_Geometry_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_Geometry_AllocatingCopy(benchmark::State& state)
{
    for (auto _ : state) {
        Picture out{};
        picture_clone(&photo().p, &out);
        benchmark::DoNotOptimize(out.data);
        picture_free(&out);
    }
}
BENCHMARK(BM_Geometry_AllocatingCopy)->Unit(benchmark::kMillisecond);

template <class Op>
void run_op(benchmark::State& state, Op op)
{
    for (auto _ : state) {
        Picture out{};
        if (op(&photo().p, &out) != STATUS_OK) state.SkipWithError("operation failed");
        benchmark::DoNotOptimize(out.data);
        picture_free(&out);
    }
}

void BM_FlipHorizontal(benchmark::State& state)
{
    run_op(state, [](Picture* s, Picture* d) { return image_flip_horizontal(s, d, nullptr); });
}
BENCHMARK(BM_FlipHorizontal)->Unit(benchmark::kMillisecond);

void BM_FlipVertical(benchmark::State& state)
{
    run_op(state, [](Picture* s, Picture* d) { return image_flip_vertical(s, d, nullptr); });
}
BENCHMARK(BM_FlipVertical)->Unit(benchmark::kMillisecond);

void BM_Rotate180(benchmark::State& state)
{
    run_op(state, [](Picture* s, Picture* d) { return image_rotate_180(s, d); });
}
BENCHMARK(BM_Rotate180)->Unit(benchmark::kMillisecond);

void BM_Rotate90(benchmark::State& state)
{
    run_op(state, [](Picture* s, Picture* d) { return image_rotate_90(s, d, 90); });
}
BENCHMARK(BM_Rotate90)->Unit(benchmark::kMillisecond);

void BM_ResizeAverage(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    run_op(state, [&](Picture* s, Picture* d) { return image_resize_average(s, d, w, h, PIXEL_RGB); });
}
BENCHMARK(BM_ResizeAverage)->Args({1500, 1000})->Args({160, 120})->Unit(benchmark::kMillisecond);

void BM_ResizeLanczos(benchmark::State& state)
{
    run_op(state, [](Picture* s, Picture* d) { return image_resize(s, d, 1500, 1000, RESIZE_LANCZOS); });
}
BENCHMARK(BM_ResizeLanczos)->Unit(benchmark::kMillisecond);

}  // namespace
