// Text stamped into pictures with GDI: only inside the text's box, in the chosen colour, cut at
// the picture's edges, several lines left aligned; grey and colour-mapped pictures; the
// document's stamping callback with its undo state and its message to the main window.
#include "app/win32/text_stamp.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/win32/CBmp.h"
#include "support/owned.h"

namespace {

HFONT make_font(int height)
{
    ViewFont f{};
    f.height = -height;
    f.weight = 700;
    wcscpy(f.face, L"Tahoma");
    LOGFONTW lf = view_font_logfont(f);
    lf.lfQuality = NONANTIALIASED_QUALITY;  // exact colours to compare
    return CreateFontIndirectW(&lf);
}

RECT text_box(HFONT font, const wchar_t* text, int x, int y)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{x, y, x, y};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return r;
}

void fill_rgb(Picture* p, uint8_t r, uint8_t g, uint8_t b)
{
    for (int y = 0; y < p->height; ++y)
        for (int x = 0; x < p->width; ++x) {
            uint8_t* px = picture_line(p, y) + 3 * x;
            px[0] = r;
            px[1] = g;
            px[2] = b;
        }
}

class Stamp : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = make_font(24);
        ASSERT_NE(font, nullptr);
        dc = GetDC(nullptr);
    }
    void TearDown() override
    {
        ReleaseDC(nullptr, dc);
        DeleteObject(font);
    }
    HFONT font = nullptr;
    HDC dc = nullptr;
};

TEST_F(Stamp, ChangesOnlyTheTextBoxInTheChosenColour)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_RGB, 4, 160, 80), 1);
    fill_rgb(&o.p, 10, 200, 30);
    ASSERT_TRUE(text_stamp(&o.p, dc, 20, 15, L"Lumeva", font, RGB(250, 0, 120)));
    const RECT box = text_box(font, L"Lumeva", 20, 15);
    int changed = 0, exact = 0;
    for (int y = 0; y < o.p.height; ++y)
        for (int x = 0; x < o.p.width; ++x) {
            const uint8_t* px = picture_line(&o.p, y) + 3 * x;
            if (px[0] == 10 && px[1] == 200 && px[2] == 30) continue;
            ++changed;
            EXPECT_TRUE(x >= box.left && x < box.right && y >= box.top && y < box.bottom) << x << "," << y;
            if (px[0] == 250 && px[1] == 0 && px[2] == 120) ++exact;
        }
    EXPECT_GT(changed, 50);
    EXPECT_EQ(exact, changed);  // no smoothing asked: every drawn pixel is the colour itself
}

TEST_F(Stamp, TextIsCutAtThePictureEdge)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_BGR, 4, 50, 20), 1);
    std::memset(o.p.data, 255, picture_data_size(&o.p));
    ASSERT_TRUE(text_stamp(&o.p, dc, 30, 8, L"WWWWWWWW", font, RGB(0, 0, 0)));
    // Ink reaches the last columns and the last rows: the text goes on past them.
    bool last_column = false, last_row = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 46; x < 50; ++x) last_column |= picture_line(&o.p, y)[x * 3] == 0;
    for (int y = 17; y < 20; ++y)
        for (int x = 30; x < 50; ++x) last_row |= picture_line(&o.p, y)[x * 3] == 0;
    EXPECT_TRUE(last_column);
    EXPECT_TRUE(last_row);
    EXPECT_EQ(o.p.width, 50);
    EXPECT_EQ(o.p.bytes_per_line, 152);
}

TEST_F(Stamp, SeveralLinesStartAtTheSameColumn)
{
    Owned o;
    ASSERT_EQ(picture_alloc(&o.p, PIXEL_RGB, 4, 200, 120), 1);
    fill_rgb(&o.p, 255, 255, 255);
    ASSERT_TRUE(text_stamp(&o.p, dc, 40, 10, L"Il\r\nIl", font, RGB(0, 0, 0)));
    // Rows holding ink, and the leftmost ink column of each text line.
    std::vector<int> rows;
    int first_left = 1000, second_left = 1000, gap = 0;
    bool seen_gap = false;
    for (int y = 0; y < o.p.height; ++y) {
        int left = -1;
        for (int x = 0; x < o.p.width && left < 0; ++x)
            if (picture_line(&o.p, y)[3 * x] == 0) left = x;
        if (left < 0) {
            if (!rows.empty()) seen_gap = true, ++gap;
            continue;
        }
        rows.push_back(y);
        if (!seen_gap) first_left = std::min(first_left, left);
        else second_left = std::min(second_left, left);
    }
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(seen_gap);
    EXPECT_GE(first_left, 40);
    EXPECT_LT(first_left, 50);
    EXPECT_EQ(second_left, first_left);
}

