// Picture allocation and cropping against a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/picture.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

void BM_PlainCopy(benchmark::State& state)
{
    std::vector<uint8_t> from(static_cast<size_t>(kWidth) * kHeight * 3, 7), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(from.size()));
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_PictureClone(benchmark::State& state)
{
    Picture src{};
    picture_alloc(&src, PIXEL_RGB, 4, kWidth, kHeight);
    std::memset(src.data, 7, picture_data_size(&src));
    for (auto _ : state) {
        Picture copy{};
        picture_clone(&src, &copy);
        benchmark::DoNotOptimize(copy.data);
        picture_free(&copy);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(picture_data_size(&src)));
    picture_free(&src);
}
BENCHMARK(BM_PictureClone)->Unit(benchmark::kMillisecond);

void BM_PictureCropInner(benchmark::State& state)
{
    Picture src{};
    picture_alloc(&src, PIXEL_RGB, 4, kWidth, kHeight);
    std::memset(src.data, 7, picture_data_size(&src));
    const Rect r{100, 100, kWidth - 200, kHeight - 200};
    for (auto _ : state) {
        Picture out{};
        picture_crop(&src, &out, &r);
        benchmark::DoNotOptimize(out.data);
        picture_free(&out);
    }
    picture_free(&src);
}
BENCHMARK(BM_PictureCropInner)->Unit(benchmark::kMillisecond);

}  // namespace
