#include "app/ThumbView.h"

#include <cstring>

#include "editing/document.h"
#include "ops/resize.h"

void thumb_item_init(ThumbItem* item, const CFileInfo& file)
{
    std::memcpy(item->path, file.path, sizeof item->path);
    item->name = item->path + file.name_offset;
    item->size = file.size;
    item->write_time = file.write_time;
    item->icon_index = -1;
}

Status thumbnail_load(const char* path, Picture* picture, FileInfo* info, int box_width, int box_height,
                      bool preview, bool averaging, CancelCallback cancel, void* cancel_data)
{
    LoadParams params;
    load_params_init(&params);
    params.channel_order = 0;
    params.line_padding = 4;
    params.box_width = box_width;
    params.box_height = box_height;
    if (averaging) params.reduce_method = 2;
    params.flags = THUMB_LOAD_FLAGS;
    if (preview && box_width > 0 && box_height > 0) params.flags |= LOAD_PREVIEW;
    // The Exif block, for the orientation: thumbnails stand as the photo does when it is opened.
    params.flags |= LOAD_KEEP_CHUNKS;
    params.cancel_callback = cancel;
    params.cancel_data = cancel_data;

    const Status status = load_picture(path, picture, &params, info);
    if (info) file_info_free_texts(info);
    if (status != STATUS_OK) return status;

    const int orientation = picture_settle_orientation(picture);
    // A quarter turn swaps the sides: a picture reduced into the box lying down may stand out of
    // it once upright.
    if (orientation >= 5 && box_width > 0 && box_height > 0 &&
        (picture->width > box_width || picture->height > box_height)) {
        const int64_t by_width = static_cast<int64_t>(picture->height) * box_width;
        const int64_t by_height = static_cast<int64_t>(picture->width) * box_height;
        int w, h;
        if (by_width <= by_height) {  // width limits
            h = static_cast<int>(static_cast<int64_t>(picture->height) * box_width / picture->width);
            w = box_width;
        } else {
            w = static_cast<int>(static_cast<int64_t>(picture->width) * box_height / picture->height);
            h = box_height;
        }
        if (w < 1) w = 1;
        if (h < 1) h = 1;
        // Failing that, the thumbnail keeps the size it has: it is drawn clipped to its item.
        image_resize_average(picture, nullptr, w, h, PIXEL_RGB);
    }
    return STATUS_OK;
}
