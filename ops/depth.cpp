#include "ops/depth.h"

#include "ops/depth_internal.h"
#include "ops/op.h"

namespace {

constexpr int kGreyLevels[] = {4, 8, 16, 32, 64, 128, 216, 256};
constexpr int kPaletteColours[] = {8, 16, 32, 64, 128, 216, 256};
constexpr uint16_t kTrueColourTypes[] = {PIXEL_RGB, PIXEL_RGBA, PIXEL_BGR, PIXEL_ABGR, PIXEL_BGRA, PIXEL_ARGB};

// The type a mode gives when that type may be reached by copying the picture as it is.
uint16_t copied_type(int mode)
{
    if (mode == DEPTH_BILEVEL) return PIXEL_BINARY;
    if (mode >= DEPTH_RGB && mode <= DEPTH_ARGB) return kTrueColourTypes[mode - DEPTH_RGB];
    return 0;
}

Status convert(const SourceReader& reader, int mode, int dither, Picture* result)
{
    if (mode == DEPTH_BILEVEL) return depth_to_bilevel(reader, dither, result);
    if (mode <= DEPTH_GREY_256) return depth_to_grey(reader, kGreyLevels[mode - DEPTH_GREY_4], dither == DITHER_ORDERED, result);
    if (mode <= DEPTH_COLOURS_256) return depth_to_palette(reader, kPaletteColours[mode - DEPTH_COLOURS_8], dither, result);
    return depth_to_true_colour(reader, kTrueColourTypes[mode - DEPTH_RGB], result);
}

// Runs `body` on the source read at 8 bits per component, narrowing a deeper picture first.
template <typename Body>
Status with_reader(const Picture* source, Body body)
{
    Picture narrow{};
    const Picture* from = source;
    if (!picture_readable_8_bits(source)) {
        LUM_TRY(picture_narrow_to_8_bits(source, &narrow));
        from = &narrow;
    }
    SourceReader reader;
    Status status = source_reader_init(&reader, from);
    if (status == STATUS_OK) status = body(reader);
    picture_free(&narrow);
    return status;
}

}  // namespace

Status image_change_depth(Picture* source, Picture* destination, int mode, int dither)
{
    const bool known = (mode >= DEPTH_BILEVEL && mode <= DEPTH_GREY_256) || (mode >= DEPTH_COLOURS_8 && mode <= DEPTH_ARGB);
    if (!source || !known || (mode == DEPTH_BILEVEL && dither < 0)) return STATUS_BAD_PARAMETER;
    Picture result{};
    if (copied_type(mode) == source->type && picture_readable_8_bits(source)) {
        if (!destination) return STATUS_OK;
        LUM_TRY(op_result_copy(source, &result));
        op_deliver(source, destination, &result);
        return STATUS_OK;
    }
    const Status status = with_reader(source, [&](const SourceReader& reader) -> Status { return convert(reader, mode, dither, &result); });
    if (status != STATUS_OK) {
        picture_free(&result);
        return status;
    }
    op_deliver(source, destination, &result);
    return STATUS_OK;
}

Status image_median_cut(Picture* source, Picture* destination, int colours, bool diffuse)
{
    if (!source || colours < 2 || colours > 256) return STATUS_BAD_PARAMETER;
    Picture result{};
    const Status status = with_reader(source, [&](const SourceReader& reader) -> Status {
        if (picture_alloc_like(&result, PIXEL_COLORS, reader.picture) || !result.colour_map) return STATUS_NO_MEMORY;
        result.colour_used = static_cast<int16_t>(colours);
        return median_cut_map(reader, colours, diffuse, &result);
    });
    if (status != STATUS_OK) {
        picture_free(&result);
        return status;
    }
    op_deliver(source, destination, &result);
    return STATUS_OK;
}
