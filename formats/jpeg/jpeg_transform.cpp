#include "formats/jpeg/jpeg_transform.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstring>

#include "core/save.h"
#include "formats/common/exif.h"

namespace {

// Each orientation as a map of a pixel's place: where (x, y) of a w x h stored picture lands in
// the upright one, written with the transposition first and the mirrors after.
struct TurnMap {
    bool transpose;
    bool mirror_x;  // after the transposition, counted in the result's columns
    bool mirror_y;
};

constexpr TurnMap TURN_MAPS[9] = {
    {false, false, false},  // (unused)
    {false, false, false},  // 1
    {false, true, false},   // 2 mirror
    {false, true, true},    // 3 half
    {false, false, true},   // 4 flip
    {true, false, false},   // 5 transpose
    {true, true, false},    // 6 quarter right
    {true, true, true},     // 7 transverse
    {true, false, true},    // 8 quarter left
};

bool valid(int turn) { return turn >= 1 && turn <= 8; }

// Where the pixel (x, y) of a 3 x 2 picture goes under a turn, as an index in the result.
int image_of(int turn, int x, int y)
{
    const TurnMap& m = TURN_MAPS[turn];
    int w = 3, h = 2;
    if (m.transpose) {
        std::swap(x, y);
        std::swap(w, h);
    }
    if (m.mirror_x) x = w - 1 - x;
    if (m.mirror_y) y = h - 1 - y;
    return y * w + x;
}

// A turn is known by where it sends the six pixels of an asymmetric 3 x 2 picture; composing two
// turns is looking up the one that sends them to the same places.
int turn_from_places(const int places[6], bool transposed)
{
    for (int t = 1; t <= 8; ++t) {
        if (TURN_MAPS[t].transpose != transposed) continue;
        bool same = true;
        for (int i = 0; i < 6 && same; ++i) same = image_of(t, i % 3, i / 3) == places[i];
        if (same) return t;
    }
    return TURN_NONE;
}

TJXOP operation_of(int turn)
{
    switch (turn) {
    case 2: return TJXOP_HFLIP;
    case 3: return TJXOP_ROT180;
    case 4: return TJXOP_VFLIP;
    case 5: return TJXOP_TRANSPOSE;
    case 6: return TJXOP_ROT90;
    case 7: return TJXOP_TRANSVERSE;
    case 8: return TJXOP_ROT270;
    default: return TJXOP_NONE;
    }
}

// The APP1 Exif payload inside a JPEG held in memory, found by walking the markers up to the
// first scan.
bool find_exif(std::vector<uint8_t>& jpeg, uint8_t** payload, size_t* length)
{
    size_t at = 2;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != 0xFF) return false;
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return false;
        const size_t size = static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (size < 2 || at + 2 + size > jpeg.size()) return false;
        if (marker == 0xE1 && size >= 8 && std::memcmp(&jpeg[at + 4], "Exif\0\0", 6) == 0) {
            *payload = &jpeg[at + 4];
            *length = size - 2;
            return true;
        }
        at += 2 + size;
    }
    return false;
}

// Orientation 1, and no second directory: the thumbnail it describes stood the old way round.
void settle_exif(std::vector<uint8_t>& jpeg)
{
    uint8_t* payload = nullptr;
    size_t length = 0;
    if (!find_exif(jpeg, &payload, &length)) return;
    exif_set_orientation(payload, length, 1);
    ExifBlock block;
    if (!exif_open(payload, length, &block)) return;
    const uint32_t first = exif_first_directory(block);
    if (first < 8 || static_cast<size_t>(first) + 2 > block.size) return;
    const size_t next_at = first + 2 + static_cast<size_t>(exif_u16(block, first)) * 12;
    if (next_at + 4 > block.size) return;
    std::memset(block.tiff + next_at, 0, 4);
}

