// The save's system calls, passed on to the system unchanged.
#include "app/notes/save_calls.h"

BOOL save_write(HANDLE file, const void* bytes, DWORD length, DWORD* written)
{
    return WriteFile(file, bytes, length, written, nullptr);
}

BOOL save_flush(HANDLE file)
{
    return FlushFileBuffers(file);
}

BOOL save_close(HANDLE file)
{
    return CloseHandle(file);
}

BOOL save_move(const wchar_t* source, const wchar_t* target, DWORD flags)
{
    return MoveFileExW(source, target, flags);
}
