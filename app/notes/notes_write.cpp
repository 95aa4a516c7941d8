// The save's writes on the notes file.
#include "app/notes/notes_write.h"

#include "app/notes/notes_path.h"
#include "app/notes/numbered_files.h"
#include "app/notes/owned_string.h"
#include "app/notes/save_calls.h"
#include "runtime/strings/strings.h"

namespace {

// Saves of one process start this many temporary names apart from each other.
const uint32_t SAVES_PER_PROCESS = 16;
// Names tried before a save gives up: taken names (another save's file, a
// stray file or folder) are passed over.
const uint32_t TEMPORARY_NAME_TRIES = 64;

// A save waits this long for another slate's save to let go of the lock,
// looking again this often and answering its messages meanwhile.  A lock
// still held after that is held by another program: the save fails and says
// so, rather than race another slate without it.
const DWORD LOCK_WAIT_MS = 10000;
const DWORD LOCK_PAUSE_MS = 20;

const char LINE_END[] = "\r\n";
const uint32_t LINE_END_BYTES = 2;

bool ends_with_line_end(const char* bytes, uint32_t length)
{
    return length >= LINE_END_BYTES && bytes[length - 2] == '\r' && bytes[length - 1] == '\n';
}

// Attributes that keep a rename or a write from a notes file; cleared for the
// save and put back when the file is not replaced.
const DWORD PROTECTING_ATTRIBUTES =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct attributes_cleared {
    const wchar_t* path;
    DWORD previous = INVALID_FILE_ATTRIBUTES;  // INVALID: nothing was changed
    explicit attributes_cleared(const wchar_t* file) : path(file)
    {
        DWORD attributes = GetFileAttributesW(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (attributes & PROTECTING_ATTRIBUTES) && SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL))
            previous = attributes;
    }
    void restore()
    {
        if (previous != INVALID_FILE_ATTRIBUTES)
            SetFileAttributesW(path, previous);
        previous = INVALID_FILE_ATTRIBUTES;
    }
};

// Creates a temporary file of a name no other save holds at the same moment
// (CREATE_NEW fails on every taken name) and gives its path in *path.
DWORD create_temporary(file_handle* file, string_handle* path)
{
    static uint32_t sequence;
    uint32_t start = GetCurrentProcessId() * SAVES_PER_PROCESS + sequence++;
    DWORD error = ERROR_FILE_EXISTS;
    for (uint32_t attempt = 0; attempt < TEMPORARY_NAME_TRIES; ++attempt) {
        string_handle candidate = numbered_file_path(NUMBERED_SAVE_TEMPORARY, start + attempt);
        if (!candidate)
            return ERROR_NOT_ENOUGH_MEMORY;
        file->handle = CreateFileW(wide_text(candidate), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file->open()) {
            *path = candidate;
            return 0;
        }
        error = GetLastError();
        release_string(candidate);
        // A taken name: a file of another save or a stray file (exists), or
        // a folder of that name (access denied).  Anything else is final.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            error != ERROR_ACCESS_DENIED)
            return error;
    }
    return error;
}

// Writes the bytes and extends *state by them.
DWORD write_counted(HANDLE file, const void* bytes, uint32_t length, file_state* state)
{
    DWORD error = write_all(file, bytes, length);
    if (!error)
        extend_file_state(state, bytes, length);
    return error;
}

// The old end of the file, and whether the text added there needs a line end
// before it.
DWORD find_old_end(HANDLE file, LARGE_INTEGER* old_size, bool* needs_line_end)
{
    *needs_line_end = false;
    if (!GetFileSizeEx(file, old_size))
        return GetLastError();
    if (old_size->QuadPart == 0)
        return 0;
    char tail[LINE_END_BYTES] = {};
    DWORD got = 0;
    LARGE_INTEGER at;
    at.QuadPart = old_size->QuadPart >= LINE_END_BYTES ? old_size->QuadPart - LINE_END_BYTES : 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
        !ReadFile(file, tail, sizeof tail, &got, nullptr))
        return GetLastError();
    *needs_line_end = !ends_with_line_end(tail, got);
    return 0;
}

}  // namespace

