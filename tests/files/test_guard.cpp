// The system-call guard: error mapping, verdict, error mode and x87 state.
#include <gtest/gtest.h>

#include "tests/files/files_test_support.h"

// The codes the file tests meet through real calls are checked there.
TEST(files_guard, system_errors_the_file_layer_meets_keep_their_meaning)
{
    const uint32_t pairs[][2] = {
        {ERROR_LOCK_VIOLATION, RUNTIME_ERROR_PERMISSION_DENIED},
        {ERROR_NOT_ENOUGH_MEMORY, RUNTIME_ERROR_OUT_OF_MEMORY},
        {ERROR_HANDLE_EOF, RUNTIME_ERROR_INPUT_PAST_END},
        {ERROR_HANDLE_DISK_FULL, RUNTIME_ERROR_DISK_FULL},
        {ERROR_DISK_FULL, RUNTIME_ERROR_DISK_FULL},
        {ERROR_INVALID_PARAMETER, RUNTIME_ERROR_INVALID_ARGUMENT},
        {ERROR_FILENAME_EXCED_RANGE, RUNTIME_ERROR_PATH_FILE_ACCESS},
    };
    for (const auto& pair : pairs)
        EXPECT_EQ(map_system_error(pair[0]), pair[1]) << "system error " << pair[0];
}

TEST(files_guard, every_system_error_maps_to_a_run_time_number)
{
    // A failure is never reported as success, nor as a number outside 1..255.
    for (DWORD code = 1; code <= 0x10000; ++code) {
        uint32_t number = map_system_error(code);
        ASSERT_TRUE(number > RUNTIME_ERROR_NONE && number <= RUNTIME_ERROR_FATAL_LAST) << code;
    }
    EXPECT_EQ(map_system_error(0xFFFFFFFF), RUNTIME_ERROR_PATH_FILE_ACCESS);
}

TEST(files_guard, the_verdict_rests_on_the_last_error_alone)
{
    SetLastError(ERROR_ACCESS_DENIED);  // left over from earlier: not this call's
    guard_verdict quiet = guarded_call([] { return 0; });
    EXPECT_FALSE(quiet.failed()) << "a call that sets no last error succeeded, whatever it returned";
    EXPECT_EQ(quiet.error, 0u);

    guard_verdict noisy = guarded_call([] {
        SetLastError(ERROR_ALREADY_EXISTS);
        return TRUE;
    });
    EXPECT_TRUE(noisy.failed());
    EXPECT_EQ(noisy.value, static_cast<uintptr_t>(TRUE));
    EXPECT_EQ(noisy.system_error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(noisy.error, RUNTIME_ERROR_PATH_FILE_ACCESS);

    guard_verdict missing = guarded_call([] { return GetFileAttributesW(L"C:\\no\\such\\folder\\file.txt"); });
    EXPECT_EQ(missing.value, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(missing.error, RUNTIME_ERROR_PATH_NOT_FOUND) << "system error " << missing.system_error;
    EXPECT_EQ(error_number(), 0u) << "the guard sets no run-time number itself";
}

TEST(files_guard, test_the_callers_state_survives_and_the_call_runs_with_the_default)
{
    struct state_case {
        const char* what;
        uint32_t (*get)();
        void (*set)(uint32_t);
        uint32_t callers, clobbered, inside;
    };
    const state_case cases[] = {
        {"error mode", [] { return static_cast<uint32_t>(GetErrorMode()); },
         [](uint32_t mode) { SetErrorMode(mode); }, SEM_NOGPFAULTERRORBOX, 0,
         SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX},
        // The caller's: round toward zero, 64-bit precision, all masked.
        {"x87 control word", [] { return static_cast<uint32_t>(get_fpu_control_word()); },
         [](uint32_t word) { set_fpu_control_word(static_cast<uint16_t>(word)); }, 0x0F7F, 0x027F,
         0x037F},
    };
    for (const state_case& c : cases) {
        uint32_t original = c.get();
        c.set(c.callers);
        uint32_t inside = 0;
        guarded_call([&] {
            inside = c.get();
            c.set(c.clobbered);
            return 0;
        });
        uint32_t after = c.get();
        c.set(original);
        EXPECT_EQ(after, c.callers) << c.what << std::hex << ": 0x" << after;
        EXPECT_EQ(inside, c.inside) << c.what << std::hex << ": 0x" << inside;
    }
}

namespace {

// Called from assembly with a value on the x87 register stack: a guarded
// operation that resets the unit and leaves values of its own behind.
void __cdecl clobbering_guarded_call()
{
    guarded_call([] {
        __asm__ __volatile__("fninit\n\tfld1\n\tfldz\n\tfld1" : : : "memory");
        return 0;
    });
}

}  // namespace

TEST(files_guard, the_callers_register_stack_survives)
{
    double in = 2.5;
    double out = 0;
    uint16_t status_before = 0, status_after = 0;
    void (*call)() = clobbering_guarded_call;
    __asm__ __volatile__(
        "fldl %3\n\t"
        "fnstsw %1\n\t"
        "call *%4\n\t"
        "fnstsw %2\n\t"
        "fstpl %0"
        : "=m"(out), "=m"(status_before), "=m"(status_after)
        : "m"(in), "r"(call)
        : "eax", "ecx", "edx", "memory", "cc");
    EXPECT_EQ(out, 2.5);
    EXPECT_EQ(status_after & 0x3800, status_before & 0x3800) << "the stack top moved";
}

TEST(files_guard, what_real_file_calls_leave_as_their_last_error)
{
    scratch_folder folder;
    std::wstring path = wide_of(folder.write_file("guarded.txt", "ab"));
    // Opening an existing file with OPEN_ALWAYS succeeds and leaves
    // ERROR_ALREADY_EXISTS: the guard calls that a failure, which is why the
    // open decides by the handle alone.
    guard_verdict open = guarded_call([&] {
        return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    });
    HANDLE h = reinterpret_cast<HANDLE>(open.value);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open.system_error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(open.error, RUNTIME_ERROR_PATH_FILE_ACCESS);
    // Positioning and reading at the end: success, 0 bytes.
    guard_verdict seek = guarded_call([&] { return SetFilePointer(h, 0, nullptr, FILE_END); });
    EXPECT_FALSE(seek.failed()) << "system error " << seek.system_error;
    EXPECT_EQ(seek.value, 2u);
    char byte = 0;
    DWORD got = 99;
    guard_verdict read = guarded_call([&] { return ReadFile(h, &byte, 1, &got, nullptr); });
    EXPECT_FALSE(read.failed()) << "system error " << read.system_error;
    EXPECT_EQ(got, 0u);
    CloseHandle(h);
}
