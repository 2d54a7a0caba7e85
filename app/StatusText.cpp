#include "app/StatusText.h"

ViewRect status_text_area(const ViewRect& client, int screen_height)
{
    ViewRect area = client;
    if (screen_height > 600) area.bottom -= 20;
    return area;
}
