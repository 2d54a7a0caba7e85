// The DOS binary EPS wrapper: a 30-byte little-endian header that places the PostScript text and
// an optional TIFF preview inside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t EPS_DOS_SIGNATURE = 0xC6D3D0C5;
constexpr size_t EPS_DOS_HEADER_SIZE = 30;
// The TIFF tag that carries Photoshop's image resources.
constexpr uint16_t EPS_PHOTOSHOP_TAG = 34377;

struct EpsDosHeader {
    uint32_t ps_offset;
    uint32_t ps_length;
    uint32_t tiff_offset;
    uint32_t tiff_length;
};

// Reads the header from the file's first bytes; false when they are not one.
bool eps_dos_header_parse(const uint8_t* head, size_t size, EpsDosHeader* out);

// The Photoshop resources of a little-endian TIFF preview's first directory ("II", 42, tag
// 34377), as a Photoshop chunk ("Photoshop 3.0", a zero byte, the data). Empty when there is
// none or the preview is damaged.
std::vector<uint8_t> eps_preview_photoshop(const uint8_t* tiff, size_t size);
