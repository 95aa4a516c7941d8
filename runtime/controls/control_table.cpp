// Control creation: the control class table, add_control, and the image
// helpers used by the image kinds.
#include <windows.h>
#include <commctrl.h>

#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

namespace {

// Style bits of the class table.
constexpr uint32_t CHILD_SHOWN = WS_CHILD | WS_VISIBLE;
// Frame, scroll and state bits a button never takes.
constexpr uint32_t NOT_ON_BUTTONS = WS_POPUP | WS_MINIMIZE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                    WS_MAXIMIZE | WS_BORDER | WS_DLGFRAME | WS_VSCROLL |
                                    WS_HSCROLL | WS_SYSMENU | WS_THICKFRAME;
// The button-type and image bits that do not belong to a button type.
constexpr uint32_t other_button_bits(uint32_t type)
{
    return (BS_TYPEMASK & ~type) | BS_ICON | BS_BITMAP;
}
// A group frame keeps only its type in the low byte of its style.
constexpr uint32_t BUTTON_LOW_BYTE = 0xFF;

}  // namespace

// Rows 1..25.  Each row: class, default style, bits always forced on, bits
// always forced off.  Row 23 creates a window of the class the caller names.
constexpr control_class_row g_control_classes[CONTROL_CLASS_ROWS] = {
    {nullptr, 0, 0, 0},
    // 1 push button
    {L"BUTTON", CHILD_SHOWN | WS_TABSTOP | BS_PUSHBUTTON, CHILD_SHOWN, 0},
    // 2 three-state check box
    {L"BUTTON", CHILD_SHOWN | WS_TABSTOP | BS_AUTO3STATE, CHILD_SHOWN | BS_AUTO3STATE,
     NOT_ON_BUTTONS | other_button_bits(BS_AUTO3STATE)},
    // 3 check box
    {L"BUTTON", CHILD_SHOWN | WS_TABSTOP | BS_AUTOCHECKBOX, CHILD_SHOWN | BS_AUTOCHECKBOX,
     NOT_ON_BUTTONS | other_button_bits(BS_AUTOCHECKBOX)},
    // 4 group frame
    {L"BUTTON", CHILD_SHOWN | BS_GROUPBOX, CHILD_SHOWN | BS_GROUPBOX,
     NOT_ON_BUTTONS | WS_GROUP | WS_TABSTOP | BS_PUSHLIKE | BS_NOTIFY | BS_FLAT |
         (BUTTON_LOW_BYTE & ~BS_GROUPBOX)},
    {L"STATIC", CHILD_SHOWN | SS_LEFT, CHILD_SHOWN, 0},                   // 5 label
    {L"STATIC", CHILD_SHOWN | SS_ETCHEDFRAME, CHILD_SHOWN, 0},            // 6 etched frame
    // 7 option button
    {L"BUTTON", CHILD_SHOWN | WS_TABSTOP | BS_AUTORADIOBUTTON, CHILD_SHOWN | BS_AUTORADIOBUTTON,
     NOT_ON_BUTTONS | other_button_bits(BS_AUTORADIOBUTTON)},
    {L"SCROLLBAR", CHILD_SHOWN | SBS_HORZ, CHILD_SHOWN, 0},               // 8 scroll bar
    {L"EDIT", CHILD_SHOWN | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, CHILD_SHOWN, 0},  // 9 text box
    {L"STATIC", CHILD_SHOWN | SS_BITMAP, CHILD_SHOWN | SS_BITMAP, 0},     // 10 image, natural size
    {L"STATIC", CHILD_SHOWN | SS_BITMAP, CHILD_SHOWN | SS_BITMAP, 0},     // 11 image, client size
    // 12 image button, natural size; 13 image button, control size
    {L"BUTTON", CHILD_SHOWN | WS_TABSTOP | BS_BITMAP, CHILD_SHOWN | BS_BITMAP, 0},
    {L"BUTTON", CHILD_SHOWN | WS_TABSTOP | BS_BITMAP, CHILD_SHOWN | BS_BITMAP, 0},
    // 14 graphic control; 15 owner-drawn static
    {L"STATIC", CHILD_SHOWN | WS_TABSTOP | SS_OWNERDRAW, CHILD_SHOWN | SS_OWNERDRAW, 0},
    {L"STATIC", CHILD_SHOWN | WS_TABSTOP | SS_OWNERDRAW, CHILD_SHOWN | SS_OWNERDRAW, 0},
    {L"SysHeader32", CHILD_SHOWN, CHILD_SHOWN, 0},                        // 16 header
    {L"SysListView32", CHILD_SHOWN | LVS_REPORT | LVS_SHOWSELALWAYS, CHILD_SHOWN, 0},  // 17 list view
    // 18 tree view
    {L"SysTreeView32",
     CHILD_SHOWN | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
     CHILD_SHOWN, 0},
    {L"msctls_progress32", CHILD_SHOWN | WS_BORDER, CHILD_SHOWN, 0},      // 19 progress bar
    {L"msctls_statusbar32", CHILD_SHOWN | CCS_BOTTOM, CHILD_SHOWN, 0},    // 20 status bar
    {L"ToolbarWindow32", CHILD_SHOWN | WS_BORDER | CCS_TOP | TBSTYLE_FLAT, CHILD_SHOWN, 0},  // 21 toolbar
    // 22 tab control
    {L"SysTabControl32", CHILD_SHOWN | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, CHILD_SHOWN,
     TCS_SCROLLOPPOSITE | TCS_MULTISELECT | TCS_BUTTONS | TCS_MULTILINE},
    {L"ACTIVEX", 0, 0, 0},                                                // 23 named class
    // 24 drop-down combo box
    {L"COMBOBOX", CHILD_SHOWN | WS_TABSTOP | CBS_DROPDOWN | CBS_SORT, CHILD_SHOWN, 0},
    // 25 list box
    {L"LISTBOX", CHILD_SHOWN | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT,
     CHILD_SHOWN | LBS_NOTIFY, 0},
};

