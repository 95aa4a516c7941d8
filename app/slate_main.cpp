// Application start and the slate's layout.
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

HWND slate_handle;

int32_t slate_main()
{
    activation frame;
    HMODULE library = LoadLibraryA("COMCTL32.DLL");
    if (library) {
        typedef BOOL(WINAPI * init_controls_fn)(const INITCOMMONCONTROLSEX*);
        init_controls_fn init_controls = reinterpret_cast<init_controls_fn>(
            reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
        if (init_controls) {
            INITCOMMONCONTROLSEX classes;
            classes.dwSize = 8;
            classes.dwICC = 0x9FF;  // ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_INTERNET_CLASSES
            init_controls(&classes);
        } else {
            InitCommonControls();
        }
        FreeLibrary(library);
    }
    show_slate(nullptr);
    return 0;
}

int32_t show_slate(HWND parent)
{
    activation frame;

    // Pixel units; no WS_SYSMENU, so the caption carries no buttons; topmost.
    push_owned(copy_wide_string(SLATE_CAPTION, sizeof SLATE_CAPTION / sizeof SLATE_CAPTION[0] - 1));
    slate_handle = create_dialog(2, parent, 105, 114, 1000, 700, 0x94C200D4u, WS_EX_TOPMOST);

    push_borrowed(STRING_LITERAL("#201"));
    to_wide_in_place(0);
    set_dialog_icon(slate_handle);

    // The notes box: multi-line, centred lines, Enter starts a new line, no
    // scroll bar and no automatic scrolling.
    push_empty();
    push_empty();
    add_control(9, slate_handle, ID_NOTES_BOX, nullptr, 6, 6, 990, 650, 0x50001005u,
                WS_EX_CLIENTEDGE, nullptr);
    set_control_color(slate_handle, ID_NOTES_BOX, 0xFFFFFF, make_color(0, 64, 0));

    push_empty();
    push_borrowed(STRING_LITERAL("Borrar"));
    to_wide_in_place(0);
    add_control(1, slate_handle, ID_CLEAR_BUTTON, nullptr, 8, 660, 56, 24, 0, 0, nullptr);

    push_empty();
    push_borrowed(STRING_LITERAL("Salir"));
    to_wide_in_place(0);
    add_control(1, slate_handle, ID_LEAVE_BUTTON, nullptr, 206, 660, 56, 24, 0, 0, nullptr);

    push_borrowed(STRING_LITERAL("Segoe Print"));
    to_wide_in_place(0);
    uint32_t button_font = create_font(10.0f, FONT_BOLD, 0, 0, 0);
    push_borrowed(STRING_LITERAL("Segoe Print"));
    to_wide_in_place(0);
    uint32_t notes_font = create_font(15.0f, FONT_BOLD, 0, 0, 0);

    set_control_font(slate_handle, ID_NOTES_BOX, notes_font);
    set_control_font(slate_handle, ID_CLEAR_BUTTON, button_font);
    set_control_font(slate_handle, ID_LEAVE_BUTTON, button_font);

    int32_t result = 0;
    show_dialog_modal(slate_handle, slate_callback, &result);

    // The controls gave their fonts back when the slate was destroyed.
    delete_font(button_font);
    delete_font(notes_font);
    return result;
}
