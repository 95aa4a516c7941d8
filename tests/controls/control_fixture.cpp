#include "tests/controls/control_fixture.h"

test_dialog::test_dialog(uint32_t units, int32_t width, int32_t height)
{
    push_wide(L"control test");
    hwnd = create_dialog(units, nullptr, 20, 20, width, height, 0, 0);
}

test_dialog::~test_dialog()
{
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
}

void push_wide(const std::wstring& text)
{
    push_owned(copy_wide_string(text.data(), static_cast<uint32_t>(text.size())));
}

HWND add_test_control(HWND dialog, uint32_t row, uint32_t id, const std::wstring& text,
                      uint32_t style, uint32_t ex_style, int32_t width, int32_t height,
                      const std::wstring& class_name, const string_array* items,
                      dialog_callback callback)
{
    push_wide(class_name);
    push_wide(text);
    add_control(row, dialog, id, items, 10, 10, width, height, style, ex_style, callback);
    return GetDlgItem(dialog, static_cast<int>(id));
}

std::wstring class_of(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

std::wstring window_text_of(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring pop_wide()
{
    string_handle h = pop_string();
    std::wstring text(wide_text(h), wide_units(h));
    release_string(h);
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

bool running_under_wine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
