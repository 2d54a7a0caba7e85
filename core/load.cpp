#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/format.h"
#include "core/load_internal.h"

namespace {

bool printable_start(const char* text) { return text && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7F; }

void free_texts(char** texts, int32_t* count)
{
    for (int i = 0; i < *count; ++i) {
        std::free(texts[i]);
        texts[i] = nullptr;
    }
    *count = 0;
}

// What a reader that declined the file may have kept must not leak into the next reader's picture.
void forget_kept(LoadContext* ctx)
{
    std::free(ctx->comment);
    ctx->comment = nullptr;
    chunk_list_free(ctx->chunks);
    ctx->chunks = nullptr;
    free_texts(ctx->texts, &ctx->text_count);
    load_conversion_release(ctx);
}

// The file's first bytes, which every row's signature check looks at.
struct FileHead {
    uint8_t bytes[FORMAT_HEAD_BYTES];
    size_t size;
};

FileHead read_head(Stream* stream)
{
    FileHead head{};
    head.size = stream_read(stream, head.bytes, sizeof head.bytes);
    return head;
}

Status try_reader(LoadContext* ctx, int index, const FileHead& head)
{
    FormatEntry& row = format_rows()[index];
    if (!row.reader) return STATUS_UNKNOWN_FORMAT;
    const FormatSignature signature = format_signatures()[index];
    if (signature && !signature(head.bytes, head.size)) return STATUS_UNKNOWN_FORMAT;
    ctx->private_value = row.private_value;
    ctx->began = 0;
    ctx->palette_waiting = nullptr;
    ctx->palette_held = 0;
    Status status;
    if (row.flags & FORMAT_REOPEN) {
        // Readers that hand the file to another library need it closed while they run.
        stream_close(ctx->stream);
        ctx->stream = nullptr;
        status = row.reader(nullptr, ctx);
        ctx->stream = stream_open(ctx->file_name, STREAM_READ);
        if (!ctx->stream && status == STATUS_UNKNOWN_FORMAT) status = STATUS_OPEN_FAILED;
    } else {
        clearerr(ctx->stream->file);
        stream_seek(ctx->stream, 0, SEEK_SET);
        status = row.reader(ctx->stream, ctx);
    }
    // A reader that stopped after load_begin, for whatever reason, leaves its picture to be
    // finished here: its type settled, its palette applied, its size fitted.
    load_end(ctx, 0, 8, nullptr);
    if (status == STATUS_INCOMPLETE && !ctx->began) status = STATUS_UNKNOWN_FORMAT;
    if (status == STATUS_UNKNOWN_FORMAT) forget_kept(ctx);
    return status;
}

Status recognise_and_read(LoadContext* ctx, int* answered)
{
    const int count = format_count();
    const FormatEntry* rows = format_rows();
    const int index = ctx->params.format_index;
    const FileHead head = read_head(ctx->stream);
    if (index >= 0) {
        *answered = index;
        if (index >= count) return STATUS_UNKNOWN_FORMAT;
        return try_reader(ctx, index, head);
    }

    Status status = STATUS_UNKNOWN_FORMAT;
    char ext[64];
    file_extension(ctx->file_name, ext, sizeof ext);
    if (ext[0]) {
        for (int i = 0; i < count && status == STATUS_UNKNOWN_FORMAT; ++i) {
            if (!(rows[i].flags & FORMAT_READ)) continue;
            for (const char* e : rows[i].extensions) {
                if (!e) break;
                if (std::strcmp(e, ext) != 0) continue;
                *answered = i;
                status = try_reader(ctx, i, head);
                if (status != STATUS_UNKNOWN_FORMAT || !ctx->stream) break;
            }
        }
    }
    if (status == STATUS_UNKNOWN_FORMAT && !(ctx->params.flags & LOAD_KNOWN_EXTENSION)) {
        for (int i = 0; i < count && status == STATUS_UNKNOWN_FORMAT && ctx->stream; ++i) {
            if ((rows[i].flags & (FORMAT_READ | FORMAT_PROBE)) != (FORMAT_READ | FORMAT_PROBE)) continue;
            *answered = i;
            status = try_reader(ctx, i, head);
        }
    }
    return status;
}

}  // namespace

