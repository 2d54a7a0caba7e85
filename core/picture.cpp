#include "core/picture.h"

#include "core/pixels.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Everything about the layout except the blocks; returns false when the line or block size
// cannot be represented.
bool picture_layout(Picture* p, uint32_t type, int line_padding, int width, int height, int bits)
{
    *p = Picture{};
    const int64_t padding = line_padding < 1 ? 1 : line_padding;
    p->line_padding = static_cast<uint16_t>(padding);
    if (width < 1 || height < 1) return false;

    int64_t bytes_per_line;
    if (type == PIXEL_BINARY) {
        p->bytes_per_pixel = 1;
        p->bits_per_component = 1;
        p->components_per_pixel = 1;
        bytes_per_line = ((8 * padding + width - 1) / (8 * padding)) * padding;
    } else {
        int components = 1;
        if ((type & PIXEL_ANY24) || type == PIXEL_ANYCOLOR) components = 3;
        else if (type & PIXEL_ANY32) components = 4;
        if (type == PIXEL_ANY24 || type == PIXEL_ANYCOLOR) type = PIXEL_RGB;
        else if (type == PIXEL_ANY32) type = PIXEL_RGBA;
        const int bytes_per_component = bits > 8 ? 2 : 1;
        p->bits_per_component = static_cast<uint16_t>(bits > 8 ? bits : 8);
        p->components_per_pixel = static_cast<uint16_t>(components);
        p->bytes_per_pixel = static_cast<uint16_t>(components * bytes_per_component);
        bytes_per_line = ((int64_t{components} * bytes_per_component * width + padding - 1) / padding) *
                         padding;
    }
    if (bytes_per_line > INT32_MAX) return false;
    if (static_cast<uint64_t>(bytes_per_line) * static_cast<uint64_t>(height) > PTRDIFF_MAX / 2)
        return false;
    p->bytes_per_line = static_cast<int32_t>(bytes_per_line);
    p->type = static_cast<uint16_t>(type);
    return true;
}

int picture_alloc_bits(Picture* p, uint32_t type, int line_padding, int width, int height, int bits)
{
    if (!picture_layout(p, type, line_padding, width, height, bits)) return 0;
    p->data = pixels_alloc(static_cast<uint64_t>(p->bytes_per_line) * static_cast<uint64_t>(height));
    if (!p->data) return 0;
    p->width = width;
    p->height = height;
    p->colour_used = p->type == PIXEL_GREY || p->type == PIXEL_COLORS ? 256
                     : p->type == PIXEL_BINARY                        ? 2
                                                                      : 0;
    if (p->type & PIXEL_COLORS) p->colour_map = static_cast<uint8_t*>(std::calloc(COLOUR_MAP_BYTES, 1));
    p->transparent_index = NO_TRANSPARENT_INDEX;
    return 1;
}

char* copy_text(const char* text)
{
    if (!text) return nullptr;
    const size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

}  // namespace

int picture_alloc(Picture* picture, uint32_t type, int line_padding, int width, int height)
{
    return picture_alloc_bits(picture, type, line_padding, width, height, 8);
}

int picture_alloc_depth(Picture* picture, uint32_t type, int line_padding, int width, int height,
                        int bits)
{
    return picture_alloc_bits(picture, type, line_padding, width, height, bits);
}

PictureChunk* chunk_list_copy(const PictureChunk* source)
{
    PictureChunk* head = nullptr;
    PictureChunk** tail = &head;
    for (const PictureChunk* c = source; c; c = c->next) {
        auto* node = static_cast<PictureChunk*>(std::calloc(1, sizeof(PictureChunk)));
        if (!node) continue;
        node->kind = c->kind;
        node->size = c->size;
        if (c->bytes && c->size) {
            node->bytes = static_cast<uint8_t*>(std::malloc(c->size));
            if (node->bytes) std::memcpy(node->bytes, c->bytes, c->size);
        }
        *tail = node;
        tail = &node->next;
    }
    return head;
}

void chunk_list_free(PictureChunk* head)
{
    while (head) {
        PictureChunk* next = head->next;
        std::free(head->bytes);
        std::free(head);
        head = next;
    }
}

void picture_copy_extras(Picture* destination, const Picture* source)
{
    destination->origin = source->origin;
    destination->x_dpi = source->x_dpi;
    destination->y_dpi = source->y_dpi;
    destination->comment = copy_text(source->comment);
    destination->chunks = chunk_list_copy(source->chunks);
}

int picture_alloc_like(Picture* destination, uint32_t type, const Picture* source)
{
    if (!picture_alloc(destination, type, source->line_padding, source->width, source->height))
        return 1;
    picture_copy_extras(destination, source);
    return 0;
}

