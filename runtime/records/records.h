// Window records: one record per dialog or control window the run-time made,
// kept in the window registry and found by window handle.  The records only
// hold what the layers above make (brushes, fonts, icons, images); giving that
// back when a record is released is the controls layer's work.
//
// The run-time's conventions (truth values, helper linkage, W calls, failures)
// are said once, in core.h.
#pragma once

#include "runtime/core/core.h"

// A message parameter as a callback gets it, wparam or lparam: as wide as a
// pointer, since an lparam can carry one (WM_NOTIFY, WM_DRAWITEM).  In the
// 32-bit program it is the plain 32-bit word it has always been.
typedef uintptr_t message_word;
// A callback's result: signed and as wide as a pointer, so that -5 stays -5
// and a handle stays whole in the message result.
typedef intptr_t callback_result;

// A dialog callback or control callback: (dialog window, message, wparam,
// lparam) -> result; 0 lets the engine's default handling run.
typedef callback_result (*dialog_callback)(HWND dialog, uint32_t message, message_word wparam,
                                           message_word lparam);

// One slot of a window record that may hold a handle or a pointer (see
// window_record::graphic_block): 32 bits in the 32-bit program, pointer-sized
// in the 64-bit one.
typedef uintptr_t record_word;

// window_record.kind bits.
enum : uint32_t {
    KIND_DIALOG = 0x40000000,
    KIND_CONTROL = 0x20000000,
    KIND_UNITS_MASK = 0x0000000F,
    KIND_DIALOG_UNITS = 1,
    KIND_PIXELS = 2,
    KIND_SHOWN = 0x00010000,
    KIND_ENDING = 0x00020000,     // dialog: end_dialog is under way (its WM_CLOSE was sent)
    KIND_IMAGE_ICON = 0x00004000,
    KIND_IMAGE_BITMAP = 0x00008000,
};

// Colour codes (window_record.text_color, back_color): a 0x00BBGGRR colour,
// or one of these.
enum : int32_t {
    COLOR_CODE_SYSTEM = -1,
    COLOR_CODE_TRANSPARENT = -2,
    COLOR_CODE_NOT_SET = -3,
};

// A control id that names the dialog itself.
enum : uint32_t { SELF_ID = 0x80000000u };

// Rows of the control class table that the engine and the controls treat
// apart (window_record.class_index).
enum : uint32_t {
    ROW_PUSH_BUTTON = 1,
    ROW_SCROLLBAR = 8,
    ROW_EDIT = 9,
    ROW_IMAGE_FIRST = 10,
    ROW_IMAGE_CLIENT = 11,
    ROW_IMAGE_BUTTON = 12,
    ROW_IMAGE_BUTTON_SIZED = 13,
    ROW_GRAPHIC = 14,
    ROW_OWNER_DRAWN = 15,
    ROW_COMMON_FIRST = 16,
    ROW_LISTVIEW = 17,
    ROW_TREEVIEW = 18,
    ROW_PROGRESS = 19,
    ROW_STATUSBAR = 20,
    ROW_TOOLBAR = 21,
    ROW_TAB = 22,
    ROW_NAMED_CLASS = 23,
    ROW_COMBOBOX = 24,
    ROW_LISTBOX = 25,
    ROW_LAST = 25,
    GRAPHIC_WINDOW_CLASS = 26,  // the graphic window kind of the graphic runtime
};

