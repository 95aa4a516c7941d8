// Line input and end of file.
//
// A line ends at CR; an LF directly after the CR belongs to the line end.  A
// Ctrl-Z ends the readable text and is never consumed.  A wide-text file has
// the same rules on 16-bit little-endian units.
#include <string.h>

#include "runtime/files/file_table.h"

namespace {

const uint8_t CR = 0x0D;
const uint8_t LF = 0x0A;
const uint8_t CTRL_Z = 0x1A;

// Modes in which a file is never read line by line.
const uint8_t NOT_INPUT_MODES = FILE_MODE_OUTPUT | FILE_MODE_RANDOM | FILE_MODE_APPEND | FILE_MODE_BINARY;

typedef uint16_t __attribute__((may_alias)) text_unit;

enum { LINE_CHUNK_UNITS = 256 };

// Gathers one line: short lines stay in the local chunk; a longer line moves
// chunk by chunk to a heap area that doubles as it grows, so long lines cost
// linear time.
struct line_gather {
    uint8_t chunk[LINE_CHUNK_UNITS * 2];
    uint32_t chunk_size;      // 256 bytes, or 256 units of a wide-text file
    uint32_t chunk_used = 0;
    uint8_t* heap = nullptr;  // owned here; freed by the destructor
    uint32_t heap_length = 0;
    uint32_t heap_capacity = 0;
    bool gathered = false;    // any text taken: at the end of the text, a read with none fails

    explicit line_gather(uint32_t unit_size) : chunk_size(LINE_CHUNK_UNITS * unit_size) {}
    ~line_gather()
    {
        if (heap)
            HeapFree(GetProcessHeap(), 0, heap);
    }
    line_gather(const line_gather&) = delete;
    line_gather& operator=(const line_gather&) = delete;

    uint32_t length() const { return heap_length + chunk_used; }

    // false when memory runs out.
    bool move_chunk_to_heap()
    {
        uint32_t needed = heap_length + chunk_used;
        if (needed < heap_length)
            return false;
        if (needed > heap_capacity) {
            uint32_t capacity = heap_capacity ? heap_capacity : 1024;
            while (capacity < needed) {
                if (capacity > 0x7FFFFFFFu)
                    return false;
                capacity *= 2;
            }
            void* grown = heap ? HeapReAlloc(GetProcessHeap(), 0, heap, capacity)
                               : HeapAlloc(GetProcessHeap(), 0, capacity);
            if (!grown)
                return false;
            heap = static_cast<uint8_t*>(grown);
            heap_capacity = capacity;
        }
        memcpy(heap + heap_length, chunk, chunk_used);
        heap_length = needed;
        chunk_used = 0;
        return true;
    }

    bool append(const uint8_t* bytes, uint32_t count)
    {
        gathered = gathered || count > 0;
        while (count > 0) {
            uint32_t room = chunk_size - chunk_used;
            uint32_t take = count < room ? count : room;
            memcpy(chunk + chunk_used, bytes, take);
            chunk_used += take;
            bytes += take;
            count -= take;
            if (chunk_used == chunk_size && !move_chunk_to_heap())
                return false;
        }
        return true;
    }

    // The gathered bytes in one piece: the chunk alone, or the heap area after
    // the chunk has been moved there.
    const uint8_t* bytes()
    {
        if (!heap)
            return chunk;
        return move_chunk_to_heap() ? heap : nullptr;
    }
};

// Index of the first CR or Ctrl-Z in p[0..n), or n.  Four bytes at a time.
uint32_t find_line_stop(const uint8_t* p, uint32_t n)
{
    uint32_t i = 0;
    while (i < n && (reinterpret_cast<uintptr_t>(p + i) & 3) != 0) {
        if (p[i] == CR || p[i] == CTRL_Z)
            return i;
        ++i;
    }
    for (; i + 8 <= n; i += 8) {
        uint32_t a, b;
        memcpy(&a, p + i, 4);
        memcpy(&b, p + i + 4, 4);
        uint32_t a1 = a ^ 0x0D0D0D0Du, a2 = a ^ 0x1A1A1A1Au;
        uint32_t b1 = b ^ 0x0D0D0D0Du, b2 = b ^ 0x1A1A1A1Au;
        uint32_t zero = ((a1 - 0x01010101u) & ~a1) | ((a2 - 0x01010101u) & ~a2) |
                        ((b1 - 0x01010101u) & ~b1) | ((b2 - 0x01010101u) & ~b2);
        if (zero & 0x80808080u)
            break;
    }
    for (; i < n; ++i) {
        if (p[i] == CR || p[i] == CTRL_Z)
            return i;
    }
    return n;
}

uint32_t find_line_stop(const text_unit* p, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        if (p[i] == CR || p[i] == CTRL_Z)
            return i;
    }
    return n;
}

