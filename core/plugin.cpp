#include "core/plugin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#endif

#include "core/dynamic_library.h"
#include "core/format_internal.h"

namespace {

constexpr int RECORD_GROWTH = 16;
constexpr int LABEL_SIZE = 64;
constexpr int LABEL_SIZE_AT_USE = 128;
constexpr int32_t ROW_LOADED = -1;

struct PluginRecord {
    void* module;  // null while not loaded
    char file_name[PLUGIN_PATH_MAX];
    int first_row;  // -1 when the library added none
};

// Records are allocated one by one so that the file name a ".usr" row points at never moves
// when the table grows.
std::vector<std::unique_ptr<PluginRecord>> records;
std::string folder_override;
std::string folder_in_use;

char* copy_text(const char* text)
{
    const size_t n = std::strlen(text ? text : "");
    char* copy = static_cast<char*>(std::malloc(n + 1));
    if (copy) std::memcpy(copy, text ? text : "", n + 1);
    return copy;
}

char* copy_lower(const char* begin, const char* end)
{
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(end - begin) + 1));
    if (!copy) return nullptr;
    char* o = copy;
    for (const char* p = begin; p < end; ++p) *o++ = (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
    *o = '\0';
    return copy;
}

void free_row_names(FormatEntry* row)
{
    if (!(row->flags & FORMAT_OWNS_NAMES)) return;
    std::free(const_cast<char*>(row->name));
    std::free(const_cast<char*>(row->description));
    for (const char*& e : row->extensions) {
        std::free(const_cast<char*>(e));
        e = nullptr;
    }
    row->name = row->description = nullptr;
}

int add_record(void* module, const std::string& path, int first_row)
{
    if (records.size() == records.capacity()) records.reserve(records.size() + RECORD_GROWTH);
    auto record = std::make_unique<PluginRecord>();
    record->module = module;
    std::snprintf(record->file_name, sizeof record->file_name, "%s", path.c_str());
    record->first_row = first_row;
    records.push_back(std::move(record));
    return static_cast<int>(records.size()) - 1;
}

// The pipeline's calls as plug-ins reach them.
size_t services_read(Stream* s, void* buffer, size_t count) { return stream_read(s, buffer, count); }
size_t services_write(Stream* s, const void* buffer, size_t count) { return stream_write(s, buffer, count); }

const PluginServices services = {
    sizeof(PluginServices),
    header_init,
    load_begin,
    load_put_lines,
    load_end,
    services_read,
    stream_seek,
    stream_tell,
    save_header_init,
    save_begin,
    save_get_lines,
    save_end,
    save_get_param,
    stream_open,
    stream_close,
    services_write,
};

const char* folder_for_init() { return folder_in_use.c_str(); }
const PluginFolderRecord folder_record = {folder_for_init};

#if defined(_WIN32)
constexpr const char* PATH_SEPARATOR_TEXT = "\\";
#else
constexpr const char* PATH_SEPARATOR_TEXT = "/";
#endif

FormatEntry* PLUGIN_CALL registrar_add_format(FormatRegistrar* registrar, const char* name,
                                              const char* description, PluginFormatInit init)
{
    if (init && !init(&folder_record)) {
        registrar->error = 1;
        return nullptr;
    }
    FormatEntry* row = registry_append_row();
    if (!row) return nullptr;
    row->flags = FORMAT_PLUGIN_PENDING | FORMAT_OWNS_NAMES;
    row->name = copy_lower(name ? name : "", (name ? name : "") + std::min<size_t>(std::strlen(name ? name : ""), 8));
    row->description = copy_text(description);
    return row;
}

void PLUGIN_CALL registrar_set_probe(FormatEntry* row, int on)
{
    if (!row) return;
    if (on) row->flags |= FORMAT_PROBE;
    else row->flags &= ~FORMAT_PROBE;
}