namespace {

// The documented style words of rows 1..25: default, forced on, forced off.
constexpr uint32_t documented_row_styles[CONTROL_CLASS_ROWS][3] = {
    {0, 0, 0},
    {0x50010000, 0x50000000, 0},          {0x50010006, 0x50000006, 0xA7FC00C9},
    {0x50010003, 0x50000003, 0xA7FC00CC}, {0x50000007, 0x50000007, 0xA7FFD0F8},
    {0x50000000, 0x50000000, 0},          {0x50000012, 0x50000000, 0},
    {0x50010009, 0x50000009, 0xA7FC00C6}, {0x50000000, 0x50000000, 0},
    {0x50810080, 0x50000000, 0},          {0x5000000E, 0x5000000E, 0},
    {0x5000000E, 0x5000000E, 0},          {0x50010080, 0x50000080, 0},
    {0x50010080, 0x50000080, 0},          {0x5001000D, 0x5000000D, 0},
    {0x5001000D, 0x5000000D, 0},          {0x50000000, 0x50000000, 0},
    {0x50000009, 0x50000000, 0},          {0x50010027, 0x50000000, 0},
    {0x50800000, 0x50000000, 0},          {0x50000003, 0x50000000, 0},
    {0x50800801, 0x50000000, 0},          {0x56010000, 0x50000000, 0x00000305},
    {0, 0, 0},                            {0x50010102, 0x50000000, 0},
    {0x50A10003, 0x50000001, 0},
};

constexpr bool rows_match_documented_styles()
{
    for (uint32_t row = 0; row < CONTROL_CLASS_ROWS; ++row) {
        const control_class_row& entry = g_control_classes[row];
        const uint32_t* documented = documented_row_styles[row];
        if (entry.default_style != documented[0] || entry.forced_on != documented[1] ||
            entry.forced_off != documented[2])
            return false;
    }
    return true;
}
static_assert(rows_match_documented_styles(), "the class table's style words are the documented ones");

// A string taken off the temporary-string stack; released when it goes.
struct taken_string {
    string_handle value = pop_string();
    ~taken_string() { release_string(value); }
    const wchar_t* wide() const { return wide_text(value); }
    bool empty() const { return wide_units(value) == 0; }
};

// A new scroll bar's range, page and position.
enum { SCROLL_RANGE_END = 100, SCROLL_PAGE = 10 };

// RT_BITMAP as a wide resource type (an integer type: the same in both forms).
const wchar_t* const BITMAP_RESOURCE = reinterpret_cast<const wchar_t*>(RT_BITMAP);

bool is_image_row(uint32_t row)
{
    return row >= ROW_IMAGE_FIRST && row <= ROW_IMAGE_BUTTON_SIZED;
}

bool is_image_button_row(uint32_t row)
{
    return row == ROW_IMAGE_BUTTON || row == ROW_IMAGE_BUTTON_SIZED;
}

// The class, style and extended style a row creates, after the default,
// forced-on and forced-off rules.
void apply_row_rules(uint32_t row, int32_t width, int32_t height, uint32_t* style,
                     uint32_t* ex_style)
{
    const control_class_row& entry = g_control_classes[row];
    if (*style == 0) {
        *style = entry.default_style;
        if (row == ROW_SCROLLBAR && width < height)
            *style |= SBS_VERT;
        if ((row == ROW_EDIT || row == ROW_COMBOBOX || row == ROW_LISTBOX) &&
            (*style & WS_BORDER)) {
            *style &= ~static_cast<uint32_t>(WS_BORDER);
            *ex_style |= WS_EX_CLIENTEDGE;
        }
    }
    *style |= entry.forced_on;
    *style &= ~entry.forced_off;
}

// Adds the items in order, stopping at the first null or empty element.
// Byte-string elements are converted with the thread's code page on the
// temporary-string stack, one at a time.
void add_items(HWND control, uint32_t row, const string_array* items)
{
    UINT message = row == ROW_COMBOBOX ? CB_ADDSTRING : LB_ADDSTRING;
    for (uint32_t i = 0; i < items->count; ++i) {
        string_handle element = items->elements[i];
        if (string_bytes(element) == 0)
            return;
        if (items->wide) {
            SendMessageW(control, message, 0, reinterpret_cast<LPARAM>(wide_text(element)));
            continue;
        }
        push_borrowed(element);
        to_wide_in_place(0);
        SendMessageW(control, message, 0, reinterpret_cast<LPARAM>(wide_text(peek_string())));
        pop_release();
    }
}

// Loads and shows the image of an image row; the record owns what was loaded.
void show_row_image(HWND control, uint32_t row, const wchar_t* name, int32_t width, int32_t height)
{
    window_record* record = find_record(control);
    if (!record)
        return;  // nothing could own the image: the control stays empty
    uint32_t kind = record->kind;
    bool icon = (kind & KIND_IMAGE_ICON) != 0;
    UINT type = icon ? IMAGE_ICON : IMAGE_BITMAP;
    int cx = 0, cy = 0;
    if (row == ROW_IMAGE_CLIENT) {
        RECT client = {};
        GetClientRect(control, &client);
        cx = client.right;
        cy = client.bottom;
    } else if (row == ROW_IMAGE_BUTTON_SIZED) {
        cx = width;
        cy = height;
    }
    HANDLE image = LoadImageW(g_runtime.instance, name, type, cx, cy, LR_LOADMAP3DCOLORS);
    if (!image)
        return;
    record->image = image;
    UINT message = is_image_button_row(row) ? BM_SETIMAGE : STM_SETIMAGE;
    HANDLE replaced = reinterpret_cast<HANDLE>(
        SendMessageW(control, message, type, reinterpret_cast<LPARAM>(image)));
    if (replaced != image)
        destroy_image(kind, replaced);
}

void finish_row(HWND dialog, HWND control, uint32_t row, uint32_t id, uint32_t kept_style)
{
    if ((row == ROW_PUSH_BUTTON || is_image_button_row(row)) && (kept_style & BS_DEFPUSHBUTTON))
        SendMessageW(dialog, DM_SETDEFID, id, 0);
    if (row >= ROW_COMMON_FIRST && row <= ROW_TAB) {
        SendMessageW(control, CCM_SETUNICODEFORMAT, 1, 0);
        if (row == ROW_TOOLBAR)
            SendMessageW(control, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        if (row == ROW_TAB) {
            // Subclassed only with a record to keep the replaced procedure in:
            // the tab procedure answers nothing for a window without one.
            window_record* record = find_record(control);
            if (record) {
                record->tab_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                    control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(tab_control_procedure)));
            }
        }
        if (row == ROW_TREEVIEW && (kept_style & TVS_CHECKBOXES)) {
            SetWindowLongW(control, GWL_STYLE, static_cast<LONG>(kept_style));
            window_record* record = find_record(control);
            if (record)
                record->style |= TVS_CHECKBOXES;
        }
    }
    if (row == ROW_SCROLLBAR) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(SCROLLINFO);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = SCROLL_RANGE_END;
        info.nPage = SCROLL_PAGE;
        info.nPos = 0;
        SendMessageW(control, SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&info));
    }
}

}  // namespace

