// Saves that cannot complete keep the old notes byte for byte, leave no
// temporary file and say so: the slate stays open with the text until the
// close command.  Read-only and hidden notes files are still replaced and
// removed.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "tests/app/slate_driver.h"

namespace {

const std::string OLD_NOTES = "old notes \xe9\r\nsecond line\r\n";

// The notes file held open without sharing by this process, as an editor
// with the notes open in the same session would hold it.
struct held_file {
    HANDLE handle;  // owned: closed by release or the destructor
    explicit held_file(const std::string& path)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    held_file(const held_file&) = delete;
    ~held_file() { release(); }
    void release()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

TEST(SlateFailedSave, test_notes_file_held_open_while_running)
{
    // Side by side: "Salir" with new text, and "Borrar" then the close command.
    // The save reads the held notes file first, which is refused (32).
    site_list sites = make_sites(2);
    OPEN_SITES_WITH(sites, std::vector<std::string>(2, OLD_NOTES));
    held_file held[] = {held_file(sites[0]->notes()), held_file(sites[1]->notes())};
    for (const held_file& h : held)
        ASSERT_NE(h.handle, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    // The deletion fails and is not reported; the slate stays usable.
    const slate_process& cleared = sites[1]->run.slate;
    click_button(cleared, CLEAR_ID);
    EXPECT_EQ(visible_bytes(box_text(cleared)), "") << "the box is emptied";
    EXPECT_TRUE(still_running(cleared));
    post_close_command(cleared);
    expect_refused_save(&sites[0]->run.slate, widen(sites[0]->notes()), ERROR_SHARING_VIOLATION);
    held[0].release();
    held[1].release();
    expect_closed_with_copy(sites[0].get(), OLD_NOTES, widen(refused_text()));
    expect_ended_with(sites[1].get(), OLD_NOTES);
}

TEST(SlateFailedSave, test_notes_file_held_open_from_the_start)
{
    // The slate cannot read the notes: the box shows one empty line, and
    // leaving without an edit must not replace the unread notes with it,
    // whether the holder lets go after the slate has ended or before (an
    // editor or a scanner that lets go later).  New text is added after the
    // unread notes, which are never replaced.
    struct held_case {
        const char* name;
        std::string before;
        bool release_before_leaving;
        const char* typed;  // null: no edit
        std::string after;
    };
    const held_case cases[] = {
        {"held until the slate has ended", OLD_NOTES, false, nullptr, OLD_NOTES},
        {"let go before leaving, no edit", OLD_NOTES, true, nullptr, OLD_NOTES},
        {"let go before leaving, new text", OLD_NOTES, true, "typed later",
         OLD_NOTES + "typed later\r\n"},
        {"no final line end, new text", "old", true, "typed\r\n", "old\r\ntyped\r\n"},
    };
    // The cases run side by side, each file held before its slate starts.
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::unique_ptr<held_file>> holds;
    for (size_t i = 0; i < count; ++i) {
        ASSERT_TRUE(write_file_bytes(sites[i]->notes(), cases[i].before));
        holds.emplace_back(new held_file(sites[i]->notes()));
        ASSERT_NE(holds[i]->handle, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    }
    OPEN_SITES(sites);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(visible_bytes(box_text(sites[i]->run.slate)), "\\x0D\\x0A");
        if (cases[i].release_before_leaving)
            holds[i]->release();
        if (cases[i].typed) {
            ASSERT_TRUE(set_box_text(sites[i]->run.slate, cases[i].typed));
        }
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(wait_exit(&sites[i]->run.slate), 0);
        holds[i]->release();
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

TEST(SlateFailedSave, test_folder_named_like_the_notes_file)
{
    slate_site site;
    ASSERT_TRUE(CreateDirectoryA(site.notes().c_str(), nullptr));
    std::string inner = site.notes() + "\\inner.txt";
    ASSERT_TRUE(write_file_bytes(inner, OLD_NOTES));
    OPEN_SITE(site);
    // The folder counts as an existing notes file that cannot be read, so
    // the save adds to it, which fails at the opening: no file is made.
    EXPECT_EQ(visible_bytes(box_text(site.run.slate)), "\\x0D\\x0A");
    expect_refused_save(&site.run.slate, widen(site.notes()), ERROR_ACCESS_DENIED);
    expect_closed_with_copy(&site, "<folder>", widen(refused_text()));
    EXPECT_EQ(visible_bytes(notes_bytes(inner)), visible_bytes(OLD_NOTES));
}

TEST(SlateFailedSave, test_second_salir_while_the_message_is_up_shows_no_second)
{
    slate_site site;
    ASSERT_TRUE(CreateDirectoryA(site.notes().c_str(), nullptr));
    OPEN_SITE(site);
    const slate_process& slate = site.run.slate;
    ASSERT_TRUE(set_box_text(slate, "kept on the slate"));
    post_command(slate, LEAVE_ID, BN_CLICKED);
    std::wstring message;
    HWND first = wait_for_message(slate, &message);
    ASSERT_TRUE(first) << "no message after a failed save";
    // Sent, not posted: the second "Salir" has been handled when this returns
    // (a second message box would hold it until the send times out).
    send_command(slate, LEAVE_ID, BN_CLICKED);
    size_t messages = 0;
    for (HWND window : process_windows(slate.id))
        messages += window != slate.window && GetWindow(window, GW_OWNER) == slate.window;
    EXPECT_EQ(messages, 1u) << "one message at a time";
    EXPECT_TRUE(press_ok(first));
    // Once the message is gone, "Salir" says it again.
    post_command(slate, LEAVE_ID, BN_CLICKED);
    HWND again = wait_for_message(slate, &message);
    ASSERT_TRUE(again) << "no message for the next \"Salir\"";
    EXPECT_TRUE(press_ok(again));
    EXPECT_TRUE(still_running(slate));
    EXPECT_EQ(box_text(slate), "kept on the slate");
    post_close_command(slate);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
    EXPECT_EQ(notes_bytes(site.notes()), "<folder>");
}

TEST(SlateFailedSave, test_borrar_on_a_folder_named_like_the_notes_file)
{
    slate_site site;
    ASSERT_TRUE(CreateDirectoryA(site.notes().c_str(), nullptr));
    OPEN_SITE(site);
    click_button(site.run.slate, CLEAR_ID);
    EXPECT_TRUE(still_running(site.run.slate));
    EXPECT_EQ(notes_bytes(site.notes()), "<folder>") << "a folder is never deleted";
    post_close_command(site.run.slate);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
}

// The small disk the CTest fixture app.small_disk mounts (a 4 MiB tmpfs),
// or "" when there is none.
std::string small_disk()
{
    std::string disk = executable_folder() + "small_disk\\";
    return file_exists(disk + "tmpfs-mounted") ? disk : std::string();
}
const char NO_SMALL_DISK[] =
    "no small disk mounted (mounting a tmpfs needs root; the CTest fixture app.small_disk does it)";

// Writes to a file until the disk takes no more, then gives `room` bytes
// back; true when it did both.
bool fill_disk(const std::string& path, LONG room = 0)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string block(65536, 'f');
    DWORD written = 0;
    while (WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
           written == block.size()) {
    }
    int single_failures = 0;
    while (single_failures < 3) {
        written = 0;
        if (!WriteFile(file, "f", 1, &written, nullptr) || written != 1)
            ++single_failures;
    }
    bool given_back = room == 0 || (SetFilePointer(file, -room, nullptr, FILE_END) !=
                                        INVALID_SET_FILE_POINTER &&
                                    SetEndOfFile(file));
    CloseHandle(file);
    return given_back;
}

// Makes a folder given with its trailing backslash.
bool make_folder(const std::string& folder)
{
    return CreateDirectoryA(folder.substr(0, folder.size() - 1).c_str(), nullptr) != FALSE;
}

TEST(SlateFailedSave, test_full_disk)
{
    std::string disk = small_disk();
    if (disk.empty())
        GTEST_SKIP() << NO_SMALL_DISK;
    std::string folder = disk + "site" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(make_folder(folder));
    wide_tree_removal remove_later{{widen(folder)}};
    scratch_folder elsewhere;
    ASSERT_TRUE(copy_slate(folder));
    ASSERT_TRUE(write_file_bytes(folder + "veslinn.txt", OLD_NOTES));
    ASSERT_TRUE(fill_disk(folder + "filler.bin"));

    {
        slate_guard run;
        std::string why;
        ASSERT_TRUE(start_slate(folder + "veslinn.exe", elsewhere.path(), &run.slate, &why)) << why;
        EXPECT_EQ(visible_bytes(box_text(run.slate)), visible_bytes(OLD_NOTES));
        expect_refused_save(&run.slate, widen(folder + "veslinn.txt"), ERROR_DISK_FULL);
    }
    EXPECT_EQ(visible_bytes(notes_bytes(folder + "veslinn.txt")), visible_bytes(OLD_NOTES));
    EXPECT_EQ(joined_names(folder_names(folder)),
              joined_names({"filler.bin", "veslinn.exe", "veslinn.txt"}))
        << "the temporary file is removed";
}

TEST(SlateFailedSave, test_full_disk_cuts_an_addition_back)
{
    // Notes shown in part (a NUL byte) take an addition, which fills the disk
    // after part of it has landed: the notes come back byte for byte at their
    // old size.  Part lands for sure, since each small notes file has the
    // rest of its 4 KiB tmpfs page to grow into, and ROOM bytes are free
    // besides; yet no addition fits.  Without a final line end, the line end
    // that goes first lands too.
    const std::string notes[] = {std::string("old notes\r\nd\0ef\r\n", 17),
                                 std::string("old notes\r\nd\0ef", 15)};
    const LONG ROOM = 8192, PAGE = 4096;
    std::string disk = small_disk();
    if (disk.empty())
        GTEST_SKIP() << NO_SMALL_DISK;
    std::string base = disk + "adding" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(make_folder(base));
    wide_tree_removal remove_later{{widen(base)}};
    std::string folders[] = {base + "0\\", base + "1\\"};
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(make_folder(folders[i]) && copy_slate(folders[i]));
        ASSERT_TRUE(write_file_bytes(folders[i] + "veslinn.txt", notes[i]));
    }
    ASSERT_TRUE(fill_disk(base + "filler.bin", ROOM));
    ULARGE_INTEGER free_bytes = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(base.c_str(), &free_bytes, nullptr, nullptr));
    ASSERT_GE(free_bytes.QuadPart, static_cast<ULONGLONG>(ROOM));
    ASSERT_LT(free_bytes.QuadPart + PAGE, refused_text().size()) << "an addition would fit";
    scratch_folder elsewhere;
    slate_guard runs[2];
    std::vector<slate_process*> slates = {&runs[0].slate, &runs[1].slate};
    std::vector<std::wstring> files;
    for (size_t i = 0; i < 2; ++i) {
        std::string why;
        ASSERT_TRUE(start_slate(folders[i] + "veslinn.exe", elsewhere.path(), slates[i], &why))
            << why;
        EXPECT_EQ(visible_bytes(box_text(*slates[i])), "old notes\\x0D\\x0Ad");
        files.push_back(widen(folders[i] + "veslinn.txt"));
    }
    expect_refused_saves(slates, files, ERROR_DISK_FULL);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "notes ending in a line end" : "no final line end");
        std::string after = notes_bytes(files[i]);
        EXPECT_EQ(after.size(), notes[i].size()) << "the old size";
        EXPECT_TRUE(after == notes[i]) << "the old bytes: " << visible_bytes(after.substr(0, 80));
        EXPECT_EQ(joined_names(folder_names(folders[i])), exe_and_notes());
    }
    EXPECT_EQ(joined_names(folder_names(base)), joined_names({"0", "1", "filler.bin"}));
}

