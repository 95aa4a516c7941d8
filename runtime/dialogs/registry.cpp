// Window records and the window registry.
//
// Every dialog and control the engine made has one record, found by window
// handle.  The registry lock is held only for one walk or one relink; the
// fields of a record found under it are read and written after it is given
// back, on the dialog's thread.
#include <windows.h>
#include <oleauto.h>
#include <commctrl.h>
#include <string.h>

#include "runtime/controls/controls.h"
#include "runtime/dialogs/dialogs.h"

window_record* g_registry_head = nullptr;
spin_lock g_registry_lock = {0};

static bool is_graphic_class(uint32_t class_index)
{
    return class_index == ROW_GRAPHIC || class_index == ROW_OWNER_DRAWN ||
           class_index == GRAPHIC_WINDOW_CLASS;
}

// Frees the memory of a record that is in no list.
static void free_record(window_record* record)
{
    SysFreeString(reinterpret_cast<BSTR>(record));
}

static window_record* find_record_unlocked(HWND hwnd)
{
    for (window_record* record = g_registry_head; record; record = record->next) {
        if (record->hwnd == hwnd)
            return record;
    }
    return nullptr;
}

window_record* find_record(HWND hwnd)
{
    lock_hold hold(&g_registry_lock);
    return find_record_unlocked(hwnd);
}

window_record* register_window(HWND hwnd, HWND owner, uint32_t kind, uint32_t class_index)
{
    // No window, no record: a record for 0 would answer every lookup of a
    // failed creation.
    if (!hwnd || find_record(hwnd))
        return nullptr;  // an existing record stays as it is

    window_record* record = reinterpret_cast<window_record*>(
        SysAllocStringByteLen(nullptr, sizeof(window_record)));
    if (!record)
        return nullptr;
    memset(record, 0, sizeof(window_record));  // the allocator leaves the block uninitialised

    record->hwnd = hwnd;
    record->owner = owner;
    record->kind = kind;
    record->class_index = class_index;
    record->back_color = COLOR_CODE_NOT_SET;
    record->text_color = COLOR_CODE_NOT_SET;

    if (is_graphic_class(class_index)) {
        record->default_text_color = static_cast<int32_t>(GetSysColor(COLOR_WINDOWTEXT));
        record->default_back_color = static_cast<int32_t>(GetSysColor(COLOR_BTNFACE));
        HBRUSH brush = find_shared_brush(record->default_back_color);
        if (!brush)
            brush = CreateSolidBrush(static_cast<COLORREF>(record->default_back_color));
        record->default_brush = brush;
    }

    lock_hold hold(&g_registry_lock);
    record->next = g_registry_head;
    g_registry_head = record;
    return record;
}

HWND first_owned_control(HWND owner)
{
    lock_hold hold(&g_registry_lock);
    for (window_record* record = g_registry_head; record; record = record->next) {
        if ((record->kind & KIND_CONTROL) && record->owner == owner)
            return record->hwnd;
    }
    return nullptr;
}

// The walk behind next_owned and next_owned_bar.  `after` must still be in the
// registry; when it is not, the walk ends.  The plain walk takes every record
// the window owns: a tab control owns the dialog records of its pages.
static window_record* next_owned_where(HWND owner, window_record* after, bool bars_only)
{
    lock_hold hold(&g_registry_lock);
    window_record* record = g_registry_head;
    if (after) {
        record = g_registry_head;
        while (record && record != after)
            record = record->next;
        if (!record)
            return nullptr;
        record = record->next;
    }
    for (; record; record = record->next) {
        if (record->owner != owner)
            continue;
        if (bars_only && (!(record->kind & KIND_CONTROL) ||
                          (record->class_index != ROW_STATUSBAR && record->class_index != ROW_TOOLBAR)))
            continue;
        return record;
    }
    return nullptr;
}

window_record* next_owned_bar(HWND owner, window_record* after)
{
    return next_owned_where(owner, after, true);
}

window_record* next_owned(HWND owner, window_record* after)
{
    return next_owned_where(owner, after, false);
}

HBRUSH find_shared_brush(int32_t color)
{
    lock_hold hold(&g_registry_lock);
    for (window_record* record = g_registry_head; record; record = record->next) {
        if (record->back_brush && record->back_color == color)
            return record->back_brush;
        if (record->default_brush && record->default_back_color == color)
            return record->default_brush;
    }
    return nullptr;
}

uint32_t registry_length()
{
    lock_hold hold(&g_registry_lock);
    uint32_t count = 0;
    for (window_record* record = g_registry_head; record; record = record->next)
        ++count;
    return count;
}

bool get_record_field(HWND hwnd, uint32_t field, uint32_t* value)
{
    *value = 0;
    window_record* record = find_record(hwnd);
    if (!record || field >= sizeof(window_record) / 4)
        return false;
    *value = reinterpret_cast<const uint32_t*>(record)[field];
    return true;
}

bool set_record_field(HWND hwnd, uint32_t field, uint32_t value)
{
    window_record* record = find_record(hwnd);
    if (!record || field >= sizeof(window_record) / 4)
        return false;
    reinterpret_cast<uint32_t*>(record)[field] = value;
    return true;
}

