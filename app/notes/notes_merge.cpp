// Merging notes changed in two places, line by line.
#include "app/notes/notes_merge.h"

#include <stdlib.h>
#include <string.h>

#include "app/notes/file_care.h"

namespace {

const int32_t NO_MATCH = -1;

// A text cut into lines: line i is units[starts[i]] .. units[starts[i + 1]].
struct line_list {
    merge_text text = {nullptr, 0};
    uint32_t count = 0;
    uint32_t* starts = nullptr;  // owned, malloc'd: count + 1 entries
    uint64_t* hashes = nullptr;  // owned, malloc'd: count entries
    line_list() = default;
    line_list(const line_list&) = delete;
    line_list& operator=(const line_list&) = delete;
    ~line_list()
    {
        free(starts);
        free(hashes);
    }
    uint32_t length(uint32_t i) const { return starts[i + 1] - starts[i]; }
    const wchar_t* line(uint32_t i) const { return text.units + starts[i]; }
};

bool ends_line(const merge_text& text, uint32_t at)
{
    return at > 0 && text.units[at - 1] == L'\n';
}

bool split_lines(merge_text text, line_list* lines)
{
    lines->text = text;
    uint32_t count = 0;
    for (uint32_t at = 1; at <= text.count; ++at)
        count += ends_line(text, at) ? 1 : 0;
    if (text.count > 0 && !ends_line(text, text.count))
        ++count;  // a last line without its line end
    lines->starts = static_cast<uint32_t*>(malloc((count + 1) * sizeof(uint32_t)));
    lines->hashes = static_cast<uint64_t*>(malloc((count + 1) * sizeof(uint64_t)));
    if (!lines->starts || !lines->hashes)
        return false;
    uint32_t line = 0;
    lines->starts[0] = 0;
    for (uint32_t at = 1; at <= text.count; ++at) {
        if (ends_line(text, at) || at == text.count)
            lines->starts[++line] = at;
    }
    lines->count = count;
    for (uint32_t i = 0; i < count; ++i)
        lines->hashes[i] = hash_bytes(lines->line(i), lines->length(i) * sizeof(wchar_t));
    return true;
}

bool same_line(const line_list& a, uint32_t i, const line_list& b, uint32_t j)
{
    return a.hashes[i] == b.hashes[j] && a.length(i) == b.length(j) &&
           memcmp(a.line(i), b.line(j), a.length(i) * sizeof(wchar_t)) == 0;
}

// Myers' greedy search for the shortest edit script between a[a0 .. a0+n)
// and b[b0 .. b0+m), keeping each round's furthest points so that the path
// can be walked back: the lines it keeps are matched in match_of_a.  False
// when more than MERGE_EDIT_LIMIT edits are needed or memory ran out; then
// nothing in the stretch is matched.
bool match_middle(const line_list& a, uint32_t a0, int32_t n, const line_list& b, uint32_t b0,
                  int32_t m, int32_t* match_of_a)
{
    int32_t most = n + m < static_cast<int32_t>(MERGE_EDIT_LIMIT) ? n + m
                                                                  : static_cast<int32_t>(MERGE_EDIT_LIMIT);
    // Round d keeps the furthest x on diagonals -d .. d at trace[d * d ..].
    size_t kept = 0;
    int32_t* trace = nullptr;
    int32_t* previous = nullptr;
    for (int32_t d = 0; d <= most; ++d) {
        size_t needed = static_cast<size_t>(d + 1) * static_cast<size_t>(d + 1);
        if (needed > kept) {
            size_t grown = kept ? kept * 4 : 64;
            while (grown < needed)
                grown *= 2;
            int32_t* moved = static_cast<int32_t*>(realloc(trace, grown * sizeof(int32_t)));
            if (!moved) {
                free(trace);
                return false;
            }
            trace = moved;
            kept = grown;
        }
        previous = d > 0 ? trace + static_cast<size_t>(d - 1) * (d - 1) + (d - 1) : nullptr;
        int32_t* round = trace + static_cast<size_t>(d) * d + d;  // round[k], -d <= k <= d
        for (int32_t k = -d; k <= d; k += 2) {
            int32_t x = d == 0 ? 0
                        : (k == -d || (k != d && previous[k - 1] < previous[k + 1]))
                            ? previous[k + 1]
                            : previous[k - 1] + 1;
            int32_t y = x - k;
            while (x < n && y < m && same_line(a, a0 + x, b, b0 + y)) {
                ++x;
                ++y;
            }
            round[k] = x;
            if (x < n || y < m)
                continue;
            // Found: walk back, matching the diagonal steps.
            for (int32_t back = d; back > 0; --back) {
                const int32_t* before = trace + static_cast<size_t>(back - 1) * (back - 1) + (back - 1);
                int32_t diagonal = x - y;
                int32_t from = (diagonal == -back ||
                                (diagonal != back && before[diagonal - 1] < before[diagonal + 1]))
                                   ? diagonal + 1
                                   : diagonal - 1;
                int32_t from_x = before[from], from_y = before[from] - from;
                while (x > from_x && y > from_y)
                    match_of_a[a0 + --x] = static_cast<int32_t>(b0 + --y);
                x = from_x;
                y = from_y;
            }
            while (x > 0 && y > 0)
                match_of_a[a0 + --x] = static_cast<int32_t>(b0 + --y);
            free(trace);
            return true;
        }
    }
    free(trace);
    return false;
}

// Matches the lines of b to those of a: match_of_a[i] is the line of b that
// line i of a stays as, or NO_MATCH.
bool match_lines(const line_list& a, const line_list& b, int32_t* match_of_a)
{
    for (uint32_t i = 0; i < a.count; ++i)
        match_of_a[i] = NO_MATCH;
    uint32_t start = 0;
    while (start < a.count && start < b.count && same_line(a, start, b, start)) {
        match_of_a[start] = static_cast<int32_t>(start);
        ++start;
    }
    uint32_t end_a = a.count, end_b = b.count;
    while (end_a > start && end_b > start && same_line(a, end_a - 1, b, end_b - 1))
        match_of_a[--end_a] = static_cast<int32_t>(--end_b);
    if (end_a == start || end_b == start)
        return true;  // only added or only deleted lines between
    if (!match_middle(a, start, static_cast<int32_t>(end_a - start), b, start,
                      static_cast<int32_t>(end_b - start), match_of_a)) {
        // Too many changes, or no memory for the search: the stretch is
        // taken as changed all through, which keeps both sides' lines.
        for (uint32_t i = start; i < end_a; ++i)
            match_of_a[i] = NO_MATCH;
    }
    return true;
}

bool same_lines(const line_list& a, uint32_t a_from, uint32_t a_to, const line_list& b,
                uint32_t b_from, uint32_t b_to)
{
    if (a_to - a_from != b_to - b_from)
        return false;
    for (uint32_t i = 0; i < a_to - a_from; ++i) {
        if (!same_line(a, a_from + i, b, b_from + i))
            return false;
    }
    return true;
}

// Where the merged text goes: counted first, then copied.
struct merge_output {
    wchar_t* units;  // null while counting
    uint32_t count;
    void put(const line_list& lines, uint32_t from, uint32_t to)
    {
        uint32_t length = lines.starts[to] - lines.starts[from];
        if (units)
            memcpy(units + count, lines.line(from), length * sizeof(wchar_t));
        count += length;
    }
};

// The three-way walk: lines that base, theirs and mine all keep are stable;
// between two stable lines, each side's stretch is taken as the rules say.
void walk_merge(const line_list& base, const line_list& theirs, const line_list& mine,
                const int32_t* theirs_of_base, const int32_t* mine_of_base, merge_output* out)
{
    uint32_t i = 0, t = 0, m = 0;
    for (;;) {
        uint32_t next = i;
        while (next < base.count && (theirs_of_base[next] == NO_MATCH || mine_of_base[next] == NO_MATCH))
            ++next;
        uint32_t t_next = next < base.count ? static_cast<uint32_t>(theirs_of_base[next]) : theirs.count;
        uint32_t m_next = next < base.count ? static_cast<uint32_t>(mine_of_base[next]) : mine.count;
        bool mine_kept = same_lines(base, i, next, mine, m, m_next);
        bool theirs_kept = same_lines(base, i, next, theirs, t, t_next);
        if (mine_kept) {
            out->put(theirs, t, t_next);
        } else if (theirs_kept || same_lines(theirs, t, t_next, mine, m, m_next)) {
            out->put(mine, m, m_next);
        } else {
            out->put(theirs, t, t_next);
            out->put(mine, m, m_next);
        }
        if (next == base.count)
            return;
        out->put(base, next, next + 1);
        i = next + 1;
        t = t_next + 1;
        m = m_next + 1;
    }
}

}  // namespace

bool merge_notes(merge_text base_text, merge_text theirs_text, merge_text mine_text,
                 string_handle* merged)
{
    *merged = 0;
    line_list base, theirs, mine;
    if (!split_lines(base_text, &base) || !split_lines(theirs_text, &theirs) ||
        !split_lines(mine_text, &mine))
        return false;
    int32_t* matches = static_cast<int32_t*>(malloc((2 * base.count + 1) * sizeof(int32_t)));
    if (!matches)
        return false;
    int32_t* theirs_of_base = matches;
    int32_t* mine_of_base = matches + base.count;
    match_lines(base, theirs, theirs_of_base);
    match_lines(base, mine, mine_of_base);
    merge_output out = {nullptr, 0};
    walk_merge(base, theirs, mine, theirs_of_base, mine_of_base, &out);
    bool ok = true;
    if (out.count > 0) {
        *merged = alloc_wide_string(out.count);
        ok = *merged != 0;
        if (ok) {
            out = {const_cast<wchar_t*>(wide_text(*merged)), 0};
            walk_merge(base, theirs, mine, theirs_of_base, mine_of_base, &out);
        }
    }
    free(matches);
    return ok;
}
