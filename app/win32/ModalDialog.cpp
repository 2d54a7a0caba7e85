#include "app/win32/ModalDialog.h"

#include <algorithm>

namespace {
HINSTANCE g_resource_module = nullptr;
}

HINSTANCE resource_module()
{
    return g_resource_module ? g_resource_module : GetModuleHandleW(nullptr);
}

void set_resource_module(HINSTANCE module)
{
    g_resource_module = module;
}

// The dialog procedure is itself a message table, without a default procedure behind it.
struct ModalDialogBase::Frame {
    static LRESULT init_dialog(ModalDialogBase& d, HWND window, UINT, WPARAM, LPARAM)
    {
        RECT r{};
        GetWindowRect(window, &r);
        const POINT at = centred_position(d.owner_, r.right - r.left, r.bottom - r.top);
        SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return d.init();
    }
    static LRESULT command(ModalDialogBase& d, HWND, UINT, WPARAM w, LPARAM l) { return d.command(w, l); }
    static LRESULT hscroll(ModalDialogBase& d, HWND, UINT, WPARAM w, LPARAM l)
    {
        d.horizontal_scroll(w, l);
        return 0;
    }
    static LRESULT vscroll(ModalDialogBase& d, HWND, UINT, WPARAM w, LPARAM l)
    {
        d.vertical_scroll(w, l);
        return 0;
    }
    // Answering 0 lets the dialog manager turn the close box into IDCANCEL.
    static LRESULT close(ModalDialogBase& d, HWND, UINT, WPARAM, LPARAM)
    {
        d.close();
        return 0;
    }
    static LRESULT destroy(ModalDialogBase& d, HWND, UINT, WPARAM, LPARAM)
    {
        d.destroy();
        return 0;
    }
    static LRESULT draw_item(ModalDialogBase& d, HWND, UINT, WPARAM, LPARAM l)
    {
        d.draw_item(reinterpret_cast<const DRAWITEMSTRUCT*>(l));
        return TRUE;
    }

    static constexpr MessageMap<ModalDialogBase>::Pair pairs[] = {
        {WM_INITDIALOG, init_dialog}, {WM_COMMAND, command}, {WM_HSCROLL, hscroll},   {WM_VSCROLL, vscroll},
        {WM_CLOSE, close},            {WM_DESTROY, destroy}, {WM_DRAWITEM, draw_item},
    };
    static constexpr MessageMap<ModalDialogBase> map{pairs, DefaultProc::none};
};

POINT ModalDialogBase::centred_position(HWND owner, int width, int height)
{
    RECT area{};
    if (owner && IsWindow(owner)) GetWindowRect(owner, &area);
    else GetWindowRect(GetDesktopWindow(), &area);
    POINT at;
    at.x = std::max(area.left + (area.right - area.left - width) / 2, 0L);
    at.y = std::max(area.top + (area.bottom - area.top - height) / 2, 0L);
    return at;
}

INT_PTR ModalDialogBase::run()
{
    return DialogBoxParamW(resource_module(), MAKEINTRESOURCEW(resource_), owner_, procedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ModalDialogBase::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<ModalDialogBase*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, lparam);
        dialog->window_ = window;
    }
    auto* dialog = reinterpret_cast<ModalDialogBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // WM_SETFONT and the like arrive before WM_INITDIALOG.
    if (!dialog) return FALSE;
    const INT_PTR result = Frame::map.dispatch(*dialog, window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        dialog->window_ = nullptr;
    }
    return result;
}
