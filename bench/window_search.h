// Starting another program and finding its windows, for the benchmarks that
// drive the slate from outside: its first shown top-level window, and the
// EDIT box in it.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>

// Starts a command line; its process handle (owned by the caller) in
// *process.  False, said on stderr, when it cannot be started.
inline bool start_program(std::wstring command, HANDLE* process, DWORD* process_id)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        fprintf(stderr, "cannot start: error %lu\n", GetLastError());
        return false;
    }
    CloseHandle(started.hThread);
    *process = started.hProcess;
    *process_id = started.dwProcessId;
    return true;
}

struct window_search {
    DWORD process_id;
    HWND found;  // the process's first visible top-level window, or null
};

// For EnumWindows, with a window_search* as data.
inline BOOL CALLBACK find_shown_window(HWND window, LPARAM data)
{
    window_search* search = reinterpret_cast<window_search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process_id && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// For EnumChildWindows, with an HWND* as data: the first EDIT control.
inline BOOL CALLBACK find_edit(HWND window, LPARAM data)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpiW(name, L"Edit") == 0) {
        *reinterpret_cast<HWND*>(data) = window;
        return FALSE;
    }
    return TRUE;
}
