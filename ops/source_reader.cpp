#include "ops/depth_internal.h"

#include <algorithm>
#include <cstring>

#include "ops/luminance.h"
#include "ops/scratch.h"

bool colour_layout(uint32_t type, ColourLayout* out)
{
    switch (type) {
    case PIXEL_RGB: *out = {0, 1, 2, -1, 3}; return true;
    case PIXEL_RGBA: *out = {0, 1, 2, 3, 4}; return true;
    case PIXEL_BGR: *out = {2, 1, 0, -1, 3}; return true;
    case PIXEL_BGRA: *out = {2, 1, 0, 3, 4}; return true;
    case PIXEL_ABGR: *out = {3, 2, 1, 0, 4}; return true;
    case PIXEL_ARGB: *out = {1, 2, 3, 0, 4}; return true;
    default: return false;
    }
}

namespace {

// Components of one pixel, 0 for types this file cannot read.
int components_of(uint32_t type)
{
    switch (type) {
    case PIXEL_BINARY:
    case PIXEL_GREY:
    case PIXEL_COLORS: return 1;
    case PIXEL_RGB:
    case PIXEL_BGR: return 3;
    case PIXEL_RGBA:
    case PIXEL_BGRA:
    case PIXEL_ABGR:
    case PIXEL_ARGB:
    case PIXEL_CMYK: return 4;
    default: return 0;
    }
}

bool lines_hold(const Picture* p, uint64_t bytes)
{
    return p && p->data && p->width > 0 && p->height > 0 && static_cast<int64_t>(p->bytes_per_line) >= static_cast<int64_t>(bytes);
}

void binary_to_rgb(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x, out += 3) out[0] = out[1] = out[2] = bit_get(line, x) ? 255 : 0;
}

void binary_to_grey(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x) out[x] = bit_get(line, x) ? 255 : 0;
}

void byte_to_rgb(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x, out += 3) {
        const uint8_t v = line[x];
        out[0] = r.red[v];
        out[1] = r.green[v];
        out[2] = r.blue[v];
    }
}

void byte_to_grey(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x) out[x] = r.grey[line[x]];
}

template <int R, int G, int B, int S>
void colour_to_rgb(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x, line += S, out += 3) {
        out[0] = line[R];
        out[1] = line[G];
        out[2] = line[B];
    }
}

// Ink values to light: each colour is what its ink and the black ink leave of white, as the
// loader converts CMYK files it is not asked to keep.
inline uint8_t ink_to_light(unsigned ink, unsigned black) { return static_cast<uint8_t>((255 - ink) * (255 - black) / 255); }

void cmyk_to_rgb(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x, line += 4, out += 3) {
        out[0] = ink_to_light(line[0], line[3]);
        out[1] = ink_to_light(line[1], line[3]);
        out[2] = ink_to_light(line[2], line[3]);
    }
}

void cmyk_to_grey(const SourceReader& r, const uint8_t* line, uint8_t* out)
{
    for (int x = 0; x < r.width; ++x, line += 4)
        out[x] = luminance(ink_to_light(line[0], line[3]), ink_to_light(line[1], line[3]), ink_to_light(line[2], line[3]));
}

}  // namespace

bool picture_readable_8_bits(const Picture* picture)
{
    const int components = picture ? components_of(picture->type) : 0;
    if (!components) return false;
    if (picture->type == PIXEL_BINARY) return lines_hold(picture, (static_cast<uint64_t>(picture->width) + 7) / 8);
    return picture->bits_per_component <= 8 && lines_hold(picture, static_cast<uint64_t>(picture->width) * components);
}