void load_params_init(LoadParams* params)
{
    *params = LoadParams{};
    params->format_index = -1;
    params->line_padding = 4;
    params->default_alpha = 255;
    params->box_width = -1;
    params->box_height = -1;
    params->reserved_84 = 768;
    params->reserved_88 = 576;
    params->reserved_101 = 1;
    params->render_resolution = 72;
    params->reserved_116 = 1;
    params->reserved_120 = 0.6f;
    params->reserved_124 = 0.8f;
    params->reserved_128 = 1.0f;
    params->reserved_132 = 1.0f;
}

void header_init(HeaderInfo* header)
{
    *header = HeaderInfo{};
    header->lines_per_call = 1;
    header->planes = 1;
    header->bits_per_plane = 1;
    header->full_bits_per_component = 8;
    header->full_components = 1;
    header->transparent_index = NO_TRANSPARENT_INDEX;
}

Status load_picture(const char* file_name, Picture* picture, const LoadParams* params, FileInfo* info)
{
    if (info) *info = FileInfo{};
    if (params->flags & LOAD_KNOWN_EXTENSION) {
        if (params->format_index >= 0 && !format_find_by_extension(file_name, params->format_index))
            return STATUS_UNKNOWN_FORMAT;
        if (!format_find_by_extension(file_name)) return STATUS_UNKNOWN_FORMAT;
    }

    LoadContext ctx{};
    ctx.params = *params;
    if (ctx.params.flags & LOAD_PREVIEW) ctx.params.flags |= LOAD_PREVIEW_MARK;
    ctx.file_name = file_name;
    ctx.picture = picture;
    ctx.info = info;
    *picture = Picture{};

    ctx.stream = stream_open(file_name, STREAM_READ);
    if (!ctx.stream) return STATUS_OPEN_FAILED;
    const int64_t file_size = ctx.stream->size;

    int answered = -1;
    Status status = recognise_and_read(&ctx, &answered);
    stream_close(ctx.stream);
    ctx.stream = nullptr;
    load_conversion_release(&ctx);

    const bool delivered = status == STATUS_OK || status == STATUS_INCOMPLETE || status == STATUS_CORRUPT;
    if (info) {
        if (answered >= 0) info->format_index = static_cast<uint16_t>(answered);
        if (status != STATUS_OK) std::memcpy(info->message, ctx.message, sizeof info->message);
        if (delivered) info->file_size = file_size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(file_size);
    }
    if (delivered) {
        std::free(picture->comment);
        picture->comment = ctx.comment;
        ctx.comment = nullptr;
        chunk_list_free(picture->chunks);
        picture->chunks = ctx.chunks;
        ctx.chunks = nullptr;
        if (info) {
            for (int i = 0; i < ctx.text_count; ++i) info->texts[i] = ctx.texts[i];
            info->text_count = ctx.text_count;
            ctx.text_count = 0;
        }
    }
    forget_kept(&ctx);

    if ((status == STATUS_INCOMPLETE || status == STATUS_CORRUPT) && (params->flags & LOAD_ACCEPT_DAMAGED)) {
        if (params->flags & LOAD_VERBOSE)
            std::fputs(status == STATUS_INCOMPLETE ? " *** WARNING: File Not complete ... ***\n"
                                                   : " *** WARNING: Corrupt File ... ***\n",
                       stderr);
        return STATUS_OK;
    }
    if (status != STATUS_OK) picture_free(picture);
    return status;
}

void file_info_free_texts(FileInfo* info) { free_texts(info->texts, &info->text_count); }

void load_set_comment(LoadContext* ctx, const char* text, int length)
{
    if (!(ctx->params.flags & LOAD_KEEP_COMMENT) || !printable_start(text)) return;
    const size_t n = length < 1 ? std::strlen(text) : static_cast<size_t>(length);
    char* copy = static_cast<char*>(std::malloc(n + 1));
    if (!copy) return;
    std::memcpy(copy, text, n);
    copy[n] = '\0';
    std::free(ctx->comment);
    ctx->comment = copy;
}

