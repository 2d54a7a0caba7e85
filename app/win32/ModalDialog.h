// The frame of the program's modal dialogs: a dialog resource run with DialogBoxParam, centred
// over its owner, its commands going through the dialog's CommandMap.
#pragma once

#include <windows.h>

#include "app/win32/MessageMap.h"

class ModalDialogBase {
public:
    ModalDialogBase(const ModalDialogBase&) = delete;
    ModalDialogBase& operator=(const ModalDialogBase&) = delete;

    // Runs the dialog; the value given to EndDialog, or -1 when it could not be shown.
    INT_PTR run();
    HWND window() const { return window_; }
    HWND owner() const { return owner_; }
    int resource() const { return resource_; }

    // Where a dialog of width x height goes over `owner` (the desktop when there is none): centred,
    // but never left of or above the screen's origin.
    static POINT centred_position(HWND owner, int width, int height);

protected:
    ModalDialogBase(HWND owner, int resource) : owner_(owner), resource_(resource) {}
    virtual ~ModalDialogBase() = default;

    // WM_INITDIALOG after centring; the answer is the dialog procedure's (TRUE: focus to the
    // first control).
    virtual INT_PTR init() { return TRUE; }
    virtual void horizontal_scroll(WPARAM, LPARAM) {}
    virtual void vertical_scroll(WPARAM, LPARAM) {}
    virtual void close() {}
    virtual void destroy() {}
    virtual void draw_item(const DRAWITEMSTRUCT*) {}
    virtual LRESULT command(WPARAM wparam, LPARAM lparam) = 0;

    void end(INT_PTR result) { EndDialog(window_, result); }

private:
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND owner_;
    int resource_;
    HWND window_ = nullptr;

    struct Frame;
    friend struct Frame;
};

// Derived supplies `static const CommandMap<Derived> command_map;` (its default kind is
// normally DefaultProc::none: commands not in it answer 0).
template <class Derived>
class ModalDialog : public ModalDialogBase {
protected:
    using ModalDialogBase::ModalDialogBase;

    LRESULT command(WPARAM wparam, LPARAM lparam) override
    {
        return Derived::command_map.dispatch(static_cast<Derived&>(*this), window(), wparam, lparam);
    }
};

// The module the program's resources come from (the executable unless a test says otherwise).
HINSTANCE resource_module();
void set_resource_module(HINSTANCE module);