void PLUGIN_CALL registrar_set_flags(FormatEntry* row, uint32_t value)
{
    if (!row) return;
    if (value == 0) row->flags |= FORMAT_PLUGIN_FLAG;
    else row->flags &= ~FORMAT_PLUGIN_FLAG;
    if (value & FORMAT_REOPEN) row->flags |= FORMAT_REOPEN;
}

void PLUGIN_CALL registrar_set_entry(FormatEntry* row, int which, void* function)
{
    if (!row) return;
    switch (which) {
    case PLUGIN_ENTRY_INIT: row->init = reinterpret_cast<int (*)()>(function); break;
    case PLUGIN_ENTRY_EXIT: row->exit = reinterpret_cast<void (*)()>(function); break;
    case PLUGIN_ENTRY_READER:
        row->reader = reinterpret_cast<FormatReader>(function);
        row->flags |= FORMAT_READ;
        break;
    case PLUGIN_ENTRY_WRITER:
        row->writer = reinterpret_cast<FormatWriter>(function);
        row->flags |= FORMAT_WRITE;
        break;
    case PLUGIN_ENTRY_WRITABLE_TYPES: row->writable_types = reinterpret_cast<FormatWritableTypes>(function); break;
    default: break;
    }
}

void PLUGIN_CALL registrar_set_reserved(FormatEntry* row, void* value)
{
    if (row) row->reserved = value;
}

void PLUGIN_CALL registrar_add_extension(FormatEntry* row, const char* text)
{
    if (!row || !text || !*text) return;
    for (const char*& e : row->extensions)
        if (!e) {
            e = copy_lower(text, text + std::strlen(text));
            return;
        }
    // An eleventh extension is dropped.
}

FormatRegistrar make_registrar()
{
    FormatRegistrar r{};
    r.add_format = registrar_add_format;
    r.set_probe = registrar_set_probe;
    r.set_flags = registrar_set_flags;
    r.set_entry = registrar_set_entry;
    r.set_reserved = registrar_set_reserved;
    r.add_extension = registrar_add_extension;
    r.registry = format_rows();
    r.folder = folder_in_use.c_str();
    return r;
}

bool plugin_info_accepted(void* module)
{
    auto get_info = reinterpret_cast<GffGetPluginInfo>(dynamic_library_symbol(module, "gffGetPluginInfo"));
    if (!get_info) return false;
    PluginInfo info{};
    std::snprintf(info.folder, sizeof info.folder, "%s", folder_in_use.c_str());
    info.services = &services;
    return get_info(&info) == 1 && info.version >= PLUGIN_VERSION_MIN;
}

// Rows the last registration added at the end of the registry, from `first` on.
void drop_rows_from(int first)
{
    FormatEntry* rows = format_rows();
    for (int i = first; i < format_count(); ++i) {
        if (rows[i].exit) rows[i].exit();
        free_row_names(&rows[i]);
        rows[i] = FormatEntry{};
    }
    registry_truncate(first);
}

void register_dll(const std::string& path)
{
    void* module = dynamic_library_open(path.c_str());
    if (!module) return;
    auto get_formats = reinterpret_cast<GffGetFormatInfo>(dynamic_library_symbol(module, "gffGetFormatInfo"));
    if (!plugin_info_accepted(module) || !get_formats || !registry_reserve(65)) {
        dynamic_library_close(module);
        return;
    }
    const int first = format_count();
    FormatRegistrar registrar = make_registrar();
    get_formats(&registrar);

    // A row without an extension could never be reached by recognition and could not name the
    // files it writes: such rows are refused. A refused init takes the whole library with it,
    // so that nothing half-registered stays behind.
    FormatEntry* rows = format_rows();
    bool usable = !registrar.error;
    for (int i = first; i < format_count() && usable; ++i)
        if (!rows[i].extensions[0] || !rows[i].name || !rows[i].name[0]) usable = false;
    if (!usable) {
        drop_rows_from(first);
        dynamic_library_close(module);
        return;
    }
    if (format_count() == first) {
        add_record(nullptr, path, -1);
        dynamic_library_close(module);
        return;
    }
    // One record per row, all holding the module; only the first one frees it. A row's private
    // value is its record's index plus one.
    for (int i = first; i < format_count(); ++i) {
        const int index = add_record(i == first ? module : nullptr, path, i);
        rows[i].private_value = static_cast<uint32_t>(index + 1);
    }
}

