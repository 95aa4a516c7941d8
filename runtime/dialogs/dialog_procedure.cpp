// The dialog procedure of every dialog the engine makes.
//
// Callbacks may end the dialog (end_dialog destroys the window and frees the
// records of the dialog and its controls before the callback returns), so no
// record pointer is kept across a callback call: after each one, records are
// found again by window handle.
#include <windows.h>
#include <commctrl.h>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"

HWND g_active_dialog = nullptr;
int32_t g_live_dialogs = 0;

// A WM_SYSCOMMAND code without its low four bits, which the system uses itself.
const WPARAM SYSCOMMAND_MASK = 0xFFF0;

namespace {

// A non-zero callback result ends the handling.  A callback that stored its
// own message result keeps it; otherwise the result itself becomes the
// message result.  The message result is pointer-sized: read and written
// whole, a negative result keeps its sign in the 64-bit program.
INT_PTR by_result_rule(HWND dialog, callback_result result)
{
    if (GetWindowLongPtrW(dialog, DWLP_MSGRESULT) == 0)
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return result;
}

callback_result call_back(dialog_callback callback, HWND dialog, UINT message, WPARAM wparam,
                          LPARAM lparam)
{
    return callback(dialog, message, static_cast<message_word>(wparam),
                    static_cast<message_word>(lparam));
}

// The control callback of `sender`, or 0 when it has no control record or
// no callback.
dialog_callback control_callback_of(HWND sender)
{
    const window_record* record = find_record(sender);
    if (!record || !(record->kind & KIND_CONTROL))
        return nullptr;
    return record->callback;
}

bool is_control_of_class(HWND window, uint32_t class_index)
{
    const window_record* record = find_record(window);
    return record && (record->kind & KIND_CONTROL) && record->class_index == class_index;
}

// Hides the page of the current tab before the selection changes and shows
// the new one after it.  The page is the item's parameter.
void switch_tab_page(HWND tab, UINT code)
{
    LRESULT current = SendMessageW(tab, TCM_GETCURSEL, 0, 0);
    if (current < 0)
        return;
    TCITEMW item = {};
    item.mask = TCIF_PARAM;
    SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(current), reinterpret_cast<LPARAM>(&item));
    HWND page = reinterpret_cast<HWND>(item.lParam);
    if (!page)
        return;
    int command = code == static_cast<UINT>(TCN_SELCHANGE) ? SW_SHOW : SW_HIDE;
    if (window_record* record = find_record(page))
        record->show_command = command;
    ShowWindow(page, command);
}

// WM_NOTIFY: tab pages, then the sender's control callback, then the
// dialog callback.  No default handling.
INT_PTR handle_notify(HWND dialog, WPARAM wparam, LPARAM lparam)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
    if (!header)
        return 0;  // not a notification any control sends
    HWND sender = header->hwndFrom;
    UINT code = header->code;

    if (is_control_of_class(sender, ROW_TAB) &&
        (code == static_cast<UINT>(TCN_SELCHANGING) || code == static_cast<UINT>(TCN_SELCHANGE)))
        switch_tab_page(sender, code);

    if (dialog_callback callback = control_callback_of(sender)) {
        callback_result result = call_back(callback, dialog, WM_NOTIFY, wparam, lparam);
        if (result != 0)
            return by_result_rule(dialog, result);
    }

    const window_record* record = find_record(dialog);
    if (!record || !record->callback)
        return 0;
    return by_result_rule(dialog, call_back(record->callback, dialog, WM_NOTIFY, wparam, lparam));
}

// A command from a menu item whose application data names a callback, or
// from a toolbar button whose data word names one; 0 when there is none.
dialog_callback command_callback_of(HWND dialog, UINT id, HWND sender)
{
    if (HMENU menu = GetMenu(dialog)) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_DATA;
        if (GetMenuItemInfoW(menu, id, FALSE, &info) && info.dwItemData)
            return reinterpret_cast<dialog_callback>(info.dwItemData);
    }
    if (sender && is_control_of_class(sender, ROW_TOOLBAR)) {
        LRESULT index = SendMessageW(sender, TB_COMMANDTOINDEX, id, 0);
        TBBUTTON button = {};
        if (SendMessageW(sender, TB_GETBUTTON, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&button)) &&
            button.dwData)
            return reinterpret_cast<dialog_callback>(button.dwData);
    }
    return nullptr;
}

// WM_DRAWITEM for a graphic control: its off-screen picture is copied to the
// item.  1 when the item was drawn.
INT_PTR draw_graphic_item(LPARAM lparam)
{
    const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    if (!item || !(item->itemAction & ODA_DRAWENTIRE))
        return 0;
    const window_record* control = find_record(item->hwndItem);
    if (!control || control->class_index != ROW_GRAPHIC)
        return 0;
    const record_word* block = control->graphic_block;
    HDC picture = reinterpret_cast<HDC>(block[GRAPHIC_MEMORY_DC]);
    const RECT& area = item->rcItem;
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (block[GRAPHIC_STRETCHED])
        StretchBlt(item->hDC, area.left, area.top, width, height, picture, 0, 0,
                   static_cast<int>(block[GRAPHIC_PICTURE_WIDTH]),
                   static_cast<int>(block[GRAPHIC_PICTURE_HEIGHT]), SRCCOPY);
    else
        BitBlt(item->hDC, area.left, area.top, width, height, picture, 0, 0, SRCCOPY);
    return 1;
}

