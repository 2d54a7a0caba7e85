#include "app/win32/CFileList.h"

#include <cstring>
#include <vector>

#include "app/BitmapView.h"
#include "app/win32/Briova.h"

#ifndef SHGDN_INCLUDE_NONFILESYS
#define SHGDN_INCLUDE_NONFILESYS 0x2000
#endif

namespace {

constexpr int TREE_ID = 1000;
constexpr int LIST_ID = 1001;
constexpr int TREE_WIDTH = 250;

// Number of components of an identifier list.
int id_count(LPCITEMIDLIST list)
{
    int n = 0;
    for (const BYTE* p = reinterpret_cast<const BYTE*>(list); p && reinterpret_cast<const SHITEMID*>(p)->cb;
         p += reinterpret_cast<const SHITEMID*>(p)->cb)
        ++n;
    return n;
}

// The first `n` components of `list`, in a block of the shell's allocator.
LPITEMIDLIST id_head(IMalloc* malloc, LPCITEMIDLIST list, int n)
{
    const BYTE* start = reinterpret_cast<const BYTE*>(list);
    const BYTE* p = start;
    for (int i = 0; i < n && reinterpret_cast<const SHITEMID*>(p)->cb; ++i) p += reinterpret_cast<const SHITEMID*>(p)->cb;
    const size_t bytes = static_cast<size_t>(p - start);
    auto* out = static_cast<BYTE*>(malloc->Alloc(bytes + sizeof(USHORT)));
    if (!out) return nullptr;
    std::memcpy(out, start, bytes);
    std::memset(out + bytes, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(out);
}

// A shell folder's comparison answer: the low 16 bits, signed.
int compare_code(HRESULT result) { return static_cast<short>(HRESULT_CODE(result)); }

// The display name of an absolute identifier, as the shell gives it.
std::wstring display_name(IShellFolder* desktop, LPCITEMIDLIST absolute)
{
    STRRET name{};
    if (FAILED(desktop->GetDisplayNameOf(absolute, SHGDN_INFOLDER | SHGDN_INCLUDE_NONFILESYS, &name))) return L"";
    std::wstring text;
    wchar_t converted[256] = {};
    switch (name.uType) {
    case STRRET_WSTR:
        if (name.pOleStr) {
            text.assign(name.pOleStr, wcsnlen(name.pOleStr, 255));
            CoTaskMemFree(name.pOleStr);
        }
        break;
    case STRRET_OFFSET:
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(absolute) + name.uOffset, -1, converted, 255);
        text = converted;
        break;
    case STRRET_CSTR:
        MultiByteToWideChar(CP_ACP, 0, name.cStr, -1, converted, 255);
        text = converted;
        break;
    default: break;
    }
    return text;
}

}  // namespace

// ---- folder tree -----------------------------------------------------------------------------

// Owned by its tree item, freed when the item is deleted.
struct FolderItemData {
    LPITEMIDLIST relative;  // from the parent folder
    LPITEMIDLIST absolute;  // from the desktop
    IShellFolder* parent;   // a counted reference
};

bool FolderTree::create(HWND parent, int id, int x, int y, int width, int height)
{
    if (FAILED(SHGetDesktopFolder(&desktop_)) || FAILED(SHGetMalloc(&malloc_))) return false;
    tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                                TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_TRACKSELECT,
                            x, y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!tree_) return false;
    notify_ = parent;
    SHFILEINFOW info{};
    small_icons_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    large_icons_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    if (small_icons_) SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(small_icons_));
    fill_root();
    return true;
}

void FolderTree::destroy()
{
    if (tree_) {
        SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        DestroyWindow(tree_);
        tree_ = nullptr;
    }
    if (desktop_) desktop_->Release();
    if (malloc_) malloc_->Release();
    desktop_ = nullptr;
    malloc_ = nullptr;
}

FolderTree::ItemData* FolderTree::data_of(HTREEITEM item) const
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!item || !SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
    return reinterpret_cast<ItemData*>(tv.lParam);
}