// One record per dialog or control window the engine created.  Allocated
// zero-filled with SysAllocStringByteLen and freed with SysFreeString by
// release_window_record.  In the 32-bit program every field is 32 bits wide
// (registry.cpp checks the layout); in the 64-bit program pointers, handles
// and record words take their natural 8 bytes and the other fields stay 32
// bits.
struct window_record {
    window_record* next;          // next record in the registry
    HWND hwnd;                    // the window this record belongs to (not owned: the window system owns it)
    HWND owner;                   // dialog: parent given to create_dialog; control: its dialog
    uint32_t kind;                // KIND_* bits
    uint32_t graphic_flags;       // GRAPHIC_IGNORE_CLOSE (graphic runtime only)
    uint32_t graphic_word;
    int32_t show_command;         // dialog: SW_SHOW / SW_MAXIMIZE / SW_MINIMIZE
    uintptr_t font;               // dialog: HFONT from WM_GETFONT (not owned); control: run-time font number
    uintptr_t previous_font;      // control: font before the first set_control_font, 0 = nothing saved
    dialog_callback callback;     // dialog or control callback, 0 for none
    int32_t* result_ref;          // dialog: the caller's result variable
    HACCEL accelerators;          // dialog: owned accelerator table, destroyed by end_dialog
    HBRUSH back_brush;            // owned jointly with every record showing the same back_color
    int32_t back_color;           // colour code
    int32_t text_color;           // colour code
    record_word graphic_block[12]; // graphic controls / windows (memory DC, bitmap, companions, sizes)
    HBRUSH default_brush;         // owned jointly, like back_brush
    int32_t default_text_color;
    int32_t default_back_color;
    uint32_t graphic_tail[2];
    uint32_t class_index;         // 0 for a dialog; control kind 0..25
    WNDPROC graphic_procedure;    // saved procedure of a subclassed graphic control
    WNDPROC tab_procedure;        // saved procedure of a subclassed tab control
    uint32_t style;
    uint32_t ex_style;
    HANDLE image;                 // owned: icon or bitmap by KIND_IMAGE_* bits
    HICON large_icon;             // owned: 32 x 32 icon
    HICON small_icon;             // owned: 16 x 16 icon
    uint32_t graphic_more[4];
};

enum : uint32_t { GRAPHIC_IGNORE_CLOSE = 1 };  // window_record::graphic_flags: the close command does nothing

// Slots of window_record::graphic_block used by the engine's release and
// WM_DRAWITEM handling.  Everything in the block is owned by the record.
enum : uint32_t {
    GRAPHIC_MEMORY_DC = 0,        // HDC of the off-screen picture
    GRAPHIC_FIRST_BITMAP = 1,     // the bitmap the memory DC had when it was made
    GRAPHIC_OBJECT = 2,           // a further drawing object
    GRAPHIC_COMPANION_FIRST = 3,  // three companion windows, slots 3 to 5
    GRAPHIC_PICTURE_WIDTH = 6,
    GRAPHIC_PICTURE_HEIGHT = 7,
    GRAPHIC_STRETCHED = 8,        // non-zero: the picture is stretched to the item
};

// The registry: newest record first.
extern window_record* g_registry_head;
extern spin_lock g_registry_lock;

// ---------------------------------------------------------------------------
// Records and registry.
window_record* register_window(HWND hwnd, HWND owner, uint32_t kind, uint32_t class_index);
window_record* find_record(HWND hwnd);
HWND first_owned_control(HWND owner);
window_record* next_owned_bar(HWND owner, window_record* after);
window_record* next_owned(HWND owner, window_record* after);
HBRUSH find_shared_brush(int32_t color);
uint32_t registry_length();
// One field of the record of hwnd, by its word index in window_record: the
// index of the field (an array's elements one index each) in the 32-bit
// layout, where index i is the 32-bit word at byte 4 * i.  The 64-bit program
// takes the same index to the same field.  A 32-bit field reads zero-extended
// and is written from the low 32 bits of the value.  False when the window
// has no record or the index is past the last field: a read then yields 0, a
// write does nothing.
enum : uint32_t { RECORD_FIELDS = 44 };
bool get_record_field(HWND hwnd, uint32_t field, record_word* value);
bool set_record_field(HWND hwnd, uint32_t field, record_word value);

// Takes the record of hwnd out of the registry and gives it to the caller;
// null when it is not there.
window_record* unlink_record(HWND hwnd);
// Frees the memory of a record that is in no list (what it owns is the
// caller's to give back first).
void free_window_record(window_record* record);
