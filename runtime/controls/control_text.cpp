// Control handles and control text.  Texts cross as wide strings on the
// temporary-string stack.
#include <windows.h>

#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

HWND control_handle(HWND dialog, uint32_t id)
{
    return GetDlgItem(dialog, static_cast<int>(id));
}

HWND window_of(HWND dialog, uint32_t id)
{
    return id == SELF_ID ? dialog : control_handle(dialog, id);
}

void set_control_text(HWND window)
{
    // An empty text is an empty wide string, never a null pointer.
    SetWindowTextW(window, wide_text(peek_string()));
    pop_release();
}

void get_control_text(HWND window)
{
    int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        push_empty();
        return;
    }
    string_handle buffer = alloc_wide_string(static_cast<uint32_t>(length) + 1);
    if (!buffer) {
        push_empty();
        return;
    }
    wchar_t* units = const_cast<wchar_t*>(wide_text(buffer));
    int copied = GetWindowTextW(window, units, length + 1);
    // The text may have shrunk in between: keep only what was copied.
    string_handle result = copied > 0 ? copy_wide_string(units, static_cast<uint32_t>(copied)) : 0;
    release_string(buffer);
    push_owned(result);
}
