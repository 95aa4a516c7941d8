// Line input speed: a 64 MB text file read line by line through
// read_line/end_of_file with record lengths 128 and 4096, against a plain
// reader (ReadFile into a 64 KiB buffer and a byte scan for line ends).
// Prints MB/s and the ratios; it asserts nothing.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "runtime/files/files.h"

namespace {

int32_t unused_entry(HINSTANCE, uint32_t, const wchar_t*, int32_t) { return 0; }
const program_image bench_program = {unused_entry, 0, nullptr, {nullptr, 0}, {nullptr, 0}};

const uint32_t FILE_BYTES = 64u << 20;
const int ROUNDS = 3;

double seconds_now()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct tally {
    uint64_t lines = 0;
    uint64_t text_bytes = 0;
    uint64_t file_bytes = 0;
};

// Lines of 1 to 120 printable bytes, CR LF after each.
bool write_test_file(const wchar_t* path, tally* expected)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block;
    block.reserve(1u << 20);
    uint32_t state = 12345;
    uint32_t total = 0;
    bool ok = true;
    while (ok && total < FILE_BYTES) {
        block.clear();
        while (block.size() < (1u << 20) - 200) {
            state = state * 1103515245u + 12345u;
            uint32_t length = 1 + (state >> 16) % 120;
            for (uint32_t i = 0; i < length; ++i)
                block.push_back(static_cast<char>('a' + (state + i * 7) % 26));
            block.push_back('\r');
            block.push_back('\n');
            expected->lines += 1;
            expected->text_bytes += length;
        }
        DWORD written = 0;
        ok = WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
             written == block.size();
        total += static_cast<uint32_t>(block.size());
    }
    expected->file_bytes = total;
    CloseHandle(h);
    return ok;
}

bool read_with_runtime(const wchar_t* path, int32_t record_length, tally* got)
{
    activation frame;
    push_owned(copy_wide_string(path, static_cast<uint32_t>(wcslen(path))));
    open_file(file_mode_word(FILE_MODE_INPUT, FILE_ACCESS_READ | FILE_ACCESS_STATED | 1), record_length, 1,
              nullptr, 1);
    if (error_number())
        return false;
    read_line(1);
    do {
        got->lines += 1;
        got->text_bytes += string_bytes(peek_string(0));
        pop_release();
        if (end_of_file(1))
            break;
        read_line(1);
    } while (true);
    close_file(1, 0);
    return error_number() == 0;
}

// with_strings: also makes and frees one OLE string per line, as every
// read_line result is; this shows what the string allocator alone costs.
bool read_with_reference(const wchar_t* path, bool with_strings, tally* got)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    static char buffer[65536];
    DWORD count = 0;
    uint64_t line_bytes = 0;
    bool after_cr = false;
    char line[1024];
    while (ReadFile(h, buffer, sizeof buffer, &count, nullptr) && count > 0) {
        for (DWORD i = 0; i < count; ++i) {
            char c = buffer[i];
            if (c == '\r') {
                if (with_strings)
                    release_string(copy_string(line, static_cast<uint32_t>(line_bytes)));
                got->lines += 1;
                got->text_bytes += line_bytes;
                line_bytes = 0;
                after_cr = true;
            } else if (c == '\n' && after_cr) {
                after_cr = false;
            } else {
                if (with_strings)
                    line[line_bytes % sizeof line] = c;
                ++line_bytes;
                after_cr = false;
            }
        }
    }
    if (line_bytes) {
        got->lines += 1;
        got->text_bytes += line_bytes;
    }
    CloseHandle(h);
    return true;
}

}  // namespace

int main()
{
    start_runtime(bench_program);
    int result = 0;
    {
        activation frame;
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        wchar_t path[MAX_PATH + 32];
        swprintf(path, sizeof path / sizeof path[0], L"%lsread_lines_bench_%lu.txt", folder, GetCurrentProcessId());
        tally expected;
        if (!write_test_file(path, &expected)) {
            printf("could not write the test file\n");
            return 1;
        }
        double mb = static_cast<double>(expected.file_bytes) / (1024.0 * 1024.0);
        printf("file: %.1f MB, %llu lines\n", mb, static_cast<unsigned long long>(expected.lines));

        struct reader {
            const char* name;
            int32_t record_length;  // 0: the reference reader, -1: with a string per line
            double best = 1e30;
        } readers[] = {{"reference (ReadFile 64 KiB, byte scan)", 0},
                       {"reference + one OLE string per line", -1},
                       {"read_line, record length 128", 128},
                       {"read_line, record length 4096", 4096}};
        for (int round = 0; round < ROUNDS; ++round) {
            for (reader& r : readers) {
                tally got;
                double start = seconds_now();
                bool ok = r.record_length > 0 ? read_with_runtime(path, r.record_length, &got)
                                              : read_with_reference(path, r.record_length < 0, &got);
                double elapsed = seconds_now() - start;
                if (!ok || got.lines != expected.lines || got.text_bytes != expected.text_bytes) {
                    printf("%s: read %llu lines, %llu bytes: WRONG\n", r.name,
                           static_cast<unsigned long long>(got.lines),
                           static_cast<unsigned long long>(got.text_bytes));
                    result = 1;
                }
                if (elapsed < r.best)
                    r.best = elapsed;
            }
        }
        for (const reader& r : readers)
            printf("%-40s %8.1f MB/s  (best of %d: %.3f s)\n", r.name, mb / r.best, ROUNDS, r.best);
        printf("record length 128:  %.2fx the reference's time\n", readers[2].best / readers[0].best);
        printf("record length 4096: %.2fx the reference's time (goal: within 1.5x)\n",
               readers[3].best / readers[0].best);
        printf("record length 4096: %.2fx the time of the reference with a string per line\n",
               readers[3].best / readers[1].best);
        DeleteFileW(path);
    }
    stop_runtime();
    return result;
}
