#include "tests/support/window_support.h"

HWND make_dialog(uint32_t units, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style, uint32_t ex_style, HWND parent, const std::wstring& caption)
{
    push_wide(caption);
    return create_dialog(units, parent, x, y, width, height, style, ex_style);
}

HWND add_test_control(HWND dialog, uint32_t row, uint32_t id, const std::wstring& text,
                      const control_place& place)
{
    push_wide(place.class_name);
    push_wide(text);
    add_control(row, dialog, id, place.items, place.x, place.y, place.width, place.height,
                place.style, place.ex_style, place.callback);
    return GetDlgItem(dialog, static_cast<int>(id));
}
