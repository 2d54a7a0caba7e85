#include "app/CMenu.h"

#include <algorithm>

namespace {

uint32_t map_channels(uint32_t colour, double factor, bool lighten)
{
    if (factor < 0.0 || factor > 1.0) return colour;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double c = static_cast<double>((colour >> shift) & 0xFF);
        const double v = lighten ? c + (255.0 - c) * factor : c - c * factor;
        out |= static_cast<uint32_t>(std::clamp(static_cast<int>(v), 0, 255)) << shift;
    }
    return out;
}

}  // namespace

const MenuIcon MENU_ICONS[MENU_ICON_COUNT] = {
    {40002, 2},  {40003, 1},  {40004, 3},  {40012, 5},  {40013, 6},  {40008, 8},  {40009, 7},  {40010, 11},
    {40011, 10}, {40016, 16}, {40019, 17}, {40020, 18}, {40021, 19}, {40022, 20}, {40024, 21}, {40023, 22},
};

uint32_t colour_lighten(uint32_t colour, double factor)
{
    return map_channels(colour, factor, true);
}

uint32_t colour_darken(uint32_t colour, double factor)
{
    return map_channels(colour, factor, false);
}

int menu_icon_column(bool has_icons, int icon_width)
{
    return has_icons ? icon_width + 4 : 20;
}

MenuItemSize menu_item_size(bool separator, int text_width, int menu_height, bool has_icons, int icon_width,
                            int icon_height)
{
    if (separator) return {0, 3};
    MenuItemSize size{text_width + 12, std::max(menu_height, 4)};
    if (has_icons) {
        size.width += icon_width;
        if (size.height < icon_height) size.height = icon_height + 4;
    } else {
        size.width += 16;
    }
    return size;
}
