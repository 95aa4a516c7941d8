#include "tests/support/window_support.h"

HWND make_dialog(uint32_t units, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style, uint32_t ex_style, HWND parent, const std::wstring& caption)
{
    push_wide(caption);
    return create_dialog(units, parent, x, y, width, height, style, ex_style);
}

window_holder::~window_holder()
{
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
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

RECT window_rect_of(HWND window)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect;
}

RECT rect_in_parent(HWND window)
{
    RECT rect = window_rect_of(window);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT client_rect_of(HWND window)
{
    RECT rect = {0, 0, 0, 0};
    GetClientRect(window, &rect);
    return rect;
}

std::string class_of(HWND window)
{
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::wstring window_text_of(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

bool icon_alive(HICON icon)
{
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return false;
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return true;
}

bool destroy_if_alive(HICON icon)
{
    return icon && DestroyIcon(icon) != FALSE;
}
