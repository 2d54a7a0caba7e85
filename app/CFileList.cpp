#include "app/CFileList.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/format.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

// Seconds between 1601-01-01 and 1970-01-01, the two epochs of file times.
constexpr uint64_t EPOCH_GAP_SECONDS = 11644473600ull;
constexpr uint64_t TICKS_PER_SECOND = 10000000ull;

int name_offset_of(const char* path)
{
    int offset = 0;
    for (int i = 0; path[i]; ++i)
        if (path[i] == '\\' || path[i] == '/') offset = i + 1;
    return offset;
}

}  // namespace

const CFileInfo& CFileList::at(int index) const
{
    if (index < 0 || index >= count()) throw CError("CFileInfo: Bad index", __FILE__, __LINE__);
    return files_[static_cast<size_t>(index)];
}

bool CFileList::add(const char* path, uint64_t size, uint64_t write_time, uint32_t attributes)
{
    const size_t length = std::strlen(path);
    if (length >= FILE_PATH_MAX) return false;
    CFileInfo info{};
    std::memcpy(info.path, path, length + 1);
    info.name_offset = name_offset_of(info.path);
    info.size = size;
    info.write_time = write_time;
    info.attributes = attributes;
    files_.push_back(info);
    return true;
}

bool CFileList::read_folder(const char* folder)
{
    clear();
    const std::string base = folder;
#if defined(_WIN32)
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (std::strcmp(found.cFileName, ".") == 0) continue;
        const uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        const uint64_t time =
            (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
        add((base + found.cFileName).c_str(), size, time, found.dwFileAttributes);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
#else
    DIR* dir = opendir(folder);
    if (!dir) return false;
    while (const dirent* entry = readdir(dir)) {
        const std::string path = base + entry->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        const uint64_t time = (static_cast<uint64_t>(st.st_mtim.tv_sec) + EPOCH_GAP_SECONDS) * TICKS_PER_SECOND +
                              static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
        add(path.c_str(), static_cast<uint64_t>(st.st_size), time, 0);
    }
    closedir(dir);
    return true;
#endif
}

bool format_filter_accepts(int filter, const char* file_name)
{
    return filter == -1 || format_find_by_extension(file_name, filter);
}

std::string file_size_text(uint64_t size)
{
    char number[64];
    const char* unit;
    const double kb = 1024.0;
    if (size < 1024) {
        std::snprintf(number, sizeof number, "%d", static_cast<int>(size));
        unit = "Bytes";
    } else if (size < 1024ull * 1024) {
        std::snprintf(number, sizeof number, "%.2lf", static_cast<double>(size) / kb);
        unit = "KB";
    } else if (size < 1024ull * 1024 * 1024) {
        std::snprintf(number, sizeof number, "%.2lf", static_cast<double>(size) / (kb * kb));
        unit = "MB";
    } else {
        std::snprintf(number, sizeof number, "%.2lf", static_cast<double>(size) / (kb * kb * kb));
        unit = "GB";
    }
    return std::string(number) + " " + unit;
}

std::string file_date_text(const DateStyle& style, const DateParts& when)
{
    int first, second, third;
    switch (style.order) {
    case 0: first = when.month, second = when.day, third = when.year; break;
    case 2: first = when.year, second = when.month, third = when.day; break;
    default: first = when.day, second = when.month, third = when.year; break;
    }
    const char* ds = style.date_separator.c_str();
    const char* ts = style.time_separator.c_str();
    char text[128];
    if (when.hour == 0 && when.minute == 0 && when.second == 0)
        std::snprintf(text, sizeof text, "%02d%s%02d%s%02d", first, ds, second, ds, third);
    else
        std::snprintf(text, sizeof text, "%02d%s%02d%s%02d %02d%s%02d", first, ds, second, ds, third, when.hour, ts,
                      when.minute);
    return text;
}

DateParts file_time_local_parts(uint64_t write_time)
{
#if defined(_WIN32)
    FILETIME utc{static_cast<DWORD>(write_time), static_cast<DWORD>(write_time >> 32)};
    FILETIME local;
    SYSTEMTIME t{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return DateParts{};
    return DateParts{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
#else
    const time_t seconds = static_cast<time_t>(write_time / TICKS_PER_SECOND) - static_cast<time_t>(EPOCH_GAP_SECONDS);
    struct tm t{};
    if (!localtime_r(&seconds, &t)) return DateParts{};
    return DateParts{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
#endif
}

std::string file_properties_text(const FileInfo& info)
{
    const int bits = info.planes * info.bits_per_plane;
    char text[96];
    if (bits < 24)
        std::snprintf(text, sizeof text, "%dx%d,%d", info.width, info.height, bits >= 0 && bits < 24 ? 1 << bits : 0);
    else
        std::snprintf(text, sizeof text, "%dx%d,16M", info.width, info.height);
    return text;
}

std::string file_type_text(const FileInfo& info)
{
    const char* name = format_get_name(info.format_index);
    std::string text = name ? name : "";
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}
