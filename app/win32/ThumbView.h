// The thumbnail list of the home screen: a "SysListView32" showing the files of one folder, each
// item drawn as its thumbnail (or shell icon) with its name, and the background worker that makes
// the thumbnails.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/CFileList.h"
#include "app/ThumbView.h"
#include "core/format.h"

// Posted by the worker to the list window.
constexpr UINT WM_THUMB_READY = WM_USER + 1;  // lParam = item index
constexpr UINT WM_THUMB_DONE = WM_USER + 2;   // the pass reached the end of the list
// Sent by the list to the window it notifies.
constexpr UINT WM_HOME_SHOW_FOLDER = WM_USER + 1000;  // lParam = folder path (8-bit, ends with a backslash)
constexpr UINT WM_HOME_OPEN_ITEM = WM_USER + 1001;    // lParam = item index
constexpr UINT WM_HOME_OPEN_SELECTED = WM_USER + 1002;

class ThumbList;

// What the worker thread works on: its own list of the records to fill, taken on the UI thread
// when it starts, so that it never has to ask the list window (whose thread may be waiting for
// it to end).
struct ThumbJob {
    HWND list = nullptr;
    HANDLE stop = nullptr;  // manual reset: every test of it during a file must see it
    // Set with the event: what a load polls line by line, where asking the event each time
    // would cost a call into the system for every line.
    std::atomic<bool> stop_requested{false};
    std::vector<ThumbItem*> items;
    std::atomic<int32_t> next{0};
    int box_width = THUMB_BOX_WIDTH;
    int box_height = THUMB_BOX_HEIGHT;
    bool averaging = false;
};

class ThumbList {
public:
    ThumbList() = default;
    ~ThumbList();
    ThumbList(const ThumbList&) = delete;
    ThumbList& operator=(const ThumbList&) = delete;

    // Creates the list as control `id` of `parent`, which receives its notifications (passed on
    // to notify()) and its requests to open photos.
    bool create(HWND parent, int id, int x, int y, int width, int height);
    // Stops the worker, gives the list its own procedure back, frees the image lists and destroys
    // the window.
    void destroy();

    HWND window() const { return list_; }
    void set_notify_window(HWND window) { notify_ = window; }

    // Shows the files of `folder` (ending with a backslash): stop, read, rebuild, start.
    void show_folder(const char* folder);
    // Stops the worker, deletes every item, reads the folder again when asked, inserts an item for
    // every file the filter accepts and starts the worker.
    void rebuild(bool read_folder);
    // -1 for all files, else a registry row: rebuilds without reading the folder again.
    void set_filter(int filter);
    int filter() const { return filter_; }
    // 0 and 1 icon view, 2 report view, 3 icon view without scroll bars.
    void set_view_type(int type);
    int view_type() const { return view_type_; }

    const std::string& folder() const { return folder_; }
    const CFileList& files() const { return files_; }
    int count() const;
    // The record of item `index`, or null.
    ThumbItem* item(int index) const;

    // The list's WM_NOTIFY, as the parent receives it; the answer is the parent's.
    LRESULT notify(const NMHDR* header);

    // The worker: start does nothing while one runs or for an empty list; stop signals, waits for
    // its end and removes its pending messages from this thread's queue. True when one ran.
    void worker_start();
    bool worker_stop();
    bool worker_running() const;

    // The thumbnail box and the system's large icons, for drawing.
    int box_width() const { return box_width_; }
    int box_height() const { return box_height_; }
    HIMAGELIST system_icons() const { return system_large_; }
    // The report view's date style, read from the user's locale once.
    const DateStyle& date_style();

private:
    static LRESULT CALLBACK list_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static DWORD WINAPI worker_main(void* job);
    LRESULT on_thumb_ready(int index);
    void insert_item(const CFileInfo& file);
    void create_columns();
    void free_item(LPARAM data);

    HWND list_ = nullptr;
    WNDPROC old_procedure_ = nullptr;
    int view_type_ = 0;
    std::string folder_;
    CFileList files_;
    int filter_ = -1;
    FormatInfo filter_info_{};
    int box_width_ = THUMB_BOX_WIDTH;
    int box_height_ = THUMB_BOX_HEIGHT;
    bool averaging_ = false;
    HWND notify_ = nullptr;
    HIMAGELIST items_images_ = nullptr;  // the cells that size the icon view's items
    HIMAGELIST small_images_ = nullptr;  // 1 x 1: report rows as high as their text
    HIMAGELIST system_large_ = nullptr;  // the shell's, never freed here
    // The worker's state.
    HANDLE thread_ = nullptr;
    ThumbJob* job_ = nullptr;
    DateStyle date_style_;
    bool date_style_read_ = false;
};
