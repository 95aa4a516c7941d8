// Line input and end of file on real files and pipes.
#include <gtest/gtest.h>

#include <random>

#include "tests/files/files_test_support.h"

namespace {

const uint16_t WIDE_INPUT =
    file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_WIDE | FILE_LOCK_EXCLUSIVE);

std::vector<line_read> read_file_lines(const std::string& bytes, int32_t record_length,
                                       uint16_t mode_word = INPUT_LOCKED)
{
    scratch_folder folder;
    uint32_t error = open_path(folder.write_file("lines.txt", bytes), mode_word, record_length, 1);
    if (error)
        return {{"<open failed>", error}};
    std::vector<line_read> reads = read_all_lines(1);
    close_file(1, 0);
    return reads;
}

std::string narrow(const std::string& bytes)
{
    return bytes;
}

std::string narrow(const std::wstring& units)
{
    if (units.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()), &out[0], size, nullptr, nullptr);
    return out;
}

// The line rules applied to a whole text of units: what the application's
// loop must read from it.  Units are bytes, or 16-bit units of wide text.
template <typename Unit>
std::vector<line_read> reference_reads(const std::basic_string<Unit>& text)
{
    std::vector<line_read> reads;
    size_t pos = 0;
    auto at_end = [&] { return pos >= text.size() || text[pos] == 0x1A; };
    if (at_end())
        return {{"", RUNTIME_ERROR_INPUT_PAST_END}};
    do {
        std::basic_string<Unit> line;
        while (pos < text.size() && text[pos] != 0x0D && text[pos] != 0x1A)
            line += text[pos++];
        if (pos < text.size() && text[pos] == 0x0D) {
            ++pos;
            if (pos < text.size() && text[pos] == 0x0A)
                ++pos;
        }
        reads.push_back({narrow(line), 0});
    } while (!at_end());
    return reads;
}

struct line_case {
    const char* what;
    std::string bytes;
    int32_t record_length;
    std::vector<line_read> expected;
};

std::string repeated(size_t count)
{
    std::string text(count, ' ');
    for (size_t i = 0; i < count; ++i)
        text[i] = static_cast<char>('A' + i % 23);
    return text;
}

const std::string CRLF = "\r\n";

}  // namespace

TEST(files_lines, test_line_rules)
{
    const line_case cases[] = {
        {"CR LF lines", "a\r\nb\r\n", 128, {{"a", 0}, {"b", 0}}},
        {"no final line end", "a\r\nb", 128, {{"a", 0}, {"b", 0}}},
        {"empty file", "", 128, {{"", RUNTIME_ERROR_INPUT_PAST_END}}},
        {"LF-only line ends stay in the line", "a\nb\n", 128, {{"a\nb\n", 0}}},
        {"CR CR LF", "a\r\r\nb", 128, {{"a", 0}, {"", 0}, {"b", 0}}},
        {"LF CR", "a\n\rb", 128, {{"a\n", 0}, {"b", 0}}},
        {"Ctrl-Z ends the text", "abc\x1A" "def", 128, {{"abc", 0}}},
        {"Ctrl-Z at the start", "\x1A" "abc", 128, {{"", RUNTIME_ERROR_INPUT_PAST_END}}},
        {"zero bytes are text", std::string("a\0b\r\n", 5), 128, {{std::string("a\0b", 3), 0}}},
        {"lone CR at the end", "a\r", 128, {{"a", 0}}},
        {"CR LF split across the 128-byte buffer", repeated(127) + CRLF + "next", 128,
         {{repeated(127), 0}, {"next", 0}}},
        {"CR last of the file at a buffer end", repeated(127) + "\r", 128, {{repeated(127), 0}}},
        {"line of 255 bytes", repeated(255) + CRLF + "x", 128, {{repeated(255), 0}, {"x", 0}}},
        {"line of 256 bytes", repeated(256) + CRLF + "x", 128, {{repeated(256), 0}, {"x", 0}}},
        {"line of 257 bytes", repeated(257) + CRLF + "x", 128, {{repeated(257), 0}, {"x", 0}}},
        {"line of 300 bytes", repeated(300), 128, {{repeated(300), 0}}},
        {"line of 5000 bytes, record length 1", repeated(5000) + CRLF, 1, {{repeated(5000), 0}}},
        {"lines of 256 and 512 bytes, record length 256", repeated(256) + CRLF + repeated(512), 256,
         {{repeated(256), 0}, {repeated(512), 0}}},
    };
    for (const line_case& c : cases) {
        std::vector<line_read> got = read_file_lines(c.bytes, c.record_length);
        EXPECT_EQ(got, c.expected) << c.what << ": got " << describe(got) << " expected " << describe(c.expected);
    }
}

