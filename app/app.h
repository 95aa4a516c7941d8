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

#include "app/file_care.h"
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

// An owned string of the run-time, released once.
struct owned_string {
    string_handle value = 0;  // owned
    owned_string() = default;
    explicit owned_string(string_handle h) : value(h) {}
    owned_string(const owned_string&) = delete;
    owned_string& operator=(const owned_string&) = delete;
    ~owned_string() { release_string(value); }
};

// Application globals, zero at start.
extern HWND slate_handle;  // the slate dialog, set by show_slate
extern HWND saved_focus;   // control that had the focus when the slate lost activation

// Owned wide string: the executable's folder, ending in a backslash; set when
// the slate opens and released at exit through the program's release list.
extern string_handle notes_path;

// What the slate knows of its notes file.  Filled when the slate opens (from
// the file, or from the recovery copy of a slate that died), changed by
// "Borrar" and by every save; read by every save.
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
    // could not be opened or read whole, memory ran out, some bytes had no
    // exact wide form, or the box took less than was read): a save then adds
    // to the file instead of replacing it.
    bool partly_shown;
    // The box's text right after the load, as the box gave it back: its
    // length in units and a 64-bit hash.  While `unchanged_known` holds,
    // leaving with that same text touches no file at all.  "Borrar" ends it.
    bool unchanged_known;
    uint32_t loaded_units;
    uint64_t loaded_hash;
    // The notes file as the slate last saw it: when it was loaded, written,
    // or deleted by "Borrar".  A save replaces the file only while it is
    // still this; a file changed or made since gets the text added after it.
    file_state seen;
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

// Where the notes live: the executable's folder and the names in it.
void form_notes_path();
string_handle notes_folder_path(const wchar_t* name);  // owned wide notes_path + name, 0 without memory
string_handle notes_file_path();                       // owned wide notes_path + "veslinn.txt"
void push_notes_file_path();                           // pushes notes_file_path()
string_handle notes_lock_path();                       // owned wide path of the save lock "veslinn.lck"
// The slate's numbered files beside the notes: "veslinn" + four hex digits +
// the kind's type.
enum numbered_kind : uint32_t {
    NUMBERED_SAVE_TEMPORARY = 0,      // ".new": a save's new file before its rename
    NUMBERED_RECOVERY_COPY = 1,       // ".rcv": a running slate's recovery copy
    NUMBERED_RECOVERY_TEMPORARY = 2,  // ".tmp": a recovery copy before its rename
};
const uint32_t NUMBERED_NAME_SPACE = 0x10000;  // what four hex digits tell apart
string_handle numbered_file_path(numbered_kind kind, uint32_t number);
string_handle numbered_file_pattern(numbered_kind kind);  // for FindFirstFileW: "veslinn????" + type
// The number of a bare file name of that kind; false for any other name.
bool number_of_name(const wchar_t* name, numbered_kind kind, uint32_t* number);
int32_t notes_file_exists();

// The notes box and the keyboard: the box is wrapped once, when it is made,
// so that the dialog manager never selects its text for the user; the caret
// goes after the text whenever the box is given text.  "Borrar" empties the
// box so that its own undo (Ctrl+Z) brings the text back.
void wrap_notes_box(HWND box);
void put_caret_at_end(HWND box);
void empty_notes_box(HWND box);
void focus_notes_box(HWND slate);  // the keyboard focus to the box, as Tab gives it

// Loading: the notes file into the box, and what the file was.
void load_notes();
void show_in_box(string_handle wide);  // shows an owned wide text, taken over

// Saving and adding: the box's text into the notes file ("Salir" and the end
// of the session), and "Borrar".
save_outcome keep_notes(HWND window);
void remove_notes_file();

// What the slate tells the user, in a message box owned by the slate: a save
// that failed (the text stays on the slate), and, once at start, that no
// notes file can be kept at all.
void show_save_failure(HWND window, DWORD error);
void show_no_notes_file(HWND window);

// 64-bit hash of wide text, for telling an unchanged box.
inline uint64_t hash_units(const wchar_t* units, uint32_t count)
{
    return hash_bytes(units, count * sizeof(wchar_t));
}