template <typename Unit>
inline Unit unit_at(file_record* record, uint32_t index)
{
    return *reinterpret_cast<const Unit*>(record_buffer(record) + index);
}

// One line into `line`: Unit is uint8_t for a byte file, text_unit for a
// wide-text file (gathered as units).  0 or a run-time number.
template <typename Unit>
uint32_t read_text_line(file_record* record, line_gather& line)
{
    const uint32_t size = sizeof(Unit);
    bool disk = record->device_kind == FILE_DISK;
    uint8_t* buffer = record_buffer(record);
    for (;;) {
        buffer_span span = fill_buffer(record);
        if (span.error)
            return span.error;
        if (span.available < size)
            break;
        uint32_t units = span.available / size;
        const Unit* p = reinterpret_cast<const Unit*>(buffer + span.index);
        uint32_t stop = find_line_stop(p, units);
        if (!line.append(buffer + span.index, stop * size))
            return RUNTIME_ERROR_OUT_OF_MEMORY;
        if (stop == units) {
            record->cursor = span.index + units * size;
            continue;
        }
        if (p[stop] == CTRL_Z) {
            record->cursor = span.index + stop * size;
            break;
        }
        uint32_t next = span.index + (stop + 1) * size;
        record->cursor = next;
        if (!disk)
            return 0;  // the unit after a CR is not examined on a pipe or a device
        if (next + size <= record->fill) {
            if (unit_at<Unit>(record, next) == LF)
                record->cursor = next + size;
            return 0;
        }
        // The CR was the last unit of the buffer: look at the next piece.
        buffer_span after = fill_buffer(record);
        if (after.error)
            return after.error;
        if (after.available >= size && unit_at<Unit>(record, after.index) == LF)
            record->cursor = after.index + size;
        return 0;
    }
    return line.gathered ? RUNTIME_ERROR_NONE : RUNTIME_ERROR_INPUT_PAST_END;
}

// The finished line as an owned byte string; false when it cannot be made.
bool make_line_string(file_record* record, line_gather& line, string_handle* result)
{
    *result = 0;
    uint32_t length = line.length();
    if (length == 0)
        return true;
    const uint8_t* bytes = line.bytes();
    if (!bytes)
        return false;
    if (!is_wide_text(record)) {
        *result = copy_string(bytes, length);
        return *result != 0;
    }
    // Wide text becomes byte text in the thread's code page.
    thread_record* thread = current_thread_record();
    UINT code_page = thread ? thread->code_page : CP_ACP;
    const wchar_t* units = reinterpret_cast<const wchar_t*>(bytes);
    int count = static_cast<int>(length / 2);
    int size = WideCharToMultiByte(code_page, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    string_handle text = alloc_string(static_cast<uint32_t>(size));
    if (!text)
        return false;
    if (WideCharToMultiByte(code_page, 0, units, count, const_cast<char*>(string_text(text)), size,
                            nullptr, nullptr) != size) {
        release_string(text);
        return false;
    }
    *result = text;
    return true;
}

// The common case of a byte file: the whole line and the byte after its CR
// are already in the buffer.  The line is made straight from the buffer;
// false (nothing changed) when the general reader must run.
bool read_buffered_line(file_record* record, string_handle* result, uint32_t* error)
{
    if (is_wide_text(record) || record->device_kind != FILE_DISK || (record->access & FILE_ACCESS_LOCK) > FILE_LOCK_SHARE_READ ||
        (record->mode & NOT_INPUT_MODES))
        return false;
    uint32_t cursor = record->cursor;
    if (record->fill <= cursor)
        return false;
    const uint8_t* p = record_buffer(record) + cursor;
    uint32_t available = record->fill - cursor;
    uint32_t stop = find_line_stop(p, available);
    if (stop + 1 >= available || p[stop] != CR)
        return false;
    string_handle text = 0;
    if (stop > 0) {
        text = copy_string(p, stop);
        if (!text) {
            *error = RUNTIME_ERROR_OUT_OF_MEMORY;
            return true;
        }
    }
    record->cursor = cursor + stop + (p[stop + 1] == LF ? 2 : 1);
    *result = text;
    return true;
}

// A pipe, console or device: one new byte (one unit of wide text) per
// request, unless a byte examined earlier is still held.
buffer_span fill_from_stream(file_record* record)
{
    if (record->cursor < record->fill)
        return {record->cursor, record->fill - record->cursor, 0};
    uint32_t unit = is_wide_text(record) ? 2 : 1;
    uint8_t* buffer = record_buffer(record);
    HANDLE handle = record->handle;
    record->cursor = 0;
    record->fill = 0;
    while (record->fill < unit) {
        DWORD got = 0;
        uint8_t* into = buffer + record->fill;
        DWORD wanted = unit - record->fill;
        guard_verdict verdict = guarded_call([&] { return ReadFile(handle, into, wanted, &got, nullptr); });
        if (verdict.failed()) {
            // The writer closing its end of a pipe is the end of the text, as
            // ERROR_HANDLE_EOF is.
            if (verdict.error == RUNTIME_ERROR_INPUT_PAST_END || verdict.system_error == ERROR_BROKEN_PIPE)
                break;
            record->fill = 0;
            return {0, 0, verdict.error};
        }
        if (got == 0)
            break;
        record->fill += got;
    }
    if (record->fill < unit)
        record->fill = 0;  // half a unit at the end is dropped
    return {0, record->fill, 0};
}

}  // namespace

