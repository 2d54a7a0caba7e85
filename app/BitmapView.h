// How the thumbnail list draws its items in icon view: cell and spacing sizes, where the frame,
// the thumbnail and the name go, and names shortened with "..." to fit under their thumbnail.
// Window-free; app/win32/BitmapView.cpp draws with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct PanelRect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// The list's view types: 0 and 1 icon view, 2 report view, 3 icon view without scroll bars.
enum : int { THUMB_VIEW_ICONS = 0, THUMB_VIEW_SYSTEM_ICONS = 1, THUMB_VIEW_REPORT = 2, THUMB_VIEW_ICONS_FIXED = 3 };

struct ThumbCellSizes {
    int image_width, image_height;      // the item image list's cells
    int spacing_width, spacing_height;  // the list's icon spacing
};
// For view types 0 and 3 with a thumbnail box and the height of a text line.
ThumbCellSizes thumb_cell_sizes(int box_width, int box_height, int text_height);

// The odd rows of the report view have this background (a colour value).
constexpr uint32_t THUMB_REPORT_ODD_ROW = 0xC3C3C3;
constexpr uint32_t THUMB_SELECTED_PEN = 0x0000FF;
constexpr uint32_t THUMB_SELECTED_LABEL = 0xFF0000;

// From the item's icon rectangle: the area the thumbnail is centred in (shrunk by 4 on the left,
// top and right, then by 2 all round) and the outline drawn around it (2 larger than the first
// shrink).
struct ThumbItemLayout {
    PanelRect inner;    // fill and thumbnail area
    PanelRect outline;  // the 1-pixel frame
    PanelRect filled;   // highlighted when selected
};
ThumbItemLayout thumb_item_layout(const PanelRect& icon);

// Top-left corner of a w x h picture centred in `area`.
void thumb_centre(const PanelRect& area, int w, int h, int* x, int* y);

constexpr int THUMB_NAME_MAX = 64;
// `name` as drawn in a label `label_width` wide: whole when its measured width is at most
// label_width - 4; otherwise characters are removed from its end until the rest plus "..." fits
// (never more than 64 characters in all), "..." alone when no character can stay.
std::string thumb_shorten_name(const std::string& name, int label_width,
                               const std::function<int(const std::string&)>& measure);
