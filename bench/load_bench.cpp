// The loading pipeline's own cost: a 6000 x 4000 picture handed over line by line by a reader
// that does no decoding, against a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/load_internal.h"
#include "core/pixels.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

struct Feed {
    int planes, bits, line_bytes;
    uint32_t layout, flags;
    int box_w = -1, box_h = -1;
    uint32_t reduce = 0;
    bool palette = false;
};

void run_load(benchmark::State& state, const Feed& f)
{
    std::vector<uint8_t> palette(768);
    for (int i = 0; i < 768; ++i) palette[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7);
    for (auto _ : state) {
        LoadContext ctx{};
        Picture pic{};
        load_params_init(&ctx.params);
        ctx.params.flags = f.flags;
        ctx.params.box_width = f.box_w;
        ctx.params.box_height = f.box_h;
        ctx.params.reduce_method = f.reduce;
        ctx.picture = &pic;
        HeaderInfo h;
        header_init(&h);
        h.width = kWidth;
        h.height = kHeight;
        h.planes = static_cast<int16_t>(f.planes);
        h.bits_per_plane = static_cast<int16_t>(f.bits);
        h.bytes_per_plane_line = f.line_bytes;
        h.layout_flags = f.layout;
        load_begin(&ctx, &h);
        for (int i = 0; i < f.line_bytes; ++i) h.line_buffer[i] = static_cast<uint8_t>(i * 13);
        for (int y = 0; y < kHeight; ++y) load_put_lines(&ctx, -1, -1, 1);
        load_end(&ctx, 0, 8, f.palette ? palette.data() : nullptr);
        benchmark::DoNotOptimize(pic.data);
        picture_free(&pic);
    }
}

// The yardstick: the same bytes copied into a new picture-sized block.
void BM_CopyPicture(benchmark::State& state)
{
    const size_t size = static_cast<size_t>(kWidth) * 3 * kHeight;
    std::vector<uint8_t> from(size, 5);
    for (auto _ : state) {
        uint8_t* to = pixels_alloc(size);
        std::memcpy(to, from.data(), size);
        benchmark::DoNotOptimize(to);
        pixels_free(to);
    }
}
BENCHMARK(BM_CopyPicture)->Unit(benchmark::kMillisecond);

void BM_LoadBgrIntoRgb(benchmark::State& state) { run_load(state, {1, 24, kWidth * 3, 0x8, 0}); }
BENCHMARK(BM_LoadBgrIntoRgb)->Unit(benchmark::kMillisecond);

void BM_LoadIndexedIntoRgb(benchmark::State& state)
{
    Feed f{1, 8, kWidth, 0, LOAD_WANT_COLOUR};
    f.palette = true;
    run_load(state, f);
}
BENCHMARK(BM_LoadIndexedIntoRgb)->Unit(benchmark::kMillisecond);

void BM_LoadBilevel(benchmark::State& state) { run_load(state, {1, 1, kWidth / 8, 0, 0}); }
BENCHMARK(BM_LoadBilevel)->Unit(benchmark::kMillisecond);

void BM_LoadAveragedInto160x120(benchmark::State& state)
{
    Feed f{1, 24, kWidth * 3, 0, 0};
    f.box_w = 160;
    f.box_h = 120;
    f.reduce = 2;
    run_load(state, f);
}
BENCHMARK(BM_LoadAveragedInto160x120)->Unit(benchmark::kMillisecond);

void BM_LoadNearestInto160x120(benchmark::State& state)
{
    Feed f{1, 24, kWidth * 3, 0, 0};
    f.box_w = 160;
    f.box_h = 120;
    run_load(state, f);
}
BENCHMARK(BM_LoadNearestInto160x120)->Unit(benchmark::kMillisecond);

}  // namespace
