// The GIF codec against giflib in the same run: a 2-megapixel, 256-colour picture decoded into
// one index block per file, and encoded from the same indices. Pictures and files live in the
// temporary folder for the length of the run.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"

namespace {

constexpr int kWidth = 1800, kHeight = 1120;  // about 2 megapixels

// Smooth shading with grain over a 256-entry palette, as a photo reduced to 256 colours looks.
void paint_indexed_photo(Picture& p)
{
    uint32_t seed = 2024;
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = picture_line(&p, y);
        for (int x = 0; x < p.width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int grain = static_cast<int>((seed >> 16) % 3) - 1;
            const double s = std::sin(x * 0.005) * std::cos(y * 0.007) + 0.3 * std::sin((x + y) * 0.02);
            row[x] = static_cast<uint8_t>(std::clamp(128 + static_cast<int>(90 * s) + grain, 0, 255));
        }
    }
    for (int i = 0; i < 256; ++i) {
        p.colour_map[i] = static_cast<uint8_t>(i);
        p.colour_map[256 + i] = static_cast<uint8_t>(255 - i);
        p.colour_map[512 + i] = static_cast<uint8_t>(i * 7);
    }
}

struct Fixtures {
    Picture picture{};
    std::string gif = bench_temp_path("lumeva_bench_photo.gif");
    std::string out_gif = bench_temp_path("lumeva_bench_out.gif");

    Fixtures()
    {
        library_init();
        picture_alloc(&picture, PIXEL_COLORS, 1, kWidth, kHeight);
        paint_indexed_photo(picture);
        SaveParams sp;
        save_params_init(&sp);
        sp.format_index = static_cast<int16_t>(format_find_by_name("gif"));
        save_picture(gif.c_str(), &picture, &sp);
    }
    ~Fixtures()
    {
        std::remove(gif.c_str());
        std::remove(out_gif.c_str());
        picture_free(&picture);
        library_exit();
    }
};

Fixtures& fixtures()
{
    static Fixtures f;
    return f;
}

void BM_GifLoad(benchmark::State& state)
{
    LoadParams params;
    load_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name("gif"));
    params.line_padding = 1;
    for (auto _ : state) {
        Picture pic{};
        if (load_picture(fixtures().gif.c_str(), &pic, &params, nullptr) != STATUS_OK) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(pic.data);
        picture_free(&pic);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// giflib alone: the same file's image, line by line into one block.
void BM_GiflibDecode(benchmark::State& state)
{
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(fixtures().gif.c_str(), &error);
        if (!gif) {
            state.SkipWithError("giflib cannot open");
            break;
        }
        std::vector<GifPixelType> image;
        GifRecordType record;
        do {
            if (DGifGetRecordType(gif, &record) == GIF_ERROR) break;
            if (record == IMAGE_DESC_RECORD_TYPE) {
                DGifGetImageDesc(gif);
                const int w = gif->Image.Width, h = gif->Image.Height;
                image.resize(static_cast<size_t>(w) * h);
                for (int y = 0; y < h; ++y) DGifGetLine(gif, image.data() + static_cast<size_t>(y) * w, w);
            } else if (record == EXTENSION_RECORD_TYPE) {
                int code;
                GifByteType* ext;
                DGifGetExtension(gif, &code, &ext);
                while (ext) DGifGetExtensionNext(gif, &ext);
            }
        } while (record != TERMINATE_RECORD_TYPE);
        DGifCloseFile(gif, &error);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_GifSave(benchmark::State& state)
{
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format_find_by_name("gif"));
    for (auto _ : state)
        if (save_picture(fixtures().out_gif.c_str(), &fixtures().picture, &params) != STATUS_OK)
            state.SkipWithError("save failed");
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// giflib alone: the picture's rows and colour map as they are.
void BM_GiflibEncode(benchmark::State& state)
{
    const Picture& pic = fixtures().picture;
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = {pic.colour_map[i], pic.colour_map[256 + i], pic.colour_map[512 + i]};
    std::vector<GifPixelType> line(static_cast<size_t>(pic.width));
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = EGifOpenFileName(fixtures().out_gif.c_str(), false, &error);
        ColorMapObject* map = GifMakeMapObject(256, colours);
        EGifPutScreenDesc(gif, pic.width, pic.height, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, pic.width, pic.height, false, nullptr);
        for (int y = 0; y < pic.height; ++y) {
            std::copy_n(picture_line(&pic, y), pic.width, line.data());
            EGifPutLine(gif, line.data(), pic.width);
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(BM_GifLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GiflibDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GiflibEncode)->Unit(benchmark::kMillisecond);

}  // namespace
