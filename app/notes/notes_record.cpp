// The notes record, and its stored form.
#include "app/notes/notes_record.h"

// A slate that starts without a notes file has shown nothing: its base is
// the empty text.
notes_record notes = {NOTES_CODE_PAGE, false, false, 0, 0, {}, true};
string_handle notes_base;

void set_notes_base(const wchar_t* units, uint32_t count)
{
    release_string(notes_base);
    notes_base = copy_wide_string(units, count);
    notes.base_known = count == 0 || notes_base != 0;
}

void mark_unchanged(notes_record* record, const wchar_t* units, uint32_t count)
{
    record->unchanged_known = true;
    record->loaded_units = count;
    record->loaded_hash = hash_units(units, count);
}

bool is_unchanged(const notes_record& record, const wchar_t* units, uint32_t count)
{
    // The hash only when the lengths agree: a large box that changed its
    // length is told apart at once.
    return record.unchanged_known && count == record.loaded_units &&
           hash_units(units, count) == record.loaded_hash;
}

stored_record store_record(const notes_record& record)
{
    const uint32_t none = 0;
    const bool known = record.seen.exists && record.seen.known;
    stored_record stored;
    stored.flags = (record.seen.exists ? STORED_SEEN_EXISTS : none) |
                   (known ? STORED_SEEN_KNOWN : none) |
                   (record.partly_shown ? STORED_PARTLY_SHOWN : none);
    stored.form = record.form;
    stored.seen_length = known ? record.seen.length : 0;
    stored.seen_hash = known ? record.seen.hash : 0;
    return stored;
}

bool restore_record(const stored_record& stored, notes_record* record)
{
    if (stored.form > NOTES_UTF8_MARKED)
        return false;
    record->form = static_cast<notes_form>(stored.form);
    record->partly_shown = (stored.flags & STORED_PARTLY_SHOWN) != 0;
    record->unchanged_known = false;
    record->seen.exists = (stored.flags & STORED_SEEN_EXISTS) != 0;
    record->seen.known = (stored.flags & STORED_SEEN_KNOWN) != 0;
    record->seen.length = stored.seen_length;
    record->seen.hash = stored.seen_hash;
    return true;
}
