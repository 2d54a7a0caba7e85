#include <algorithm>
#include <cmath>
#include <cstring>

#include "ops/colour.h"
#include "ops/lookup.h"
#include "ops/op.h"
#include "ops/pixel_check.h"
#include "ops/rect_rows.h"
#include "ops/table_util.h"

void adjust_table(uint8_t table[TABLE_SIZE], int brightness, int contrast, double gamma)
{
    // Beyond these the formulas divide by a negative number and turn the picture inside out.
    const int b = std::clamp(brightness, -255, 255);
    const int k = std::clamp(contrast, -127, 127);
    const bool with_gamma = (gamma < 0.9999 || gamma > 1.0001) && gamma > 0.0;
    const double exponent = with_gamma ? 1.0 / gamma : 1.0;
    for (int i = 0; i < TABLE_SIZE; ++i) {
        const int v = std::clamp(i + b, 0, 255);
        const double f = k > 0 ? (v - k) * 255.0 / (255.0 - 2 * k)
                               : (2 * k + 255.0) * v * 0.00392156862745098 - k;
        int u = static_cast<int>(std::clamp(f, -1.0, 256.0));
        u = std::clamp(u, 0, 255);
        if (with_gamma) u = static_cast<int>(std::pow(u * 0.00392156862745098, exponent) * 255.0 + 0.5);
        table[i] = static_cast<uint8_t>(u);
    }
}

namespace {

// The common body of both appliers once the tables are final.
Status map_picture(Picture* source, Picture* destination, const Rect* rect, const uint8_t* const tables[3])
{
    LUM_TRY(pixel_check_bytes_not_bilevel(source));
    Rect r;
    LUM_TRY(rect_clip(source, rect, &r));

    Picture result{};
    if (source->type == PIXEL_COLORS) {
        // Only the map changes; the indexes stay as they are, whatever the rectangle.
        Picture* work = source;
        if (destination) {
            LUM_TRY(op_result_copy(source, &result));
            if (!result.colour_map) {
                picture_free(&result);
                return STATUS_NO_MEMORY;
            }
            work = &result;
        }
        const int used = std::clamp<int>(source->colour_used, 0, 256);
        for (int k = 0; k < 3; ++k) {
            uint8_t* plane = work->colour_map + TABLE_SIZE * k;
            for (int i = 0; i < used; ++i) plane[i] = tables[k][plane[i]];
        }
        if (destination) op_deliver(source, destination, &result);
        return STATUS_OK;
    }

    const PixelTables pixel_tables{{tables[0], tables[1], tables[2]}, source->bytes_per_pixel};
    if (!destination) {
        // Nothing can fail from here on, so the source may change as it is read.
        for (int y = r.y; y < r.y + r.h; ++y) {
            uint8_t* line = picture_line(source, y) + static_cast<size_t>(r.x) * source->bytes_per_pixel;
            map_pixels(line, line, r.w, pixel_tables);
        }
        return STATUS_OK;
    }

    LUM_TRY(op_result_alloc(source, &result, source->width, source->height));
    rows_around_rect(source, &result, r, [&](const uint8_t* from, uint8_t* to, size_t pixels) {
        map_pixels(from, to, pixels, pixel_tables);
    });
    op_deliver(source, destination, &result);
    return STATUS_OK;
}

}  // namespace

Status apply_table(Picture* source, Picture* destination, const Rect* rect, const uint8_t table[TABLE_SIZE])
{
    LUM_TRY(pixel_check_bytes(source));
    uint8_t levels[TABLE_SIZE];
    const int n = grey_level_count(source);
    if (n) {
        // The picture stores level numbers 0 .. n-1: the table is read at the grey value of each
        // level and its answer brought back to a level.
        std::memset(levels, 0, sizeof levels);
        for (int i = 0; i < n; ++i) levels[i] = static_cast<uint8_t>(table[i * 255 / (n - 1)] * (n - 1) / 255);
        table = levels;
    }
    const uint8_t* const tables[3] = {table, table, table};
    return map_picture(source, destination, rect, tables);
}

Status apply_tables(Picture* source, Picture* destination, const Rect* rect, const uint8_t tables[3 * TABLE_SIZE])
{
    const uint8_t* const split[3] = {tables, tables + TABLE_SIZE, tables + 2 * TABLE_SIZE};
    return map_picture(source, destination, rect, split);
}

Status image_adjust(Picture* source, Picture* destination, const Rect* rect, int brightness, int contrast,
                    double gamma)
{
    if (source && source->type == PIXEL_BINARY) return STATUS_BILEVEL_REFUSED;
    if (!(gamma > 0.0) || !std::isfinite(gamma)) return STATUS_BAD_PARAMETER;
    uint8_t table[TABLE_SIZE];
    adjust_table(table, brightness, contrast, gamma);
    return apply_table(source, destination, rect, table);
}

Status image_colour_balance(Picture* source, Picture* destination, const Rect* rect, int32_t offset0,
                            int32_t offset1, int32_t offset2)
{
    LUM_TRY(pixel_check_bytes_not_bilevel(source));
    uint8_t tables[3 * TABLE_SIZE];
    const int32_t offsets[3] = {offset0, offset1, offset2};
    for (int k = 0; k < 3; ++k)
        for (int v = 0; v < TABLE_SIZE; ++v)
            tables[TABLE_SIZE * k + v] = static_cast<uint8_t>(std::clamp<int64_t>(int64_t{v} + offsets[k], 0, 255));
    // The result has 256 grey levels: a picture of fewer levels is first read as grey values.
    grey_levels_to_values(source, tables);
    LUM_TRY(apply_tables(source, destination, rect, tables));
    mark_full_range(destination ? destination : source);
    return STATUS_OK;
}
