#include "tests/support/window_checks.h"

window_holder::~window_holder()
{
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
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
