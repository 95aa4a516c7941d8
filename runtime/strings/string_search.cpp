// Substring search, forward from a start position or backward within a limit.
//
// One-byte patterns use a plain byte scan; two- and three-byte patterns compare
// two bytes at a time; longer patterns compare four bytes at once (the first
// four going forward, the last four going backward) before the rest.  The
// results are those of a byte-by-byte search.
#include <string.h>

#include "runtime/strings/strings.h"

namespace {

inline uint16_t load16(const uint8_t* p)
{
    uint16_t v;
    memcpy(&v, p, 2);
    return v;
}

inline uint32_t load32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

// Leftmost occurrence of pattern (m bytes) starting at or after `from` and
// lying wholly in text[0, n).  Returns the offset or -1.
int64_t search_forward(const uint8_t* text, uint32_t n, const uint8_t* pattern, uint32_t m,
                       uint32_t from)
{
    if (m > n || from > n - m)
        return -1;
    uint32_t last = n - m;  // last possible start
    if (m == 1) {
        const void* hit = memchr(text + from, pattern[0], n - from);
        return hit ? static_cast<const uint8_t*>(hit) - text : -1;
    }
    if (m <= 3) {
        uint16_t head = load16(pattern);
        for (uint32_t i = from; i <= last; ++i) {
            if (load16(text + i) == head && (m == 2 || text[i + 2] == pattern[2]))
                return i;
        }
        return -1;
    }
    uint32_t head = load32(pattern);
    for (uint32_t i = from; i <= last; ++i) {
        if (load32(text + i) == head && memcmp(text + i + 4, pattern + 4, m - 4) == 0)
            return i;
    }
    return -1;
}

// Rightmost occurrence lying wholly within text[0, limit).  Offset or -1.
int64_t search_backward(const uint8_t* text, uint32_t limit, const uint8_t* pattern, uint32_t m)
{
    if (m > limit)
        return -1;
    uint32_t i = limit - m;  // candidate start, going down
    if (m == 1) {
        for (;;) {
            if (text[i] == pattern[0])
                return i;
            if (i == 0)
                return -1;
            --i;
        }
    }
    if (m <= 3) {
        uint16_t head = load16(pattern);
        for (;;) {
            if (load16(text + i) == head && (m == 2 || text[i + 2] == pattern[2]))
                return i;
            if (i == 0)
                return -1;
            --i;
        }
    }
    uint32_t tail = load32(pattern + m - 4);
    for (;;) {
        if (load32(text + i + m - 4) == tail && memcmp(text + i, pattern, m - 4) == 0)
            return i;
        if (i == 0)
            return -1;
        --i;
    }
}

}  // namespace

int32_t find_bytes(const uint8_t* text, uint32_t n, const uint8_t* pattern, uint32_t m,
                   int32_t start)
{
    if (start == 0 || n == 0)
        return 0;
    if (m == 0) {
        if (start > 0)
            return start;
        int64_t position = static_cast<int64_t>(n) + start + 1;
        return (position >= 1 && position <= n) ? static_cast<int32_t>(position) : 0;
    }
    if (start > 0) {
        uint32_t offset = static_cast<uint32_t>(start) - 1;
        if (offset >= n)
            return 0;
        int64_t hit = search_forward(text, n, pattern, m, offset);
        return hit < 0 ? 0 : static_cast<int32_t>(hit + 1);
    }
    int64_t limit = static_cast<int64_t>(n) + start + 1;
    if (limit <= 0)
        return 0;
    int64_t hit = search_backward(text, static_cast<uint32_t>(limit), pattern, m);
    return hit < 0 ? 0 : static_cast<int32_t>(hit + 1);
}

int32_t find_string(int32_t start)
{
    string_handle pattern = pop_string();
    string_handle text = pop_string();
    int32_t result = find_bytes(reinterpret_cast<const uint8_t*>(string_text(text)),
                                string_bytes(text),
                                reinterpret_cast<const uint8_t*>(string_text(pattern)),
                                string_bytes(pattern), start);
    release_string(pattern);
    release_string(text);
    return result;
}
