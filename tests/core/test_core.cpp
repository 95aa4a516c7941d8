// Process start-up, thread records, error records and locks.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/core.h"
#include "tests/support/test_support.h"
#include "tests/support/window_checks.h"

namespace {

struct tail_case {
    const wchar_t* command_line;
    const wchar_t* tail;
};

TEST(core, argument_tail_cases)
{
    const tail_case cases[] = {
        {L"\"C:\\apps\\veslinn.exe\"", L""},
        {L"\"C:\\apps\\veslinn.exe\"  /x y", L"/x y"},
        {L"C:\\apps\\veslinn.exe /x", L"/x"},
        {L"veslinn.exe", L""},
        {L"\"C:\\my apps\\v.exe\"/x", L"/x"},
        {L"\"C:\\unterminated quote", L""},
        {L"", L""},
        {L"prog\targ", L"\targ"},  // a tab ends the name but is not skipped as a space
    };
    for (const tail_case& c : cases) {
        std::wstring got = find_argument_tail(c.command_line);
        EXPECT_EQ(got, std::wstring(c.tail)) << "command line: " << testing::PrintToString(std::wstring(c.command_line));
    }
}

// A run of the probe program and the folder where it leaves its files.
struct probe_run {
    scratch_folder folder;
    int exit_code = -1;

