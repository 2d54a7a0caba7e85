// JPEG loading and saving against libjpeg-turbo doing the same work alone, on the largest photo
// of the corpus.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "core/format.h"
#include "core/load.h"
#include "core/pixels.h"
#include "core/save.h"

namespace {

const std::string& photo()
{
    static const std::string path = std::string(LUMEVA_CORPUS_DIR) + "/jpeg/Kleiber_by_Lukas_Baubkus.jpg";
    return path;
}

// libjpeg alone: the file's bytes (read as we read them) decoded into one block of RGB lines.
void libjpeg_decode(int denominator, bool fast, benchmark::State& state)
{
    for (auto _ : state) {
        FILE* f = std::fopen(photo().c_str(), "rb");
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, f);
        jpeg_read_header(&cinfo, TRUE);
        cinfo.scale_num = 1;
        cinfo.scale_denom = static_cast<unsigned>(denominator);
        if (fast) {
            cinfo.dct_method = JDCT_IFAST;
            cinfo.do_fancy_upsampling = FALSE;
        }
        jpeg_start_decompress(&cinfo);
        const size_t line = size_t{cinfo.output_width} * cinfo.output_components;
        uint8_t* pixels = pixels_alloc(line * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels + line * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        benchmark::DoNotOptimize(pixels);
        pixels_free(pixels);
    }
}

void BM_LibjpegDecodeFull(benchmark::State& state) { libjpeg_decode(1, false, state); }
BENCHMARK(BM_LibjpegDecodeFull)->Unit(benchmark::kMillisecond);

void BM_LibjpegDecodeEighth(benchmark::State& state) { libjpeg_decode(8, false, state); }
BENCHMARK(BM_LibjpegDecodeEighth)->Unit(benchmark::kMillisecond);

void load(benchmark::State& state, uint32_t flags, int box_w, int box_h)
{
    library_init();
    for (auto _ : state) {
        LoadParams params;
        load_params_init(&params);
        params.flags = flags;
        params.box_width = box_w;
        params.box_height = box_h;
        Picture p{};
        load_picture(photo().c_str(), &p, &params, nullptr);
        benchmark::DoNotOptimize(p.data);
        picture_free(&p);
    }
    library_exit();
}

void BM_LoadFullPhoto(benchmark::State& state) { load(state, 0, -1, -1); }
BENCHMARK(BM_LoadFullPhoto)->Unit(benchmark::kMillisecond);

void BM_LoadThumbnail92x64(benchmark::State& state) { load(state, 7172, 92, 64); }
BENCHMARK(BM_LoadThumbnail92x64)->Unit(benchmark::kMillisecond);

// Saving at quality 80: libjpeg compressing the decoded lines into a file, and our save of the
// same picture.
struct Decoded {
    Picture picture{};
    Decoded()
    {
        library_init();
        LoadParams params;
        load_params_init(&params);
        load_picture(photo().c_str(), &picture, &params, nullptr);
    }
    ~Decoded()
    {
        picture_free(&picture);
        library_exit();
    }
};

void BM_LibjpegCompressQ80(benchmark::State& state)
{
    Decoded d;
    const Picture& p = d.picture;
    for (auto _ : state) {
        FILE* f = std::fopen("/tmp/lumeva-bench-libjpeg.jpg", "wb");
        jpeg_compress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, f);
        cinfo.image_width = static_cast<JDIMENSION>(p.width);
        cinfo.image_height = static_cast<JDIMENSION>(p.height);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 80, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = picture_line(&p, static_cast<int>(cinfo.next_scanline));
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(f);
    }
    std::remove("/tmp/lumeva-bench-libjpeg.jpg");
}
BENCHMARK(BM_LibjpegCompressQ80)->Unit(benchmark::kMillisecond);

void BM_SaveQ80(benchmark::State& state)
{
    Decoded d;
    for (auto _ : state) {
        SaveParams params;
        save_params_init(&params);
        params.format_index = 0;
        params.quality = 80;
        save_picture("/tmp/lumeva-bench-save.jpg", &d.picture, &params);
    }
    std::remove("/tmp/lumeva-bench-save.jpg");
}
BENCHMARK(BM_SaveQ80)->Unit(benchmark::kMillisecond);

}  // namespace
