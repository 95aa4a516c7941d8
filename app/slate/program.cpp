// The executable's start: the C++ start-up code of the compiler's run-time
// calls WinMain, which hands over to the run-time's process_entry at once.
#include "app/notes/notes_path.h"
#include "app/slate/slate_main.h"
#include "runtime/controls/controls.h"

static int32_t application_entry(HINSTANCE, uint32_t, const wchar_t*, int32_t)
{
    return slate_main();
}

// The program's globals that hold run-time strings, released at exit.
const release_entry program_globals[] = {{&notes_path, RELEASE_STRING}};

const program_image the_program = {application_entry, OPTION_BUILD_DEFAULT_FONTS,
                                   build_default_fonts,
                                   {program_globals, sizeof program_globals / sizeof program_globals[0]},
                                   {nullptr, 0}};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    process_entry();
}
