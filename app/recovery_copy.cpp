// The recovery copy.
#include "app/recovery_copy.h"

#include <stdlib.h>
#include <string.h>

#include "app/app.h"
#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

namespace {

// The copy timer of the slate: while the box changes, the copy is written at
// its ticks, so at most once a second and within two seconds of a change.
const UINT COPY_PERIOD_MS = 1000;

// The name of the mutex that marks a number as held by a running slate.
const wchar_t CLAIM_NAME_FORMAT[] = L"Global\\Veslinn.RecoveryCopy.%04x";
const uint32_t CLAIM_NAME_UNITS = 64;

// Numbers are tried from one that depends on the process id, so that slates
// started together seldom try the same ones.
const uint32_t PROCESS_ID_STEP = 4;  // process ids are multiples of four

// A copy taken from the box, on its way to the disk.  The text is malloc'd:
// the writing thread uses no run-time strings.
struct copy_job {
    recovery_header header;
    wchar_t* text;  // owned, malloc'd; null for an empty text
};

// This slate's copy.  Everything is set on the slate's thread; the writing
// thread reads the two paths, which stay unchanged once set, and takes jobs
// under `lock`.
struct recovery_state {
    bool active;                  // a number is held: the slate keeps a copy
    uint32_t number;
    HANDLE claim;                 // owned: the named mutex of the number, held until the process ends
    string_handle copy_path;      // owned wide path of the copy, kept until the process ends
    string_handle temporary_path; // owned wide path the copy is written at first
    bool changed;                 // the box changed since the last copy
    bool timer_running;
    HANDLE writer;                // owned: the writing thread, started at the first copy
    HANDLE wake;                  // owned auto-reset event: a job is pending
    HANDLE idle;                  // owned manual-reset event: set while no job is being written
    CRITICAL_SECTION lock;        // guards pending and has_pending
    copy_job pending;             // owned by the state until the writer takes it
    bool has_pending;
};
recovery_state copy_state;

void release_job(copy_job* job)
{
    free(job->text);
    job->text = nullptr;
}

// Takes the mutex of a number: true when nobody held it, and then this
// process does (in *claim, owned by the caller).
bool claim_number(uint32_t number, HANDLE* claim)
{
    wchar_t name[CLAIM_NAME_UNITS];
    wsprintfW(name, CLAIM_NAME_FORMAT, number % NUMBERED_NAME_SPACE);
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

bool file_exists(string_handle path)
{
    return path && GetFileAttributesW(wide_text(path)) != INVALID_FILE_ATTRIBUTES;
}

// Writes the job's copy: the temporary file, checked writes, a flush, a
// rename onto the copy.  A copy that cannot be written is not reported: the
// save says what matters when it fails too.
void write_copy(const copy_job& job)
{
    file_handle file;
    file.handle = CreateFileW(wide_text(copy_state.temporary_path), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!file.open())
        return;
    byte_run runs[] = {{&job.header, sizeof job.header},
                       {job.text, job.header.units * static_cast<uint32_t>(sizeof(wchar_t))}};
    write_then_rename(&file, wide_text(copy_state.temporary_path), wide_text(copy_state.copy_path),
                      runs, job.text ? 2 : 1);
}

DWORD WINAPI copy_writer(void*)
{
    for (;;) {
        WaitForSingleObject(copy_state.wake, INFINITE);
        EnterCriticalSection(&copy_state.lock);
        if (!copy_state.has_pending) {
            LeaveCriticalSection(&copy_state.lock);
            continue;
        }
        copy_job job = copy_state.pending;
        copy_state.has_pending = false;
        ResetEvent(copy_state.idle);
        LeaveCriticalSection(&copy_state.lock);
        write_copy(job);
        release_job(&job);
        EnterCriticalSection(&copy_state.lock);
        SetEvent(copy_state.idle);
        LeaveCriticalSection(&copy_state.lock);
    }
}

bool start_writer()
{
    if (copy_state.writer)
        return true;
    copy_state.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    copy_state.idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (copy_state.wake && copy_state.idle)
        copy_state.writer = CreateThread(nullptr, 0, copy_writer, nullptr, 0, nullptr);
    return copy_state.writer != nullptr;
}

// Drops a job not yet taken and waits for the one being written, if any:
// after this no copy is written until the next job.
void settle_writer()
{
    if (!copy_state.writer)
        return;
    EnterCriticalSection(&copy_state.lock);
    if (copy_state.has_pending)
        release_job(&copy_state.pending);
    copy_state.has_pending = false;
    LeaveCriticalSection(&copy_state.lock);
    WaitForSingleObject(copy_state.idle, INFINITE);
}

void remove_copy_files()
{
    settle_writer();
    DeleteFileW(wide_text(copy_state.copy_path));
    DeleteFileW(wide_text(copy_state.temporary_path));
}

// The box's text and what the slate knows of the notes file, as a job; false
// when there is nothing to keep (an empty box, or the text the notes file
// holds) or no memory.
bool take_job(HWND slate, copy_job* job)
{
    HWND box = control_handle(slate, ID_NOTES_BOX);
    int length = GetWindowTextLengthW(box);
    if (length <= 0)
        return false;
    wchar_t* text = static_cast<wchar_t*>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (!text)
        return false;
    uint32_t units = static_cast<uint32_t>(GetWindowTextW(box, text, length + 1));
    uint64_t hash = hash_units(text, units);
    if (units == 0 || (notes.unchanged_known && units == notes.loaded_units && hash == notes.loaded_hash)) {
        free(text);
        return false;
    }
    recovery_header& h = job->header;
    memset(&h, 0, sizeof h);
    memcpy(h.magic, RECOVERY_MAGIC, sizeof h.magic);
    const uint32_t none = 0;
    h.flags = (notes.seen.exists ? RECOVERY_SEEN_EXISTS : none) |
              (notes.seen.known ? RECOVERY_SEEN_KNOWN : none) |
              (notes.partly_shown ? RECOVERY_PARTLY_SHOWN : none);
    h.form = notes.form;
    h.seen_length = notes.seen.length;
    h.seen_hash = notes.seen.hash;
    h.units = units;
    h.text_hash = hash;
    job->text = text;
    return true;
}

// A copy read back whole and checked: its header and text.
struct read_copy {
    gathered_bytes bytes;
    const recovery_header* header = nullptr;
    const wchar_t* text = nullptr;
};

bool read_copy_file(const wchar_t* path, read_copy* copy)
{
    DWORD error = 0;
    file_state state = read_file_state(path, &copy->bytes, &error);
    if (!state.known || copy->bytes.size < sizeof(recovery_header))
        return false;
    const recovery_header* h = reinterpret_cast<const recovery_header*>(copy->bytes.data);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(copy->bytes.data + sizeof *h);
    if (memcmp(h->magic, RECOVERY_MAGIC, sizeof h->magic) != 0 ||
        copy->bytes.size != sizeof *h + static_cast<uint64_t>(h->units) * sizeof(wchar_t) ||
        h->units == 0 || hash_units(text, h->units) != h->text_hash || h->form > NOTES_UTF8_MARKED)
        return false;
    copy->header = h;
    copy->text = text;
    return true;
}

// Sets this slate's number and the paths of its copy.
bool hold_number(uint32_t number, HANDLE claim)
{
    copy_state.copy_path = numbered_file_path(NUMBERED_RECOVERY_COPY, number);
    copy_state.temporary_path = numbered_file_path(NUMBERED_RECOVERY_TEMPORARY, number);
    if (!copy_state.copy_path || !copy_state.temporary_path) {
        CloseHandle(claim);
        return false;
    }
    copy_state.number = number;
    copy_state.claim = claim;
    copy_state.active = true;
    return true;
}

// The newest readable copy whose slate is gone, its number held in *claim;
// false when there is none.  Copies of other gone slates stay for later
// starts.
bool take_newest_gone_copy(uint32_t* number, HANDLE* claim)
{
    string_handle pattern = numbered_file_pattern(NUMBERED_RECOVERY_COPY);
    if (!pattern)
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide_text(pattern), &found);
    release_string(pattern);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool any = false;
    FILETIME newest = {};
    do {
        uint32_t candidate = 0;
        HANDLE candidate_claim = nullptr;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !number_of_name(found.cFileName, NUMBERED_RECOVERY_COPY, &candidate) ||
            (any && CompareFileTime(&found.ftLastWriteTime, &newest) <= 0) ||
            !claim_number(candidate, &candidate_claim))
            continue;
        string_handle path = numbered_file_path(NUMBERED_RECOVERY_COPY, candidate);
        read_copy copy;
        bool readable = path && read_copy_file(wide_text(path), &copy);
        release_string(path);
        if (!readable) {
            CloseHandle(candidate_claim);
            continue;
        }
        if (any)
            CloseHandle(*claim);
        any = true;
        newest = found.ftLastWriteTime;
        *number = candidate;
        *claim = candidate_claim;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return any;
}

// Removes the half-written copies of slates that are gone.
void remove_gone_temporaries()
{
    string_handle pattern = numbered_file_pattern(NUMBERED_RECOVERY_TEMPORARY);
    if (!pattern)
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide_text(pattern), &found);
    release_string(pattern);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        uint32_t number = 0;
        HANDLE claim = nullptr;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            number_of_name(found.cFileName, NUMBERED_RECOVERY_TEMPORARY, &number) &&
            claim_number(number, &claim)) {
            string_handle path = numbered_file_path(NUMBERED_RECOVERY_TEMPORARY, number);
            if (path)
                DeleteFileW(wide_text(path));
            release_string(path);
            CloseHandle(claim);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Shows the copy of the gone slate whose number this slate now holds.
bool show_copy()
{
    read_copy copy;
    if (!read_copy_file(wide_text(copy_state.copy_path), &copy))
        return false;
    const recovery_header& h = *copy.header;
    notes.form = static_cast<notes_form>(h.form);
    notes.partly_shown = (h.flags & RECOVERY_PARTLY_SHOWN) != 0;
    notes.seen.exists = (h.flags & RECOVERY_SEEN_EXISTS) != 0;
    notes.seen.known = (h.flags & RECOVERY_SEEN_KNOWN) != 0;
    notes.seen.length = h.seen_length;
    notes.seen.hash = h.seen_hash;
    notes.unchanged_known = false;
    show_in_box(copy_wide_string(copy.text, h.units));
    return true;
}

}  // namespace

