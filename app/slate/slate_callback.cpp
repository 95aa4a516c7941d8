// The slate's dialog callback: forms the notes path and loads the notes (or
// the recovery copy of a slate that died or was closed) when the slate opens,
// keeps the focus across deactivation, keeps the recovery copy while the box
// changes and on the close command, carries out the two buttons, keeps the
// notes when the session ends, and ends the copy's thread with the slate.
#include "app/slate/slate_callback.h"

#include "app/notes/notes_load.h"
#include "app/notes/notes_path.h"
#include "app/notes/notes_save.h"
#include "app/recovery/recovery_copy.h"
#include "app/slate/notes_box.h"
#include "app/slate/slate_main.h"
#include "app/slate/slate_messages.h"
#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

HWND saved_focus;

namespace {

const uint32_t NOTIFY_CLICKED = BN_CLICKED;
const uint32_t NOTIFY_ACCELERATOR = 1;  // a command from an accelerator
const WPARAM SYSCOMMAND_MASK = 0xFFF0;  // the system's own low four bits

// Posted to itself when the slate opens without a notes file it could keep:
// the message comes once the slate is on the screen.
const UINT WM_NO_NOTES_FILE = WM_APP + 1;

// A message box is up: a second "Salir" meanwhile shows no second one.  A
// save is going on (it answers the messages sent to the slate while it waits
// for the lock or a busy file): a "Salir", "Borrar" or end of the session
// sent meanwhile waits for no second save.
bool message_up;
bool saving;

// Keeps the box's text in the notes file, once at a time.
save_outcome keep_box(HWND window)
{
    if (saving)
        return {ERROR_BUSY};
    saving = true;
    save_outcome outcome = keep_notes(control_handle(window, ID_NOTES_BOX));
    saving = false;
    return outcome;
}

void open_slate(HWND window)
{
    HWND box = control_handle(window, ID_NOTES_BOX);
    form_notes_path();
    if (!notes_path_state.valid)
        PostMessageW(window, WM_NO_NOTES_FILE, 0, 0);
    else if (!restore_recovery_copy(window, box) && notes_file_exists())
        load_notes(box);
}

// "Borrar": the box is emptied so that Ctrl+Z brings the text back, the
// notes file goes to the Recycle Bin, and the caret goes back to the box.
void clear_slate(HWND window)
{
    if (saving)
        return;
    saving = true;
    empty_notes_box(control_handle(window, ID_NOTES_BOX));
    discard_recovery_copy();
    remove_notes_file();
    saving = false;
    focus_notes_box(window);
}

// A save that fails keeps the slate open with the text, and says so; "Salir"
// again tries once more.
void leave_slate(HWND window)
{
    if (message_up || saving)
        return;
    settle_recovery_copy();
    save_outcome outcome = keep_box(window);
    if (outcome.failed()) {
        message_up = true;
        show_save_failure(window, outcome.error);
        message_up = false;
        return;
    }
    discard_recovery_copy();
    end_dialog(window, 0);
}

// The session really ends: the process will not live to see "Salir", so the
// notes typed since the start are kept now, as "Salir" would.  Nothing can
// be shown any more: the save is tried once, and when it fails the recovery
// copy stays for the next start.
void end_session(HWND window)
{
    settle_recovery_copy();
    if (keep_box(window).failed())
        write_recovery_copy_now();
    else
        discard_recovery_copy();
}

}  // namespace

callback_result slate_callback(HWND window, uint32_t message, message_word wparam,
                               message_word lparam)
{
    activation frame;
    (void)lparam;

    switch (message) {
    case WM_INITDIALOG:
        open_slate(window);
        break;

    case WM_NO_NOTES_FILE:
        message_up = true;
        show_no_notes_file(window);
        message_up = false;
        break;

    case WM_NCACTIVATE:
        if (wparam == 0) {
            saved_focus = GetFocus();
        } else if (saved_focus) {
            SetFocus(saved_focus);
            saved_focus = nullptr;
        }
        break;

    case WM_TIMER:
        if (wparam == RECOVERY_TIMER_ID)
            write_recovery_copy_when_due();
        break;

    case WM_SYSCOMMAND:
        // The close command (Alt+F4) leaves without touching the notes file,
        // but what was typed is not thrown away: it stays in the recovery
        // copy, which the next start shows as after a crash.
        if ((wparam & SYSCOMMAND_MASK) == SC_CLOSE)
            write_recovery_copy_now();
        break;

    case WM_COMMAND: {
        uint32_t id = LOWORD(wparam);
        uint32_t code = HIWORD(wparam);
        if (id == ID_NOTES_BOX && code == EN_CHANGE)
            note_box_changed();
        if (code != NOTIFY_CLICKED && code != NOTIFY_ACCELERATOR)
            break;
        if (id == ID_CLEAR_BUTTON)
            clear_slate(window);
        else if (id == ID_LEAVE_BUTTON)
            leave_slate(window);
        break;
    }

    case WM_DESTROY:
        // Nothing is written once the slate is gone: the copy's thread ends
        // with it, its last job done.
        stop_recovery_copy();
        break;

    case WM_ENDSESSION:
        if (wparam != 0)
            end_session(window);
        break;

    default:
        break;
    }
    return 0;
}
