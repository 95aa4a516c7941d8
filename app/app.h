// The memo slate: one always-on-top dialog with a notes box and two buttons,
// "Borrar" and "Salir", whose text is kept in "veslinn.txt" beside the
// executable.
#pragma once

#include "runtime/core/core.h"

enum : uint32_t {
    ID_NOTES_BOX = 1001,
    ID_CLEAR_BUTTON = 1002,
    ID_LEAVE_BUTTON = 1003,
};

// Application globals, zero at start.
extern HWND slate_handle;        // the slate dialog, set by show_slate
extern HWND saved_focus;         // control that had the focus when the slate lost activation
extern char notes_path[255];     // folder of the executable, ending in a backslash
// -1 once notes_path holds the executable's whole folder.  A path that does not
// fit the fixed buffers leaves it 0, and the slate then runs without a notes
// file rather than touch a file in some other folder.
extern int32_t notes_path_valid;
// -1 when the notes file exists but could not be opened for reading: the box
// then shows an empty line instead of the notes, and leaving without an edit
// must not put that line in their place.
extern int32_t notes_unread;

int32_t slate_main();
int32_t show_slate(HWND parent);
int32_t slate_callback(HWND window, uint32_t message, uint32_t wparam, uint32_t lparam);

int32_t notes_file_exists(const char* path);
void load_notes();
void save_notes(string_handle* text);
