// A save in-process, through a recording version of app/save_calls.cpp
// linked in its place: the temporary file is written, flushed and closed
// before it is renamed onto the notes, and a flush that fails stops the save.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/notes/notes_path.h"
#include "app/notes/notes_record.h"
#include "app/notes/notes_save.h"
#include "app/notes/save_calls.h"
#include "runtime/strings/strings.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::string> calls;  // "write#1": the call and which file handle, in order
std::vector<HANDLE> handles;     // the handles seen, numbered from 1
DWORD flush_error;               // when not 0, every flush fails with it

std::string call_on(const char* name, HANDLE file)
{
    auto seen = std::find(handles.begin(), handles.end(), file);
    if (seen == handles.end())
        seen = handles.insert(handles.end(), file);
    return std::string(name) + "#" + std::to_string(seen - handles.begin() + 1);
}

}  // namespace

BOOL save_write(HANDLE file, const void* bytes, DWORD length, DWORD* written)
{
    calls.push_back(call_on("write", file));
    return WriteFile(file, bytes, length, written, nullptr);
}

BOOL save_flush(HANDLE file)
{
    calls.push_back(call_on("flush", file));
    if (!flush_error)
        return FlushFileBuffers(file);
    SetLastError(flush_error);
    return FALSE;
}

BOOL save_close(HANDLE file)
{
    calls.push_back(call_on("close", file));
    return CloseHandle(file);
}

BOOL save_move(const wchar_t* source, const wchar_t* target, DWORD flags)
{
    std::wstring onto = target;
    calls.push_back("move onto " + std::string(onto.begin() + onto.rfind(L'\\') + 1, onto.end()));
    return MoveFileExW(source, target, flags);
}

namespace {

struct save_case {
    const char* name;
    DWORD flush_error;  // also what the save reports
    std::vector<std::string> calls;
    std::string after;  // the notes file
};

TEST(NotesSave, test_temporary_file_is_flushed_before_the_rename)
{
    const save_case cases[] = {
        {"written, flushed, closed, renamed", 0,
         {"write#1", "flush#1", "close#1", "move onto veslinn.txt"}, "new notes\r\n"},
        {"the flush fails: no rename", ERROR_IO_DEVICE, {"write#1", "flush#1", "close#1"},
         "old notes\r\n"},
    };
    for (const save_case& c : cases) {
        SCOPED_TRACE(c.name);
        scratch_folder folder;
        ASSERT_TRUE(write_file_bytes(folder.file("veslinn.txt"), "old notes\r\n"));
        std::wstring path = widen(folder.path());
        release_string(notes_path);
        notes_path = copy_wide_string(path.data(), static_cast<uint32_t>(path.size()));
        notes_path_state = {true, 0};
        notes = notes_record{NOTES_CODE_PAGE, false, false, 0, 0, {}, true};
        DWORD unread = 0;
        notes.seen = read_file_state(widen(folder.file("veslinn.txt")).c_str(), nullptr, &unread);
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
        HWND box = CreateWindowExW(0, L"EDIT", L"new notes\r\n", WS_CHILD | ES_MULTILINE, 0, 0,
                                   100, 100, window, nullptr, nullptr, nullptr);
        calls.clear();
        handles.clear();
        flush_error = c.flush_error;
        EXPECT_EQ(keep_notes(box).error, c.flush_error);
        DestroyWindow(window);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(visible_bytes(file_bytes(folder.file("veslinn.txt"))), visible_bytes(c.after));
        WIN32_FIND_DATAA left;
        HANDLE search = FindFirstFileA(folder.file("*.new").c_str(), &left);
        if (search != INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "the temporary file " << left.cFileName << " is left";
            FindClose(search);
        }
    }
    release_string(notes_path);
    notes_path = 0;
}

}  // namespace
