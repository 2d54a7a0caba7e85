#include "app/win32/LanguageTable.h"

LanguageTable& language()
{
    static LanguageTable table;
    return table;
}

bool LanguageTable::load(HINSTANCE instance, const char*)
{
    instance_ = instance;
    return false;
}

void LanguageTable::unload() {}

bool LanguageTable::has_file() const
{
    return false;
}

std::wstring LanguageTable::string(int id, size_t size)
{
    const wchar_t* resource = nullptr;
    HINSTANCE module = instance_ ? instance_ : GetModuleHandleW(nullptr);
    // With a zero size LoadStringW hands back a pointer into the resource itself.
    const int n = LoadStringW(module, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&resource), 0);
    std::wstring s = n > 0 ? std::wstring(resource, static_cast<size_t>(n)) : std::wstring();
    if (size > 0 && s.size() > size - 1) s.resize(size - 1);
    return s;
}

void LanguageTable::translate_menu(HMENU) {}
void LanguageTable::translate_dialog_title(HWND, const char*, int) {}
void LanguageTable::translate_dialog_control(HWND, const char*, int) {}
