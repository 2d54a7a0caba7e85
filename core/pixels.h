// Pixel blocks. Large blocks are mapped with transparent huge pages where the system offers them:
// a fresh 72 MB photo otherwise costs some 18000 page faults, more than decoding it.
#pragma once

#include <cstdint>

// A zeroed block of `size` bytes, or null.
uint8_t* pixels_alloc(uint64_t size);
// Frees a block from pixels_alloc, or one from malloc (a caller's own allocator); null is allowed.
void pixels_free(void* block);