int split_extensions(const char* text, FormatEntry* row)
{
    int count = 0;
    const char* p = text;
    while (*p && count < FORMAT_EXTENSIONS_MAX) {
        while (*p == ',' || *p == ';' || *p == ' ' || *p == '.' || *p == '*') ++p;
        const char* start = p;
        while (*p && *p != ',' && *p != ';') ++p;
        const char* end = p;
        while (end > start && end[-1] == ' ') --end;
        if (end > start) row->extensions[count++] = copy_lower(start, end);
    }
    return count;
}

void set_usr_capabilities(FormatEntry* row, int capabilities)
{
    row->reader = (capabilities & PLUGIN_CAN_READ) ? plugin_read : nullptr;
    row->writer = (capabilities & PLUGIN_CAN_WRITE) ? plugin_write : nullptr;
    row->flags &= ~(FORMAT_READ | FORMAT_WRITE);
    if (row->reader) row->flags |= FORMAT_READ;
    if (row->writer) row->flags |= FORMAT_WRITE;
}

void register_usr(const std::string& path)
{
    void* module = dynamic_library_open(path.c_str());
    if (!module) return;
    auto get_info = reinterpret_cast<GfpGetPluginInfo>(dynamic_library_symbol(module, "gfpGetPluginInfo"));
    char label[LABEL_SIZE] = {}, extension[LABEL_SIZE] = {};
    int capabilities = 0;
    const int answered = get_info ? get_info(2, label, LABEL_SIZE, extension, LABEL_SIZE, &capabilities) : 0;
    dynamic_library_close(module);
    label[LABEL_SIZE - 1] = extension[LABEL_SIZE - 1] = '\0';
    if (!answered || !registry_reserve(1)) return;

    FormatEntry* row = registry_append_row();
    if (!row) return;
    row->flags = FORMAT_OWNS_NAMES | FORMAT_PLUGIN_PENDING_USR | FORMAT_PLUGIN_FLAG;
    if (split_extensions(extension, row) == 0) {
        // Without an extension the row would have no short name: refused.
        free_row_names(row);
        registry_truncate(format_count() - 1);
        return;
    }
    row->name = copy_text("user");
    row->description = copy_text(label);
    set_usr_capabilities(row, capabilities);
    const int index = add_record(nullptr, path, format_count() - 1);
    row->private_value = static_cast<uint32_t>(index + 1);
    row->reserved = records[static_cast<size_t>(index)]->file_name;
}

bool name_matches(const char* name)
{
    // The folder is listed with the pattern "O*.*"; on Windows that match ignores case.
    return name[0] == 'O' || name[0] == 'o';
}

std::vector<std::string> list_folder(const std::string& folder)
{
    std::vector<std::string> names;
#if defined(_WIN32)
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "O*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
#else
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir))
        if (name_matches(entry->d_name)) names.push_back(entry->d_name);
    closedir(dir);
    // Windows lists in name order; the same order here keeps row indices alike on both systems.
    std::sort(names.begin(), names.end());
#endif
    return names;
}

PluginRecord* record_of_row(const FormatEntry& row)
{
    const int32_t value = static_cast<int32_t>(row.private_value);
    if (value < 1 || static_cast<size_t>(value) > records.size()) return nullptr;
    return records[static_cast<size_t>(value - 1)].get();
}

