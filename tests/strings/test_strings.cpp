// String values, the temporary-string stack and the string functions.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/strings/strings.h"
#include "tests/support/test_support.h"

namespace {

string_handle owned(const std::string& text)
{
    return copy_string(text.data(), static_cast<uint32_t>(text.size()));
}

// Each test opens its own activation: a fresh stack and error record.
class strings_test : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(temp_depth(), 0u) << "a temporary was left on the stack"; }
    activation frame;
};

TEST_F(strings_test, representation)
{
    string_handle h = owned("abc");
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(is_borrowed(h));
    EXPECT_EQ(string_bytes(h), 3u);
    EXPECT_EQ(string_text(h)[3], 0) << "owned values are zero-terminated";
    EXPECT_EQ(string_bytes(h | 1), 3u) << "a borrowed reference reads the same text";
    EXPECT_EQ(string_text(h | 1), string_text(h));
    EXPECT_EQ(alloc_string(0), 0u) << "length 0 is the null handle";
    EXPECT_EQ(string_bytes(0), 0u);
    EXPECT_EQ(string_text(0)[0], 0);
    EXPECT_EQ(string_text(1), string_text(0)) << "a borrowed null is the empty string";
    release_string(h | 1);  // borrowed: ignored
    release_string(0);
    release_string(h);

    string_handle constant = STRING_LITERAL("Veslinn");
    EXPECT_EQ(string_bytes(constant), 7u);
    EXPECT_EQ(std::string(string_text(constant)), "Veslinn");
    EXPECT_EQ(constant & 1, 0u) << "constants must be even so the borrowed bit is free";
}

TEST_F(strings_test, assignment_reuses_moves_and_frees)
{
    string_handle variable = 0;
    push_borrowed(STRING_LITERAL("abcd"));
    assign_string(&variable);
    ASSERT_NE(variable, 0u);
    EXPECT_EQ(text_of(variable), "abcd");
    string_handle storage = variable;

    push_borrowed(STRING_LITERAL("wxyz"));
    assign_string(&variable);
    EXPECT_EQ(variable, storage) << "same length must reuse the variable's storage";
    EXPECT_EQ(text_of(variable), "wxyz");

    push_borrowed(variable);
    assign_string(&variable);
    EXPECT_EQ(variable, storage) << "self-assignment changed the value";
    EXPECT_EQ(text_of(variable), "wxyz");

    string_handle temp = owned("moved!");
    push_owned(temp);
    assign_string(&variable);
    EXPECT_EQ(variable, temp) << "an owned temporary must move, not copy";

    string_handle empty_variable = 0;
    push_borrowed(empty_variable);
    assign_string(&variable);
    EXPECT_EQ(variable, 0u) << "a borrowed empty variable assigns like the empty constant";

    push_borrowed(STRING_LITERAL("x"));
    assign_string(&variable);
    push_borrowed(STRING_LITERAL(""));
    assign_string(&variable);
    EXPECT_EQ(variable, 0u);
    push_borrowed(variable);
    EXPECT_EQ(string_length(), 0u);
}

TEST_F(strings_test, pass_to_system)
{
    string_handle holder = 99;
    push_borrowed(STRING_LITERAL(""));
    EXPECT_EQ(pass_to_system(&holder), nullptr) << "the empty string passes a null pointer";
    EXPECT_EQ(holder, 0u);

    string_handle temp = owned("owned");
    push_owned(temp);
    EXPECT_EQ(pass_to_system(&holder), reinterpret_cast<const void*>(temp));
    EXPECT_EQ(holder, temp) << "an owned entry is handed over without a copy";
    release_string(holder);

    string_handle constant = STRING_LITERAL("const");
    push_borrowed(constant);
    const void* argument = pass_to_system(&holder);
    EXPECT_NE(argument, reinterpret_cast<const void*>(constant)) << "a borrowed entry must be copied";
    EXPECT_STREQ(static_cast<const char*>(argument), "const");
    release_string(holder);
}

