// Helpers of the codec tests: loading and saving through the pipelines, and small files built
// byte by byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"
#include "support/files.h"

using Bytes = std::vector<uint8_t>;

// The library for the length of a test, and what it loaded freed after.
class CodecTest : public ::testing::Test {
protected:
    void SetUp() override { library_init(); }
    void TearDown() override
    {
        for (Picture& p : pictures_) picture_free(&p);
        library_exit();
    }
    LoadParams params(const char* format, uint32_t flags = 0)
    {
        LoadParams p;
        load_params_init(&p);
        p.format_index = static_cast<int16_t>(format_find_by_name(format));
        p.flags = flags;
        p.line_padding = 1;
        return p;
    }
    Status load(const std::string& path, Picture* out, const LoadParams& p, FileInfo* info = nullptr)
    {
        FileInfo local{};
        const Status s = load_picture(path.c_str(), out, &p, info ? info : &local);
        if (!info) file_info_free_texts(&local);
        return s;
    }
    Status load_bytes(const std::string& bytes, const char* suffix, Picture* out, const LoadParams& p,
                      FileInfo* info = nullptr)
    {
        TempFile f(suffix, bytes);
        return load(f.path(), out, p, info);
    }
    Picture& keep(const Picture& p)
    {
        pictures_.push_back(p);
        return pictures_.back();
    }
    Picture& make(uint32_t type, int w, int h)
    {
        Picture p{};
        picture_alloc(&p, type, 1, w, h);
        return keep(p);
    }
    SaveParams save_params(const char* format)
    {
        SaveParams p;
        save_params_init(&p);
        p.format_index = static_cast<int16_t>(format_find_by_name(format));
        return p;
    }

private:
    std::deque<Picture> pictures_;  // references handed out stay valid
};

inline Bytes row_bytes(const Picture& p, int y)
{
    const uint8_t* r = picture_line(&p, y);
    const int n = p.type == PIXEL_BINARY ? (p.width + 7) / 8 : p.width * p.bytes_per_pixel;
    return Bytes(r, r + n);
}

// Fills a picture with a pattern that differs along both axes.
inline void fill_pattern(Picture& p, int levels)
{
    for (int y = 0; y < p.height; ++y) {
        uint8_t* r = picture_line(&p, y);
        if (p.type == PIXEL_BINARY) {
            for (int x = 0; x < p.width; ++x) bit_put(r, x, (x * 3 + y) % 5 < 2);
            continue;
        }
        for (int i = 0; i < p.width * p.bytes_per_pixel; ++i) r[i] = static_cast<uint8_t>((i * 7 + y * 13) % levels);
    }
}

inline void put_le(std::string& s, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
