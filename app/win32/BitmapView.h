// The thumbnail list's own drawing of its items in icon view: a frame, the thumbnail (or the
// file's shell icon) centred in it, and the name shortened to fit under it.
#pragma once

#include <windows.h>
#include <commctrl.h>

class ThumbList;

// The answer to the list's NM_CUSTOMDRAW.
LRESULT thumb_custom_draw(ThumbList& list, NMLVCUSTOMDRAW* draw);
