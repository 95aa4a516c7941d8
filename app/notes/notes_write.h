// The save's writes on the notes file, under the save lock: replacing the
// file in one rename, or adding text at its end.  Each answers 0 or the
// system's error, and on success what the file now holds, from what was
// written (a file that changed under the append is read once instead).
//
// Saves call the system directly: a failed save must name the system's
// reason to the user and must be able to cut a file back to its old length,
// which numbered files do not offer.
#pragma once

#include <windows.h>

#include "app/notes/file_care.h"
#include "runtime/core/core.h"

// Takes the save lock "veslinn.lck" into *lock: a file opened without
// sharing and deleted when closed, which the system also closes (and so
// deletes) when the process dies.  *lock stays closed when the folder takes
// no lock file at all (then no other slate can take one there either).  0, or
// the error that stopped it: ERROR_LOCK_HELD when another program held the
// lock all the while the save waited.
DWORD take_save_lock(file_handle* lock);
const DWORD ERROR_LOCK_HELD = APPLICATION_ERROR_BIT | 2;

// Removes the new files of saves that died before their rename.  Only with
// the lock held, so that no running save holds one of them.
void remove_stray_temporaries();

// Writes the text (and a final line end unless it ends with one) to a new
// file beside the notes file, flushes and closes it, and only then puts it in
// place of the notes file in one rename.  Any failure keeps the old notes
// file as it was.  With `expected`, only while the notes file is still that
// (ERROR_TARGET_CHANGED otherwise, see rename_onto).
DWORD replace_notes(string_handle text, const wchar_t* notes_file, file_state* written,
                    const file_state* expected = nullptr);

// Adds the text at the end of the notes file, after a line end when the file
// does not end with one.  `before` is what the save read of the file.  Any
// failure cuts the file back to its old length.  A notes file that is gone by
// now is written anew.  With `expected`, only while the notes file is still
// that, checked with the file held against other writers: ERROR_TARGET_CHANGED
// otherwise.
DWORD append_notes(string_handle text, const wchar_t* notes_file, const file_state& before,
                   file_state* written, const file_state* expected = nullptr);
