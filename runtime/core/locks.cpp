// Spin-lock words.
#include <windows.h>

#include "runtime/core/core.h"

void take_lock(spin_lock* lock)
{
    // Busy waiting by design: every holder keeps the lock for one short list
    // walk or one system call.
    while (InterlockedExchange(&lock->word, -1) != 0) {
    }
}

void give_lock(spin_lock* lock)
{
    InterlockedExchange(&lock->word, 0);
}
