// Sequential files: numbered open files, line input, output, attributes and
// deletion by name, and the guard through which every system call of this
// layer is made.
//
// Path and text operands are taken from the calling activation's
// temporary-string stack: paths as wide strings, texts as byte strings.  Each
// operation pops its operands in every case.  Failures are reported only
// through the run-time error number of the calling activation.
//
// The run-time's conventions (truth values, helper linkage, W calls, failures)
// are said once, in core.h.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <type_traits>

#include "runtime/core/core.h"
#include "runtime/strings/strings.h"

// ---------------------------------------------------------------------------
// Mode word: high byte the mode, low byte the access.
enum : uint8_t {
    FILE_MODE_INPUT = 0x01,    // OPEN_EXISTING; disk file pre-read
    FILE_MODE_OUTPUT = 0x02,   // OPEN_ALWAYS; disk file emptied
    FILE_MODE_RANDOM = 0x04,   // OPEN_ALWAYS; record length at most 32768
    FILE_MODE_APPEND = 0x08,   // OPEN_ALWAYS; disk file only; writes at the end
    FILE_MODE_DEVICE = 0x10,   // OPEN_EXISTING; must not be a disk file
    FILE_MODE_BINARY = 0x20,   // OPEN_ALWAYS
    FILE_MODE_SOCKET = 0xC0,   // reserved socket channels, never opened here
};

enum : uint8_t {
    FILE_ACCESS_READ = 0x80,    // GENERIC_READ
    FILE_ACCESS_WRITE = 0x40,   // GENERIC_WRITE
    FILE_ACCESS_STATED = 0x20,  // a failed open fails at once: no read-only retry
    FILE_ACCESS_WIDE = 0x08,    // the file's text is 16-bit little-endian units
    FILE_ACCESS_LOCK = 0x07,    // lock code 1..4: share mode is the code minus 1
};

// Lock codes (the access byte's FILE_ACCESS_LOCK bits).
enum : uint8_t {
    FILE_LOCK_NONE_STATED = 0,  // others may read
    FILE_LOCK_EXCLUSIVE = 1,    // no sharing
    FILE_LOCK_SHARE_READ = 2,   // FILE_SHARE_READ
    FILE_LOCK_SHARE_WRITE = 3,  // FILE_SHARE_WRITE: others may write
    FILE_LOCK_SHARE_BOTH = 4,   // FILE_SHARE_READ | FILE_SHARE_WRITE
};

constexpr uint16_t file_mode_word(uint8_t mode, uint8_t access)
{
    return static_cast<uint16_t>((mode << 8) | access);
}

// Record status bits.
enum : uint16_t {
    FILE_STATUS_END = 0x02,       // the file was cut off at its position
    FILE_STATUS_ATTACHED = 0x04,  // the handle was handed in: close_file leaves it open
};

enum : uint16_t { FILE_DISK = 1, FILE_OTHER = 2 };

// One open file: a header followed directly by `record_length` bytes of
// transfer buffer (see record_buffer).  Records are owned by the file-number
// table from a successful open_file until close_file.
struct file_record {
    file_record* link;        // next (older) record of the table, or null
    int16_t number;
    HANDLE handle;            // owned by the record, unless FILE_STATUS_ATTACHED (then the caller's)
    uint16_t device_kind;     // FILE_DISK or FILE_OTHER
    uint8_t mode;             // mode byte
    uint8_t access;           // access byte as finally used by the system open
    string_handle name;       // owned wide string: the prepared path; 0 for an attached handle without one
    uint64_t buffer_base;     // input: file offset of buffer byte 0; output: write position
    int32_t record_length;    // size of the buffer, at least 1
    uint32_t cursor;          // input: next unread buffer index; output: column
    uint32_t fill;            // input: valid bytes in the buffer
    uint16_t status;          // FILE_STATUS_* bits
    uint16_t base;            // base flag given to open_file: part of the record's layout, read by no
                              // sequential operation
    uint32_t transfer_count;  // out-value slot of system calls
};

inline uint8_t* record_buffer(file_record* record)
{
    return reinterpret_cast<uint8_t*>(record + 1);
}

// ---------------------------------------------------------------------------
// The file-number table.
file_record* find_file(int16_t number);   // null when the number is not open

// Path preparation shared by open_file and the attribute operations: copies at
// most 255 units of the wide string on top of the stack into `buffer` (256
// units), adds a zero, pops the argument.
enum { PREPARED_PATH_UNITS = 255 };
struct prepared_path {
    wchar_t units[PREPARED_PATH_UNITS + 1];
    uint32_t length;       // units copied, 0..255
    bool has_wildcard;     // a copied unit is '*' or '?'
};
void prepare_path(prepared_path* path);

// ---------------------------------------------------------------------------
// Opening.  Path: wide, top of stack.  attached_handle: a system handle to
// adopt (it stays the caller's), or null to open the path by name.
void open_file(uint16_t mode_word, int32_t record_length, uint32_t base_flag, HANDLE attached_handle,
               int16_t number);

// ---------------------------------------------------------------------------
// Line input.
struct buffer_span {
    uint32_t index;      // buffer index of the next unread byte
    uint32_t available;  // bytes available from there; 0 at the end of the file
    uint32_t error;      // run-time error number, 0 on success
};
buffer_span fill_buffer(file_record* record);

void read_line(int16_t number);       // pushes the line (byte string)
int32_t end_of_file(int16_t number);  // RUNTIME_TRUE or RUNTIME_FALSE

// ---------------------------------------------------------------------------
// Output and closing.
// Writes to an OUTPUT or APPEND file; gives 0 or a run-time error number.
uint32_t write_bytes(file_record* record, const void* data, uint32_t length);
void print_to_file(int16_t number);   // text: byte string, top of stack
void end_print_line(int16_t number);
void close_file(int16_t number, uint32_t mode_mask);
void close_all_files();
void flush_file(int16_t number);

// ---------------------------------------------------------------------------
// Operations on files by name.  Paths: wide, top of stack.
uint32_t get_file_attributes();
void set_file_attributes(uint32_t attributes);
void delete_file();
// Source path at depth 1, target path on top, both prepared like open_file's
// path; the target is replaced (MoveFileExW, write-through).  Both popped.
void rename_file();

// ---------------------------------------------------------------------------
// The system-call guard.  The operation runs with critical-error boxes
// suppressed and the x87 unit in its initial state; the caller's x87 state and
// error mode are restored afterwards.  The verdict rests on the last error
// alone: 0 is success.  The guard sets no error number itself.
struct guard_verdict {
    uintptr_t value;      // the operation's own return value
    DWORD system_error;   // last error after the call; 0 = success
    uint32_t error;       // run-time number for system_error; 0 on success
    bool failed() const { return system_error != 0; }
};
typedef uintptr_t (*system_operation)(void* arguments);
guard_verdict guarded_call(system_operation operation, void* arguments);

// The same for any callable returning a value that fits a pointer.
template <typename F>
guard_verdict guarded_call(F&& operation)
{
    using callable = typename std::remove_reference<F>::type;
    return guarded_call(
        [](void* arguments) -> uintptr_t {
            return (uintptr_t)(*static_cast<callable*>(arguments))();
        },
        const_cast<void*>(static_cast<const void*>(&operation)));
}

// System error code to run-time error number.
uint32_t map_system_error(DWORD system_error);
