// How the notes file's bytes become the box's wide text and back: the one
// place that decides a notes file's encoding.
//
// Reading decides once, on all the bytes gathered: a file that starts with
// the UTF-8 mark EF BB BF is UTF-8 and the mark is not shown; a file with a
// byte 0x80 or above whose bytes are all valid UTF-8 is UTF-8 without a mark;
// anything else is text in the code page.  Writing keeps the form a file was
// read in.  Code-page text is written in the code page only when every
// character fits without a best-fit substitute; otherwise the file becomes
// UTF-8 with the mark, so no typed character is ever replaced by '?' or by a
// look-alike letter, and code-page bytes that would read back as UTF-8 are
// written as UTF-8 with the mark too, so that what is saved reads back the
// same.
#pragma once

#include "runtime/strings/strings.h"

enum notes_form : uint32_t {
    NOTES_CODE_PAGE = 0,    // bytes in the code page (the file layer's thread code page)
    NOTES_UTF8 = 1,         // UTF-8 without a mark
    NOTES_UTF8_MARKED = 2,  // UTF-8 behind the mark EF BB BF
};

// The result of decode_notes or encode_notes.  `text` is an owned string (wide
// for decode, bytes for encode), to be freed with release_string; it is 0 for
// an empty result and when `ok` is false (memory ran out).  `exact` (decode
// only) is false when some bytes had no exact wide form (invalid UTF-8 behind
// the mark, an invalid double-byte sequence) and were shown as a substitute.
struct notes_text {
    string_handle text;
    notes_form form;
    bool ok;
    bool exact;
};

// Converts bytes to an owned wide string; `flags` as for MultiByteToWideChar.
// Gives false with *out 0 when the bytes are refused (with
// MB_ERR_INVALID_CHARS) or memory runs out.
bool widen_bytes(uint32_t code_page, DWORD flags, const char* bytes, uint32_t length,
                 string_handle* out);

// The form a notes file's bytes are read in, decided in one pass.
notes_form form_of_notes(const char* bytes, uint32_t length);

// Bytes of a notes file -> the wide text to show, and the form they were in.
notes_text decode_notes(const char* bytes, uint32_t length, uint32_t code_page);

// Wide text -> the bytes to write.  `loaded` is the form the file was read in.
// With `appending`, the bytes go after existing text: UTF-8 is then written
// without a mark, and text beyond the code page becomes UTF-8 without a mark.
notes_text encode_notes(const wchar_t* text, uint32_t units, notes_form loaded, uint32_t code_page,
                        bool appending);
