#include "app/win32/ThumbView.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstring>

#include "app/BitmapView.h"
#include "app/win32/BitmapRegister.h"
#include "app/win32/BitmapView.h"
#include "app/win32/bitmap.h"

namespace {

constexpr int COLUMN_NAME = 0, COLUMN_PROPERTIES = 1, COLUMN_TYPE = 2, COLUMN_SIZE = 3, COLUMN_DATE = 4;

bool stop_signalled(const ThumbJob* job) { return WaitForSingleObject(job->stop, 0) != WAIT_TIMEOUT; }

// Lets a long load end half-way when the worker is asked to stop.
int cancel_when_stopped(void* job) { return static_cast<ThumbJob*>(job)->stop_requested.load(std::memory_order_relaxed); }

void set_text(HWND list, int index, int column, const std::string& text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int text_height(HWND window)
{
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return tm.tmHeight;
}

std::string locale_text(LCTYPE what)
{
    char buffer[16] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buffer, sizeof buffer) > 0 ? buffer : "";
}

}  // namespace

ThumbList::~ThumbList()
{
    destroy();
}

bool ThumbList::create(HWND parent, int id, int x, int y, int width, int height)
{
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP |
                                LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE | LVS_ICON,
                            x, y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!list_) return false;
    SetWindowLongPtrW(list_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    old_procedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(list_procedure)));
    create_columns();
    SHFILEINFOW info{};
    system_large_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_LARGEICON));
    small_images_ = ImageList_Create(1, 1, ILC_COLOR, 0, 1);
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small_images_));
    notify_ = parent;
    set_view_type(0);
    return true;
}

void ThumbList::create_columns()
{
    const int wide = static_cast<int>(SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"XXXXXX")));
    const struct {
        const wchar_t* title;
        int width;
        int format;
    } columns[] = {{L"Name", 116, LVCFMT_LEFT},
                   {L"Properties", wide, LVCFMT_LEFT},
                   {L"Type", wide, LVCFMT_RIGHT},
                   {L"Size", wide, LVCFMT_RIGHT},
                   {L"Date", wide, LVCFMT_RIGHT}};
    for (int i = 0; i < 5; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = columns[i].format;
        column.cx = columns[i].width;
        column.pszText = const_cast<wchar_t*>(columns[i].title);
        column.iSubItem = i;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void ThumbList::destroy()
{
    worker_stop();
    if (list_) {
        // The items go first, while notifications still reach the parent that frees their records.
        SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
        if (old_procedure_) SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_procedure_));
        SetWindowLongPtrW(list_, GWLP_USERDATA, 0);
        DestroyWindow(list_);
        list_ = nullptr;
    }
    old_procedure_ = nullptr;
    if (items_images_) ImageList_Destroy(items_images_);
    if (small_images_) ImageList_Destroy(small_images_);
    items_images_ = small_images_ = nullptr;
}

int ThumbList::count() const
{
    return list_ ? static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

ThumbItem* ThumbList::item(int index) const
{
    if (!list_) return nullptr;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<ThumbItem*>(item.lParam);
}

const DateStyle& ThumbList::date_style()
{
    if (!date_style_read_) {
        date_style_read_ = true;
        const std::string order = locale_text(LOCALE_IDATE);
        const std::string date = locale_text(LOCALE_SDATE);
        const std::string time = locale_text(LOCALE_STIME);
        if (!order.empty()) date_style_.order = order[0] - '0';
        if (!date.empty()) date_style_.date_separator = date;
        if (!time.empty()) date_style_.time_separator = time;
    }
    return date_style_;
}

// ---- the list's contents -----------------------------------------------------------------

void ThumbList::show_folder(const char* folder)
{
    folder_ = folder ? folder : "";
    worker_stop();
    rebuild(true);
    worker_start();
}

void ThumbList::rebuild(bool read_folder)
{
    worker_stop();
    if (!list_) return;
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    if (read_folder && !files_.read_folder(folder_.c_str())) files_.clear();
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    // Arranged once at the end rather than after every insertion: a folder of hundreds of files
    // fills without keeping the window from answering.
    const LONG_PTR style = GetWindowLongPtrW(list_, GWL_STYLE);
    SetWindowLongPtrW(list_, GWL_STYLE, style & ~static_cast<LONG_PTR>(LVS_AUTOARRANGE));
    SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(files_.count()), 0);
    for (int i = 0; i < files_.count(); ++i) {
        const CFileInfo& file = files_.at(i);
        if (format_filter_accepts(filter_, file.path)) insert_item(file);
    }
    SetWindowLongPtrW(list_, GWL_STYLE, style);
    SendMessageW(list_, LVM_ARRANGE, view_type_ == THUMB_VIEW_ICONS_FIXED ? LVA_ALIGNLEFT : LVA_ALIGNTOP, 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    UpdateWindow(list_);
    worker_start();
}

void ThumbList::set_filter(int filter)
{
    filter_ = filter;
    filter_info_ = FormatInfo{};
    if (filter != -1) format_get_info(filter, &filter_info_, 1);
    rebuild(false);
}

void ThumbList::insert_item(const CFileInfo& file)
{
    auto* record = new (std::nothrow) ThumbItem();
    if (!record) return;
    thumb_item_init(record, file);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX;  // at the end
    item.pszText = const_cast<char*>(record->name);
    item.lParam = reinterpret_cast<LPARAM>(record);
    const int index = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) {
        delete record;
        return;
    }
    set_text(list_, index, COLUMN_SIZE, file_size_text(record->size));
    set_text(list_, index, COLUMN_DATE, file_date_text(date_style(), file_time_local_parts(record->write_time)));
    if (view_type_ == THUMB_VIEW_REPORT)
        for (int column : {COLUMN_NAME, COLUMN_SIZE, COLUMN_DATE})
            SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), LVSCW_AUTOSIZE);
}

