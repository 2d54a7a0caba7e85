#include "ops/op.h"

#include <cstdlib>
#include <cstring>

Status op_result_alloc(const Picture* source, Picture* result, int width, int height, uint32_t type, int bits)
{
    if (!source->data) return STATUS_BAD_PARAMETER;
    Picture out;
    if (!picture_alloc_depth(&out, type ? type : source->type, source->line_padding, width, height,
                             bits ? bits : source->bits_per_component))
        return STATUS_NO_MEMORY;
    out.colour_used = source->colour_used;
    out.transparent_index = source->transparent_index;
    picture_copy_extras(&out, source);
    if (source->colour_map && (out.type & PIXEL_COLORS)) std::memcpy(out.colour_map, source->colour_map, COLOUR_MAP_BYTES);
    *result = out;
    return STATUS_OK;
}

Status op_result_copy(const Picture* source, Picture* result)
{
    if (!source->data) return STATUS_BAD_PARAMETER;
    return picture_clone(source, result) ? STATUS_NO_MEMORY : STATUS_OK;
}

void op_deliver(Picture* source, Picture* destination, Picture* result)
{
    if (destination) {
        *destination = *result;
    } else {
        picture_free(source);
        *source = *result;
    }
    *result = Picture{};
}
