// The run-time error number of each procedure activation.
#include "runtime/core/core.h"

void end_process_fatal()
{
    ExitProcess(EXIT_CODE_FATAL);
}

void raise_error(uint32_t number)
{
    number = static_cast<uint8_t>(number);  // the record holds 8 bits
    if (number == 0)
        number = RUNTIME_ERROR_FOR_ZERO;
    procedure_frame* frame = current_frame();
    if (frame)
        frame->error = number;
    if (number >= RUNTIME_ERROR_FATAL_FIRST)
        end_process_fatal();
}

void raise_checked(int32_t number)
{
    if (number < 1 || number > static_cast<int32_t>(RUNTIME_ERROR_FATAL_LAST))
        number = RUNTIME_ERROR_FOR_OUT_OF_RANGE;
    raise_error(static_cast<uint32_t>(number));
}

uint32_t error_number()
{
    procedure_frame* frame = current_frame();
    if (!frame)
        return 0;
    uint32_t number = frame->error;
    frame->error = 0;
    return number;
}

void clear_error()
{
    procedure_frame* frame = current_frame();
    if (frame)
        frame->error = 0;
}
