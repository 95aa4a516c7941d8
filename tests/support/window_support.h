// Helpers shared by the tests of the windowed run-time (dialogs, controls):
// real dialogs and controls made the way the application makes them.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "tests/support/test_support.h"
#include "tests/support/window_checks.h"

// create_dialog with the caption pushed first, as callers do.
HWND make_dialog(uint32_t units, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style = 0, uint32_t ex_style = 0, HWND parent = nullptr,
                 const std::wstring& caption = L"Prueba");

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
