#include "app/win32/DlgAdjust.h"

#include <commctrl.h>

#include "app/win32/CBmp.h"
#include "app/win32/LanguageTable.h"
#include "resources/resource.h"

const int ADJUST_SLIDER_IDS[ADJUST_SLIDERS] = {IDC_BRIGHTNESS, IDC_CONTRAST, IDC_GAMMA, IDC_RED, IDC_GREEN, IDC_BLUE};
const int ADJUST_VALUE_IDS[ADJUST_SLIDERS] = {IDC_BRIGHTNESS_VALUE, IDC_CONTRAST_VALUE, IDC_GAMMA_VALUE,
                                              IDC_RED_VALUE,        IDC_GREEN_VALUE,    IDC_BLUE_VALUE};

struct DlgAdjustCommands {
    static LRESULT apply(DlgAdjust& d, HWND, UINT, UINT, LPARAM)
    {
        d.finish(true);
        return 0;
    }
    static LRESULT cancel(DlgAdjust& d, HWND, UINT, UINT, LPARAM)
    {
        d.finish(false);
        return 0;
    }
    static constexpr CommandMap<DlgAdjust>::Pair pairs[] = {{IDOK, apply}, {IDCANCEL, cancel}};
};

const CommandMap<DlgAdjust> DlgAdjust::command_map{DlgAdjustCommands::pairs, DefaultProc::none};

DlgAdjust::DlgAdjust(HWND owner, const std::string& file_name)
    : ModalDialog(owner, IDD_ADJUST), file_name_(file_name)
{
}

DlgAdjust::~DlgAdjust()
{
    document_release_all(&before_);
    document_release_all(&after_);
    delete before_view_;
    delete after_view_;
}

// The view takes the frame's place and its id, filling the frame's client area.
void DlgAdjust::attach_preview(PhotoDocument* doc, PictureViewForDocument** bridge, int frame_id)
{
    HWND frame = GetDlgItem(window(), frame_id);
    RECT area{0, 0, 0, 0};
    if (frame) {
        GetClientRect(frame, &area);
        MapWindowPoints(frame, window(), reinterpret_cast<POINT*>(&area), 2);
        DestroyWindow(frame);
    }
    HWND view = CBmp::create(window(), WS_VISIBLE | WS_BORDER, doc->background, static_cast<UINT>(frame_id));
    CBmp* v = CBmp::of(view);
    if (!v) return;
    MoveWindow(view, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    v->set_display_mode(ViewDisplay::fit);
    *bridge = new PictureViewForDocument(v);
    doc->view = *bridge;
    RECT client;
    GetClientRect(view, &client);
    // No photo (an empty name) leaves the preview empty.
    document_open_fit(doc, file_name_.c_str(), client.right, client.bottom);
}

INT_PTR DlgAdjust::init()
{
    LanguageTable& lang = language();
    lang.translate_dialog_title(window(), "IDD_ADJUST", IDD_ADJUST);
    static const struct {
        const char* key;
        int id;
    } captions[] = {{"IDOK", IDOK},
                    {"IDCANCEL", IDCANCEL},
                    {"IDC_BEFORE", IDC_BEFORE},
                    {"IDC_AFTER", IDC_AFTER},
                    {"IDC_TBRIGHTNESS", IDC_TBRIGHTNESS},
                    {"IDC_TCONTRAST", IDC_TCONTRAST},
                    {"IDC_TGAMMA", IDC_TGAMMA},
                    {"IDC_TRED", IDC_TRED},
                    {"IDC_TGREEN", IDC_TGREEN},
                    {"IDC_TBLUE", IDC_TBLUE}};
    for (const auto& c : captions) lang.translate_dialog_control(window(), c.key, c.id);

    attach_preview(&before_, &before_view_, IDC_BEFORE_FRAME);
    attach_preview(&after_, &after_view_, IDC_AFTER_FRAME);
    document_set_undo(&after_, true);

    for (int i = 0; i < ADJUST_SLIDERS; ++i) {
        const AdjustScale& s = adjust_scale(i);
        HWND slider = GetDlgItem(window(), ADJUST_SLIDER_IDS[i]);
        SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(s.minimum, s.maximum));
        SendMessageW(slider, TBM_SETPOS, TRUE, s.start);
        show_value(i, s.start);
    }
    return TRUE;
}

void DlgAdjust::read_positions(int positions[ADJUST_SLIDERS]) const
{
    for (int i = 0; i < ADJUST_SLIDERS; ++i)
        positions[i] =
            static_cast<int>(SendMessageW(GetDlgItem(window(), ADJUST_SLIDER_IDS[i]), TBM_GETPOS, 0, 0));
}

void DlgAdjust::show_value(int slider, int position)
{
    char text[32];
    adjust_value_text(slider, position, text, sizeof text);
    SetDlgItemTextA(window(), ADJUST_VALUE_IDS[slider], text);
}

// Only dragging the thumb follows the slider live; keyboard and page moves wait for the next drag
// (the value read on closing is the slider's position all the same).
void DlgAdjust::vertical_scroll(WPARAM wparam, LPARAM lparam)
{
    const int code = LOWORD(wparam);
    if (code != TB_THUMBPOSITION && code != TB_THUMBTRACK) return;
    const int id = lparam ? GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) : 0;
    for (int i = 0; i < ADJUST_SLIDERS; ++i)
        if (ADJUST_SLIDER_IDS[i] == id) show_value(i, static_cast<short>(HIWORD(wparam)));
    int positions[ADJUST_SLIDERS];
    read_positions(positions);
    adjust_preview_update(&after_, positions);
}

void DlgAdjust::finish(bool apply)
{
    int positions[ADJUST_SLIDERS];
    read_positions(positions);
    result_ = adjust_result(positions);
    end(apply ? 1 : 0);
}

void DlgAdjust::destroy()
{
    // The views go with the dialog; the documents let go of their pictures first.
    document_release_all(&before_);
    document_release_all(&after_);
    before_.view = nullptr;
    after_.view = nullptr;
}
