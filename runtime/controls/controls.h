// Controls and fonts: control creation from the control class table, control
// text and handles, control colours and shared brushes, the process-wide font
// list, dialog icons, and the release of window records, which gives back what
// these made.
//
// The run-time's conventions (truth values, helper linkage, W calls, failures)
// are said once, in core.h.
#pragma once

#include "runtime/core/core.h"
#include "runtime/records/records.h"

// ---------------------------------------------------------------------------
// Control class table and creation.
struct control_class_row {
    const wchar_t* class_name;
    uint32_t default_style;
    uint32_t forced_on;
    uint32_t forced_off;
};
// Rows 1..25; row 0 is unused (index 0 names its class itself).
enum : uint32_t { CONTROL_CLASS_ROWS = ROW_LAST + 1 };
extern const control_class_row g_control_classes[CONTROL_CLASS_ROWS];

// Optional items for list and combo rows.  Elements are byte strings unless
// `wide` is set; the list stops at the first null or empty element.
struct string_array {
    const string_handle* elements;
    uint32_t count;
    bool wide;
};

// The control's text is the wide string on top of the temporary-string stack,
// its class name the wide string below it; both are consumed on every path.
void add_control(uint32_t class_index, HWND dialog, uint32_t id, const string_array* items,
                 int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style,
                 uint32_t ex_style, dialog_callback callback);
bool resource_exists(const wchar_t* type, const wchar_t* name);
void destroy_image(uint32_t kind, HANDLE handle);

// The window procedure put on tab controls: it keeps the pages of a tab
// control on its display area.
LRESULT CALLBACK tab_control_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// ---------------------------------------------------------------------------
// Control text and handles.
HWND control_handle(HWND dialog, uint32_t id);
HWND window_of(HWND dialog, uint32_t id);
void set_control_text(HWND window);   // text: wide string on top of the stack, popped
void get_control_text(HWND window);   // pushes the window's text as a wide string

// ---------------------------------------------------------------------------
// Colours.
int32_t make_color(int32_t red, int32_t green, int32_t blue);
void set_control_color(HWND dialog, uint32_t id, int32_t fore, int32_t back);
// Returns the brush, or 0 when the message is left to the window system.
HBRUSH answer_ctlcolor(HWND dialog, uint32_t message, HDC dc, HWND child);
// Redraws the window, and for a transparent window the part of its owner it
// covers, on up the owner chain.
void refresh_window(HWND window);
// The combo box whose list is dropped down, set by the dialog procedure: the
// list's colour requests are answered with the combo's colours.
extern HWND g_dropped_combo;

// ---------------------------------------------------------------------------
// Fonts.
struct font_description {
    uint32_t format_word;         // always 0x2000
    float point_size;             // negative for the cell-height style
    uint32_t reserved;            // 0
    LOGFONTW log_font;
};

struct font_record {
    font_record* next;
    int32_t use_count;            // control records naming this font
    uint32_t number;              // 1 for the first record, then one more each
    HFONT handle;                 // owned by the font list; 0 until first use
    HFONT graphic_handles[2];     // graphic runtime (not used by the slate)
    uint32_t graphic_values[2];
    font_description description; // lfHeight set when the handle is made
    uint32_t reserved_after[4];
};

extern font_record* g_font_list;
extern spin_lock g_font_lock;

enum : uint32_t {
    FONT_BOLD = 1, FONT_ITALIC = 2, FONT_UNDERLINE = 4, FONT_STRIKEOUT = 8, FONT_CELL_HEIGHT = 16,
};

// The face is the wide string on top of the temporary-string stack, consumed
// on every path.  Returns the font number, or 0 with RUNTIME_ERROR_INVALID_ARGUMENT.
uint32_t create_font(float point_size, uint32_t style, uint32_t charset, uint32_t pitch,
                     int32_t escapement);
void delete_font(uint32_t number);
void set_control_font(HWND dialog, uint32_t id, uint32_t number);
font_record* find_font(uint32_t number);
font_record* match_font(const font_description& description);
font_record* append_font();
// Builds the three built-in fonts (numbers 1 to 3); called once at start-up.
void build_default_fonts();
// Gives back a control record's font on release (use count, previous font).
void release_control_font(window_record* record);

// ---------------------------------------------------------------------------
// Dialog icon.  The resource name is the wide string on top of the stack.
void set_dialog_icon(HWND dialog);

// ---------------------------------------------------------------------------
// Releasing window records.
// Releases the record of hwnd after the records of the controls it owns:
// fonts, brushes, icons, images and graphic objects are given back.
void release_window_record(HWND hwnd);
// Destroys the image lists held by the toolbars, tree views and tab controls
// whose records the dialog owns, while those controls still exist.  The
// dialog procedure calls it on WM_DESTROY: by WM_NCDESTROY, when the records
// are released, the controls are gone and no longer return their lists.
void destroy_owned_image_lists(HWND dialog);
