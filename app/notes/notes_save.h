// Saving and adding: the box's text into the notes file ("Salir" and the end
// of the session), and "Borrar".
//
// A save never puts the box's text over text the slate has not seen.  It
// compares the notes file as it is now with what the slate last saw of it
// (notes.seen, by length and hash of the bytes): the same file is replaced;
// a file changed or made since gets the text added after its current
// contents; a file gone is written anew.  Among slates, that check and the
// write are one step under the save lock.
#pragma once

#include <windows.h>

// The outcome of keeping the box's text: 0, or the system error that stopped
// the save.
struct save_outcome {
    DWORD error;
    bool failed() const { return error != 0; }
};

// Keeps the box's text in the notes file.  An empty box keeps the old file;
// a box that still holds the text the load put there touches nothing; a box
// whose text cannot be read keeps nothing and says so (no memory).
save_outcome keep_notes(HWND box);

// "Borrar": sends the notes file to the Recycle Bin when it is still what the
// slate showed whole (the box is the slate's to empty).
void remove_notes_file();
