#include "app/win32/LanguageTable.h"

#include "app/LanguageFile.h"

namespace {

LanguageFile g_file;

// The file's values are 8-bit text in the system's code page, as the A calls take them.
std::wstring widen(const std::string& s)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string cut(std::string s, size_t size)
{
    if (size > 0 && s.size() > size - 1) s.resize(size - 1);
    return s;
}

void translate_level(HMENU menu)
{
    g_file.begin_menu();
    for (int position = 0; position < 256; ++position) {
        char text[256] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &item)) break;
        if (item.fType & MFT_SEPARATOR) continue;
        if (!item.hSubMenu && language_menu_key(static_cast<int>(item.wID))) {
            if (auto value = g_file.menu_item(static_cast<int>(item.wID))) {
                const std::string translated = cut(*value, sizeof text);
                ModifyMenuA(menu, static_cast<UINT>(position), MF_BYPOSITION | MF_STRING, item.wID,
                            translated.c_str());
            }
        }
        if (item.hSubMenu) translate_level(item.hSubMenu);
    }
}

}  // namespace

LanguageTable& language()
{
    static LanguageTable table;
    return table;
}

bool LanguageTable::load(HINSTANCE instance, const char* code)
{
    instance_ = instance;
    g_file.close();
    const std::string wanted = code ? code : "";
    if (!language_code_uses_file(wanted)) return false;
    char executable[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, executable, MAX_PATH);
    return g_file.open(language_file_path(executable, wanted.substr(0, 3)));
}

void LanguageTable::unload()
{
    g_file.close();
}

bool LanguageTable::has_file() const
{
    return g_file.is_open();
}

bool LanguageTable::load_bytes(HINSTANCE instance, const std::string& bytes)
{
    instance_ = instance;
    g_file.open_bytes(bytes);
    return true;
}

std::wstring LanguageTable::string(int id, size_t size)
{
    if (auto value = g_file.string(id)) return widen(cut(*value, size));
    const wchar_t* resource = nullptr;
    HINSTANCE module = instance_ ? instance_ : GetModuleHandleW(nullptr);
    // With a zero size LoadStringW hands back a pointer into the resource itself.
    const int n = LoadStringW(module, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&resource), 0);
    std::wstring s = n > 0 ? std::wstring(resource, static_cast<size_t>(n)) : std::wstring();
    if (size > 0 && s.size() > size - 1) s.resize(size - 1);
    return s;
}

void LanguageTable::translate_menu(HMENU menu)
{
    if (!g_file.is_open() || !menu) return;
    translate_level(menu);
}

void LanguageTable::translate_dialog_title(HWND dialog, const char* section, int)
{
    if (!g_file.is_open() || !section) return;
    if (auto value = g_file.dialog_title(section)) SetWindowTextA(dialog, cut(*value, 256).c_str());
}

void LanguageTable::translate_dialog_control(HWND dialog, const char* key, int control_id)
{
    if (!g_file.is_open() || !key) return;
    if (auto value = g_file.dialog_control(key)) SetDlgItemTextA(dialog, control_id, cut(*value, 512).c_str());
}
