#include "app/win32/DlgFont.h"

#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "app/win32/CBmp.h"
#include "app/win32/LanguageTable.h"
#include "resources/resource.h"

struct DlgFontCommands {
    static LRESULT ok(DlgFont& d, HWND, UINT, UINT, LPARAM)
    {
        d.accept();
        return 0;
    }
    static LRESULT cancel(DlgFont& d, HWND, UINT, UINT, LPARAM)
    {
        d.end(0);
        return 0;
    }
    static LRESULT list(DlgFont& d, HWND, UINT, UINT code, LPARAM)
    {
        if (code == CBN_SELCHANGE) d.update_preview();
        return 0;
    }
    static LRESULT attribute(DlgFont& d, HWND, UINT, UINT code, LPARAM)
    {
        if (code == BN_CLICKED) d.update_preview();
        return 0;
    }
    static LRESULT colour(DlgFont& d, HWND, UINT, UINT code, LPARAM)
    {
        if (code == BN_CLICKED) d.choose_colour();
        return 0;
    }
    static constexpr CommandMap<DlgFont>::Pair pairs[] = {
        {IDOK, ok},
        {IDCANCEL, cancel},
        {IDC_FONTNAMES, list},
        {IDC_FONTSIZES, list},
        {IDC_BOLD, attribute},
        {IDC_UNDER, attribute},
        {IDC_ITALIC, attribute},
        {IDC_STRIKE, attribute},
        {IDC_COLOR, colour},
    };
};

const CommandMap<DlgFont> DlgFont::command_map{DlgFontCommands::pairs, DefaultProc::none};

DlgFont::DlgFont(HWND owner) : ModalDialog(owner, IDD_FONT) {}

DlgFont::~DlgFont()
{
    if (preview_) DeleteObject(preview_);
}

namespace {

int CALLBACK add_truetype(const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM list)
{
    if (!(type & TRUETYPE_FONTTYPE)) return 1;
    const wchar_t* name = reinterpret_cast<const ENUMLOGFONTEXW*>(lf)->elfFullName;
    HWND combo = reinterpret_cast<HWND>(list);
    // The same family comes once per script; the list keeps one.
    if (SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name)) == CB_ERR)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    return 1;
}

}  // namespace

void DlgFont::fill_names()
{
    HWND combo = GetDlgItem(window(), IDC_FONTNAMES);
    HDC dc = GetDC(window());
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &all, add_truetype, reinterpret_cast<LPARAM>(combo), 0);
    ReleaseDC(window(), dc);
}