TEST_F(strings_test, concat)
{
    string_handle variable = owned("value");
    push_borrowed(STRING_LITERAL(""));
    push_borrowed(variable);
    concat_strings();
    EXPECT_EQ(peek_string(), variable | 1) << "joining \"\" with a variable leaves a borrowed reference";
    pop_release();

    push_borrowed(variable);
    push_empty();
    concat_strings();
    EXPECT_EQ(peek_string(), variable | 1);
    pop_release();

    push_borrowed(variable);
    push_owned(owned("+more"));
    concat_strings();
    string_handle joined = peek_string();
    EXPECT_FALSE(is_borrowed(joined));
    EXPECT_EQ(pop_text(), "value+more");

    push_empty();
    push_empty();
    concat_strings();
    EXPECT_EQ(temp_depth(), 1u);
    EXPECT_EQ(pop_text(), "");
    release_string(variable);
}

struct mid_case {
    const char* text;
    int32_t start;
    int32_t count;
    const char* expected;
};

TEST_F(strings_test, mid_string_cases)
{
    const mid_case cases[] = {
        {"0123456789", 1, 0, ""},       {"0123456789", 0, 5, ""},
        {"0123456789", 1, 1000, "0123456789"},
        {"0123456789", -1, 1, "9"},     {"0123456789", 11, 1, ""},
        {"0123456789", 10, 5, "9"},     {"0123456789", 3, 2, "23"},
        {"0123456789", 1, -3, "0123456"}, {"0123456789", -10, 2, "01"},
        {"0123456789", -11, 2, ""},     {"", 1, 5, ""},
        {"abc", 1, -10, "abc"},  // a count still negative takes the rest
    };
    for (const mid_case& c : cases) {
        push_borrowed(STRING_LITERAL("placeholder"));
        pop_release();
        push_text(c.text);
        mid_string(c.start, c.count);
        EXPECT_EQ(pop_text(), c.expected)
            << "mid_string(" << c.start << ", " << c.count << ") of \"" << c.text << "\"";
    }
    EXPECT_EQ(error_number(), 0u);
}

struct find_case {
    const char* text;
    const char* pattern;
    int32_t start;
    int32_t expected;
};

TEST_F(strings_test, find_string_cases)
{
    const find_case cases[] = {
        {"C:\\a\\b.exe", "\\", -1, 5}, {"C:\\a\\b.exe", "\\", 1, 3},
        {"C:\\a\\b.exe", "/", 1, 0},   {"C:\\a\\b.exe", "/", -1, 0},
        {"abcabc", "abc", 4, 4},       {"abcabc", "abc", -2, 1},
        {"abcdef", "x", 7, 0},         {"abcdef", "", 7, 7},
        {"abcdef", "", -1, 6},         {"abcdef", "", -7, 0},
        {"abcdef", "", 0, 0},          {"", "", 3, 0},
        {"", "a", 1, 0},               {"abc", "abcd", 1, 0},
        {"aaaa", "aa", -1, 3},         {"xxabcdefgh", "abcdefgh", 1, 3},
        {"abcdefghxx", "abcdefgh", -1, 1}, {"ABC", "abc", 1, 0},
    };
    for (const find_case& c : cases) {
        push_text(c.text);
        push_text(c.pattern);
        EXPECT_EQ(find_string(c.start), c.expected)
            << "find_string(" << c.start << ") of \"" << c.pattern << "\" in \"" << c.text << "\"";
    }
}

// The plain definition for a pattern that is not empty, by the standard
// library: positions are 1-based; forward from start, or the rightmost
// occurrence wholly inside the first n + start + 1 bytes.
int32_t reference_find(const std::string& t, const std::string& p, int32_t start)
{
    int64_t last = static_cast<int64_t>(t.size()) + start + 1 - static_cast<int64_t>(p.size());
    size_t at = std::string::npos;
    if (start > 0)
        at = t.find(p, static_cast<size_t>(start - 1));
    else if (start < 0 && last >= 0)
        at = t.rfind(p, static_cast<size_t>(last));
    return at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
}

