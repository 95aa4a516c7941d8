// Application start and the slate's layout.
#include "app/slate/slate_main.h"

#include <commctrl.h>

#include "app/slate/notes_box.h"
#include "app/slate/slate_callback.h"
#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

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
// scroll bar and no automatic scrolling; the first tab stop, so that keys go
// to the notes from the start and Tab comes back to them from the buttons.
const DWORD NOTES_BOX_STYLE =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_WANTRETURN | ES_MULTILINE | ES_CENTER;
static_assert(NOTES_BOX_STYLE == 0x50011005u, "the notes box's style word, with its tab stop");

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

// One axis of the slate's place: moved back (up or left) just enough to end
// inside the work area, and never before its start, so that a slate larger
// than the work area shows its caption and its top-left part.
LONG fitted_start(LONG start, LONG length, LONG area_start, LONG area_end)
{
    if (start + length > area_end)
        start = area_end - length;
    return start < area_start ? area_start : start;
}

// The whole slate on its monitor's work area: on a small screen (a laptop at
// 150 % gives a program that is not DPI-aware 1280x720) the slate at its
// usual place would reach below the bottom edge, buttons and all.  Where it
// fits, its place stays as it is; its size never changes.
void fit_on_work_area(HWND slate)
{
    RECT frame;
    MONITORINFO monitor;
    monitor.cbSize = sizeof monitor;
    if (!GetWindowRect(slate, &frame) ||
        !GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& area = monitor.rcWork;
    LONG x = fitted_start(frame.left, frame.right - frame.left, area.left, area.right);
    LONG y = fitted_start(frame.top, frame.bottom - frame.top, area.top, area.bottom);
    if (x != frame.left || y != frame.top)
        SetWindowPos(slate, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    HWND slate = create_dialog(KIND_PIXELS, parent, SLATE_X, SLATE_Y, SLATE_WIDTH, SLATE_HEIGHT,
                               SLATE_STYLE, WS_EX_TOPMOST);
    fit_on_work_area(slate);

    push_wide_literal(L"#201");
    set_dialog_icon(slate);

    push_empty();
    push_empty();
    add_control(ROW_EDIT, slate, ID_NOTES_BOX, nullptr, 6, 6, 990, 650, NOTES_BOX_STYLE,
                WS_EX_CLIENTEDGE, nullptr);
    set_control_color(slate, ID_NOTES_BOX, WHITE, make_color(0, 64, 0));  // on dark green
    wrap_notes_box(control_handle(slate, ID_NOTES_BOX));

    push_empty();
    push_wide_literal(L"Borrar");
    add_control(ROW_PUSH_BUTTON, slate, ID_CLEAR_BUTTON, nullptr, 8, 660, 56, 24,
                ROW_DEFAULT_STYLE, 0, nullptr);

    push_empty();
    push_wide_literal(L"Salir");
    add_control(ROW_PUSH_BUTTON, slate, ID_LEAVE_BUTTON, nullptr, 206, 660, 56, 24,
                ROW_DEFAULT_STYLE, 0, nullptr);

    push_wide_literal(SLATE_FONT_FACE);
    uint32_t button_font = create_font(BUTTON_FONT_POINTS, FONT_BOLD, 0, 0, 0);
    push_wide_literal(SLATE_FONT_FACE);
    uint32_t notes_font = create_font(NOTES_FONT_POINTS, FONT_BOLD, 0, 0, 0);

    set_control_font(slate, ID_NOTES_BOX, notes_font);
    set_control_font(slate, ID_CLEAR_BUTTON, button_font);
    set_control_font(slate, ID_LEAVE_BUTTON, button_font);

    int32_t result = 0;
    show_dialog_modal(slate, slate_callback, &result);

    // The controls gave their fonts back when the slate was destroyed.
    delete_font(button_font);
    delete_font(notes_font);
    return result;
}
