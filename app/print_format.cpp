#include "app/print_format.h"

// About 60 pixels per centimetre for the optimal level and 48 for the satisfactory one. Rows 1, 8
// and 10 give the format's short side first, the others its long side.
const PrintFormat PRINT_FORMATS[PRINT_FORMAT_COUNT] = {
    {40026, "9x13", 780, 544, 624, 435, 14, 31},
    {40027, "10x15", 603, 898, 402, 599, 16, 33},
    {40028, "13x18", 1075, 780, 860, 624, 19, 36},
    {40029, "13x19", 1144, 783, 913, 624, 25, 42},
    {40030, "15x21", 1252, 898, 1002, 719, 26, 43},
    {40031, "20x27", 1607, 1193, 1286, 955, 27, 44},
    {40032, "20x30", 1790, 1193, 1432, 955, 21, 38},
    {40033, "10x13", 780, 603, 624, 482, 15, 32},
    {40034, "11x15", 662, 898, 441, 599, 17, 34},
    {40035, "13x17", 1016, 780, 813, 624, 18, 35},
    {40036, "15x20", 898, 1193, 599, 796, 20, 37},
};

namespace {

const PrintFormat& row(int format)
{
    if (format < 0 || format >= PRINT_FORMAT_COUNT) format = PRINT_FORMAT_START;
    return PRINT_FORMATS[format];
}

int level(int format, int a, int b)
{
    const PrintFormat& f = row(format);
    if (a >= f.optimal_first && b >= f.optimal_second) return QUALITY_OPTIMAL;
    if (a >= f.satisfactory_first && b >= f.satisfactory_second) return QUALITY_SATISFACTORY;
    return QUALITY_INSUFFICIENT;
}

}  // namespace

int print_format_of_command(int command)
{
    const int format = command - PRINT_FORMAT_FIRST_COMMAND;
    return format >= 0 && format < PRINT_FORMAT_COUNT ? format : -1;
}

int print_format_shape(int format, bool portrait)
{
    return portrait ? row(format).shape_portrait : row(format).shape_landscape;
}

int print_quality_of_frame(int format, bool portrait, int left, int top, int right, int bottom)
{
    int a = right - left, b = bottom - top;
    if (!portrait) {
        const int t = a;
        a = b;
        b = t;
    }
    return level(format, a, b);
}

int print_quality_of_picture(int format, int width, int height) { return level(format, width, height); }

uint32_t print_quality_colour(int level)
{
    switch (level) {
    case QUALITY_OPTIMAL: return 0x00FF00;
    case QUALITY_SATISFACTORY: return 0x00FFFF;
    default: return 0x0000FF;
    }
}
