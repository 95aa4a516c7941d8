// Helpers shared by the tests of the windowed run-time (dialogs, controls):
// real dialogs and controls made the way the application makes them, and
// checks on window-system objects.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "tests/support/test_support.h"

// create_dialog with the caption pushed first, as callers do.
HWND make_dialog(uint32_t units, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style = 0, uint32_t ex_style = 0, HWND parent = nullptr,
                 const std::wstring& caption = L"Prueba");

// A window the test made; destroyed by the destructor when it still exists.
struct window_holder {
    explicit window_holder(HWND window = nullptr) : hwnd(window) {}
    ~window_holder();
    window_holder(const window_holder&) = delete;
    window_holder& operator=(const window_holder&) = delete;
    HWND hwnd;  // owned
};

// A hidden dialog for control tests, in pixels unless asked otherwise.
struct test_dialog : window_holder {
    explicit test_dialog(uint32_t units = KIND_PIXELS, int32_t width = 400, int32_t height = 300)
        : window_holder(make_dialog(units, 20, 20, width, height, 0, 0, nullptr, L"control test"))
    {
    }
};

// What add_test_control passes to add_control besides row, id and text.
struct control_place {
    uint32_t style = 0, ex_style = 0;
    int32_t x = 10, y = 10, width = 100, height = 20;
    const wchar_t* class_name = L"";  // for the rows that take a class name
    const string_array* items = nullptr;
    dialog_callback callback = nullptr;
};

// add_control as the application calls it: class name, then text, pushed.
// Gives the control's window, or null.
HWND add_test_control(HWND dialog, uint32_t row, uint32_t id, const std::wstring& text = L"",
                      const control_place& place = {});

// A window's rectangle on the screen, in its parent's client coordinates,
// and its client rectangle.
RECT window_rect_of(HWND window);
RECT rect_in_parent(HWND window);
RECT client_rect_of(HWND window);

// The window's class name as the window system reports it.
std::string class_of(HWND window);
std::wstring window_text_of(HWND window);

// Whether a GDI handle still names a live object.
inline bool gdi_alive(HGDIOBJ object) { return object && GetObjectType(object) != 0; }
// Whether an icon handle still names a live icon.
bool icon_alive(HICON icon);
// Destroys the icon if it still exists; false when it was already gone.
bool destroy_if_alive(HICON icon);
