// Numbers of recovery copies, held by named mutexes.
#include "app/recovery/copy_number.h"

#include "app/notes/notes_path.h"
#include "app/notes/numbered_files.h"
#include "app/notes/owned_string.h"
#include "runtime/strings/strings.h"

namespace {

// The name of the mutex that marks a number of a notes folder as held by a
// running slate: the folder's hash, then the number.
const wchar_t CLAIM_NAME_FORMAT[] = L"Global\\Veslinn.RecoveryCopy.%08lx%08lx.%04x";
const uint32_t CLAIM_NAME_UNITS = 64;
const uint32_t HALF_BITS = 32;

// Numbers are tried from one that depends on the process id, so that slates
// started together seldom try the same ones.
const uint32_t PROCESS_ID_STEP = 4;  // process ids are multiples of four

// Windows paths are at most 32,767 units long.
const DWORD LONGEST_PATH_UNITS = 32768;

// The hash of the notes folder as the file system names it: short (8.3)
// names made long and letters made capital, as the file system compares
// them, so that every spelling of one folder gives one hash.  Made once.
uint64_t folder_hash()
{
    static bool made;
    static uint64_t hash;
    if (made)
        return hash;
    made = true;
    owned_string folder(copy_wide_string(wide_text(notes_path), wide_units(notes_path)));
    owned_string long_form(alloc_wide_string(LONGEST_PATH_UNITS));
    const wchar_t* path = wide_text(folder.value);
    uint32_t units = wide_units(folder.value);
    if (long_form.value) {
        wchar_t* buffer = const_cast<wchar_t*>(wide_text(long_form.value));
        DWORD got = GetLongPathNameW(path, buffer, LONGEST_PATH_UNITS);
        if (got > 0 && got < LONGEST_PATH_UNITS) {
            path = buffer;
            units = got;
        }
    }
    CharUpperBuffW(const_cast<wchar_t*>(path), units);
    hash = hash_bytes(path, units * sizeof(wchar_t));
    return hash;
}

// Takes the mutex of a number: true when nobody held it, and then this
// process does (in *claim, owned by the caller).
bool claim_number(uint32_t number, HANDLE* claim)
{
    uint64_t folder = folder_hash();
    wchar_t name[CLAIM_NAME_UNITS];
    wsprintfW(name, CLAIM_NAME_FORMAT, static_cast<unsigned long>(folder >> HALF_BITS),
              static_cast<unsigned long>(folder & 0xFFFFFFFFu), number % NUMBERED_NAME_SPACE);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex)
        return false;  // held by a slate of another user: not ours to take
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    *claim = mutex;
    return true;
}

// What the walk over the copies has found so far.
struct newest_copy {
    bool any = false;
    FILETIME written = {};
    uint32_t number = 0;
    HANDLE claim = nullptr;  // owned: the mutex of `number`, while `any`
    read_copy* copy;         // the caller's, filled for the newest
};

void consider_copy(uint32_t number, const WIN32_FIND_DATAW& found, void* context)
{
    newest_copy* newest = static_cast<newest_copy*>(context);
    HANDLE claim = nullptr;
    if ((newest->any && CompareFileTime(&found.ftLastWriteTime, &newest->written) <= 0) ||
        !claim_number(number, &claim))
        return;
    owned_string path(numbered_file_path(NUMBERED_RECOVERY_COPY, number));
    read_copy copy;
    if (!path.value || !read_copy_file(wide_text(path.value), &copy)) {
        CloseHandle(claim);
        return;
    }
    if (newest->any)
        CloseHandle(newest->claim);
    newest->any = true;
    newest->written = found.ftLastWriteTime;
    newest->number = number;
    newest->claim = claim;
    hand_over_copy(&copy, newest->copy);
}

}  // namespace

bool take_newest_gone_copy(uint32_t* number, HANDLE* claim, read_copy* copy)
{
    newest_copy newest;
    newest.copy = copy;
    walk_numbered_files(NUMBERED_RECOVERY_COPY, consider_copy, &newest);
    if (newest.any) {
        *number = newest.number;
        *claim = newest.claim;
    }
    return newest.any;
}

bool take_free_number(uint32_t* number, HANDLE* claim)
{
    uint32_t start = GetCurrentProcessId() / PROCESS_ID_STEP;
    for (uint32_t i = 0; i < NUMBERED_NAME_SPACE; ++i) {
        uint32_t candidate = (start + i) % NUMBERED_NAME_SPACE;
        owned_string path(numbered_file_path(NUMBERED_RECOVERY_COPY, candidate));
        if (path.value && GetFileAttributesW(wide_text(path.value)) == INVALID_FILE_ATTRIBUTES &&
            claim_number(candidate, claim)) {
            *number = candidate;
            return true;
        }
    }
    return false;
}

void remove_gone_temporaries()
{
    walk_numbered_files(
        NUMBERED_RECOVERY_TEMPORARY,
        [](uint32_t number, const WIN32_FIND_DATAW&, void*) {
            HANDLE claim = nullptr;
            if (!claim_number(number, &claim))
                return;
            owned_string path(numbered_file_path(NUMBERED_RECOVERY_TEMPORARY, number));
            if (path.value)
                DeleteFileW(wide_text(path.value));
            CloseHandle(claim);
        },
        nullptr);
}
