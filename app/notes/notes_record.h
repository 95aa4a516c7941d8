// What the slate knows of its notes file: filled when the slate opens (from
// the file, or from the recovery copy of a slate that died), changed by
// "Borrar" and by every save; read by every save and kept in every recovery
// copy, in the stored form below.
#pragma once

#include <stdint.h>

#include "app/notes/file_care.h"
#include "app/notes/notes_text.h"
#include "runtime/strings/strings.h"

struct notes_record {
    // The form the notes file was read in, and kept in on saving.
    notes_form form;
    // The notes file exists but its text did not fully reach the box (it
    // could not be opened or read whole, memory ran out, some bytes had no
    // exact wide form, or the box took less than was read): a save then adds
    // to the file instead of replacing it.
    bool partly_shown;
    // The box's text right after the load or the last save, as the box gave
    // it back: its length in units and a 64-bit hash.  While
    // `unchanged_known` holds, leaving with that same text touches no file at
    // all.  "Borrar" ends it.
    bool unchanged_known;
    uint32_t loaded_units;
    uint64_t loaded_hash;
    // The notes file as the slate last saw it: when it was loaded, written,
    // or deleted by "Borrar".  A save replaces the file only while it is
    // still this; a file changed or made since is merged with the box.
    file_state seen;
    // notes_base holds what the slate showed of the notes file, so that the
    // box and a file changed since can be merged line by line.  False when it
    // is not known (a recovery copy that kept none): the box's text is then
    // added after the file instead.
    bool base_known;
};
extern notes_record notes;

// The base of the merge: the box's text right after the load, or what the
// last save wrote, or nothing when the slate started without a notes file
// or after "Borrar".  Owned wide string (0 for an empty text), set only on
// the slate's thread.
extern string_handle notes_base;
// Sets the base to a copy of the units; without the memory for it the base
// is not known.
void set_notes_base(const wchar_t* units, uint32_t count);

// 64-bit hash of wide text, for telling an unchanged box.
inline uint64_t hash_units(const wchar_t* units, uint32_t count)
{
    return hash_bytes(units, count * sizeof(wchar_t));
}

// The box now holds this text, which the notes file holds too.
void mark_unchanged(notes_record* record, const wchar_t* units, uint32_t count);
// The box holds the text the notes file holds: nothing to keep.
bool is_unchanged(const notes_record& record, const wchar_t* units, uint32_t count);

// The record as a recovery copy keeps it, little-endian: all but the box's
// load, which a restored slate no longer shows.  Only what holds is kept: the
// length and hash of a notes file that was not read are 0.
struct stored_record {
    uint32_t flags;  // STORED_* below
    uint32_t form;   // notes_form
    uint64_t seen_length;
    uint64_t seen_hash;
};
static_assert(sizeof(stored_record) == 24, "the stored record's fixed size");
enum : uint32_t {
    STORED_SEEN_EXISTS = 1,   // the notes file existed
    STORED_SEEN_KNOWN = 2,    // ... and its bytes were read: seen_length and seen_hash hold
    STORED_PARTLY_SHOWN = 4,  // the box did not show all of it
};

stored_record store_record(const notes_record& record);
// False for a form this slate does not know; *record is then unchanged.
bool restore_record(const stored_record& stored, notes_record* record);
