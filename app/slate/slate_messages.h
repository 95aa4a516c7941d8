// What the slate tells the user, in a message box owned by the slate.
#pragma once

#include <windows.h>

// A save that failed (the text stays on the slate).
void show_save_failure(HWND window, DWORD error);
// Once at start: no notes file can be kept at all.
void show_no_notes_file(HWND window);
