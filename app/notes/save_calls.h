// The four system calls a save makes on its files, in a module of their own.
// The program links save_calls.cpp, which only passes each call on to the
// system; a test program links a version that records the calls instead.
#pragma once

#include <windows.h>

BOOL save_write(HANDLE file, const void* bytes, DWORD length, DWORD* written);  // WriteFile
BOOL save_flush(HANDLE file);                                                   // FlushFileBuffers
BOOL save_close(HANDLE file);                                                   // CloseHandle
BOOL save_move(const wchar_t* source, const wchar_t* target, DWORD flags);      // MoveFileExW
