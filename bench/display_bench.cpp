// Painting a photo fitted into a 1600 x 1000 window: preparing the display maps and converting the
// visible tiles. A 24-megapixel photo must cost about what a 2-megapixel one does, since only the
// display size counts.
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/bitmap.h"
#include "app/CBmp.h"

namespace {

constexpr int kWindowWidth = 1600;
constexpr int kWindowHeight = 1000;

struct Photo {
    Picture picture{};
    Photo(int w, int h)
    {
        picture_alloc(&picture, PIXEL_RGB, 4, w, h);
        for (uint64_t i = 0; i < picture_data_size(&picture); ++i) picture.data[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    }
    ~Photo() { picture_free(&picture); }
};

const Picture& photo(int megapixels)
{
    static Photo big(6000, 4000);
    static Photo small(1732, 1155);
    return megapixels == 24 ? big.picture : small.picture;
}

// One paint of the whole window in fit mode, as the view does it.
void paint_fitted(benchmark::State& state, int megapixels, int screen_bits)
{
    const Picture& p = photo(megapixels);
    display_tables_init(6, 6, 6);
    ViewState view;
    view_state_init(&view);
    view_state_set_picture(&view, &p);
    ViewLayout layout;
    view_layout(&view, ViewLayoutInput{kWindowWidth, kWindowHeight, 16, 16, false, false, true}, &layout);
    DisplayBitmap display;
    display_init(&display, screen_bits, 256, 256);
    int64_t tiles = 0;
    for (auto _ : state) {
        display_prepare(&display, &p, view.display_width, view.display_height, true);
        DisplayRect part;
        if (display_visible_part(&display, -view.scroll_x, -view.scroll_y, DisplayRect{0, 0, kWindowWidth, kWindowHeight},
                                 &part))
            display_walk_tiles(&display, -view.scroll_x, -view.scroll_y, part, [&](int, int, int, int) {
                ++tiles;
                benchmark::DoNotOptimize(display.buffer[0]);
            });
    }
    state.counters["tiles"] = benchmark::Counter(static_cast<double>(tiles), benchmark::Counter::kAvgIterations);
    state.counters["display_px"] = view.display_width * view.display_height;
    display_free(&display);
    display_tables_free();
}

void BM_Fit2MP_24bit(benchmark::State& s) { paint_fitted(s, 2, 24); }
void BM_Fit24MP_24bit(benchmark::State& s) { paint_fitted(s, 24, 24); }
void BM_Fit2MP_8bit(benchmark::State& s) { paint_fitted(s, 2, 8); }
void BM_Fit24MP_8bit(benchmark::State& s) { paint_fitted(s, 24, 8); }
BENCHMARK(BM_Fit2MP_24bit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit24MP_24bit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit2MP_8bit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fit24MP_8bit)->Unit(benchmark::kMillisecond);

// Zoomed to 100 %: the window shows 1600 x 1000 of the 24-megapixel photo and only that is
// converted.
void BM_Zoom100_24MP_Visible(benchmark::State& state)
{
    const Picture& p = photo(24);
    DisplayBitmap display;
    display_init(&display, 24, 256, 256);
    display_prepare(&display, &p, p.width, p.height, true);
    for (auto _ : state) {
        DisplayRect part;
        display_visible_part(&display, -2000, -1500, DisplayRect{0, 0, kWindowWidth, kWindowHeight}, &part);
        display_walk_tiles(&display, -2000, -1500, part,
                           [&](int, int, int, int) { benchmark::DoNotOptimize(display.buffer[0]); });
    }
    display_free(&display);
}
BENCHMARK(BM_Zoom100_24MP_Visible)->Unit(benchmark::kMillisecond);

}  // namespace
