// The notes file's encoding rule.
#include "app/notes/notes_text.h"

#include <string.h>

namespace {

const char UTF8_MARK[] = "\xEF\xBB\xBF";
const uint32_t UTF8_MARK_BYTES = 3;
const wchar_t BYTE_ORDER_MARK = 0xFEFF;  // what the UTF-8 mark decodes to

bool has_upper_half_byte(const char* bytes, uint32_t length)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    for (uint32_t i = 0; i < length; ++i) {
        if (p[i] >= 0x80)
            return true;
    }
    return false;
}

// Converts wide text to an owned byte string behind `prefix`.  With
// `refuse_substitutes`, a character the code page lacks fails the conversion
// (WC_NO_BEST_FIT_CHARS and the used-default flag) and *refused is set.
bool to_bytes(uint32_t code_page, bool refuse_substitutes, const wchar_t* text, uint32_t units,
              const char* prefix, uint32_t prefix_bytes, string_handle* out, bool* refused)
{
    *out = 0;
    *refused = false;
    DWORD flags = refuse_substitutes ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL used_default = FALSE;
    BOOL* used_default_ref = refuse_substitutes ? &used_default : nullptr;
    int n = 0;
    if (units > 0) {
        n = WideCharToMultiByte(code_page, flags, text, static_cast<int>(units), nullptr, 0,
                                nullptr, used_default_ref);
        // A code page that takes no flags cannot promise the text fits.
        if (n <= 0 || used_default) {
            *refused = refuse_substitutes;
            return false;
        }
    }
    uint32_t total = prefix_bytes + static_cast<uint32_t>(n);
    if (total == 0)
        return true;
    string_handle bytes = alloc_string(total);
    if (!bytes)
        return false;
    char* p = const_cast<char*>(string_text(bytes));
    memcpy(p, prefix, prefix_bytes);
    if (n > 0 && WideCharToMultiByte(code_page, flags, text, static_cast<int>(units),
                                     p + prefix_bytes, n, nullptr, used_default_ref) != n) {
        release_string(bytes);
        return false;
    }
    *out = bytes;
    return true;
}

uint32_t actual_code_page(uint32_t code_page)
{
    return code_page == CP_ACP ? GetACP() : code_page;
}

}  // namespace

// Converts bytes to an owned wide string; `flags` as for MultiByteToWideChar.
// Gives false with *out 0 when the bytes are refused (with
// MB_ERR_INVALID_CHARS) or memory runs out.
bool widen_bytes(uint32_t code_page, DWORD flags, const char* bytes, uint32_t length,
             string_handle* out)
{
    *out = 0;
    if (length == 0)
        return true;
    int units = MultiByteToWideChar(code_page, flags, bytes, static_cast<int>(length), nullptr, 0);
    if (units <= 0)
        return false;
    string_handle wide = alloc_wide_string(static_cast<uint32_t>(units));
    if (!wide)
        return false;
    if (MultiByteToWideChar(code_page, flags, bytes, static_cast<int>(length),
                            const_cast<wchar_t*>(wide_text(wide)), units) != units) {
        release_string(wide);
        return false;
    }
    *out = wide;
    return true;
}

notes_form form_of_notes(const char* bytes, uint32_t length)
{
    if (length >= UTF8_MARK_BYTES && memcmp(bytes, UTF8_MARK, UTF8_MARK_BYTES) == 0)
        return NOTES_UTF8_MARKED;
    if (has_upper_half_byte(bytes, length) &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length),
                            nullptr, 0) > 0)
        return NOTES_UTF8;
    return NOTES_CODE_PAGE;
}

notes_text decode_notes(const char* bytes, uint32_t length, uint32_t code_page)
{
    notes_text result = {0, form_of_notes(bytes, length), true, true};
    uint32_t skip = result.form == NOTES_UTF8_MARKED ? UTF8_MARK_BYTES : 0;
    uint32_t from = result.form == NOTES_CODE_PAGE ? code_page : CP_UTF8;
    // The same conversion the run-time makes for code-page text.
    DWORD flags = result.form == NOTES_CODE_PAGE ? MB_PRECOMPOSED : 0;
    // Strictly first; bytes refused then are shown with substitutes, and the
    // text is not exact.
    result.ok = widen_bytes(from, flags | MB_ERR_INVALID_CHARS, bytes + skip, length - skip, &result.text);
    if (!result.ok) {
        result.exact = false;
        result.ok = widen_bytes(from, flags, bytes + skip, length - skip, &result.text);
    }
    return result;
}

notes_text encode_notes(const wchar_t* text, uint32_t units, notes_form loaded, uint32_t code_page,
                        bool appending)
{
    notes_text result = {0, loaded, true, true};
    bool refused = false;
    if (loaded == NOTES_CODE_PAGE && actual_code_page(code_page) != CP_UTF8) {
        result.ok = to_bytes(code_page, true, text, units, "", 0, &result.text, &refused);
        // Code-page bytes that would read back as UTF-8 (they start like the
        // mark, or form valid UTF-8) would show other text at the next start.
        if (result.ok && !appending &&
            form_of_notes(string_text(result.text), string_bytes(result.text)) != NOTES_CODE_PAGE) {
            release_string(result.text);
            result.text = 0;
            refused = true;
        }
        if (!refused)
            return result;
        result.form = appending ? NOTES_UTF8 : NOTES_UTF8_MARKED;
    }
    // Unmarked UTF-8 text that starts with U+FEFF would read back as a mark.
    if (result.form == NOTES_UTF8 && !appending && units > 0 && text[0] == BYTE_ORDER_MARK)
        result.form = NOTES_UTF8_MARKED;
    bool marked = result.form == NOTES_UTF8_MARKED && !appending;
    result.ok = to_bytes(CP_UTF8, false, text, units, UTF8_MARK, marked ? UTF8_MARK_BYTES : 0,
                         &result.text, &refused);
    return result;
}
