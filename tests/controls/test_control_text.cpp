// Control handles and text on real controls.
#include <gtest/gtest.h>

#include "tests/support/window_support.h"

namespace {

TEST(controls_text, test_handles_by_id_and_self_id)
{
    test_dialog dialog;
    HWND button = add_test_control(dialog.hwnd, 1, 1002, L"Borrar");
    EXPECT_EQ(control_handle(dialog.hwnd, 1002), button);
    EXPECT_EQ(window_of(dialog.hwnd, 1002), button);
    EXPECT_EQ(control_handle(dialog.hwnd, 4711), nullptr);
    EXPECT_EQ(window_of(dialog.hwnd, SELF_ID), dialog.hwnd);
    EXPECT_EQ(control_handle(dialog.hwnd, SELF_ID), nullptr) << "the self id is looked up as a child";
}

TEST(controls_text, test_set_and_get_round_trip)
{
    test_dialog dialog;
    HWND box = add_test_control(
        dialog.hwnd, 9, 1001, L"",
        {.style = 0x50001005, .ex_style = WS_EX_CLIENTEDGE, .width = 300, .height = 100});
    ASSERT_NE(box, nullptr);
    const std::wstring texts[] = {
        L"hola",
        L"l\x00EDnea uno\r\nl\x00EDnea dos",
        std::wstring(5000, L'x'),
        L"\x20AC \x0436 \x4E2D",
        L"",
    };
    uint32_t depth = temp_depth();
    for (const std::wstring& text : texts) {
        push_wide(text);
        set_control_text(control_handle(dialog.hwnd, 1001));
        EXPECT_EQ(temp_depth(), depth) << "set_control_text left its operand";
        EXPECT_EQ(window_text_of(box).substr(0, 511), text.substr(0, 511));
        get_control_text(control_handle(dialog.hwnd, 1001));
        ASSERT_EQ(temp_depth(), depth + 1);
        if (text.empty()) {
            EXPECT_EQ(peek_string(), 0u) << "the empty result is the null handle";
        }
        EXPECT_EQ(pop_wide(), text) << "length " << text.size();
    }
}

TEST(controls_text, test_missing_window_gives_empty_text)
{
    uint32_t depth = temp_depth();
    get_control_text(nullptr);
    EXPECT_EQ(pop_wide(), L"");
    push_wide(L"nowhere");
    set_control_text(nullptr);
    EXPECT_EQ(temp_depth(), depth);
}

// A window whose text is shorter than the length it reports, as when the text
// shrinks between the two calls.
LRESULT CALLBACK shrinking_text(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_GETTEXTLENGTH)
        return 10;
    if (message == WM_GETTEXT) {
        wchar_t* buffer = reinterpret_cast<wchar_t*>(lparam);
        if (wparam < 4)
            return 0;
        lstrcpyW(buffer, L"abc");
        return 3;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST(controls_text, test_shrunk_text_keeps_only_what_was_copied)
{
    WNDCLASSW shrinking = {};
    shrinking.lpfnWndProc = shrinking_text;
    shrinking.hInstance = GetModuleHandleW(nullptr);
    shrinking.lpszClassName = L"ShrinkingText";
    ASSERT_NE(RegisterClassW(&shrinking), 0);
    HWND window = CreateWindowExW(0, L"ShrinkingText", nullptr, WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, shrinking.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    get_control_text(window);
    EXPECT_EQ(wide_units(peek_string()), 3u) << "trailing zeros kept";
    EXPECT_EQ(pop_wide(), L"abc");
    DestroyWindow(window);
}

TEST(controls_text, test_text_of_plain_child_without_record)
{
    test_dialog dialog;
    HWND plain = CreateWindowExW(0, L"STATIC", L"plain", WS_CHILD, 0, 0, 50, 20, dialog.hwnd,
                                 reinterpret_cast<HMENU>(77), nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(find_record(plain), nullptr);
    push_wide(L"changed");
    set_control_text(control_handle(dialog.hwnd, 77));
    get_control_text(control_handle(dialog.hwnd, 77));
    EXPECT_EQ(pop_wide(), L"changed");
}

}  // namespace
