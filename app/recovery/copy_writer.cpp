// The recovery copy's writing thread.
#include "app/recovery/copy_writer.h"

#include <stdlib.h>

#include "app/recovery/copy_format.h"

namespace {

// The longest the slate's thread waits for the writing thread: a copy of a
// few megabytes is written and flushed well within it, and the rename's own
// retries end within half a second.
const DWORD WRITER_WAIT_MS = 2000;

// Carries a job out on the calling thread: the copy is written, or removed
// when there is nothing to keep (an empty box, or the text the notes file
// holds).  The text bytes written, or 0.  A copy that cannot be written is
// not reported: the copy on disk stays as it was, and the save says what
// matters when it fails too.
uint32_t carry_out(const copy_writer& writer, const copy_job& job)
{
    if (!job.text || is_unchanged(job.record, job.text, job.units)) {
        DeleteFileW(writer.copy_path);
        DeleteFileW(writer.temporary_path);
        return 0;
    }
    uint32_t bytes = 0;
    if (write_copy_file(writer.temporary_path, writer.copy_path, job, &bytes) != 0)
        return 0;
    return bytes;
}

struct locked {
    CRITICAL_SECTION* lock;
    explicit locked(CRITICAL_SECTION* section) : lock(section) { EnterCriticalSection(lock); }
    ~locked() { LeaveCriticalSection(lock); }
    locked(const locked&) = delete;
    locked& operator=(const locked&) = delete;
};

DWORD WINAPI run_writer(void* data)
{
    copy_writer* writer = static_cast<copy_writer*>(data);
    for (;;) {
        // The writing thread's own wait: it has nothing to do until woken.
        WaitForSingleObject(writer->wake, INFINITE);
        copy_job job = {};
        {
            locked hold(&writer->lock);
            if (!writer->has_pending) {
                if (writer->stopping)
                    return 0;
                continue;
            }
            job = writer->pending;
            writer->pending = {};
            writer->has_pending = false;
        }
        uint32_t bytes = carry_out(*writer, job);
        release_job(&job);
        locked hold(&writer->lock);
        if (bytes)
            writer->last_text_bytes = bytes;
        if (!writer->has_pending)
            SetEvent(writer->idle);
        if (writer->stopping)
            SetEvent(writer->wake);  // the stop may have come while this job was written
    }
}

// The thread, started at the first job; the events are made once, so a
// thread that cannot be started now leaves nothing behind for the next try.
bool start_writer(copy_writer* writer)
{
    if (writer->thread)
        return true;
    if (writer->stopping)
        return false;
    if (!writer->wake)
        writer->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!writer->idle)
        writer->idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (writer->wake && writer->idle)
        writer->thread = CreateThread(nullptr, 0, run_writer, writer, 0, nullptr);
    return writer->thread != nullptr;
}

void close_handle(HANDLE* handle)
{
    if (*handle)
        CloseHandle(*handle);
    *handle = nullptr;
}

}  // namespace

void release_job(copy_job* job)
{
    free(job->text);
    free(job->base);
    job->text = job->base = nullptr;
    job->units = job->base_units = 0;
}

copy_writer::copy_writer()
{
    InitializeCriticalSection(&lock);
}

copy_writer::~copy_writer()
{
    stop_copy_writer(this);
    if (thread)
        return;  // still writing at the process's end: it keeps what it uses
    close_handle(&wake);
    close_handle(&idle);
    release_job(&pending);
    DeleteCriticalSection(&lock);
}

void give_copy_job(copy_writer* writer, copy_job* job)
{
    if (!start_writer(writer)) {
        release_job(job);
        return;
    }
    locked hold(&writer->lock);
    release_job(&writer->pending);
    writer->pending = *job;
    *job = {};
    writer->has_pending = true;
    ResetEvent(writer->idle);
    SetEvent(writer->wake);
}

bool write_copy_job_now(copy_writer* writer, copy_job* job)
{
    if (start_writer(writer)) {
        give_copy_job(writer, job);
        return settle_copy_writer(writer);
    }
    if (!writer->stopping)
        carry_out(*writer, *job);
    release_job(job);
    return !writer->stopping;
}

bool settle_copy_writer(copy_writer* writer)
{
    return !writer->thread || WaitForSingleObject(writer->idle, WRITER_WAIT_MS) == WAIT_OBJECT_0;
}

void stop_copy_writer(copy_writer* writer)
{
    if (writer->stopping)
        return;
    if (!writer->thread) {
        writer->stopping = true;
        return;
    }
    settle_copy_writer(writer);
    {
        locked hold(&writer->lock);
        writer->stopping = true;
        SetEvent(writer->wake);
    }
    if (WaitForSingleObject(writer->thread, WRITER_WAIT_MS) != WAIT_OBJECT_0)
        return;
    close_handle(&writer->thread);
}

uint32_t last_copy_bytes(copy_writer* writer)
{
    locked hold(&writer->lock);
    return writer->last_text_bytes;
}
