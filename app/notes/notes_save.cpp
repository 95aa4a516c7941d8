// Saving and adding: what the save does with the notes file as it is now,
// and what the slate knows of the file afterwards.
#include "app/notes/notes_save.h"

#include <string.h>

#include "app/notes/box_text.h"
#include "app/notes/notes_load.h"
#include "app/notes/notes_merge.h"
#include "app/notes/notes_path.h"
#include "app/notes/notes_record.h"
#include "app/notes/notes_write.h"
#include "app/notes/owned_string.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

namespace {

// A merge whose file changed again before its rename starts again from the
// file as it is then, this many times at most.
const uint32_t MERGE_TRIES = 20;

const wchar_t LINE_END[] = L"\r\n";
const uint32_t LINE_END_UNITS = 2;

// What the save does with the notes file as it is now, from one read of it.
struct save_plan {
    bool replace;     // false: merge with the file, or add after it
    bool changed;     // the file was changed or made since the slate saw it
    notes_form form;  // the form the text is written in
    file_state now;   // the file as it was read
};

save_plan plan_save(const wchar_t* notes_file)
{
    gathered_bytes current;
    DWORD error = 0;
    file_state now = read_file_state(notes_file, &current, &error);
    if (!now.exists)
        return {true, false, notes.form, now};  // gone, or never there: written anew
    if (same_file_state(now, notes.seen))
        return {!notes.partly_shown, false, notes.form, now};
    // Changed or made since the slate saw it: merged with the box, or the
    // text goes after what is there now, in that file's form.
    return {false, true, now.known ? form_of_notes(current.data, current.size) : notes.form, now};
}

save_outcome outcome_of(DWORD error)
{
    return {error};
}

uint32_t code_page()
{
    thread_record* thread = current_thread_record();
    return thread ? thread->code_page : CP_ACP;
}

// Writes the merged text over the notes file as `theirs` read it, while it
// is still that.  A merge that only adds lines after the file's text (the
// common case: the file and the box each added lines at the end) is added in
// place, with the file held against other writers, so that a line another
// program adds at the same moment cannot be lost; any other merge replaces
// the file in one rename.
DWORD write_merged(const notes_reading& theirs, string_handle merged, const wchar_t* path,
                   file_state* written)
{
    uint32_t theirs_units = wide_units(theirs.text), merged_units = wide_units(merged);
    bool adds_only = merged_units >= theirs_units &&
                     memcmp(wide_text(merged), wide_text(theirs.text),
                            theirs_units * sizeof(wchar_t)) == 0;
    if (adds_only && merged_units == theirs_units) {
        *written = theirs.state;  // the file holds it all already
        notes.form = theirs.form;
        return 0;
    }
    if (adds_only) {
        notes_text tail = encode_notes(wide_text(merged) + theirs_units, merged_units - theirs_units,
                                       theirs.form, code_page(), true);
        owned_string encoded(tail.text);
        if (!tail.ok)
            return ERROR_NOT_ENOUGH_MEMORY;
        // Code-page notes stay in the code page; text beyond it makes the
        // whole file UTF-8 through the replace path instead.
        if (theirs.form != NOTES_CODE_PAGE || tail.form == NOTES_CODE_PAGE) {
            notes.form = theirs.form;
            return append_notes(encoded.value, path, theirs.state, written, &theirs.state);
        }
    }
    notes_text bytes = encode_notes(wide_text(merged), merged_units, theirs.form, code_page(), false);
    owned_string encoded(bytes.text);
    if (!bytes.ok)
        return ERROR_NOT_ENOUGH_MEMORY;
    DWORD error = replace_notes(encoded.value, path, written, &theirs.state);
    if (!error)
        notes.form = bytes.form;
    return error;
}

// The box's text as a save writes it: with a final line end.  0 without the
// memory for it.
string_handle saved_text(const box_text& text)
{
    bool ends_line = text.count >= LINE_END_UNITS &&
                     text.units[text.count - 2] == L'\r' && text.units[text.count - 1] == L'\n';
    uint32_t units = text.count + (ends_line ? 0 : LINE_END_UNITS);
    string_handle saved = alloc_wide_string(units);
    if (!saved)
        return 0;
    wchar_t* at = const_cast<wchar_t*>(wide_text(saved));
    memcpy(at, text.units, text.count * sizeof(wchar_t));
    if (!ends_line)
        memcpy(at + text.count, LINE_END, LINE_END_UNITS * sizeof(wchar_t));
    return saved;
}

// The box and a notes file changed since the slate showed it, merged line by
// line from the base and written in the file's own form (see write_merged).
// The file is read with the load's rules; when it changes again before the
// write, the merge starts again from it.  False when the file cannot be read
// whole (or memory runs out): the caller adds after it instead.
bool merge_with_file(const box_text& text, const wchar_t* path, DWORD* error, file_state* written,
                     string_handle* merged)
{
    owned_string mine(saved_text(text));
    if (!mine.value)
        return false;
    for (uint32_t attempt = 0; attempt < MERGE_TRIES; ++attempt) {
        notes_reading theirs = read_notes_as_shown();
        if (theirs.state.known && theirs.state.length == 0) {
            // An empty file holds no lines (the load shows it as one empty line).
            release_string(theirs.text);
            theirs.text = 0;
        }
        owned_string theirs_text(theirs.text);
        if (!theirs.whole)
            return false;
        owned_string result;
        if (!merge_notes({wide_text(notes_base), wide_units(notes_base)},
                         {wide_text(theirs_text.value), wide_units(theirs_text.value)},
                         {wide_text(mine.value), wide_units(mine.value)}, &result.value))
            return false;
        *error = write_merged(theirs, result.value, path, written);
        if (*error != ERROR_TARGET_CHANGED) {
            if (!*error) {
                *merged = result.value;
                result.value = 0;
            }
            return true;
        }
    }
    *error = ERROR_SHARING_VIOLATION;  // changed again and again while it was merged
    return true;
}

}  // namespace