TEST(SlateNonRoot, test_read_only_folder)
{
    // Prepared by the non-root run: a folder the user may not write to, with
    // the slate and its notes in it.  The notes file itself is the user's and
    // writable, so it could be appended to but neither deleted nor replaced:
    // the save fails and says so, and the old notes come through byte for
    // byte, with nothing appended.
    const char* prepared = getenv("VESLINN_READONLY_FOLDER");
    if (!prepared || !*prepared)
        GTEST_SKIP() << "runs only from the non-root script, which prepares a read-only folder";
    std::string folder = prepared;
    std::string before;
    ASSERT_TRUE(read_file_bytes(folder + "veslinn.txt", &before));
    std::vector<std::string> names = folder_names(folder);
    scratch_folder elsewhere;
    slate_guard run;
    std::string why;
    ASSERT_TRUE(start_slate(folder + "veslinn.exe", elsewhere.path(), &run.slate, &why)) << why;
    EXPECT_EQ(visible_bytes(box_text(run.slate)), visible_bytes(before));
    expect_refused_save(&run.slate, widen(folder + "veslinn.txt"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(visible_bytes(notes_bytes(folder + "veslinn.txt")), visible_bytes(before));
    EXPECT_EQ(joined_names(folder_names(folder)), joined_names(names));
}

TEST(SlateAttributes, test_protected_notes_are_replaced_and_removed)
{
    // "Salir" still replaces read-only, hidden and system notes, and
    // "Borrar" still removes them: their attributes are cleared first.
    const DWORD attributes[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                                FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM};
    const size_t kinds = sizeof attributes / sizeof attributes[0];
    site_list sites = make_sites(2 * kinds);  // each kind with "Salir", then with "Borrar"
    for (size_t i = 0; i < sites.size(); ++i) {
        ASSERT_TRUE(write_file_bytes(sites[i]->notes(), OLD_NOTES));
        ASSERT_TRUE(set_attributes(sites[i]->notes(), attributes[i % kinds]));
    }
    OPEN_SITES(sites);
    for (size_t i = 0; i < sites.size(); ++i) {
        SCOPED_TRACE((i < kinds ? "\"Salir\", attributes " : "\"Borrar\", attributes ") +
                     std::to_string(attributes[i % kinds]));
        const slate_process& slate = sites[i]->run.slate;
        EXPECT_EQ(visible_bytes(box_text(slate)), visible_bytes(OLD_NOTES));
        if (i < kinds) {
            ASSERT_TRUE(set_box_text(slate, "replaced"));
            post_command(slate, LEAVE_ID, BN_CLICKED);
        } else {
            click_button(slate, CLEAR_ID);
            EXPECT_EQ(notes_bytes(sites[i]->notes()), NO_FILE);
            EXPECT_TRUE(still_running(slate, 0));
            post_close_command(slate);
        }
    }
    for (size_t i = 0; i < sites.size(); ++i) {
        SCOPED_TRACE(i);
        expect_ended_with(sites[i].get(), i < kinds ? "replaced\r\n" : NO_FILE);
    }
}

}  // namespace
