// Figures for the dialog engine (not part of CTest): dialog creation, the
// modal loop's answer time for a message posted from another thread, the
// processor time of an idle modal run, and registry lookups.
#include <stdio.h>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

namespace {

int32_t unused_entry(HINSTANCE, uint32_t, const wchar_t*, int32_t) { return 0; }
const program_image bench_program = {unused_entry, OPTION_BUILD_DEFAULT_FONTS, build_default_fonts,
                                     {nullptr, 0}, {nullptr, 0}};

double seconds_now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double process_cpu_seconds()
{
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}

HWND new_dialog()
{
    push_owned(copy_wide_string(L"bench", 5));
    return create_dialog(KIND_PIXELS, nullptr, 10, 10, 300, 200, 0, 0);
}

enum : uint32_t { STAMP = WM_APP + 1, STOP = WM_APP + 2 };

// The answer times of the modal loop, in seconds, filled by the callback.
struct latency_log {
    double posted_at = 0;
    double total = 0;
    double worst = 0;
    int count = 0;
};
latency_log g_latency;

callback_result latency_callback(HWND dialog, uint32_t message, message_word, message_word)
{
    activation frame;
    if (message == STAMP) {
        double waited = seconds_now() - g_latency.posted_at;
        g_latency.total += waited;
        if (waited > g_latency.worst)
            g_latency.worst = waited;
        ++g_latency.count;
    } else if (message == STOP) {
        end_dialog(dialog, 0);
    }
    return 0;
}

DWORD WINAPI poster(void* parameter)
{
    HWND dialog = static_cast<HWND>(parameter);
    Sleep(100);
    for (int i = 0; i < 200; ++i) {
        g_latency.posted_at = seconds_now();
        PostMessageW(dialog, STAMP, 0, 0);
        Sleep(5);
    }
    PostMessageW(dialog, STOP, 0, 0);
    return 0;
}

// Processor time and wall time from the start of the idle run to its timer.
struct idle_log {
    double cpu_start = 0, wall_start = 0, cpu = 0, wall = 0;
};
idle_log g_idle;

callback_result idle_callback(HWND dialog, uint32_t message, message_word, message_word)
{
    activation frame;
    if (message == WM_TIMER) {
        g_idle.cpu = process_cpu_seconds() - g_idle.cpu_start;
        g_idle.wall = seconds_now() - g_idle.wall_start;
        end_dialog(dialog, 0);
    }
    return 0;
}

}  // namespace

int main()
{
    start_runtime(bench_program);
    {
        activation frame;

        HWND probe = new_dialog();
        if (!probe) {
            printf("no dialog could be made: is there a display for this Wine prefix?\n");
            stop_runtime();
            return 1;
        }
        DestroyWindow(probe);

        const int dialogs = 200;
        double start = seconds_now();
        for (int i = 0; i < dialogs; ++i)
            DestroyWindow(new_dialog());
        double elapsed = seconds_now() - start;
        printf("create_dialog + DestroyWindow: %.3f ms per dialog (%d dialogs)\n",
               elapsed * 1000 / dialogs, dialogs);

        HWND dialog = new_dialog();
        HANDLE thread = CreateThread(nullptr, 0, poster, dialog, 0, nullptr);
        show_dialog_modal(dialog, latency_callback, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        if (g_latency.count)
            printf("modal loop, message posted from another thread to callback: mean %.3f ms, worst %.3f ms (%d messages)\n",
                   g_latency.total * 1000 / g_latency.count, g_latency.worst * 1000, g_latency.count);

        dialog = new_dialog();
        SetTimer(dialog, 1, 2000, nullptr);
        g_idle.cpu_start = process_cpu_seconds();
        g_idle.wall_start = seconds_now();
        show_dialog_modal(dialog, idle_callback, nullptr);
        printf("idle modal run (the loop polls every millisecond): %.2f s of processor time in %.2f s (%.1f%% of one processor)\n",
               g_idle.cpu, g_idle.wall, 100 * g_idle.cpu / g_idle.wall);

        // Lookups in a registry of 1000 records (plain windows registered
        // by hand), the last registered found first.
        const int records = 1000;
        HWND windows[records];
        for (int i = 0; i < records; ++i) {
            windows[i] = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
            register_window(windows[i], nullptr, KIND_CONTROL, 5);
        }
        const int lookups = 100000;
        volatile uintptr_t sink = 0;
        start = seconds_now();
        for (int i = 0; i < lookups; ++i)
            sink = sink + reinterpret_cast<uintptr_t>(find_record(windows[i % records]));
        elapsed = seconds_now() - start;
        printf("find_record among %d records: %.3f us per lookup (uniform over the list)\n", records,
               elapsed * 1e6 / lookups);
        for (int i = 0; i < records; ++i) {
            release_window_record(windows[i]);
            DestroyWindow(windows[i]);
        }
    }
    stop_runtime();
    return 0;
}
