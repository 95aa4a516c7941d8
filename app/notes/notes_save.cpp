// Saving and adding: what the save does with the notes file as it is now,
// and what the slate knows of the file afterwards.
#include "app/notes/notes_save.h"

#include "app/notes/box_text.h"
#include "app/notes/notes_path.h"
#include "app/notes/notes_record.h"
#include "app/notes/notes_write.h"
#include "app/notes/owned_string.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

namespace {

// What the save does with the notes file as it is now, from one read of it.
struct save_plan {
    bool replace;     // false: add after the file's current contents
    notes_form form;  // the form the text is written in
    file_state now;   // the file as it was read
};

save_plan plan_save(const wchar_t* notes_file)
{
    gathered_bytes current;
    DWORD error = 0;
    file_state now = read_file_state(notes_file, &current, &error);
    if (!now.exists)
        return {true, notes.form, now};  // gone, or never there: written anew
    if (same_file_state(now, notes.seen))
        return {!notes.partly_shown, notes.form, now};
    // Changed or made since the slate saw it: the text goes after what is
    // there now, in that file's form.
    return {false, now.known ? form_of_notes(current.data, current.size) : notes.form, now};
}

save_outcome outcome_of(DWORD error)
{
    return {error};
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
    thread_record* thread = current_thread_record();
    notes_text bytes = encode_notes(text.units, text.count, plan.form,
                                    thread ? thread->code_page : CP_ACP, !plan.replace);
    owned_string encoded(bytes.text);
    if (!bytes.ok)
        return outcome_of(ERROR_NOT_ENOUGH_MEMORY);
    file_state written = {};
    error = plan.replace ? replace_notes(encoded.value, path, &written)
                         : append_notes(encoded.value, path, plan.now, &written);
    if (error)
        return outcome_of(error);
    // What is on disk now is this text: keeping it again changes nothing,
    // and the file as it is now is what the slate saw.
    mark_unchanged(&notes, text.units, text.count);
    notes.partly_shown = !plan.replace;
    if (plan.replace)
        notes.form = bytes.form;
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
    notes.partly_shown = false;
    notes.seen = read_file_state(wide_text(notes_file.value), nullptr, &error);
}
