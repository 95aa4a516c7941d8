// Where the notes live: "veslinn.txt" in the executable's folder, and the
// save lock beside it.
#include "app/notes/notes_path.h"

#include <string.h>

#include "app/notes/owned_string.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

string_handle notes_path;
notes_path_outcome notes_path_state;

namespace {

const wchar_t NOTES_NAME[] = L"veslinn.txt";
const uint32_t NOTES_NAME_UNITS = sizeof NOTES_NAME / sizeof NOTES_NAME[0] - 1;

const wchar_t LOCK_NAME[] = L"veslinn.lck";

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
    notes_path_state.valid = false;
    notes_path_state.error = ERROR_NOT_ENOUGH_MEMORY;

    owned_string executable(alloc_wide_string(MODULE_PATH_UNITS));
    if (!executable.value)
        return;
    wchar_t* units = const_cast<wchar_t*>(wide_text(executable.value));
    DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), units, MODULE_PATH_UNITS);
    if (length == 0 || length >= MODULE_PATH_UNITS) {
        // A result that fills the buffer was cut.
        notes_path_state.error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    uint32_t folder_units = length;
    while (folder_units > 0 && units[folder_units - 1] != L'\\')
        --folder_units;
    notes_path = copy_wide_string(units, folder_units);
    if (folder_units > 0 && !notes_path)
        return;
    if (folder_units + NOTES_NAME_UNITS > PREPARED_PATH_UNITS) {
        notes_path_state.error = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    notes_path_state.valid = true;
    notes_path_state.error = 0;
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