Status picture_narrow_to_8_bits(const Picture* source, Picture* narrow)
{
    const int components = components_of(source->type);
    const int bits = source->bits_per_component;
    if (!components || source->type == PIXEL_BINARY || source->type == PIXEL_COLORS || bits <= 8 || bits > 16 ||
        !lines_hold(source, static_cast<uint64_t>(source->width) * components * 2))
        return STATUS_BAD_PARAMETER;
    Scratch<uint8_t> scale(65536);
    if (!scale.ok()) return STATUS_NO_MEMORY;
    Picture out{};
    if (picture_alloc_like(&out, source->type, source)) return STATUS_NO_MEMORY;
    out.colour_used = source->type == PIXEL_GREY ? 256 : source->colour_used;
    out.transparent_index = source->transparent_index;
    const unsigned top = (1u << bits) - 1;
    for (unsigned v = 0; v < 65536; ++v) scale[v] = static_cast<uint8_t>((std::min(v, top) * 255 + top / 2) / top);
    const size_t samples = static_cast<size_t>(source->width) * components;
    for (int y = 0; y < source->height; ++y) {
        const uint8_t* in = picture_line(source, y);
        uint8_t* o = picture_line(&out, y);
        for (size_t i = 0; i < samples; ++i) {
            uint16_t v;
            std::memcpy(&v, in + 2 * i, 2);
            o[i] = scale[v];
        }
    }
    *narrow = out;
    return STATUS_OK;
}

int grey_levels(const Picture* picture)
{
    return picture->colour_used >= 2 && picture->colour_used <= 256 ? picture->colour_used : 256;
}

Status source_reader_init(SourceReader* reader, const Picture* picture)
{
    if (!picture_readable_8_bits(picture)) return STATUS_BAD_PARAMETER;
    SourceReader& r = *reader;
    r = SourceReader{};
    r.picture = picture;
    r.width = picture->width;
    switch (picture->type) {
    case PIXEL_BINARY:
        r.red[1] = r.green[1] = r.blue[1] = r.grey[1] = 255;
        r.to_rgb = binary_to_rgb;
        r.to_grey = binary_to_grey;
        return STATUS_OK;
    case PIXEL_GREY: {
        const int levels = grey_levels(picture);
        for (int v = 0; v < 256; ++v) r.red[v] = r.green[v] = r.blue[v] = r.grey[v] = v < levels ? static_cast<uint8_t>(ramp(levels, 256, v)) : 255;
        r.to_rgb = byte_to_rgb;
        r.to_grey = byte_to_grey;
        return STATUS_OK;
    }
    case PIXEL_COLORS: {
        const uint8_t* map = picture->colour_map;
        if (!map) return STATUS_BAD_PARAMETER;
        for (int v = 0; v < 256; ++v) {
            r.red[v] = map[v];
            r.green[v] = map[256 + v];
            r.blue[v] = map[512 + v];
            r.grey[v] = luminance(r.red[v], r.green[v], r.blue[v]);
        }
        r.to_rgb = byte_to_rgb;
        r.to_grey = byte_to_grey;
        return STATUS_OK;
    }
    case PIXEL_CMYK:
        r.to_rgb = cmyk_to_rgb;
        r.to_grey = cmyk_to_grey;
        return STATUS_OK;
    default: break;
    }
    colour_layout(picture->type, &r.layout);
    switch (picture->type) {
    case PIXEL_RGB: r.to_rgb = colour_to_rgb<0, 1, 2, 3>; break;
    case PIXEL_RGBA: r.to_rgb = colour_to_rgb<0, 1, 2, 4>; break;
    case PIXEL_BGR: r.to_rgb = colour_to_rgb<2, 1, 0, 3>; break;
    case PIXEL_BGRA: r.to_rgb = colour_to_rgb<2, 1, 0, 4>; break;
    case PIXEL_ABGR: r.to_rgb = colour_to_rgb<3, 2, 1, 4>; break;
    case PIXEL_ARGB: r.to_rgb = colour_to_rgb<1, 2, 3, 4>; break;
    default: return STATUS_BAD_PARAMETER;
    }
    r.to_grey = colour_grey_line(picture->type);
    return STATUS_OK;
}

const uint8_t* source_rgb_line(const SourceReader& reader, int y, uint8_t* buffer)
{
    const uint8_t* line = picture_line(reader.picture, y);
    if (reader.picture->type == PIXEL_RGB) return line;
    reader.to_rgb(reader, line, buffer);
    return buffer;
}
