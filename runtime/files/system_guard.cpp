// The guard around every system call of the file layer, and the mapping of
// system error codes to run-time error numbers.
#include "runtime/files/files.h"

namespace {

// Run-time numbers for system error codes 1..39; every code has its row.
struct system_error_row {
    DWORD system_error;
    uint8_t number;  // runtime_error
};
const DWORD SYSTEM_ERROR_35 = 35, SYSTEM_ERROR_37 = 37;  // no platform name
constexpr system_error_row system_error_rows[] = {
    {ERROR_INVALID_FUNCTION, RUNTIME_ERROR_PATH_FILE_ACCESS},
    {ERROR_FILE_NOT_FOUND, RUNTIME_ERROR_FILE_NOT_FOUND},
    {ERROR_PATH_NOT_FOUND, RUNTIME_ERROR_PATH_NOT_FOUND},
    {ERROR_TOO_MANY_OPEN_FILES, RUNTIME_ERROR_TOO_MANY_FILES},
    {ERROR_ACCESS_DENIED, RUNTIME_ERROR_PERMISSION_DENIED},
    {ERROR_INVALID_HANDLE, RUNTIME_ERROR_DEVICE_IO},
    {ERROR_ARENA_TRASHED, RUNTIME_ERROR_SYSTEM_MEMORY},
    {ERROR_NOT_ENOUGH_MEMORY, RUNTIME_ERROR_OUT_OF_MEMORY},
    {ERROR_INVALID_BLOCK, RUNTIME_ERROR_SYSTEM_MEMORY},
    {ERROR_BAD_ENVIRONMENT, RUNTIME_ERROR_SYSTEM_MEMORY},
    {ERROR_BAD_FORMAT, RUNTIME_ERROR_INTERNAL},
    {ERROR_INVALID_ACCESS, RUNTIME_ERROR_INTERNAL},
    {ERROR_INVALID_DATA, RUNTIME_ERROR_INTERNAL},
    {ERROR_OUTOFMEMORY, RUNTIME_ERROR_OUT_OF_MEMORY},
    {ERROR_INVALID_DRIVE, RUNTIME_ERROR_DEVICE_UNAVAILABLE},
    {ERROR_CURRENT_DIRECTORY, RUNTIME_ERROR_PATH_FILE_ACCESS},
    {ERROR_NOT_SAME_DEVICE, RUNTIME_ERROR_NOT_SAME_DISK},
    {ERROR_NO_MORE_FILES, RUNTIME_ERROR_FILE_NOT_FOUND},
    {ERROR_WRITE_PROTECT, RUNTIME_ERROR_PERMISSION_DENIED},
    {ERROR_BAD_UNIT, RUNTIME_ERROR_DEVICE_UNAVAILABLE},
    {ERROR_NOT_READY, RUNTIME_ERROR_DISK_NOT_READY},
    {ERROR_BAD_COMMAND, RUNTIME_ERROR_INTERNAL},
    {ERROR_CRC, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_BAD_LENGTH, RUNTIME_ERROR_INTERNAL},
    {ERROR_SEEK, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_NOT_DOS_DISK, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_SECTOR_NOT_FOUND, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_OUT_OF_PAPER, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_WRITE_FAULT, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_READ_FAULT, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_GEN_FAILURE, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_SHARING_VIOLATION, RUNTIME_ERROR_PERMISSION_DENIED},
    {ERROR_LOCK_VIOLATION, RUNTIME_ERROR_PERMISSION_DENIED},
    {ERROR_WRONG_DISK, RUNTIME_ERROR_DISK_MEDIA},
    {SYSTEM_ERROR_35, RUNTIME_ERROR_DISK_MEDIA},
    {ERROR_SHARING_BUFFER_EXCEEDED, RUNTIME_ERROR_PERMISSION_DENIED},
    {SYSTEM_ERROR_37, RUNTIME_ERROR_PATH_FILE_ACCESS},
    {ERROR_HANDLE_EOF, RUNTIME_ERROR_INPUT_PAST_END},
    {ERROR_HANDLE_DISK_FULL, RUNTIME_ERROR_DISK_FULL},
};
enum { TABLED_SYSTEM_ERRORS = 40 };  // codes 0..39; 0 is success and has no row

struct system_error_table {
    uint8_t number[TABLED_SYSTEM_ERRORS];
};

constexpr system_error_table make_system_error_table()
{
    system_error_table table = {};
    for (const system_error_row& row : system_error_rows)
        table.number[row.system_error] = row.number;
    return table;
}

constexpr system_error_table system_errors = make_system_error_table();

constexpr bool every_code_has_a_row()
{
    for (int code = 1; code < TABLED_SYSTEM_ERRORS; ++code) {
        if (system_errors.number[code] == RUNTIME_ERROR_NONE)
            return false;
    }
    return sizeof system_error_rows / sizeof system_error_rows[0] == TABLED_SYSTEM_ERRORS - 1;
}
static_assert(every_code_has_a_row(), "each system error code 1..39 has exactly one row");

// Held for the whole of one guarded call.  All guarded calls of the process
// are serialised by it, which is also what makes one save area enough.
spin_lock guard_lock;

// The caller's complete x87 state (control word, status word, tag word,
// register stack) while the operation runs.  Guarded by guard_lock.
// What fnsave stores in 32-bit protected mode, and in 64-bit mode too, where
// its operand size stays 32 bits.
enum { FNSAVE_AREA_BYTES = 108 };
alignas(16) uint8_t fpu_save_area[FNSAVE_AREA_BYTES];

}  // namespace

uint32_t map_system_error(DWORD system_error)
{
    if (system_error < TABLED_SYSTEM_ERRORS)
        return system_errors.number[system_error];
    if (system_error == ERROR_INVALID_PARAMETER)
        return RUNTIME_ERROR_INVALID_ARGUMENT;
    if (system_error == ERROR_DISK_FULL)
        return RUNTIME_ERROR_DISK_FULL;
    return RUNTIME_ERROR_PATH_FILE_ACCESS;
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
