// Control colours: codes kept in the window records, background brushes
// shared between records of one colour, and the answer to WM_CTLCOLOR*.
#include <windows.h>
#include <commctrl.h>

#include "runtime/controls/controls.h"

HWND g_dropped_combo = nullptr;

namespace {

const UINT REFRESH_FLAGS = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW;
// Owners refresh_window goes up at most.
const int OWNER_CHAIN_LIMIT = 64;

// System colour indexes standing in for -1, by message from
// WM_CTLCOLORMSGBOX to WM_CTLCOLORSTATIC.
const int text_color_table[7] = {
    COLOR_MENUTEXT, COLOR_WINDOWTEXT, COLOR_WINDOWTEXT, COLOR_BTNTEXT,
    COLOR_WINDOWTEXT, COLOR_WINDOWTEXT, COLOR_WINDOWTEXT,
};
const int back_color_table[7] = {
    COLOR_MENU, COLOR_WINDOW, COLOR_WINDOW, COLOR_BTNFACE,
    COLOR_BTNFACE, COLOR_SCROLLBAR, COLOR_BTNFACE,
};

// A colour code's red, green and blue bytes, and the largest value of one.
const int32_t RGB_BITS = 0xFFFFFF;
const int32_t COMPONENT_MAX = 255;

int32_t clamp_component(int32_t value)
{
    return value < 0 ? 0 : (value > COMPONENT_MAX ? COMPONENT_MAX : value);
}

// Colours that the control draws itself: list view, tree view, progress bar.
void set_drawn_colors(HWND target, window_record* record, int32_t dialog_back, int32_t fore,
                      int32_t back)
{
    if (back == COLOR_CODE_SYSTEM)
        back = dialog_back;
    else if (back == COLOR_CODE_TRANSPARENT)
        back = COLOR_CODE_SYSTEM;
    record->text_color = fore;
    record->back_color = back;
    LPARAM fore_value = static_cast<LPARAM>(fore);
    LPARAM back_value = static_cast<LPARAM>(back);
    switch (record->class_index) {
    case ROW_LISTVIEW:
        SendMessageW(target, LVM_SETTEXTCOLOR, 0, fore_value);
        SendMessageW(target, LVM_SETTEXTBKCOLOR, 0, back_value);
        SendMessageW(target, LVM_SETBKCOLOR, 0, back_value);
        break;
    case ROW_TREEVIEW:
        SendMessageW(target, TVM_SETBKCOLOR, 0, back_value);
        SendMessageW(target, TVM_SETTEXTCOLOR, 0, fore_value);
        SendMessageW(target, TVM_SETLINECOLOR, 0, fore_value);
        break;
    default:
        SendMessageW(target, PBM_SETBARCOLOR, 0, fore_value);
        SendMessageW(target, PBM_SETBKCOLOR, 0, back_value);
        break;
    }
}

// Sets the text and background colour of one record from its colour codes
// and answers the request.
HBRUSH answer_from_record(const window_record* record, HDC dc, int text_index, int back_index)
{
    int32_t text = record->text_color;
    SetTextColor(dc, text == COLOR_CODE_SYSTEM ? GetSysColor(text_index)
                                               : static_cast<COLORREF>(text));
    int32_t back = record->back_color;
    if (back >= 0) {
        SetBkColor(dc, static_cast<COLORREF>(back));
        return record->back_brush;
    }
    if (back == COLOR_CODE_SYSTEM) {
        SetBkColor(dc, GetSysColor(back_index));
        return GetSysColorBrush(back_index);
    }
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

}  // namespace

int32_t make_color(int32_t red, int32_t green, int32_t blue)
{
    return clamp_component(red) | (clamp_component(green) << 8) | (clamp_component(blue) << 16);
}

void set_control_color(HWND dialog, uint32_t id, int32_t fore, int32_t back)
{
    fore = fore < 0 ? COLOR_CODE_SYSTEM : (fore & RGB_BITS);
    if (back != COLOR_CODE_TRANSPARENT)
        back = back < 0 ? COLOR_CODE_SYSTEM : (back & RGB_BITS);

    HWND target = window_of(dialog, id);
    window_record* dialog_record = find_record(dialog);
    window_record* record = target ? find_record(target) : nullptr;
    if (!dialog_record || !record)
        return;
    int32_t dialog_back = dialog_record->back_color;

    uint32_t row = record->class_index;
    if (row == ROW_LISTVIEW || row == ROW_TREEVIEW || row == ROW_PROGRESS) {
        set_drawn_colors(target, record, dialog_back, fore, back);
        return;
    }

    HBRUSH brush = nullptr;
    // A scroll bar without a background of its own shows the dialog's.  When
    // the dialog has none either, it keeps the code it was given and no brush:
    // a brush made for a code would never be deleted.
    if (back < 0 && row == ROW_SCROLLBAR && dialog_back >= 0)
        back = dialog_back;
    if (back >= 0) {
        brush = find_shared_brush(back);
        if (!brush)
            brush = CreateSolidBrush(static_cast<COLORREF>(back));
        if (!brush)
            back = COLOR_CODE_SYSTEM;
    }

    HBRUSH previous_brush = record->back_brush;
    int32_t previous_back = record->back_color;
    record->back_brush = brush;
    record->text_color = fore;
    record->back_color = back;
    if (previous_brush && previous_brush != brush && !find_shared_brush(previous_back))
        DeleteObject(previous_brush);
}

HBRUSH answer_ctlcolor(HWND, uint32_t message, HDC dc, HWND child)
{
    if (message < WM_CTLCOLORMSGBOX || message > WM_CTLCOLORSTATIC)
        return nullptr;
    uint32_t slot = message - WM_CTLCOLORMSGBOX;

    const window_record* record = find_record(child);
    if (record) {
        if (record->text_color == COLOR_CODE_NOT_SET)
            return nullptr;
        return answer_from_record(record, dc, text_color_table[slot], back_color_table[slot]);
    }

    // The edit field or the dropped list of a combo box: coloured as the combo.
    if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORLISTBOX)
        return nullptr;
    HWND combo = reinterpret_cast<HWND>(GetWindowLongPtrW(child, GWLP_HWNDPARENT));
    if (!combo)
        combo = g_dropped_combo;
    record = combo ? find_record(combo) : nullptr;
    if (!record || record->class_index != ROW_COMBOBOX ||
        record->text_color == COLOR_CODE_NOT_SET)
        return nullptr;
    return answer_from_record(record, dc, COLOR_WINDOWTEXT, COLOR_WINDOW);
}

void refresh_window(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, REFRESH_FLAGS);
    // A transparent window shows its owner through it: redraw what it covers.
    // The bound keeps a malformed owner chain from looping.
    for (int depth = 0; depth < OWNER_CHAIN_LIMIT; ++depth) {
        const window_record* record = find_record(window);
        if (!record || record->back_color != COLOR_CODE_TRANSPARENT || !record->owner)
            return;
        HWND owner = record->owner;
        RECT covered = {0, 0, 0, 0};
        GetWindowRect(window, &covered);
        MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&covered), 2);
        RedrawWindow(owner, &covered, nullptr, REFRESH_FLAGS);
        window = owner;
    }
}
