// The Info panel's picture: three lamps and a word for the print-quality level.
// Window-free; app/win32/Info.cpp paints it.
#pragma once

#include <cstdint>

#include "app/BitmapView.h"

enum : int { INFO_LEVEL_INSUFFICIENT = 0, INFO_LEVEL_SATISFACTORY = 1, INFO_LEVEL_OPTIMAL = 2 };

constexpr uint32_t INFO_GREEN = 0x00FF00;
constexpr uint32_t INFO_YELLOW = 0x00FFFF;
constexpr uint32_t INFO_RED = 0x0000FF;
constexpr uint32_t INFO_GREY = 0x808080;
constexpr uint32_t INFO_BACKGROUND = 0xFFFFFF;

struct InfoLamps {
    PanelRect box[3];      // the circles' boxes, left to right
    uint32_t colour[3];   // colour values
    int string_id;        // IDS_INFO_GREEN, IDS_INFO_YELLOW or IDS_INFO_RED
};

// Level 2 lights the first lamp green, 1 the second yellow, 0 or anything else the third red.
InfoLamps info_lamps(int level, int client_width);
