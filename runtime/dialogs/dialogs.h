// Dialog engine: dialog creation from an in-memory template, the dialog
// procedure with callback dispatch and the engine's default handling, and the
// modal message loop.  It stands on the controls layer: the template takes the
// thread's default font, the default handling answers colour requests and
// releases the records of a destroyed dialog.
//
// The run-time's conventions (truth values, helper linkage, W calls, failures)
// are said once, in core.h.
#pragma once

#include "runtime/records/records.h"

// ---------------------------------------------------------------------------
// Dialog creation.
// The caption is the wide string on top of the temporary-string stack; it is
// consumed on every path.  Returns the hidden dialog, or 0.
HWND create_dialog(uint32_t units, HWND parent, int32_t x, int32_t y, int32_t width,
                   int32_t height, uint32_t style, uint32_t ex_style);

enum : int32_t { CENTRE_MARKER = INT32_MIN };

// The style create_dialog gives the window system: the default for 0, the
// template bits always on, never visible or system-modal, DS_CENTER for a
// centre marker, and a child without a parent turned into a popup.
uint32_t adjust_dialog_style(uint32_t style, HWND parent, int32_t x, int32_t y);

// Builds the DLGTEMPLATEEX that create_dialog hands to the window system into
// `buffer` (512 bytes) and returns its size in bytes.  `style` is the adjusted
// style.
uint32_t build_dialog_template(uint8_t* buffer, uint32_t style, uint32_t ex_style, int32_t x,
                               int32_t y, int32_t width, int32_t height);

// ---------------------------------------------------------------------------
// Dialog procedure.
INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

extern HWND g_active_dialog;
extern int32_t g_live_dialogs;

// ---------------------------------------------------------------------------
// Modal loop and dialog end.
void show_dialog_modal(HWND dialog, dialog_callback callback, int32_t* result_ref);
void end_dialog(HWND dialog, int32_t result);
int32_t pump_messages();
