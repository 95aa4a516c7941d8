// Helpers for the dialog engine tests: dialogs made by create_dialog the way
// the application makes them, a recording dialog callback driven by a
// per-test action, and a watchdog so that no modal run waits for a person.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"
#include "tests/support/test_support.h"

// create_dialog with the caption pushed and converted first, as callers do.
HWND make_dialog(uint32_t units, int32_t x, int32_t y, int32_t width, int32_t height,
                 uint32_t style = 0, uint32_t ex_style = 0, HWND parent = nullptr,
                 const std::string& caption = "Prueba");

// A window the test made; destroyed by the destructor when it still exists.
struct window_holder {
    explicit window_holder(HWND window = nullptr) : hwnd(window) {}
    ~window_holder();
    window_holder(const window_holder&) = delete;
    window_holder& operator=(const window_holder&) = delete;
    HWND hwnd;  // owned
};

// A plain child window of `parent` of a system class, with an id.
HWND make_child(HWND parent, const wchar_t* class_name, uint32_t id, uint32_t style = 0,
                int x = 10, int y = 10, int width = 80, int height = 24);

// add_control as the application calls it: class name, then text, pushed.
HWND add_test_control(HWND dialog, uint32_t row, uint32_t id, const std::wstring& text = L"",
                      int32_t x = 10, int32_t y = 10, int32_t width = 80, int32_t height = 24,
                      dialog_callback callback = nullptr);

// What the recording callback saw.
struct seen_message {
    HWND dialog;
    uint32_t message, wparam, lparam;
};

// The recording callback's state: every call is appended to `seen`, then
// `act` (if set) decides the callback's result.
struct callback_script {
    std::vector<seen_message> seen;
    std::function<int32_t(HWND, uint32_t, uint32_t, uint32_t)> act;
};
extern callback_script g_script;
int32_t recording_callback(HWND dialog, uint32_t message, uint32_t wparam, uint32_t lparam);

// The messages of one number that the callback saw, in order.
std::vector<seen_message> seen_of(uint32_t message);
// The message numbers the callback saw, readably, for assertion messages.
std::string seen_list();

// Ends a modal run that goes on too long: a thread timer destroys the dialog
// and records that it had to.
struct modal_watchdog {
    explicit modal_watchdog(HWND dialog, UINT milliseconds = 5000);
    ~modal_watchdog();
    modal_watchdog(const modal_watchdog&) = delete;
    modal_watchdog& operator=(const modal_watchdog&) = delete;
    UINT_PTR timer;
    static HWND watched;
    static bool fired;
};

// A window class for owner windows that counts the messages it gets.
struct owner_log {
    std::vector<UINT> messages;
    std::vector<std::pair<WPARAM, LPARAM>> enter_idle;
};
extern owner_log g_owner_log;
HWND make_owner_window();

// Whether a GDI object handle still names a live object.
inline bool gdi_alive(HGDIOBJ object) { return object && GetObjectType(object) != 0; }
// Destroys the icon if it still exists; false when it was already gone.
bool destroy_if_alive(HICON icon);
