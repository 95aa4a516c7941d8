// Per-thread run-time records, kept in one TLS slot.
#include "runtime/core/core.h"

thread_record* current_thread_record()
{
    if (g_runtime.tls_slot == TLS_OUT_OF_INDEXES)
        return nullptr;
    thread_record* record = static_cast<thread_record*>(TlsGetValue(g_runtime.tls_slot));
    if (record)
        return record;
    record = static_cast<thread_record*>(GlobalAlloc(GPTR, sizeof(thread_record)));
    if (!record)
        return nullptr;  // nothing attached
    TlsSetValue(g_runtime.tls_slot, record);
    InterlockedIncrement(&g_runtime.thread_count);
    if (const thread_record* main = g_runtime.main_thread) {
        // A new thread starts with the main thread's current settings.
        record->default_dialog_font = main->default_dialog_font;
        record->code_page = main->code_page;
    }
    return record;
}

void release_thread_record()
{
    if (g_runtime.tls_slot == TLS_OUT_OF_INDEXES)
        return;
    thread_record* record = static_cast<thread_record*>(TlsGetValue(g_runtime.tls_slot));
    if (!record)
        return;
    if (g_runtime.program)
        release_variables(g_runtime.program->thread_release);
    if (record == g_runtime.main_thread)
        g_runtime.main_thread = nullptr;
    GlobalFree(record);  // a failure here is of no consequence to the process
    TlsSetValue(g_runtime.tls_slot, nullptr);
    InterlockedDecrement(&g_runtime.thread_count);
}
