#include "tests/files/files_test_support.h"

uint32_t open_path(const std::string& path, uint16_t mode_word, int32_t record_length, int16_t number)
{
    push_wide(wide_of(path));
    open_file(mode_word, record_length, 1, nullptr, number);
    return error_number();
}

line_read read_one_line(int16_t number)
{
    read_line(number);
    line_read read;
    read.error = error_number();
    read.text = pop_text();
    return read;
}

std::vector<line_read> read_all_lines(int16_t number)
{
    std::vector<line_read> reads;
    reads.push_back(read_one_line(number));
    while (!end_of_file(number)) {
        reads.push_back(read_one_line(number));
        if (reads.size() > 100000)
            break;  // a reader that never reaches the end
    }
    uint32_t error = error_number();
    if (error)
        reads.push_back({"<end_of_file error>", error});
    return reads;
}

std::string describe(const std::vector<line_read>& reads)
{
    std::string out;
    for (const line_read& read : reads) {
        out += "[" + visible_bytes(read.text) + "]";
        if (read.error)
            out += "#" + std::to_string(read.error);
        out += " ";
    }
    return out;
}

uint32_t print_text(int16_t number, const std::string& text)
{
    push_text(text);
    print_to_file(number);
    uint32_t print_error = error_number();
    end_print_line(number);
    uint32_t end_error = error_number();
    return print_error ? print_error : end_error;
}

bool held_by_nobody(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}
