// Quarter turns and flips of JPEG files without loss: the file's DCT blocks are rearranged
// instead of decoding the picture and compressing it again.
//
// A turn is named by an Exif orientation code (1 to 8): the transform that stands upright a
// picture stored with that orientation. 1 leaves it alone, 6 turns it a quarter right, 8 a
// quarter left, 3 half round, 2 and 4 mirror it horizontally and vertically, 5 and 7 turn and
// mirror.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/status.h"

constexpr int TURN_NONE = 1;
constexpr int TURN_FLIP_H = 2;
constexpr int TURN_HALF = 3;
constexpr int TURN_FLIP_V = 4;
constexpr int TURN_RIGHT = 6;
constexpr int TURN_LEFT = 8;

// The turn that does `first` and then `then`.
int turn_compose(int first, int then);
// The turn that undoes `turn`.
int turn_inverse(int turn);
// True for the turns that exchange width and height.
bool turn_swaps_sides(int turn);

// Turns a whole JPEG file held in memory. The result keeps every marker of the original (Exif,
// IPTC, comment); its Exif orientation becomes 1 and its Exif thumbnail, which would now stand
// the wrong way, is dropped. STATUS_TYPE_UNSUPPORTED when the picture's sides are not whole
// blocks for this turn (the transform would have to trim the edge), STATUS_CORRUPT or
// STATUS_CODEC_ERROR when the file cannot be transformed.
Status jpeg_turn_bytes(const std::vector<uint8_t>& in, int turn, std::vector<uint8_t>* out);

// The same on files: `out_path` is written safely (a new file renamed over it only when complete),
// so it may be `in_path` itself; on failure the target is left as it was.
Status jpeg_turn_file(const char* in_path, const char* out_path, int turn);

// The Exif orientation of a JPEG file (1 when it has none or it cannot be read).
int jpeg_file_orientation(const char* path);