void FolderTree::free_data(ItemData* data)
{
    if (!data) return;
    if (data->relative) malloc_->Free(data->relative);
    if (data->absolute) malloc_->Free(data->absolute);
    if (data->parent) data->parent->Release();
    delete data;
}

HTREEITEM FolderTree::insert(HTREEITEM parent, IShellFolder* folder, LPCITEMIDLIST relative, LPCITEMIDLIST parent_absolute)
{
    auto* data = new (std::nothrow) ItemData{};
    if (!data) return nullptr;
    data->relative = ILClone(relative);
    data->absolute = parent_absolute ? ILCombine(parent_absolute, relative) : ILClone(relative);
    data->parent = folder;
    folder->AddRef();
    if (!data->relative || !data->absolute) {
        free_data(data);
        return nullptr;
    }
    std::wstring name = display_name(desktop_, data->absolute);
    TVINSERTSTRUCTW in{};
    in.hParent = parent;
    in.hInsertAfter = TVI_LAST;
    in.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    in.item.pszText = name.data();
    in.item.iImage = I_IMAGECALLBACK;
    in.item.iSelectedImage = I_IMAGECALLBACK;
    in.item.cChildren = I_CHILDRENCALLBACK;
    in.item.lParam = reinterpret_cast<LPARAM>(data);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
    if (!item) free_data(data);
    return item;
}

void FolderTree::fill_root()
{
    SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    LPITEMIDLIST desktop_id = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop_id))) return;
    HTREEITEM root = insert(TVI_ROOT, desktop_, desktop_id, nullptr);
    malloc_->Free(desktop_id);
    if (!root) return;
    fill_children(root);
    SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}

namespace {

int CALLBACK compare_children(LPARAM a, LPARAM b, LPARAM folder)
{
    const auto* x = reinterpret_cast<const FolderItemData*>(a);
    const auto* y = reinterpret_cast<const FolderItemData*>(b);
    return compare_code(reinterpret_cast<IShellFolder*>(folder)->CompareIDs(0, x->relative, y->relative));
}

}  // namespace

void FolderTree::fill_children(HTREEITEM item)
{
    ItemData* data = data_of(item);
    if (!data) return;
    while (auto child = reinterpret_cast<HTREEITEM>(
               SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))))
        SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child));

    IShellFolder* folder = nullptr;
    if (id_count(data->absolute) == 0) {
        folder = desktop_;
        folder->AddRef();
    } else if (FAILED(data->parent->BindToObject(data->relative, nullptr, IID_IShellFolder,
                                                  reinterpret_cast<void**>(&folder))) ||
               !folder) {
        return;
    }
    int inserted = 0;
    IEnumIDList* children = nullptr;
    if (SUCCEEDED(folder->EnumObjects(tree_, SHCONTF_FOLDERS, &children)) && children) {
        LPITEMIDLIST child = nullptr;
        while (children->Next(1, &child, nullptr) == S_OK) {
            SFGAOF attributes = SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR;
            LPCITEMIDLIST one = child;
            if (SUCCEEDED(folder->GetAttributesOf(1, &one, &attributes)) &&
                (attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)) && insert(item, folder, child, data->absolute))
                ++inserted;
            malloc_->Free(child);
        }
        children->Release();
    }
    TVSORTCB sort{item, compare_children, reinterpret_cast<LPARAM>(folder)};
    SendMessageW(tree_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    if (inserted == 0) {
        TVITEMW tv{};
        tv.mask = TVIF_CHILDREN;
        tv.hItem = item;
        tv.cChildren = 0;
        SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    }
    folder->Release();
}

