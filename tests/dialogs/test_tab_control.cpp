// The window procedure put on tab controls: pages follow the control's
// display area when it moves or changes size.
#include "tests/dialogs/dialog_fixture.h"

#include <commctrl.h>

namespace {

RECT display_area(HWND tab)
{
    RECT area = client_rect_of(tab);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

// A dialog with a tab control and two page dialogs whose records the tab
// control owns.
struct tab_dialog {
    tab_dialog() : dialog(make_dialog(KIND_PIXELS, 30, 30, 500, 400))
    {
        tab = add_test_control(dialog.hwnd, 22, 1301, L"",
                               {.x = 20, .y = 30, .width = 300, .height = 200});
        for (HWND& page : pages) {
            page = make_dialog(KIND_PIXELS, 0, 0, 50, 50, WS_CHILD | DS_CONTROL, 0, dialog.hwnd);
            if (window_record* record = find_record(page))
                record->owner = tab;
        }
    }
    window_holder dialog;
    HWND tab = nullptr;
    HWND pages[2] = {nullptr, nullptr};
};

}  // namespace

TEST(tab_control, pages_follow_a_move_and_a_size_change)
{
    tab_dialog t;
    ASSERT_NE(t.tab, nullptr);
    ASSERT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(t.tab, GWLP_WNDPROC)), tab_control_procedure)
        << "the control was subclassed";
    SetWindowPos(t.tab, nullptr, 60, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT area = display_area(t.tab);
    for (HWND page : t.pages) {
        RECT placed = rect_in_parent(page);
        EXPECT_EQ(placed.left, 60 + area.left) << "display area shifted by the control's position";
        EXPECT_EQ(placed.top, 70 + area.top);
        EXPECT_EQ(placed.right - placed.left, 50) << "a move keeps the page's size";
    }

    SetWindowPos(t.tab, nullptr, 0, 0, 360, 260, SWP_NOMOVE | SWP_NOZORDER);
    area = display_area(t.tab);
    for (HWND page : t.pages) {
        RECT placed = rect_in_parent(page);
        EXPECT_EQ(placed.right - placed.left, area.right - area.left) << "a size change sizes the page";
        EXPECT_EQ(placed.bottom - placed.top, area.bottom - area.top);
    }
    EXPECT_EQ(SendMessageW(t.tab, TCM_GETITEMCOUNT, 0, 0), 0) << "other messages reach the control";
}

// A window whose record is gone gets 0 for everything: the kept procedure
// is not called.
TEST(tab_control, without_a_record_nothing_is_passed_on)
{
    tab_dialog t;
    ASSERT_NE(t.tab, nullptr);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    wchar_t text[] = L"uno";
    item.pszText = text;
    SendMessageW(t.tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    ASSERT_EQ(SendMessageW(t.tab, TCM_GETITEMCOUNT, 0, 0), 1);
    WNDPROC kept = find_record(t.tab)->tab_procedure;
    release_window_record(t.tab);
    EXPECT_EQ(SendMessageW(t.tab, TCM_GETITEMCOUNT, 0, 0), 0);
    SetWindowLongPtrW(t.tab, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kept));
    EXPECT_EQ(SendMessageW(t.tab, TCM_GETITEMCOUNT, 0, 0), 1);
}

// A refresh redraws the window, and for a transparent one also the part of
// its owner that it covers.
TEST(refresh, transparent_windows_redraw_their_owner)
{
    window_holder dialog(make_dialog(KIND_PIXELS, 30, 30, 300, 200));
    HWND label = add_test_control(dialog.hwnd, 5, 1801, L"etiqueta",
                                  {.x = 20, .y = 20, .width = 120, .height = 24});
    ASSERT_NE(label, nullptr);
    find_record(dialog.hwnd)->callback = recording_callback;
    ShowWindow(dialog.hwnd, SW_SHOW);
    UpdateWindow(dialog.hwnd);

    struct case_row {
        int32_t back_color;
        bool owner_painted;
    };
    const case_row rows[] = {{COLOR_CODE_NOT_SET, false}, {0x00FF00, false},
                             {COLOR_CODE_TRANSPARENT, true}};
    for (const case_row& row : rows) {
        find_record(label)->back_color = row.back_color;
        g_script.seen.clear();
        refresh_window(label);
        EXPECT_EQ(!seen_of(WM_PAINT).empty(), row.owner_painted)
            << "back colour " << row.back_color << ": " << seen_list();
    }
}
