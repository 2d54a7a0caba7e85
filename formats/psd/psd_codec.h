// Photoshop documents: the merged picture, or one layer as a page, in every colour mode; 1-, 8-
// and 16-bit channels, raw or PackBits; the resolution and IPTC resources. There is no writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"

Status psd_read(Stream* stream, LoadContext* context);
bool psd_signature(const uint8_t* head, size_t size);
