// The recovery copy's file: written from a job, read back and checked.
#include "app/recovery/copy_format.h"

#include <stdlib.h>
#include <string.h>

#include "app/notes/notes_text.h"
#include "app/recovery/copy_writer.h"

namespace {

// Wide text as malloc'd UTF-8; false when memory runs out.  An unpaired
// surrogate, which no notes file can hold either, becomes U+FFFD, as the
// save writes it.
bool utf8_of(const wchar_t* text, uint32_t units, char** bytes, uint32_t* length)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0)
        return false;
    char* utf8 = static_cast<char*>(malloc(static_cast<size_t>(n)));
    if (!utf8)
        return false;
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), utf8, n, nullptr, nullptr);
    *bytes = utf8;
    *length = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

DWORD write_copy_file(const wchar_t* temporary, const wchar_t* target, const copy_job& job,
                      uint32_t* written_bytes)
{
    char* utf8 = nullptr;
    char* base = nullptr;
    uint32_t length = 0, base_length = 0;
    const bool with_base = job.record.base_known;
    if (!utf8_of(job.text, job.units, &utf8, &length) ||
        (with_base && job.base_units > 0 && !utf8_of(job.base, job.base_units, &base, &base_length))) {
        free(utf8);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    copy_header header = {};
    memcpy(header.magic, COPY_MAGIC, sizeof header.magic);
    header.notes = store_record(job.record);
    header.pieces = with_base ? 2 : 1;
    copy_piece piece = {COPY_PIECE_BOX_TEXT, length, hash_bytes(utf8, length)};
    copy_piece base_piece = {COPY_PIECE_BASE_TEXT, base_length, hash_bytes(base, base_length)};
    const byte_run runs[] = {{&header, sizeof header},
                             {&piece, sizeof piece},
                             {utf8, length},
                             {&base_piece, sizeof base_piece},
                             {base, base_length}};
    DWORD error = 0;
    file_handle file;
    file.handle = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!file.open())
        error = GetLastError();
    else
        error = write_then_rename(&file, temporary, target, runs, with_base ? 5 : 3);
    free(utf8);
    free(base);
    *written_bytes = length + base_length;
    return error;
}

bool read_copy_file(const wchar_t* path, read_copy* copy)
{
    DWORD error = 0;
    file_state state = read_file_state(path, &copy->bytes, &error);
    const char* at = copy->bytes.data;
    const char* end = at + copy->bytes.size;
    if (!state.known || copy->bytes.size < sizeof(copy_header))
        return false;
    copy_header header;
    memcpy(&header, at, sizeof header);
    if (memcmp(header.magic, COPY_MAGIC, sizeof header.magic) != 0 ||
        header.notes.form > NOTES_UTF8_MARKED)
        return false;
    at += sizeof header;
    copy->text = nullptr;
    for (uint32_t i = 0; i < header.pieces; ++i) {
        copy_piece piece;
        if (static_cast<size_t>(end - at) < sizeof piece)
            return false;
        memcpy(&piece, at, sizeof piece);
        at += sizeof piece;
        if (static_cast<size_t>(end - at) < piece.bytes ||
            hash_bytes(at, piece.bytes) != piece.hash)
            return false;
        if (piece.kind == COPY_PIECE_BOX_TEXT) {
            copy->text = at;
            copy->text_bytes = piece.bytes;
        } else if (piece.kind == COPY_PIECE_BASE_TEXT) {
            copy->has_base = true;
            copy->base = at;
            copy->base_bytes = piece.bytes;
        }
        at += piece.bytes;
    }
    copy->notes = header.notes;
    return at == end && copy->text && copy->text_bytes > 0;
}

void hand_over_copy(read_copy* from, read_copy* to)
{
    to->bytes.swap(from->bytes);
    to->notes = from->notes;
    to->text = from->text;
    to->text_bytes = from->text_bytes;
    to->has_base = from->has_base;
    to->base = from->base;
    to->base_bytes = from->base_bytes;
}

string_handle wide_copy_text(const read_copy& copy)
{
    string_handle wide = 0;
    widen_bytes(CP_UTF8, MB_ERR_INVALID_CHARS, copy.text, copy.text_bytes, &wide);
    return wide;
}

string_handle wide_copy_base(const read_copy& copy)
{
    string_handle wide = 0;
    if (copy.base_bytes > 0)
        widen_bytes(CP_UTF8, MB_ERR_INVALID_CHARS, copy.base, copy.base_bytes, &wide);
    return wide;
}
