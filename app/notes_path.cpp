// Where the notes live: "veslinn.txt" in the executable's folder, and the
// other names the slate gives files of its own there.
#include <windows.h>

#include <string.h>

#include "app/app.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

string_handle notes_path;
notes_record notes;

namespace {

const wchar_t NOTES_NAME[] = L"veslinn.txt";
const uint32_t NOTES_NAME_UNITS = sizeof NOTES_NAME / sizeof NOTES_NAME[0] - 1;

const wchar_t LOCK_NAME[] = L"veslinn.lck";

// The slate's numbered files: "veslinn", four hex digits, a type.  Such a
// name is never longer than the notes file's name plus four, so a folder that
// takes the notes file takes it within MAX_PATH; it never starts with a dot,
// so it is never taken for a hidden file.
const wchar_t NUMBERED_STEM[] = L"veslinn";
const uint32_t NUMBERED_STEM_UNITS = sizeof NUMBERED_STEM / sizeof(wchar_t) - 1;
const uint32_t NUMBERED_DIGITS = 4;
const wchar_t* const NUMBERED_TYPES[] = {L".new", L".rcv", L".tmp"};  // by numbered_kind
const uint32_t NUMBERED_TYPE_UNITS = 4;
const uint32_t NUMBERED_NAME_UNITS = NUMBERED_STEM_UNITS + NUMBERED_DIGITS + NUMBERED_TYPE_UNITS;
static_assert(NUMBERED_NAME_UNITS <= 11 + 4, "within MAX_PATH wherever the notes file fits");

// Windows paths are at most 32,767 units long.
const DWORD MODULE_PATH_UNITS = 32768;

}  // namespace

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

string_handle notes_folder_path(const wchar_t* name)
{
    uint32_t folder_units = wide_units(notes_path);
    uint32_t name_units = static_cast<uint32_t>(lstrlenW(name));
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
    return notes_folder_path(NOTES_NAME);
}

string_handle notes_lock_path()
{
    return notes_folder_path(LOCK_NAME);
}

string_handle numbered_file_path(numbered_kind kind, uint32_t number)
{
    wchar_t name[NUMBERED_NAME_UNITS + 1];
    wsprintfW(name, L"%s%04x%s", NUMBERED_STEM, number % NUMBERED_NAME_SPACE, NUMBERED_TYPES[kind]);
    return notes_folder_path(name);
}

string_handle numbered_file_pattern(numbered_kind kind)
{
    wchar_t pattern[NUMBERED_NAME_UNITS + 1];
    wsprintfW(pattern, L"%s????%s", NUMBERED_STEM, NUMBERED_TYPES[kind]);
    return notes_folder_path(pattern);
}

bool number_of_name(const wchar_t* name, numbered_kind kind, uint32_t* number)
{
    if (lstrlenW(name) != static_cast<int>(NUMBERED_NAME_UNITS) ||
        CompareStringOrdinal(name, NUMBERED_STEM_UNITS, NUMBERED_STEM, NUMBERED_STEM_UNITS, TRUE) !=
            CSTR_EQUAL ||
        CompareStringOrdinal(name + NUMBERED_STEM_UNITS + NUMBERED_DIGITS, NUMBERED_TYPE_UNITS,
                             NUMBERED_TYPES[kind], NUMBERED_TYPE_UNITS, TRUE) != CSTR_EQUAL)
        return false;
    uint32_t value = 0;
    for (uint32_t i = 0; i < NUMBERED_DIGITS; ++i) {
        wchar_t c = name[NUMBERED_STEM_UNITS + i];
        uint32_t digit = c >= L'0' && c <= L'9'   ? c - L'0'
                         : c >= L'a' && c <= L'f' ? c - L'a' + 10
                         : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                  : 16;
        if (digit == 16)
            return false;
        value = value * 16 + digit;
    }
    *number = value;
    return true;
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