TEST_F(strings_test, find_string_matches_a_byte_by_byte_search)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
        // A small alphabet makes partial matches common.
        auto letters = [&random](int shortest, int longest) {
            std::string word(std::uniform_int_distribution<int>(shortest, longest)(random), ' ');
            for (char& c : word)
                c = "ab\xE9"[random() % 3];
            return word;
        };
        std::string text = letters(0, 40);
        std::string pattern = letters(1, 9);
        if (round % 3 == 0 && text.size() >= pattern.size()) {
            std::uniform_int_distribution<size_t> at(0, text.size() - pattern.size());
            text.replace(at(random), pattern.size(), pattern);
        }
        int32_t n = static_cast<int32_t>(text.size());
        for (int32_t start = -n - 2; start <= n + 2; ++start) {
            int32_t expected = reference_find(text, pattern, start);
            int32_t got = find_bytes(reinterpret_cast<const uint8_t*>(text.data()),
                                     static_cast<uint32_t>(text.size()),
                                     reinterpret_cast<const uint8_t*>(pattern.data()),
                                     static_cast<uint32_t>(pattern.size()), start);
            ASSERT_EQ(got, expected) << "pattern \"" << visible_bytes(pattern) << "\" in \""
                                     << visible_bytes(text) << "\" from " << start;
        }
    }
}

TEST_F(strings_test, zstrings)
{
    char buffer[300];
    push_zstring("");
    EXPECT_EQ(peek_string(), 0u) << "an empty buffer pushes the empty string";
    pop_release();
    push_zstring(nullptr);
    EXPECT_EQ(pop_text(), "");
    push_zstring("hello");
    EXPECT_EQ(pop_text(), "hello");

    char small[255];
    memset(small, 'q', sizeof small);
    push_text(std::string(300, 'x'));
    store_zstring(small, sizeof small);
    EXPECT_EQ(std::string(small), std::string(254, 'x')) << "a 255-byte buffer keeps 254 bytes";

    memset(buffer, 'q', sizeof buffer);
    push_text(std::string("ab\0cd", 5));
    store_zstring(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, 4), std::string("ab\0q", 4))
        << "text after an embedded zero is dropped and the buffer's later bytes are kept";

    memset(buffer, 'q', sizeof buffer);
    push_empty();
    store_zstring(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0q", 2)) << "an empty text writes one zero";

    push_text("abc");
    store_zstring(buffer, 0);
    EXPECT_STREQ(buffer, "abc") << "capacity 0 is unbounded";

    push_text("abc");
    store_zstring(buffer, 1);
    EXPECT_STREQ(buffer, "");
}

TEST_F(strings_test, conversions_round_trip_in_the_threads_code_page)
{
    thread_record* record = current_thread_record();
    uint32_t saved = record->code_page;
    record->code_page = 1252;

    push_text("caf\xE9");
    to_wide_in_place(0);
    string_handle wide = peek_string();
    ASSERT_EQ(wide_units(wide), 4u);
    EXPECT_EQ(wide_text(wide)[3], 0x00E9) << "0xE9 in code page 1252 is U+00E9";
    to_bytes_in_place(0);
    EXPECT_EQ(pop_text(), "caf\xE9");

    // Zero bytes inside a text convert like other characters.
    push_text(std::string("a\0b", 3));
    to_wide_in_place(0);
    EXPECT_EQ(wide_units(peek_string()), 3u);
    to_bytes_in_place(0);
    EXPECT_EQ(pop_text(), std::string("a\0b", 3));

    // Entries below the top are converted in place.
    push_text("x");
    push_text("\xE9t\xE9");
    push_text("y");
    to_wide_in_place(1);
    EXPECT_EQ(wide_units(peek_string(1)), 3u);
    EXPECT_EQ(text_of(peek_string(0)), "y");
    to_bytes_in_place(1);
    pop_release();
    EXPECT_EQ(pop_text(), "\xE9t\xE9");
    EXPECT_EQ(pop_text(), "x");

    push_empty();
    to_wide_in_place(0);
    EXPECT_EQ(peek_string(), 0u);
    to_bytes_in_place(0);
    EXPECT_EQ(pop_text(), "");

    record->code_page = saved;
}

TEST_F(strings_test, length_and_stack_discipline)
{
    push_borrowed(STRING_LITERAL(""));
    EXPECT_EQ(string_length(), 0u);
    push_text("12345");
    EXPECT_EQ(string_length(), 5u);
    for (int i = 0; i < TEMP_STACK_SIZE; ++i)
        push_text("t");
    EXPECT_EQ(temp_depth(), static_cast<uint32_t>(TEMP_STACK_SIZE));
    for (int i = 0; i < TEMP_STACK_SIZE; ++i)
        pop_release();
    pop_release();  // an empty stack pops nothing
    EXPECT_EQ(temp_depth(), 0u);
}

}  // namespace
