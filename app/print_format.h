// Print formats of the crop frame and the print-quality evaluation behind the Info lamp.
#pragma once

#include <cstdint>

constexpr int PRINT_FORMAT_COUNT = 11;
constexpr int PRINT_FORMAT_FIRST_COMMAND = 40026;  // "9x13"; the formats follow in table order
constexpr int PRINT_FORMAT_START = 1;              // "10x15", the format chosen at start-up

struct PrintFormat {
    int32_t command;
    const char* text;
    // Pixel thresholds of the two levels; the first is compared with the frame's width (its
    // height when the frame stands upright), the second with the other side.
    int32_t optimal_first;
    int32_t optimal_second;
    int32_t satisfactory_first;
    int32_t satisfactory_second;
    int32_t shape_portrait;   // frame-shape codes handed to the view
    int32_t shape_landscape;
};

extern const PrintFormat PRINT_FORMATS[PRINT_FORMAT_COUNT];

// Quality levels, as the Info lamp shows them.
enum : int32_t { QUALITY_INSUFFICIENT = 0, QUALITY_SATISFACTORY = 1, QUALITY_OPTIMAL = 2 };

// The format row of a command, or -1 when the command is not a format.
int print_format_of_command(int command);
int print_format_shape(int format, bool portrait);

// The level of a frame (left, top, right, bottom in picture pixels) printed in `format`.
int print_quality_of_frame(int format, bool portrait, int left, int top, int right, int bottom);
// The level of the whole picture, its sides taken as they are whatever the orientation.
int print_quality_of_picture(int format, int width, int height);
// The frame colour that goes with a level (0x00BBGGRR): green, yellow or red.
uint32_t print_quality_colour(int level);
