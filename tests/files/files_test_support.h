// Helpers for the file layer's tests: opening real files through open_file,
// reading them with the application's loop, and facts about the platform the
// tests run on.
#pragma once

#include <string>
#include <vector>

#include "runtime/files/files.h"
#include "tests/support/test_support.h"

// Mode words used by the tests: no sharing, or sharing both ways (the test
// may look at the file while it is open).
const uint8_t STATED_WRITE = FILE_ACCESS_WRITE | FILE_ACCESS_STATED;
const uint16_t INPUT_LOCKED =
    file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_STATED | FILE_LOCK_EXCLUSIVE);
const uint16_t APPEND_LOCKED =
    file_mode_word(FILE_MODE_APPEND, FILE_ACCESS_READ | STATED_WRITE | FILE_LOCK_EXCLUSIVE);
const uint16_t OUTPUT_LOCKED = file_mode_word(FILE_MODE_OUTPUT, STATED_WRITE | FILE_LOCK_EXCLUSIVE);
const uint16_t INPUT_SHARED =
    file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_STATED | FILE_LOCK_SHARE_BOTH);
const uint16_t APPEND_SHARED =
    file_mode_word(FILE_MODE_APPEND, STATED_WRITE | FILE_LOCK_SHARE_BOTH);
const uint16_t OUTPUT_SHARED =
    file_mode_word(FILE_MODE_OUTPUT, STATED_WRITE | FILE_LOCK_SHARE_BOTH);

// Opens `path` under `number` and gives the error number (0 on success).
uint32_t open_path(const std::string& path, uint16_t mode_word, int32_t record_length, int16_t number);

// One read_line: the line, and the error number it set.
struct line_read {
    std::string text;
    uint32_t error;
    bool operator==(const line_read& other) const { return text == other.text && error == other.error; }
};
line_read read_one_line(int16_t number);

// The application's loop: one read_line, then read_line while not end_of_file.
std::vector<line_read> read_all_lines(int16_t number);
std::string describe(const std::vector<line_read>& reads);

// Prints a text as one line and gives the error numbers of the two calls.
uint32_t print_text(int16_t number, const std::string& text);

// True when the file can be opened to read and write, shared with nobody.
bool held_by_nobody(const std::string& path);
