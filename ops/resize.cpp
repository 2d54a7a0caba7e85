#include "ops/resize_internal.h"
#include "ops/pixel_dispatch.h"
#include "ops/scratch.h"

namespace {

// New index i takes old index old × i / new (integer division).
bool nearest_map(Scratch<int32_t>& map, int old_size, int new_size)
{
    if (!map.alloc(static_cast<uint64_t>(new_size))) return false;
    for (int64_t i = 0; i < new_size; ++i) map[i] = static_cast<int32_t>(int64_t{old_size} * i / new_size);
    return true;
}

Status resize_nearest(Picture* source, Picture* destination, int width, int height)
{
    Scratch<int32_t> columns, lines;
    if (!nearest_map(columns, source->width, width) || !nearest_map(lines, source->height, height))
        return STATUS_NO_MEMORY;
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, width, height));
    Status status = STATUS_OK;
    if (source->type == PIXEL_BINARY) {
        for (int j = 0; j < height; ++j) {
            const uint8_t* from = picture_line(source, lines[j]);
            uint8_t* to = picture_line(&out, j);
            for (int i = 0; i < width; ++i) bit_or(to, i, bit_get(from, columns[i]));
        }
    } else {
        status = with_pixel_width(source->bytes_per_pixel, [&](auto pixel) {
            constexpr int N = decltype(pixel)::value;
            for (int j = 0; j < height; ++j) {
                uint8_t* to = picture_line(&out, j);
                // Enlarging repeats lines: copy the line just made rather than picking it again.
                if (j > 0 && lines[j] == lines[j - 1]) {
                    std::memcpy(to, picture_line(&out, j - 1), static_cast<size_t>(width) * N);
                    continue;
                }
                const uint8_t* from = picture_line(source, lines[j]);
                for (int i = 0; i < width; ++i) pixel_move<N>(to + static_cast<ptrdiff_t>(i) * N, from + static_cast<ptrdiff_t>(columns[i]) * N);
            }
        });
    }
    if (status != STATUS_OK) {
        picture_free(&out);
        return status;
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

}  // namespace

Status image_resize(Picture* source, Picture* destination, int width, int height, int filter)
{
    if (!source->data || width < 1 || height < 1 || filter < 0 || filter > RESIZE_RAISED_COSINE)
        return STATUS_BAD_PARAMETER;
    if (filter >= RESIZE_HERMITE && source->type != PIXEL_BINARY)
        return resize_resample(source, destination, width, height, filter);
    if (filter == RESIZE_NEAREST || source->type == PIXEL_BINARY || source->type == PIXEL_COLORS)
        return resize_nearest(source, destination, width, height);
    return resize_resample(source, destination, width, height, filter);
}

void colour_map_expand_line(const Picture* source, const uint8_t* from, uint8_t* to, bool bgr)
{
    const uint8_t* map = source->colour_map;
    const int first = bgr ? 512 : 0, last = bgr ? 0 : 512;
    for (int x = 0; x < source->width; ++x, to += 3) {
        const uint8_t i = from[x];
        if (map) {
            to[0] = map[first + i], to[1] = map[256 + i], to[2] = map[last + i];
        } else {
            to[0] = to[1] = to[2] = i;
        }
    }
}
