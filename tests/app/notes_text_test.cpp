// The notes file's encoding rule on random text: what is saved reads back as
// the same wide text, and text that code page 1252 holds is saved in exactly
// the bytes of the plain code-page conversion, as before UTF-8 was known.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/notes_text.h"

namespace {

const uint32_t CODE_PAGE = 1252;

std::string bytes_of(string_handle h)
{
    return std::string(string_text(h), string_bytes(h));
}

std::wstring wide_of(string_handle h)
{
    return std::wstring(wide_text(h), wide_units(h));
}

// The code page's upper half, as characters that convert back to their byte.
std::wstring upper_half()
{
    std::wstring pool;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        char c = static_cast<char>(byte);
        wchar_t unit = 0;
        BOOL used_default = FALSE;
        char back = 0;
        if (MultiByteToWideChar(CODE_PAGE, 0, &c, 1, &unit, 1) == 1 &&
            WideCharToMultiByte(CODE_PAGE, WC_NO_BEST_FIT_CHARS, &unit, 1, &back, 1, nullptr,
                                &used_default) == 1 &&
            !used_default && back == c)
            pool += unit;
    }
    return pool;
}

struct random_text {
    std::mt19937 random{20261209};
    std::wstring upper = upper_half();

    uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); }

    // One character: ASCII (with line ends), the code page's upper half, or,
    // unless fits_code_page, Cyrillic, CJK, an emoji (a surrogate pair) or a
    // letter the code page only has a look-alike for.
    std::wstring character(bool fits_code_page)
    {
        static const wchar_t TRAPS[] = {0x0101, 0x0141, 0x221E, 0x2713, 0xFEFF};
        switch (below(fits_code_page ? 2 : 7)) {
        case 0: {
            uint32_t c = below(97);
            return c == 95 ? L"\r\n" : c == 96 ? L"\t" : std::wstring(1, wchar_t(0x20 + c));
        }
        case 1:
            return std::wstring(1, upper[below(static_cast<uint32_t>(upper.size()))]);
        case 2:
            return std::wstring(1, wchar_t(0x0400 + below(0x100)));
        case 3:
            return std::wstring(1, wchar_t(0x4E00 + below(0x5200)));
        case 4: {
            uint32_t code = 0x1F600 + below(0x50) - 0x10000;
            return {wchar_t(0xD800 + (code >> 10)), wchar_t(0xDC00 + (code & 0x3FF))};
        }
        default:
            return std::wstring(1, TRAPS[below(sizeof TRAPS / sizeof TRAPS[0])]);
        }
    }

    std::wstring text(bool fits_code_page)
    {
        std::wstring result;
        for (uint32_t n = below(24); n > 0; --n)
            result += character(fits_code_page);
        return result;
    }
};

TEST(NotesText, test_saved_text_reads_back_the_same)
{
    random_text source;
    const notes_form forms[] = {NOTES_CODE_PAGE, NOTES_UTF8, NOTES_UTF8_MARKED};
    int code_page_saves = 0, widened_saves = 0;
    for (int round = 0; round < 3000; ++round) {
        bool fits = round % 2 == 0;
        std::wstring text = source.text(fits);
        for (notes_form loaded : forms) {
            SCOPED_TRACE("round " + std::to_string(round) + ", loaded as form " +
                         std::to_string(loaded));
            notes_text saved = encode_notes(text.data(), static_cast<uint32_t>(text.size()), loaded,
                                            CODE_PAGE, false);
            ASSERT_TRUE(saved.ok);
            std::string bytes = bytes_of(saved.text);
            notes_text read = decode_notes(bytes.data(), static_cast<uint32_t>(bytes.size()),
                                           CODE_PAGE);
            ASSERT_TRUE(read.ok);
            EXPECT_TRUE(wide_of(read.text) == text) << "the text did not read back the same";
            if (loaded == NOTES_CODE_PAGE) {
                if (saved.form == NOTES_CODE_PAGE) {
                    // Exactly the bytes of the code-page conversion.
                    int n = WideCharToMultiByte(CODE_PAGE, 0, text.data(),
                                                static_cast<int>(text.size()), nullptr, 0,
                                                nullptr, nullptr);
                    std::string plain(static_cast<size_t>(n), '\0');
                    WideCharToMultiByte(CODE_PAGE, 0, text.data(), static_cast<int>(text.size()),
                                        &plain[0], n, nullptr, nullptr);
                    EXPECT_TRUE(bytes == plain) << "code-page text changed its bytes";
                    ++code_page_saves;
                } else {
                    EXPECT_EQ(saved.form, NOTES_UTF8_MARKED);
                    EXPECT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "UTF-8 with the mark";
                    ++widened_saves;
                }
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
    const notes_form forms[] = {NOTES_CODE_PAGE, NOTES_UTF8, NOTES_UTF8_MARKED};
    for (notes_form loaded : forms) {
        notes_text added = encode_notes(text.data(), static_cast<uint32_t>(text.size()), loaded,
                                        CODE_PAGE, true);
        ASSERT_TRUE(added.ok);
        EXPECT_EQ(bytes_of(added.text), "nuevo \xE2\x9C\x93") << "loaded as form " << loaded;
        release_string(added.text);
    }
}

}  // namespace