void ThumbList::free_item(LPARAM data)
{
    auto* record = reinterpret_cast<ThumbItem*>(data);
    if (!record) return;
    // Only a published record can hold a bitmap, and nothing writes it after publication.
    if (record->published.load(std::memory_order_acquire) && record->bitmap)
        register_delete_object(static_cast<HBITMAP>(record->bitmap));
    delete record;
}

void ThumbList::set_view_type(int type)
{
    view_type_ = type;
    if (!list_) return;
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(list_, GWL_STYLE)) & ~(LVS_TYPEMASK | LVS_NOSCROLL);
    style |= type == THUMB_VIEW_REPORT ? LVS_REPORT : LVS_ICON;
    if (type == THUMB_VIEW_ICONS_FIXED) style |= LVS_NOSCROLL;
    SetWindowLongPtrW(list_, GWL_STYLE, static_cast<LONG_PTR>(style));

    if (type == THUMB_VIEW_ICONS || type == THUMB_VIEW_ICONS_FIXED) {
        const ThumbCellSizes cells = thumb_cell_sizes(box_width_, box_height_, text_height(list_));
        HIMAGELIST images = ImageList_Create(cells.image_width, cells.image_height, ILC_COLOR24, 0, 1);
        SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
        if (items_images_) ImageList_Destroy(items_images_);
        items_images_ = images;
        SendMessageW(list_, LVM_SETICONSPACING, 0, MAKELPARAM(cells.spacing_width, cells.spacing_height));
    } else if (type == THUMB_VIEW_SYSTEM_ICONS) {
        SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(system_large_));
        SendMessageW(list_, LVM_SETICONSPACING, 0,
                     MAKELPARAM(3 * GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON) + 48));
    }
    SendMessageW(list_, LVM_ARRANGE, type == THUMB_VIEW_ICONS_FIXED ? LVA_ALIGNLEFT : LVA_ALIGNTOP, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

// ---- notifications and the list's own messages --------------------------------------------

LRESULT ThumbList::notify(const NMHDR* header)
{
    switch (header->code) {
    case LVN_DELETEITEM: {
        // A record the worker still holds is never freed under it.
        worker_stop();
        free_item(reinterpret_cast<const NMLISTVIEW*>(header)->lParam);
        return 0;
    }
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED) && change->iItem >= 0 && notify_)
            SendMessageW(notify_, WM_HOME_OPEN_ITEM, 0, change->iItem);
        return 0;
    }
    case NM_DBLCLK:
    case NM_RETURN:
        if (notify_) SendMessageW(notify_, WM_HOME_OPEN_SELECTED, 0, 0);
        return 0;
    case NM_CUSTOMDRAW:
        return thumb_custom_draw(*this, reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header)));
    default:
        return 0;
    }
}

