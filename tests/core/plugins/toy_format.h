// The toy picture format our test plug-ins read and write: "LTOY", width and height as
// little-endian 16-bit numbers, a channel count (1 grey or 3 RGB), then the rows top to bottom.
#pragma once

#include <cstdint>
#include <cstdio>

struct ToyHeader {
    int width;
    int height;
    int channels;
};

inline bool toy_read_header(FILE* f, ToyHeader* h)
{
    uint8_t b[9];
    if (std::fread(b, 1, 9, f) != 9) return false;
    if (b[0] != 'L' || b[1] != 'T' || b[2] != 'O' || b[3] != 'Y') return false;
    h->width = b[4] | b[5] << 8;
    h->height = b[6] | b[7] << 8;
    h->channels = b[8];
    return h->width > 0 && h->height > 0 && (h->channels == 1 || h->channels == 3);
}

inline bool toy_write_header(FILE* f, const ToyHeader& h)
{
    const uint8_t b[9] = {'L', 'T', 'O', 'Y', static_cast<uint8_t>(h.width), static_cast<uint8_t>(h.width >> 8),
                          static_cast<uint8_t>(h.height), static_cast<uint8_t>(h.height >> 8),
                          static_cast<uint8_t>(h.channels)};
    return std::fwrite(b, 1, 9, f) == 9;
}
