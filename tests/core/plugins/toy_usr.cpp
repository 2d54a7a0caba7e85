// A ".usr" plug-in for the toy format through the simple picture interface; TOY_NO_EXTENSION
// builds one that declares no extension.
#include <cstdio>
#include <cstring>
#include <new>

#include "core/plugin.h"
#include "toy_format.h"

namespace {

struct Picture_ {
    FILE* file;
    ToyHeader header;
};

}  // namespace

PLUGIN_EXPORT int PLUGIN_CALL gfpGetPluginInfo(int, char* label, int label_size, char* extension, int extension_size,
                                               int* capabilities)
{
    std::snprintf(label, static_cast<size_t>(label_size), "Toy pictures (simple)");
#if defined(TOY_NO_EXTENSION)
    if (extension_size > 0) extension[0] = '\0';
#else
    std::snprintf(extension, static_cast<size_t>(extension_size), "tyu;TYW");
#endif
    *capabilities = PLUGIN_CAN_READ | PLUGIN_CAN_WRITE;
    return 1;
}

PLUGIN_EXPORT void* PLUGIN_CALL gfpLoadPictureInit(const char* file_name)
{
    FILE* f = std::fopen(file_name, "rb");
    if (!f) return nullptr;
    auto* p = new (std::nothrow) Picture_{f, {}};
    if (!p || !toy_read_header(f, &p->header)) {
        std::fclose(f);
        delete p;
        return nullptr;
    }
    return p;
}

PLUGIN_EXPORT int PLUGIN_CALL gfpLoadPictureGetInfo(void* handle, int* line_format, int* width, int* height, int* dpi,
                                                    int* bits, int* line_bytes, int* has_map, char* label, int label_size)
{
    auto* p = static_cast<Picture_*>(handle);
    *line_format = 5;
    *width = p->header.width;
    *height = p->header.height;
    *dpi = 150;
    *bits = 8 * p->header.channels;
    *line_bytes = p->header.width * p->header.channels;
    *has_map = 0;
    std::snprintf(label, static_cast<size_t>(label_size), "Toy (simple)");
    return 1;
}

PLUGIN_EXPORT int PLUGIN_CALL gfpLoadPictureGetLine(void* handle, int, uint8_t* buffer)
{
    auto* p = static_cast<Picture_*>(handle);
    const size_t n = static_cast<size_t>(p->header.width) * p->header.channels;
    return std::fread(buffer, 1, n, p->file) == n;
}

PLUGIN_EXPORT int PLUGIN_CALL gfpLoadPictureGetColormap(void*, uint8_t*) { return 0; }

PLUGIN_EXPORT void PLUGIN_CALL gfpLoadPictureExit(void* handle)
{
    auto* p = static_cast<Picture_*>(handle);
    std::fclose(p->file);
    delete p;
}

PLUGIN_EXPORT int PLUGIN_CALL gfpSavePictureIsSupported(int, int, int bits, int) { return bits == 8 || bits == 24; }

PLUGIN_EXPORT void* PLUGIN_CALL gfpSavePictureInit(const char* file_name, int width, int height, int bits, int,
                                                   int* line_format, char*, int)
{
    FILE* f = std::fopen(file_name, "wb");
    if (!f) return nullptr;
    auto* p = new (std::nothrow) Picture_{f, {width, height, bits / 8}};
    if (!p || !toy_write_header(f, p->header)) {
        std::fclose(f);
        delete p;
        return nullptr;
    }
    *line_format = 5;
    return p;
}

PLUGIN_EXPORT int PLUGIN_CALL gfpSavePicturePutLine(void* handle, int, const uint8_t* buffer)
{
    auto* p = static_cast<Picture_*>(handle);
    const size_t n = static_cast<size_t>(p->header.width) * p->header.channels;
    return std::fwrite(buffer, 1, n, p->file) == n;
}

PLUGIN_EXPORT void PLUGIN_CALL gfpSavePictureExit(void* handle)
{
    auto* p = static_cast<Picture_*>(handle);
    std::fclose(p->file);
    delete p;
}
