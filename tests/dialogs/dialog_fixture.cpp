#include "tests/dialogs/dialog_fixture.h"

#include <stdio.h>

callback_script g_script;
owner_log g_owner_log;
HWND modal_watchdog::watched = nullptr;
bool modal_watchdog::fired = false;

namespace {
// Every test starts with an empty record of callback calls, also when the
// whole program runs in one process.
class fresh_logs : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override
    {
        g_script = callback_script();
        g_owner_log = owner_log();
    }
};
const bool fresh_logs_added = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new fresh_logs);
    return true;
}();
}  // namespace

callback_result recording_callback(HWND dialog, uint32_t message, message_word wparam,
                                   message_word lparam)
{
    activation frame;  // an application procedure
    g_script.seen.push_back({dialog, message, wparam, lparam});
    return g_script.act ? g_script.act(dialog, message, wparam, lparam) : 0;
}

std::vector<seen_message> seen_of(uint32_t message)
{
    std::vector<seen_message> found;
    for (const seen_message& seen : g_script.seen) {
        if (seen.message == message)
            found.push_back(seen);
    }
    return found;
}

std::string seen_list()
{
    std::string text;
    for (const seen_message& seen : g_script.seen) {
        char item[64];
        snprintf(item, sizeof(item), "%s0x%X(%llX,%llX)", text.empty() ? "" : " ", seen.message,
                 static_cast<unsigned long long>(seen.wparam),
                 static_cast<unsigned long long>(seen.lparam));
        text += item;
    }
    return text;
}

static void CALLBACK watchdog_fires(HWND, UINT, UINT_PTR, DWORD)
{
    modal_watchdog::fired = true;
    if (modal_watchdog::watched && IsWindow(modal_watchdog::watched))
        DestroyWindow(modal_watchdog::watched);
}

modal_watchdog::modal_watchdog(HWND dialog, UINT milliseconds)
{
    watched = dialog;
    fired = false;
    timer = SetTimer(nullptr, 0, milliseconds, watchdog_fires);
}

modal_watchdog::~modal_watchdog()
{
    KillTimer(nullptr, timer);
    watched = nullptr;
}

static LRESULT CALLBACK owner_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_ENTERIDLE)
        g_owner_log.enter_idle.push_back({wparam, lparam});
    else
        g_owner_log.messages.push_back(message);
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_owner_window()
{
    static const wchar_t class_name[] = L"dialog_test_owner";
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = owner_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = class_name;
    RegisterClassW(&window_class);  // a second registration fails harmlessly
    return CreateWindowExW(0, class_name, L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 150,
                           500, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}
