// The recovery copy, as the slate's thread keeps it.
#include "app/recovery/recovery_copy.h"

#include <stdlib.h>
#include <string.h>

#include "app/notes/box_text.h"
#include "app/notes/numbered_files.h"
#include "app/notes/owned_string.h"
#include "app/recovery/copy_number.h"
#include "app/recovery/copy_writer.h"
#include "runtime/strings/strings.h"

namespace {

// The copy timer of the slate: while the box changes, a copy is taken at its
// ticks, so at most once a second and, for small notes, within two seconds of
// a change.
const UINT COPY_PERIOD_MS = 1000;
// The copy's writes stay near this many bytes a second whatever the notes'
// size: after a copy of n bytes, the next is taken n / COPY_BYTES_PER_SECOND
// seconds later, when that is longer than the timer's period.
const uint32_t COPY_BYTES_PER_SECOND = 2 * 1024 * 1024;
const uint64_t MS_PER_SECOND = 1000;

// This slate's copy; everything here is the slate's thread's.
struct recovery_state {
    bool active = false;           // a number is held: the slate keeps a copy
    HWND slate = nullptr;          // the slate, whose timer paces the copy
    HWND box = nullptr;            // its notes box, whose text is copied
    HANDLE claim = nullptr;        // owned: the mutex of the number, held until the process ends
    owned_string copy_path;        // owned wide path of the copy
    owned_string temporary_path;   // owned wide path the copy is written at first
    bool changed = false;          // the box changed since the last copy was taken
    bool timer_running = false;
    DWORD last_taken = 0;          // GetTickCount when the last copy was taken; 0: none yet
    copy_writer writer;            // owns the writing thread
};
recovery_state copy_state;

// Holds the number from now on, and sets the copy's paths.
bool hold_number(uint32_t number, HANDLE claim)
{
    release_string(copy_state.copy_path.value);
    release_string(copy_state.temporary_path.value);
    copy_state.copy_path.value = numbered_file_path(NUMBERED_RECOVERY_COPY, number);
    copy_state.temporary_path.value = numbered_file_path(NUMBERED_RECOVERY_TEMPORARY, number);
    if (!copy_state.copy_path.value || !copy_state.temporary_path.value) {
        CloseHandle(claim);
        return false;
    }
    copy_state.claim = claim;
    copy_state.writer.copy_path = wide_text(copy_state.copy_path.value);
    copy_state.writer.temporary_path = wide_text(copy_state.temporary_path.value);
    copy_state.active = true;
    return true;
}

void let_go_number()
{
    CloseHandle(copy_state.claim);
    copy_state.claim = nullptr;
    copy_state.active = false;
}

// Shows the copy of a gone slate and takes over what it knew; false, with the
// box and the record as they were, when it cannot be shown whole.
bool show_copy(const read_copy& copy)
{
    notes_record restored = notes;
    string_handle text = wide_copy_text(copy);
    string_handle base = wide_copy_base(copy);
    uint32_t units = wide_units(text);
    if (!text || (copy.base_bytes > 0 && !base) || !restore_record(copy.notes, &restored)) {
        release_string(text);
        release_string(base);
        return false;
    }
    show_in_box(copy_state.box, text);
    if (static_cast<uint32_t>(GetWindowTextLengthW(copy_state.box)) != units) {
        SetWindowTextW(copy_state.box, L"");
        release_string(base);
        return false;
    }
    notes = restored;
    // The base the gone slate merged from, if it kept one.
    release_string(notes_base);
    notes_base = base;
    notes.base_known = copy.has_base;
    return true;
}

// The box's text and the notes record as a job.  False when the text cannot
// be had (memory ran out, the box gave nothing): the copy on disk is then the
// last good one, and stays.
bool take_job(copy_job* job)
{
    box_text text;
    if (!read_box_text(copy_state.box, &text))
        return false;
    job->record = notes;
    uint32_t base_units = wide_units(notes_base);
    job->base = nullptr;
    job->base_units = base_units;
    if (notes.base_known && base_units > 0) {
        job->base = static_cast<wchar_t*>(malloc(base_units * sizeof(wchar_t)));
        if (!job->base)
            return false;
        memcpy(job->base, wide_text(notes_base), base_units * sizeof(wchar_t));
    }
    job->units = text.count;
    job->text = text.take();
    return true;
}

void stop_timer()
{
    if (copy_state.timer_running)
        KillTimer(copy_state.slate, RECOVERY_TIMER_ID);
    copy_state.timer_running = false;
    copy_state.changed = false;
}

// How long after the last copy the next may be taken.
DWORD copy_interval_ms()
{
    uint64_t paced = last_copy_bytes(&copy_state.writer) * MS_PER_SECOND / COPY_BYTES_PER_SECOND;
    return paced > COPY_PERIOD_MS ? static_cast<DWORD>(paced) : COPY_PERIOD_MS;
}

}  // namespace

bool restore_recovery_copy(HWND slate, HWND box)
{
    copy_state.slate = slate;
    copy_state.box = box;
    remove_gone_temporaries();
    uint32_t number = 0;
    HANDLE claim = nullptr;
    {
        read_copy copy;
        if (take_newest_gone_copy(&number, &claim, &copy) && hold_number(number, claim)) {
            if (show_copy(copy))
                return true;
            // The number is let go and its copy stays for a later start,
            // whose slate may have the memory to show it; this slate takes
            // a number of its own, and never writes over that copy.
            let_go_number();
        }
    }
    if (take_free_number(&number, &claim))
        hold_number(number, claim);
    return false;
}

void note_box_changed()
{
    if (!copy_state.active)
        return;
    copy_state.changed = true;
    if (!copy_state.timer_running)
        copy_state.timer_running =
            SetTimer(copy_state.slate, RECOVERY_TIMER_ID, COPY_PERIOD_MS, nullptr) != 0;
}

void write_recovery_copy_when_due()
{
    if (!copy_state.active)
        return;
    if (!copy_state.changed) {
        stop_timer();
        return;
    }
    if (copy_state.last_taken != 0 && GetTickCount() - copy_state.last_taken < copy_interval_ms())
        return;  // the timer goes on: the change is copied at a later tick
    copy_job job = {};
    if (!take_job(&job))
        return;  // the change is copied at the next tick that can take it
    copy_state.changed = false;
    copy_state.last_taken = GetTickCount();
    give_copy_job(&copy_state.writer, &job);
}

void write_recovery_copy_now()
{
    if (!copy_state.active)
        return;
    stop_timer();
    copy_job job = {};
    if (take_job(&job))
        write_copy_job_now(&copy_state.writer, &job);
}

void settle_recovery_copy()
{
    if (copy_state.active)
        settle_copy_writer(&copy_state.writer);
}

void discard_recovery_copy()
{
    if (!copy_state.active)
        return;
    stop_timer();
    copy_job nothing = {};
    write_copy_job_now(&copy_state.writer, &nothing);
}

void stop_recovery_copy()
{
    stop_timer();
    stop_copy_writer(&copy_state.writer);
}