bool read_file(const char* path, std::vector<uint8_t>* bytes)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bytes->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->insert(bytes->end(), buffer, buffer + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

int turn_compose(int first, int then)
{
    if (!valid(first)) first = TURN_NONE;
    if (!valid(then)) then = TURN_NONE;
    // Apply `first` on the 3 x 2 picture, then `then` on its result (2 x 3 when turned).
    int places[6];
    const bool first_turns = TURN_MAPS[first].transpose;
    for (int i = 0; i < 6; ++i) {
        const int mid = image_of(first, i % 3, i / 3);
        const int mid_w = first_turns ? 2 : 3;
        int x = mid % mid_w, y = mid / mid_w;
        const TurnMap& m = TURN_MAPS[then];
        int w = mid_w, h = first_turns ? 3 : 2;
        if (m.transpose) {
            std::swap(x, y);
            std::swap(w, h);
        }
        if (m.mirror_x) x = w - 1 - x;
        if (m.mirror_y) y = h - 1 - y;
        places[i] = y * w + x;
    }
    return turn_from_places(places, first_turns != TURN_MAPS[then].transpose);
}

int turn_inverse(int turn)
{
    for (int t = 1; t <= 8; ++t)
        if (turn_compose(turn, t) == TURN_NONE) return t;
    return TURN_NONE;
}

bool turn_swaps_sides(int turn) { return valid(turn) && TURN_MAPS[turn].transpose; }

Status jpeg_turn_bytes(const std::vector<uint8_t>& in, int turn, std::vector<uint8_t>* out)
{
    if (!valid(turn)) return STATUS_BAD_PARAMETER;
    tjhandle handle = tjInitTransform();
    if (!handle) return STATUS_NO_MEMORY;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(handle, in.data(), static_cast<unsigned long>(in.size()), &width, &height, &subsampling,
                            &colourspace) != 0) {
        tjDestroy(handle);
        return STATUS_CORRUPT;
    }
    // Sides that are not whole blocks would be trimmed by the transform; such pictures take the
    // ordinary road.
    const int block_w = subsampling >= 0 && subsampling < TJ_NUMSAMP ? tjMCUWidth[subsampling] : 8;
    const int block_h = subsampling >= 0 && subsampling < TJ_NUMSAMP ? tjMCUHeight[subsampling] : 8;
    if (turn != TURN_NONE && (width % block_w != 0 || height % block_h != 0)) {
        tjDestroy(handle);
        return STATUS_TYPE_UNSUPPORTED;
    }
    tjtransform transform{};
    transform.op = operation_of(turn);
    transform.options = TJXOPT_PERFECT;
    unsigned char* result = nullptr;
    unsigned long result_size = 0;
    const int failed = tjTransform(handle, in.data(), static_cast<unsigned long>(in.size()), 1, &result, &result_size,
                                   &transform, 0);
    Status status = STATUS_OK;
    if (failed || !result) status = STATUS_CODEC_ERROR;
    else out->assign(result, result + result_size);
    tjFree(result);
    tjDestroy(handle);
    if (status == STATUS_OK) settle_exif(*out);
    return status;
}

Status jpeg_turn_file(const char* in_path, const char* out_path, int turn)
{
    std::vector<uint8_t> in, out;
    if (!read_file(in_path, &in)) return STATUS_OPEN_FAILED;
    LUM_TRY(jpeg_turn_bytes(in, turn, &out));
    std::string temp;
    if (!file_sibling_temp(out_path, &temp)) return STATUS_CREATE_FAILED;
    FILE* f = std::fopen(temp.c_str(), "wb");
    bool written = f && std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (f && std::fclose(f) != 0) written = false;
    if (!written || !file_replace(temp, out_path)) {
        std::remove(temp.c_str());
        return written ? STATUS_CREATE_FAILED : STATUS_WRITE_FAILED;
    }
    return STATUS_OK;
}

int jpeg_file_orientation(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes)) return TURN_NONE;
    uint8_t* payload = nullptr;
    size_t length = 0;
    if (!find_exif(bytes, &payload, &length)) return TURN_NONE;
    const int orientation = exif_orientation(payload, length);
    return valid(orientation) ? orientation : TURN_NONE;
}
