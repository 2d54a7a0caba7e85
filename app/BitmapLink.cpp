#include "app/BitmapLink.h"

std::vector<int> link_copy_rows(int client_height, int bitmap_height)
{
    std::vector<int> rows;
    if (bitmap_height < 1) return rows;
    for (int y = 0; y < client_height; y += bitmap_height + 1) rows.push_back(y);
    return rows;
}
