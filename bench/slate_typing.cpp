// Typing into a running slate, and how long its thread is ever busy:
//   slate_typing.exe SECONDS EXPECTED_CHARACTERS COMMAND_LINE...
// starts the program, waits until its EDIT box holds the whole text, then for
// SECONDS types into the box (Backspace every TYPE_EVERY_MS) while it asks
// the slate's thread for an answer every PROBE_EVERY_MS.  The longest wait
// for an answer is the longest pause the user could see.  Prints "<max pause
// ms> <99th percentile ms> <answers> <characters the box lost>"; the program
// is ended (TerminateProcess) afterwards.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/clock.h"
#include "bench/window_search.h"

namespace {

const DWORD TYPE_EVERY_MS = 25;
const DWORD PROBE_EVERY_MS = 5;
const UINT ANSWER_TIMEOUT_MS = 60000;

// The slate's thread answers the probes from here, while main types.
struct probe_run {
    HWND slate;
    volatile bool stop;
    std::vector<double> waits;
};

DWORD WINAPI probe(void* data)
{
    probe_run* run = static_cast<probe_run*>(data);
    while (!run->stop) {
        double start = now_ms();
        DWORD_PTR unused = 0;
        SendMessageTimeoutW(run->slate, WM_NULL, 0, 0, SMTO_NORMAL, ANSWER_TIMEOUT_MS, &unused);
        run->waits.push_back(now_ms() - start);
        Sleep(PROBE_EVERY_MS);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: slate_typing SECONDS EXPECTED_CHARACTERS COMMAND_LINE\n");
        return 2;
    }
    double seconds = atof(argv[1]);
    long expected = atol(argv[2]);
    std::wstring command;
    for (int i = 3; i < argc; ++i) {
        wchar_t word[MAX_PATH * 2];
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, word, MAX_PATH * 2);
        command += (i > 3 ? L" \"" : L"\"") + std::wstring(word) + L"\"";
    }
    PROCESS_INFORMATION process = {};
    if (!start_program(command, &process.hProcess, &process.dwProcessId))
        return 3;

    window_search search = {process.dwProcessId, nullptr};
    HWND box = nullptr;
    double give_up = now_ms() + 600000;
    while (now_ms() < give_up) {
        if (!search.found)
            EnumWindows(find_shown_window, reinterpret_cast<LPARAM>(&search));
        if (search.found && !box)
            EnumChildWindows(search.found, find_edit, reinterpret_cast<LPARAM>(&box));
        DWORD_PTR length = 0;
        if (box && SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 600000, &length) &&
            static_cast<long>(length) >= expected)
            break;
        Sleep(5);
    }
    if (!box) {
        fprintf(stderr, "no slate\n");
        TerminateProcess(process.hProcess, 1);
        return 1;
    }
    DWORD_PTR loaded_length = 0;
    SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, ANSWER_TIMEOUT_MS, &loaded_length);
    // Typing goes to the end of the text, as the user's would.
    SendMessageW(box, EM_SETSEL, loaded_length, static_cast<LPARAM>(loaded_length));

    probe_run run = {search.found, false, {}};
    HANDLE prober = CreateThread(nullptr, 0, probe, &run, 0, nullptr);
    double stop_at = now_ms() + seconds * 1000.0;
    // A box of 1 MB holds more lines than it shows and more than its typing
    // limit, so it takes no new characters (on Windows too); the keys that
    // change it are those that take text away.  So the typing is Backspace
    // at the end of the text, every key a change the slate's copy follows.
    for (int typed = 1; now_ms() < stop_at; ++typed) {
        PostMessageW(box, WM_CHAR, VK_BACK, 1);
        Sleep(TYPE_EVERY_MS);
    }
    run.stop = true;
    DWORD_PTR typed_length = 0;
    SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, ANSWER_TIMEOUT_MS, &typed_length);
    WaitForSingleObject(prober, INFINITE);
    CloseHandle(prober);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);

    std::vector<double>& waits = run.waits;
    if (waits.empty())
        return 1;
    std::sort(waits.begin(), waits.end());
    printf("%.1f %.1f %u %ld\n", waits.back(), waits[waits.size() * 99 / 100],
           static_cast<unsigned>(waits.size()), static_cast<long>(loaded_length - typed_length));
    return 0;
}
