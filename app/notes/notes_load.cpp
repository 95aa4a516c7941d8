// Loading: the notes file is read through the run-time's numbered files,
// whose line rules shape the text, and shown in the box; beside it, what the
// file was is kept for the saves to compare with.
#include "app/notes/notes_load.h"

#include "app/notes/box_text.h"
#include "app/notes/notes_path.h"
#include "app/notes/notes_record.h"
#include "app/notes/owned_string.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

namespace {

const int16_t READ_FILE_NUMBER = 1;
// INPUT; read access, access-stated, lock code 1: nobody else may write the
// notes while they are read.
const uint16_t MODE_INPUT_LOCKED =
    file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_STATED | FILE_LOCK_EXCLUSIVE);
static_assert(MODE_INPUT_LOCKED == 0x1A1, "INPUT, read, access-stated, lock code 1");
const int32_t READ_RECORD_LENGTH = 128;

const char LINE_END[] = "\r\n";
const wchar_t LINE_END_WIDE[] = L"\r\n";

// What the notes file is now, by its bytes.
file_state current_notes_state()
{
    owned_string path(notes_file_path());
    file_state state = {true, false, 0, 0};
    DWORD error = 0;
    if (path.value)
        state = read_file_state(wide_text(path.value), nullptr, &error);
    return state;
}

}  // namespace

namespace {

// One reading of the notes file; see read_notes_as_shown.
notes_reading read_notes_once()
{
    activation frame;
    notes_reading reading = {0, NOTES_CODE_PAGE, true, false, {}};
    file_state before = current_notes_state();
    // The lines are gathered in one growing buffer, so reading is linear in
    // the size of the file.
    gathered_bytes text;
    bool memory_ran_out = false;

    push_notes_file_path();
    open_file(MODE_INPUT_LOCKED, READ_RECORD_LENGTH, 1, nullptr, READ_FILE_NUMBER);
    bool opened = error_number() == RUNTIME_ERROR_NONE;
    if (!opened)
        reading.whole = false;
    // The first line is read without an end-of-file test: a file that could
    // not be opened shows one empty line.
    do {
        read_line(READ_FILE_NUMBER);
        owned_string line(pop_string());
        if (opened && error_number() != RUNTIME_ERROR_NONE) {
            reading.whole = false;
            reading.busy = true;
        }
        if (!text.append(string_text(line.value), string_bytes(line.value)) ||
            !text.append(LINE_END, 2)) {
            memory_ran_out = true;
            break;
        }
    } while (reading.whole && !end_of_file(READ_FILE_NUMBER));
    close_file(READ_FILE_NUMBER, 0);
    clear_error();
    reading.state = current_notes_state();
    reading.busy = reading.busy || !opened || !same_file_state(before, reading.state);
    if (reading.busy || !reading.state.known)
        reading.whole = false;

    notes_text shown = {0, NOTES_CODE_PAGE, false, false};
    if (!memory_ran_out) {
        thread_record* thread = current_thread_record();
        shown = decode_notes(text.data, text.size, thread ? thread->code_page : CP_ACP);
    }
    text.release();
    if (!shown.ok) {
        // What could not be decoded is not in the text: one empty line is.
        reading.whole = false;
        shown.text = copy_wide_string(LINE_END_WIDE, 2);
    }
    if (!shown.exact)
        reading.whole = false;  // bytes shown as substitutes would be lost by a replace
    reading.text = shown.text;
    reading.form = shown.form;
    return reading;
}

}  // namespace

notes_reading read_notes_as_shown()
{
    DWORD start = GetTickCount();
    for (;;) {
        notes_reading reading = read_notes_once();
        if (!reading.busy || GetTickCount() - start >= BUSY_WAIT_MS)
            return reading;
        release_string(reading.text);
        pause_answering(BUSY_PAUSE_MS);
    }
}

// Shows the notes, then records the box's text as it came back, so that
// leaving without an edit touches nothing, and what the file was.
void load_notes(HWND box)
{
    activation frame;
    notes_reading reading = read_notes_as_shown();
    uint32_t shown_units = wide_units(reading.text);
    show_in_box(box, reading.text);

    box_text in_box;
    if (!read_box_text(box, &in_box) || in_box.count != shown_units)
        reading.whole = false;  // the box stops at a NUL unit, took less, or cannot be read back
    notes.form = reading.form;
    notes.partly_shown = !reading.whole;
    mark_unchanged(&notes, in_box.units, in_box.count);
    set_notes_base(in_box.units, in_box.count);
    notes.seen = reading.state;
}
