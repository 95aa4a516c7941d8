// Application start and the slate's layout.
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

HWND slate_handle;

namespace {

// The common-control classes the slate's run-time offers.
const DWORD SLATE_CONTROL_CLASSES = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_INTERNET_CLASSES;
static_assert(SLATE_CONTROL_CLASSES == 0x9FF, "the common-control classes the slate asks for");

// The slate: shown when it runs, a caption without a system menu (so without
// caption buttons, although it may be minimised), a modal frame, the
// template's font, no failure for a missing control, and 3D borders.
const DWORD SLATE_STYLE = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_MINIMIZEBOX |
                          DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK;
static_assert(SLATE_STYLE == 0x94C200D4u, "the slate's documented style word");

// The notes box: multi-line, centred lines, Enter starts a new line, no
// scroll bar and no automatic scrolling.
const DWORD NOTES_BOX_STYLE = WS_CHILD | WS_VISIBLE | ES_WANTRETURN | ES_MULTILINE | ES_CENTER;
static_assert(NOTES_BOX_STYLE == 0x50001005u, "the notes box's documented style word");

// Style 0 gives a button the row's own default style.
const DWORD ROW_DEFAULT_STYLE = 0;

const int32_t WHITE = 0xFFFFFF;  // a colour code, 0x00BBGGRR

// The slate's place on the screen and its size, in pixels.
const int32_t SLATE_X = 105, SLATE_Y = 114, SLATE_WIDTH = 1000, SLATE_HEIGHT = 700;

const wchar_t SLATE_FONT_FACE[] = L"Segoe Print";
const float BUTTON_FONT_POINTS = 10.0f;
const float NOTES_FONT_POINTS = 15.0f;

void push_wide_literal(const wchar_t* text)
{
    push_owned(copy_wide_string(text, static_cast<uint32_t>(lstrlenW(text))));
}

}  // namespace

int32_t slate_main()
{
    activation frame;
    HMODULE library = LoadLibraryW(L"COMCTL32.DLL");
    if (library) {
        typedef BOOL(WINAPI * init_controls_fn)(const INITCOMMONCONTROLSEX*);
        init_controls_fn init_controls = reinterpret_cast<init_controls_fn>(
            reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
        if (init_controls) {
            INITCOMMONCONTROLSEX classes;
            classes.dwSize = sizeof classes;
            classes.dwICC = SLATE_CONTROL_CLASSES;
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

    // Pixel units: x and y are screen places and the size is the client
    // area's; the slate stays above other windows.
    push_wide_literal(SLATE_CAPTION);
    slate_handle = create_dialog(KIND_PIXELS, parent, SLATE_X, SLATE_Y, SLATE_WIDTH, SLATE_HEIGHT,
                                 SLATE_STYLE, WS_EX_TOPMOST);

    push_wide_literal(L"#201");
    set_dialog_icon(slate_handle);

    push_empty();
    push_empty();
    add_control(ROW_EDIT, slate_handle, ID_NOTES_BOX, nullptr, 6, 6, 990, 650, NOTES_BOX_STYLE,
                WS_EX_CLIENTEDGE, nullptr);
    set_control_color(slate_handle, ID_NOTES_BOX, WHITE, make_color(0, 64, 0));  // on dark green

    push_empty();
    push_wide_literal(L"Borrar");
    add_control(ROW_PUSH_BUTTON, slate_handle, ID_CLEAR_BUTTON, nullptr, 8, 660, 56, 24,
                ROW_DEFAULT_STYLE, 0, nullptr);

    push_empty();
    push_wide_literal(L"Salir");
    add_control(ROW_PUSH_BUTTON, slate_handle, ID_LEAVE_BUTTON, nullptr, 206, 660, 56, 24,
                ROW_DEFAULT_STYLE, 0, nullptr);

    push_wide_literal(SLATE_FONT_FACE);
    uint32_t button_font = create_font(BUTTON_FONT_POINTS, FONT_BOLD, 0, 0, 0);
    push_wide_literal(SLATE_FONT_FACE);
    uint32_t notes_font = create_font(NOTES_FONT_POINTS, FONT_BOLD, 0, 0, 0);

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
