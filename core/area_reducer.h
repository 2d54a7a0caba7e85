// Area-averaging reduction of a picture streamed line by line: every target pixel is the mean of
// the source area it covers, in fixed point with 1024 as one. The loading pipeline feeds it file
// lines as they are decoded, so a huge photo becomes a thumbnail without ever being whole in
// memory; the resize operation runs whole pictures through it.
#pragma once

#include <cstdint>
#include <vector>

struct AreaReducer {
    int source_width = 0, source_height = 0;
    int target_width = 0, target_height = 0;
    int components = 0;
    // Per source column: the target column it starts in, and the share (of 1024) it gives to the
    // next target column when a boundary falls inside it.
    std::vector<int32_t> column_target;
    std::vector<uint16_t> column_share;
    std::vector<int32_t> row_target;
    std::vector<uint16_t> row_share;
    std::vector<int32_t> run_end;               // per target column: end of its plainly summed columns
    std::vector<uint64_t> line_sums_wide;       // one source line reduced across, in 1024ths
    std::vector<uint64_t> current, next;        // target rows being gathered, in 1024ths squared
    uint64_t divisor = 1;
    int source_row = 0;
    int target_row = 0;                         // the row `current` gathers
};

// Returns false when the sizes are out of range or memory is short.
bool area_reducer_init(AreaReducer* r, int source_width, int source_height, int target_width, int target_height,
                       int components);
// Adds the next source line (components bytes a pixel). When it completes a target row, writes it
// to `out` (target_width x components bytes) and returns its index; otherwise returns -1.
int area_reducer_push(AreaReducer* r, const uint8_t* line, uint8_t* out);
// After the last source line: writes a target row still being gathered and returns its index, or -1.
int area_reducer_flush(AreaReducer* r, uint8_t* out);
