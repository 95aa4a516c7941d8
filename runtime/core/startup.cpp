// Process start-up and shutdown of the run-time.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <string.h>

#include "runtime/core/core.h"

// The common-control classes registered at start-up.
const DWORD START_CONTROL_CLASSES = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                    ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS |
                                    ICC_PAGESCROLLER_CLASS | ICC_NATIVEFNTCTL_CLASS |
                                    ICC_STANDARD_CLASSES;
static_assert(START_CONTROL_CLASSES == 0x706F, "the documented class mask");
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record's documented size");

runtime_state g_runtime = {nullptr, L"", SW_SHOWDEFAULT, {}, TLS_OUT_OF_INDEXES, nullptr, 0, nullptr};

void set_fpu_control_word(uint16_t word)
{
    __asm__ __volatile__("fldcw %0" : : "m"(word));
}

uint16_t get_fpu_control_word()
{
    uint16_t word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

const wchar_t* find_argument_tail(const wchar_t* p)
{
    if (!p)
        return L"";
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p > L' ')
            ++p;
    }
    while (*p == L' ')
        ++p;
    return p;
}

void start_runtime(const program_image& program)
{
    g_runtime.program = &program;
    g_runtime.main_thread = nullptr;

    memset(&g_runtime.version, 0, sizeof g_runtime.version);
    g_runtime.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(&g_runtime.version);
    if (g_runtime.version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        MessageBoxA(nullptr, "Win98 No Support", nullptr, MB_TASKMODAL | MB_SETFOREGROUND);
        ExitProcess(EXIT_CODE_FATAL);
    }

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    g_runtime.show_command =
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;

    g_runtime.argument_tail = find_argument_tail(GetCommandLineW());
    g_runtime.instance = GetModuleHandleW(nullptr);

    g_runtime.tls_slot = TlsAlloc();
    g_runtime.thread_count = 0;
    if (g_runtime.tls_slot == TLS_OUT_OF_INDEXES)
        ExitProcess(EXIT_CODE_FATAL);
    thread_record* main = current_thread_record();
    if (!main)
        ExitProcess(EXIT_CODE_FATAL);
    main->default_dialog_font = DEFAULT_FONT_NUMBER;
    main->code_page = 0;
    g_runtime.main_thread = main;

    CoInitialize(nullptr);

    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = START_CONTROL_CLASSES;
    InitCommonControlsEx(&controls);

    // The application's globals and the run-time's locks and list heads are
    // zero-initialised statics: free and empty at this point.
    set_fpu_control_word(START_FPU_CONTROL_WORD);
    // The built-in fonts belong to the controls library, which the program
    // names here so that programs without windows need not link it.
    if ((program.option_word & OPTION_BUILD_DEFAULT_FONTS) && program.build_default_fonts)
        program.build_default_fonts();
}

void stop_runtime()
{
    if (g_runtime.program)
        release_variables(g_runtime.program->globals_release);
    release_thread_record();
    TlsFree(g_runtime.tls_slot);
    g_runtime.tls_slot = TLS_OUT_OF_INDEXES;
    CoUninitialize();
}
