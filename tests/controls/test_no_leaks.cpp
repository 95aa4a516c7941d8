// The slate's whole control set-up, run modally again and again, leaves no
// window, brush, font, icon or record behind.
#include <cstdio>

#include <gtest/gtest.h>

#include "tests/support/window_support.h"

namespace {

// Ends the modal run from the loop: the timer is set in the introduction and
// its first tick, dispatched by the loop after the first paint, ends it.
// Whether the text box asked for its colours before the run ended.
bool g_box_coloured = false;

callback_result end_on_first_tick(HWND dialog, uint32_t message, message_word, message_word lparam)
{
    if (message == WM_CTLCOLOREDIT && reinterpret_cast<HWND>(lparam) == GetDlgItem(dialog, 1001))
        g_box_coloured = true;
    else if (message == WM_INITDIALOG)
        SetTimer(dialog, 1, 1, nullptr);
    else if (message == WM_TIMER)
        end_dialog(dialog, 7);
    return 0;
}

// What one run made, to check afterwards that all of it is gone.
struct cycle_objects {
    HWND dialog;
    HBRUSH brush;
    HICON large_icon, small_icon;
    HFONT box_font, button_font;
    int32_t result;
    bool box_coloured;
};

cycle_objects run_slate_cycle()
{
    cycle_objects made = {};
    push_wide(L"Veslinn");
    HWND dialog = create_dialog(KIND_PIXELS, nullptr, 105, 114, 1000, 700, 0x94C200D4,
                                WS_EX_TOPMOST);
    made.dialog = dialog;
    if (!dialog)
        return made;
    push_wide(L"#201");
    set_dialog_icon(dialog);
    add_test_control(
        dialog, 9, 1001, L"",
        {.style = 0x50001005, .ex_style = WS_EX_CLIENTEDGE, .width = 980, .height = 640});
    add_test_control(dialog, 1, 1002, L"Borrar", {.width = 80, .height = 24});
    add_test_control(dialog, 1, 1003, L"Salir", {.width = 80, .height = 24});
    set_control_color(dialog, 1001, 0xFFFFFF, make_color(0, 64, 0));
    push_wide(L"Segoe Print");
    uint32_t large = create_font(15, FONT_BOLD, 0, 0, 0);
    push_wide(L"Segoe Print");
    uint32_t small = create_font(10, FONT_BOLD, 0, 0, 0);
    set_control_font(dialog, 1001, large);
    set_control_font(dialog, 1002, small);
    set_control_font(dialog, 1003, small);

    const window_record* record = find_record(dialog);
    made.large_icon = record->large_icon;
    made.small_icon = record->small_icon;
    made.brush = find_record(control_handle(dialog, 1001))->back_brush;
    made.box_font = find_font(large)->handle;
    made.button_font = find_font(small)->handle;

    made.result = -1;
    g_box_coloured = false;
    show_dialog_modal(dialog, end_on_first_tick, &made.result);
    made.box_coloured = g_box_coloured;
    EXPECT_EQ(find_font(large)->use_count, 0);
    EXPECT_EQ(find_font(small)->use_count, 0);
    delete_font(large);
    delete_font(small);
    return made;
}

struct process_counts {
    DWORD gdi;
    DWORD user;
    uint32_t records;
    uint32_t windows;  // the thread's windows and their children
};

BOOL CALLBACK count_window(HWND window, LPARAM counter)
{
    ++*reinterpret_cast<uint32_t*>(counter);
    EnumChildWindows(window, count_window, counter);
    return TRUE;
}

process_counts take_counts()
{
    process_counts counts;
    counts.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    counts.records = registry_length();
    counts.windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), count_window, reinterpret_cast<LPARAM>(&counts.windows));
    return counts;
}

TEST(controls_leaks, test_300_slate_cycles_return_to_start)
{
    // One run first: what the window system makes once per process (classes,
    // caches, system brushes) is not a leak of ours.
    run_slate_cycle();
    process_counts start = take_counts();
    // A process with windows always holds GDI objects on Windows (its DCs
    // and fonts at least): a count of 0 means the call is not implemented.
    bool counts_available = start.gdi != 0;

    for (int cycle = 0; cycle < 300; ++cycle) {
        cycle_objects made = run_slate_cycle();
        ASSERT_NE(made.dialog, nullptr) << "cycle " << cycle;
        ASSERT_EQ(made.result, 7) << "cycle " << cycle << ": the run did not end through the timer";
        ASSERT_TRUE(made.box_coloured) << "cycle " << cycle << ": the text box was not painted";
        ASSERT_FALSE(IsWindow(made.dialog)) << "cycle " << cycle;
        ASSERT_FALSE(gdi_alive(made.brush)) << "cycle " << cycle << ": brush left";
        ASSERT_FALSE(gdi_alive(made.box_font)) << "cycle " << cycle << ": box font left";
        ASSERT_FALSE(gdi_alive(made.button_font)) << "cycle " << cycle << ": button font left";
        ASSERT_FALSE(icon_alive(made.large_icon)) << "cycle " << cycle << ": large icon left";
        ASSERT_FALSE(icon_alive(made.small_icon)) << "cycle " << cycle << ": small icon left";
        ASSERT_EQ(registry_length(), start.records) << "cycle " << cycle;
    }

    process_counts end = take_counts();
    EXPECT_EQ(end.records, start.records);
    EXPECT_EQ(end.windows, start.windows);
    EXPECT_EQ(end.gdi, start.gdi) << "GDI objects: " << start.gdi << " at start, " << end.gdi
                                  << " after 300 runs";
    EXPECT_EQ(end.user, start.user) << "USER objects: " << start.user << " at start, " << end.user
                                    << " after 300 runs";
    if (!counts_available) {
        // Known Wine difference: GetGuiResources is a stub that returns 0, so
        // the two counts above compare 0 with 0.  The per-object checks in
        // the loop (every brush, font, icon and window of each run is gone)
        // and the registry and window counts carry the test there.
        std::printf("GetGuiResources not implemented here: relying on per-object checks\n");
    } else {
        std::printf("GDI objects %lu, USER objects %lu, records %u, windows %u\n", end.gdi,
                    end.user, end.records, end.windows);
    }
}

}  // namespace
