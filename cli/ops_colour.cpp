#include <charconv>
#include <string>

#include "cli/ops.h"
#include "ops/colour.h"
#include "ops/filter.h"

namespace {

bool int_in(CliOpCall& call, size_t index, int low, int high, int* out)
{
    if (!cli_int_arg(call, index, out)) return false;
    if (*out >= low && *out <= high) return true;
    call.error = "out of range (" + std::to_string(low) + " to " + std::to_string(high) + "): " + call.args[index];
    return false;
}

// Gamma is the one argument with decimals; a dot separates them whatever the locale.
bool gamma_arg(CliOpCall& call, size_t index, double* out)
{
    const std::string& text = index < call.args.size() ? call.args[index] : std::string();
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *out);
    if (text.empty() || error != std::errc() || stop != end) {
        call.error = "not a number: " + text;
        return false;
    }
    if (*out >= 0.01 && *out <= 10.0) return true;
    call.error = "gamma out of range (0.01 to 10): " + text;
    return false;
}

Status run_adjust(Picture* p, CliOpCall& call)
{
    int brightness, contrast;
    double gamma;
    if (!int_in(call, 0, -255, 255, &brightness) || !int_in(call, 1, -127, 127, &contrast) ||
        !gamma_arg(call, 2, &gamma))
        return STATUS_BAD_PARAMETER;
    return image_adjust(p, nullptr, nullptr, brightness, contrast, gamma);
}

Status run_balance(Picture* p, CliOpCall& call)
{
    int offsets[3];
    for (size_t k = 0; k < 3; ++k)
        if (!int_in(call, k, -255, 255, &offsets[k])) return STATUS_BAD_PARAMETER;
    return image_colour_balance(p, nullptr, nullptr, offsets[0], offsets[1], offsets[2]);
}

Status run_auto_contrast(Picture* p, CliOpCall&) { return image_auto_contrast(p, nullptr, nullptr); }

Status run_auto_levels(Picture* p, CliOpCall&) { return image_auto_levels(p, nullptr, nullptr); }

Status run_blur(Picture* p, CliOpCall& call)
{
    int strength;
    if (!int_in(call, 0, 0, 100, &strength)) return STATUS_BAD_PARAMETER;
    return image_blur(p, nullptr, nullptr, static_cast<unsigned>(strength));
}

Status run_sharpen(Picture* p, CliOpCall&) { return image_sharpen(p, nullptr, nullptr); }

Status run_filter(Picture* p, CliOpCall& call)
{
    int entry;
    if (!int_in(call, 0, 0, FILTER_KERNEL_COUNT - 1, &entry)) return STATUS_BAD_PARAMETER;
    return image_filter(p, nullptr, nullptr, entry);
}

Status run_sepia(Picture* p, CliOpCall& call)
{
    int strength;
    if (!int_in(call, 0, 0, 400, &strength)) return STATUS_BAD_PARAMETER;
    return image_sepia(p, nullptr, nullptr, strength);
}

}  // namespace

const CliOp cli_colour_ops[] = {
    {"adjust", 3, "adjust B C G", nullptr, run_adjust},
    {"balance", 3, "balance R G B", nullptr, run_balance},
    {"auto-contrast", 0, "auto-contrast", nullptr, run_auto_contrast},
    {"auto-levels", 0, "auto-levels", nullptr, run_auto_levels},
    {"blur", 1, "blur S", nullptr, run_blur},
    {"sharpen", 0, "sharpen", nullptr, run_sharpen},
    {"filter", 1, "filter N", nullptr, run_filter},
    {"sepia", 1, "sepia S", nullptr, run_sepia},
};
const int cli_colour_op_count = static_cast<int>(sizeof cli_colour_ops / sizeof cli_colour_ops[0]);
