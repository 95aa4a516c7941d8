// The recovery copy: while the box holds text that is not in the notes file,
// a copy of it is kept beside the notes, so that a slate that dies (a crash,
// a forced end, a power cut) comes back at the next start as it was.
//
// The copy follows the box on the slate's timer: at most once a second while
// typing goes on, and not at all while nothing changes.  Large notes stretch
// the time between copies, so that copies write about two megabytes a second
// at most, whatever the notes' size: small notes are copied within two
// seconds of a change, 10 MB of notes within about six.
#pragma once

#include <windows.h>

// When the slate opens, once its notes path is formed: takes a number for
// this slate, and takes over the newest copy of a slate that is gone, if
// there is one.  True when it did: the box then shows the copy's text and the
// notes record is what the gone slate knew; the notes file is not read.  A
// copy that cannot be shown stays for a later start, and this slate takes a
// number of its own.
bool restore_recovery_copy(HWND slate, HWND box);

// The slate's timer of the copy (WM_TIMER's wparam).
const UINT_PTR RECOVERY_TIMER_ID = 1;

// The box's text changed (typed, pasted, dropped): a copy is due.
void note_box_changed();
// The copy timer fired: hands the box's text to the copy's thread when the
// box changed since the last copy and the last copy is far enough behind.
void write_recovery_copy_when_due();
// Writes the copy now, for the next start to show (the slate is closed
// without a save, or the session ends); a box that is empty or as loaded
// leaves no copy.
void write_recovery_copy_now();
// A save is about to start: the copy being written, and one waiting to be,
// are finished first, so that once the save has landed only the removal of
// the copy is left (a slate that dies between the two comes back with text
// that is already saved, and that its "Salir" adds once more).
void settle_recovery_copy();
// The box's text is in the notes file, or the user discarded it: the copy
// goes.
void discard_recovery_copy();
// The slate's window is being destroyed: the copy's thread ends.
void stop_recovery_copy();
