// The thumbnail list's item records and the thumbnail load the worker makes for each of them.
// Window-free; app/win32/ThumbView.cpp runs the list window and the worker thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/CFileList.h"
#include "core/load.h"

constexpr int THUMB_BOX_WIDTH = 92;
constexpr int THUMB_BOX_HEIGHT = 64;

// The load flags of a thumbnail: known extensions first, damaged files give what they hold, deep
// pictures come as RGB; with a preview allowed, the codecs may decode straight to a reduced size.
constexpr uint32_t THUMB_LOAD_FLAGS = LOAD_KNOWN_EXTENSION | LOAD_ACCEPT_DAMAGED | LOAD_DEEP_AS_RGB;  // 5124

// One item of the thumbnail list, owned by the list item and freed with it.
//
// The UI thread fills the first fields when it inserts the item, before any worker starts. The
// worker then fills the fields from `done` to `info` and sets `published` (release) last; the UI
// thread reads them only after seeing `published` set (acquire). A record is published once: the
// worker leaves published records alone, so nothing writes a field the UI thread may be reading.
struct ThumbItem {
    int32_t done;  // the worker loaded a thumbnail
    char path[FILE_PATH_MAX];
    const char* name;  // inside path
    uint64_t size;
    uint64_t write_time;
    void* bitmap;  // the thumbnail's screen bitmap (HBITMAP), or null
    int32_t bitmap_width;
    int32_t bitmap_height;
    int32_t icon_index;  // the shell's system icon, or -1
    FileInfo info;       // from loading the thumbnail
    std::atomic<int32_t> published;
};

// Fills a new record from a file of the list.
void thumb_item_init(ThumbItem* item, const CFileInfo& file);

// Loads `path` reduced into the box (never enlarged), line padding 4, upright by its Exif
// orientation. `cancel`, when given, can stop a long load half-way (status 15). The status is
// load_picture's.
Status thumbnail_load(const char* path, Picture* picture, FileInfo* info, int box_width, int box_height,
                      bool preview, bool averaging, CancelCallback cancel = nullptr, void* cancel_data = nullptr);
