// Control colours: the codes stored, the answers to WM_CTLCOLOR*, and the
// brushes shared between records and deleted with the last of them.
#include <gtest/gtest.h>

#include "tests/support/window_support.h"

#include <commctrl.h>

namespace {

COLORREF brush_color(HBRUSH brush)
{
    LOGBRUSH info = {};
    GetObjectW(brush, sizeof info, &info);
    return info.lbColor;
}

// A device context of a control, with its colours read back after an answer.
struct answer_seen {
    HBRUSH brush;
    COLORREF text;
    COLORREF back;
    int mode;
};

answer_seen answer_for(HWND dialog, uint32_t message, HWND child)
{
    HDC dc = GetDC(dialog);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    SetBkMode(dc, OPAQUE);
    answer_seen seen;
    seen.brush = answer_ctlcolor(dialog, message, dc, child);
    seen.text = GetTextColor(dc);
    seen.back = GetBkColor(dc);
    seen.mode = GetBkMode(dc);
    ReleaseDC(dialog, dc);
    return seen;
}

const uint32_t ctlcolor_messages[7] = {
    WM_CTLCOLORMSGBOX, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORBTN,
    WM_CTLCOLORDLG,    WM_CTLCOLORSCROLLBAR, WM_CTLCOLORSTATIC,
};
const int text_indexes[7] = {COLOR_MENUTEXT,   COLOR_WINDOWTEXT, COLOR_WINDOWTEXT, COLOR_BTNTEXT,
                             COLOR_WINDOWTEXT, COLOR_WINDOWTEXT, COLOR_WINDOWTEXT};
const int back_indexes[7] = {COLOR_MENU,    COLOR_WINDOW,    COLOR_WINDOW, COLOR_BTNFACE,
                             COLOR_BTNFACE, COLOR_SCROLLBAR, COLOR_BTNFACE};

struct make_case {
    int32_t red, green, blue;
    int32_t color;
};

TEST(controls_colors, test_make_color_clamps)
{
    const make_case cases[] = {
        {0, 64, 0, 0x004000},     {300, -5, 64, 0x4000FF},  {255, 255, 255, 0xFFFFFF},
        {-1, -1, -1, 0},          {1, 2, 3, 0x030201},      {256, 0, 1000, 0xFF00FF},
    };
    for (const make_case& c : cases) {
        EXPECT_EQ(make_color(c.red, c.green, c.blue), c.color)
            << "make_color(" << c.red << ", " << c.green << ", " << c.blue << ")";
    }
}

struct normalise_case {
    int32_t fore, back;
    int32_t stored_fore, stored_back;
};

TEST(controls_colors, test_codes_normalised_when_set)
{
    const normalise_case cases[] = {
        {0xFFFFFF, 0x004000, 0xFFFFFF, 0x004000},
        {-5, -7, -1, -1},
        {-3, -3, -1, -1},
        {-2, -2, -1, -2},
        {0x12345678, 0x7F00FF00, 0x345678, 0x00FF00},
    };
    test_dialog dialog;
    HWND label = add_test_control(dialog.hwnd, 5, 10, L"label");
    for (const normalise_case& c : cases) {
        set_control_color(dialog.hwnd, 10, c.fore, c.back);
        const window_record* record = find_record(label);
        EXPECT_EQ(record->text_color, c.stored_fore) << "fore " << c.fore;
        EXPECT_EQ(record->back_color, c.stored_back) << "back " << c.back;
        if (c.stored_back >= 0) {
            ASSERT_NE(record->back_brush, nullptr);
            EXPECT_EQ(brush_color(record->back_brush), static_cast<COLORREF>(c.stored_back));
        } else {
            EXPECT_EQ(record->back_brush, nullptr) << "a code owns no brush";
        }
    }
}

TEST(controls_colors, test_answer_for_each_code_and_message)
{
    test_dialog dialog;
    HWND never = add_test_control(dialog.hwnd, 5, 10, L"never set");
    HWND fixed = add_test_control(dialog.hwnd, 5, 11, L"fixed");
    HWND system = add_test_control(dialog.hwnd, 5, 12, L"system");
    HWND clear = add_test_control(dialog.hwnd, 5, 13, L"transparent");
    set_control_color(dialog.hwnd, 11, 0x0000FF, 0x004000);
    set_control_color(dialog.hwnd, 12, -1, -1);
    set_control_color(dialog.hwnd, 13, -1, -2);
    HBRUSH fixed_brush = find_record(fixed)->back_brush;

    for (int i = 0; i < 7; ++i) {
        uint32_t message = ctlcolor_messages[i];
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << message);

        answer_seen seen = answer_for(dialog.hwnd, message, never);
        EXPECT_EQ(seen.brush, nullptr) << "a control never coloured is left to the system";
        EXPECT_EQ(seen.text, RGB(1, 2, 3));

        seen = answer_for(dialog.hwnd, message, fixed);
        EXPECT_EQ(seen.brush, fixed_brush);
        EXPECT_EQ(seen.text, 0x0000FFu);
        EXPECT_EQ(seen.back, 0x004000u);
        EXPECT_EQ(seen.mode, OPAQUE);

        seen = answer_for(dialog.hwnd, message, system);
        EXPECT_EQ(seen.brush, GetSysColorBrush(back_indexes[i]));
        EXPECT_EQ(seen.text, GetSysColor(text_indexes[i]));
        EXPECT_EQ(seen.back, GetSysColor(back_indexes[i]));

        seen = answer_for(dialog.hwnd, message, clear);
        EXPECT_EQ(seen.brush, GetStockObject(NULL_BRUSH));
        EXPECT_EQ(seen.text, GetSysColor(text_indexes[i]));
        EXPECT_EQ(seen.mode, TRANSPARENT);
    }
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLOREDIT, nullptr).brush, nullptr);
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLOREDIT, dialog.hwnd).brush, nullptr)
        << "the dialog was never coloured";
}