TEST(files_lines, reading_past_the_end_gives_62_and_end_of_file_stays_true)
{
    scratch_folder folder;
    ASSERT_EQ(open_path(folder.write_file("t.txt", "abc\x1A" "def"), INPUT_LOCKED, 128, 1), 0u);
    EXPECT_EQ(read_one_line(1), (line_read{"abc", 0}));
    EXPECT_EQ(end_of_file(1), RUNTIME_TRUE);
    EXPECT_EQ(read_one_line(1), (line_read{"", RUNTIME_ERROR_INPUT_PAST_END}));
    EXPECT_EQ(read_one_line(1), (line_read{"", RUNTIME_ERROR_INPUT_PAST_END}));
    EXPECT_EQ(end_of_file(1), RUNTIME_TRUE);
    EXPECT_EQ(error_number(), 0u);
    close_file(1, 0);
}

TEST(files_lines, wrong_number_and_wrong_mode)
{
    scratch_folder folder;
    EXPECT_EQ(read_one_line(5), (line_read{"", RUNTIME_ERROR_BAD_FILE_NUMBER}));
    EXPECT_EQ(end_of_file(5), RUNTIME_TRUE);
    EXPECT_EQ(error_number(), RUNTIME_ERROR_FILE_NOT_FOUND) << "end_of_file of a number not open";
    ASSERT_EQ(open_path(folder.file("out.txt"), OUTPUT_LOCKED, 1, 5), 0u);
    EXPECT_EQ(read_one_line(5), (line_read{"", RUNTIME_ERROR_BAD_FILE_MODE}));
    EXPECT_EQ(end_of_file(5), RUNTIME_FALSE) << "an output file is never at its end";
    EXPECT_EQ(error_number(), 0u);
    file_record* record = find_file(5);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(fill_buffer(record).error, RUNTIME_ERROR_BAD_FILE_MODE);
    close_file(5, 0);
    EXPECT_EQ(temp_depth(), 0u);
}

TEST(files_lines, test_lock_codes_3_and_4_read_what_others_wrote)
{
    for (uint8_t lock_code : {3, 4}) {
        scratch_folder folder;
        std::string path = folder.write_file("shared.txt", "one\r\ntwo\r\n");
        ASSERT_EQ(open_path(path, file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_STATED | lock_code),
                            128, 1),
                  0u);
        EXPECT_EQ(read_one_line(1), (line_read{"one", 0}));
        // Another writer changes the rest of the file.
        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE) << "lock code " << int(lock_code) << " must let others write";
        DWORD written = 0;
        SetFilePointer(writer, 5, nullptr, FILE_BEGIN);
        WriteFile(writer, "TWO\r\nthree", 10, &written, nullptr);
        CloseHandle(writer);
        EXPECT_EQ(end_of_file(1), RUNTIME_FALSE);
        EXPECT_EQ(read_one_line(1), (line_read{"TWO", 0})) << "lock code " << int(lock_code);
        EXPECT_EQ(read_one_line(1), (line_read{"three", 0})) << "lock code " << int(lock_code);
        EXPECT_EQ(end_of_file(1), RUNTIME_TRUE);
        close_file(1, 0);
    }
}

