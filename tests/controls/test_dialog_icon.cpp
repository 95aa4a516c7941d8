// Dialog icons from the program's icon resource 201.
#include <gtest/gtest.h>

#include "tests/support/window_support.h"

namespace {

void icon_named(HWND dialog, const std::wstring& name)
{
    push_wide(name);
    set_dialog_icon(dialog);
}

SIZE icon_size(HICON icon)
{
    ICONINFO info = {};
    SIZE size = {0, 0};
    if (!GetIconInfo(icon, &info))
        return size;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    size.cx = bitmap.bmWidth;
    size.cy = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return size;
}

TEST(controls_icon, test_icons_loaded_in_two_sizes_and_given_to_the_window)
{
    test_dialog dialog;
    uint32_t depth = temp_depth();
    icon_named(dialog.hwnd, L"#201");
    EXPECT_EQ(temp_depth(), depth);
    const window_record* record = find_record(dialog.hwnd);
    ASSERT_TRUE(icon_alive(record->large_icon));
    ASSERT_TRUE(icon_alive(record->small_icon));
    EXPECT_EQ(icon_size(record->large_icon).cx, 32);
    EXPECT_EQ(icon_size(record->large_icon).cy, 32);
    EXPECT_EQ(icon_size(record->small_icon).cx, 16);
    EXPECT_EQ(icon_size(record->small_icon).cy, 16);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog.hwnd, WM_GETICON, ICON_BIG, 0)),
              record->large_icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog.hwnd, WM_GETICON, ICON_SMALL, 0)),
              record->small_icon);
}

TEST(controls_icon, test_replaced_pair_destroyed)
{
    test_dialog dialog;
    icon_named(dialog.hwnd, L"#201");
    const window_record* record = find_record(dialog.hwnd);
    HICON first_large = record->large_icon, first_small = record->small_icon;
    icon_named(dialog.hwnd, L"#201");
    HICON second_large = record->large_icon, second_small = record->small_icon;
    EXPECT_FALSE(icon_alive(first_large)) << "the first large icon was kept";
    EXPECT_FALSE(icon_alive(first_small)) << "the first small icon was kept";
    EXPECT_TRUE(icon_alive(second_large));
    EXPECT_TRUE(icon_alive(second_small));

    DestroyWindow(dialog.hwnd);
    EXPECT_FALSE(icon_alive(second_large)) << "the record's icons outlived the dialog";
    EXPECT_FALSE(icon_alive(second_small));
}

TEST(controls_icon, test_names_with_and_without_hash)
{
    test_dialog dialog;
    icon_named(dialog.hwnd, L"201");
    EXPECT_EQ(find_record(dialog.hwnd)->large_icon, nullptr) << "\"201\" names a string resource";
    EXPECT_EQ(SendMessageW(dialog.hwnd, WM_GETICON, ICON_BIG, 0), 0);
    icon_named(dialog.hwnd, L"#202");
    icon_named(dialog.hwnd, L"");
    EXPECT_EQ(find_record(dialog.hwnd)->large_icon, nullptr);

    icon_named(dialog.hwnd, L"#201");
    HICON kept = find_record(dialog.hwnd)->large_icon;
    EXPECT_TRUE(icon_alive(kept));
    icon_named(dialog.hwnd, L"#999");
    EXPECT_EQ(find_record(dialog.hwnd)->large_icon, kept) << "a missing name keeps the icons";
    EXPECT_TRUE(icon_alive(kept));
}

TEST(controls_icon, test_control_or_unknown_window_changes_nothing)
{
    test_dialog dialog;
    HWND button = add_test_control(dialog.hwnd, 1, 5, L"b");
    uint32_t depth = temp_depth();
    icon_named(button, L"#201");
    EXPECT_EQ(find_record(button)->large_icon, nullptr);
    EXPECT_EQ(SendMessageW(button, WM_GETICON, ICON_BIG, 0), 0);
    icon_named(nullptr, L"#201");
    EXPECT_EQ(temp_depth(), depth) << "the name was not popped";
}

}  // namespace
