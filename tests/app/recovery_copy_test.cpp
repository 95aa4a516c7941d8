// The recovery copy in-process, on real windows and files: a box whose text
// cannot be had leaves the last good copy as it is, and the copy's thread
// ends with the slate's window.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <set>

#include "app/notes/notes_path.h"
#include "app/recovery/recovery_copy.h"
#include "app/slate/slate_main.h"
#include "runtime/strings/strings.h"
#include "tests/support/test_support.h"

namespace {

// A box that names a length but gives no text, as a box does when memory
// runs out; with a length beyond what the copy can hold, the copy finds no
// memory for it itself.
LRESULT refused_length;  // 0: the box answers as it is
WNDPROC edit_procedure;

LRESULT CALLBACK refusing_box(HWND box, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (refused_length && message == WM_GETTEXTLENGTH)
        return refused_length;
    if (refused_length && message == WM_GETTEXT)
        return 0;
    return CallWindowProcW(edit_procedure, box, message, wparam, lparam);
}

// The bytes of the folder's copies, by name.
std::string copies_in(const std::string& folder)
{
    std::string all;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "veslinn*.rcv").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return all;
    do
        all += std::string(found.cFileName) + ": " +
               visible_bytes(file_bytes(folder + found.cFileName)) + "\n";
    while (FindNextFileA(search, &found));
    FindClose(search);
    return all;
}

TEST(RecoveryCopy, test_text_that_cannot_be_had_keeps_the_last_copy)
{
    scratch_folder folder;
    std::wstring path = widen(folder.path());
    notes_path = copy_wide_string(path.data(), static_cast<uint32_t>(path.size()));
    notes_path_state = {true, 0};
    HWND slate = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 100, 100, slate,
                               nullptr, nullptr, nullptr);
    edit_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(refusing_box)));
    ASSERT_FALSE(restore_recovery_copy(slate, box));
    SetWindowTextW(box, L"the last good text");
    write_recovery_copy_now();
    const std::string good = copies_in(folder.path());
    ASSERT_NE(good.find("the last good text"), std::string::npos) << good;

    const struct {
        const char* name;
        LRESULT length;
    } cases[] = {{"the box gives no text", 18}, {"no memory for the text", 0x7FFFFFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refused_length = c.length;
        note_box_changed();
        write_recovery_copy_when_due();
        write_recovery_copy_now();
        settle_recovery_copy();
        EXPECT_EQ(copies_in(folder.path()), good);
    }
    refused_length = 0;
    DestroyWindow(slate);
    release_string(notes_path);
    notes_path = 0;
}

// The threads of this process.
std::set<DWORD> process_threads()
{
    std::set<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            threads.insert(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return threads;
}

// The slate shown by a thread of this process (other programs may show
// windows of that caption too).
BOOL CALLBACK find_slate(HWND window, LPARAM found)
{
    if (!IsWindowVisible(window) || !GetDlgItem(window, ID_NOTES_BOX))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// What the typist works with: the thread that runs the slate, and the
// folder its copies go to.
struct typist_run {
    DWORD slate_thread;
    std::string folder;
};

// Beside the slate on its own thread: types into it, waits until the copy's
// thread has written a copy (1 when it did), and closes the slate with the
// close command, which writes the copy once more.
DWORD WINAPI type_then_close(void* data)
{
    const typist_run* run = static_cast<const typist_run*>(data);
    HWND slate = nullptr;
    for (int tries = 0; !slate && tries < 6000; ++tries, Sleep(10))
        EnumThreadWindows(run->slate_thread, find_slate, reinterpret_cast<LPARAM>(&slate));
    HWND box = GetDlgItem(slate, ID_NOTES_BOX);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"typed"));
    bool written = false;
    for (int tries = 0; !written && tries < 3000; ++tries, Sleep(10))
        written = !copies_in(run->folder).empty();
    PostMessageW(slate, WM_SYSCOMMAND, SC_CLOSE, 0);
    return written ? 1 : 0;
}

TEST(RecoveryCopy, test_no_thread_is_left_when_the_slate_is_gone)
{
    // The slate keeps its notes beside this program; the close command
    // leaves only the copy there, removed at the end.
    const typist_run run = {GetCurrentThreadId(), executable_folder()};
    const std::string& folder = run.folder;
    const std::set<DWORD> before = process_threads();
    HANDLE typist = CreateThread(nullptr, 0, type_then_close, const_cast<typist_run*>(&run), 0,
                                 nullptr);
    show_slate(nullptr);
    WaitForSingleObject(typist, INFINITE);
    DWORD written = 0;
    GetExitCodeThread(typist, &written);
    CloseHandle(typist);
    EXPECT_EQ(written, 1u) << "the copy's thread wrote a copy while the slate ran";
    EXPECT_EQ(process_threads(), before);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "veslinn*.rcv").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        DeleteFileA((folder + found.cFileName).c_str());
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

}  // namespace
