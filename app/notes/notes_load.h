// Loading: the notes file into the box, and what the file was.
#pragma once

#include <windows.h>

#include "app/notes/file_care.h"
#include "app/notes/notes_text.h"
#include "runtime/strings/strings.h"

// The notes file read through the run-time's numbered files, whose line rules
// shape the text (every line, the last one too, ends in CR LF; a CR alone
// ends a line, an LF alone stays in it; Ctrl-Z ends the text), and decoded.
// The file's bytes are read before the lines and after them: when the two
// differ, another program wrote the file meanwhile.  A file that another
// program holds or writes meanwhile is read again, for up to a second.
struct notes_reading {
    string_handle text;  // owned wide text; one empty line when nothing could be read
    notes_form form;
    bool whole;          // every byte of the file is in `text`, exactly
    bool busy;           // the file could not be opened or read, or changed meanwhile
    file_state state;    // the file as it was after the lines were read
};
notes_reading read_notes_as_shown();

// Reads the notes file into the box and fills the notes record from it: what
// the box shows whole is also the base of later merges.
void load_notes(HWND box);
