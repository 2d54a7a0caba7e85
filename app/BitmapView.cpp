#include "app/BitmapView.h"

ThumbCellSizes thumb_cell_sizes(int box_width, int box_height, int text_height)
{
    return ThumbCellSizes{box_width - 8, box_height + 4, box_width + 8, box_height + 2 * text_height + 4};
}

ThumbItemLayout thumb_item_layout(const PanelRect& icon)
{
    ThumbItemLayout out;
    out.filled = PanelRect{icon.left + 4, icon.top + 4, icon.right - 4, icon.bottom};
    out.outline = PanelRect{out.filled.left - 2, out.filled.top - 2, out.filled.right + 2, out.filled.bottom + 2};
    out.inner = PanelRect{out.filled.left + 2, out.filled.top + 2, out.filled.right - 2, out.filled.bottom - 2};
    return out;
}

void thumb_centre(const PanelRect& area, int w, int h, int* x, int* y)
{
    *x = area.left + (area.width() - w) / 2;
    *y = area.top + (area.height() - h) / 2;
}

std::string thumb_shorten_name(const std::string& name, int label_width,
                               const std::function<int(const std::string&)>& measure)
{
    const int available = label_width - 4;
    if (name.size() <= static_cast<size_t>(THUMB_NAME_MAX) && measure(name) <= available) return name;
    // Room for the three dots inside the 64 characters.
    size_t keep = name.size() < static_cast<size_t>(THUMB_NAME_MAX - 3) ? name.size() : THUMB_NAME_MAX - 3;
    while (keep > 0 && measure(name.substr(0, keep) + "...") > available) --keep;
    return name.substr(0, keep) + "...";
}
