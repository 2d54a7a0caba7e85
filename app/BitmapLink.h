// The link pictures: a bitmap repeated down its window.
#pragma once

#include <vector>

// Rows at which copies of a bitmap `bitmap_height` high start in a window `client_height` high:
// 0, then one blank row between copies, as long as a copy starts inside the window.
std::vector<int> link_copy_rows(int client_height, int bitmap_height);
