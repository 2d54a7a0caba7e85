// Windows metafiles (plain, placeable and enhanced), drawn by the system's graphics interface;
// and pictures written as an enhanced metafile holding one bitmap. Both need Windows: elsewhere
// the reader does not recognise anything and the writer refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

// Whether this build can draw and write metafiles.
bool metafile_supported();

Status metafile_read(Stream* stream, LoadContext* context);
Status emf_write(const char* file_name, SaveContext* context);
void emf_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
// The reader reads its drawing back at the display's depth; tests ask for another (1, 4, 8, 16,
// 24 or 32; 0 goes back to the display's).
void metafile_set_readback_bits(int bits);

constexpr uint32_t METAFILE_PLACEABLE_KEY = 0x9AC6CDD7;
constexpr uint32_t METAFILE_ENHANCED_SIGNATURE = 0x464D4520;  // " EMF" at offset 40

// The kind a file's first bytes announce: anything not enhanced or placeable is taken as plain.
enum class MetafileKind { Plain, Placeable, Enhanced };
MetafileKind metafile_kind(const uint8_t* head, size_t size);

// Fits a metafile's size into a thumbnail box keeping its proportions (a zero side becomes 1).
void metafile_fit(int width, int height, int box_width, int box_height, int* out_width, int* out_height);

// A plain metafile (its 18-byte header, then records) as it may safely be handed to the system,
// which trusts every size in it: the whole records up to the end record. Records that run past
// the data's end, are smaller than a record can be, hold more points or characters than they
// have room for or name an object outside the file's table end the drawing there, and an end
// record of our own closes it; the header's sizes are made to match. Empty when the header itself is not a metafile's. `whole` tells whether the
// records reached their own end record.
std::vector<uint8_t> wmf_sound_records(const uint8_t* data, size_t size, bool* whole);
// The same for an enhanced metafile: whole records up to the end record, record sizes inside
// the data; points, characters and bitmaps inside their records; object indices inside the
// file's table (stock objects only where they are selected). A damaged record is left out and
// the drawing goes on (`whole` is then false). A region filled or framed with a stock brush gets
// a brush of the file's own: the system of Wine looks stock brushes up in the file's table
// there and reads far outside it.
std::vector<uint8_t> emf_sound_records(const uint8_t* data, size_t size, bool* whole);

// False only when the first bytes certainly do not start a metafile of the row's kind.
bool wmf_signature(const uint8_t* head, size_t size);
bool emf_signature(const uint8_t* head, size_t size);
