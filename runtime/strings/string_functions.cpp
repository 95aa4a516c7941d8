// Joining, length, parts and fixed zero-terminated buffers.
#include <string.h>

#include "runtime/strings/strings.h"

namespace {
const uint32_t zstring_scan_limit = 33554432;  // 32 MiB
}

void concat_strings()
{
    string_handle b = pop_string();
    string_handle a = pop_string();
    uint32_t na = string_bytes(a);
    uint32_t nb = string_bytes(b);
    if (na == 0) {
        release_string(a);
        push_owned(b);  // B passes through unchanged, borrowed or owned
        return;
    }
    if (nb == 0) {
        release_string(b);
        push_owned(a);
        return;
    }
    string_handle joined = 0;
    if (na + nb >= na)  // no 32-bit wrap
        joined = alloc_string(na + nb);
    if (joined) {
        char* p = const_cast<char*>(string_text(joined));
        memcpy(p, string_text(a), na);
        memcpy(p + na, string_text(b), nb);
    }
    release_string(a);
    release_string(b);
    push_owned(joined);
    if (!joined)
        raise_error(RUNTIME_ERROR_OUT_OF_MEMORY);
}

uint32_t string_length()
{
    string_handle s = pop_string();
    uint32_t n = string_bytes(s);
    release_string(s);
    return n;
}

void mid_string(int32_t start, int32_t count)
{
    string_handle s = peek_string(0);
    int64_t n = string_bytes(s);
    int64_t c = count;
    int64_t st = start;
    if (c < 0)
        c = n + c;
    bool empty = false;
    if (st == 0) {
        empty = true;
    } else if (st < 0) {
        if (n + st < 0)
            empty = true;
        else
            st = n + st + 1;
    }
    int64_t offset = st - 1;
    if (!empty && offset >= n)
        empty = true;
    if (empty || c == 0) {
        replace_string(0, 0);
        return;
    }
    int64_t available = n - offset;
    // A count still negative after the adjustment takes the rest of the text.
    int64_t take = (c < 0 || c > available) ? available : c;
    if (offset == 0 && take == n && is_borrowed(s) == false) {
        return;  // the whole of an owned value: it stays as the result
    }
    string_handle part = copy_string(string_text(s) + offset, static_cast<uint32_t>(take));
    if (!part) {
        raise_error(RUNTIME_ERROR_OUT_OF_MEMORY);  // S stays on the stack unchanged
        return;
    }
    replace_string(0, part);
}

void push_zstring(const char* buffer)
{
    if (!buffer) {
        push_empty();
        return;
    }
    uint32_t n = 0;
    const void* zero = memchr(buffer, 0, zstring_scan_limit);
    n = zero ? static_cast<uint32_t>(static_cast<const char*>(zero) - buffer) : zstring_scan_limit;
    push_owned(copy_string(buffer, n));  // a failed copy pushes the empty string
}

void store_zstring(char* buffer, uint32_t capacity)
{
    string_handle s = pop_string();
    uint32_t n = string_bytes(s);
    const char* text = string_text(s);
    uint32_t limit = capacity == 0 ? zstring_scan_limit : capacity - 1;
    uint32_t i = 0;
    bool wrote_zero = false;
    while (i < limit && i < n) {
        buffer[i] = text[i];
        if (text[i] == 0) {
            wrote_zero = true;
            ++i;
            break;
        }
        ++i;
    }
    if (!wrote_zero)
        buffer[i] = 0;
    release_string(s);
}

void to_wide_in_place(uint32_t depth)
{
    string_handle s = peek_string(depth);
    uint32_t n = string_bytes(s);
    if (n == 0)
        return;
    thread_record* record = current_thread_record();
    UINT code_page = record ? record->code_page : CP_ACP;
    string_handle wide = 0;
    int units = MultiByteToWideChar(code_page, MB_PRECOMPOSED, string_text(s), static_cast<int>(n),
                                    nullptr, 0);
    if (units > 0) {
        wide = alloc_wide_string(static_cast<uint32_t>(units));
        if (wide &&
            MultiByteToWideChar(code_page, MB_PRECOMPOSED, string_text(s), static_cast<int>(n),
                                const_cast<wchar_t*>(wide_text(wide)), units) == 0) {
            release_string(wide);
            wide = 0;
        }
    }
    replace_string(depth, wide);
}

void to_bytes_in_place(uint32_t depth)
{
    string_handle s = peek_string(depth);
    uint32_t units = wide_units(s);
    if (units == 0) {
        // An odd single byte cannot be a wide text: treat as empty.
        if (s)
            replace_string(depth, 0);
        return;
    }
    thread_record* record = current_thread_record();
    UINT code_page = record ? record->code_page : CP_ACP;
    string_handle bytes = 0;
    int n = WideCharToMultiByte(code_page, 0, wide_text(s), static_cast<int>(units), nullptr, 0,
                                nullptr, nullptr);
    if (n > 0) {
        bytes = alloc_string(static_cast<uint32_t>(n));
        if (bytes && WideCharToMultiByte(code_page, 0, wide_text(s), static_cast<int>(units),
                                         const_cast<char*>(string_text(bytes)), n, nullptr,
                                         nullptr) == 0) {
            release_string(bytes);
            bytes = 0;
        }
    }
    replace_string(depth, bytes);
}
