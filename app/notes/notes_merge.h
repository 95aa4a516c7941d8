// Merging notes changed in two places, line by line.
//
// Three texts of the same notes: the base (what the slate showed), theirs
// (the notes file as it is now, read with the load's line rules) and mine (the
// box).  Lines are runs of units that end in LF (CR LF, or an LF alone, which
// the load keeps inside its lines); the last one may lack it.
// What only the box changed (lines added, deleted or edited) is applied to
// the file's text; what only the file changed stays.  Where both changed the
// same lines differently, or both added lines at the same place, both are
// kept, the file's lines first and then the box's, with nothing between them:
// no text is ever lost, and none is repeated that both sides kept.
//
// The lines of base and of each side are matched by the shortest edit script
// (Myers), after their common start and end are set aside, so that the cost
// grows with the size of the notes and the number of changes, not with the
// square of the size.  Sides that differ in more than MERGE_EDIT_LIMIT lines
// between their first and last difference are taken as changed all through
// that stretch.
#pragma once

#include <stdint.h>

#include "runtime/strings/strings.h"

struct merge_text {
    const wchar_t* units;
    uint32_t count;
};

const uint32_t MERGE_EDIT_LIMIT = 2048;

// The merged text, as an owned wide string in *merged (0 for an empty text);
// false when memory ran out (then *merged is 0).
bool merge_notes(merge_text base, merge_text theirs, merge_text mine, string_handle* merged);