void picture_free(Picture* picture)
{
    pixels_free(picture->data);
    std::free(picture->colour_map);
    std::free(picture->comment);
    chunk_list_free(picture->chunks);
    picture->data = nullptr;
    picture->colour_map = nullptr;
    picture->comment = nullptr;
    picture->chunks = nullptr;
}

int picture_clone(const Picture* source, Picture* destination)
{
    if (!destination) return 0;
    Picture copy;
    if (!picture_alloc_depth(&copy, source->type, source->line_padding, source->width, source->height,
                             source->bits_per_component))
        return 1;
    std::memcpy(copy.data, source->data, picture_data_size(source));
    copy.colour_used = source->colour_used;
    copy.transparent_index = source->transparent_index;
    picture_copy_extras(&copy, source);
    if (source->colour_map) {
        if (!copy.colour_map) copy.colour_map = static_cast<uint8_t*>(std::malloc(COLOUR_MAP_BYTES));
        if (copy.colour_map) std::memcpy(copy.colour_map, source->colour_map, COLOUR_MAP_BYTES);
    }
    *destination = copy;
    return 0;
}

Status rect_clip(const Picture* picture, const Rect* rect, Rect* result)
{
    if (!rect) {
        *result = Rect{0, 0, picture->width, picture->height};
        return STATUS_OK;
    }
    // 64 bits: x + w must not wrap for rectangles reaching far outside.
    const int64_t x0 = rect->x > 0 ? rect->x : 0;
    const int64_t y0 = rect->y > 0 ? rect->y : 0;
    int64_t x1 = int64_t{rect->x} + rect->w;
    int64_t y1 = int64_t{rect->y} + rect->h;
    if (x1 > picture->width) x1 = picture->width;
    if (y1 > picture->height) y1 = picture->height;
    if (x1 - x0 < 1 || y1 - y0 < 1) {
        *result = Rect{static_cast<int32_t>(x0), static_cast<int32_t>(y0), 0, 0};
        return STATUS_BAD_PARAMETER;
    }
    *result = Rect{static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
                   static_cast<int32_t>(y1 - y0)};
    return STATUS_OK;
}

Status picture_crop(Picture* picture, Picture* destination, const Rect* rect)
{
    if (!rect) {
        Picture copy;
        if (picture_clone(picture, &copy)) return STATUS_NO_MEMORY;
        if (destination) {
            *destination = copy;
        } else {
            picture_free(picture);
            *picture = copy;
        }
        return STATUS_OK;
    }
    Rect r;
    LUM_TRY(rect_clip(picture, rect, &r));

    Picture out;
    if (!picture_alloc_depth(&out, picture->type, picture->line_padding, r.w, r.h,
                             picture->bits_per_component))
        return STATUS_NO_MEMORY;
    picture_copy_extras(&out, picture);
    out.colour_used = picture->colour_used;
    out.transparent_index = picture->transparent_index;

    for (int y = 0; y < r.h; ++y) {
        const uint8_t* from = picture_line(picture, r.y + y);
        uint8_t* to = picture_line(&out, y);
        if (picture->type == PIXEL_BINARY) {
            for (int x = 0; x < r.w; ++x) bit_put(to, x, bit_get(from, r.x + x));
        } else {
            std::memcpy(to, from + static_cast<size_t>(r.x) * picture->bytes_per_pixel,
                        static_cast<size_t>(r.w) * picture->bytes_per_pixel);
        }
    }
    if (picture->colour_map) {
        if (!out.colour_map) out.colour_map = static_cast<uint8_t*>(std::malloc(COLOUR_MAP_BYTES));
        if (out.colour_map) std::memcpy(out.colour_map, picture->colour_map, COLOUR_MAP_BYTES);
    }

    if (destination) {
        *destination = out;
    } else {
        picture_free(picture);
        *picture = out;
    }
    return STATUS_OK;
}

const char* status_text(Status status)
{
    switch (status) {
    case STATUS_OK: return "success";
    case STATUS_NO_MEMORY: return "not enough memory";
    case STATUS_UNKNOWN_FORMAT: return "format not recognised";
    case STATUS_OPEN_FAILED: return "cannot open the file";
    case STATUS_INCOMPLETE: return "the file is incomplete";
    case STATUS_CREATE_FAILED: return "cannot create the file";
    case STATUS_WRITE_FAILED: return "write failed";
    case STATUS_TYPE_UNSUPPORTED: return "pixel type not accepted by the writer";
    case STATUS_NO_WRITER: return "no writer for this format";
    case STATUS_BAD_HEADER: return "bad header";
    case STATUS_CORRUPT: return "corrupt data";
    case STATUS_CODEC_ERROR: return "compression library error";
    case STATUS_STOPPED: return "stopped";
    case STATUS_BAD_PARAMETER: return "bad parameter";
    case STATUS_BILEVEL_REFUSED: return "operation refused for bilevel pictures";
    default: return "unknown status";
    }
}
