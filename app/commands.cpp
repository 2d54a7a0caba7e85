#include "app/commands.h"

const MenuIcon MENU_ICONS[MENU_ICON_COUNT] = {
    {40002, 2},  {40003, 1},  {40004, 3},  {40012, 5},  {40013, 6},  {40008, 8},  {40009, 7},  {40010, 11},
    {40011, 10}, {40016, 16}, {40019, 17}, {40020, 18}, {40021, 19}, {40022, 20}, {40024, 21}, {40023, 22},
};

bool command_leaves_selection(int command)
{
    return (command >= IDM_ROTATEL90 && command <= IDM_UNDOALL) ||
           (command >= IDM_AUTOCONTRAST && command <= IDM_SEPIA) ||
           (command >= IDM_REDEYES && command <= IDM_FORMAT_LAST);
}

int command_menu_resource(int button)
{
    switch (button) {
    case CMD_CROP_MENU: return 112;
    case CMD_ROTATE_MENU: return 113;
    case CMD_RETOUCH_MENU: return 116;
    case CMD_UNDO_MENU: return 114;
    case CMD_SAVE_MENU: return 115;
    default: return 0;
    }
}

int command_menu_icon(int command)
{
    for (const MenuIcon& i : MENU_ICONS)
        if (i.command == command) return i.cell;
    return -1;
}