void FolderTree::display_info(NMTVDISPINFOW* info)
{
    auto* data = reinterpret_cast<ItemData*>(info->item.lParam);
    if (!data) return;
    SFGAOF attributes = SFGAO_LINK | SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_REMOVABLE;
    LPCITEMIDLIST one = data->relative;
    const bool is_root = id_count(data->absolute) == 0;
    if (is_root) attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
    else if (FAILED(data->parent->GetAttributesOf(1, &one, &attributes))) attributes = 0;

    SHFILEINFOW shell{};
    const UINT base = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | ((attributes & SFGAO_LINK) ? SHGFI_LINKOVERLAY : 0);
    if (info->item.mask & TVIF_IMAGE) {
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(data->absolute), 0, &shell, sizeof shell, base);
        info->item.iImage = shell.iIcon;
    }
    if (info->item.mask & TVIF_SELECTEDIMAGE) {
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(data->absolute), 0, &shell, sizeof shell,
                       base | ((attributes & SFGAO_FOLDER) ? SHGFI_OPENICON : 0));
        info->item.iSelectedImage = shell.iIcon;
    }
    if (info->item.mask & TVIF_CHILDREN) {
        if ((attributes & SFGAO_FOLDER) && (attributes & SFGAO_REMOVABLE)) info->item.cChildren = 1;
        else info->item.cChildren = (attributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
    }
    // Asked once: the tree keeps the answers.
    info->item.mask |= TVIF_DI_SETITEM;
}

LRESULT FolderTree::notify(const NMHDR* header)
{
    switch (header->code) {
    case TVN_GETDISPINFOW: display_info(reinterpret_cast<NMTVDISPINFOW*>(const_cast<NMHDR*>(header))); return 0;
    case TVN_ITEMEXPANDINGW: {
        const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(header);
        if (tv->action & TVE_EXPAND) fill_children(tv->itemNew.hItem);
        return 0;
    }
    case TVN_DELETEITEMW: free_data(reinterpret_cast<ItemData*>(reinterpret_cast<const NMTREEVIEWW*>(header)->itemOld.lParam)); return 0;
    case TVN_SELCHANGEDW: {
        const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(header);
        auto* data = reinterpret_cast<ItemData*>(tv->itemNew.lParam);
        if (!data || !notify_) return 0;
        char path[MAX_PATH + 1] = {};
        if (!SHGetPathFromIDListA(data->absolute, path) || !path[0]) return 0;  // a virtual folder
        std::string folder = path;
        if (folder.back() != '\\') folder += '\\';
        SendMessageW(notify_, WM_HOME_SHOW_FOLDER, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        return 0;
    }
    default: return 0;
    }
}

std::string FolderTree::selected_path() const
{
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    ItemData* data = data_of(item);
    char path[MAX_PATH + 1] = {};
    if (!data || !SHGetPathFromIDListA(data->absolute, path) || !path[0]) return "";
    std::string folder = path;
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

bool FolderTree::select_path(const char* path)
{
    if (!tree_ || !desktop_) return false;
    wchar_t wide[MAX_PATH] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH)) return false;
    LPITEMIDLIST target = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop_->ParseDisplayName(nullptr, nullptr, wide, &eaten, &target, nullptr)) || !target) return false;
    const int target_count = id_count(target);
    auto current = reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(current));
    bool selected = false;
    while (current && !selected) {
        HTREEITEM next = nullptr;
        for (auto child = reinterpret_cast<HTREEITEM>(
                 SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(current)));
             child; child = reinterpret_cast<HTREEITEM>(
                        SendMessageW(tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
            ItemData* data = data_of(child);
            const int n = data ? id_count(data->absolute) : 0;
            if (!data || n < 1 || n > target_count) continue;
            LPITEMIDLIST cut = id_head(malloc_, target, n);
            const bool same = cut && compare_code(desktop_->CompareIDs(0, data->absolute, cut)) == 0;
            if (cut) malloc_->Free(cut);
            if (!same) continue;
            if (n == target_count) {
                SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
                selected = true;
            } else {
                SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(child));
                next = child;
            }
            break;
        }
        current = next;
    }
    malloc_->Free(target);
    return selected;
}

// ---- the home screen -------------------------------------------------------------------------

