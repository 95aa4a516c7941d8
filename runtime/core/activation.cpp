// Procedure activations: one frame per call of an application procedure,
// linked through the thread record so run-time operations find the innermost.
#include <string.h>

#include "runtime/core/core.h"

procedure_frame* current_frame()
{
    thread_record* record = current_thread_record();
    if (!record)
        return nullptr;
    return record->innermost ? record->innermost : &record->base_frame;
}

activation::activation()
{
    memset(&frame, 0, sizeof frame);
    thread_record* record = current_thread_record();
    if (record) {
        frame.outer = record->innermost;
        record->innermost = &frame;
    }
}

activation::~activation()
{
    // Temporaries still on the stack belong to this frame; statements leave
    // the stack empty, so this only matters for an abandoned statement.
    while (frame.depth > 0) {
        string_handle h = frame.temps[--frame.depth];
        release_string(h);
    }
    for (uint32_t i = 0; i < frame.local_count; ++i)
        release_variable(frame.locals[i]);
    frame.local_count = 0;
    thread_record* record = current_thread_record();
    if (record && record->innermost == &frame)
        record->innermost = frame.outer;
}

void activation::release_at_exit(string_handle* variable)
{
    if (frame.local_count >= FRAME_LOCALS) {
        // More string locals than a procedure of this program declares.
        raise_error(RUNTIME_ERROR_MISSING_FEATURE);
        return;
    }
    frame.locals[frame.local_count].variable = variable;
    frame.locals[frame.local_count].kind = RELEASE_STRING;
    ++frame.local_count;
}
