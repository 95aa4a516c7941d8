// Loading: the notes file into the box, and what the file was.
#pragma once

#include <windows.h>

// Reads the notes file into the box and fills the notes record from it.
void load_notes(HWND box);
