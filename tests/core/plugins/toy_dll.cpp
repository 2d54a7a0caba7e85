// A ".dll" plug-in that registers the toy format with its own reader and writer. Built in
// variants by macros: TOY_VERSION (the version it reports), TOY_INIT_REFUSES, TOY_NO_EXTENSION.
#include <cstring>

#include "core/plugin.h"
#include "toy_format.h"

#ifndef TOY_VERSION
#define TOY_VERSION 400
#endif

namespace {

const PluginServices* pipeline = nullptr;

int PLUGIN_CALL toy_init(const PluginFolderRecord*)
{
#if defined(TOY_INIT_REFUSES)
    return 0;
#else
    return 1;
#endif
}

Status toy_read(Stream* stream, LoadContext* ctx)
{
    uint8_t b[9];
    if (pipeline->stream_read(stream, b, 9) != 9 || std::memcmp(b, "LTOY", 4) != 0) return STATUS_UNKNOWN_FORMAT;
    HeaderInfo header;
    pipeline->header_init(&header);
    header.width = b[4] | b[5] << 8;
    header.height = b[6] | b[7] << 8;
    const int channels = b[8];
    if (header.width < 1 || header.height < 1 || (channels != 1 && channels != 3)) return STATUS_BAD_HEADER;
    header.planes = 1;
    header.bits_per_plane = static_cast<int16_t>(8 * channels);
    header.bytes_per_plane_line = header.width * channels;
    std::strcpy(header.format_label, "Toy picture");
    Status status = pipeline->load_begin(ctx, &header);
    if (status != STATUS_OK) return status;
    for (int y = 0; y < header.height; ++y) {
        if (pipeline->stream_read(stream, header.line_buffer, static_cast<size_t>(header.bytes_per_plane_line)) !=
            static_cast<size_t>(header.bytes_per_plane_line)) {
            status = STATUS_INCOMPLETE;
            break;
        }
        if (pipeline->load_put_lines(ctx, -1, -1, 1) != STATUS_OK) break;
    }
    pipeline->load_end(ctx, 0, 0, nullptr);
    return status;
}

Status toy_write(const char* file_name, SaveContext* ctx)
{
    Stream* out = pipeline->stream_open(file_name, STREAM_WRITE);
    if (!out) return STATUS_CREATE_FAILED;
    const int channels = ctx->components >= 3 ? 3 : 1;
    const uint8_t b[9] = {'L', 'T', 'O', 'Y', static_cast<uint8_t>(ctx->width), static_cast<uint8_t>(ctx->width >> 8),
                          static_cast<uint8_t>(ctx->height), static_cast<uint8_t>(ctx->height >> 8),
                          static_cast<uint8_t>(channels)};
    Status status = pipeline->stream_write(out, b, 9) == 9 ? STATUS_OK : STATUS_WRITE_FAILED;
    SaveHeader header;
    pipeline->save_header_init(&header);
    header.planes = 1;
    header.bits_per_plane = static_cast<int16_t>(8 * channels);
    if (status == STATUS_OK) status = pipeline->save_begin(ctx, &header);
    for (int y = 0; status == STATUS_OK && y < ctx->height; ++y) {
        status = pipeline->save_get_lines(ctx, y, 1);
        const size_t n = static_cast<size_t>(ctx->width) * channels;
        if (status == STATUS_OK && pipeline->stream_write(out, header.line_buffer, n) != n) status = STATUS_WRITE_FAILED;
    }
    pipeline->stream_close(out);
    return status;
}

void toy_writable(WritableType list[FORMAT_WRITABLE_MAX])
{
    list[0].type = PIXEL_ANY24;
    list[1].type = PIXEL_GREY;
}

}  // namespace

PLUGIN_EXPORT int PLUGIN_CALL gffGetPluginInfo(PluginInfo* info)
{
    info->version = TOY_VERSION;
    pipeline = info->services;
    return pipeline && pipeline->size >= sizeof(PluginServices) ? 1 : 0;
}

PLUGIN_EXPORT int PLUGIN_CALL gffGetFormatInfo(FormatRegistrar* r)
{
    FormatEntry* row = r->add_format(r, "toy", "Lumeva toy picture", toy_init);
    if (!row) return 0;
    r->set_probe(row, 1);
    r->set_entry(row, PLUGIN_ENTRY_READER, reinterpret_cast<void*>(toy_read));
    r->set_entry(row, PLUGIN_ENTRY_WRITER, reinterpret_cast<void*>(toy_write));
    r->set_entry(row, PLUGIN_ENTRY_WRITABLE_TYPES, reinterpret_cast<void*>(toy_writable));
#if !defined(TOY_NO_EXTENSION)
    r->add_extension(row, "toy");
#endif
    return 1;
}
