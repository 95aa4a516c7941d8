// The recovery copy's file: written from a job, read back and checked.
#include "app/recovery/copy_format.h"

#include <stdlib.h>
#include <string.h>

#include "app/notes/notes_text.h"

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

DWORD write_copy_file(const wchar_t* temporary, const wchar_t* target, const notes_record& record,
                      const wchar_t* text, uint32_t units, uint32_t* text_bytes)
{
    char* utf8 = nullptr;
    uint32_t length = 0;
    if (!utf8_of(text, units, &utf8, &length))
        return ERROR_NOT_ENOUGH_MEMORY;
    copy_header header = {};
    memcpy(header.magic, COPY_MAGIC, sizeof header.magic);
    header.notes = store_record(record);
    header.pieces = 1;
    copy_piece piece = {COPY_PIECE_BOX_TEXT, length, hash_bytes(utf8, length)};
    const byte_run runs[] = {{&header, sizeof header}, {&piece, sizeof piece}, {utf8, length}};
    DWORD error = 0;
    file_handle file;
    file.handle = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!file.open())
        error = GetLastError();
    else
        error = write_then_rename(&file, temporary, target, runs, sizeof runs / sizeof runs[0]);
    free(utf8);
    *text_bytes = length;
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
        }
        at += piece.bytes;
    }
    copy->notes = header.notes;
    return at == end && copy->text && copy->text_bytes > 0;
}

string_handle wide_copy_text(const read_copy& copy)
{
    string_handle wide = 0;
    widen_bytes(CP_UTF8, MB_ERR_INVALID_CHARS, copy.text, copy.text_bytes, &wide);
    return wide;
}
