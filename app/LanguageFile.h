// A language file read as the plain bytes it is: "[Section" lines, "key = value" entries, keys
// compared without regard to the case of A-Z, values of fewer than 2 characters taken as absent.
// Lookups run from a current position, as a reader walking the file line by line would, so that
// menu items are found in the order they stand.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Keys of the string table and the menu commands, by number; null for numbers without a key.
const char* language_string_key(int id);
const char* language_menu_key(int command);

// Whether a language code asks for a file: not for an empty code or "fr" in any case.
bool language_code_uses_file(std::string_view code);
// "<folder of the executable>\<code>.lng".
std::string language_file_path(const std::string& executable_path, std::string_view code);

class LanguageFile {
public:
    static constexpr size_t kLineMax = 511;  // longer lines are read in pieces of this size

    // False when the file cannot be read.
    bool open(const std::string& path);
    void open_bytes(std::string bytes);
    void close();
    bool is_open() const { return open_; }

    size_t position() const { return position_; }
    void seek(size_t position) { position_ = position < bytes_.size() ? position : bytes_.size(); }

    // Moves past the first line that starts with "[" and the name; to the end of the file when
    // there is none. Returns the new position.
    size_t find_section(std::string_view name);
    // From the current position up to the next section: the first entry of `key` with a value
    // of at least 2 characters.
    std::optional<std::string> find_key(std::string_view key);

    // The "String" entry of an IDS_ number (the section is found once and remembered).
    std::optional<std::string> string(int id);

    // Menu translation: begin_menu at the start of each menu level, then menu_item for each item
    // in order; the position runs on between items and is not put back.
    void begin_menu() { find_section("Menu"); }
    std::optional<std::string> menu_item(int command);

    // Dialogs: the title from the key named like the section; the controls from the section
    // the last title lookup found.
    std::optional<std::string> dialog_title(std::string_view section);
    std::optional<std::string> dialog_control(std::string_view key);

private:
    // The next line (without its end), or nothing at the end of the file.
    std::optional<std::string_view> next_line();

    std::string bytes_;
    size_t position_ = 0;
    size_t string_section_ = 0;  // 0 until first used
    size_t dialog_section_ = 0;
    bool open_ = false;
};
