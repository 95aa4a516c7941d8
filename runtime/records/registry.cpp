// Window records and the window registry.
//
// Every dialog and control the engine made has one record, found by window
// handle.  The registry lock is held only for one walk or one relink; the
// fields of a record found under it are read and written after it is given
// back, on the dialog's thread.
#include <windows.h>
#include <oleauto.h>
#include <string.h>

#include "runtime/records/records.h"

window_record* g_registry_head = nullptr;
spin_lock g_registry_lock = {0};

namespace {

bool is_graphic_class(uint32_t class_index)
{
    return class_index == ROW_GRAPHIC || class_index == ROW_OWNER_DRAWN ||
           class_index == GRAPHIC_WINDOW_CLASS;
}

window_record* find_record_unlocked(HWND hwnd)
{
    for (window_record* record = g_registry_head; record; record = record->next) {
        if (record->hwnd == hwnd)
            return record;
    }
    return nullptr;
}

}  // namespace

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

namespace {

// The walk behind next_owned and next_owned_bar.  `after` must still be in the
// registry; when it is not, the walk ends.  The plain walk takes every record
// the window owns: a tab control owns the dialog records of its pages.
window_record* next_owned_where(HWND owner, window_record* after, bool bars_only)
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

}  // namespace

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

window_record* unlink_record(HWND hwnd)
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

void free_window_record(window_record* record)
{
    SysFreeString(reinterpret_cast<BSTR>(record));
}
