// DXT1 and DXT3 blocks, as some BMP files carry them: 4 x 4 pixels each, two 5-6-5 colours and
// 2-bit indices, DXT3 with 4-bit alphas ahead of them.
#pragma once

#include <cstdint>

constexpr int DXT1_BLOCK_BYTES = 8;
constexpr int DXT3_BLOCK_BYTES = 16;

// Decodes one block into 16 pixels of R, G, B, A, row by row.
void dxt1_decode_block(const uint8_t block[DXT1_BLOCK_BYTES], uint8_t out[64]);
void dxt3_decode_block(const uint8_t block[DXT3_BLOCK_BYTES], uint8_t out[64]);
