// The number of a slate's recovery copy.  Each running slate holds a number
// of its own, and its copy is "veslinn" + four hex digits + ".rcv" (written
// as ".tmp" first, then renamed).  A number is held through a named mutex
// that the slate keeps for its whole life and that the system lets go when
// the process dies: a copy whose number nobody holds belongs to a slate that
// is gone.
//
// The mutex's name holds a hash of the notes folder's full path, so slates
// in different folders never hold each other's numbers.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "app/recovery/copy_format.h"

// The newest readable copy whose slate is gone: its number, held from now
// on in *claim (an owned mutex handle), and the copy read and checked.
// False when there is none.  Copies of other gone slates stay for later
// starts.
bool take_newest_gone_copy(uint32_t* number, HANDLE* claim, read_copy* copy);

// A number of this slate's own: one nobody holds, without a copy left by a
// gone slate; held from now on in *claim.  False when there is none.
bool take_free_number(uint32_t* number, HANDLE* claim);

// Removes the half-written copies of slates that are gone.
void remove_gone_temporaries();
