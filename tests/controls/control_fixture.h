// Helpers for the control tests: a real dialog made by create_dialog, and
// add_control called the way the application calls it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"
#include "tests/support/test_support.h"

// A hidden dialog, in pixels unless asked otherwise.  The destructor destroys
// the window if it still exists, which releases its records.
struct test_dialog {
    explicit test_dialog(uint32_t units = KIND_PIXELS, int32_t width = 400, int32_t height = 300);
    ~test_dialog();
    test_dialog(const test_dialog&) = delete;
    test_dialog& operator=(const test_dialog&) = delete;
    HWND hwnd;  // owned: destroyed here unless the test destroyed it
};

// Pushes a wide string as a caller does before a wide operation.
void push_wide(const std::wstring& text);

// add_control with the class name and the text pushed first (text on top).
HWND add_test_control(HWND dialog, uint32_t row, uint32_t id, const std::wstring& text = L"",
                      uint32_t style = 0, uint32_t ex_style = 0, int32_t width = 100,
                      int32_t height = 20, const std::wstring& class_name = L"",
                      const string_array* items = nullptr, dialog_callback callback = nullptr);

std::wstring class_of(HWND window);
std::wstring window_text_of(HWND window);
// Pops the top entry of the temporary-string stack as wide text.
std::wstring pop_wide();

// Whether a GDI handle still names a live object.
inline bool gdi_alive(HGDIOBJ object) { return object && GetObjectType(object) != 0; }
// Whether an icon handle still names a live icon.
bool icon_alive(HICON icon);

// Whether the tests run under Wine rather than Windows: used only to mark
// known differences of Wine's controls, each with its reason.
bool running_under_wine();
