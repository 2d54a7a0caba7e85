// The files of the folder the home screen shows, in the order the file system lists them, and
// the texts the thumbnail list's report view shows for them (size, date, properties, type).
// Window-free: app/win32/CFileList.cpp builds the home screen on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/load.h"

constexpr int FILE_PATH_MAX = 260;

// What the file list raises when it is read outside its array.
class CError {
public:
    CError(const char* message, const char* file, int line) : message_(message), file_(file), line_(line) {}
    const std::string& message() const { return message_; }
    const std::string& file() const { return file_; }
    int line() const { return line_; }

private:
    std::string message_;
    std::string file_;
    int line_;
};

struct CFileInfo {
    char path[FILE_PATH_MAX];  // full path
    int name_offset;           // where the name starts: just after the last backslash (or slash)
    uint64_t size;             // bytes
    uint64_t write_time;       // last write, as a Windows file time (100 ns since 1601, UTC)
    uint32_t attributes;

    const char* name() const { return path + name_offset; }
};

class CFileList {
public:
    int count() const { return static_cast<int>(files_.size()); }
    // Raises CError("CFileInfo: Bad index") outside 0..count-1.
    const CFileInfo& at(int index) const;
    void clear() { files_.clear(); }
    // A path too long for CFileInfo is left out (false).
    bool add(const char* path, uint64_t size, uint64_t write_time, uint32_t attributes);
    // Empties the list, then appends every entry of `folder` (which ends with a separator) that is
    // not a folder, in the order the file system gives them. False when the folder cannot be
    // listed; the list is then empty.
    bool read_folder(const char* folder);

private:
    std::vector<CFileInfo> files_;
};

// The format filter of the thumbnail list: -1 accepts every file, otherwise a registry row whose
// extensions the file's must be one of.
bool format_filter_accepts(int filter, const char* file_name);

// "1023 Bytes", "1.46 KB", "2.00 MB", "1.00 GB".
std::string file_size_text(uint64_t size);

// How the user's locale writes dates: order 0 month-day-year, 2 year-month-day, anything else
// day-month-year, with its date and time separators.
struct DateStyle {
    int order = 1;
    std::string date_separator = "/";
    std::string time_separator = ":";
};

struct DateParts {
    int year, month, day, hour, minute, second;
};

// The date alone when the time is exactly midnight, otherwise the date, a blank, hours and minutes.
std::string file_date_text(const DateStyle& style, const DateParts& when);
// The local date and time of a file time. On Windows the locale's own conversion is used by the
// caller; this one serves the tests and other platforms.
DateParts file_time_local_parts(uint64_t write_time);

// "640x480,256" below 24 bits per pixel, "640x480,16M" from 24 on.
std::string file_properties_text(const FileInfo& info);
// The format's short name in capitals ("JPEG"); empty for an unknown row.
std::string file_type_text(const FileInfo& info);
