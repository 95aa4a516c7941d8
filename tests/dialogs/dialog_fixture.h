// Helpers for the dialog engine tests: a recording dialog callback driven by a
// per-test action, and a watchdog so that no modal run waits for a person.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/window_support.h"

// What the recording callback saw.
struct seen_message {
    HWND dialog;
    uint32_t message;
    message_word wparam, lparam;
};

// The recording callback's state: every call is appended to `seen`, then
// `act` (if set) decides the callback's result.
struct callback_script {
    std::vector<seen_message> seen;
    std::function<callback_result(HWND, uint32_t, message_word, message_word)> act;
};
extern callback_script g_script;
callback_result recording_callback(HWND dialog, uint32_t message, message_word wparam,
                                   message_word lparam);

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