    // The probe inherits these variables from the test process.
    void set_environment(const std::string& mode, int number = 0) const
    {
        SetEnvironmentVariableA("PROBE_MODE", mode.c_str());
        SetEnvironmentVariableA("PROBE_NUMBER", std::to_string(number).c_str());
        std::string bare = folder.path().substr(0, folder.path().size() - 1);
        SetEnvironmentVariableA("PROBE_FOLDER", bare.c_str());
    }
    void run(const std::string& mode, const std::string& arguments = std::string(), int number = 0)
    {
        set_environment(mode, number);
        std::string exe = executable_folder() + "runtime_probe.exe";
        exit_code = run_program(arguments.empty() ? "\"" + exe + "\"" : arguments, 30000);
    }
    bool marker(const char* name) const { return file_exists(folder.file(name)); }
    std::string text(const char* name) const { return file_bytes(folder.file(name)); }
};

TEST(core, test_how_a_real_process_ends)
{
    // The application's result becomes the exit code once the globals are
    // released; a fatal error ends with 255 and skips the release.
    struct end_case {
        const char* mode;
        int number;  // given to raise_checked
        int exit_code;
    };
    const int fatal = EXIT_CODE_FATAL;
    const end_case cases[] = {
        {"return7", 0, 7},
        {"checked", 0, RUNTIME_ERROR_FOR_OUT_OF_RANGE},
        {"checked", -1, RUNTIME_ERROR_FOR_OUT_OF_RANGE},
        {"checked", 256, RUNTIME_ERROR_FOR_OUT_OF_RANGE},
        {"checked", RUNTIME_ERROR_FATAL_FIRST - 1, RUNTIME_ERROR_FATAL_FIRST - 1},
        {"checked", RUNTIME_ERROR_FATAL_FIRST, fatal},
        {"checked", RUNTIME_ERROR_FATAL_LAST, fatal},
        {"checked", 1, 1},
    };
    for (const end_case& c : cases) {
        probe_run probe;
        probe.run(c.mode, std::string(), c.number);
        EXPECT_EQ(probe.exit_code, c.exit_code) << c.mode << " " << c.number;
        EXPECT_TRUE(probe.marker("entered")) << c.mode << " " << c.number;
        EXPECT_EQ(probe.marker("released"), c.exit_code != fatal) << c.mode << " " << c.number;
    }
}

TEST(core, argument_tail_show_command_and_control_word_in_a_real_process)
{
    probe_run probe;
    probe.run("tail", "\"" + executable_folder() + "runtime_probe.exe\"  /x y");
    ASSERT_EQ(probe.exit_code, 0);
    // Started without STARTF_USESHOWWINDOW: the show command is SW_SHOWDEFAULT.
    EXPECT_EQ(probe.text("tail"), "/x y|10|133F");
}

// Under Wine the prefix reports Windows 98 to programs of this name only.
BOOL CALLBACK find_message_box(HWND window, LPARAM found)
{
    if (class_of(window) == "#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collect_text(HWND child, LPARAM text)
{
    char buffer[256] = {};
    GetWindowTextA(child, buffer, sizeof buffer);
    *reinterpret_cast<std::string*>(text) += std::string(buffer) + "|";
    return TRUE;
}

TEST(core, refuses_a_platform_outside_the_nt_family)
{
    probe_run probe;
    std::string copy = probe.folder.file("veslinn_win98.exe");
    ASSERT_TRUE(CopyFileA((executable_folder() + "runtime_probe.exe").c_str(), copy.c_str(), FALSE));
    probe.set_environment("return7");

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = "\"" + copy + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    // The box is found while Wine still builds it: wait until it is shown
    // with its text.
    HWND box = nullptr;
    std::string texts;
    for (int i = 0; i < 300; ++i) {
        box = nullptr;
        EnumThreadWindows(process.dwThreadId, find_message_box, reinterpret_cast<LPARAM>(&box));
        texts.clear();
        if (box && IsWindowVisible(box))
            EnumChildWindows(box, collect_text, reinterpret_cast<LPARAM>(&texts));
        if (texts.find("Win98 No Support") != std::string::npos)
            break;
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            break;
    }
    ASSERT_NE(box, nullptr) << "no message box appeared";
    EXPECT_NE(texts.find("Win98 No Support"), std::string::npos) << "box texts: " << texts;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, EXIT_CODE_FATAL);
    EXPECT_FALSE(probe.marker("entered")) << "the application ran on a refused platform";
    EXPECT_FALSE(probe.marker("released"));
}

uint32_t fail_in_callee(uint32_t number)
{
    activation frame;
    raise_error(number);
    return frame.frame.error;
}

TEST(core, error_records_are_per_activation)
{
    activation frame;
    clear_error();
    EXPECT_EQ(fail_in_callee(RUNTIME_ERROR_FILE_NOT_FOUND), RUNTIME_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(error_number(), 0u) << "a failure inside a called procedure leaked into the caller";

    raise_error(RUNTIME_ERROR_FILE_NOT_FOUND);
    {
        activation inner;
        EXPECT_EQ(error_number(), 0u) << "a new activation must start with no error";
        raise_error(RUNTIME_ERROR_INPUT_PAST_END);
    }
    EXPECT_EQ(error_number(), RUNTIME_ERROR_FILE_NOT_FOUND) << "the caller's record changed";
    EXPECT_EQ(error_number(), 0u) << "error_number must reset the record";
}

TEST(core, error_number_rules)
{
    activation frame;
    raise_error(0);
    EXPECT_EQ(error_number(), RUNTIME_ERROR_FOR_ZERO);
    raise_error(RUNTIME_ERROR_FILE_NOT_FOUND);
    raise_error(RUNTIME_ERROR_INPUT_PAST_END);
    EXPECT_EQ(error_number(), RUNTIME_ERROR_INPUT_PAST_END) << "the latest failure wins";
    raise_error(RUNTIME_ERROR_PERMISSION_DENIED);
    clear_error();
    EXPECT_EQ(error_number(), 0u);
}

TEST(core, activation_releases_its_string_locals)
{
    string_handle local = 0;
    {
        activation frame;
        local = copy_string("abc", 3);
        frame.release_at_exit(&local);
        push_owned(copy_string("left", 4));  // an abandoned temporary
    }
    EXPECT_EQ(local, 0u) << "the string local was not released";
}

DWORD WINAPI read_new_thread_record(void* out)
{
    thread_record* record = current_thread_record();
    thread_record* copy = static_cast<thread_record*>(out);
    copy->default_dialog_font = record->default_dialog_font;
    copy->code_page = record->code_page;
    copy->innermost = reinterpret_cast<procedure_frame*>(static_cast<intptr_t>(g_runtime.thread_count));
    release_thread_record();
    return 0;
}

TEST(core, new_threads_start_with_the_main_threads_settings)
{
    thread_record* main = current_thread_record();
    ASSERT_EQ(main, g_runtime.main_thread);
    EXPECT_EQ(main->default_dialog_font, 1);
    EXPECT_EQ(main->code_page, 0u);

    main->code_page = 1252;
    main->default_dialog_font = 3;
    LONG count_before = g_runtime.thread_count;
    thread_record seen = {};
    HANDLE thread = CreateThread(nullptr, 0, read_new_thread_record, &seen, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    main->code_page = 0;
    main->default_dialog_font = 1;

    EXPECT_EQ(seen.code_page, 1252u);
    EXPECT_EQ(seen.default_dialog_font, 3);
    EXPECT_EQ(reinterpret_cast<intptr_t>(seen.innermost), count_before + 1)
        << "thread count while the second thread held a record";
    EXPECT_EQ(g_runtime.thread_count, count_before) << "the released record was not counted off";
}

TEST(core, start_up_state)
{
    EXPECT_EQ(g_runtime.instance, GetModuleHandleW(nullptr));
    EXPECT_EQ(g_runtime.version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_NE(g_runtime.tls_slot, TLS_OUT_OF_INDEXES);
}

struct counter_work {
    spin_lock lock;
    volatile long counter;
};

DWORD WINAPI count_under_lock(void* p)
{
    counter_work* work = static_cast<counter_work*>(p);
    for (int i = 0; i < 100000; ++i) {
        lock_hold hold(&work->lock);
        long v = work->counter;
        work->counter = v + 1;
    }
    return 0;
}

TEST(core, spin_lock_excludes_other_threads)
{
    counter_work work = {};
    HANDLE threads[3];
    for (HANDLE& t : threads)
        t = CreateThread(nullptr, 0, count_under_lock, &work, 0, nullptr);
    WaitForMultipleObjects(3, threads, TRUE, INFINITE);
    for (HANDLE t : threads)
        CloseHandle(t);
    EXPECT_EQ(work.counter, 300000);
    EXPECT_EQ(work.lock.word, 0);
}

}  // namespace
