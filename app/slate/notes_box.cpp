// The notes box as the keyboard meets it: the first tab stop, given the focus
// when the slate opens, with the caret after the notes and nothing selected.
//
// The dialog manager selects all of an edit box's text whenever it gives it
// the focus (by Tab, Shift+Tab or activation), because the box answers
// WM_GETDLGCODE with DLGC_HASSETSEL; the next key would then replace every
// note.  The box's own procedure is wrapped to leave that flag out, so the
// caret stays where it last was.  A multi-line box also asks for every key
// (DLGC_WANTALLKEYS): Tab is left to the dialog manager, so that it moves
// between the box and the buttons.
#include "app/slate/notes_box.h"

#include "app/slate/slate_main.h"
#include "runtime/controls/controls.h"

namespace {

// The box's procedure before it was wrapped; set once, on the slate's thread.
WNDPROC box_procedure_before;

bool is_tab_key(LPARAM lparam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lparam);
    return message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
           message->wParam == VK_TAB;  // VK_TAB is also the tab character
}

LRESULT CALLBACK notes_box_procedure(HWND box, UINT message, WPARAM wparam, LPARAM lparam)
{
    LRESULT result = CallWindowProcW(box_procedure_before, box, message, wparam, lparam);
    if (message == WM_GETDLGCODE) {
        result &= ~static_cast<LRESULT>(DLGC_HASSETSEL);
        if (is_tab_key(lparam))
            result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
    }
    return result;
}

}  // namespace

void wrap_notes_box(HWND box)
{
    if (!box || box_procedure_before)
        return;
    box_procedure_before = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(notes_box_procedure)));
}

void empty_notes_box(HWND box)
{
    // EM_REPLACESEL with TRUE keeps what it replaces for the box's undo
    // (Ctrl+Z); setting the text would empty the undo as well.
    SendMessageW(box, EM_SETSEL, 0, -1);
    SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
}

void focus_notes_box(HWND slate)
{
    HWND box = control_handle(slate, ID_NOTES_BOX);
    if (box)
        SendMessageW(slate, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
}
