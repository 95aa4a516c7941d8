// The notes box's text: read whole by one helper (for the save, for the
// load's record of what the box shows, and for the recovery copy), and shown
// with the caret after it.
//
// Plain system calls and a malloc'd buffer: the recovery copy hands the text
// to a thread of its own, which uses no run-time strings.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "runtime/core/core.h"

// The box's text as read: wide units, without a final zero.
struct box_text {
    wchar_t* units = nullptr;  // owned, malloc'd; null for an empty box
    uint32_t count = 0;
    box_text() = default;
    box_text(const box_text&) = delete;
    box_text& operator=(const box_text&) = delete;
    ~box_text();
    // Hands the units over to the caller (to be freed with free) and empties this.
    wchar_t* take();
};

// Reads the box's whole text into *text.  False when it could not be had:
// memory ran out, or the box named a length but gave no text.  A box that is
// empty is true with count 0.  A failure is never an empty box: whoever keeps
// the text keeps what it kept before.
bool read_box_text(HWND box, box_text* text);

// Shows an owned wide text in the box (taken over and released), with the
// caret after it, so that the first key typed lands after the notes.
void show_in_box(HWND box, string_handle wide);
