// The guard around every system call of the file layer, and the mapping of
// system error codes to run-time error numbers.
#include "runtime/files/files.h"

namespace {

// Run-time numbers for system error codes 0..39 (entry 0 is never consulted).
const uint8_t system_error_table[40] = {
    0,                                  // 0  success
    75, 53, 76, 67, 70, 57, 241, 7,     // 1..8
    241, 241, 51, 51, 51, 7, 68, 75,    // 9..16
    74, 53, 70, 68, 71, 51, 72, 51,     // 17..24
    72, 72, 72, 72, 72, 72, 72, 70,     // 25..32
    70, 72, 72, 70, 75, 62, 61,         // 33..39
};

// Held for the whole of one guarded call.  All guarded calls of the process
// are serialised by it, which is also what makes one save area enough.
spin_lock guard_lock;

// The caller's complete x87 state (control word, status word, tag word,
// register stack) while the operation runs.  Guarded by guard_lock.
alignas(16) uint8_t fpu_save_area[108];

}  // namespace

uint32_t map_system_error(DWORD system_error)
{
    if (system_error < 40)
        return system_error_table[system_error];
    if (system_error == ERROR_INVALID_PARAMETER)
        return 5;
    if (system_error == ERROR_DISK_FULL)
        return 61;
    return 75;
}

guard_verdict guarded_call(system_operation operation, void* arguments)
{
    guard_verdict verdict = {};
    take_lock(&guard_lock);
    // fnsave stores the state and leaves the unit initialised: the operation
    // runs with the default control word whatever the caller had set.
    __asm__ __volatile__("fnsave %0" : "=m"(fpu_save_area) : : "memory");
    UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetLastError(0);
    verdict.value = operation(arguments);
    __asm__ __volatile__("frstor %0" : : "m"(fpu_save_area) : "memory");
    verdict.system_error = GetLastError();
    SetErrorMode(previous_mode);
    give_lock(&guard_lock);
    verdict.error = verdict.system_error ? map_system_error(verdict.system_error) : 0;
    return verdict;
}