void DlgFont::fill_sizes()
{
    HWND combo = GetDlgItem(window(), IDC_FONTSIZES);
    for (int i = 0; FONT_SIZES[i] != -1; ++i) {
        wchar_t text[16];
        swprintf(text, 16, L"%d", static_cast<int>(FONT_SIZES[i]));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

INT_PTR DlgFont::init()
{
    LanguageTable& lang = language();
    lang.translate_dialog_title(window(), "IDD_FONT", IDD_FONT);
    static const struct {
        const char* key;
        int id;
    } captions[] = {{"IDOK", IDOK},         {"IDCANCEL", IDCANCEL},     {"IDC_FONT", IDC_FONT},
                    {"IDC_FONTNAME", IDC_FONTNAME}, {"IDC_FONTSIZE", IDC_FONTSIZE}, {"IDC_ATTR", IDC_ATTR},
                    {"IDC_BOLD", IDC_BOLD}, {"IDC_UNDER", IDC_UNDER},   {"IDC_ITALIC", IDC_ITALIC},
                    {"IDC_STRIKE", IDC_STRIKE}};
    for (const auto& c : captions) lang.translate_dialog_control(window(), c.key, c.id);

    colour_ = 0;  // black at every opening
    fill_names();
    fill_sizes();
    const FontChoice& remembered = font_remembered();
    HWND names = GetDlgItem(window(), IDC_FONTNAMES);
    LRESULT at = SendMessageW(names, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(remembered.face));
    SendMessageW(names, CB_SETCURSEL, at == CB_ERR ? 0 : at, 0);
    SendDlgItemMessageW(window(), IDC_FONTSIZES, CB_SETCURSEL, remembered.size_index, 0);
    CheckDlgButton(window(), IDC_BOLD, remembered.bold ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window(), IDC_UNDER, remembered.underline ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window(), IDC_ITALIC, remembered.italic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window(), IDC_STRIKE, remembered.strike_out ? BST_CHECKED : BST_UNCHECKED);
    update_preview();
    SetFocus(GetDlgItem(window(), IDC_TEXT));
    return FALSE;  // the focus is set
}

bool DlgFont::current_choice(FontChoice* choice) const
{
    *choice = FontChoice{};
    HWND names = GetDlgItem(window(), IDC_FONTNAMES);
    const LRESULT at = SendMessageW(names, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) return false;
    const LRESULT length = SendMessageW(names, CB_GETLBTEXTLEN, at, 0);
    if (length == CB_ERR) return false;
    std::vector<wchar_t> name(static_cast<size_t>(length) + 1);
    SendMessageW(names, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(name.data()));
    std::wcsncpy(choice->face, name.data(), 63);
    const LRESULT size = SendDlgItemMessageW(window(), IDC_FONTSIZES, CB_GETCURSEL, 0, 0);
    choice->size_index = size == CB_ERR ? font_remembered().size_index : static_cast<int>(size);
    choice->bold = IsDlgButtonChecked(window(), IDC_BOLD) == BST_CHECKED;
    choice->underline = IsDlgButtonChecked(window(), IDC_UNDER) == BST_CHECKED;
    choice->italic = IsDlgButtonChecked(window(), IDC_ITALIC) == BST_CHECKED;
    choice->strike_out = IsDlgButtonChecked(window(), IDC_STRIKE) == BST_CHECKED;
    return true;
}

namespace {

int edit_pixels_per_inch(HWND edit)
{
    HDC dc = GetDC(edit);
    const int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(edit, dc);
    return ppi;
}

}  // namespace

void DlgFont::update_preview()
{
    FontChoice choice;
    if (!current_choice(&choice)) return;
    HWND edit = GetDlgItem(window(), IDC_TEXT);
    font_ = font_describe(choice, edit_pixels_per_inch(edit));
    const LOGFONTW lf = view_font_logfont(font_);
    HFONT made = CreateFontIndirectW(&lf);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (preview_) DeleteObject(preview_);
    preview_ = made;
}

void DlgFont::choose_colour()
{
    static COLORREF custom[16] = {};
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = window();
    cc.rgbResult = colour_;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    for (COLORREF& c : custom) c = 0;  // sixteen blank custom colours each time
    if (!ChooseColorW(&cc)) return;
    colour_ = cc.rgbResult;
    InvalidateRect(GetDlgItem(window(), IDC_COLOR), nullptr, TRUE);
}

void DlgFont::draw_item(const DRAWITEMSTRUCT* item)
{
    if (!item || item->CtlID != IDC_COLOR) return;
    RECT r = item->rcItem;
    DrawEdge(item->hDC, &r, EDGE_RAISED, BF_RECT);
    InflateRect(&r, -2, -2);
    HBRUSH brush = CreateSolidBrush(colour_);
    FillRect(item->hDC, &r, brush);
    DeleteObject(brush);
}

void DlgFont::accept()
{
    FontChoice choice;
    if (current_choice(&choice)) {
        font_remembered() = choice;
        font_ = font_describe(choice, edit_pixels_per_inch(GetDlgItem(window(), IDC_TEXT)));
    }
    HWND edit = GetDlgItem(window(), IDC_TEXT);
    const int length = GetWindowTextLengthW(edit);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    GetWindowTextW(edit, buffer.data(), length + 1);
    text_.assign(buffer.data());
    end(1);
}

void DlgFont::destroy()
{
    // The edit box lets go of the preview font before it is deleted.
    if (HWND edit = GetDlgItem(window(), IDC_TEXT)) SendMessageW(edit, WM_SETFONT, 0, FALSE);
    if (preview_) DeleteObject(preview_);
    preview_ = nullptr;
}
