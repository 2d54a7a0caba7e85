#include "app/save_name.h"

#include <cctype>
#include <cstring>

#include "core/format.h"

namespace {

bool ends_with_no_case(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

bool has_jpeg_extension(const std::string& name)
{
    // The JPEG codec's own extension list, so that the rule follows the registry.
    const int jpeg = format_find_by_name("jpeg");
    if (jpeg >= 0) return format_find_by_extension(name.c_str(), jpeg);
    return ends_with_no_case(name, ".jpg") || ends_with_no_case(name, ".jpeg");
}

}  // namespace

void save_split_path(const std::string& path, std::string* folder, std::string* name)
{
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) {
        folder->clear();
        *name = path;
        return;
    }
    *folder = path.substr(0, slash + 1);
    *name = path.substr(slash + 1);
}

std::string save_as_path(const std::string& chosen)
{
    if (chosen.size() <= 4 || !ends_with_no_case(chosen, ".jpg")) return chosen + ".jpg";
    return chosen;
}

bool save_same_name_in_place(const std::string& file_name, const unsigned char* first_bytes, size_t count)
{
    // Every JPEG stream opens with the start-of-image marker and a second marker.
    const bool jpeg_data = count >= 3 && first_bytes[0] == 0xFF && first_bytes[1] == 0xD8 && first_bytes[2] == 0xFF;
    return jpeg_data && has_jpeg_extension(file_name);
}

std::string save_jpeg_name(const std::string& name)
{
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("\\/");
    const bool has_extension = dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    return (has_extension ? name.substr(0, dot) : name) + ".jpg";
}
