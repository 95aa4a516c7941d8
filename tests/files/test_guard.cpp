// The system-call guard: error mapping, verdict, error mode and x87 state.
#include <gtest/gtest.h>

#include "tests/files/files_test_support.h"

TEST(files_guard, system_errors_map_to_run_time_numbers)
{
    // System error code -> run-time number, the whole table and the codes above it.
    const uint32_t expected[][2] = {
        {1, 75},   {2, 53},   {3, 76},   {4, 67},   {5, 70},   {6, 57},   {7, 241},  {8, 7},
        {9, 241},  {10, 241}, {11, 51},  {12, 51},  {13, 51},  {14, 7},   {15, 68},  {16, 75},
        {17, 74},  {18, 53},  {19, 70},  {20, 68},  {21, 71},  {22, 51},  {23, 72},  {24, 51},
        {25, 72},  {26, 72},  {27, 72},  {28, 72},  {29, 72},  {30, 72},  {31, 72},  {32, 70},
        {33, 70},  {34, 72},  {35, 72},  {36, 70},  {37, 75},  {38, 62},  {39, 61},  {40, 75},
        {87, 5},   {112, 61}, {183, 75}, {109, 75}, {123, 75}, {0xFFFFFFFF, 75},
    };
    for (const auto& row : expected)
        EXPECT_EQ(map_system_error(row[0]), row[1]) << "system error " << row[0];
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
    EXPECT_EQ(noisy.error, 75u);

    guard_verdict missing = guarded_call([] { return GetFileAttributesW(L"C:\\no\\such\\folder\\file.txt"); });
    EXPECT_EQ(missing.value, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(missing.error, 76u) << "system error " << missing.system_error;
    EXPECT_EQ(error_number(), 0u) << "the guard sets no run-time number itself";
}

TEST(files_guard, the_error_mode_is_changed_for_the_call_and_restored)
{
    UINT original = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    UINT inside = 0;
    guarded_call([&] {
        inside = GetErrorMode();
        SetErrorMode(0);
        return 0;
    });
    UINT after = GetErrorMode();
    SetErrorMode(original);
    EXPECT_EQ(inside, static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    EXPECT_EQ(after, static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
}

TEST(files_guard, the_callers_control_word_survives_and_the_call_runs_with_the_default)
{
    uint16_t original = get_fpu_control_word();
    const uint16_t callers = 0x0F7F;  // round toward zero, 64-bit precision, all masked
    set_fpu_control_word(callers);
    uint16_t inside = 0;
    guarded_call([&] {
        inside = get_fpu_control_word();
        set_fpu_control_word(0x027F);
        return 0;
    });
    uint16_t after = get_fpu_control_word();
    set_fpu_control_word(original);
    EXPECT_EQ(after, callers) << std::hex << "got 0x" << after;
    EXPECT_EQ(inside, 0x037F) << std::hex << "got 0x" << inside;
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
    std::wstring path = wide_of(folder.file("guarded.txt"));
    write_file_bytes(folder.file("guarded.txt"), "ab");
    // Opening an existing file with OPEN_ALWAYS succeeds and leaves
    // ERROR_ALREADY_EXISTS: the guard calls that a failure, which is why the
    // open decides by the handle alone.
    guard_verdict open = guarded_call([&] {
        return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    });
    HANDLE h = reinterpret_cast<HANDLE>(open.value);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open.system_error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(open.error, 75u);
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
