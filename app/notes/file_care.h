// Files written with care and read whole, for the notes file and the
// recovery copy: owned handles, checked writes, a flush before the rename that
// puts a new file in place, what a file held when it was read, and the
// Recycle Bin for the notes "Borrar" erases.
//
// Plain system calls on wide paths and malloc'd buffers, no run-time strings
// or error numbers: the recovery copy is written from a thread of its own.
// Every operation answers 0 or the system's error.
#pragma once

#include <windows.h>

#include <stdint.h>

// An owned system file handle, closed once.
struct file_handle {
    HANDLE handle = INVALID_HANDLE_VALUE;  // owned
    file_handle() = default;
    file_handle(const file_handle&) = delete;
    file_handle& operator=(const file_handle&) = delete;
    ~file_handle() { close(); }
    bool open() const { return handle != INVALID_HANDLE_VALUE; }
    // 0, or the error of CloseHandle (which may report a write that failed
    // late); safe twice.
    DWORD close();
};

// Bytes gathered in one growing buffer; no exceptions: an append that finds
// no memory says so.  The system's conversions take lengths as int, so more
// than GATHER_LIMIT bytes count as memory running out.
const uint64_t GATHER_LIMIT = 0x7FFFFFFF;

struct gathered_bytes {
    char* data = nullptr;  // owned, malloc'd
    uint32_t size = 0;
    uint32_t capacity = 0;
    gathered_bytes() = default;
    gathered_bytes(const gathered_bytes&) = delete;
    gathered_bytes& operator=(const gathered_bytes&) = delete;
    ~gathered_bytes() { release(); }
    void release();
    bool append(const char* bytes, uint32_t n);
    void swap(gathered_bytes& other);  // hands the bytes over, and takes the other's
};

// 64-bit FNV-1a, continued from `hash` (FNV_START for a new one).
const uint64_t FNV_START = 14695981039346656037ull;
uint64_t hash_bytes(const void* bytes, size_t length, uint64_t hash = FNV_START);

// What a file held when it was read: no file, a file that could not be read,
// or its length and the hash of its bytes.  Two reads are the same file when
// they agree in all of it; time stamps are not looked at, so two writes
// within one tick of the clock are still told apart.
struct file_state {
    bool exists;  // false: no file of that name
    bool known;   // exists, and its bytes were read: length and hash hold
    uint64_t length;
    uint64_t hash;
};
bool same_file_state(const file_state& a, const file_state& b);
// The state of a file that held *state's bytes and then these: what a write
// leaves, known without reading the file again.
void extend_file_state(file_state* state, const void* bytes, uint32_t length);

// Reads the file at `path` whole (sharing it with readers only, so that no
// writer changes it meanwhile).  With `bytes`, its bytes are kept there too.
// A file that cannot be read is known = false; its error is in *error.
file_state read_file_state(const wchar_t* path, gathered_bytes* bytes, DWORD* error);
// The same for a file already open for reading, from its start.
file_state read_open_file_state(HANDLE file, gathered_bytes* bytes, DWORD* error);

// Closes a file the save or the copy wrote, through save_calls.h like its
// writes: 0, or the error of the close (which may report a write that
// failed late).
DWORD close_written_file(file_handle* file);

// Writes all bytes; 0 or the system's error.  A disk that takes part of a
// write reports the rest as full.
DWORD write_all(HANDLE file, const void* bytes, uint32_t length);

// One piece of a file's contents.
struct byte_run {
    const void* bytes;
    uint32_t length;
};

// Puts a file of the given pieces at `target` in one rename: `file` (a new
// file opened for writing at `temporary`) gets every piece with checked
// writes, is flushed to disk and closed; only then is it renamed onto the
// target.  Any failure leaves the target as it was and removes the
// temporary file.  The four calls on the temporary file go through
// save_calls.h.  With `expected`, see rename_onto.
DWORD write_then_rename(file_handle* file, const wchar_t* temporary, const wchar_t* target,
                        const byte_run* runs, uint32_t count, const file_state* expected = nullptr);

// Renames source onto target, replacing it.  While another process renames
// its file onto the same target, or holds it open for a moment, the rename is
// refused (access denied or a sharing violation): such a refusal is tried
// again for a moment.  With `expected`, the target must still be that file
// right before each try: text another program added meanwhile would be lost
// by the rename, so it answers ERROR_TARGET_CHANGED instead, and the caller
// starts again from the file as it is now.
DWORD rename_onto(const wchar_t* source, const wchar_t* target,
                  const file_state* expected = nullptr);

// Errors of this program's own (the application bit, 29, set): they never
// reach FormatMessageW.
const DWORD APPLICATION_ERROR_BIT = 1u << 29;
const DWORD ERROR_TARGET_CHANGED = APPLICATION_ERROR_BIT | 1;  // see rename_onto

// Waits this long, answering meanwhile the messages other threads and
// programs send to the calling thread's windows and repainting them, so that
// a slate that waits for a file never stops answering.  Input and posted
// messages wait for the slate's own loop.
void pause_answering(DWORD milliseconds);

// A file another program holds or writes for a moment is tried again this
// often, for this long in all.
const DWORD BUSY_PAUSE_MS = 20;
const DWORD BUSY_WAIT_MS = 1000;

// CreateFileW (with FILE_ATTRIBUTE_NORMAL), tried again for up to a second
// while another program holds the file (a sharing violation).
HANDLE open_when_free(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);

// Moves a file to the Recycle Bin, where the user can bring it back: true
// when the file is gone from its folder.  False when it could not be recycled
// (no Recycle Bin on its volume, the shell refused, memory ran out); the file
// is then still where it was, for the caller to delete as it sees fit.  The
// shell is loaded only when first needed, and no window of its own is shown.
bool send_to_recycle_bin(const wchar_t* path);
