// A save in-process, through a recording version of app/save_calls.cpp
// linked in its place: the temporary file is written, flushed and closed
// before it is renamed onto the notes, and a flush that fails stops the save.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/notes/notes_load.h"
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

// The notes folder of a merge case: a scratch folder made the slate's, and a
// box in a window of its own.
struct merge_site {
    scratch_folder folder;
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOHSCROLL, 0, 0,
                               100, 100, window, nullptr, nullptr, nullptr);
    merge_site()
    {
        std::wstring path = widen(folder.path());
        release_string(notes_path);
        notes_path = copy_wide_string(path.data(), static_cast<uint32_t>(path.size()));
        notes_path_state = {true, 0};
        flush_error = 0;
        SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    }
    ~merge_site()
    {
        DestroyWindow(window);
        release_string(notes_path);
        notes_path = 0;
    }
    std::string notes() const { return folder.file("veslinn.txt"); }
    // Loads `before` as the slate does, then another program writes
    // `elsewhere`, and the box is left holding `box_text`: the save's bytes.
    std::string save(const std::string& before, const std::string& elsewhere,
                     const std::wstring& box_text)
    {
        if (!before.empty() && !write_file_bytes(notes(), before))
            return "<cannot write>";
        load_notes(box);
        return save_after(elsewhere, box_text);
    }
    std::string save_after(const std::string& elsewhere, const std::wstring& box_text)
    {
        if (!write_file_bytes(notes(), elsewhere))
            return "<cannot write>";
        SetWindowTextW(box, box_text.c_str());
        DWORD error = keep_notes(box).error;
        return error ? "<error " + std::to_string(error) + ">" : file_bytes(notes());
    }
};

struct merge_case {
    const char* name;
    std::string before, elsewhere;
    std::wstring box;
    std::string after;
};

// The 1 MB case: 25,000 lines, three changed by the file, three by the box.
merge_case megabyte_case()
{
    merge_case c = {"1 MB, three changes on each side", "", "", L"", ""};
    for (int i = 0; i < 25000; ++i) {
        char line[64];
        snprintf(line, sizeof line, "line %06d of the notes, written long ago\r\n", i);
        bool file_edits = i == 10 || i == 12000 || i == 24000;
        bool box_edits = i == 5 || i == 13000 || i == 24990;
        c.before += line;
        c.elsewhere += (file_edits ? "file " : "") + std::string(line);
        c.box += widen((box_edits ? "box " : "") + std::string(line));
        c.after += (file_edits ? "file " : box_edits ? "box " : "") + std::string(line);
    }
    return c;
}

TEST(NotesSave, test_notes_changed_elsewhere_are_merged_in_their_own_form)
{
    const std::string mark = "\xEF\xBB\xBF";
    const merge_case cases[] = {
        {"additions at the end on both sides", "a\r\nb\r\n", "a\r\nb\r\nT\r\n", L"a\r\nb\r\nM",
         "a\r\nb\r\nT\r\nM\r\n"},
        {"edits of different lines", "a\r\nb\r\nc\r\n", "A\r\nb\r\nc\r\n", L"a\r\nb\r\nC\r\n",
         "A\r\nb\r\nC\r\n"},
        {"the same line edited on both sides", "a\r\nb\r\nc\r\n", "a\r\nB1\r\nc\r\n",
         L"a\r\nB2\r\nc\r\n", "a\r\nB1\r\nB2\r\nc\r\n"},
        {"the box deleted a line, the file added another", "a\r\nb\r\nc\r\n",
         "a\r\nb\r\nc\r\nd\r\n", L"a\r\nc\r\n", "a\r\nc\r\nd\r\n"},
        {"the file emptied elsewhere", "a\r\nb\r\n", "", L"a\r\nb\r\nM", "a\r\nb\r\nM\r\n"},
        {"LF-only line ends in the file", "a\nb\n", "a\nb\nc\n", L"a\nb\n\r\nM",
         "a\nb\nc\n\r\nM\r\n"},
        {"UTF-8 with the mark", mark + "a\r\n-\r\nb\r\n", mark + "A\r\n-\r\nb\r\n",
         L"a\r\n-\r\nb \x2713\r\n", mark + "A\r\n-\r\nb \xE2\x9C\x93\r\n"},
        {"UTF-8 without the mark", "caf\xC3\xA9\r\n-\r\nx\r\n", "caf\xC3\xA9\r\n-\r\nX\r\n",
         L"cr\x00e8me\r\n-\r\nx\r\n", "cr\xC3\xA8me\r\n-\r\nX\r\n"},
        {"the code page", "caf\xE9\r\n-\r\nx\r\n", "caf\xE9\r\n-\r\nX\r\n",
         L"cr\x00e8me\r\n-\r\nx\r\n", "cr\xE8me\r\n-\r\nX\r\n"},
        megabyte_case(),
    };
    for (const merge_case& c : cases) {
        SCOPED_TRACE(c.name);
        merge_site site;
        std::string got = site.save(c.before, c.elsewhere, c.box);
        EXPECT_TRUE(got == c.after) << visible_bytes(got.substr(0, 200));
    }
}

TEST(NotesSave, test_a_save_is_the_base_of_the_next_merge)
{
    merge_site site;
    EXPECT_EQ(site.save("a\r\nb\r\n", "a\r\nb\r\n", L"a\r\nb\r\nM"), "a\r\nb\r\nM\r\n");
    EXPECT_EQ(site.save_after("A\r\nb\r\nM\r\n", L"a\r\nb\r\nM\r\nN"), "A\r\nb\r\nM\r\nN\r\n");
}

}  // namespace
