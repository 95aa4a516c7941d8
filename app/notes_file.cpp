// The notes file "veslinn.txt" in the executable's folder: where it is, how it
// is read into the box, and how the box's text is kept in it.
//
// The file is read through the run-time's numbered files, whose line rules
// shape the text.  Saves call the system directly (writes, flushes, closes and
// renames through save_calls.h): a failed save must name the system's reason
// to the user and must be able to cut a file back to its old length, which
// numbered files do not offer.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "app/app.h"
#include "app/save_calls.h"
#include "runtime/controls/controls.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

string_handle notes_path;
notes_record notes;

namespace {

const int16_t READ_FILE_NUMBER = 1;
// INPUT; read access, access-stated, lock code 1: nobody else may write the
// notes while they are read.
const uint16_t MODE_INPUT_LOCKED =
    file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_STATED | FILE_LOCK_EXCLUSIVE);
static_assert(MODE_INPUT_LOCKED == 0x1A1, "INPUT, read, access-stated, lock code 1");
const int32_t READ_RECORD_LENGTH = 128;

const wchar_t NOTES_NAME[] = L"veslinn.txt";
const uint32_t NOTES_NAME_UNITS = sizeof NOTES_NAME / sizeof NOTES_NAME[0] - 1;

// A save first writes a file of its own beside the notes: "veslinn" and four
// hex digits, ".new".  The name is never longer than the notes file's name
// plus four, so a folder that takes the notes file takes it within MAX_PATH;
// it never starts with a dot, so it is never taken for a hidden file.
const wchar_t TEMPORARY_STEM[] = L"veslinn";
const wchar_t TEMPORARY_TYPE[] = L".new";
const uint32_t TEMPORARY_DIGITS = 4;
const uint32_t TEMPORARY_NAME_SPACE = 0x10000;  // what four hex digits tell apart
// Saves of one process start this many names apart from each other.
const uint32_t SAVES_PER_PROCESS = 16;
const uint32_t TEMPORARY_NAME_UNITS = sizeof TEMPORARY_STEM / sizeof(wchar_t) - 1 +
                                      TEMPORARY_DIGITS + sizeof TEMPORARY_TYPE / sizeof(wchar_t) - 1;
static_assert(TEMPORARY_NAME_UNITS <= 11 + 4, "within MAX_PATH wherever the notes file fits");
// Names tried before a save gives up: taken names (another save's file, a
// stray file or folder) are passed over.
const uint32_t TEMPORARY_NAME_TRIES = 64;

// Windows paths are at most 32,767 units long.
const DWORD MODULE_PATH_UNITS = 32768;

const char LINE_END[] = "\r\n";
const wchar_t LINE_END_WIDE[] = L"\r\n";

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
    DWORD close()
    {
        DWORD error = 0;
        if (open() && !save_close(handle))
            error = GetLastError();
        handle = INVALID_HANDLE_VALUE;
        return error;
    }
};

// An owned string of the run-time, released once.
struct owned_string {
    string_handle value = 0;  // owned
    owned_string() = default;
    explicit owned_string(string_handle h) : value(h) {}
    owned_string(const owned_string&) = delete;
    owned_string& operator=(const owned_string&) = delete;
    ~owned_string() { release_string(value); }
};

// Bytes gathered while loading, grown by doubling; no exceptions: an append
// that finds no memory says so.  The system's conversions take lengths as
// int, so more than GATHER_LIMIT bytes count as memory running out.
const uint64_t GATHER_LIMIT = 0x7FFFFFFF;

struct gathered_bytes {
    char* data = nullptr;  // owned, malloc'd
    uint32_t size = 0;
    uint32_t capacity = 0;
    gathered_bytes() = default;
    gathered_bytes(const gathered_bytes&) = delete;
    gathered_bytes& operator=(const gathered_bytes&) = delete;
    ~gathered_bytes() { release(); }
    void release()
    {
        free(data);
        data = nullptr;
        size = capacity = 0;
    }
    bool append(const char* bytes, uint32_t n)
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
};

// A wide path: the notes folder followed by a name.
string_handle folder_path_with(const wchar_t* name, uint32_t name_units)
{
    uint32_t folder_units = wide_units(notes_path);
    string_handle path = alloc_wide_string(folder_units + name_units);
    if (!path)
        return 0;
    wchar_t* p = const_cast<wchar_t*>(wide_text(path));
    memcpy(p, wide_text(notes_path), folder_units * sizeof(wchar_t));
    memcpy(p + folder_units, name, name_units * sizeof(wchar_t));
    return path;
}

