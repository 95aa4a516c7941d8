// The slate's numbered files: their names, and one walk over each kind.
#include "app/notes/numbered_files.h"

#include "app/notes/notes_path.h"
#include "app/notes/owned_string.h"
#include "runtime/strings/strings.h"

namespace {

// "veslinn", four hex digits, a type.  Such a name is never longer than the
// notes file's name plus four, so a folder that takes the notes file takes it
// within MAX_PATH; it never starts with a dot, so it is never taken for a
// hidden file.
const wchar_t NUMBERED_STEM[] = L"veslinn";
const uint32_t NUMBERED_STEM_UNITS = sizeof NUMBERED_STEM / sizeof(wchar_t) - 1;
const uint32_t NUMBERED_DIGITS = 4;
const wchar_t* const NUMBERED_TYPES[] = {L".new", L".rcv", L".tmp"};  // by numbered_kind
const uint32_t NUMBERED_TYPE_UNITS = 4;
const uint32_t NUMBERED_NAME_UNITS = NUMBERED_STEM_UNITS + NUMBERED_DIGITS + NUMBERED_TYPE_UNITS;
static_assert(NUMBERED_NAME_UNITS <= 11 + 4, "within MAX_PATH wherever the notes file fits");

const uint32_t NOT_A_DIGIT = 16;

uint32_t hex_digit(wchar_t c)
{
    return c >= L'0' && c <= L'9'   ? c - L'0'
           : c >= L'a' && c <= L'f' ? c - L'a' + 10
           : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                    : NOT_A_DIGIT;
}

// The number of a bare file name of that kind; false for any other name.
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
        uint32_t digit = hex_digit(name[NUMBERED_STEM_UNITS + i]);
        if (digit == NOT_A_DIGIT)
            return false;
        value = value * 16 + digit;
    }
    *number = value;
    return true;
}

}  // namespace

string_handle numbered_file_path(numbered_kind kind, uint32_t number)
{
    wchar_t name[NUMBERED_NAME_UNITS + 1];
    wsprintfW(name, L"%s%04x%s", NUMBERED_STEM, number % NUMBERED_NAME_SPACE, NUMBERED_TYPES[kind]);
    return notes_folder_path(name);
}

void walk_numbered_files(numbered_kind kind, numbered_visit visit, void* context)
{
    wchar_t name[NUMBERED_NAME_UNITS + 1];
    wsprintfW(name, L"%s????%s", NUMBERED_STEM, NUMBERED_TYPES[kind]);
    owned_string pattern(notes_folder_path(name));
    if (!pattern.value)
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide_text(pattern.value), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        uint32_t number = 0;
        // The pattern also matches names that are not hex digits, and a long
        // name whose short name fits it.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            number_of_name(found.cFileName, kind, &number))
            visit(number, found, context);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
