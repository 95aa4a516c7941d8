// The recovery copy's file, little-endian:
//
//   copy_header   "VSLNRCV2", what the slate knew of the notes file (the
//                 stored notes record), how many pieces follow, 0
//   copy_piece    its kind, its length in bytes, the hash of its bytes
//   bytes         the piece itself
//   ...           (further pieces, each behind its copy_piece)
//
// The pieces: the box's text in UTF-8, and, where the slate knew it, the base
// of the merge (what the slate showed of the notes file) in UTF-8.  A reader
// passes over pieces of kinds it does not know; a copy without the base
// (written by a slate that kept none) restores a slate that adds its text
// after a notes file changed since, rather than merge with it.
//
// Writing uses plain system calls and malloc'd buffers (it runs on the
// copy's own thread); reading runs on the slate's thread when it opens.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "app/notes/file_care.h"
#include "app/notes/notes_record.h"
#include "runtime/core/core.h"

struct copy_header {
    char magic[8];        // COPY_MAGIC
    stored_record notes;  // what the slate knew of the notes file
    uint32_t pieces;      // copy_piece records that follow, each with its bytes
    uint32_t reserved;    // 0
};
static_assert(sizeof(copy_header) == 40, "the copy header's fixed size");

struct copy_piece {
    uint32_t kind;   // COPY_PIECE_*
    uint32_t bytes;  // bytes of the piece after this record
    uint64_t hash;   // hash_bytes of them
};
static_assert(sizeof(copy_piece) == 16, "the piece record's fixed size");

inline constexpr char COPY_MAGIC[8] = {'V', 'S', 'L', 'N', 'R', 'C', 'V', '2'};
enum : uint32_t {
    COPY_PIECE_BOX_TEXT = 1,   // the box's text, UTF-8, never empty
    COPY_PIECE_BASE_TEXT = 2,  // the base of the merge, UTF-8, maybe empty
};

struct copy_job;

// Writes a copy of the job's text (not empty), its record and its base at
// `target`, through `temporary` and one rename.  0, or the system's error;
// *written_bytes gets the length of the pieces, which paces the next copy.
DWORD write_copy_file(const wchar_t* temporary, const wchar_t* target, const copy_job& job,
                      uint32_t* written_bytes);

// A copy read back whole and checked: the record it keeps and its text.
struct read_copy {
    gathered_bytes bytes;
    stored_record notes = {};
    const char* text = nullptr;  // UTF-8, inside `bytes`
    uint32_t text_bytes = 0;
    bool has_base = false;
    const char* base = nullptr;  // UTF-8, inside `bytes`
    uint32_t base_bytes = 0;
};
// False for a file that is not a whole copy of this form.
bool read_copy_file(const wchar_t* path, read_copy* copy);
// Hands a copy read over to another, with the bytes its pieces point into.
void hand_over_copy(read_copy* from, read_copy* to);
// The copy's text, or its base, as an owned wide string; 0 when it cannot be
// had (memory ran out, or the bytes are not UTF-8) and for an empty base.
string_handle wide_copy_text(const read_copy& copy);
string_handle wide_copy_base(const read_copy& copy);