struct HomeHandlers {
    static LRESULT create(HomeScreen& home, HWND window, UINT, WPARAM, LPARAM)
    {
        RECT client;
        GetClientRect(window, &client);
        home.tree_.create(window, TREE_ID, 0, 0, 100, client.bottom);
        home.list_.create(window, LIST_ID, 102, 0, client.right, client.bottom);
        home.list_.set_notify_window(window);
        home.tree_.set_notify_window(window);
        home.list_.set_view_type(THUMB_VIEW_ICONS);

        LPITEMIDLIST pictures = nullptr;
        if (SUCCEEDED(SHGetSpecialFolderLocation(window, CSIDL_MYPICTURES, &pictures)) && pictures) {
            char path[MAX_PATH + 1] = {};
            if (SHGetPathFromIDListA(pictures, path) && path[0]) home.tree_.select_path(path);
            CoTaskMemFree(pictures);
        }
        home.list_.set_filter(-1);
        return 0;
    }

    static LRESULT notify(HomeScreen& home, HWND, UINT, WPARAM, LPARAM l)
    {
        const auto* header = reinterpret_cast<const NMHDR*>(l);
        if (header->idFrom == TREE_ID) return home.tree_.notify(header);
        if (header->idFrom == LIST_ID) return home.list_.notify(header);
        return 0;
    }

    static LRESULT show_folder(HomeScreen& home, HWND, UINT, WPARAM, LPARAM l)
    {
        home.list_.show_folder(reinterpret_cast<const char*>(l));
        return 0;
    }

    static LRESULT open_item(HomeScreen& home, HWND, UINT, WPARAM, LPARAM l)
    {
        home.open_item(static_cast<int>(l));
        return 0;
    }

    static LRESULT open_selected(HomeScreen& home, HWND, UINT, WPARAM, LPARAM)
    {
        HWND list = home.list_.window();
        std::vector<int> selected;
        for (int i = -1; (i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i),
                                                             MAKELPARAM(LVNI_SELECTED, 0)))) >= 0;)
            selected.push_back(i);
        if (selected.size() == 1) home.open_item(selected[0]);
        return 0;
    }

    static LRESULT nothing(HomeScreen&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static constexpr MessageMap<HomeScreen>::Pair pairs[] = {
        {WM_CREATE, create},
        {WM_NOTIFY, notify},
        {WM_HOME_SHOW_FOLDER, show_folder},
        {WM_HOME_OPEN_ITEM, open_item},
        {WM_HOME_OPEN_SELECTED, open_selected},
        {WM_CLOSE, nothing},
        {WM_DESTROY, nothing},
        {WM_SIZE, nothing},
    };
};
const MessageMap<HomeScreen> HomeScreen::message_map{HomeHandlers::pairs, DefaultProc::window};

HomeScreen* HomeScreen::create(HWND parent, PhotoOpener opener)
{
    WNDCLASSW wc{};
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"DlgFileClass";
    if (!register_class(wc)) return nullptr;
    auto* home = new (std::nothrow) HomeScreen;
    if (!home) return nullptr;
    home->opener_ = std::move(opener);
    if (!home->create_window(0, L"DlgFileClass", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100, parent,
                             nullptr)) {
        home->list_.destroy();
        home->tree_.destroy();
        delete home;
        return nullptr;
    }
    return home;
}

void HomeScreen::place(const RECT& area)
{
    const int width = area.right - area.left, height = area.bottom - area.top;
    MoveWindow(window(), area.left, area.top, width, height, TRUE);
    MoveWindow(tree_.window(), 0, 0, TREE_WIDTH, height, TRUE);
    MoveWindow(list_.window(), TREE_WIDTH, 0, width - TREE_WIDTH, height, TRUE);
}

void HomeScreen::open_item(int index)
{
    const ThumbItem* record = list_.item(index);
    if (!record) return;
    // A copy: opening the photo may rebuild nothing here, but it hides this screen and runs a load.
    const std::string path = record->path;
    if (opener_) opener_(path.c_str());
    else if (g_application) g_application->open_photo(path.c_str());
}

// The window is gone after this; so is the object.
void HomeScreen::destroy()
{
    list_.destroy();
    tree_.destroy();
    destroy_window();
    delete this;
}
