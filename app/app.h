// The memo slate: one always-on-top dialog with a notes box and two buttons,
// "Borrar" and "Salir", whose text is kept in "veslinn.txt" beside the
// executable.
//
// Conventions of the application, those of the run-time beneath it:
// notes_file_exists answers with the run-time's truth values (RUNTIME_TRUE,
// RUNTIME_FALSE); the rest of the application uses bool.  Helpers are in
// anonymous namespaces.  Window and file calls are the wide (W) functions:
// paths and text are wide from the system to the notes file, so no folder or
// note is bent to a code page.
#pragma once

#include "app/notes_text.h"
#include "runtime/core/core.h"
#include "runtime/records/records.h"

enum : uint32_t {
    ID_NOTES_BOX = 1001,
    ID_CLEAR_BUTTON = 1002,
    ID_LEAVE_BUTTON = 1003,
};

// The slate's caption, also the caption of its messages.
inline constexpr wchar_t SLATE_CAPTION[] = L"Veslinn";

// Application globals, zero at start.
extern HWND slate_handle;  // the slate dialog, set by show_slate
extern HWND saved_focus;   // control that had the focus when the slate lost activation

// Owned wide string: the executable's folder, ending in a backslash; set when
// the slate opens and released at exit through the program's release list.
extern string_handle notes_path;

// What the slate knows of its notes file.  Filled when the slate opens,
// changed by "Borrar"; read by every save.
struct notes_record {
    // notes_path holds the notes file: false when the executable's path could
    // not be had whole, or when the folder and the file name together are
    // longer than the file layer opens.  The slate then keeps no notes file,
    // rather than touch a file in some other folder.
    bool path_valid;
    // The system's reason when path_valid is false.
    DWORD path_error;
    // The form the notes file was read in, and kept in on saving.
    notes_form form;
    // The notes file exists but its text did not fully reach the box (it
    // could not be opened or read whole, memory ran out, or the box took less
    // than was read): a save then adds to the file instead of replacing it.
    bool partly_shown;
    // The box's text right after the load, as the box gave it back: its
    // length in units and a 64-bit hash.  While `unchanged_known` holds,
    // leaving with that same text touches no file at all.  "Borrar" ends it.
    bool unchanged_known;
    uint32_t loaded_units;
    uint64_t loaded_hash;
};
extern notes_record notes;

// The outcome of keeping the box's text: 0, or the system error that stopped
// the save.
struct save_outcome {
    DWORD error;
    bool failed() const { return error != 0; }
};

int32_t slate_main();
int32_t show_slate(HWND parent);
callback_result slate_callback(HWND window, uint32_t message, message_word wparam,
                               message_word lparam);

// The notes file: its folder, whether it exists, loading it into the box,
// keeping the box's text in it, and removing it.
void form_notes_path();
void push_notes_file_path();  // pushes the wide path notes_path + "veslinn.txt"
int32_t notes_file_exists();
void load_notes();
save_outcome keep_notes(HWND window);
void remove_notes_file();

// 64-bit FNV-1a hash of wide text, for telling an unchanged box.
uint64_t hash_units(const wchar_t* units, uint32_t count);
