// Colour corrections, filters and sepia on a 6000 x 4000 RGB photo, to be read against
// BM_PlainCopy (picture_bench.cpp), a plain copy of the same bytes, in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "ops/colour.h"
#include "ops/filter.h"

namespace {

// A smooth gradient with noise, like a photo: the histograms are spread, not uniform.
Picture make_photo()
{
    Picture p{};
    picture_alloc(&p, PIXEL_RGB, 4, 6000, 4000);
    std::mt19937 rng(1);
    for (int y = 0; y < p.height; ++y) {
        uint8_t* line = picture_line(&p, y);
        for (int x = 0; x < p.width; ++x) {
            line[3 * x] = static_cast<uint8_t>(x * 200 / 6000 + (rng() & 31));
            line[3 * x + 1] = static_cast<uint8_t>(y * 200 / 4000 + (rng() & 31));
            line[3 * x + 2] = static_cast<uint8_t>((x + y) * 100 / 10000 + (rng() & 63));
        }
    }
    return p;
}

const Picture& photo()
{
    static const Picture p = make_photo();
    return p;
}

// With argument 1, freed pictures stay in the heap for the next one, as in a program that has
// been editing for a while; with 0 every result takes fresh pages from the system, whose first
// touch costs more than the operation itself on some machines.
class HeapReuse {
public:
    explicit HeapReuse(bool on) : on_(on)
    {
#if defined(__GLIBC__)
        if (on_) {
            mallopt(M_MMAP_THRESHOLD, 512 << 20);
            mallopt(M_TRIM_THRESHOLD, 1 << 30);
        }
#endif
    }
    ~HeapReuse()
    {
#if defined(__GLIBC__)
        if (on_) {
            mallopt(M_MMAP_THRESHOLD, 128 << 10);
            mallopt(M_TRIM_THRESHOLD, 128 << 10);
            malloc_trim(0);
        }
#endif
    }

private:
    bool on_;
};

// Into a destination, as the photo document calls them: the result is a new picture each time.
template <class Op>
void run_into_destination(benchmark::State& state, Op op)
{
    const HeapReuse reuse(state.range(0) != 0);
    Picture src = photo();
    for (auto _ : state) {
        Picture out{};
        if (op(&src, &out) != STATUS_OK) state.SkipWithError("operation failed");
        benchmark::DoNotOptimize(out.data);
        picture_free(&out);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(picture_data_size(&src)));
}

// In place, on a working copy made once: no allocation in the timed loop.
template <class Op>
void run_in_place(benchmark::State& state, Op op)
{
    Picture work{};
    picture_clone(&photo(), &work);
    for (auto _ : state) {
        if (op(&work) != STATUS_OK) state.SkipWithError("operation failed");
        benchmark::DoNotOptimize(work.data);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(picture_data_size(&work)));
    picture_free(&work);
}

void BM_Adjust(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_adjust(a, b, nullptr, 10, 20, 1.4); }); }
void BM_AdjustInPlace(benchmark::State& s) { run_in_place(s, [](Picture* a) { return image_adjust(a, nullptr, nullptr, 1, 0, 1.0); }); }
void BM_ColourBalance(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_colour_balance(a, b, nullptr, 20, 0, -20); }); }
void BM_ColourBalanceInPlace(benchmark::State& s) { run_in_place(s, [](Picture* a) { return image_colour_balance(a, nullptr, nullptr, 1, 0, -1); }); }
void BM_Sepia(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_sepia(a, b, nullptr, 100); }); }
void BM_SepiaInPlace(benchmark::State& s) { run_in_place(s, [](Picture* a) { return image_sepia(a, nullptr, nullptr, 0); }); }
void BM_AutoContrast(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_auto_contrast(a, b, nullptr); }); }
void BM_AutoLevels(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_auto_levels(a, b, nullptr); }); }
void BM_Blur(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_blur(a, b, nullptr, 3); }); }
void BM_Sharpen(benchmark::State& s) { run_into_destination(s, [](Picture* a, Picture* b) { return image_sharpen(a, b, nullptr); }); }

// The floor of every operation into a destination: a new picture holding a copy of the source.
void BM_CloneForComparison(benchmark::State& s)
{
    run_into_destination(s, [](Picture* a, Picture* b) { return picture_clone(a, b) ? STATUS_NO_MEMORY : STATUS_OK; });
}

template <size_t Counters, void (*Histogram)(const Picture*, uint32_t*)>
void BM_Histogram(benchmark::State& state)
{
    const Picture& src = photo();
    uint32_t h[Counters];
    for (auto _ : state) {
        Histogram(&src, h);
        benchmark::DoNotOptimize(h);
    }
}

BENCHMARK(BM_Adjust)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdjustInPlace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourBalance)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourBalanceInPlace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sepia)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SepiaInPlace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoContrast)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoLevels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneForComparison)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Histogram, 256, luminance_histogram)->Name("BM_LuminanceHistogram")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Histogram, 1024, component_histograms)->Name("BM_ComponentHistograms")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blur)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sharpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