LRESULT ThumbList::on_thumb_ready(int index)
{
    ThumbItem* record = item(index);
    if (!record || !record->published.load(std::memory_order_acquire)) return 0;
    if (record->done) {
        set_text(list_, index, COLUMN_PROPERTIES, file_properties_text(record->info));
        set_text(list_, index, COLUMN_TYPE, file_type_text(record->info));
    }
    LVITEMW data{};
    data.mask = LVIF_PARAM;
    data.iItem = index;
    data.lParam = reinterpret_cast<LPARAM>(record);
    SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    SendMessageW(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(index), index);
    return 0;
}

LRESULT CALLBACK ThumbList::list_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* self = reinterpret_cast<ThumbList*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    WNDPROC own = self->old_procedure_;
    switch (message) {
    case WM_THUMB_READY: return self->on_thumb_ready(static_cast<int>(lparam));
    case WM_THUMB_DONE: return 0;
    case WM_DESTROY:
        // Destroyed with its parent: the worker must not go on with records about to be freed.
        self->worker_stop();
        self->list_ = nullptr;
        break;
    default: break;
    }
    return CallWindowProcW(own, window, message, wparam, lparam);
}

// ---- the worker ----------------------------------------------------------------------------

bool ThumbList::worker_running() const
{
    return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

void ThumbList::worker_start()
{
    if (worker_running()) return;
    worker_stop();  // a pass that ended on its own leaves its handle and its messages
    const int n = count();
    if (n < 1) return;
    auto* job = new (std::nothrow) ThumbJob;
    if (!job) return;
    job->list = list_;
    job->box_width = box_width_;
    job->box_height = box_height_;
    job->averaging = averaging_;
    job->items.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) job->items.push_back(item(i));
    job->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = job->stop ? CreateThread(nullptr, 0, worker_main, job, 0, nullptr) : nullptr;
    if (!thread_) {
        if (job->stop) CloseHandle(job->stop);
        delete job;
        return;
    }
    job_ = job;
}

bool ThumbList::worker_stop()
{
    if (!thread_) return false;
    const bool was_running = WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
    // The worker never waits on this thread (it posts and never sends), so the wait ends.
    job_->stop_requested.store(true, std::memory_order_relaxed);
    if (SetEvent(job_->stop)) WaitForSingleObject(thread_, INFINITE);
    MSG pending;
    if (list_)
        while (PeekMessageW(&pending, list_, WM_THUMB_READY, WM_THUMB_DONE, PM_REMOVE)) {
        }
    CloseHandle(thread_);
    thread_ = nullptr;
    CloseHandle(job_->stop);
    delete job_;
    job_ = nullptr;
    return was_running;
}

DWORD WINAPI ThumbList::worker_main(void* argument)
{
    auto* job = static_cast<ThumbJob*>(argument);
    // The shell's icon look-up wants COM on the calling thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int total = static_cast<int>(job->items.size());
    while (!stop_signalled(job)) {
        const int index = job->next.load(std::memory_order_relaxed);
        if (index >= total) {
            PostMessageW(job->list, WM_THUMB_DONE, 0, 0);
            break;
        }
        if (stop_signalled(job)) break;
        ThumbItem* record = job->items[static_cast<size_t>(index)];
        if (record && !record->published.load(std::memory_order_acquire)) {
            char path[FILE_PATH_MAX];
            std::memcpy(path, record->path, sizeof path);
            Picture picture{};
            FileInfo info{};
            const Status status = thumbnail_load(path, &picture, &info, job->box_width, job->box_height, true,
                                                 job->averaging, cancel_when_stopped, job);
            if (status == STATUS_OK) {
                record->done = 1;
                HBITMAP bitmap = display_screen_bitmap(job->list, &picture, 0, 0);
                if (!bitmap) MessageBoxA(nullptr, path, "PB bitmap", MB_OK);
                BITMAP size{};
                if (bitmap && GetObjectW(bitmap, sizeof size, &size)) {
                    record->bitmap_width = size.bmWidth;
                    record->bitmap_height = size.bmHeight;
                }
                record->bitmap = bitmap;
                record->info = info;
                picture_free(&picture);
            }
            SHFILEINFOA shell{};
            if (SHGetFileInfoA(path, FILE_ATTRIBUTE_NORMAL, &shell, sizeof shell,
                               SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
                record->icon_index = shell.iIcon;
            // Everything above is visible to the UI thread once it sees this (acquire).
            record->published.store(1, std::memory_order_release);
        }
        if (stop_signalled(job)) break;
        PostMessageW(job->list, WM_THUMB_READY, 0, index);
        job->next.store(index + 1, std::memory_order_relaxed);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
