// Printing, line ends, flushing and closing, on real files.
#include <gtest/gtest.h>

#include "tests/files/files_test_support.h"

TEST(files_output, test_saving_a_text_as_one_line)
{
    // A wide text file gets UTF-16 units and a wide line end.
    const uint16_t WIDE_OUTPUT = file_mode_word(
        FILE_MODE_OUTPUT, FILE_ACCESS_WRITE | FILE_ACCESS_WIDE | FILE_LOCK_EXCLUSIVE);
    struct save_case {
        uint16_t mode_word;
        std::string text;
        std::string expected;
    };
    const save_case cases[] = {
        {APPEND_LOCKED, "ab\r\nc", "ab\r\nc\r\n"},
        {APPEND_LOCKED, "ends in a line end\r\n", "ends in a line end\r\n\r\n"},
        {APPEND_LOCKED, "", "\r\n"},
        {APPEND_LOCKED, std::string("zero\0byte", 9), std::string("zero\0byte\r\n", 11)},
        {WIDE_OUTPUT, "hi", std::string("h\0i\0\r\0\n\0", 8)},
    };
    for (const save_case& c : cases) {
        scratch_folder folder;
        std::string path = folder.file("notes.txt");
        ASSERT_EQ(open_path(path, c.mode_word, 128, 2), 0u);
        EXPECT_EQ(print_text(2, c.text), 0u);
        close_file(2, 0);
        EXPECT_EQ(error_number(), 0u);
        EXPECT_EQ(file_bytes(path), c.expected) << "saving " << visible_bytes(c.text) << " gave "
                                                << visible_bytes(file_bytes(path));
    }
}

TEST(files_output, write_position_and_column_follow_the_writes_and_flush_succeeds)
{
    scratch_folder folder;
    std::string path = folder.file("out.txt");
    ASSERT_EQ(open_path(path, OUTPUT_LOCKED, 1, 1), 0u);
    file_record* record = find_file(1);
    push_text("abc");
    print_to_file(1);
    EXPECT_EQ(record->cursor, 3u);
    EXPECT_EQ(record->buffer_base, 3u);
    end_print_line(1);
    EXPECT_EQ(record->cursor, 0u);
    EXPECT_EQ(record->buffer_base, 5u);
    flush_file(1);
    EXPECT_EQ(error_number(), 0u);
    close_file(1, 0);
    EXPECT_EQ(file_bytes(path), "abc\r\n");
}

TEST(files_output, test_printing_to_a_number_not_open_or_to_an_input_file)
{
    scratch_folder folder;
    std::string path = folder.write_file("in.txt", "keep\r\n");
    ASSERT_EQ(open_path(path, INPUT_LOCKED, 128, 1), 0u);
    const int16_t number_not_open = 9, input_file = 1;
    for (int16_t number : {number_not_open, input_file}) {
        uint32_t expected = number == input_file ? RUNTIME_ERROR_BAD_FILE_MODE : RUNTIME_ERROR_BAD_FILE_NUMBER;
        push_text("lost");
        print_to_file(number);
        EXPECT_EQ(error_number(), expected) << "file number " << number;
        EXPECT_EQ(temp_depth(), 0u) << "the text is popped also when it cannot be printed";
        end_print_line(number);
        EXPECT_EQ(error_number(), expected) << "file number " << number;
    }
    close_file(input_file, 0);
    EXPECT_EQ(file_bytes(path), "keep\r\n");
    flush_file(number_not_open);
    EXPECT_EQ(error_number(), RUNTIME_ERROR_BAD_FILE_NUMBER);
    close_file(number_not_open, 0);
    EXPECT_EQ(error_number(), 0u) << "closing a number that is not open reports nothing";
    close_file(-3, 0);
    EXPECT_EQ(error_number(), 0u);
}

TEST(files_output, close_with_a_mode_mask_the_file_does_not_meet_gives_54)
{
    scratch_folder folder;
    ASSERT_EQ(open_path(folder.file("o.txt"), OUTPUT_LOCKED, 1, 1), 0u);
    close_file(1, FILE_MODE_INPUT);
    EXPECT_EQ(error_number(), RUNTIME_ERROR_BAD_FILE_MODE);
    ASSERT_NE(find_file(1), nullptr) << "the file stays open";
    close_file(1, FILE_MODE_INPUT | FILE_MODE_OUTPUT);
    EXPECT_EQ(error_number(), 0u);
    EXPECT_EQ(find_file(1), nullptr);
    close_file(1, 0);
    EXPECT_EQ(error_number(), 0u) << "a second close does nothing";
}

TEST(files_output, an_output_file_ends_where_writing_ended)
{
    // The file is emptied at the open, so only another writer can leave bytes
    // past the end of what was written: lock code 4 lets one in.
    scratch_folder folder;
    std::string path = folder.file("o.txt");
    ASSERT_EQ(open_path(path, OUTPUT_SHARED, 1, 1), 0u);
    EXPECT_EQ(print_text(1, "short"), 0u);
    HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    SetFilePointer(other, 0, nullptr, FILE_END);
    WriteFile(other, "appended by another writer", 26, &written, nullptr);
    CloseHandle(other);
    close_file(1, 0);
    EXPECT_EQ(error_number(), RUNTIME_ERROR_NONE);
    EXPECT_EQ(file_bytes(path), "short\r\n");
}

TEST(files_output, close_all_files_closes_every_number_newest_first)
{
    scratch_folder folder;
    for (int16_t n = 1; n <= 3; ++n)
        ASSERT_EQ(open_path(folder.file("f" + std::to_string(n)), OUTPUT_LOCKED, 1, n), 0u);
    close_all_files();
    EXPECT_EQ(error_number(), 0u);
    for (int16_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(find_file(n), nullptr);
        EXPECT_TRUE(held_by_nobody(folder.file("f" + std::to_string(n)))) << "file " << n;
    }
    close_all_files();
    EXPECT_EQ(error_number(), 0u);
}

TEST(files_full_disk, writes_that_do_not_fit_give_61)
{
    std::string folder = executable_folder() + "full_disk\\";
    if (!file_exists(folder + "tmpfs-mounted"))
        GTEST_SKIP() << "no small disk is mounted at " << folder
                     << " (the CTest entry files.small_disk.mount mounts one as root)";
    std::string path = folder + "full" + std::to_string(GetCurrentProcessId()) + ".txt";
    ASSERT_EQ(open_path(path, OUTPUT_LOCKED, 1, 1), 0u);
    uint32_t first = 0;
    for (int i = 0; i < 40 && !first; ++i)
        first = print_text(1, std::string(8192, 'f'));
    EXPECT_EQ(first, RUNTIME_ERROR_DISK_FULL) << "a write that does not fit";
    close_file(1, 0);
    clear_error();  // ending the file where writing ended may itself fail on the full disk
    EXPECT_EQ(find_file(1), nullptr);
    DeleteFileA(path.c_str());
}