buffer_span fill_buffer(file_record* record)
{
    if (record->mode & NOT_INPUT_MODES)
        return {0, 0, RUNTIME_ERROR_BAD_FILE_MODE};
    if (record->device_kind != FILE_DISK)
        return fill_from_stream(record);
    uint8_t lock_code = record->access & FILE_ACCESS_LOCK;
    // Lock codes that let others write: buffered bytes are never trusted.
    if (lock_code <= FILE_LOCK_SHARE_READ && record->fill > record->cursor)
        return {record->cursor, record->fill - record->cursor, 0};
    uint64_t position = record->buffer_base + record->cursor;
    // Until the refill succeeds no buffered byte is available, and the next
    // request starts again from the same position.
    record->buffer_base = position;
    record->cursor = 0;
    record->fill = 0;
    uint32_t error = seek_file(record, static_cast<int64_t>(position), FILE_BEGIN, &record->buffer_base);
    if (!error)
        error = read_record(record);
    if (error)
        return {0, 0, error};
    return {0, record->fill, 0};
}

void read_line(int16_t number)
{
    file_record* record = find_file(number);
    uint32_t error = 0;
    string_handle result = 0;
    if (!record) {
        error = RUNTIME_ERROR_BAD_FILE_NUMBER;
    } else if (!(record->mode & FILE_MODE_INPUT)) {
        error = RUNTIME_ERROR_BAD_FILE_MODE;
    } else if (!read_buffered_line(record, &result, &error)) {
        line_gather line(is_wide_text(record) ? 2 : 1);
        error = is_wide_text(record) ? read_text_line<text_unit>(record, line)
                                      : read_text_line<uint8_t>(record, line);
        if (!error && !make_line_string(record, line, &result))
            error = RUNTIME_ERROR_OUT_OF_MEMORY;
    }
    push_owned(result);
    if (error)
        raise_error(error);
}

int32_t end_of_file(int16_t number)
{
    file_record* record = find_file(number);
    if (!record) {
        raise_error(RUNTIME_ERROR_FILE_NOT_FOUND);
        return RUNTIME_TRUE;
    }
    if (record->mode & (FILE_MODE_OUTPUT | FILE_MODE_APPEND))
        return RUNTIME_FALSE;
    if (!(record->mode & FILE_MODE_INPUT))
        return (record->status & FILE_STATUS_END) ? RUNTIME_TRUE : RUNTIME_FALSE;
    // On a disk file nothing is consumed; on a pipe the examined byte is held
    // for the next read_line.
    buffer_span span = fill_buffer(record);
    if (span.error) {
        raise_error(span.error);
        return RUNTIME_TRUE;
    }
    if (is_wide_text(record)) {
        if (span.available < sizeof(text_unit) || unit_at<text_unit>(record, span.index) == CTRL_Z)
            return RUNTIME_TRUE;
        return RUNTIME_FALSE;
    }
    if (span.available == 0 || record_buffer(record)[span.index] == CTRL_Z)
        return RUNTIME_TRUE;
    return RUNTIME_FALSE;
}
