// The slate's dialog callback: forms the notes path and loads the notes when
// the slate opens, keeps the focus across deactivation, carries out the two
// buttons, and keeps the notes when the session ends.
#include <windows.h>

#include "app/app.h"
#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

HWND saved_focus;
char notes_path[255];
int32_t notes_path_valid;
int32_t notes_unread;

namespace {

const uint32_t NOTIFY_CLICKED = 0;      // BN_CLICKED
const uint32_t NOTIFY_ACCELERATOR = 1;  // a command from an accelerator

// The file layer opens at most this many units of a path; a longer one would
// be cut and name some other file.  The notes file and the temporary file of a
// save ("veslinn.new") have names of the same length.
const uint32_t OPENED_PATH_LIMIT = 255;
const uint32_t NOTES_NAME_LENGTH = 11;

// Fills notes_path with the executable's folder.  When the executable's path
// does not fit the fixed buffers it would be cut, and the cut path names some
// other folder: the slate then keeps no notes file at all.
void form_notes_path()
{
    activation frame;
    char executable[260] = {};
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), executable, 255);
    notes_path[0] = 0;
    notes_path_valid = 0;
    // A length of 255 means the path was cut to fit (Windows XP leaves it
    // without a terminator; the buffer was zeroed, so it is terminated).
    if (length == 0 || length >= 255)
        return;

    push_zstring(executable);
    push_borrowed(STRING_LITERAL("\\"));
    int32_t last_separator = find_string(-1);

    // A folder that leaves no room for the file name in an opened path counts
    // as too long too (byte length: never fewer than the wide units).
    if (static_cast<uint32_t>(last_separator) + NOTES_NAME_LENGTH > OPENED_PATH_LIMIT)
        return;

    push_zstring(executable);
    mid_string(1, last_separator);
    store_zstring(notes_path, sizeof notes_path);
    notes_path_valid = -1;
}

// Sets the notes file's attributes to 0 and deletes it; a file that is not
// there is no failure here.
void remove_notes_file()
{
    activation frame;
    push_zstring(notes_path);
    push_borrowed(STRING_LITERAL("veslinn.txt"));
    concat_strings();
    to_wide_in_place(0);
    set_file_attributes(0);
    clear_error();

    push_zstring(notes_path);
    push_borrowed(STRING_LITERAL("veslinn.txt"));
    concat_strings();
    to_wide_in_place(0);
    delete_file();
    clear_error();
}

bool is_single_line_end(string_handle text)
{
    return string_bytes(text) == 2 && string_text(text)[0] == '\r' && string_text(text)[1] == '\n';
}

// Saves the box's text when it is not empty.  Notes that could not be read
// at the start are not replaced by the empty line shown in their place.
void keep_notes(HWND window)
{
    activation frame;
    string_handle text = 0;
    frame.release_at_exit(&text);

    get_control_text(control_handle(window, ID_NOTES_BOX));
    to_bytes_in_place(0);
    assign_string(&text);
    push_borrowed(text);
    if (string_length() == 0 || !notes_path_valid)
        return;
    if (notes_unread && is_single_line_end(text))
        return;
    save_notes(&text);
}

}  // namespace

int32_t slate_callback(HWND window, uint32_t message, uint32_t wparam, uint32_t lparam)
{
    activation frame;
    (void)lparam;

    switch (message) {
    case WM_INITDIALOG: {
        form_notes_path();
        if (!notes_path_valid)
            break;
        char full_path[1024];
        push_zstring(notes_path);
        push_borrowed(STRING_LITERAL("veslinn.txt"));
        concat_strings();
        store_zstring(full_path, sizeof full_path);
        if (notes_file_exists(full_path))
            load_notes();
        break;
    }

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
            if (notes_path_valid)
                remove_notes_file();
        } else if (id == ID_LEAVE_BUTTON) {
            keep_notes(window);
            end_dialog(window, 0);
        }
        break;
    }

    case WM_ENDSESSION:
        // The session really ends: the process will not live to see "Salir",
        // so the notes typed since the start are kept now, as "Salir" would.
        if (wparam != 0)
            keep_notes(window);
        break;

    default:
        break;
    }
    return 0;
}
