// Saving and adding: the box's text into the notes file, and "Borrar".
//
// A save never puts the box's text over text the slate has not seen.  It
// compares the notes file as it is now with what the slate last saw of it
// (notes.seen, by length and hash of the bytes): the same file is replaced;
// a file changed or made since gets the text added after its current
// contents; a file gone is written anew.  Among slates, that check and the
// write are one step: each save holds the save lock "veslinn.lck", a file
// opened without sharing and deleted when closed, which the system also
// closes (and so deletes) when the process dies.
//
// Saves call the system directly: a failed save must name the system's
// reason to the user and must be able to cut a file back to its old length,
// which numbered files do not offer.
#include <windows.h>

#include "app/app.h"
#include "app/save_calls.h"
#include "runtime/controls/controls.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

namespace {

// Saves of one process start this many temporary names apart from each other.
const uint32_t SAVES_PER_PROCESS = 16;
// Names tried before a save gives up: taken names (another save's file, a
// stray file or folder) are passed over.
const uint32_t TEMPORARY_NAME_TRIES = 64;

// A save waits this long for another slate's save to let go of the lock,
// looking again this often.  A lock still held after that is taken for one
// that nobody will let go of (a lock file that cannot be removed), and the
// save goes on without it.
const DWORD LOCK_WAIT_MS = 10000;
const DWORD LOCK_PAUSE_MS = 20;

const char LINE_END[] = "\r\n";

bool ends_with_line_end(const char* bytes, uint32_t length)
{
    return length >= 2 && bytes[length - 2] == '\r' && bytes[length - 1] == '\n';
}

// Writes the text and, unless it already ends with one, a final line end.
DWORD write_text(HANDLE file, string_handle text)
{
    DWORD error = write_all(file, string_text(text), string_bytes(text));
    if (error == 0 && !ends_with_line_end(string_text(text), string_bytes(text)))
        error = write_all(file, LINE_END, 2);
    return error;
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

// Takes the save lock into *lock; *lock stays closed when the folder takes no
// lock file at all (then no other slate can take one there either).  0, or
// the error that stopped it.
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
        if (!held || GetTickCount() - start >= LOCK_WAIT_MS)
            return 0;
        Sleep(LOCK_PAUSE_MS);
    }
}

// Removes the temporary files of saves that died before their rename.  Called
// only with the lock held, so no running save holds one of them.
void remove_stray_temporaries()
{
    owned_string pattern(numbered_file_pattern(NUMBERED_SAVE_TEMPORARY));
    if (!pattern.value)
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide_text(pattern.value), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        uint32_t number = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            number_of_name(found.cFileName, NUMBERED_SAVE_TEMPORARY, &number)) {
            owned_string stray(numbered_file_path(NUMBERED_SAVE_TEMPORARY, number));
            if (stray.value)
                DeleteFileW(wide_text(stray.value));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

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

// Writes the text to a temporary file beside the notes file, checks every
// write, flushes it to disk and closes it; only then replaces the notes file
// with it in one rename.  Any failure keeps the old notes file as it was and
// removes the temporary file.
DWORD replace_notes(string_handle text, const wchar_t* notes_file)
{
    file_handle file;
    owned_string temporary;
    DWORD error = create_temporary(&file, &temporary.value);
    if (error)
        return error;
    uint32_t length = string_bytes(text);
    byte_run runs[] = {{string_text(text), length}, {LINE_END, 2}};
    uint32_t count = ends_with_line_end(string_text(text), length) ? 1 : 2;
    // The rename cannot replace a read-only file on Windows.
    attributes_cleared protection(notes_file);
    error = write_then_rename(&file, wide_text(temporary.value), notes_file, runs, count);
    if (error)
        protection.restore();
    return error;
}

// Adds the text at the end of the notes file, after a line end when the file
// does not end with one.  Any failure cuts the file back to its old length.
// A notes file that is gone by now is simply written anew.
DWORD append_notes(string_handle text, const wchar_t* notes_file)
{
    attributes_cleared protection(notes_file);
    file_handle file;
    file.handle = CreateFileW(notes_file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!file.open()) {
        DWORD error = GetLastError();
        protection.restore();
        if (error == ERROR_FILE_NOT_FOUND)
            return replace_notes(text, notes_file);
        return error;
    }

    DWORD error = 0;
    LARGE_INTEGER old_size = {};
    if (!GetFileSizeEx(file.handle, &old_size))
        error = GetLastError();
    bool needs_line_end = false;
    if (!error && old_size.QuadPart > 0) {
        char tail[2] = {};
        DWORD got = 0;
        LARGE_INTEGER at;
        at.QuadPart = old_size.QuadPart >= 2 ? old_size.QuadPart - 2 : 0;
        if (!SetFilePointerEx(file.handle, at, nullptr, FILE_BEGIN) ||
            !ReadFile(file.handle, tail, sizeof tail, &got, nullptr))
            error = GetLastError();
        needs_line_end = !ends_with_line_end(tail, got);
    }
    if (!error && !SetFilePointerEx(file.handle, old_size, nullptr, FILE_BEGIN))
        error = GetLastError();
    if (!error && needs_line_end)
        error = write_all(file.handle, LINE_END, 2);
    if (!error)
        error = write_text(file.handle, text);
    if (!error && !save_flush(file.handle))
        error = GetLastError();
    if (error) {
        // The old notes come back byte for byte.
        SetFilePointerEx(file.handle, old_size, nullptr, FILE_BEGIN);
        SetEndOfFile(file.handle);
        save_flush(file.handle);
    }
    DWORD close_error = file.close();
    protection.restore();
    return error ? error : close_error;
}

// What the save does with the notes file as it is now.
struct save_plan {
    bool replace;     // false: add after the file's current contents
    notes_form form;  // the form the text is written in
};

save_plan plan_save(const wchar_t* notes_file)
{
    gathered_bytes current;
    DWORD error = 0;
    file_state now = read_file_state(notes_file, &current, &error);
    if (!now.exists)
        return {true, notes.form};  // gone, or never there: written anew
    if (same_file_state(now, notes.seen))
        return {!notes.partly_shown, notes.form};
    // Changed or made since the slate saw it: the text goes after what is
    // there now, in that file's form.
    return {false, now.known ? form_of_notes(current.data, current.size) : notes.form};
}

}  // namespace

