#include "cli/ops.h"
#include "ops/depth.h"

namespace {

const char* const kDepthOptions[] = {"--dither", nullptr};

bool known_mode(int mode) { return (mode >= DEPTH_BILEVEL && mode <= DEPTH_GREY_256) || (mode >= DEPTH_COLOURS_8 && mode <= DEPTH_ARGB); }

Status run_depth(Picture* picture, CliOpCall& call)
{
    int mode = 0, dither = 0;
    if (!cli_int_arg(call, 0, &mode) || !cli_int_option(call, "--dither", DITHER_NONE, &dither)) return STATUS_BAD_PARAMETER;
    if (!known_mode(mode)) {
        call.error = "MODE must be 1 to 9 or 12 to 24";
        return STATUS_BAD_PARAMETER;
    }
    if (dither < 0 || dither > 65535) {
        call.error = "--dither must be 0 to 65535";
        return STATUS_BAD_PARAMETER;
    }
    return image_change_depth(picture, nullptr, mode, dither);
}

}  // namespace

const CliOp cli_depth_ops[] = {
    {"depth", 1, "depth MODE [--dither N]", kDepthOptions, run_depth},
};
const int cli_depth_op_count = 1;
