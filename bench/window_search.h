// Finding another program's windows, for the benchmarks that drive the slate
// from outside: its first shown top-level window, and the EDIT box in it.
#pragma once

#include <windows.h>

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
