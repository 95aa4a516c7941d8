// Output to OUTPUT and APPEND files, flushing and closing.
//
// Output is unbuffered: every print and every line end is one system write,
// so nothing is held back in the process and closing flushes nothing.
#include "runtime/files/file_table.h"

namespace {

const uint8_t WRITE_MODES = FILE_MODE_OUTPUT | FILE_MODE_APPEND;

// Removes the record from the table, ends an OUTPUT disk file where writing
// ended and closes an owned handle.  0 or the first failure's number.
uint32_t close_record(file_record* record)
{
    remove_file(record);
    uint32_t error = 0;
    HANDLE handle = record->handle;
    if ((record->mode & FILE_MODE_OUTPUT) && record->device_kind == FILE_DISK) {
        guard_verdict verdict = guarded_call([&] { return SetEndOfFile(handle); });
        if (verdict.failed())
            error = verdict.error;
    }
    if (!(record->mode & FILE_MODE_SOCKET) && !(record->status & FILE_STATUS_ATTACHED)) {
        guard_verdict verdict = guarded_call([&] { return CloseHandle(handle); });
        if (verdict.failed() && !error)
            error = verdict.error;
    }
    record->handle = nullptr;
    free_file_record(record);
    return error;
}

}  // namespace

uint32_t write_bytes(file_record* record, const void* data, uint32_t length)
{
    if (!(record->mode & WRITE_MODES))
        return RUNTIME_ERROR_BAD_FILE_MODE;
    HANDLE handle = record->handle;
    DWORD written = 0;
    guard_verdict verdict = guarded_call([&] { return WriteFile(handle, data, length, &written, nullptr); });
    record->transfer_count = written;
    if (verdict.failed())
        return verdict.error;
    bool disk = record->device_kind == FILE_DISK;
    // What did reach the file is counted even when the write fell short.
    if (disk)
        record->buffer_base += record->transfer_count;
    record->cursor += record->transfer_count;
    if (record->transfer_count < length)
        return disk ? RUNTIME_ERROR_DISK_FULL : RUNTIME_ERROR_DEVICE_IO;
    return 0;
}

void print_to_file(int16_t number)
{
    file_record* record = find_file(number);
    if (!record) {
        pop_release();
        raise_error(RUNTIME_ERROR_BAD_FILE_NUMBER);
        return;
    }
    string_handle text = peek_string(0);
    uint32_t length = string_bytes(text);
    uint32_t error = 0;
    if (length == 0) {
        // nothing is written and nothing is reported
    } else if (!is_wide_text(record)) {
        error = write_bytes(record, string_text(text), length);
    } else {
        thread_record* thread = current_thread_record();
        UINT code_page = thread ? thread->code_page : CP_ACP;
        int units = MultiByteToWideChar(code_page, MB_PRECOMPOSED, string_text(text),
                                        static_cast<int>(length), nullptr, 0);
        string_handle wide = units > 0 ? alloc_wide_string(static_cast<uint32_t>(units)) : 0;
        if (!wide || MultiByteToWideChar(code_page, MB_PRECOMPOSED, string_text(text),
                                         static_cast<int>(length),
                                         const_cast<wchar_t*>(wide_text(wide)), units) != units) {
            error = RUNTIME_ERROR_OUT_OF_MEMORY;  // the text cannot be converted: nothing is written
        } else {
            error = write_bytes(record, wide_text(wide), string_bytes(wide));
        }
        release_string(wide);
    }
    pop_release();
    if (error)
        raise_error(error);
}

void end_print_line(int16_t number)
{
    static const uint8_t byte_line_end[2] = {0x0D, 0x0A};
    static const uint8_t wide_line_end[4] = {0x0D, 0x00, 0x0A, 0x00};
    file_record* record = find_file(number);
    if (!record) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NUMBER);
        return;
    }
    uint32_t error = is_wide_text(record) ? write_bytes(record, wide_line_end, sizeof wide_line_end)
                                          : write_bytes(record, byte_line_end, sizeof byte_line_end);
    if (error != RUNTIME_ERROR_BAD_FILE_MODE)
        record->cursor = 0;
    if (error)
        raise_error(error);
}

void close_file(int16_t number, uint32_t mode_mask)
{
    file_record* record = find_file(number);
    if (!record)
        return;
    if (mode_mask != 0 && !(record->mode & mode_mask)) {
        raise_error(RUNTIME_ERROR_BAD_FILE_MODE);
        return;
    }
    uint32_t error = close_record(record);
    if (error)
        raise_error(error);
}

void close_all_files()
{
    uint32_t first_error = 0;
    while (file_record* record = newest_file()) {
        uint32_t error = close_record(record);
        if (error && !first_error)
            first_error = error;
    }
    if (first_error)
        raise_error(first_error);
}

void flush_file(int16_t number)
{
    file_record* record = find_file(number);
    if (!record) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NUMBER);
        return;
    }
    HANDLE handle = record->handle;
    guard_verdict verdict = guarded_call([&] { return FlushFileBuffers(handle); });
    if (verdict.failed())
        raise_error(verdict.error);
}
