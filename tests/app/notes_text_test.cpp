// The notes file's encoding rule on random text: what is saved reads back as
// the same wide text, and text that code page 1252 holds is saved in exactly
// the bytes of the plain code-page conversion, as before UTF-8 was known.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/notes/notes_text.h"

namespace {

const uint32_t CODE_PAGE = 1252;

// One random character: ASCII (with line ends), the code page's upper half,
// or, unless the text must fit the code page, Cyrillic, CJK, an emoji (a
// surrogate pair) or a character the code page has only a look-alike for.
std::wstring random_character(std::mt19937* random, bool fits_code_page)
{
    static const wchar_t TRAPS[] = {0x0101, 0x0141, 0x221E, 0x2713, 0xFEFF};
    uint32_t pick = (*random)();
    switch ((*random)() % (fits_code_page ? 2 : 7)) {
    case 0:
        return pick % 97 == 96 ? L"\r\n" : std::wstring(1, wchar_t(0x20 + pick % 95));
    case 1: {
        char byte = static_cast<char>(0x80 + pick % 0x80);
        wchar_t unit = 0;
        MultiByteToWideChar(CODE_PAGE, 0, &byte, 1, &unit, 1);
        return std::wstring(1, unit);
    }
    case 2:
        return std::wstring(1, wchar_t(0x0400 + pick % 0x100));
    case 3:
        return std::wstring(1, wchar_t(0x4E00 + pick % 0x5200));
    case 4:
        return {wchar_t(0xD83D), wchar_t(0xDE00 + pick % 0x50)};
    default:
        return std::wstring(1, TRAPS[pick % (sizeof TRAPS / sizeof TRAPS[0])]);
    }
}

std::string code_page_bytes(const std::wstring& text)
{
    std::string bytes(text.size() * 2, '\0');
    bytes.resize(static_cast<size_t>(WideCharToMultiByte(CODE_PAGE, 0, text.data(),
                                                         static_cast<int>(text.size()), &bytes[0],
                                                         static_cast<int>(bytes.size()), nullptr,
                                                         nullptr)));
    return bytes;
}

TEST(NotesText, test_saved_text_reads_back_the_same)
{
    std::mt19937 random(20261209);
    const notes_form forms[] = {NOTES_CODE_PAGE, NOTES_UTF8, NOTES_UTF8_MARKED};
    int code_page_saves = 0, widened_saves = 0;
    for (int round = 0; round < 3000; ++round) {
        std::wstring text;
        for (uint32_t n = random() % 24; n > 0; --n)
            text += random_character(&random, round % 2 == 0);
        for (notes_form loaded : forms) {
            SCOPED_TRACE("round " + std::to_string(round) + ", loaded as form " +
                         std::to_string(loaded));
            notes_text saved = encode_notes(text.data(), static_cast<uint32_t>(text.size()), loaded,
                                            CODE_PAGE, false);
            std::string bytes(string_text(saved.text), string_bytes(saved.text));
            notes_text read = decode_notes(bytes.data(), static_cast<uint32_t>(bytes.size()),
                                           CODE_PAGE);
            ASSERT_TRUE(saved.ok && read.ok);
            EXPECT_TRUE(std::wstring(wide_text(read.text), wide_units(read.text)) == text)
                << "the text did not read back the same";
            if (loaded == NOTES_CODE_PAGE && saved.form == NOTES_CODE_PAGE) {
                EXPECT_TRUE(bytes == code_page_bytes(text)) << "code-page text changed its bytes";
                ++code_page_saves;
            } else if (loaded == NOTES_CODE_PAGE) {
                EXPECT_EQ(saved.form, NOTES_UTF8_MARKED);
                EXPECT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "UTF-8 with the mark";
                ++widened_saves;
            }
            release_string(saved.text);
            release_string(read.text);
        }
    }
    // Both ways were taken often: text that fits stays in the code page
    // (unless its bytes would read as UTF-8), text that does not is widened.
    EXPECT_GT(code_page_saves, 1000);
    EXPECT_GT(widened_saves, 1000);
}

TEST(NotesText, test_appended_text_has_no_mark)
{
    const std::wstring text = L"nuevo \x2713";
    for (notes_form loaded : {NOTES_CODE_PAGE, NOTES_UTF8, NOTES_UTF8_MARKED}) {
        notes_text added = encode_notes(text.data(), static_cast<uint32_t>(text.size()), loaded,
                                        CODE_PAGE, true);
        ASSERT_TRUE(added.ok);
        EXPECT_EQ(std::string(string_text(added.text), string_bytes(added.text)),
                  "nuevo \xE2\x9C\x93")
            << "loaded as form " << loaded;
        release_string(added.text);
    }
}

}  // namespace
