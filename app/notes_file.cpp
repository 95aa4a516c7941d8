// The notes file "veslinn.txt" in the executable's folder: byte text in the
// system code page, CR LF line ends.
#include <windows.h>

#include <string>

#include "app/app.h"
#include "runtime/controls/controls.h"
#include "runtime/files/files.h"
#include "runtime/strings/strings.h"

namespace {

const int16_t READ_FILE_NUMBER = 1;
const int16_t WRITE_FILE_NUMBER = 2;
const uint16_t MODE_INPUT_LOCKED = 0x1A1;   // INPUT; read, access-stated, no sharing
const uint16_t MODE_OUTPUT_LOCKED = 0x261;  // OUTPUT; write, access-stated, no sharing

void push_notes_file_path()
{
    push_zstring(notes_path);
    push_borrowed(STRING_LITERAL("veslinn.txt"));
    concat_strings();
    to_wide_in_place(0);
}

// The save goes to this file first; it does not start with a dot, so it is
// never taken for a hidden file.
void push_temporary_path()
{
    push_zstring(notes_path);
    push_borrowed(STRING_LITERAL("veslinn.new"));
    concat_strings();
    to_wide_in_place(0);
}

bool ends_with_line_end(string_handle text)
{
    uint32_t n = string_bytes(text);
    const char* bytes = string_text(text);
    return n >= 2 && bytes[n - 2] == '\r' && bytes[n - 1] == '\n';
}

}  // namespace

int32_t notes_file_exists(const char* path)
{
    activation frame;
    push_zstring(path);
    to_wide_in_place(0);
    get_file_attributes();
    return error_number() == 0 ? -1 : 0;
}

void load_notes()
{
    activation frame;
    // The lines are gathered in one growing buffer, so loading is linear in
    // the size of the file.
    std::string text;

    push_notes_file_path();
    open_file(MODE_INPUT_LOCKED, 128, 1, nullptr, READ_FILE_NUMBER);
    if (error_number() != 0)
        notes_unread = -1;

    read_line(READ_FILE_NUMBER);
    string_handle line = pop_string();
    text.append(string_text(line), string_bytes(line));
    text.append("\r\n");
    release_string(line);
    while (!end_of_file(READ_FILE_NUMBER)) {
        read_line(READ_FILE_NUMBER);
        line = pop_string();
        text.append(string_text(line), string_bytes(line));
        text.append("\r\n");
        release_string(line);
    }
    close_file(READ_FILE_NUMBER, 0);

    push_owned(copy_string(text.data(), static_cast<uint32_t>(text.size())));
    std::string().swap(text);
    to_wide_in_place(0);
    set_control_text(control_handle(slate_handle, ID_NOTES_BOX));
}

// Writes the text to a temporary file beside the notes file, checks every
// write, flushes it to disk and closes it; only then replaces the notes file
// with it in one rename.  Any failure keeps the old notes file as it was and
// removes the temporary file.
void save_notes(string_handle* text)
{
    activation frame;
    bool failed = false;

    // A temporary file left behind by an earlier failed run is overwritten.
    push_temporary_path();
    set_file_attributes(0);
    clear_error();

    push_temporary_path();
    open_file(MODE_OUTPUT_LOCKED, 1, 1, nullptr, WRITE_FILE_NUMBER);
    failed = error_number() != 0;
    if (!failed) {
        push_borrowed(*text);
        print_to_file(WRITE_FILE_NUMBER);
        failed = error_number() != 0;
    }
    // A text that already ends with a line end is written as it stands, so
    // notes opened and left unchanged stay byte for byte the same.
    if (!failed && !ends_with_line_end(*text)) {
        end_print_line(WRITE_FILE_NUMBER);
        failed = error_number() != 0;
    }
    if (!failed) {
        flush_file(WRITE_FILE_NUMBER);
        failed = error_number() != 0;
    }
    close_file(WRITE_FILE_NUMBER, 0);
    failed = (error_number() != 0) || failed;

    if (!failed) {
        // The rename cannot replace a read-only file on Windows: clear the
        // old file's attributes first, and put them back if the rename fails.
        push_notes_file_path();
        uint32_t old_attributes = get_file_attributes();
        bool had_file = error_number() == 0;
        push_notes_file_path();
        set_file_attributes(0);
        clear_error();

        push_temporary_path();
        push_notes_file_path();
        rename_file();
        failed = error_number() != 0;
        if (failed && had_file) {
            push_notes_file_path();
            set_file_attributes(old_attributes);
            clear_error();
        }
    }

    if (failed) {
        push_temporary_path();
        set_file_attributes(0);
        clear_error();
        push_temporary_path();
        delete_file();
        clear_error();
    }
}
