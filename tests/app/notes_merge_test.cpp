// Merging notes changed in two places, in-process: the lines of base, the
// file (theirs) and the box (mine), and what the merge makes of them.
#include <gtest/gtest.h>

#include <string>

#include "app/notes/notes_merge.h"
#include "tests/support/test_support.h"

namespace {

// Lines joined with CR LF after each, as the box and the load give them.
std::wstring lines(std::initializer_list<const wchar_t*> each)
{
    std::wstring text;
    for (const wchar_t* line : each)
        text += std::wstring(line) + L"\r\n";
    return text;
}

merge_text as_merge_text(const std::wstring& text)
{
    return {text.data(), static_cast<uint32_t>(text.size())};
}

std::wstring merged(const std::wstring& base, const std::wstring& theirs, const std::wstring& mine)
{
    string_handle result = 0;
    EXPECT_TRUE(merge_notes(as_merge_text(base), as_merge_text(theirs), as_merge_text(mine), &result));
    std::wstring text(wide_text(result), wide_units(result));
    release_string(result);
    return text;
}

struct merge_case {
    const char* what;
    std::wstring base, theirs, mine, expected;
};

TEST(NotesMerge, test_each_side_keeps_its_changes_and_nothing_is_repeated)
{
    const merge_case cases[] = {
        {"both add at the end: the file's first", lines({L"a", L"b"}), lines({L"a", L"b", L"T"}),
         lines({L"a", L"b", L"M"}), lines({L"a", L"b", L"T", L"M"})},
        {"both add the same line", lines({L"a"}), lines({L"a", L"X"}), lines({L"a", L"X"}),
         lines({L"a", L"X"})},
        {"edits of different lines", lines({L"a", L"b", L"c", L"d"}), lines({L"A", L"b", L"c", L"d"}),
         lines({L"a", L"b", L"c", L"D"}), lines({L"A", L"b", L"c", L"D"})},
        {"the same line edited on both sides", lines({L"a", L"b", L"c"}), lines({L"a", L"B1", L"c"}),
         lines({L"a", L"B2", L"c"}), lines({L"a", L"B1", L"B2", L"c"})},
        {"the box deletes a line, the file adds one", lines({L"a", L"b", L"c"}),
         lines({L"a", L"b", L"c", L"d"}), lines({L"a", L"c"}), lines({L"a", L"c", L"d"})},
        {"the file deletes a line the box kept", lines({L"a", L"b", L"c"}), lines({L"a", L"c"}),
         lines({L"a", L"b", L"c", L"M"}), lines({L"a", L"c", L"M"})},
        {"the file emptied: the box's lines are kept", lines({L"a", L"b"}), L"",
         lines({L"a", L"b", L"M"}), lines({L"a", L"b", L"M"})},
        {"nothing was shown: the box's text goes after the file's", L"", lines({L"t"}),
         lines({L"m"}), lines({L"t", L"m"})},
        {"a last line typed without its line end", lines({L"a"}), lines({L"a", L"T"}),
         lines({L"a"}) + L"new", lines({L"a", L"T"}) + L"new"},
        {"lines alike but for their line end", lines({L"a"}) + L"b", lines({L"a", L"b"}),
         lines({L"a"}) + L"bc", lines({L"a", L"b"}) + L"bc"},
    };
    for (const merge_case& c : cases)
        EXPECT_EQ(merged(c.base, c.theirs, c.mine), c.expected) << c.what;
}

// 1 MB of notes, three lines changed by the file and three by the box, far
// apart: each change lands once, and every other line stays as it was.
TEST(NotesMerge, test_a_megabyte_with_three_changes_on_each_side)
{
    std::wstring base, theirs, mine, expected;
    const int count = 25000;  // 42 units a line
    for (int i = 0; i < count; ++i) {
        wchar_t line[64];
        swprintf(line, 64, L"line %06d of the notes, written long ago\r\n", i);
        base += line;
        bool file_edits = i == 10 || i == 12000 || i == 24000;
        bool box_edits = i == 5 || i == 13000 || i == 24990;
        std::wstring by_file = file_edits ? L"file " + std::wstring(line) : line;
        std::wstring by_box = box_edits ? L"box " + std::wstring(line) : line;
        theirs += by_file;
        mine += by_box;
        expected += file_edits ? by_file : by_box;
    }
    ASSERT_GT(base.size() * sizeof(wchar_t), 2000000u) << "about 1 MB as text, 2 MB as UTF-16";
    EXPECT_TRUE(merged(base, theirs, mine) == expected);
}

}  // namespace
