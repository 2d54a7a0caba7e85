// The PNG and BMP codecs against their yardsticks in the same run: libpng decoding and encoding
// the same photo alone, and a plain read-and-copy of a BMP's bytes. The test pictures are made
// in the temporary folder at the first benchmark and removed at exit.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "core/pixels.h"

namespace {

constexpr int kPhotoWidth = 3000, kPhotoHeight = 2000;  // the PNG photo
constexpr int kBmpWidth = 6000, kBmpHeight = 4000;

struct Fixtures {
    Picture photo{};
    Picture big{};
    std::string png = bench_temp_path("lumeva_bench_photo.png");
    std::string bmp = bench_temp_path("lumeva_bench_big.bmp");
    std::string out_png = bench_temp_path("lumeva_bench_out.png");
    std::string out_bmp = bench_temp_path("lumeva_bench_out.bmp");

    Fixtures()
    {
        library_init();
        picture_alloc(&photo, PIXEL_RGB, 1, kPhotoWidth, kPhotoHeight);
        bench_paint_photo(photo, 12345);
        picture_alloc(&big, PIXEL_RGB, 1, kBmpWidth, kBmpHeight);
        bench_paint_photo(big, 12345);
        SaveParams sp;
        save_params_init(&sp);
        sp.format_index = static_cast<int16_t>(format_find_by_name("png"));
        save_picture(png.c_str(), &photo, &sp);
        sp.format_index = static_cast<int16_t>(format_find_by_name("bmp"));
        save_picture(bmp.c_str(), &big, &sp);
    }
    ~Fixtures()
    {
        for (const std::string& f : {png, bmp, out_png, out_bmp}) std::remove(f.c_str());
        picture_free(&photo);
        picture_free(&big);
        library_exit();
    }
};

Fixtures& fixtures()
{
    static Fixtures f;
    return f;
}

void BM_PngLoad(benchmark::State& state) { bench_load_file(state, fixtures().png, "png"); }

// libpng alone: the same file into one row buffer.
void BM_LibpngDecode(benchmark::State& state)
{
    const std::string& path = fixtures().png;
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            break;
        }
        png_init_io(png, f);
        png_read_info(png, info);
        std::vector<uint8_t> image(png_get_rowbytes(png, info) * png_get_image_height(png, info));
        for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y)
            png_read_row(png, image.data() + y * png_get_rowbytes(png, info), nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        benchmark::DoNotOptimize(image.data());
    }
}

void BM_PngSave(benchmark::State& state) { bench_save_file(state, fixtures().photo, fixtures().out_png, "png"); }

// libpng alone: the picture's rows as they are, at its default settings.
void BM_LibpngEncode(benchmark::State& state)
{
    const Picture& pic = fixtures().photo;
    const std::string& path = fixtures().out_png;
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            state.SkipWithError("libpng failed");
            break;
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, static_cast<png_uint_32>(pic.width), static_cast<png_uint_32>(pic.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_write_info(png, info);
        for (int y = 0; y < pic.height; ++y) png_write_row(png, picture_line(&pic, y));
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
    }
}

void BM_BmpLoad24(benchmark::State& state) { bench_load_file(state, fixtures().bmp, "bmp"); }

// The yardstick of loading: the file read whole, and its pixel bytes copied into a new block.
void BM_BmpReadAndCopy(benchmark::State& state)
{
    const std::string& path = fixtures().bmp;
    const size_t size = static_cast<size_t>(std::filesystem::file_size(path));
    std::vector<uint8_t> file(size);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (std::fread(file.data(), 1, size, f) != size) state.SkipWithError("short read");
        std::fclose(f);
        uint8_t* copy = pixels_alloc(size - 54);
        std::memcpy(copy, file.data() + 54, size - 54);
        benchmark::DoNotOptimize(copy);
        pixels_free(copy);
    }
}

void BM_BmpSave24(benchmark::State& state) { bench_save_file(state, fixtures().big, fixtures().out_bmp, "bmp"); }

// The yardstick of saving: the pixel bytes copied into a file-sized block and written.
void BM_BmpCopyAndWrite(benchmark::State& state)
{
    const Picture& pic = fixtures().big;
    const size_t size = static_cast<size_t>(pic.bytes_per_line) * static_cast<size_t>(pic.height);
    for (auto _ : state) {
        std::vector<uint8_t> file(size + 54);
        std::memcpy(file.data() + 54, pic.data, size);
        FILE* f = std::fopen(fixtures().out_bmp.c_str(), "wb");
        if (std::fwrite(file.data(), 1, file.size(), f) != file.size()) state.SkipWithError("short write");
        std::fclose(f);
    }
}

BENCHMARK(BM_PngLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpLoad24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpReadAndCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpSave24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpCopyAndWrite)->Unit(benchmark::kMillisecond);

}  // namespace