// WM_SIZE goes on to the dialog's status bars and toolbars, newest first.
void size_bars(HWND dialog, WPARAM wparam, LPARAM lparam)
{
    window_record* bar = next_owned_bar(dialog, nullptr);
    while (bar) {
        HWND window = bar->hwnd;
        SendMessageW(window, WM_SIZE, wparam, lparam);
        bar = find_record(window);  // released meanwhile: the walk ends
        if (bar)
            bar = next_owned_bar(dialog, bar);
    }
}

// What the engine does when the callback is missing or left the message
// alone: release on WM_NCDESTROY, graphic items and colours (only for a
// dialog with a record), then the close command and size changes.
// `has_record` says whether the dialog had a record before its callback ran.
INT_PTR default_handling(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam,
                                bool has_record)
{
    if (has_record) {
        switch (message) {
        case WM_NCDESTROY:
            release_window_record(dialog);
            return 1;
        case WM_DRAWITEM:
            return draw_graphic_item(lparam);
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC: {
            HWND child = message == WM_CTLCOLORDLG ? dialog : reinterpret_cast<HWND>(lparam);
            return reinterpret_cast<INT_PTR>(
                answer_ctlcolor(dialog, message, reinterpret_cast<HDC>(wparam), child));
        }
        default:
            break;
        }
    }

    if (message == WM_SYSCOMMAND && (wparam & SYSCOMMAND_MASK) == SC_CLOSE) {
        const window_record* record = find_record(dialog);
        if (!record)
            return 0;
        if (record->graphic_flags & GRAPHIC_IGNORE_CLOSE)
            return 1;
        end_dialog(dialog, 0);
        return 1;
    }
    if (message == WM_SIZE) {
        size_bars(dialog, wparam, lparam);
        return 0;
    }
    return 0;
}

// The dialog callback, then the engine's defaults.
INT_PTR pass_to_dialog_callback(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    const window_record* record = find_record(dialog);
    if (!record)
        return default_handling(dialog, message, wparam, lparam, false);
    if (dialog_callback callback = record->callback) {
        record = nullptr;  // the callback may free it
        callback_result result = call_back(callback, dialog, message, wparam, lparam);
        if (result != 0) {
            // The window is gone whatever the callback answers: a record kept
            // now would hold a handle the window system may give to a new
            // window.
            if (message == WM_NCDESTROY)
                release_window_record(dialog);
            return by_result_rule(dialog, result);
        }
    }
    return default_handling(dialog, message, wparam, lparam, true);
}

}  // namespace

INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The window system's own WM_INITDIALOG comes before the record
        // exists; the callback gets its WM_INITDIALOG from show_dialog_modal.
        ++g_live_dialogs;
        return 0;

    case WM_DESTROY: {
        --g_live_dialogs;
        INT_PTR result = pass_to_dialog_callback(window, message, wparam, lparam);
        // The controls still exist now, and are gone by WM_NCDESTROY.
        destroy_owned_image_lists(window);
        return result;
    }

    case WM_NOTIFY:
        return handle_notify(window, wparam, lparam);

    case WM_ACTIVATE:
        switch (LOWORD(wparam)) {
        case WA_ACTIVE:
        case WA_CLICKACTIVE:
            g_active_dialog = window;
            return 0;
        case WA_INACTIVE:
            g_active_dialog = nullptr;
            return 0;
        default:
            return pass_to_dialog_callback(window, message, wparam, lparam);
        }

    case WM_COMMAND: {
        UINT id = LOWORD(wparam);
        UINT code = HIWORD(wparam);
        HWND sender = reinterpret_cast<HWND>(lparam);
        if (code == CBN_CLOSEUP)
            g_dropped_combo = nullptr;
        else if (code == CBN_DROPDOWN)
            g_dropped_combo = sender;

        if (!GetDlgItem(window, static_cast<int>(id))) {
            if (dialog_callback callback = command_callback_of(window, id, sender)) {
                callback_result result = call_back(callback, window, message, wparam, lparam);
                if (result != 0)
                    return by_result_rule(window, result);
            }
            return pass_to_dialog_callback(window, message, wparam, lparam);
        }
        // A command from a child control: its control callback first.
        [[fallthrough]];
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (dialog_callback callback = control_callback_of(reinterpret_cast<HWND>(lparam))) {
            callback_result result = call_back(callback, window, message, wparam, lparam);
            if (result != 0)
                return by_result_rule(window, result);
        }
        return pass_to_dialog_callback(window, message, wparam, lparam);

    default:
        return pass_to_dialog_callback(window, message, wparam, lparam);
    }
}
