#include "formats/common/resolution.h"

namespace {

constexpr double INCHES_PER_METRE = 39.371370451786476;
constexpr double METRES_PER_INCH = 0.025399166666666667;
constexpr uint32_t DPI_MAX = 65535;

}  // namespace

uint32_t dpi_from_dots_per_metre(int64_t per_metre)
{
    if (per_metre <= 0) return 0;
    const double dpi = static_cast<double>(per_metre) * METRES_PER_INCH + 0.5;
    return dpi >= DPI_MAX ? DPI_MAX : static_cast<uint32_t>(dpi);
}

uint32_t dots_per_metre_from_dpi(int64_t dpi)
{
    if (dpi <= 0) return 0;
    const double per_metre = static_cast<double>(dpi) * INCHES_PER_METRE;
    return per_metre >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(per_metre);
}
