// The add-text dialog: the text, its TrueType font, size, attributes and colour.
#pragma once

#include <string>

#include "app/DlgFont.h"
#include "app/win32/ModalDialog.h"

class DlgFont : public ModalDialog<DlgFont> {
public:
    explicit DlgFont(HWND owner);
    ~DlgFont() override;

    // After run() returned 1: the text typed, the font chosen and its colour.
    const std::wstring& text() const { return text_; }
    const ViewFont& font() const { return font_; }
    COLORREF colour() const { return colour_; }

    static const CommandMap<DlgFont> command_map;

protected:
    INT_PTR init() override;
    void destroy() override;
    void draw_item(const DRAWITEMSTRUCT* item) override;

private:
    friend struct DlgFontCommands;
    void fill_names();
    void fill_sizes();
    // The dialog's current choices; false when no font name is selected.
    bool current_choice(FontChoice* choice) const;
    void update_preview();
    void choose_colour();
    void accept();

    std::wstring text_;
    ViewFont font_{};
    COLORREF colour_ = 0;
    HFONT preview_ = nullptr;
};
