// Checks on window-system objects, in plain Win32: usable by every test
// program, with or without the run-time's windows.
#pragma once

#include <windows.h>

#include <string>

// A window the test made; destroyed by the destructor when it still exists.
struct window_holder {
    explicit window_holder(HWND window = nullptr) : hwnd(window) {}
    ~window_holder();
    window_holder(const window_holder&) = delete;
    window_holder& operator=(const window_holder&) = delete;
    HWND hwnd;  // owned
};

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