void add_control(uint32_t class_index, HWND dialog, uint32_t id, const string_array* items,
                 int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style,
                 uint32_t ex_style, dialog_callback callback)
{
    taken_string text;
    taken_string class_name;
    if (class_index > ROW_LAST)
        return;
    window_record* dialog_record = find_record(dialog);
    if (!dialog_record)
        return;
    uint32_t units = dialog_record->kind & KIND_UNITS_MASK;

    if (units == KIND_DIALOG_UNITS) {
        // Converted as a rectangle: width and height come from the converted
        // corners, not from converting the sizes alone.
        RECT rect = {x, y, x + width, y + height};
        MapDialogRect(dialog, &rect);
        x = rect.left;
        y = rect.top;
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
    }

    const wchar_t* window_class = class_name.wide();
    if (class_index != 0) {
        apply_row_rules(class_index, width, height, &style, &ex_style);
        if (class_index != ROW_NAMED_CLASS)
            window_class = g_control_classes[class_index].class_name;
    }
    uint32_t kept_style = style;
    if (class_index == ROW_TREEVIEW)
        style &= ~static_cast<uint32_t>(TVS_CHECKBOXES);

    uint32_t kind = KIND_CONTROL | units;
    const wchar_t* window_text = text.wide();
    if (is_image_row(class_index)) {
        window_text = nullptr;
        if (resource_exists(BITMAP_RESOURCE, text.wide())) {
            kind |= KIND_IMAGE_BITMAP;
        } else {
            kind |= KIND_IMAGE_ICON;
            if (is_image_button_row(class_index)) {
                style = (style & ~static_cast<uint32_t>(BS_BITMAP)) | BS_ICON;
            } else {
                style = (style & ~static_cast<uint32_t>(SS_BITMAP)) | SS_ICON;
            }
            kept_style = style;
        }
    }

    HWND control = CreateWindowExW(ex_style, window_class, window_text, style, x, y, width, height,
                                   dialog, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                   g_runtime.instance, nullptr);
    // Creation sends the dialog notifications that reach its callback: the
    // dialog's record is looked up again rather than kept from before.
    dialog_record = find_record(dialog);
    if (dialog_record)
        SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(dialog_record->font), TRUE);
    if (!control)
        return;

    window_record* record = register_window(control, dialog, kind, class_index);
    if (record) {
        record->callback = callback;
        record->kind = kind;
        record->style = style;
        record->ex_style = ex_style;
    }
    if (items && items->elements && items->count)
        add_items(control, class_index, items);
    finish_row(dialog, control, class_index, id, kept_style);
    if (is_image_row(class_index))
        show_row_image(control, class_index, text.wide(), width, height);
}