DWORD take_save_lock(file_handle* lock)
{
    owned_string path(notes_lock_path());
    if (!path.value)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD start = GetTickCount();
    for (;;) {
        lock->handle = CreateFileW(wide_text(path.value), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                   nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (lock->open())
            return 0;
        DWORD error = GetLastError();
        // Held by another save, or deleted by it and not yet gone.
        bool held = error == ERROR_SHARING_VIOLATION ||
                    (error == ERROR_ACCESS_DENIED &&
                     GetFileAttributesW(wide_text(path.value)) != INVALID_FILE_ATTRIBUTES);
        if (!held)
            return 0;  // a folder that takes no lock file at all
        if (GetTickCount() - start >= LOCK_WAIT_MS)
            return ERROR_LOCK_HELD;
        pause_answering(LOCK_PAUSE_MS);
    }
}

void remove_stray_temporaries()
{
    walk_numbered_files(
        NUMBERED_SAVE_TEMPORARY,
        [](uint32_t number, const WIN32_FIND_DATAW&, void*) {
            owned_string stray(numbered_file_path(NUMBERED_SAVE_TEMPORARY, number));
            if (stray.value)
                DeleteFileW(wide_text(stray.value));
        },
        nullptr);
}

DWORD replace_notes(string_handle text, const wchar_t* notes_file, file_state* written,
                    const file_state* expected)
{
    file_handle file;
    owned_string temporary;
    DWORD error = create_temporary(&file, &temporary.value);
    if (error)
        return error;
    uint32_t length = string_bytes(text);
    byte_run runs[] = {{string_text(text), length}, {LINE_END, LINE_END_BYTES}};
    uint32_t count = ends_with_line_end(string_text(text), length) ? 1 : 2;
    // The rename cannot replace a read-only file on Windows.
    attributes_cleared protection(notes_file);
    error = write_then_rename(&file, wide_text(temporary.value), notes_file, runs, count, expected);
    if (error) {
        protection.restore();
        return error;
    }
    *written = {true, true, 0, FNV_START};
    for (uint32_t i = 0; i < count; ++i)
        extend_file_state(written, runs[i].bytes, runs[i].length);
    return 0;
}

DWORD append_notes(string_handle text, const wchar_t* notes_file, const file_state& before,
                   file_state* written, const file_state* expected)
{
    attributes_cleared protection(notes_file);
    file_handle file;
    file.handle = open_when_free(notes_file, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    if (!file.open()) {
        DWORD error = GetLastError();
        protection.restore();
        if (error == ERROR_FILE_NOT_FOUND)
            return expected ? ERROR_TARGET_CHANGED : replace_notes(text, notes_file, written);
        return error;
    }
    if (expected) {
        DWORD unread = 0;
        if (!same_file_state(read_open_file_state(file.handle, nullptr, &unread), *expected)) {
            file.close();
            protection.restore();
            return ERROR_TARGET_CHANGED;
        }
    }

    LARGE_INTEGER old_size = {};
    bool needs_line_end = false;
    DWORD error = find_old_end(file.handle, &old_size, &needs_line_end);
    // The file as the save read it, unless another program changed its
    // length since: then it is read once more after the write.  (A change
    // that keeps the length is not seen here; the next save then finds the
    // file other than it was left, and adds after it rather than replace.)
    file_state after = before;
    bool counted = before.known && before.length == static_cast<uint64_t>(old_size.QuadPart);
    if (!error && !SetFilePointerEx(file.handle, old_size, nullptr, FILE_BEGIN))
        error = GetLastError();
    if (!error && needs_line_end)
        error = write_counted(file.handle, LINE_END, LINE_END_BYTES, &after);
    if (!error)
        error = write_counted(file.handle, string_text(text), string_bytes(text), &after);
    if (!error && !ends_with_line_end(string_text(text), string_bytes(text)))
        error = write_counted(file.handle, LINE_END, LINE_END_BYTES, &after);
    if (!error && !save_flush(file.handle))
        error = GetLastError();
    if (error) {
        // The old notes come back byte for byte.
        SetFilePointerEx(file.handle, old_size, nullptr, FILE_BEGIN);
        SetEndOfFile(file.handle);
        save_flush(file.handle);
    }
    DWORD close_error = close_written_file(&file);
    protection.restore();
    if (error || close_error)
        return error ? error : close_error;
    DWORD unread = 0;
    *written = counted ? after : read_file_state(notes_file, nullptr, &unread);
    return 0;
}
