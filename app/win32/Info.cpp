#include "app/win32/Info.h"

#include "app/Info.h"
#include "app/win32/LanguageTable.h"

struct InfoHandlers {
    static LRESULT create(Info&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static LRESULT paint(Info& info, HWND window, UINT, WPARAM, LPARAM)
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH white = CreateSolidBrush(INFO_BACKGROUND);
        FillRect(dc, &client, white);
        DeleteObject(white);

        const InfoLamps lamps = info_lamps(info.level_, client.right - client.left);
        for (int i = 0; i < 3; ++i) {
            HBRUSH brush = CreateSolidBrush(lamps.colour[i]);
            HGDIOBJ old = SelectObject(dc, brush);
            const PanelRect& b = lamps.box[i];
            Ellipse(dc, b.left, b.top, b.right, b.bottom);
            SelectObject(dc, old);
            DeleteObject(brush);
        }

        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
        lf.lfWeight = FW_BOLD;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = PROOF_QUALITY;
        lf.lfPitchAndFamily = VARIABLE_PITCH;
        lstrcpyW(lf.lfFaceName, L"Arial");
        HFONT font = CreateFontIndirectW(&lf);
        HGDIOBJ old_font = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text(lamps.string_id, 64).c_str(), -1, &client, DT_SINGLELINE | DT_CENTER | DT_BOTTOM);
        SelectObject(dc, old_font);
        DeleteObject(font);
        EndPaint(window, &ps);
        return 0;
    }

    static LRESULT nothing(Info&, HWND, UINT, WPARAM, LPARAM) { return 0; }

    static constexpr MessageMap<Info>::Pair pairs[] = {{WM_CREATE, create}, {WM_PAINT, paint}, {WM_DESTROY, nothing}};
};
const MessageMap<Info> Info::message_map{InfoHandlers::pairs, DefaultProc::window};

bool Info::create(HWND parent, DWORD style, int x, int y, int width, int height)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.lpszClassName = L"InfoClass";
    if (!register_class(wc)) return false;
    return create_window(0, L"InfoClass", L"", style | WS_CHILD, x, y, width, height, parent, nullptr) != nullptr;
}

void Info::set_level(int level)
{
    level_ = level;
    if (window()) {
        InvalidateRect(window(), nullptr, TRUE);
        UpdateWindow(window());
    }
}
