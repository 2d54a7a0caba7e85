// The add-text dialog: the font list without duplicates, the sizes, the choices remembered from
// one opening to the next, the colour black again at every opening, and the text handed back.
#include "app/win32/DlgFont.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/resource.h"
#include "win32/dialog_driver.h"

namespace {

std::wstring combo_text(HWND combo, LRESULT i)
{
    wchar_t buf[128] = {};
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
    return buf;
}

TEST(FontDialog, ListsFontsOnceAndOffersTheSizes)
{
    font_remembered_reset();
    DlgFont dialog(nullptr);
    std::vector<std::wstring> names;
    std::vector<std::wstring> sizes;
    std::wstring selected_size, title;
    const INT_PTR answer = with_driver([&] { return dialog.run(); },
                                       [&](HWND d) {
                                           if (!d) return;
                                           HWND n = GetDlgItem(d, IDC_FONTNAMES);
                                           for (LRESULT i = 0; i < SendMessageW(n, CB_GETCOUNT, 0, 0); ++i)
                                               names.push_back(combo_text(n, i));
                                           HWND s = GetDlgItem(d, IDC_FONTSIZES);
                                           for (LRESULT i = 0; i < SendMessageW(s, CB_GETCOUNT, 0, 0); ++i)
                                               sizes.push_back(combo_text(s, i));
                                           selected_size = combo_text(s, SendMessageW(s, CB_GETCURSEL, 0, 0));
                                           wchar_t t[64] = {};
                                           GetWindowTextW(d, t, 64);
                                           title = t;
                                           click(d, IDCANCEL);
                                       });
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(title, L"Ajouter un texte");
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()).size(), names.size());
    ASSERT_EQ(sizes.size(), 24u);
    EXPECT_EQ(sizes[0], L"8");
    EXPECT_EQ(sizes[21], L"292");
    EXPECT_EQ(sizes[23], L"340");
    EXPECT_EQ(selected_size, L"48");
}

TEST(FontDialog, OkHandsBackTheTextAndRemembersTheChoices)
{
    font_remembered_reset();
    std::wstring face;
    {
        DlgFont dialog(nullptr);
        const INT_PTR answer = with_driver([&] { return dialog.run(); },
                                           [&](HWND d) {
                                               if (!d) return;
                                               HWND n = GetDlgItem(d, IDC_FONTNAMES);
                                               SendMessageW(n, CB_SETCURSEL, 0, 0);
                                               face = combo_text(n, 0);
                                               SendDlgItemMessageW(d, IDC_FONTSIZES, CB_SETCURSEL, 4, 0);
                                               CheckDlgButton(d, IDC_BOLD, BST_CHECKED);
                                               CheckDlgButton(d, IDC_ITALIC, BST_CHECKED);
                                               SetDlgItemTextW(d, IDC_TEXT, L"Bonjour\r\nle monde");
                                               click(d, IDOK);
                                           });
        ASSERT_EQ(answer, 1);
        EXPECT_EQ(dialog.text(), L"Bonjour\r\nle monde");
        EXPECT_EQ(dialog.font().weight, 700);
        EXPECT_TRUE(dialog.font().italic);
        EXPECT_FALSE(dialog.font().underline);
        EXPECT_LT(dialog.font().height, 0);  // 12 points as a character height
        EXPECT_EQ(std::wstring(dialog.font().face), face.substr(0, 31));
        EXPECT_EQ(dialog.colour(), 0u);
    }
    // The next opening shows the same choices.
    DlgFont again(nullptr);
    std::wstring shown_face, shown_size;
    bool bold = false, italic = false, underline = true;
    with_driver([&] { return again.run(); },
                [&](HWND d) {
                    if (!d) return;
                    HWND n = GetDlgItem(d, IDC_FONTNAMES);
                    shown_face = combo_text(n, SendMessageW(n, CB_GETCURSEL, 0, 0));
                    HWND s = GetDlgItem(d, IDC_FONTSIZES);
                    shown_size = combo_text(s, SendMessageW(s, CB_GETCURSEL, 0, 0));
                    bold = IsDlgButtonChecked(d, IDC_BOLD) == BST_CHECKED;
                    italic = IsDlgButtonChecked(d, IDC_ITALIC) == BST_CHECKED;
                    underline = IsDlgButtonChecked(d, IDC_UNDER) == BST_CHECKED;
                    click(d, IDCANCEL);
                });
    EXPECT_EQ(shown_face, face);
    EXPECT_EQ(shown_size, L"12");
    EXPECT_TRUE(bold);
    EXPECT_TRUE(italic);
    EXPECT_FALSE(underline);
    EXPECT_TRUE(again.text().empty());
    font_remembered_reset();
}

}  // namespace
