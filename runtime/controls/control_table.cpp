// Control creation: the control class table, add_control, and the image
// helpers used by the image kinds.
#include <windows.h>
#include <commctrl.h>

#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

// Rows 1..25.  Each row: class, default style, bits always forced on, bits
// always forced off.  Row 23 creates a window of the class the caller names.
const control_class_row g_control_classes[26] = {
    {nullptr, 0, 0, 0},
    {L"BUTTON", 0x50010000, 0x50000000, 0},                       // 1 push button
    {L"BUTTON", 0x50010006, 0x50000006, 0xA7FC00C9},              // 2 three-state check box
    {L"BUTTON", 0x50010003, 0x50000003, 0xA7FC00CC},              // 3 check box
    {L"BUTTON", 0x50000007, 0x50000007, 0xA7FFD0F8},              // 4 group frame
    {L"STATIC", 0x50000000, 0x50000000, 0},                       // 5 label
    {L"STATIC", 0x50000012, 0x50000000, 0},                       // 6 etched frame
    {L"BUTTON", 0x50010009, 0x50000009, 0xA7FC00C6},              // 7 option button
    {L"SCROLLBAR", 0x50000000, 0x50000000, 0},                    // 8 scroll bar
    {L"EDIT", 0x50810080, 0x50000000, 0},                         // 9 text box
    {L"STATIC", 0x5000000E, 0x5000000E, 0},                       // 10 image, natural size
    {L"STATIC", 0x5000000E, 0x5000000E, 0},                       // 11 image, client size
    {L"BUTTON", 0x50010080, 0x50000080, 0},                       // 12 image button, natural size
    {L"BUTTON", 0x50010080, 0x50000080, 0},                       // 13 image button, control size
    {L"STATIC", 0x5001000D, 0x5000000D, 0},                       // 14 graphic control
    {L"STATIC", 0x5001000D, 0x5000000D, 0},                       // 15 owner-drawn static
    {L"SysHeader32", 0x50000000, 0x50000000, 0},                  // 16 header
    {L"SysListView32", 0x50000009, 0x50000000, 0},                // 17 list view
    {L"SysTreeView32", 0x50010027, 0x50000000, 0},                // 18 tree view
    {L"msctls_progress32", 0x50800000, 0x50000000, 0},            // 19 progress bar
    {L"msctls_statusbar32", 0x50000003, 0x50000000, 0},           // 20 status bar
    {L"ToolbarWindow32", 0x50800801, 0x50000000, 0},              // 21 toolbar
    {L"SysTabControl32", 0x56010000, 0x50000000, 0x00000305},     // 22 tab control
    {L"ACTIVEX", 0, 0, 0},                                        // 23 named class
    {L"COMBOBOX", 0x50010102, 0x50000000, 0},                     // 24 drop-down combo box
    {L"LISTBOX", 0x50A10003, 0x50000001, 0},                      // 25 list box
};

namespace {

// A string taken off the temporary-string stack; released when it goes.
struct taken_string {
    string_handle value = pop_string();
    ~taken_string() { release_string(value); }
    const wchar_t* wide() const { return wide_text(value); }
    bool empty() const { return wide_units(value) == 0; }
};

// RT_BITMAP as a wide resource type.
const wchar_t* const BITMAP_RESOURCE = MAKEINTRESOURCEW(2);

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
    if ((row == 1 || is_image_button_row(row)) && (kept_style & BS_DEFPUSHBUTTON))
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
                record->tab_procedure = reinterpret_cast<WNDPROC>(SetWindowLongW(
                    control, GWL_WNDPROC, reinterpret_cast<LONG>(tab_control_procedure)));
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
        info.nMax = 100;
        info.nPage = 10;
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
bool parse_resource_number(const wchar_t* text, WORD* number)
{
    uint32_t value = 0;
    int digits = 0;
    for (; *text; ++text, ++digits) {
        if (*text < L'0' || *text > L'9' || digits == 5)
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