// ---------------------------------------------------------------------------
// Resources.

namespace {

struct resource_search {
    bool by_number;
    WORD number;
    const wchar_t* name;
    bool found;
};

wchar_t ascii_upper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool names_equal(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; ++a, ++b) {
        if (ascii_upper(*a) != ascii_upper(*b))
            return false;
    }
    return *a == *b;
}

BOOL CALLBACK match_resource_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR parameter)
{
    resource_search* search = reinterpret_cast<resource_search*>(parameter);
    bool matches = IS_INTRESOURCE(name)
                       ? search->by_number && LOWORD(reinterpret_cast<UINT_PTR>(name)) == search->number
                       : !search->by_number && names_equal(name, search->name);
    if (matches) {
        search->found = true;
        return FALSE;  // stop enumerating
    }
    return TRUE;
}

// "#" and one to five decimal digits naming an id of 16 bits; anything else
// names no numbered resource.
enum { RESOURCE_ID_DIGITS = 5 };
bool parse_resource_number(const wchar_t* text, WORD* number)
{
    uint32_t value = 0;
    int digits = 0;
    for (; *text; ++text, ++digits) {
        if (*text < L'0' || *text > L'9' || digits == RESOURCE_ID_DIGITS)
            return false;
        value = value * 10 + static_cast<uint32_t>(*text - L'0');
    }
    if (digits == 0 || value > 0xFFFF)
        return false;
    *number = static_cast<WORD>(value);
    return true;
}

}  // namespace

bool resource_exists(const wchar_t* type, const wchar_t* name)
{
    if (!name || !*name)
        return false;
    resource_search search = {false, 0, name, false};
    if (name[0] == L'#') {
        if (!parse_resource_number(name + 1, &search.number))
            return false;
        search.by_number = true;
    }
    EnumResourceNamesW(g_runtime.instance, type, match_resource_name,
                       reinterpret_cast<LONG_PTR>(&search));
    return search.found;
}

void destroy_image(uint32_t kind, HANDLE handle)
{
    if (!handle)
        return;
    if (kind & KIND_IMAGE_ICON)
        DestroyIcon(static_cast<HICON>(handle));
    else if (kind & KIND_IMAGE_BITMAP)
        DeleteObject(static_cast<HGDIOBJ>(handle));
}
