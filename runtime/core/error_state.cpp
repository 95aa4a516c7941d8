// The run-time error number of each procedure activation.
#include "runtime/core/core.h"

void end_process_fatal()
{
    ExitProcess(255);
}

void raise_error(uint32_t number)
{
    number &= 0xFF;
    if (number == 0)
        number = 51;
    procedure_frame* frame = current_frame();
    if (frame)
        frame->error = number;
    if (number >= 241)
        end_process_fatal();
}

void raise_checked(int32_t number)
{
    if (number < 1 || number > 255)
        number = 5;
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
