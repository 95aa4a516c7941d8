// Operations on files by name: attributes, deletion and renaming.
#include <string.h>

#include "runtime/files/file_table.h"

namespace {

const DWORD SETTABLE_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
static_assert(SETTABLE_ATTRIBUTES == 0x27, "the documented settable attributes");
// The volume-label attribute of the FAT directory entry; the platform headers
// have no name for it.
const DWORD FILE_ATTRIBUTE_VOLUME_LABEL = 0x08;
// Entries delete_file leaves alone: hidden, system, volume label, folders.
const DWORD KEPT_BY_DELETE = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_VOLUME_LABEL | FILE_ATTRIBUTE_DIRECTORY;
static_assert(KEPT_BY_DELETE == 0x1E, "the documented attributes delete leaves alone");

enum { DELETE_PATTERN_UNITS = 256, FOUND_NAME_UNITS = MAX_PATH - 1 };

// Windows takes '/' as a folder separator as well as '\'; a pattern's folder
// part must end at either, or the found names would be deleted elsewhere.
inline bool ends_folder_part(wchar_t unit)
{
    return unit == L'\\' || unit == L'/' || unit == L':';
}

}  // namespace

uint32_t get_file_attributes()
{
    prepared_path path;
    prepare_path(&path);
    if (path.has_wildcard) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NAME);
        return 0;
    }
    // Called directly: a missing file is an expected answer here, not a
    // failure to guard against.
    DWORD attributes = GetFileAttributesW(path.units);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        raise_error(RUNTIME_ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return attributes;
}

void set_file_attributes(uint32_t attributes)
{
    prepared_path path;
    prepare_path(&path);
    if (path.has_wildcard) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NAME);
        return;
    }
    DWORD bits = attributes & SETTABLE_ATTRIBUTES;
    guard_verdict verdict = guarded_call([&] { return SetFileAttributesW(path.units, bits); });
    if (verdict.failed())
        raise_error(verdict.error);
}

void delete_file()
{
    string_handle argument = pop_string();
    wchar_t pattern[DELETE_PATTERN_UNITS + 4];
    uint32_t units = wide_units(argument);
    if (units > DELETE_PATTERN_UNITS)
        units = DELETE_PATTERN_UNITS;
    memcpy(pattern, wide_text(argument), units * sizeof(wchar_t));
    release_string(argument);
    if (units == 0)
        return;
    // A folder path (or a bare drive) names every file of that folder.
    if (ends_folder_part(pattern[units - 1])) {
        memcpy(pattern + units, L"*.*", 3 * sizeof(wchar_t));
        units += 3;
    }
    pattern[units] = 0;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        raise_error(RUNTIME_ERROR_FILE_NOT_FOUND);
        return;
    }
    uint32_t folder_units = 0;
    for (uint32_t i = 0; i < units; ++i) {
        if (ends_folder_part(pattern[i]))
            folder_units = i + 1;
    }
    // Folder part (at most 256 units), found name (at most 259) and a zero.
    wchar_t target[DELETE_PATTERN_UNITS + FOUND_NAME_UNITS + 1];
    memcpy(target, pattern, folder_units * sizeof(wchar_t));
    uint32_t error = 0;
    do {
        if (found.dwFileAttributes & KEPT_BY_DELETE)
            continue;
        uint32_t name_units = static_cast<uint32_t>(wcsnlen(found.cFileName, FOUND_NAME_UNITS));
        memcpy(target + folder_units, found.cFileName, name_units * sizeof(wchar_t));
        target[folder_units + name_units] = 0;
        guard_verdict verdict = guarded_call([&] { return DeleteFileW(target); });
        if (verdict.failed()) {
            error = verdict.error;
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    if (error)
        raise_error(error);
}

void rename_file()
{
    // Both names are prepared as open_file prepares them, so a path names the
    // same file for every operation of this layer.
    prepared_path target;
    prepare_path(&target);
    prepared_path source;
    prepare_path(&source);
    if (source.length == 0 || target.length == 0 || source.has_wildcard || target.has_wildcard) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NAME);
        return;
    }
    guard_verdict verdict = guarded_call([&] {
        return MoveFileExW(source.units, target.units, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    });
    if (verdict.failed())
        raise_error(verdict.error);
}
