// The recovery copy: while the box holds text that is not in the notes file,
// a copy of it is kept beside the notes, so that a slate that dies (a crash,
// a forced end, a power cut) comes back at the next start as it was.
//
// Each running slate holds a number of its own, and its copy is
// "veslinn" + four hex digits + ".rcv" (written as ".tmp" first, then
// renamed).  A number is taken by a named mutex that the slate holds for its
// whole life and that the system lets go when the process dies: a copy whose
// number nobody holds belongs to a slate that is gone.
//
// The copy is written on a thread of its own, no more often than once a
// second while typing goes on and not at all while nothing changes; the
// slate's thread only takes the box's text.
//
// Copy format, little-endian: a 48-byte recovery_header, then the box's text
// as UTF-16 (header.units units).
#pragma once

#include <windows.h>

#include <stdint.h>

struct recovery_header {
    char magic[8];         // RECOVERY_MAGIC
    uint32_t flags;        // RECOVERY_SEEN_* and RECOVERY_PARTLY_SHOWN
    uint32_t form;         // notes_form of the notes file when its text was loaded
    uint64_t seen_length;  // the notes file as the slate saw it (with RECOVERY_SEEN_KNOWN)
    uint64_t seen_hash;
    uint32_t units;        // UTF-16 units of text after the header
    uint32_t reserved;     // 0
    uint64_t text_hash;    // hash_bytes of the text
};
static_assert(sizeof(recovery_header) == 48, "the recovery copy's header");

inline constexpr char RECOVERY_MAGIC[8] = {'V', 'S', 'L', 'N', 'R', 'C', 'V', '1'};
enum : uint32_t {
    RECOVERY_SEEN_EXISTS = 1,   // the notes file existed
    RECOVERY_SEEN_KNOWN = 2,    // ... and its bytes were read: seen_length and seen_hash hold
    RECOVERY_PARTLY_SHOWN = 4,  // the box did not show all of it
};

// When the slate opens, once its notes path is formed: takes a number for
// this slate, and takes over the newest copy of a slate that is gone, if
// there is one.  True when it did: the box then shows the copy's text and the
// notes record is what the gone slate knew; the notes file is not read.
bool take_recovery_copy();

// The slate's timer of the copy (WM_TIMER's wparam).
const UINT_PTR RECOVERY_TIMER_ID = 1;

// The box's text changed (typed, pasted, dropped): a copy is due.
void note_box_changed(HWND slate);
// The copy timer fired: writes the copy when the box changed since the last.
void write_recovery_copy_when_due(HWND slate);
// Writes the copy now, on the slate's thread, for the next start to show (the
// slate is closed without a save, or the session ends and a thread would not
// live to finish); a box that is empty or as loaded leaves no copy.
void write_recovery_copy_now(HWND slate);
// A save is about to start: the copy being written, and one waiting to be,
// are finished first, so that once the save has landed only the removal of
// the copy is left (a slate that dies between the two comes back with text
// that is already saved, and that its "Salir" adds once more).
void settle_recovery_copy();
// The box's text is in the notes file, or the user discarded it: the copy
// goes.
void discard_recovery_copy(HWND slate);
