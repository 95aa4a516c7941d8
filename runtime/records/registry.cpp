// Window records and the window registry.
//
// Every dialog and control the engine made has one record, found by window
// handle.  The registry lock is held only for one walk or one relink; the
// fields of a record found under it are read and written after it is given
// back, on the dialog's thread.
#include <windows.h>
#include <oleauto.h>
#include <stddef.h>
#include <string.h>

#include <type_traits>

#include "runtime/records/records.h"

window_record* g_registry_head = nullptr;
spin_lock g_registry_lock = {0};

namespace {

// Where the field of each word index lies in window_record, and how wide it
// is.  Derived from the members themselves, so both programs agree on which
// field an index names.
struct record_field {
    uint32_t offset;
    uint32_t width;
};

// The width of every field in the 32-bit layout, and of the 32-bit fields of
// the 64-bit one.
enum : uint32_t { LAYOUT_WORD_BYTES = 4 };

// A member of window_record: its offset, the width of one element and the
// number of elements (1 for a plain field).
struct record_member {
    size_t offset;
    size_t width;
    size_t count;
};

template <typename T>
constexpr record_member member_at(size_t offset)
{
    return {offset, sizeof(std::remove_all_extents_t<T>), std::extent_v<T> ? std::extent_v<T> : 1};
}
#define RECORD_MEMBER(name) member_at<decltype(window_record::name)>(offsetof(window_record, name))

// Every member of window_record, in the record's order.
constexpr record_member record_members[] = {
    RECORD_MEMBER(next),          RECORD_MEMBER(hwnd),
    RECORD_MEMBER(owner),         RECORD_MEMBER(kind),
    RECORD_MEMBER(graphic_flags), RECORD_MEMBER(graphic_word),
    RECORD_MEMBER(show_command),  RECORD_MEMBER(font),
    RECORD_MEMBER(previous_font), RECORD_MEMBER(callback),
    RECORD_MEMBER(result_ref),    RECORD_MEMBER(accelerators),
    RECORD_MEMBER(back_brush),    RECORD_MEMBER(back_color),
    RECORD_MEMBER(text_color),    RECORD_MEMBER(graphic_block),
    RECORD_MEMBER(default_brush), RECORD_MEMBER(default_text_color),
    RECORD_MEMBER(default_back_color), RECORD_MEMBER(graphic_tail),
    RECORD_MEMBER(class_index),   RECORD_MEMBER(graphic_procedure),
    RECORD_MEMBER(tab_procedure), RECORD_MEMBER(style),
    RECORD_MEMBER(ex_style),      RECORD_MEMBER(image),
    RECORD_MEMBER(large_icon),    RECORD_MEMBER(small_icon),
    RECORD_MEMBER(graphic_more),
};
#undef RECORD_MEMBER

constexpr size_t count_record_fields()
{
    size_t count = 0;
    for (const record_member& member : record_members)
        count += member.count;
    return count;
}
static_assert(count_record_fields() == RECORD_FIELDS, "one word index per field and array element");

struct record_field_table {
    record_field fields[RECORD_FIELDS];
};

constexpr record_field_table make_record_field_table()
{
    record_field_table table = {};
    uint32_t index = 0;
    for (const record_member& member : record_members) {
        for (size_t element = 0; element < member.count; ++element) {
            table.fields[index].offset = static_cast<uint32_t>(member.offset + element * member.width);
            table.fields[index].width = static_cast<uint32_t>(member.width);
            ++index;
        }
    }
    return table;
}

constexpr record_field_table record_fields = make_record_field_table();

// The list names every member once, in order: each field starts after the
// one before it, with at most alignment padding between, and the last one
// ends the record.  Every field is a 32-bit word or a record word.
constexpr bool fields_cover_the_record()
{
    uint32_t end = 0;
    for (const record_field& field : record_fields.fields) {
        if (field.width != LAYOUT_WORD_BYTES && field.width != sizeof(record_word))
            return false;
        if (field.offset < end || field.offset >= end + field.width)
            return false;
        end = field.offset + field.width;
    }
    return end <= sizeof(window_record) && sizeof(window_record) < end + alignof(window_record);
}
static_assert(fields_cover_the_record(), "record_members lists window_record's members in order");

// The 32-bit layout: every field one 32-bit word, word index i at byte 4 * i.
constexpr bool fields_are_consecutive_words()
{
    for (uint32_t index = 0; index < RECORD_FIELDS; ++index) {
        if (record_fields.fields[index].offset != index * LAYOUT_WORD_BYTES ||
            record_fields.fields[index].width != LAYOUT_WORD_BYTES)
            return false;
    }
    return sizeof(window_record) == RECORD_FIELDS * LAYOUT_WORD_BYTES;
}
static_assert(sizeof(void*) != LAYOUT_WORD_BYTES || fields_are_consecutive_words(),
              "the 32-bit program's window_record is 44 consecutive 32-bit words");
static_assert(sizeof(record_word) == sizeof(void*), "a record word holds a handle or a pointer");
// The 32-bit program's callbacks and record words are the 32-bit types they
// have always been.
static_assert(sizeof(void*) != LAYOUT_WORD_BYTES ||
                  (std::is_same_v<record_word, uint32_t> && std::is_same_v<message_word, uint32_t> &&
                   std::is_same_v<callback_result, int32_t>),
              "32-bit words in the 32-bit program");

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

bool get_record_field(HWND hwnd, uint32_t field, record_word* value)
{
    *value = 0;
    window_record* record = find_record(hwnd);
    if (!record || field >= RECORD_FIELDS)
        return false;
    const record_field& place = record_fields.fields[field];
    const uint8_t* at = reinterpret_cast<const uint8_t*>(record) + place.offset;
    if (place.width == sizeof(record_word)) {
        memcpy(value, at, sizeof(record_word));
    } else {
        uint32_t word;
        memcpy(&word, at, sizeof word);
        *value = word;
    }
    return true;
}

bool set_record_field(HWND hwnd, uint32_t field, record_word value)
{
    window_record* record = find_record(hwnd);
    if (!record || field >= RECORD_FIELDS)
        return false;
    const record_field& place = record_fields.fields[field];
    uint8_t* at = reinterpret_cast<uint8_t*>(record) + place.offset;
    if (place.width == sizeof(record_word)) {
        memcpy(at, &value, sizeof(record_word));
    } else {
        uint32_t word = static_cast<uint32_t>(value);
        memcpy(at, &word, sizeof word);
    }
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
