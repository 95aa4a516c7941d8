// The slate's dialog callback.
#pragma once

#include <windows.h>

#include "runtime/records/records.h"

// The control that had the focus when the slate lost activation; given it
// back when the slate is active again.
extern HWND saved_focus;

callback_result slate_callback(HWND window, uint32_t message, message_word wparam,
                               message_word lparam);
