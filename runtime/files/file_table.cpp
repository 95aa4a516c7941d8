// The file-number table: open file records, newest first, by number.
#include "runtime/files/file_table.h"

namespace {

file_record* table_head;  // owns every record linked from it
spin_lock table_lock;     // guards the links of the table

}  // namespace

file_record* find_file(int16_t number)
{
    lock_hold hold(&table_lock);
    for (file_record* record = table_head; record; record = record->link) {
        if (record->number == number)
            return record;
    }
    return nullptr;
}

void insert_file(file_record* record)
{
    lock_hold hold(&table_lock);
    record->link = table_head;
    table_head = record;
}

void remove_file(file_record* record)
{
    lock_hold hold(&table_lock);
    for (file_record** slot = &table_head; *slot; slot = &(*slot)->link) {
        if (*slot == record) {
            *slot = record->link;
            record->link = nullptr;
            return;
        }
    }
}

file_record* newest_file()
{
    lock_hold hold(&table_lock);
    return table_head;
}

file_record* new_file_record(int32_t record_length)
{
    size_t size = sizeof(file_record) + static_cast<size_t>(record_length);
    void* memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    return static_cast<file_record*>(memory);
}

void free_file_record(file_record* record)
{
    if (!record)
        return;
    release_string(record->name);
    record->name = 0;
    HeapFree(GetProcessHeap(), 0, record);
}

void prepare_path(prepared_path* path)
{
    string_handle argument = pop_string();
    uint32_t units = wide_units(argument);
    if (units > PREPARED_PATH_UNITS)
        units = PREPARED_PATH_UNITS;
    const wchar_t* text = wide_text(argument);
    bool wildcard = false;
    for (uint32_t i = 0; i < units; ++i) {
        wchar_t unit = text[i];
        if (unit == L'*' || unit == L'?')
            wildcard = true;
        path->units[i] = unit;
    }
    path->units[units] = 0;
    path->length = units;
    path->has_wildcard = wildcard;
    release_string(argument);
}

uint32_t seek_file(file_record* record, int64_t distance, DWORD method, uint64_t* offset)
{
    LONG high = static_cast<LONG>(distance >> 32);
    HANDLE handle = record->handle;
    guard_verdict verdict = guarded_call([&] {
        return SetFilePointer(handle, static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    });
    record->transfer_count = static_cast<uint32_t>(high);
    if (verdict.failed())
        return verdict.error;
    if (offset)
        *offset = (static_cast<uint64_t>(record->transfer_count) << 32) | static_cast<uint32_t>(verdict.value);
    return 0;
}

uint32_t read_record(file_record* record)
{
    HANDLE handle = record->handle;
    uint8_t* buffer = record_buffer(record);
    DWORD wanted = static_cast<DWORD>(record->record_length);
    DWORD got = 0;
    guard_verdict verdict = guarded_call([&] { return ReadFile(handle, buffer, wanted, &got, nullptr); });
    if (verdict.failed()) {
        record->fill = 0;
        return verdict.error;
    }
    // A wide-text file is taken in whole units; an odd last byte is read
    // again by the next refill, which starts at buffer_base + cursor.
    record->fill = is_wide_text(record) ? (got & ~1u) : got;
    return 0;
}
