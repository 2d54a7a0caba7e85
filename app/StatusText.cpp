#include "app/StatusText.h"

PanelRect status_text_area(const PanelRect& client, int screen_height)
{
    PanelRect area = client;
    if (screen_height > 600) area.bottom -= 20;
    return area;
}