TEST_F(Stamp, GreyAndColourMappedPicturesTakeTheNearestEntry)
{
    Owned grey;
    ASSERT_EQ(picture_alloc(&grey.p, PIXEL_GREY, 4, 80, 40), 1);
    std::memset(grey.p.data, 0, picture_data_size(&grey.p));
    ASSERT_TRUE(text_stamp(&grey.p, dc, 5, 5, L"Hi", font, RGB(255, 255, 255)));
    int white = 0, other = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) {
            const uint8_t v = picture_line(&grey.p, y)[x];
            white += v == 255;
            other += v != 0 && v != 255;
        }
    EXPECT_GT(white, 20);
    EXPECT_EQ(other, 0);

    Owned mapped;
    ASSERT_EQ(picture_alloc(&mapped.p, PIXEL_COLORS, 4, 80, 40), 1);
    ASSERT_NE(mapped.p.colour_map, nullptr);
    std::memset(mapped.p.colour_map, 0, COLOUR_MAP_BYTES);
    mapped.p.colour_map[7] = 255;  // entry 7 is pure red, every other entry black
    std::memset(mapped.p.data, 0, picture_data_size(&mapped.p));
    ASSERT_TRUE(text_stamp(&mapped.p, dc, 5, 5, L"Hi", font, RGB(240, 10, 10)));
    int red = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) red += picture_line(&mapped.p, y)[x] == 7;
    EXPECT_GT(red, 20);

    Owned bilevel;
    ASSERT_EQ(picture_alloc(&bilevel.p, PIXEL_BINARY, 4, 80, 40), 1);
    std::memset(bilevel.p.data, 0, picture_data_size(&bilevel.p));  // all black
    ASSERT_TRUE(text_stamp(&bilevel.p, dc, 5, 5, L"Hi", font, RGB(255, 255, 255)));
    int set = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) set += bit_get(picture_line(&bilevel.p, y), x);
    EXPECT_GT(set, 20);
}

// The view's parent gets WM_USER + 5; the stamp keeps an undo state and marks the document.
struct Parent {
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        if (m == WM_USER + 5) ++received;
        return DefWindowProcW(w, m, wp, lp);
    }
    static int received;
};
int Parent::received = 0;

TEST_F(Stamp, DocumentCallbackKeepsUndoAndTellsTheMainWindow)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = Parent::proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"StampParent";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, L"StampParent", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND view = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 100, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(view, nullptr);

    PhotoDocument doc;
    document_set_undo(&doc, true);
    doc.current_picture = PictureHandle::create();
    ASSERT_EQ(picture_alloc(doc.current_picture.get(), PIXEL_RGB, 4, 100, 50), 1);
    fill_rgb(doc.current_picture.get(), 200, 200, 200);

    ViewTextInfo info{10, 10, L"Texte", font, RGB(0, 0, 255)};
    ViewEvent e{};
    e.code = VIEW_EVENT_TEXT_PLACED;
    e.window = view;
    e.context = &doc;
    e.text = &info;
    Parent::received = 0;
    EXPECT_EQ(document_text_placed(&e), 1);
    EXPECT_EQ(Parent::received, 1);
    EXPECT_TRUE(doc.modified);
    ASSERT_NE(doc.undo_picture, nullptr);
    ASSERT_NE(doc.undo_picture->data, doc.current_picture->data);
    EXPECT_NE(std::memcmp(doc.undo_picture->data, doc.current_picture->data, picture_data_size(doc.current_picture.get())), 0);
    EXPECT_EQ(picture_line(doc.undo_picture.get(), 20)[3 * 20], 200);  // the undo state never saw the text
    document_undo(&doc);
    EXPECT_FALSE(doc.modified);

    // Escape: no text object, nothing stamped, the main window told all the same.
    const Picture* before = doc.current_picture.get();
    e.text = nullptr;
    EXPECT_EQ(document_text_placed(&e), 1);
    EXPECT_EQ(Parent::received, 2);
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(doc.current_picture.get(), before);
    // Other codes: answered, nothing else.
    e.code = VIEW_EVENT_CLICK;
    EXPECT_EQ(document_text_placed(&e), 1);
    EXPECT_EQ(Parent::received, 2);

    document_release_all(&doc);
    DestroyWindow(parent);
}

}  // namespace