void load_usr_row(FormatEntry* row)
{
    PluginRecord* record = record_of_row(*row);
    void* module = record ? dynamic_library_open(record->file_name) : nullptr;
    auto get_info = reinterpret_cast<GfpGetPluginInfo>(dynamic_library_symbol(module, "gfpGetPluginInfo"));
    char label[LABEL_SIZE_AT_USE] = {}, extension[LABEL_SIZE_AT_USE] = {};
    int capabilities = 0;
    if (get_info && get_info(2, label, LABEL_SIZE_AT_USE, extension, LABEL_SIZE_AT_USE, &capabilities))
        set_usr_capabilities(row, capabilities);
    else if (!module)
        set_usr_capabilities(row, 0);
    dynamic_library_close(module);
    row->flags &= ~FORMAT_PLUGIN_PENDING_USR;
    row->private_value = static_cast<uint32_t>(ROW_LOADED);
}

void load_dll_row(FormatEntry* row)
{
    // Rows of ".dll" plug-ins were filled while their library was registered, and the library
    // stays loaded until library_exit: what is left is to mark the row as in use.
    row->flags &= ~FORMAT_PLUGIN_PENDING;
    row->private_value = static_cast<uint32_t>(ROW_LOADED);
}

// Keeps a ".usr" library loaded for the length of one read or write.
struct UsrLibrary {
    void* module = nullptr;
    explicit UsrLibrary(const char* file_name) : module(file_name ? dynamic_library_open(file_name) : nullptr) {}
    ~UsrLibrary() { dynamic_library_close(module); }
    template <typename F>
    F find(const char* name) const { return reinterpret_cast<F>(dynamic_library_symbol(module, name)); }
};

const char* usr_file_name(int row_index)
{
    std::lock_guard<std::mutex> lock(registry_mutex());
    if (row_index < 0 || row_index >= format_count()) return nullptr;
    return static_cast<const char*>(format_rows()[row_index].reserved);
}

}  // namespace

void plugin_set_folder(const char* folder) { folder_override = folder ? folder : ""; }

const char* plugin_folder()
{
    if (!folder_override.empty()) {
        folder_in_use = folder_override;
        const char last = folder_in_use.back();
        if (last != '/' && last != '\\') folder_in_use += PATH_SEPARATOR_TEXT;
    } else {
        folder_in_use = executable_folder() + "Plugins" + PATH_SEPARATOR_TEXT;
    }
    return folder_in_use.c_str();
}

void plugin_scan()
{
    const std::string folder = plugin_folder();
    for (const std::string& name : list_folder(folder)) {
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string extension = name.substr(dot + 1);
        if (extension == "dll") register_dll(folder + name);
        else if (extension == "usr") register_usr(folder + name);
    }
}

void plugin_unload_all()
{
    for (auto& record : records)
        if (record->module) dynamic_library_close(record->module);
    records.clear();
    records.shrink_to_fit();
}

FormatEntry plugin_row_ready(int index)
{
    std::lock_guard<std::mutex> lock(registry_mutex());
    if (index < 0 || index >= format_count()) return FormatEntry{};
    FormatEntry* row = &format_rows()[index];
    if (row->flags & FORMAT_PLUGIN_PENDING_USR) load_usr_row(row);
    else if (row->flags & FORMAT_PLUGIN_PENDING) load_dll_row(row);
    return *row;
}

