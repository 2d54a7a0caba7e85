// The colour table of files whose set bits are black (the opposite of the pictures' polarity).
// Handed to the pipeline with load_set_palette as soon as a load begins, it also turns the lines
// of a file that ends early the right way round.
#pragma once

#include <cstdint>

inline constexpr uint8_t PALETTE_SET_BITS_BLACK[6] = {255, 255, 255, 0, 0, 0};
