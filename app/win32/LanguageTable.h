// Every text the program shows, by its IDS_ number: the language file's when one is loaded, else
// the French of the resources. Menus and dialogs are translated by their IDM_ keys and sections.
#pragma once

#include <windows.h>

#include <string>

class LanguageTable {
public:
    // Keeps the module the resource strings come from and opens "<code>.lng" beside the
    // executable unless the code is empty or "fr". True when a file was opened.
    bool load(HINSTANCE instance, const char* code);
    void unload();
    // A language given as the file's bytes (the tests' way in).
    bool load_bytes(HINSTANCE instance, const std::string& bytes);
    bool has_file() const;

    // The text of string `id` (an IDS_ number), cut to `size` - 1 characters as a caller's
    // buffer of that many characters would; the program's callers use 128.
    std::wstring string(int id, size_t size = 128);
    // Replaces the texts of a menu's IDM_ items, sub-menus included.
    void translate_menu(HMENU menu);
    // The dialog's title from the key named like the section; remembers the section for the
    // controls.
    void translate_dialog_title(HWND dialog, const char* section, int dialog_id);
    void translate_dialog_control(HWND dialog, const char* key, int control_id);

    HINSTANCE instance() const { return instance_; }

private:
    HINSTANCE instance_ = nullptr;
};

// The program's one table.
LanguageTable& language();

// Shorthand for language().string(id).
inline std::wstring text(int id, size_t size = 128)
{
    return language().string(id, size);
}
