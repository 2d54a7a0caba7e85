#include "app/LanguageFile.h"

#include <cstdio>
#include <iterator>

namespace {

struct Key {
    int number;
    const char* name;
};

constexpr Key kStringKeys[] = {
    {1, "IDS_QUIT"},          {2, "IDS_CROP"},           {4, "IDS_ROTATE"},         {5, "IDS_UNDO"},
    {6, "IDS_RETOUCH"},       {7, "IDS_SAVE"},           {8, "IDS_BACK"},           {9, "IDS_STATUS"},
    {10, "IDS_STATUS_VIEW"},  {11, "IDS_STATUS_CROP"},   {12, "IDS_STATUS_REDEYES"}, {13, "IDS_SAVEQUESTION"},
    {14, "IDS_ABOUT"},        {15, "IDS_SAVEAS"},        {16, "IDS_SAVE_WARNING"},  {17, "IDS_SAVE_PROBLEM"},
    {18, "IDS_STATUS_TEXT"},  {19, "IDS_ZOOMIN"},        {20, "IDS_ZOOMOUT"},       {21, "IDS_FIT"},
    {22, "IDS_CLOSE_WARNING"}, {23, "IDS_ADDTEXT"},      {24, "IDS_REMOVEREDEYES"}, {25, "IDS_INFO_GREEN"},
    {26, "IDS_INFO_YELLOW"},  {27, "IDS_INFO_RED"},
};

constexpr Key kMenuKeys[] = {
    {40025, "IDM_PORTRAIT"},  {40016, "IDM_BALANCE"},  {40017, "IDM_AUTOCONTRAST"}, {40018, "IDM_AUTOLEVELS"},
    {40019, "IDM_BLUR"},      {40020, "IDM_ENHANCE"},  {40021, "IDM_BINARY"},       {40022, "IDM_SEPIA"},
    {40023, "IDM_ADDTEXT"},   {40024, "IDM_REDEYES"},  {40008, "IDM_ROTATEL90"},    {40009, "IDM_ROTATER90"},
    {40010, "IDM_HFLIP"},     {40011, "IDM_VFLIP"},    {40014, "IDM_SAVEFILE"},     {40015, "IDM_SAVEASFILE"},
    {40012, "IDM_UNDOLAST"},  {40013, "IDM_UNDOALL"},  {40002, "IDM_ZOOMIN"},       {40003, "IDM_ZOOMOUT"},
    {40004, "IDM_FIT"},
};

template <size_t N>
const char* find_name(const Key (&keys)[N], int number)
{
    for (const Key& k : keys)
        if (k.number == number) return k.name;
    return nullptr;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_key(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

const char* language_string_key(int id)
{
    return find_name(kStringKeys, id);
}

const char* language_menu_key(int command)
{
    return find_name(kMenuKeys, command);
}

bool language_code_uses_file(std::string_view code)
{
    return !code.empty() && !same_key(code, "fr");
}

std::string language_file_path(const std::string& executable_path, std::string_view code)
{
    const size_t slash = executable_path.find_last_of('\\');
    std::string path = slash == std::string::npos ? std::string() : executable_path.substr(0, slash);
    path += '\\';
    path += code;
    path += ".lng";
    return path;
}

bool LanguageFile::open(const std::string& path)
{
    close();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string bytes;
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return false;
    open_bytes(std::move(bytes));
    return true;
}

void LanguageFile::open_bytes(std::string bytes)
{
    bytes_ = std::move(bytes);
    position_ = 0;
    string_section_ = 0;
    dialog_section_ = 0;
    open_ = true;
}

void LanguageFile::close()
{
    bytes_.clear();
    position_ = 0;
    string_section_ = 0;
    dialog_section_ = 0;
    open_ = false;
}

std::optional<std::string_view> LanguageFile::next_line()
{
    if (position_ >= bytes_.size()) return std::nullopt;
    const size_t start = position_;
    size_t end = start;
    while (end < bytes_.size() && end - start < kLineMax && bytes_[end] != '\n') ++end;
    // A line ends with its LF; one cut at the length limit goes on in the next piece.
    position_ = end < bytes_.size() && bytes_[end] == '\n' ? end + 1 : end;
    return std::string_view(bytes_).substr(start, end - start);
}

size_t LanguageFile::find_section(std::string_view name)
{
    position_ = 0;
    while (auto line = next_line())
        if (line->size() > name.size() && (*line)[0] == '[' && line->substr(1, name.size()) == name) return position_;
    return position_;
}

std::optional<std::string> LanguageFile::find_key(std::string_view key)
{
    while (auto line = next_line()) {
        if (!line->empty() && (*line)[0] == '[') return std::nullopt;
        const size_t equals = line->find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view name = line->substr(0, equals);
        while (!name.empty() && blank(name.back())) name.remove_suffix(1);
        if (!same_key(name, key)) continue;
        std::string_view value = line->substr(equals + 1);
        while (!value.empty() && blank(value.front())) value.remove_prefix(1);
        const size_t end = value.find_first_of("\r\n");
        if (end != std::string_view::npos) value = value.substr(0, end);
        while (!value.empty() && blank(value.back())) value.remove_suffix(1);
        if (value.size() >= 2) return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> LanguageFile::string(int id)
{
    const char* key = language_string_key(id);
    if (!open_ || !key) return std::nullopt;
    if (string_section_ == 0) string_section_ = find_section("String");
    seek(string_section_);
    return find_key(key);
}

std::optional<std::string> LanguageFile::menu_item(int command)
{
    const char* key = language_menu_key(command);
    if (!open_ || !key) return std::nullopt;
    return find_key(key);
}

std::optional<std::string> LanguageFile::dialog_title(std::string_view section)
{
    if (!open_) return std::nullopt;
    dialog_section_ = find_section(section);
    return find_key(section);
}

std::optional<std::string> LanguageFile::dialog_control(std::string_view key)
{
    if (!open_) return std::nullopt;
    seek(dialog_section_);
    return find_key(key);
}
