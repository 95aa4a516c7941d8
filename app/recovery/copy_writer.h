// The thread that writes the recovery copy, with its events and its lock, in
// one object that owns them.  The slate's thread only takes the box's text
// and hands it over as a job; the thread converts it, writes it and renames
// it into place, or removes the copy when there is nothing to keep.  Every
// write and every removal goes through the thread in the order given, so no
// late write can bring back a copy that was removed.
//
// The slate never waits on the thread without a bound: a copy that cannot be
// written in time is skipped, and the copy on disk stays as it was.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "app/notes/notes_record.h"

// The box's text as taken on the slate's thread, and what the slate knew of
// the notes file then.
struct copy_job {
    wchar_t* text;  // owned, malloc'd; null: nothing to keep, the copy goes
    uint32_t units;
    notes_record record;
    // With record.base_known: the base of the merge (owned, malloc'd; null
    // for an empty base).
    wchar_t* base;
    uint32_t base_units;
};
void release_job(copy_job* job);

struct copy_writer {
    // Borrowed: the slate's copy paths, which stay unchanged while the
    // thread runs.
    const wchar_t* copy_path = nullptr;
    const wchar_t* temporary_path = nullptr;
    HANDLE thread = nullptr;  // owned: the writing thread, from the first job to the stop
    HANDLE wake = nullptr;    // owned auto-reset event: a job or the stop is waiting
    HANDLE idle = nullptr;    // owned manual-reset event: no job waits or is being written
    CRITICAL_SECTION lock;    // owned: guards the fields below, between the two threads
    copy_job pending = {};    // owned here until the thread takes it
    bool has_pending = false;
    bool stopping = false;
    uint32_t last_text_bytes = 0;  // the text's bytes in the last copy written

    copy_writer();
    copy_writer(const copy_writer&) = delete;
    copy_writer& operator=(const copy_writer&) = delete;
    ~copy_writer();
};

// Gives the thread a job, taken over; a job still waiting is dropped for it.
// A job that no thread can take is dropped too: the next one may find one.
void give_copy_job(copy_writer* writer, copy_job* job);
// Gives the job and waits, within the bound, until it is written; without a
// thread, carries it out on the caller's.  True when it was done in time.
bool write_copy_job_now(copy_writer* writer, copy_job* job);
// Waits, within the bound, until no job waits or is being written.
bool settle_copy_writer(copy_writer* writer);
// Settles, then ends the thread and closes what it used; jobs given later are
// dropped.  A thread still writing after the bound is left to the process's
// end.
void stop_copy_writer(copy_writer* writer);
// The text's bytes in the last copy written, which paces the next.
uint32_t last_copy_bytes(copy_writer* writer);
