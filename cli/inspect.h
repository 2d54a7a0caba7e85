// Reading a picture back as plain 8-bit RGBA, and its SHA-256: how the command-line tool and the
// tests compare the library's pictures with other decoders'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/picture.h"

// Top line first, left to right, 4 bytes a pixel; alpha 255 where the picture has none,
// 0 at the transparent colour-map entry.
std::vector<uint8_t> picture_to_rgba(const Picture& picture);
std::string sha256_hex(const uint8_t* bytes, size_t size);
std::string picture_rgba_sha256(const Picture& picture);
