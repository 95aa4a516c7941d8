// Where the notes live: the executable's folder, and the names the slate
// gives its files there.
//
// Window and file calls are the wide (W) functions: paths are wide from the
// system to the notes file, so no folder is bent to a code page.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "runtime/core/core.h"

// Owned wide string: the executable's folder, ending in a backslash; set when
// the slate opens and released at exit through the program's release list.
extern string_handle notes_path;

// Whether notes_path holds the notes file: false when the executable's path
// could not be had whole, or when the folder and the file name together are
// longer than the file layer opens.  The slate then keeps no notes file,
// rather than touch a file in some other folder; `error` is the system's
// reason.
struct notes_path_outcome {
    bool valid;
    DWORD error;
};
extern notes_path_outcome notes_path_state;

void form_notes_path();
string_handle notes_folder_path(const wchar_t* name);  // owned wide notes_path + name, 0 without memory
string_handle notes_file_path();                       // owned wide notes_path + "veslinn.txt"
void push_notes_file_path();                           // pushes notes_file_path()
string_handle notes_lock_path();                       // owned wide path of the save lock "veslinn.lck"

// Answers with the run-time's truth values (RUNTIME_TRUE, RUNTIME_FALSE), as
// the file layer it asks does; the rest of the application uses bool.
int32_t notes_file_exists();