// Takes the record of hwnd out of the registry; null when it is not there.
static window_record* unlink_record(HWND hwnd)
{
    lock_hold hold(&g_registry_lock);
    window_record** link = &g_registry_head;
    while (*link && (*link)->hwnd != hwnd)
        link = &(*link)->next;
    window_record* record = *link;
    if (record) {
        *link = record->next;
        record->next = nullptr;
    }
    return record;
}

// Image lists that particular control kinds hold: the message that reads a
// list, its wparam, and the message that sets it.
namespace {
struct image_list_slot {
    uint32_t class_index;
    UINT get_message;
    WPARAM which;
    UINT set_message;
};
const image_list_slot image_list_slots[] = {
    {21, TB_GETIMAGELIST, 0, TB_SETIMAGELIST},
    {21, TB_GETDISABLEDIMAGELIST, 0, TB_SETDISABLEDIMAGELIST},
    {21, TB_GETHOTIMAGELIST, 0, TB_SETHOTIMAGELIST},
    {18, TVM_GETIMAGELIST, TVSIL_NORMAL, TVM_SETIMAGELIST},
    {22, TCM_GETIMAGELIST, 0, TCM_SETIMAGELIST},
};
}  // namespace

// Destroys each list the control still returns (a destroyed control returns
// none).  With `detach`, the control is also told to forget it, so that
// nothing draws with a destroyed list.
static void destroy_image_lists(HWND window, uint32_t class_index, bool detach)
{
    for (const image_list_slot& slot : image_list_slots) {
        if (slot.class_index != class_index)
            continue;
        HIMAGELIST list =
            reinterpret_cast<HIMAGELIST>(SendMessageW(window, slot.get_message, slot.which, 0));
        if (!list)
            continue;
        if (detach)
            SendMessageW(window, slot.set_message, slot.which, 0);
        ImageList_Destroy(list);
    }
}

void destroy_owned_image_lists(HWND dialog)
{
    window_record* control = next_owned(dialog, nullptr);
    while (control) {
        HWND window = control->hwnd;
        if (control->kind & KIND_CONTROL)
            destroy_image_lists(window, control->class_index, true);
        control = find_record(window);  // released meanwhile: the walk ends
        if (control)
            control = next_owned(dialog, control);
    }
}

// The companion windows of a graphic window.
static void destroy_companions(window_record* record)
{
    uint32_t* block = record->graphic_block;
    for (uint32_t slot = GRAPHIC_COMPANION_FIRST; slot < GRAPHIC_COMPANION_FIRST + 3; ++slot) {
        HWND companion = reinterpret_cast<HWND>(block[slot]);
        block[slot] = 0;
        if (companion)
            DestroyWindow(companion);
    }
}

// The drawing objects of a graphic control or window: the picture selected
// into its memory device context, a further object, and the context itself.
static void release_graphic_objects(window_record* record)
{
    uint32_t* block = record->graphic_block;
    HDC dc = reinterpret_cast<HDC>(block[GRAPHIC_MEMORY_DC]);
    HGDIOBJ first_bitmap = reinterpret_cast<HGDIOBJ>(block[GRAPHIC_FIRST_BITMAP]);
    HGDIOBJ object = reinterpret_cast<HGDIOBJ>(block[GRAPHIC_OBJECT]);
    block[GRAPHIC_MEMORY_DC] = 0;
    block[GRAPHIC_FIRST_BITMAP] = 0;
    block[GRAPHIC_OBJECT] = 0;
    if (dc && first_bitmap) {
        HGDIOBJ picture = SelectObject(dc, first_bitmap);
        if (picture)
            DeleteObject(picture);
    }
    if (object)
        DeleteObject(object);
    if (dc)
        DeleteDC(dc);
}

// Releases the record of hwnd (after the records of the controls it owns).
// False when hwnd has no record.
static bool release_record(HWND hwnd)
{
    // The newest control goes first.  Each pass finds a record that the
    // release then unlinks, so the walk ends.
    while (HWND control = first_owned_control(hwnd)) {
        if (control == hwnd)
            break;  // a control recorded as its own owner is released below
        if (!release_record(control))
            return false;
    }

    window_record* record = unlink_record(hwnd);
    if (!record)
        return false;

    // A control's font number goes back to the font list, and the font it had
    // before the run-time changed it is put back.  A dialog's font is the one
    // the window system made from the template and is not the list's.
    if (record->kind & KIND_CONTROL)
        release_control_font(record);

    // The record is out of the registry, so the search sees only the others:
    // a shared brush goes with its last owner.
    if (record->back_color >= 0 && record->back_brush && !find_shared_brush(record->back_color))
        DeleteObject(record->back_brush);
    record->back_brush = nullptr;
    if (record->default_brush && record->default_back_color >= 0 &&
        !find_shared_brush(record->default_back_color))
        DeleteObject(record->default_brush);
    record->default_brush = nullptr;

    destroy_companions(record);
    if (record->image && (record->kind & (KIND_IMAGE_ICON | KIND_IMAGE_BITMAP)))
        destroy_image(record->kind, record->image);
    record->image = nullptr;
    if (record->large_icon)
        DestroyIcon(record->large_icon);
    if (record->small_icon)
        DestroyIcon(record->small_icon);
    record->large_icon = nullptr;
    record->small_icon = nullptr;

    release_graphic_objects(record);
    destroy_image_lists(record->hwnd, record->class_index, false);

    free_record(record);
    return true;
}

void release_window_record(HWND hwnd)
{
    release_record(hwnd);
}
