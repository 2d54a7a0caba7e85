#include "app/Info.h"

#include "resources/resource.h"

InfoLamps info_lamps(int level, int client_width)
{
    InfoLamps out;
    const int x0 = (client_width - 96) / 2;
    for (int i = 0; i < 3; ++i) {
        out.box[i] = PanelRect{x0 + 4 + 32 * i, 4, x0 + 28 + 32 * i, 28};
        out.colour[i] = INFO_GREY;
    }
    if (level == INFO_LEVEL_OPTIMAL) {
        out.colour[0] = INFO_GREEN;
        out.string_id = IDS_INFO_GREEN;
    } else if (level == INFO_LEVEL_SATISFACTORY) {
        out.colour[1] = INFO_YELLOW;
        out.string_id = IDS_INFO_YELLOW;
    } else {
        out.colour[2] = INFO_RED;
        out.string_id = IDS_INFO_RED;
    }
    return out;
}
