// Dialog icons: a large and a small icon from an icon resource of the
// program, owned by the dialog's record.
#include <windows.h>

#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

namespace {

enum { LARGE_ICON_PIXELS = 32, SMALL_ICON_PIXELS = 16 };

// Loads one size, gives it to the dialog and stores it in the record in
// place of the icon there before, which is destroyed.  False when the icon
// could not be loaded or the dialog's record went away meanwhile.
bool replace_icon(HWND dialog, const wchar_t* name, int size, WPARAM which)
{
    HICON icon = static_cast<HICON>(LoadImageW(g_runtime.instance, name, IMAGE_ICON, size, size, 0));
    if (!icon)
        return false;
    SendMessageW(dialog, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    window_record* record = find_record(dialog);
    if (!record) {
        // Released while the message ran: nothing owns the icon but us.
        DestroyIcon(icon);
        return false;
    }
    HICON* slot = which == ICON_BIG ? &record->large_icon : &record->small_icon;
    HICON previous = *slot;
    *slot = icon;
    if (previous && previous != icon)
        DestroyIcon(previous);
    return true;
}

}  // namespace

void set_dialog_icon(HWND dialog)
{
    string_handle name = pop_string();
    const window_record* record = find_record(dialog);
    if (record && !(record->kind & KIND_CONTROL) &&
        replace_icon(dialog, wide_text(name), LARGE_ICON_PIXELS, ICON_BIG))
        replace_icon(dialog, wide_text(name), SMALL_ICON_PIXELS, ICON_SMALL);
    release_string(name);
}
