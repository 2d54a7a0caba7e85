#include "app/win32/DlgAbout.h"

#include "app/product.h"
#include "app/win32/LanguageTable.h"
#include "resources/resource.h"

namespace {

LRESULT finish(DlgAbout& dialog, HWND window, UINT command, UINT, LPARAM)
{
    EndDialog(window, command);
    (void)dialog;
    return 0;
}

constexpr CommandMap<DlgAbout>::Pair pairs[] = {{IDOK, finish}, {IDCANCEL, finish}};

}  // namespace

const CommandMap<DlgAbout> DlgAbout::command_map{pairs, DefaultProc::none};

DlgAbout::DlgAbout(HWND owner) : ModalDialog(owner, IDD_ABOUT) {}

INT_PTR DlgAbout::init()
{
    language().translate_dialog_title(window(), "IDD_ABOUT", IDD_ABOUT);
    return TRUE;
}
