// Times one program from its start until it shows a window with its text:
//   slate_start_timer.exe EXPECTED_CHARACTERS COMMAND_LINE...
// prints "<visible ms> <ready ms> <process id>": visible is the first moment
// a window of the process is shown; ready is the first moment after that at
// which its EDIT box answers with the whole text (the answer comes from the
// program's message loop, so loading is done by then).  The process is ended
// afterwards unless --keep is given first, in which case the timer leaves it
// running and prints its id for the caller to measure and end.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "bench/window_search.h"

namespace {

double elapsed_ms(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main()
{
    // The command line after the timer's own arguments is passed on unchanged.
    std::wstring line = GetCommandLineW();
    auto skip_word = [&line]() {
        size_t i = line.find_first_not_of(L' ');
        if (i == std::wstring::npos) {
            line.clear();
            return std::wstring();
        }
        size_t end = line[i] == L'"' ? line.find(L'"', i + 1) + 1 : line.find(L' ', i);
        if (end == std::wstring::npos || end == 0)
            end = line.size();
        std::wstring word = line.substr(i, end - i);
        line = line.substr(end);
        return word;
    };
    skip_word();  // the timer itself
    std::wstring first = skip_word();
    bool keep = first == L"--keep";
    std::wstring expected_text = keep ? skip_word() : first;
    long expected = wcstol(expected_text.c_str(), nullptr, 10);
    size_t rest = line.find_first_not_of(L' ');
    if (expected <= 0 || rest == std::wstring::npos) {
        fprintf(stderr, "usage: slate_start_timer [--keep] EXPECTED_CHARACTERS COMMAND_LINE\n");
        return 2;
    }
    std::wstring command = line.substr(rest);

    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!start_program(command, &process.hProcess, &process.dwProcessId))
        return 3;

    window_search search = {process.dwProcessId, nullptr};
    double visible = -1, ready = -1;
    while (ready < 0 && elapsed_ms(start) < 600000) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (!search.found) {
            EnumWindows(find_shown_window, reinterpret_cast<LPARAM>(&search));
            if (!search.found) {
                Sleep(1);
                continue;
            }
            visible = elapsed_ms(start);
        }
        HWND box = nullptr;
        EnumChildWindows(search.found, find_edit, reinterpret_cast<LPARAM>(&box));
        DWORD_PTR length = 0;
        if (box && SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 600000, &length) &&
            static_cast<long>(length) >= expected)
            ready = elapsed_ms(start);
        else
            Sleep(1);
    }
    printf("%.1f %.1f %lu\n", visible, ready, process.dwProcessId);
    if (!keep) {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hProcess);
    return ready < 0 ? 1 : 0;
}