// Keeps the box's text in the notes file.  An empty box keeps the old file;
// a box that still holds the text the load put there touches nothing.
save_outcome keep_notes(HWND window)
{
    activation frame;
    save_outcome outcome = {0};
    get_control_text(control_handle(window, ID_NOTES_BOX));
    owned_string text(pop_string());
    uint32_t units = wide_units(text.value);
    if (units == 0)
        return outcome;
    uint64_t hash = hash_units(wide_text(text.value), units);
    if (notes.unchanged_known && units == notes.loaded_units && hash == notes.loaded_hash)
        return outcome;
    if (!notes.path_valid) {
        outcome.error = notes.path_error;
        return outcome;
    }
    owned_string notes_file(notes_file_path());
    if (!notes_file.value) {
        outcome.error = ERROR_NOT_ENOUGH_MEMORY;
        return outcome;
    }
    const wchar_t* path = wide_text(notes_file.value);

    file_handle lock;
    outcome.error = take_save_lock(&lock);
    if (outcome.failed())
        return outcome;
    if (lock.open())
        remove_stray_temporaries();
    save_plan plan = plan_save(path);
    thread_record* thread = current_thread_record();
    notes_text bytes = encode_notes(wide_text(text.value), units, plan.form,
                                    thread ? thread->code_page : CP_ACP, !plan.replace);
    owned_string encoded(bytes.text);
    if (!bytes.ok) {
        outcome.error = ERROR_NOT_ENOUGH_MEMORY;
        return outcome;
    }
    outcome.error = plan.replace ? replace_notes(encoded.value, path)
                                 : append_notes(encoded.value, path);
    if (!outcome.failed()) {
        // What is on disk now is this text: keeping it again changes nothing,
        // and the file as it is now is what the slate saw.
        notes.unchanged_known = true;
        notes.loaded_units = units;
        notes.loaded_hash = hash;
        notes.partly_shown = !plan.replace;
        if (plan.replace)
            notes.form = bytes.form;
        DWORD error = 0;
        notes.seen = read_file_state(path, nullptr, &error);
    }
    return outcome;
}

// "Borrar": empties nothing itself (the box is the callback's); sends the
// notes file to the Recycle Bin when it is still what the slate showed whole,
// its attributes set to 0 first, and deletes it where it cannot be recycled.
// A file that holds text the box never showed (written elsewhere since, or
// never shown whole) stays as it is, and whatever is typed next is added
// after it.  A file that is not there is no failure.
void remove_notes_file()
{
    activation frame;
    notes.unchanged_known = false;
    if (!notes.path_valid) {
        notes.partly_shown = false;
        return;
    }
    owned_string notes_file(notes_file_path());
    if (!notes_file.value)
        return;
    file_handle lock;
    if (take_save_lock(&lock) != 0)
        return;
    DWORD error = 0;
    file_state now = read_file_state(wide_text(notes_file.value), nullptr, &error);
    if (now.exists && (notes.partly_shown || !same_file_state(now, notes.seen))) {
        notes.partly_shown = true;
        return;
    }
    if (now.exists) {
        push_notes_file_path();
        set_file_attributes(0);
        clear_error();
        if (!send_to_recycle_bin(wide_text(notes_file.value))) {
            push_notes_file_path();
            delete_file();
            clear_error();
        }
    }
    notes.partly_shown = false;
    notes.seen = read_file_state(wide_text(notes_file.value), nullptr, &error);
}
