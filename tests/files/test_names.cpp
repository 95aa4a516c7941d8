// Attributes, deletion and renaming by name, on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/files/files_test_support.h"

namespace {

// Wine adds ARCHIVE to every file and Windows to every new one: compare without it.
const DWORD COMPARED = ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);

uint32_t attributes_through_runtime(const std::string& path, uint32_t* error)
{
    push_wide(wide_of(path));
    uint32_t attributes = get_file_attributes();
    *error = error_number();
    return attributes;
}

uint32_t set_through_runtime(const std::string& path, uint32_t attributes)
{
    push_wide(wide_of(path));
    set_file_attributes(attributes);
    return error_number();
}

uint32_t delete_through_runtime(const std::string& path)
{
    push_wide(wide_of(path));
    delete_file();
    EXPECT_EQ(temp_depth(), 0u);
    return error_number();
}

uint32_t rename_through_runtime(const std::string& from, const std::string& to)
{
    push_wide(wide_of(from));
    push_wide(wide_of(to));
    rename_file();
    EXPECT_EQ(temp_depth(), 0u);
    return error_number();
}

}  // namespace

TEST(files_names, get_file_attributes_of_files_folders_and_missing_names)
{
    scratch_folder folder;
    uint32_t error = 99;
    EXPECT_EQ(attributes_through_runtime(folder.write_file("plain.txt", "x"), &error) & COMPARED, 0u);
    EXPECT_EQ(error, 0u);
    EXPECT_NE(attributes_through_runtime(folder.path(), &error) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(error, 0u);
    const char* failing[] = {"absent.txt", "no_folder\\absent.txt", ""};
    for (const char* name : failing) {
        std::string path = *name ? folder.file(name) : std::string();
        EXPECT_EQ(attributes_through_runtime(path, &error), 0u) << name;
        EXPECT_EQ(error, RUNTIME_ERROR_FILE_NOT_FOUND) << "attributes of '" << name << "': got " << error;
    }
    EXPECT_EQ(attributes_through_runtime(folder.file("*.txt"), &error), 0u);
    EXPECT_EQ(error, RUNTIME_ERROR_BAD_FILE_NAME);
}

TEST(files_names, test_set_file_attributes_passes_the_settable_bits)
{
    struct attribute_case {
        uint32_t given;
        DWORD expected;
    };
    // Read-only is never set together with hidden or system: Wine run as an
    // ordinary user makes the file 0444 before it writes the extended
    // attribute that holds those two, and that write is then refused.
    const attribute_case cases[] = {
        {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_SYSTEM},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {0, 0},
    };
    scratch_folder folder;
    std::string path = folder.write_file("attributes.txt", "x");
    for (const attribute_case& c : cases) {
        EXPECT_EQ(set_through_runtime(path, c.given), 0u);
        DWORD got = attributes_of(path) & COMPARED;
        EXPECT_EQ(got, c.expected) << "set 0x" << std::hex << c.given << ", got 0x" << got;
    }
}

TEST(files_names, set_file_attributes_failures)
{
    scratch_folder folder;
    EXPECT_EQ(set_through_runtime(folder.file("absent.txt"), 0), RUNTIME_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(set_through_runtime(folder.file("no_folder\\absent.txt"), 0), RUNTIME_ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(set_through_runtime(folder.file("a?.txt"), 0), RUNTIME_ERROR_BAD_FILE_NAME);
}

TEST(files_names, test_a_protected_file_is_deleted_only_after_its_attributes_are_cleared)
{
    // A hidden file is skipped without a report, a read-only one refused.
    // Hidden first: Wine keeps the bit in an extended attribute, which an
    // ordinary user can no longer write once the file is read-only.
    struct protected_case {
        DWORD attributes;
        uint32_t refusal;
    };
    const protected_case cases[] = {
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, 0},
        {FILE_ATTRIBUTE_READONLY, RUNTIME_ERROR_PERMISSION_DENIED},
    };
    for (const protected_case& c : cases) {
        scratch_folder folder;
        std::string path = folder.write_file("protected.txt", "x");
        ASSERT_TRUE(set_attributes(path, c.attributes & ~FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(set_attributes(path, c.attributes));
        ASSERT_EQ(attributes_of(path) & COMPARED, c.attributes);
        EXPECT_EQ(delete_through_runtime(path), c.refusal) << std::hex << c.attributes;
        EXPECT_TRUE(file_exists(path));
        EXPECT_EQ(set_through_runtime(path, 0), 0u);
        EXPECT_EQ(attributes_of(path) & COMPARED, 0u);
        EXPECT_EQ(delete_through_runtime(path), 0u);
        EXPECT_FALSE(file_exists(path));
    }
}

TEST(files_names, deleting_a_file_held_open_gives_70)
{
    scratch_folder folder;
    std::string path = folder.write_file("open.txt", "x\r\n");
    ASSERT_EQ(open_path(path, INPUT_LOCKED, 128, 1), 0u);
    EXPECT_EQ(delete_through_runtime(path), RUNTIME_ERROR_PERMISSION_DENIED);
    EXPECT_TRUE(file_exists(path));
    close_file(1, 0);
    EXPECT_EQ(delete_through_runtime(path), 0u);
}

TEST(files_names, deleting_nothing)
{
    scratch_folder folder;
    EXPECT_EQ(delete_through_runtime(folder.file("absent.txt")), RUNTIME_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(delete_through_runtime(folder.file("*.none")), RUNTIME_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(delete_through_runtime(""), 0u) << "an empty path deletes nothing and reports nothing";
}

namespace {

struct delete_case {
    const char* what;
    std::string pattern;  // relative to the folder
    std::vector<std::string> left;
};

}  // namespace

TEST(files_names, test_delete_file_patterns_and_folder_paths)
{
    // ".dot" is named by the folder patterns.  Wine reports every name that
    // starts with a dot as hidden (a Unix convention), so there it is left
    // like any hidden file; on Windows it is an ordinary one.
    const bool dot_hidden = running_under_wine();
    const delete_case cases[] = {
        {"folder path", "", {"hidden.txt", "system.txt", "sub\\", dot_hidden ? ".dot" : "-"}},
        {"wildcard pattern", "*.txt", {"b.dat", "c.txt.bak", "hidden.txt", "system.txt", "sub\\", ".dot"}},
        {"question mark", "?.txt", {"b.dat", "c.txt.bak", "hidden.txt", "system.txt", "sub\\", ".dot"}},
        {"forward slashes", "/", {"hidden.txt", "system.txt", "sub\\", dot_hidden ? ".dot" : "-"}},
    };
    const char* all[] = {"a.txt", "b.dat", "c.txt.bak", "hidden.txt", "system.txt", "sub\\", ".dot"};
    for (const delete_case& c : cases) {
        scratch_folder folder;
        // The same names one level up must not be touched.
        scratch_folder outside;
        for (const char* name : all) {
            std::string path = folder.file(name);
            if (path.back() == '\\') {
                CreateDirectoryA(path.c_str(), nullptr);
                write_file_bytes(path + "inner.txt", "x");
            } else {
                write_file_bytes(path, "x");
                write_file_bytes(outside.file(name), "x");
            }
        }
        set_attributes(folder.file("hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
        set_attributes(folder.file("system.txt"), FILE_ATTRIBUTE_SYSTEM);
        std::string pattern = folder.path() + c.pattern;
        if (c.pattern == "/") {
            pattern = folder.path();
            for (char& ch : pattern)
                ch = ch == '\\' ? '/' : ch;
            SetCurrentDirectoryA(outside.path().c_str());
        }
        EXPECT_EQ(delete_through_runtime(pattern), 0u) << c.what;
        for (const char* name : all) {
            bool expected = std::find(c.left.begin(), c.left.end(), name) != c.left.end();
            EXPECT_EQ(file_exists(folder.file(name)), expected) << c.what << ": " << name;
        }
        EXPECT_TRUE(file_exists(folder.file("sub\\inner.txt"))) << c.what << ": nothing below the folder goes";
        for (const char* name : all) {
            if (name[strlen(name) - 1] != '\\') {
                EXPECT_TRUE(file_exists(outside.file(name))) << c.what << ": " << name << " was deleted outside";
            }
        }
        SetCurrentDirectoryA(executable_folder().c_str());
    }
}

// Onto a read-only target Windows refuses with access denied (70), while
// Wine's MoveFileExW is one rename() and replaces it: callers clear the
// attribute first.
TEST(files_names, rename_file_replaces_the_target)
{
    scratch_folder folder;
    write_file_bytes(folder.file("from.txt"), "new");
    write_file_bytes(folder.file("to.txt"), "old");
    EXPECT_EQ(rename_through_runtime(folder.file("from.txt"), folder.file("to.txt")), 0u);
    EXPECT_EQ(file_bytes(folder.file("to.txt")), "new");
    EXPECT_FALSE(file_exists(folder.file("from.txt")));
    EXPECT_EQ(rename_through_runtime(folder.file("from.txt"), folder.file("to.txt")), RUNTIME_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(rename_through_runtime(folder.file("to.txt"), folder.file("no_folder\\to.txt")), RUNTIME_ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(rename_through_runtime(folder.file("to.txt"), folder.file("t*.txt")), RUNTIME_ERROR_BAD_FILE_NAME);
    EXPECT_EQ(rename_through_runtime("", folder.file("x.txt")), RUNTIME_ERROR_BAD_FILE_NAME);
    EXPECT_TRUE(file_exists(folder.file("to.txt")));
}

TEST(files_names, rename_file_names_the_files_open_file_names)
{
    // A path longer than 255 units names, for rename_file as for open_file,
    // the file of its first 255 units.
    scratch_folder folder;
    std::string base = folder.path();
    std::string name(PREPARED_PATH_UNITS - base.size() - 1, 'n');
    std::string long_from = base + name + "a" + std::string(20, 'z');
    std::string long_to = base + name + "b" + std::string(20, 'z');
    ASSERT_EQ(open_path(long_from, OUTPUT_LOCKED, 1, 1), 0u);
    EXPECT_EQ(print_text(1, "moved"), 0u);
    close_file(1, 0);
    EXPECT_EQ(rename_through_runtime(long_from, long_to), 0u);
    ASSERT_EQ(open_path(long_to, INPUT_LOCKED, 128, 1), 0u);
    EXPECT_EQ(read_one_line(1), (line_read{"moved", 0}));
    close_file(1, 0);
    EXPECT_TRUE(file_exists(base + name + "b"));
}