save_outcome keep_notes(HWND box)
{
    activation frame;
    box_text text;
    if (!read_box_text(box, &text))
        return outcome_of(ERROR_NOT_ENOUGH_MEMORY);
    if (text.count == 0 || is_unchanged(notes, text.units, text.count))
        return outcome_of(0);
    if (!notes_path_state.valid)
        return outcome_of(notes_path_state.error);
    owned_string notes_file(notes_file_path());
    if (!notes_file.value)
        return outcome_of(ERROR_NOT_ENOUGH_MEMORY);
    const wchar_t* path = wide_text(notes_file.value);

    file_handle lock;
    DWORD error = take_save_lock(&lock);
    if (error)
        return outcome_of(error);
    if (lock.open())
        remove_stray_temporaries();
    save_plan plan = plan_save(path);
    file_state written = {};
    owned_string merged;
    bool base_known = notes.base_known && !notes.partly_shown;
    if (plan.changed && base_known && merge_with_file(text, path, &error, &written, &merged.value)) {
        if (error)
            return outcome_of(error);
        set_notes_base(wide_text(merged.value), wide_units(merged.value));
        notes.partly_shown = false;
    } else {
        notes_text bytes =
            encode_notes(text.units, text.count, plan.form, code_page(), !plan.replace);
        owned_string encoded(bytes.text);
        if (!bytes.ok)
            return outcome_of(ERROR_NOT_ENOUGH_MEMORY);
        error = plan.replace ? replace_notes(encoded.value, path, &written)
                             : append_notes(encoded.value, path, plan.now, &written);
        if (error)
            return outcome_of(error);
        notes.partly_shown = !plan.replace;
        if (plan.replace) {
            notes.form = bytes.form;
            owned_string saved(saved_text(text));
            set_notes_base(wide_text(saved.value), wide_units(saved.value));
            notes.base_known = saved.value != 0;
        }
    }
    // The file as it is now is what the slate saw, and keeping this same box
    // again changes nothing.
    mark_unchanged(&notes, text.units, text.count);
    notes.seen = written;
    return outcome_of(0);
}

// "Borrar": sends the notes file to the Recycle Bin when it is still what the
// slate showed whole, its attributes set to 0 first, and deletes it where it
// cannot be recycled.
// A file that holds text the box never showed (written elsewhere since, or
// never shown whole) stays as it is, and whatever is typed next is added
// after it.  A file that is not there is no failure.
void remove_notes_file()
{
    activation frame;
    notes.unchanged_known = false;
    if (!notes_path_state.valid) {
        notes.partly_shown = false;
        return;
    }
    owned_string notes_file(notes_file_path());
    if (!notes_file.value)
        return;
    file_handle lock;
    if (take_save_lock(&lock) != 0)
        return;
    DWORD error = 0;
    file_state now = read_file_state(wide_text(notes_file.value), nullptr, &error);
    if (now.exists && (notes.partly_shown || !same_file_state(now, notes.seen))) {
        notes.partly_shown = true;
        return;
    }
    if (now.exists) {
        push_notes_file_path();
        set_file_attributes(0);
        clear_error();
        if (!send_to_recycle_bin(wide_text(notes_file.value))) {
            push_notes_file_path();
            delete_file();
            clear_error();
        }
    }
    // The box is empty and the notes file gone: the next file to meet is
    // merged with nothing.
    notes.partly_shown = false;
    set_notes_base(nullptr, 0);
    notes.seen = read_file_state(wide_text(notes_file.value), nullptr, &error);
}