TEST(controls_colors, test_combo_parts_coloured_as_their_combo)
{
    test_dialog dialog;
    HWND combo = add_test_control(dialog.hwnd, 24, 30, L"", {.height = 80});
    ASSERT_NE(combo, nullptr);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr) << "a drop-down combo box has an edit field";
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLOREDIT, edit).brush, nullptr)
        << "combo not coloured yet";

    set_control_color(dialog.hwnd, 30, -1, -1);
    answer_seen seen = answer_for(dialog.hwnd, WM_CTLCOLOREDIT, edit);
    EXPECT_EQ(seen.brush, GetSysColorBrush(COLOR_WINDOW));
    EXPECT_EQ(seen.text, GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLORSTATIC, edit).brush, nullptr)
        << "only edit and list requests are taken for combo parts";

    set_control_color(dialog.hwnd, 30, 0x0000FF, 0x00FFFF);
    seen = answer_for(dialog.hwnd, WM_CTLCOLOREDIT, edit);
    EXPECT_EQ(seen.brush, find_record(combo)->back_brush);
    EXPECT_EQ(seen.text, 0x0000FFu);
    EXPECT_EQ(seen.back, 0x00FFFFu);

    // The dropped list has no parent of its own: the open combo stands in.
    HWND list = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLORLISTBOX, list).brush, nullptr);
    g_dropped_combo = combo;
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLORLISTBOX, list).brush, find_record(combo)->back_brush);
    g_dropped_combo = nullptr;
    DestroyWindow(list);
}

// Equal backgrounds share one brush, across dialogs too; it is deleted once,
// when no record shows its colour any more, whether by a colour change or a
// release.
TEST(controls_colors, test_equal_backgrounds_share_one_brush)
{
    test_dialog first;
    test_dialog second;
    HWND a = add_test_control(first.hwnd, 9, 1, L"");
    HWND b = add_test_control(first.hwnd, 9, 2, L"");
    add_test_control(first.hwnd, 5, 3, L"system colours");
    set_control_color(first.hwnd, 1, 0xFFFFFF, make_color(0, 64, 0));
    set_control_color(first.hwnd, 2, 0x000000, make_color(0, 64, 0));
    set_control_color(first.hwnd, 3, -1, -2);
    HBRUSH green = find_record(a)->back_brush;
    ASSERT_TRUE(gdi_alive(green));
    EXPECT_EQ(find_record(b)->back_brush, green);
    set_control_color(first.hwnd, 1, 0xFFFFFF, make_color(0, 64, 0));
    EXPECT_EQ(find_record(a)->back_brush, green) << "the same colours again keep the brush";

    add_test_control(second.hwnd, 5, 1, L"");
    set_control_color(second.hwnd, 1, 0, 0x0000C0);
    HBRUSH red = find_record(control_handle(second.hwnd, 1))->back_brush;
    add_test_control(second.hwnd, 5, 2, L"");
    set_control_color(second.hwnd, 2, 0, make_color(0, 64, 0));
    EXPECT_EQ(find_record(control_handle(second.hwnd, 2))->back_brush, green)
        << "brushes are shared across dialogs";

    set_control_color(first.hwnd, 1, 0xFFFFFF, 0x000080);
    EXPECT_TRUE(gdi_alive(green)) << "still shown by two controls";
    DestroyWindow(second.hwnd);
    EXPECT_TRUE(gdi_alive(green)) << "still shown by the first dialog";
    EXPECT_FALSE(gdi_alive(red));
    set_control_color(first.hwnd, 2, 0xFFFFFF, -1);
    EXPECT_FALSE(gdi_alive(green)) << "no record shows the colour any more";
    EXPECT_EQ(find_record(b)->back_brush, nullptr);

    // A brush made after that must survive the first dialog's release: a
    // second delete of the green brush could hit it if its handle is reused.
    HBRUSH witness = CreateSolidBrush(make_color(0, 64, 0));
    DestroyWindow(first.hwnd);
    EXPECT_TRUE(gdi_alive(witness));
    EXPECT_TRUE(gdi_alive(GetStockObject(NULL_BRUSH)));
    EXPECT_TRUE(gdi_alive(GetSysColorBrush(COLOR_WINDOW)));
    DeleteObject(witness);
}

