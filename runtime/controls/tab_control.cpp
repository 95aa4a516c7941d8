// The window procedure put on tab controls: the dialogs whose records a tab
// control owns are its pages, kept on its display area as it moves and sizes.
#include <windows.h>
#include <commctrl.h>

#include "runtime/controls/controls.h"

namespace {

// The display area of a tab control, in its client coordinates.
RECT tab_display_area(HWND tab)
{
    RECT area = {0, 0, 0, 0};
    GetClientRect(tab, &area);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

// Calls SetWindowPos on every window whose record the tab control owns.
void place_pages(HWND tab, int x, int y, int width, int height, UINT flags)
{
    window_record* page = next_owned(tab, nullptr);
    while (page) {
        HWND window = page->hwnd;
        SetWindowPos(window, nullptr, x, y, width, height, flags);
        page = find_record(window);
        if (page)
            page = next_owned(tab, page);
    }
}

}  // namespace

LRESULT CALLBACK tab_control_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    const window_record* record = find_record(window);
    if (!record)
        return 0;
    const bool is_tab = record->class_index == ROW_TAB;
    WNDPROC kept = record->tab_procedure;
    record = nullptr;

    if (is_tab && message == WM_MOVE) {
        RECT area = tab_display_area(window);
        RECT frame = {0, 0, 0, 0};
        GetWindowRect(window, &frame);
        POINT corner = {frame.left, frame.top};
        if (HWND parent = reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_HWNDPARENT)))
            ScreenToClient(parent, &corner);
        place_pages(window, area.left + corner.x, area.top + corner.y, 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER);
        if (const window_record* moved = find_record(window))
            refresh_window(moved->owner);
        return 0;
    }
    if (is_tab && message == WM_SIZE) {
        RECT area = tab_display_area(window);
        place_pages(window, 0, 0, area.right - area.left, area.bottom - area.top,
                    SWP_NOMOVE | SWP_NOZORDER);
    }
    if (!kept)
        return DefWindowProcW(window, message, wparam, lparam);
    return CallWindowProcW(kept, window, message, wparam, lparam);
}
