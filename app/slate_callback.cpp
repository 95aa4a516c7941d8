// The slate's dialog callback: forms the notes path and loads the notes when
// the slate opens, keeps the focus across deactivation, carries out the two
// buttons, and keeps the notes when the session ends.
#include <windows.h>

#include <string.h>

#include "app/app.h"
#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

HWND saved_focus;

namespace {

const uint32_t NOTIFY_CLICKED = BN_CLICKED;
const uint32_t NOTIFY_ACCELERATOR = 1;  // a command from an accelerator

// The message of a save that failed, in the slate's language: the file, the
// system's reason, and that the text is still there.
const wchar_t SAVE_FAILED_HEAD[] = L"No se pudieron guardar las notas en el archivo\r\n";
const wchar_t SAVE_FAILED_TAIL[] =
    L"\r\n\r\nEl texto sigue en la pizarra. Pulse \"Salir\" para intentarlo de nuevo.";
const uint32_t REASON_UNITS = 512;

uint32_t units_of(const wchar_t* text)
{
    return static_cast<uint32_t>(lstrlenW(text));
}

// Appends wide text at *end.
void put_units(wchar_t** end, const wchar_t* text, uint32_t units)
{
    memcpy(*end, text, units * sizeof(wchar_t));
    *end += units;
}

// The system's words for an error, without the line end it ends with.
void system_reason(DWORD error, wchar_t* reason)
{
    DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reason, REASON_UNITS, nullptr);
    while (units > 0 && (reason[units - 1] == L'\r' || reason[units - 1] == L'\n' ||
                         reason[units - 1] == L' '))
        --units;
    if (units == 0)
        wsprintfW(reason, L"Error %lu", error);
    else
        reason[units] = 0;
}

// Tells the user that the notes were not saved; the slate stays open with
// the text untouched.  The box is owned by the slate.
void show_save_failure(HWND window, DWORD error)
{
    activation frame;
    wchar_t reason[REASON_UNITS];
    system_reason(error, reason);
    push_notes_file_path();
    string_handle file = pop_string();
    uint32_t total = units_of(SAVE_FAILED_HEAD) + wide_units(file) + 4 + units_of(reason) +
                     units_of(SAVE_FAILED_TAIL);
    string_handle message = alloc_wide_string(total);
    if (message) {
        wchar_t* end = const_cast<wchar_t*>(wide_text(message));
        put_units(&end, SAVE_FAILED_HEAD, units_of(SAVE_FAILED_HEAD));
        put_units(&end, wide_text(file), wide_units(file));
        put_units(&end, L"\r\n\r\n", 4);
        put_units(&end, reason, units_of(reason));
        put_units(&end, SAVE_FAILED_TAIL, units_of(SAVE_FAILED_TAIL));
    }
    MessageBoxW(window, message ? wide_text(message) : reason, SLATE_CAPTION,
                MB_OK | MB_ICONERROR);
    release_string(message);
    release_string(file);
}

}  // namespace

callback_result slate_callback(HWND window, uint32_t message, message_word wparam,
                               message_word lparam)
{
    activation frame;
    (void)lparam;

    switch (message) {
    case WM_INITDIALOG:
        form_notes_path();
        if (notes.path_valid && notes_file_exists())
            load_notes();
        break;

    case WM_NCACTIVATE:
        if (wparam == 0) {
            saved_focus = GetFocus();
        } else if (saved_focus) {
            SetFocus(saved_focus);
            saved_focus = nullptr;
        }
        break;

    case WM_COMMAND: {
        uint32_t id = LOWORD(wparam);
        uint32_t code = HIWORD(wparam);
        if (code != NOTIFY_CLICKED && code != NOTIFY_ACCELERATOR)
            break;
        if (id == ID_CLEAR_BUTTON) {
            push_empty();
            to_wide_in_place(0);
            set_control_text(control_handle(window, ID_NOTES_BOX));
            remove_notes_file();
        } else if (id == ID_LEAVE_BUTTON) {
            // A save that fails keeps the slate open with the text, and says
            // so; "Salir" again tries once more.
            save_outcome outcome = keep_notes(window);
            if (outcome.failed())
                show_save_failure(window, outcome.error);
            else
                end_dialog(window, 0);
        }
        break;
    }

    case WM_ENDSESSION:
        // The session really ends: the process will not live to see "Salir",
        // so the notes typed since the start are kept now, as "Salir" would.
        // Nothing can be shown any more: the save is tried once.
        if (wparam != 0)
            keep_notes(window);
        break;

    default:
        break;
    }
    return 0;
}
