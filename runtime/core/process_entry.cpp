// The process entry.
//
// process_entry is reached from WinMain, after the C++ start-up code of the
// compiler's run-time has initialised the C library and static objects; it
// never returns and ends the process with ExitProcess.
#include "runtime/core/core.h"

void process_entry()
{
    start_runtime(the_program);
    int32_t result = the_program.entry(g_runtime.instance, 0, g_runtime.argument_tail,
                                       g_runtime.show_command);
    stop_runtime();
    ExitProcess(static_cast<UINT>(result));
}
