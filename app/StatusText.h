// The status line's painted area.
#pragma once

#include "app/BitmapView.h"

constexpr uint32_t STATUS_TEXT_BACKGROUND = 0xFFFFFF;

// On screens more than 600 pixels high the lowest 20 pixels of the line are left unpainted.
PanelRect status_text_area(const PanelRect& client, int screen_height);