string_handle notes_file_path()
{
    return folder_path_with(NOTES_NAME, NOTES_NAME_UNITS);
}

// Writes all bytes; 0 or the system's error.  A disk that takes part of a
// write reports the rest as full.
DWORD write_all(HANDLE file, const char* bytes, uint32_t length)
{
    while (length > 0) {
        DWORD written = 0;
        if (!save_write(file, bytes, length, &written))
            return GetLastError();
        if (written == 0)
            return ERROR_DISK_FULL;
        bytes += written;
        length -= written;
    }
    return 0;
}

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

// Creates a temporary file of a name no other save holds at the same moment
// (CREATE_NEW fails on every taken name) and gives its path in *path.
DWORD create_temporary(file_handle* file, string_handle* path)
{
    static uint32_t sequence;
    uint32_t start = GetCurrentProcessId() * SAVES_PER_PROCESS + sequence++;
    DWORD error = ERROR_FILE_EXISTS;
    for (uint32_t attempt = 0; attempt < TEMPORARY_NAME_TRIES; ++attempt) {
        wchar_t name[TEMPORARY_NAME_UNITS + 1];
        wsprintfW(name, L"%s%04x%s", TEMPORARY_STEM, (start + attempt) % TEMPORARY_NAME_SPACE,
                  TEMPORARY_TYPE);
        string_handle candidate = folder_path_with(name, TEMPORARY_NAME_UNITS);
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

// While another save renames its file onto the notes file, the notes file is
// open for that rename and a second rename onto it is refused (access denied
// or a sharing violation): such a refusal is tried again for a moment.
const uint32_t RENAME_TRIES = 25;
const DWORD RENAME_PAUSE_MS = 20;

DWORD rename_onto(const wchar_t* source, const wchar_t* target)
{
    DWORD error = 0;
    for (uint32_t attempt = 0; attempt < RENAME_TRIES; ++attempt) {
        if (attempt > 0)
            Sleep(RENAME_PAUSE_MS);
        if (save_move(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            break;
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
    error = write_text(file.handle, text);
    if (!error && !save_flush(file.handle))
        error = GetLastError();
    DWORD close_error = file.close();
    if (!error)
        error = close_error;
    if (!error) {
        // The rename cannot replace a read-only file on Windows.
        attributes_cleared protection(notes_file);
        error = rename_onto(wide_text(temporary.value), notes_file);
        if (error)
            protection.restore();
    }
    if (error)
        DeleteFileW(wide_text(temporary.value));
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

// Shows a text in the notes box: an owned wide string, taken over.
void show_in_box(string_handle wide)
{
    push_owned(wide);
    set_control_text(control_handle(slate_handle, ID_NOTES_BOX));
}

}  // namespace

uint64_t hash_units(const wchar_t* units, uint32_t count)
{
    uint64_t hash = 14695981039346656037ull;  // FNV-1a offset basis
    for (uint32_t i = 0; i < count; ++i) {
        hash ^= static_cast<uint16_t>(units[i]);
        hash *= 1099511628211ull;  // FNV prime
    }
    return hash;
}

// Fills notes_path with the executable's folder, found by the last backslash
// of its wide path (a byte search could stop inside a double-byte character).
// When the path cannot be had whole, or the folder leaves no room for the
// notes file's name in a path the file layer opens, the slate keeps no notes
// file at all: a cut path would name some other folder.
void form_notes_path()
{
    activation frame;
    release_string(notes_path);
    notes_path = 0;
    notes.path_valid = false;
    notes.path_error = ERROR_NOT_ENOUGH_MEMORY;

    owned_string executable(alloc_wide_string(MODULE_PATH_UNITS));
    if (!executable.value)
        return;
    wchar_t* units = const_cast<wchar_t*>(wide_text(executable.value));
    DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), units, MODULE_PATH_UNITS);
    if (length == 0 || length >= MODULE_PATH_UNITS) {
        // A result that fills the buffer was cut.
        notes.path_error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    uint32_t folder_units = length;
    while (folder_units > 0 && units[folder_units - 1] != L'\\')
        --folder_units;
    notes_path = copy_wide_string(units, folder_units);
    if (folder_units > 0 && !notes_path)
        return;
    if (folder_units + NOTES_NAME_UNITS > PREPARED_PATH_UNITS) {
        notes.path_error = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    notes.path_valid = true;
    notes.path_error = 0;
}

void push_notes_file_path()
{
    push_owned(notes_file_path());
}

// A folder of that name counts as existing, and so does a file that cannot
// be read.
int32_t notes_file_exists()
{
    activation frame;
    push_notes_file_path();
    get_file_attributes();
    return error_number() == RUNTIME_ERROR_NONE ? RUNTIME_TRUE : RUNTIME_FALSE;
}

// Reads the notes line by line (each line, the last one too, ends in CR LF in
// the box), decides their encoding and shows them, then records the box's
// text as it came back, so that leaving without an edit touches nothing.
void load_notes()
{
    activation frame;
    // The lines are gathered in one growing buffer, so loading is linear in
    // the size of the file.
    gathered_bytes text;
    bool whole = true;
    bool memory_ran_out = false;

    push_notes_file_path();
    open_file(MODE_INPUT_LOCKED, READ_RECORD_LENGTH, 1, nullptr, READ_FILE_NUMBER);
    bool opened = error_number() == RUNTIME_ERROR_NONE;
    if (!opened)
        whole = false;
    // The first line is read without an end-of-file test: a file that could
    // not be opened shows one empty line.
    do {
        read_line(READ_FILE_NUMBER);
        owned_string line(pop_string());
        if (opened && error_number() != RUNTIME_ERROR_NONE)
            whole = false;
        if (!text.append(string_text(line.value), string_bytes(line.value)) ||
            !text.append(LINE_END, 2)) {
            memory_ran_out = true;
            break;
        }
    } while (whole && !end_of_file(READ_FILE_NUMBER));
    close_file(READ_FILE_NUMBER, 0);
    clear_error();

    notes_text shown = {0, NOTES_CODE_PAGE, false};
    if (!memory_ran_out) {
        thread_record* thread = current_thread_record();
        shown = decode_notes(text.data, text.size, thread ? thread->code_page : CP_ACP);
    }
    // The gathered bytes go before the box takes its own copy.
    text.release();
    if (!shown.ok) {
        // What could not be shown is not in the box: one empty line is.
        whole = false;
        shown.text = copy_wide_string(LINE_END_WIDE, 2);
    }
    uint32_t shown_units = wide_units(shown.text);
    show_in_box(shown.text);

    get_control_text(control_handle(slate_handle, ID_NOTES_BOX));
    owned_string in_box(pop_string());
    uint32_t box_units = wide_units(in_box.value);
    if (box_units != shown_units)
        whole = false;  // the box stops at a NUL unit, or took less
    notes.form = shown.form;
    notes.partly_shown = !whole;
    notes.unchanged_known = true;
    notes.loaded_units = box_units;
    notes.loaded_hash = hash_units(wide_text(in_box.value), box_units);
}

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

    thread_record* thread = current_thread_record();
    bool appending = notes.partly_shown;
    notes_text bytes = encode_notes(wide_text(text.value), units, notes.form,
                                    thread ? thread->code_page : CP_ACP, appending);
    owned_string encoded(bytes.text);
    if (!bytes.ok) {
        outcome.error = ERROR_NOT_ENOUGH_MEMORY;
        return outcome;
    }
    owned_string notes_file(notes_file_path());
    if (!notes_file.value) {
        outcome.error = ERROR_NOT_ENOUGH_MEMORY;
        return outcome;
    }
    outcome.error = appending ? append_notes(encoded.value, wide_text(notes_file.value))
                              : replace_notes(encoded.value, wide_text(notes_file.value));
    if (!outcome.failed()) {
        // What is on disk now is this text: keeping it again changes nothing.
        notes.unchanged_known = true;
        notes.loaded_units = units;
        notes.loaded_hash = hash;
    }
    return outcome;
}

// "Borrar": sets the notes file's attributes to 0 and deletes it; a file that
// is not there is no failure here.  The file is gone, so whatever is typed
// next is new notes, saved whole.
void remove_notes_file()
{
    activation frame;
    notes.unchanged_known = false;
    notes.partly_shown = false;
    if (!notes.path_valid)
        return;
    push_notes_file_path();
    set_file_attributes(0);
    clear_error();
    push_notes_file_path();
    delete_file();
    clear_error();
}
