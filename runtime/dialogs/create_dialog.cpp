// Dialog creation from an in-memory extended dialog template.
//
// The template has no controls; they are added one by one afterwards.  In
// pixel mode the window system first places the dialog from the template
// (read as dialog units) and the engine then sets the real position and size
// itself, so that the client area is exactly what was asked.
#include <math.h>
#include <string.h>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"
#include "runtime/strings/strings.h"

enum : uint32_t {
    DEFAULT_DIALOG_STYLE = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK,
    ALWAYS_ON_STYLE = DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK,
    NEVER_ON_STYLE = WS_VISIBLE | DS_SYSMODAL,
    TEMPLATE_BUFFER_SIZE = 512,
    TEMPLATE_VERSION = 1,
    EXTENDED_TEMPLATE_SIGNATURE = 0xFFFF,
    POSITION_FLAGS = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS |
                     SWP_NOOWNERZORDER | SWP_NOSENDCHANGING,
};
static_assert(DEFAULT_DIALOG_STYLE == 0x80C000D4, "the documented default dialog style");

uint32_t adjust_dialog_style(uint32_t style, HWND parent, int32_t x, int32_t y)
{
    if (style == 0)
        style = DEFAULT_DIALOG_STYLE;
    style |= ALWAYS_ON_STYLE;
    style &= ~static_cast<uint32_t>(NEVER_ON_STYLE);
    if (x == CENTRE_MARKER || y == CENTRE_MARKER)
        style |= DS_CENTER;
    if (style & WS_CHILD) {
        style &= ~static_cast<uint32_t>(WS_POPUP | DS_ABSALIGN);
        if (!parent) {
            // A child dialog without a parent becomes a popup.
            style &= ~static_cast<uint32_t>(WS_CHILD);
            style |= WS_POPUP;
        }
    }
    return style;
}

namespace {

// The font fields of the template come from the thread's default dialog
// font.  The first built-in font is built at start-up; should the thread name
// a font that is not there, it stands in.
const font_record* default_dialog_font()
{
    int32_t number = DEFAULT_FONT_NUMBER;
    if (const thread_record* thread = current_thread_record())
        number = thread->default_dialog_font;
    const font_record* font = find_font(static_cast<uint32_t>(number));
    if (!font && number != DEFAULT_FONT_NUMBER)
        font = find_font(DEFAULT_FONT_NUMBER);
    return font;
}

// Appends 16-bit units to the template.
struct template_writer {
    uint8_t* buffer;
    uint32_t size;

    void word(uint16_t value)
    {
        memcpy(buffer + size, &value, sizeof value);
        size += sizeof value;
    }
    void dword(uint32_t value)
    {
        memcpy(buffer + size, &value, sizeof value);
        size += sizeof value;
    }
    void byte(uint8_t value) { buffer[size++] = value; }
};
}  // namespace

uint32_t build_dialog_template(uint8_t* buffer, uint32_t style, uint32_t ex_style, int32_t x,
                               int32_t y, int32_t width, int32_t height)
{
    memset(buffer, 0, TEMPLATE_BUFFER_SIZE);
    template_writer out = {buffer, 0};
    out.word(TEMPLATE_VERSION);
    out.word(EXTENDED_TEMPLATE_SIGNATURE);
    out.dword(0);      // helpID
    out.dword(ex_style);
    out.dword(style);
    out.word(0);  // cDlgItems
    out.word(static_cast<uint16_t>(x));
    out.word(static_cast<uint16_t>(y));
    out.word(static_cast<uint16_t>(width));
    out.word(static_cast<uint16_t>(height));
    out.word(0);       // no menu
    out.word(0);       // the platform's dialog class
    out.word(L' ');    // title: a single space, replaced by the caption after creation
    out.word(0);

    const font_record* font = default_dialog_font();
    float point_size = font ? font->description.point_size : 8.0f;
    // Nearest integer, halves to even (the FPU rounds to nearest).
    out.word(static_cast<uint16_t>(lrintf(point_size)));
    LONG weight = font ? font->description.log_font.lfWeight : 0;
    out.word(weight == 0 ? FW_NORMAL : FW_BOLD);
    out.byte(font && font->description.log_font.lfItalic ? 1 : 0);
    out.byte(font ? font->description.log_font.lfCharSet : 0);
    if (font) {
        const WCHAR* face = font->description.log_font.lfFaceName;
        for (uint32_t i = 0; i < LF_FACESIZE && face[i]; ++i)
            out.word(face[i]);
    }
    out.word(0);
    return out.size;
}

namespace {

// Pixel mode: the asked size is the client area, and the position counts
// from the parent's client area unless the dialog is centred or placed
// absolutely.
void place_in_pixels(HWND dialog, HWND parent, uint32_t style, int32_t x, int32_t y,
                            int32_t width, int32_t height)
{
    RECT window_rect = {0, 0, 0, 0};
    RECT client_rect = {0, 0, 0, 0};
    GetWindowRect(dialog, &window_rect);
    GetClientRect(dialog, &client_rect);
    width += (window_rect.right - window_rect.left) - (client_rect.right - client_rect.left);
    height += (window_rect.bottom - window_rect.top) - (client_rect.bottom - client_rect.top);

    if (style & DS_CENTER) {
        RECT work = {0, 0, 0, 0};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        int32_t across = work.left + work.right - width;
        int32_t down = work.top + work.bottom - height;
        x = across < 0 ? 0 : across / 2;
        y = down < 0 ? 0 : down / 2;
    } else if (!(style & (WS_CHILD | DS_ABSALIGN))) {
        POINT corner = {0, 0};
        if (parent)
            ClientToScreen(parent, &corner);
        x += corner.x;
        y += corner.y;
    } else if (!((style & WS_CHILD) && (style & DS_CONTROL))) {
        if (x < 0)
            x = 0;
        if (y < 0)
            y = 0;
    }
    SetWindowPos(dialog, nullptr, x, y, width, height, POSITION_FLAGS);
}

int32_t show_command_for(uint32_t style)
{
    if (style & WS_MAXIMIZE)
        return SW_MAXIMIZE;
    if (style & WS_MINIMIZE)
        return SW_MINIMIZE;
    return SW_SHOW;
}

}  // namespace

HWND create_dialog(uint32_t units, HWND parent, int32_t x, int32_t y, int32_t width,
                   int32_t height, uint32_t style, uint32_t ex_style)
{
    // The caption is ours from here on, whatever happens.
    string_handle caption = pop_string();

    const bool pixels = (units & KIND_PIXELS) != 0;
    style = adjust_dialog_style(style, parent, x, y);

    alignas(4) uint8_t buffer[TEMPLATE_BUFFER_SIZE];
    build_dialog_template(buffer, style, ex_style, x, y, width, height);
    HWND dialog = CreateDialogIndirectParamW(
        g_runtime.instance, reinterpret_cast<LPCDLGTEMPLATEW>(buffer), parent, dialog_procedure, 0);

    if (dialog && pixels)
        place_in_pixels(dialog, parent, style, x, y, width, height);

    // Also when creation failed: the call then fails quietly.
    SetWindowTextW(dialog, wide_text(caption));
    release_string(caption);

    if (!dialog)
        return nullptr;

    window_record* record =
        register_window(dialog, parent, KIND_DIALOG | (pixels ? KIND_PIXELS : KIND_DIALOG_UNITS), 0);
    if (!record)
        return nullptr;  // the hidden window stays as the window system made it
    record->style = style;
    record->ex_style = ex_style;
    record->show_command = show_command_for(style);
    record->font = static_cast<uintptr_t>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    return dialog;
}
