// One movement of an adjust-colours slider: the after preview brought back to the loaded picture
// and adjusted again. The preview holds the photo reduced into its frame (a 6000 x 4000 photo
// fits a 216 x 159 pixel frame as 216 x 144); the full-size case shows what the reduction saves.
#include <benchmark/benchmark.h>

#include <random>

#include "editing/adjust.h"

namespace {

PhotoDocument* make_preview(int width, int height)
{
    auto* doc = new PhotoDocument;
    doc->current_picture = PictureHandle::create();
    picture_alloc(doc->current_picture.get(), PIXEL_RGB, 4, width, height);
    std::mt19937 rng(3);
    for (int y = 0; y < height; ++y) {
        uint8_t* line = picture_line(doc->current_picture.get(), y);
        for (int i = 0; i < width * 3; ++i) line[i] = static_cast<uint8_t>((i + y) * 97 / 64 + (rng() & 31));
    }
    document_set_undo(doc, true);
    return doc;
}

void run_moves(benchmark::State& state, int width, int height)
{
    PhotoDocument* doc = make_preview(width, height);
    int positions[ADJUST_SLIDERS] = {127, 127, 100, 127, 127, 127};
    int step = 0;
    for (auto _ : state) {
        // A drag moves brightness, gamma and red at once, as the worst case: both passes run.
        positions[ADJUST_BRIGHTNESS] = 100 + (step % 50);
        positions[ADJUST_GAMMA] = 80 + (step % 40);
        positions[ADJUST_RED] = 140 + (step % 30);
        ++step;
        adjust_preview_update(doc, positions);
        benchmark::DoNotOptimize(doc->current_picture->data);
    }
    state.SetItemsProcessed(state.iterations() * int64_t{width} * height);
    document_release_all(doc);
    delete doc;
}

void BM_AdjustPreviewMove(benchmark::State& state) { run_moves(state, 216, 144); }
BENCHMARK(BM_AdjustPreviewMove)->Unit(benchmark::kMillisecond);

void BM_AdjustFullPhotoMove(benchmark::State& state) { run_moves(state, 6000, 4000); }
BENCHMARK(BM_AdjustFullPhotoMove)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
