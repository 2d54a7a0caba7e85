#include "cli/ops.h"
#include "ops/geometry.h"
#include "ops/resize.h"

namespace {

Status run_rotate(Picture* picture, CliOpCall& call)
{
    int angle;
    if (!cli_int_arg(call, 0, &angle)) return STATUS_BAD_PARAMETER;
    return image_rotate(picture, nullptr, angle, nullptr);
}

Status run_flip_h(Picture* picture, CliOpCall&) { return image_flip_horizontal(picture, nullptr, nullptr); }

Status run_flip_v(Picture* picture, CliOpCall&) { return image_flip_vertical(picture, nullptr, nullptr); }

Status run_crop(Picture* picture, CliOpCall& call)
{
    Rect r;
    if (!cli_int_arg(call, 0, &r.x) || !cli_int_arg(call, 1, &r.y) || !cli_int_arg(call, 2, &r.w) ||
        !cli_int_arg(call, 3, &r.h))
        return STATUS_BAD_PARAMETER;
    return image_crop(picture, nullptr, &r);
}

// Both sizes, at least 1 each.
bool size_args(CliOpCall& call, int* width, int* height)
{
    if (!cli_int_arg(call, 0, width) || !cli_int_arg(call, 1, height)) return false;
    if (*width >= 1 && *height >= 1) return true;
    call.error = "the new size must be at least 1 x 1";
    return false;
}

Status run_resize(Picture* picture, CliOpCall& call)
{
    int width, height, filter;
    if (!size_args(call, &width, &height) || !cli_int_option(call, "--filter", RESIZE_INTERPOLATE, &filter))
        return STATUS_BAD_PARAMETER;
    if (filter < 0 || filter > RESIZE_RAISED_COSINE) {
        call.error = "--filter takes 0 to 9";
        return STATUS_BAD_PARAMETER;
    }
    return image_resize(picture, nullptr, width, height, filter);
}

Status run_resize_average(Picture* picture, CliOpCall& call)
{
    int width, height;
    if (!size_args(call, &width, &height)) return STATUS_BAD_PARAMETER;
    return image_resize_average(picture, nullptr, width, height, PIXEL_RGB);
}

const char* const resize_options[] = {"--filter", nullptr};

}  // namespace

const CliOp cli_geometry_ops[] = {
    {"rotate", 1, "rotate ANGLE", nullptr, run_rotate},
    {"flip-h", 0, "flip-h", nullptr, run_flip_h},
    {"flip-v", 0, "flip-v", nullptr, run_flip_v},
    {"crop", 4, "crop X Y W H", nullptr, run_crop},
    {"resize", 2, "resize W H [--filter N]", resize_options, run_resize},
    {"resize-average", 2, "resize-average W H", nullptr, run_resize_average},
};
const int cli_geometry_op_count = sizeof cli_geometry_ops / sizeof cli_geometry_ops[0];
