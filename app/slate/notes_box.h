// The notes box and the keyboard: the box is wrapped once, when it is made,
// so that the dialog manager never selects its text for the user.  "Borrar"
// empties the box so that its own undo (Ctrl+Z) brings the text back.
#pragma once

#include <windows.h>

void wrap_notes_box(HWND box);
void empty_notes_box(HWND box);
void focus_notes_box(HWND slate);  // the keyboard focus to the box, as Tab gives it