void load_add_text(LoadContext* ctx, const char* key, const char* text, int length)
{
    if (!(ctx->params.flags & LOAD_KEEP_TEXTS) || ctx->text_count >= LOAD_TEXTS_MAX || !printable_start(text))
        return;
    const size_t n = length < 1 ? std::strlen(text) : static_cast<size_t>(length);
    const size_t key_n = key ? std::strlen(key) + 2 : 0;
    char* out = static_cast<char*>(std::malloc(key_n + n + 1));
    if (!out) return;
    if (key) {
        std::memcpy(out, key, key_n - 2);
        std::memcpy(out + key_n - 2, ": ", 2);
    }
    std::memcpy(out + key_n, text, n);
    out[key_n + n] = '\0';
    ctx->texts[ctx->text_count++] = out;
}

void load_add_chunk(LoadContext* ctx, uint32_t kind, const uint8_t* bytes, uint32_t size)
{
    if (!(ctx->params.flags & LOAD_KEEP_CHUNKS)) return;
    auto* node = static_cast<PictureChunk*>(std::calloc(1, sizeof(PictureChunk)));
    if (!node) return;
    node->bytes = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!node->bytes) {
        std::free(node);
        return;
    }
    if (size) std::memcpy(node->bytes, bytes, size);
    node->kind = kind;
    node->size = size;
    node->next = ctx->chunks;
    ctx->chunks = node;
}

namespace {

// Reads `length` bytes of text, ending it with a zero in place of the last byte read. The length
// comes from the file, so no more is allocated than the file can still hold.
char* read_text_block(Stream* stream, int length)
{
    int64_t left = stream->size - stream_tell(stream);
    if (left < 0) left = 0;
    const size_t want = static_cast<size_t>(length < left ? length : left);
    if (want == 0) return nullptr;
    char* text = static_cast<char*>(std::malloc(want + 1));
    if (!text) return nullptr;
    const size_t got = stream_read(stream, text, want);
    if (got == 0) {
        std::free(text);
        return nullptr;
    }
    text[got - 1] = '\0';
    return text;
}

}  // namespace

Status load_read_comment(Stream* stream, LoadContext* ctx, int length)
{
    if (length <= 0) return STATUS_OK;
    if (!(ctx->params.flags & LOAD_KEEP_COMMENT)) return stream_skip(stream, length) ? STATUS_INCOMPLETE : STATUS_OK;
    char* text = read_text_block(stream, length);
    if (text) load_set_comment(ctx, text, 0);
    std::free(text);
    return stream_eof(stream) ? STATUS_INCOMPLETE : STATUS_OK;
}

Status load_read_text(Stream* stream, LoadContext* ctx, const char* key, int length)
{
    if (length <= 0) return STATUS_OK;
    if (!(ctx->params.flags & LOAD_KEEP_COMMENT)) return stream_skip(stream, length) ? STATUS_INCOMPLETE : STATUS_OK;
    char* text = read_text_block(stream, length);
    if (text) load_add_text(ctx, key, text, 0);
    std::free(text);
    return stream_eof(stream) ? STATUS_INCOMPLETE : STATUS_OK;
}

Status load_fail(LoadContext* ctx, Status status, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(ctx->message, sizeof ctx->message, format, args);
    va_end(args);
    return status;
}

const char* compression_name(uint16_t code, const char* header_text)
{
    static const char* const names[] = {"Uncompressed",  "Rle",           "LZW",
                                        "JPEG",          "ZIP",           "Sgi Rle",
                                        "CCITT Rle",     "CCITT Group 3", "CCITT Group 3-2D",
                                        "CCITT Group 4", "Wavelet"};
    if (code == COMPRESSION_TEXT) return header_text ? header_text : "";
    return code < sizeof names / sizeof names[0] ? names[code] : names[0];
}

const char* colour_model_name(uint16_t code)
{
    switch (code) {
    case 2: return "CMY";
    case 3: return "CMYK";
    case 4: return "YCbCr";
    case 5: return "YUV16";
    case 6: return "CIE Lab";
    case 7: return "CIE Log2(L) (u',v')";
    case 8: return "CIE Log2(L)";
    default: return "RGB";
    }
}