namespace {

// A pipe that holds `bytes` and whose writer has gone, adopted by open_file
// under number 3.  Gives the read end, which stays the caller's.
HANDLE open_pipe(const std::string& bytes, uint16_t mode_word, int32_t record_length)
{
    HANDLE read_end = nullptr, write_end = nullptr;
    EXPECT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(write_end, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(write_end);
    push_empty();
    open_file(mode_word, record_length, 1, read_end, 3);
    EXPECT_EQ(error_number(), 0u);
    return read_end;
}

}  // namespace

TEST(files_lines, a_pipe_is_read_a_byte_at_a_time_and_end_of_file_holds_the_byte)
{
    HANDLE pipe = open_pipe("ab\r\ncd\x1Arest", INPUT_LOCKED, 128);
    EXPECT_EQ(find_file(3)->device_kind, FILE_OTHER);
    EXPECT_EQ(read_one_line(3), (line_read{"ab", 0}));
    // The byte after the CR is not examined by read_line; end_of_file looks
    // at it and keeps it for the next line.
    EXPECT_EQ(end_of_file(3), RUNTIME_FALSE);
    EXPECT_EQ(read_one_line(3), (line_read{"\ncd", 0}));
    EXPECT_EQ(end_of_file(3), RUNTIME_TRUE) << "the Ctrl-Z is held";
    EXPECT_EQ(read_one_line(3), (line_read{"", RUNTIME_ERROR_INPUT_PAST_END}));
    close_file(3, 0);
    CloseHandle(pipe);
}

TEST(files_lines, test_pipes_end_their_text_when_the_writer_has_gone)
{
    struct pipe_case {
        std::string bytes;
        uint16_t mode_word;  // wide text is read a unit at a time
        std::vector<line_read> expected;
    };
    const pipe_case cases[] = {
        {"xy", INPUT_LOCKED, {{"xy", 0}}},
        {std::string("h\0i\0\r\0\n\0y\0o\0", 12), WIDE_INPUT, {{"hi", 0}, {"\nyo", 0}}},
    };
    for (const pipe_case& c : cases) {
        HANDLE pipe = open_pipe(c.bytes, c.mode_word, 1);
        std::vector<line_read> got = read_all_lines(3);
        EXPECT_EQ(got, c.expected) << describe(got);
        close_file(3, 0);
        CloseHandle(pipe);
    }
}

TEST(files_lines, wide_text_lines)
{
    std::wstring text = L"one\r\ntwo\r\rthree\nfour";
    text.push_back(0x0D0A);  // one unit whose bytes are CR LF: not a line end
    text += L"\r\n\x1A" L"after";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    for (int32_t record_length : {1, 2, 3, 5, 128}) {
        std::vector<line_read> got = read_file_lines(bytes + "!", record_length, WIDE_INPUT);
        std::vector<line_read> expected = {{"one", 0}, {"two", 0}, {"", 0}, {"three\nfour?", 0}};
        EXPECT_EQ(got, expected) << "record length " << record_length << ": got " << describe(got);
    }
}

namespace {

// Mostly ordinary units, so that long lines occur; the alphabet's third
// unit, Ctrl-Z, rarely.
template <typename Unit, size_t N>
std::basic_string<Unit> random_text(std::mt19937& random, size_t length, const Unit (&alphabet)[N], uint32_t spread)
{
    std::basic_string<Unit> text(length, ' ');
    for (Unit& unit : text) {
        uint32_t pick = random() % spread;
        unit = pick < N && (pick != 2 || random() % 8 == 0) ? alphabet[pick] : static_cast<Unit>('d' + random() % 20);
    }
    return text;
}

// Reads `bytes` with a sample of record lengths and lock codes 1 and 4
// (buffered, and re-read at every request); every read must match `expected`.
void check_every_record_length(std::mt19937& random, uint32_t seed, const std::string& bytes, uint8_t access,
                               const std::vector<line_read>& expected)
{
    std::vector<int32_t> record_lengths = {1, 2, 3, 7, 127, 128, 129, 255, 256, 257, 300};
    for (int i = 0; i < 4; ++i)
        record_lengths.push_back(1 + static_cast<int32_t>(random() % 300));
    for (int32_t record_length : record_lengths) {
        uint8_t lock_code = random() % 2 ? 1 : 4;
        std::vector<line_read> got =
            read_file_lines(bytes, record_length, file_mode_word(FILE_MODE_INPUT, access | lock_code));
        ASSERT_EQ(got, expected) << "seed " << seed << ", file " << visible_bytes(bytes) << ", record length "
                                 << record_length << ", lock code " << int(lock_code) << ": got " << describe(got);
    }
}

}  // namespace

TEST(files_lines, random_byte_and_wide_text_files_read_as_the_line_rules_say)
{
    static const char byte_alphabet[] = {'\r', '\n', '\x1A', '\0', 'a', 'b', 'c', ' ', '\xE9', '\r', '\n', 'z'};
    static const wchar_t wide_alphabet[] = {0x0D, 0x0A, 0x1A, 0x00, L'a', L'b', 0x0D0A, 0x1A0D, 0x0A0D, 0x0D00, 0xE9};
    uint32_t seed = GetTickCount();
    std::mt19937 random(seed);
    for (int file = 0; file < 25 && !HasFatalFailure(); ++file) {
        std::string bytes = random_text(random, random() % 1200, byte_alphabet, 40);
        check_every_record_length(random, seed, bytes, FILE_ACCESS_READ | FILE_ACCESS_STATED, reference_reads(bytes));
    }
    for (int file = 0; file < 20 && !HasFatalFailure(); ++file) {
        std::wstring units = random_text(random, random() % 700, wide_alphabet, 30);
        std::string bytes(reinterpret_cast<const char*>(units.data()), units.size() * 2);
        if (random() % 3 == 0)
            bytes += 'q';  // an odd last byte is never part of the text
        check_every_record_length(random, seed, bytes, FILE_ACCESS_READ | FILE_ACCESS_WIDE, reference_reads(units));
    }
}
