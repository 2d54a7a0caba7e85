#include "app/commands.h"

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
