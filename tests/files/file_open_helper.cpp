// A second process for the sharing tests: opens the file named on its command
// line with the given mode word (hexadecimal) and exits with the run-time
// error number of the open (0 when it succeeded).
#include <stdlib.h>
#include <string.h>

#include "runtime/files/files.h"

static int32_t unused_entry(HINSTANCE, uint32_t, const wchar_t*, int32_t) { return 0; }

static const program_image helper_program = {unused_entry, 0, nullptr, {nullptr, 0}, {nullptr, 0}};

int main(int argc, char** argv)
{
    if (argc != 3)
        return 200;
    start_runtime(helper_program);
    uint32_t error;
    {
        activation frame;
        uint16_t mode_word = static_cast<uint16_t>(strtoul(argv[1], nullptr, 16));
        const char* path = argv[2];
        push_owned(copy_string(path, static_cast<uint32_t>(strlen(path))));
        to_wide_in_place(0);
        open_file(mode_word, 128, 1, nullptr, 1);
        error = error_number();
        close_all_files();
    }
    stop_runtime();
    return static_cast<int>(error);
}
