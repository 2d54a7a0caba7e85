#include "core/format.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/format_internal.h"
#include "core/plugin.h"

namespace {

constexpr int REGISTRY_GROWTH = 65;

std::mutex registry_lock;
int registry_users = 0;
FormatEntry* rows = nullptr;
FormatSignature* signatures = nullptr;
int row_count = 0;
int row_capacity = 0;

void copy_text(char* out, int size, const char* text)
{
    if (!text) text = "";
    std::strncpy(out, text, static_cast<size_t>(size - 1));
    out[size - 1] = '\0';
}

}  // namespace

std::mutex& registry_mutex() { return registry_lock; }

bool registry_reserve(int count)
{
    if (row_capacity - row_count >= count) return true;
    int capacity = row_capacity;
    while (capacity - row_count < count) capacity += REGISTRY_GROWTH;
    auto* grown = static_cast<FormatEntry*>(std::realloc(rows, static_cast<size_t>(capacity) * sizeof(FormatEntry)));
    if (!grown) return false;
    rows = grown;
    std::fill(rows + row_capacity, rows + capacity, FormatEntry{});
    // Plug-in rows have no signature check: their readers decide alone.
    auto* checks = static_cast<FormatSignature*>(std::realloc(signatures, static_cast<size_t>(capacity) * sizeof(FormatSignature)));
    if (!checks) return false;
    signatures = checks;
    std::memset(signatures + row_capacity, 0, static_cast<size_t>(capacity - row_capacity) * sizeof(FormatSignature));
    row_capacity = capacity;
    return true;
}

FormatEntry* registry_append_row()
{
    if (!rows || row_count >= row_capacity) return nullptr;
    FormatEntry* row = &rows[row_count++];
    *row = FormatEntry{};
    return row;
}

void registry_truncate(int count)
{
    if (count >= 0 && count < row_count) row_count = count;
}

int registry_index_of(const FormatEntry* row)
{
    if (!rows || row < rows || row >= rows + row_count) return -1;
    return static_cast<int>(row - rows);
}

void library_init()
{
    std::lock_guard<std::mutex> lock(registry_lock);
    if (registry_users++ > 0) return;
    rows = static_cast<FormatEntry*>(std::calloc(FORMAT_MAX, sizeof(FormatEntry)));
    signatures = static_cast<FormatSignature*>(std::calloc(FORMAT_MAX, sizeof(FormatSignature)));
    row_count = 0;
    if (!rows || !signatures) {
        std::free(rows);
        std::free(signatures);
        rows = nullptr;
        signatures = nullptr;
        return;
    }
    row_capacity = FORMAT_MAX;
    for (int i = 0; i < builtin_format_count && row_count < FORMAT_MAX; ++i) {
        const FormatEntry& row = builtin_formats[i].row;
        if (row.init && !row.init()) continue;
        signatures[row_count] = builtin_formats[i].signature;
        FormatEntry& entry = rows[row_count++];
        entry = row;
        if (entry.reader) entry.flags |= FORMAT_READ;
        if (entry.writer) entry.flags |= FORMAT_WRITE;
    }
    plugin_scan();
}

void library_exit()
{
    std::lock_guard<std::mutex> lock(registry_lock);
    if (registry_users == 0 || --registry_users > 0) return;
    for (int i = 0; i < row_count; ++i) {
        FormatEntry& row = rows[i];
        if (row.exit) row.exit();
        if (row.flags & FORMAT_OWNS_NAMES) {
            std::free(const_cast<char*>(row.name));
            std::free(const_cast<char*>(row.description));
            for (const char* ext : row.extensions) std::free(const_cast<char*>(ext));
        }
    }
    std::free(rows);
    std::free(signatures);
    rows = nullptr;
    signatures = nullptr;
    row_count = 0;
    row_capacity = 0;
    // Last: the rows' exit functions and names may live in the plug-in libraries.
    plugin_unload_all();
}

FormatEntry* format_rows() { return rows; }

FormatSignature* format_signatures() { return signatures; }

int format_count() { return row_count; }

const char* format_get_name(int index)
{
    return index >= 0 && index < row_count ? rows[index].name : nullptr;
}

int format_get_info(int index, FormatInfo* out, int load_plugin)
{
    if (index < 0 || index >= row_count) return -1;
    const FormatEntry row = load_plugin ? plugin_row_ready(index) : rows[index];
    *out = FormatInfo{};
    copy_text(out->name, sizeof out->name, row.name);
    out->index = static_cast<uint16_t>(index);
    out->capabilities = static_cast<uint8_t>(((row.flags & FORMAT_READ) ? 1 : 0) |
                                             ((row.flags & FORMAT_WRITE) ? 2 : 0));
    copy_text(out->description, sizeof out->description, row.description);
    for (int e = 0; e < FORMAT_EXTENSIONS_MAX && row.extensions[e]; ++e)
        copy_text(out->extensions[e], sizeof out->extensions[e], row.extensions[e]);
    for (WritableType& w : out->writable)
        w = WritableType{WRITABLE_END, WRITABLE_NO_LIMIT, {0xFFFFFFFFu, 0xFFFFFFFFu}, nullptr};
    if (row.writable_types) row.writable_types(out->writable);
    return 0;
}

void file_extension(const char* file_name, char* out, int size)
{
    out[0] = '\0';
    if (!file_name) return;
    // Only the last path element: a dot in a folder name is not an extension.
    const char* base = file_name;
    for (const char* p = file_name; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    const char* dot = std::strrchr(base, '.');
    if (!dot) return;
    int n = 0;
    for (const char* p = dot + 1; *p && n < size - 1; ++p) {
        const char c = *p;
        out[n++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    out[n] = '\0';
}

bool format_find_by_extension(const char* file_name, int index)
{
    char ext[64];
    file_extension(file_name, ext, sizeof ext);
    if (!ext[0]) return false;
    const int first = index >= 0 ? index : 0;
    const int last = index >= 0 ? index + 1 : row_count;
    if (index >= row_count) return false;
    for (int i = first; i < last; ++i)
        for (const char* e : rows[i].extensions) {
            if (!e) break;
            if (std::strcmp(e, ext) == 0) return true;
        }
    return false;
}

int format_find_by_name(const char* name)
{
    if (!name) return -1;
    for (int i = 0; i < row_count; ++i)
        if (rows[i].name && std::strcmp(rows[i].name, name) == 0) return i;
    return -1;
}
