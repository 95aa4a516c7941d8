// The slate's numbered files beside the notes: "veslinn" + four hex digits +
// the kind's type.  A save's new file, a recovery copy and its temporary file
// are named this way; one walk finds each kind's files.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "runtime/core/core.h"

enum numbered_kind : uint32_t {
    NUMBERED_SAVE_TEMPORARY = 0,      // ".new": a save's new file before its rename
    NUMBERED_RECOVERY_COPY = 1,       // ".rcv": a running slate's recovery copy
    NUMBERED_RECOVERY_TEMPORARY = 2,  // ".tmp": a recovery copy before its rename
};
const uint32_t NUMBERED_NAME_SPACE = 0x10000;  // what four hex digits tell apart

// The owned wide path of a numbered file; 0 without memory.
string_handle numbered_file_path(numbered_kind kind, uint32_t number);

// Calls `visit` for each file of the kind in the notes folder (folders and
// other names are passed over), with its number and what the search found.
typedef void (*numbered_visit)(uint32_t number, const WIN32_FIND_DATAW& found, void* context);
void walk_numbered_files(numbered_kind kind, numbered_visit visit, void* context);