TEST(controls_colors, test_scroll_bar_takes_dialog_background)
{
    test_dialog dialog;
    HWND bar = add_test_control(dialog.hwnd, 8, 5, L"");
    // The dialog has no background of its own: the bar keeps its code, no brush.
    set_control_color(dialog.hwnd, 5, -1, -1);
    EXPECT_EQ(find_record(bar)->back_color, -1);
    EXPECT_EQ(find_record(bar)->back_brush, nullptr);

    set_control_color(dialog.hwnd, SELF_ID, 0, 0x203040);
    set_control_color(dialog.hwnd, 5, -1, -1);
    EXPECT_EQ(find_record(dialog.hwnd)->back_color, 0x203040) << "the dialog through the self id";
    const window_record* record = find_record(bar);
    EXPECT_EQ(record->back_color, 0x203040);
    EXPECT_EQ(record->back_brush, find_record(dialog.hwnd)->back_brush) << "one brush for both";
}

TEST(controls_colors, test_self_drawing_controls_get_colours_sent)
{
    test_dialog dialog;
    set_control_color(dialog.hwnd, SELF_ID, 0, 0x112233);
    HWND list = add_test_control(dialog.hwnd, 17, 1, L"", {.height = 60});
    HWND tree = add_test_control(dialog.hwnd, 18, 2, L"", {.height = 60});
    HWND bar = add_test_control(dialog.hwnd, 19, 3, L"");

    set_control_color(dialog.hwnd, 1, 0x0000FF, -2);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), CLR_NONE);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)), 0x0000FFu);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0)), CLR_NONE);
    EXPECT_EQ(find_record(list)->back_color, -1);
    EXPECT_EQ(find_record(list)->back_brush, nullptr) << "the control paints itself";

    set_control_color(dialog.hwnd, 1, 0x0000FF, -1);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), 0x112233u)
        << "a system background takes the dialog's colour";

    set_control_color(dialog.hwnd, 2, 0x00FF00, 0x000040);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree, TVM_GETBKCOLOR, 0, 0)), 0x000040u);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree, TVM_GETTEXTCOLOR, 0, 0)), 0x00FF00u);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree, TVM_GETLINECOLOR, 0, 0)), 0x00FF00u);

    set_control_color(dialog.hwnd, 3, 0x00FF00, 0x000040);
    EXPECT_EQ(find_record(bar)->text_color, 0x00FF00);
    EXPECT_EQ(find_record(bar)->back_color, 0x000040);
    EXPECT_EQ(find_record(bar)->back_brush, nullptr);
}

TEST(controls_colors, test_without_records_nothing_changes)
{
    test_dialog dialog;
    HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, dialog.hwnd,
                                 reinterpret_cast<HMENU>(55), nullptr, nullptr);
    set_control_color(dialog.hwnd, 55, 0xFF, 0xFF);
    EXPECT_EQ(answer_for(dialog.hwnd, WM_CTLCOLORSTATIC, plain).brush, nullptr);
    set_control_color(nullptr, 55, 0xFF, 0xFF);
    set_control_color(dialog.hwnd, 4242, 0xFF, 0xFF);
    EXPECT_EQ(find_record(dialog.hwnd)->back_color, COLOR_CODE_NOT_SET);
}

TEST(controls_colors, test_slate_box_painted_white_on_green_at_next_repaint)
{
    test_dialog dialog(KIND_PIXELS, 300, 200);
    HWND box = add_test_control(
        dialog.hwnd, 9, 1001, L"",
        {.style = 0x50001005, .ex_style = WS_EX_CLIENTEDGE, .width = 280, .height = 180});
    ShowWindow(dialog.hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(dialog.hwnd);
    set_control_color(dialog.hwnd, 1001, 0xFFFFFF, make_color(0, 64, 0));
    EXPECT_FALSE(GetUpdateRect(box, nullptr, FALSE)) << "setting the colours asked for a repaint";

    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(box);
    COLORREF inside = GetPixel(dc, 140, 150);
    ReleaseDC(box, dc);
    if (inside == CLR_INVALID)
        GTEST_SKIP() << "no display to read pixels from";
    EXPECT_EQ(inside, 0x004000u) << std::hex << "box background 0x" << inside;
}

}  // namespace
