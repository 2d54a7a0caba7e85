#include "fuzz/fuzz_load.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "core/format.h"
#include "core/load.h"

namespace {

std::string g_input_path;

// The input goes through a file of this process's own, removed when the run ends.
std::string input_path(const char* extension)
{
    if (g_input_path.empty()) {
        const char* dir = std::getenv("TMPDIR");
        g_input_path = std::string(dir && *dir ? dir : "/tmp") + "/lumeva-fuzz-" + std::to_string(getpid()) + extension;
        std::atexit([] { std::remove(g_input_path.c_str()); });
    }
    return g_input_path;
}

void load_as(const std::string& path, int index, uint32_t flags, int box, int page)
{
    LoadParams params;
    load_params_init(&params);
    params.format_index = static_cast<int16_t>(index);
    params.flags = flags;
    params.image_index = page;
    // Huge declared sizes are legal; decoding thousands of lines of them only slows the search.
    params.line_callback = [](int line, int, void*) { return line >= 512 ? 1 : 0; };
    if (box) {
        params.box_width = 92;
        params.box_height = 64;
        params.line_padding = 4;
    }
    Picture picture{};
    FileInfo info{};
    load_picture(path.c_str(), &picture, &params, &info);
    file_info_free_texts(&info);
    picture_free(&picture);
}

}  // namespace

int fuzz_load(const uint8_t* data, size_t size, const char* format, const char* extension, int page)
{
    static bool ready = false;
    if (!ready) {
        library_init();
        ready = true;
    }
    const std::string path = input_path(extension);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const int index = format_find_by_name(format);
    load_as(path, index, LOAD_KEEP_COMMENT | LOAD_KEEP_CHUNKS | LOAD_KEEP_TEXTS, 0, 0);
    load_as(path, index, 7172 | LOAD_KEEP_CHUNKS, 1, page);
    return 0;
}