Status plugin_read(Stream* stream, LoadContext* ctx)
{
    (void)stream;  // the plug-in opens the file itself
    const UsrLibrary library(usr_file_name(ctx->row_index));
    auto init = library.find<GfpLoadPictureInit>("gfpLoadPictureInit");
    auto get_info = library.find<GfpLoadPictureGetInfo>("gfpLoadPictureGetInfo");
    auto get_line = library.find<GfpLoadPictureGetLine>("gfpLoadPictureGetLine");
    auto get_colour_map = library.find<GfpLoadPictureGetColormap>("gfpLoadPictureGetColormap");
    auto exit = library.find<GfpLoadPictureExit>("gfpLoadPictureExit");
    if (!init || !get_info || !get_line || !get_colour_map || !exit) return STATUS_UNKNOWN_FORMAT;

    void* handle = init(ctx->file_name);
    if (!handle) return STATUS_UNKNOWN_FORMAT;
    int line_format = 0, width = 0, height = 0, dpi = 0, bits = 0, line_bytes = 0, has_map = 0;
    char label[LABEL_SIZE] = {};
    if (!get_info(handle, &line_format, &width, &height, &dpi, &bits, &line_bytes, &has_map, label, LABEL_SIZE)) {
        exit(handle);
        return STATUS_UNKNOWN_FORMAT;
    }
    label[LABEL_SIZE - 1] = '\0';
    // The plug-in's word on sizes is checked like any file's: its lines are copied into a buffer
    // sized from them.
    const int64_t needed = (static_cast<int64_t>(width) * bits + 7) / 8;
    if (width < 1 || height < 1 || width >= 65536 || height >= 65536 || bits < 1 || bits > 64 ||
        line_bytes < needed || line_bytes > needed + 4096) {
        exit(handle);
        return load_fail(ctx, STATUS_BAD_HEADER, "Plug-in : Bad picture's size !");
    }

    HeaderInfo header;
    header_init(&header);
    header.layout_flags = line_format == 5 ? 0 : line_format == 1 ? 0x8 : 0x100;
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bits_per_plane = static_cast<int16_t>(bits);
    header.bytes_per_plane_line = line_bytes;
    header.x_dpi = header.y_dpi = static_cast<uint32_t>(dpi);
    std::snprintf(header.format_label, sizeof header.format_label, "%s", label);
    Status status = load_begin(ctx, &header);
    if (status != STATUS_OK) {
        exit(handle);
        return status;
    }
    for (int y = 0; y < height; ++y) {
        if (!get_line(handle, y, header.line_buffer)) {
            status = STATUS_INCOMPLETE;
            break;
        }
        if (load_put_lines(ctx, -1, -1, 1) != STATUS_OK) break;
    }
    if (has_map) {
        uint8_t palette[256 * 4] = {};
        get_colour_map(handle, palette);
        load_end(ctx, 0x100, 8, palette);
    } else {
        load_end(ctx, 0, 0, nullptr);
    }
    exit(handle);
    return status;
}

Status plugin_write(const char* file_name, SaveContext* ctx)
{
    const UsrLibrary library(usr_file_name(ctx->params.format_index));
    if (!library.module) return STATUS_NO_WRITER;
    auto supported = library.find<GfpSavePictureIsSupported>("gfpSavePictureIsSupported");
    auto init = library.find<GfpSavePictureInit>("gfpSavePictureInit");
    auto put_line = library.find<GfpSavePicturePutLine>("gfpSavePicturePutLine");
    auto exit = library.find<GfpSavePictureExit>("gfpSavePictureExit");
    if (!supported || !init || !put_line || !exit) return STATUS_UNKNOWN_FORMAT;

    const int bits = ctx->bits;
    if (!supported(ctx->width, ctx->height, bits, 0)) return STATUS_TYPE_UNSUPPORTED;
    int line_format = 0;
    char label[LABEL_SIZE] = {};
    void* handle = init(file_name, ctx->width, ctx->height, bits, ctx->x_dpi, &line_format, label, LABEL_SIZE);
    if (!handle) return STATUS_UNKNOWN_FORMAT;

    SaveHeader header;
    save_header_init(&header);
    header.planes = 1;
    header.bits_per_plane = static_cast<int16_t>(bits);
    Status status = save_begin(ctx, &header);
    for (int y = 0; status == STATUS_OK && y < ctx->height; ++y) {
        status = save_get_lines(ctx, y, 1);
        if (status != STATUS_OK) break;
        if (!put_line(handle, y, header.line_buffer)) status = STATUS_INCOMPLETE;
    }
    save_end(ctx);
    exit(handle);
    return status;
}
