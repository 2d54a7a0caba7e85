// The home screen "DlgFileClass": the shell's folder tree on the left, the thumbnail list of the
// chosen folder on the right. A click on a thumbnail asks the application to open the photo.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "app/win32/ThumbView.h"
#include "app/win32/Window.h"

struct FolderItemData;

// The folders of the shell's namespace that have a place in the file system, from the desktop
// down, filled as the user opens them.
class FolderTree {
public:
    FolderTree() = default;
    ~FolderTree() { destroy(); }
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    bool create(HWND parent, int id, int x, int y, int width, int height);
    void destroy();
    HWND window() const { return tree_; }
    void set_notify_window(HWND window) { notify_ = window; }

    // Walks down from the desktop to `path` and selects it, which shows it in the list. False when
    // the path is not a folder of the tree.
    bool select_path(const char* path);
    // The file-system path of the selected item, with a backslash at the end; empty for none.
    std::string selected_path() const;

    // The tree's WM_NOTIFY, as the parent receives it.
    LRESULT notify(const NMHDR* header);

private:
    using ItemData = FolderItemData;
    void fill_root();
    void fill_children(HTREEITEM item);
    HTREEITEM insert(HTREEITEM parent, IShellFolder* folder, LPCITEMIDLIST relative, LPCITEMIDLIST parent_absolute);
    ItemData* data_of(HTREEITEM item) const;
    void free_data(ItemData* data);
    void display_info(NMTVDISPINFOW* info);

    HWND tree_ = nullptr;
    IShellFolder* desktop_ = nullptr;
    IMalloc* malloc_ = nullptr;
    HIMAGELIST small_icons_ = nullptr;  // the shell's
    HIMAGELIST large_icons_ = nullptr;  // the shell's
    HWND notify_ = nullptr;
};

class HomeScreen : public Window<HomeScreen> {
public:
    // Opens a photo by its full path (8-bit code page); the application's, or a test's.
    using PhotoOpener = std::function<bool(const char* path)>;

    // The container as a visible child of `parent`, 100 x 100 at (0, 0) until placed. Without an
    // opener photos open through the application.
    static HomeScreen* create(HWND parent, PhotoOpener opener = nullptr);
    // Fills `area` (parent coordinates): the tree 250 wide on the left, the list beside it.
    void place(const RECT& area);
    // Stops the worker, destroys the windows and the object.
    void destroy();

    FolderTree& tree() { return tree_; }
    ThumbList& list() { return list_; }

    static const MessageMap<HomeScreen> message_map;

private:
    friend struct HomeHandlers;
    HomeScreen() = default;
    void open_item(int index);

    FolderTree tree_;
    ThumbList list_;
    PhotoOpener opener_;
};
