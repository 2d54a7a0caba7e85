// Resolutions as files store them (dots per metre) and as pictures carry them (dots per inch).
// The factors are the ones the stored files of these formats have always been read and written
// with, so that a resolution survives a save and a load unchanged.
#pragma once

#include <cstdint>

// Dots per metre to dots per inch, rounded to the nearest; 0 (unknown: the pipeline gives 72)
// when the file gives none or a negative value, at most 65535.
uint32_t dpi_from_dots_per_metre(int64_t per_metre);

// Dots per inch to dots per metre, truncated; 0 for an unknown (0 or negative) resolution.
uint32_t dots_per_metre_from_dpi(int64_t dpi);
