// Opening a file by name (or adopting a system handle) under a file number.
#include "runtime/files/file_table.h"

namespace {

// Held for the whole of open_file, so that the check for a free number and the
// insertion of the new record cannot interleave with another open.
spin_lock open_lock;

enum { RANDOM_RECORD_LIMIT = 32768 };

// Share mode for a lock code.  Codes 1..4 give the code minus 1; code 0 (no
// lock stated) lets others read but not write, matching the buffered reading
// such files get.  Codes 5..7 are refused by open_file.
DWORD share_mode_for(uint8_t lock_code)
{
    if (lock_code == FILE_LOCK_NONE_STATED)
        return FILE_SHARE_READ;
    return static_cast<DWORD>(lock_code - 1);
}

// Opens the prepared path with the record's access; the handle goes to the
// record.  0 or a run-time number.
uint32_t open_by_name(file_record* record, const prepared_path& path)
{
    bool existing_only = (record->mode & FILE_MODE_INPUT) || (record->mode & FILE_MODE_DEVICE);
    DWORD disposition = existing_only ? OPEN_EXISTING : OPEN_ALWAYS;
    DWORD share = share_mode_for(record->access & FILE_ACCESS_LOCK);
    for (;;) {
        DWORD desired = 0;
        if (record->access & FILE_ACCESS_READ)
            desired |= GENERIC_READ;
        if (record->access & FILE_ACCESS_WRITE)
            desired |= GENERIC_WRITE;
        SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        // Success is decided by the handle alone: OPEN_ALWAYS on an existing
        // file succeeds with ERROR_ALREADY_EXISTS as the last error.
        guard_verdict verdict = guarded_call([&] {
            return CreateFileW(path.units, desired, share, &security, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        });
        HANDLE handle = reinterpret_cast<HANDLE>(verdict.value);
        if (handle != INVALID_HANDLE_VALUE) {
            record->handle = handle;
            return 0;
        }
        if (record->mode & FILE_MODE_DEVICE)
            return RUNTIME_ERROR_DEVICE_MODE;
        uint32_t error = verdict.error ? verdict.error : RUNTIME_ERROR_PATH_FILE_ACCESS;
        if (record->access & FILE_ACCESS_STATED)
            return error;
        if (!(record->access & FILE_ACCESS_WRITE))
            return error;
        // Not allowed to write (a read-only file, for one): open it for reading.
        record->access &= static_cast<uint8_t>(~FILE_ACCESS_WRITE);
    }
}

// The completion step after the system open.  0 or a run-time number.
uint32_t complete_by_mode(file_record* record)
{
    uint8_t mode = record->mode;
    bool disk = record->device_kind == FILE_DISK;
    if (mode == FILE_MODE_OUTPUT) {
        if (!disk)
            return 0;
        uint32_t error = seek_file(record, 0, FILE_BEGIN, nullptr);
        if (error)
            return error;
        HANDLE handle = record->handle;
        guard_verdict verdict = guarded_call([&] { return SetEndOfFile(handle); });
        return verdict.error;
    }
    if (mode & FILE_MODE_APPEND) {
        // Checked before positioning: a pipe or a device has no end to go to.
        if (!disk)
            return RUNTIME_ERROR_BAD_FILE_MODE;
        return seek_file(record, 0, FILE_END, &record->buffer_base);
    }
    if (mode & FILE_MODE_RANDOM) {
        if (record->record_length > RANDOM_RECORD_LIMIT)
            return RUNTIME_ERROR_INVALID_ARGUMENT;
        return seek_file(record, 0, FILE_BEGIN, nullptr);
    }
    if (mode & FILE_MODE_INPUT) {
        if (!disk)
            return 0;  // nothing is read ahead from a pipe or a device
        uint32_t error = seek_file(record, 0, FILE_BEGIN, nullptr);
        if (error)
            return error;
        return read_record(record);
    }
    if (mode & FILE_MODE_DEVICE)
        return disk ? RUNTIME_ERROR_DEVICE_MODE : RUNTIME_ERROR_NONE;
    return seek_file(record, 0, FILE_BEGIN, nullptr);
}

// A record being opened: owned here until it is handed to the table.  On
// any failure it is freed, and a handle opened for it is closed again.
struct record_in_making {
    file_record* record;
    explicit record_in_making(file_record* r) : record(r) {}
    ~record_in_making()
    {
        if (!record)
            return;
        if (record->handle && !(record->status & FILE_STATUS_ATTACHED))
            CloseHandle(record->handle);
        record->handle = nullptr;
        free_file_record(record);
    }
    record_in_making(const record_in_making&) = delete;
    record_in_making& operator=(const record_in_making&) = delete;
};

// Everything after the checks: 0 or a run-time number.  The record joins the
// table only once it is complete, so no other thread ever finds it half made.
uint32_t open_record(const prepared_path& path, uint8_t mode, uint8_t access, int32_t record_length,
                     uint16_t base, HANDLE attached_handle, int16_t number)
{
    record_in_making making(new_file_record(record_length));
    file_record* record = making.record;
    if (!record)
        return RUNTIME_ERROR_OUT_OF_MEMORY;
    record->number = number;
    record->mode = mode;
    record->access = access;
    record->record_length = record_length;
    record->base = base;
    record->device_kind = FILE_DISK;

    if (attached_handle) {
        record->handle = attached_handle;
        record->status |= FILE_STATUS_ATTACHED;
    } else {
        uint32_t error = open_by_name(record, path);
        if (error)
            return error;
    }
    HANDLE handle = record->handle;
    guard_verdict verdict = guarded_call([&] { return GetFileType(handle); });
    if (verdict.value != FILE_TYPE_DISK)
        record->device_kind = FILE_OTHER;
    uint32_t error = complete_by_mode(record);
    if (error)
        return error;
    if (path.length > 0) {
        record->name = copy_wide_string(path.units, path.length);
        if (!record->name)
            return RUNTIME_ERROR_OUT_OF_MEMORY;
    }
    insert_file(record);
    making.record = nullptr;  // the table owns it now
    return 0;
}

}  // namespace

void open_file(uint16_t mode_word, int32_t record_length, uint32_t base_flag, HANDLE attached_handle,
               int16_t number)
{
    lock_hold hold(&open_lock);
    prepared_path path;
    prepare_path(&path);

    uint8_t mode = static_cast<uint8_t>(mode_word >> 8);
    uint8_t access = static_cast<uint8_t>(mode_word & 0xFF);
    if ((!attached_handle && path.length == 0) || path.has_wildcard) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NAME);
        return;
    }
    // Files written without a buffer use a one-byte record.
    if ((mode & (FILE_MODE_OUTPUT | FILE_MODE_APPEND | FILE_MODE_BINARY)) && !(mode & FILE_MODE_RANDOM))
        record_length = 1;
    if (number < 0) {
        raise_error(RUNTIME_ERROR_BAD_FILE_NUMBER);
        return;
    }
    if (record_length < 1) {
        raise_error(RUNTIME_ERROR_INVALID_ARGUMENT);
        return;
    }
    // A wide-text line reader needs room for one whole unit.
    if ((access & FILE_ACCESS_WIDE) && (mode & FILE_MODE_INPUT) && record_length < 2)
        record_length = 2;
    if ((access & FILE_ACCESS_LOCK) > FILE_LOCK_SHARE_BOTH) {
        raise_error(RUNTIME_ERROR_INVALID_ARGUMENT);
        return;
    }
    // Socket channels are not part of this system.
    if (mode & FILE_MODE_SOCKET) {
        raise_error(RUNTIME_ERROR_MISSING_FEATURE);
        return;
    }
    if (find_file(number)) {
        raise_error(RUNTIME_ERROR_FILE_ALREADY_OPEN);
        return;
    }
    uint32_t error = open_record(path, mode, access, record_length,
                                 static_cast<uint16_t>(base_flag & 1), attached_handle, number);
    if (error)
        raise_error(error);
}