bool take_recovery_copy()
{
    InitializeCriticalSection(&copy_state.lock);
    remove_gone_temporaries();
    uint32_t number = 0;
    HANDLE claim = nullptr;
    if (take_newest_gone_copy(&number, &claim))
        return hold_number(number, claim) && show_copy();
    // A number of this slate's own: one nobody holds, without a copy left by
    // a gone slate.
    uint32_t start = GetCurrentProcessId() / PROCESS_ID_STEP;
    for (uint32_t i = 0; i < NUMBERED_NAME_SPACE; ++i) {
        number = (start + i) % NUMBERED_NAME_SPACE;
        string_handle copy = numbered_file_path(NUMBERED_RECOVERY_COPY, number);
        bool taken = !copy || file_exists(copy);
        release_string(copy);
        if (!taken && claim_number(number, &claim)) {
            hold_number(number, claim);
            break;
        }
    }
    return false;
}

void note_box_changed(HWND slate)
{
    if (!copy_state.active)
        return;
    copy_state.changed = true;
    if (!copy_state.timer_running)
        copy_state.timer_running = SetTimer(slate, RECOVERY_TIMER_ID, COPY_PERIOD_MS, nullptr) != 0;
}

void write_recovery_copy_when_due(HWND slate)
{
    if (!copy_state.active)
        return;
    if (!copy_state.changed) {
        KillTimer(slate, RECOVERY_TIMER_ID);
        copy_state.timer_running = false;
        return;
    }
    copy_state.changed = false;
    copy_job job = {};
    if (!take_job(slate, &job)) {
        remove_copy_files();
        return;
    }
    if (!start_writer()) {
        release_job(&job);
        return;
    }
    EnterCriticalSection(&copy_state.lock);
    if (copy_state.has_pending)
        release_job(&copy_state.pending);
    copy_state.pending = job;
    copy_state.has_pending = true;
    LeaveCriticalSection(&copy_state.lock);
    SetEvent(copy_state.wake);
}

void write_recovery_copy_now(HWND slate)
{
    if (!copy_state.active)
        return;
    if (copy_state.timer_running)
        KillTimer(slate, RECOVERY_TIMER_ID);
    copy_state.timer_running = false;
    copy_state.changed = false;
    settle_writer();
    copy_job job = {};
    if (!take_job(slate, &job)) {
        remove_copy_files();
        return;
    }
    write_copy(job);
    release_job(&job);
}

void settle_recovery_copy()
{
    if (!copy_state.active || !copy_state.writer)
        return;
    // A job not yet taken is written here, so that the copy on disk stays
    // the newest should the save fail.
    EnterCriticalSection(&copy_state.lock);
    copy_job job = copy_state.pending;
    bool taken = copy_state.has_pending;
    copy_state.has_pending = false;
    LeaveCriticalSection(&copy_state.lock);
    WaitForSingleObject(copy_state.idle, INFINITE);
    if (taken) {
        write_copy(job);
        release_job(&job);
    }
}

void discard_recovery_copy(HWND slate)
{
    if (!copy_state.active)
        return;
    if (copy_state.timer_running)
        KillTimer(slate, RECOVERY_TIMER_ID);
    copy_state.timer_running = false;
    copy_state.changed = false;
    remove_copy_files();
}
