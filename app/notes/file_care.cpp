// Files written with care, read whole, or recycled.
#include "app/notes/file_care.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include <utility>

#include "app/notes/save_calls.h"

namespace {

const uint32_t READ_CHUNK = 1 << 16;

// Refused renames are tried again this often, this far apart.
const uint32_t RENAME_TRIES = 25;
const DWORD RENAME_PAUSE_MS = 20;

const uint64_t FNV_PRIME = 1099511628211ull;

}  // namespace

void pause_answering(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        // PeekMessageW answers the messages other threads and programs send
        // to this thread's windows; the paint messages repaint them.  Input
        // and posted messages wait in the queue for the slate's own loop.
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageW(&message);
        DWORD waited = GetTickCount() - start;
        if (waited >= milliseconds)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - waited,
                                  QS_SENDMESSAGE | QS_PAINT);
    }
}

HANDLE open_when_free(const wchar_t* path, DWORD access, DWORD share, DWORD disposition)
{
    DWORD start = GetTickCount();
    for (;;) {
        HANDLE file = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
            GetTickCount() - start >= BUSY_WAIT_MS)
            return file;
        pause_answering(BUSY_PAUSE_MS);
    }
}

DWORD file_handle::close()
{
    DWORD error = 0;
    if (open() && !CloseHandle(handle))
        error = GetLastError();
    handle = INVALID_HANDLE_VALUE;
    return error;
}

void gathered_bytes::release()
{
    free(data);
    data = nullptr;
    size = capacity = 0;
}

void gathered_bytes::swap(gathered_bytes& other)
{
    std::swap(data, other.data);
    std::swap(size, other.size);
    std::swap(capacity, other.capacity);
}

bool gathered_bytes::append(const char* bytes, uint32_t n)
{
    if (n > capacity - size) {
        uint64_t wanted = static_cast<uint64_t>(size) + n;
        uint64_t grown = capacity ? static_cast<uint64_t>(capacity) * 2 : 4096;
        while (grown < wanted)
            grown *= 2;
        if (wanted > GATHER_LIMIT)
            return false;
        if (grown > GATHER_LIMIT)
            grown = wanted;
        char* moved = static_cast<char*>(realloc(data, static_cast<size_t>(grown)));
        if (!moved)
            return false;
        data = moved;
        capacity = static_cast<uint32_t>(grown);
    }
    memcpy(data + size, bytes, n);
    size += n;
    return true;
}

uint64_t hash_bytes(const void* bytes, size_t length, uint64_t hash)
{
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < length; ++i) {
        hash ^= p[i];
        hash *= FNV_PRIME;
    }
    return hash;
}

bool same_file_state(const file_state& a, const file_state& b)
{
    if (a.exists != b.exists)
        return false;
    if (!a.exists)
        return true;
    return a.known && b.known && a.length == b.length && a.hash == b.hash;
}

void extend_file_state(file_state* state, const void* bytes, uint32_t length)
{
    state->hash = hash_bytes(bytes, length, state->hash);
    state->length += length;
}

file_state read_file_state(const wchar_t* path, gathered_bytes* bytes, DWORD* error)
{
    file_state state = {false, false, 0, FNV_START};
    *error = 0;
    file_handle file;
    file.handle = open_when_free(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file.open()) {
        *error = GetLastError();
        state.exists = *error != ERROR_FILE_NOT_FOUND && *error != ERROR_PATH_NOT_FOUND;
        return state;
    }
    return read_open_file_state(file.handle, bytes, error);
}

file_state read_open_file_state(HANDLE file, gathered_bytes* bytes, DWORD* error)
{
    file_state state = {true, false, 0, FNV_START};
    *error = 0;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        *error = GetLastError();
        return state;
    }
    char chunk[READ_CHUNK];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, READ_CHUNK, &got, nullptr)) {
            *error = GetLastError();
            return state;
        }
        if (got == 0)
            break;
        if (bytes && !bytes->append(chunk, got)) {
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return state;
        }
        extend_file_state(&state, chunk, got);
    }
    state.known = true;
    return state;
}

DWORD close_written_file(file_handle* file)
{
    DWORD error = 0;
    if (file->open() && !save_close(file->handle))
        error = GetLastError();
    file->handle = INVALID_HANDLE_VALUE;
    return error;
}

DWORD write_all(HANDLE file, const void* bytes, uint32_t length)
{
    const char* p = static_cast<const char*>(bytes);
    while (length > 0) {
        DWORD written = 0;
        if (!save_write(file, p, length, &written))
            return GetLastError();
        if (written == 0)
            return ERROR_DISK_FULL;
        p += written;
        length -= written;
    }
    return 0;
}

DWORD write_then_rename(file_handle* file, const wchar_t* temporary, const wchar_t* target,
                        const byte_run* runs, uint32_t count, const file_state* expected)
{
    DWORD error = 0;
    for (uint32_t i = 0; i < count && !error; ++i)
        error = write_all(file->handle, runs[i].bytes, runs[i].length);
    if (!error && !save_flush(file->handle))
        error = GetLastError();
    DWORD close_error = close_written_file(file);
    if (!error)
        error = close_error;
    if (!error)
        error = rename_onto(temporary, target, expected);
    if (error)
        DeleteFileW(temporary);
    return error;
}

DWORD rename_onto(const wchar_t* source, const wchar_t* target, const file_state* expected)
{
    DWORD error = 0;
    for (uint32_t attempt = 0; attempt < RENAME_TRIES; ++attempt) {
        if (attempt > 0)
            pause_answering(RENAME_PAUSE_MS);
        if (expected) {
            DWORD unread = 0;
            if (!same_file_state(read_file_state(target, nullptr, &unread), *expected))
                return ERROR_TARGET_CHANGED;
        }
        if (save_move(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            break;
    }
    return error;
}

namespace {

typedef int(WINAPI* file_operation_fn)(SHFILEOPSTRUCTW*);

// SHELL32 is loaded the first time a file is recycled and kept for the rest
// of the run: only "Borrar" needs it, and a slate that never erases anything
// starts without it.
file_operation_fn shell_file_operation()
{
    static file_operation_fn operation;
    static bool tried;
    if (!tried) {
        tried = true;
        if (HMODULE shell = LoadLibraryW(L"SHELL32.DLL"))
            operation = reinterpret_cast<file_operation_fn>(
                reinterpret_cast<void*>(GetProcAddress(shell, "SHFileOperationW")));
    }
    return operation;
}

// To the Recycle Bin (undo allowed), without asking, without a progress
// window and without an error window.
const FILEOP_FLAGS RECYCLE_QUIETLY = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;

}  // namespace

bool send_to_recycle_bin(const wchar_t* path)
{
    file_operation_fn operation = shell_file_operation();
    if (!operation)
        return false;
    // The shell takes a list of names, each ended by a zero, the list by
    // another zero.
    size_t units = static_cast<size_t>(lstrlenW(path));
    wchar_t* names = static_cast<wchar_t*>(calloc(units + 2, sizeof(wchar_t)));
    if (!names)
        return false;
    memcpy(names, path, units * sizeof(wchar_t));
    SHFILEOPSTRUCTW request = {};
    request.wFunc = FO_DELETE;
    request.pFrom = names;
    request.fFlags = RECYCLE_QUIETLY;
    int result = operation(&request);
    free(names);
    // Where the volume has no Recycle Bin, the shell may delete the file for
    // good: either way it is gone from the folder, which is what the caller
    // asked for.
    return result == 0 && !request.fAnyOperationsAborted &&
           GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
}
