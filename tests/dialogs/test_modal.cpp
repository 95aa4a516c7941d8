// The modal run: the direct introduction of the callback, the loop, the
// owner, the result variable, and the single message step.  Each run is
// driven from inside by posted messages; a watchdog ends a run that hangs.
#include "tests/dialogs/dialog_fixture.h"

namespace {

enum : uint32_t { END_WITH = WM_APP + 1, CHECK = WM_APP + 2 };

// Runs the dialog modally with the recording callback and gives the result
// variable, which starts as `result`; the watchdog must not have fired.
int32_t run_modal(HWND dialog, int32_t result = -1)
{
    EXPECT_NE(dialog, nullptr);
    modal_watchdog watchdog(dialog);
    show_dialog_modal(dialog, recording_callback, &result);
    EXPECT_FALSE(modal_watchdog::fired) << "the run did not end by itself: " << seen_list();
    return result;
}

struct posted_message {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// An action that posts the given messages to the dialog when its
// introduction arrives, and ends with the wparam of END_WITH.
std::function<callback_result(HWND, uint32_t, message_word, message_word)> post_then_end(
    std::vector<posted_message> messages)
{
    return [messages](HWND dialog, uint32_t message, message_word wparam, message_word) -> callback_result {
        if (message == WM_INITDIALOG) {
            for (const posted_message& m : messages)
                PostMessageW(dialog, m.message, m.wparam, m.lparam);
        } else if (message == END_WITH) {
            end_dialog(dialog, static_cast<int32_t>(wparam));
        }
        return 0;
    };
}

size_t index_of(uint32_t message)
{
    for (size_t i = 0; i < g_script.seen.size(); ++i) {
        if (g_script.seen[i].message == message)
            return i;
    }
    return g_script.seen.size();
}

}  // namespace

// The callback's first message is WM_INITDIALOG (own handle, 0) before the
// dialog is visible, the second WM_SIZE with the client size; it never sees
// WM_ACTIVATE; the result variable holds what end_dialog was given.
TEST(modal, introduction_order_and_result)
{
    uint32_t before = registry_length();
    HWND dialog = make_dialog(KIND_PIXELS, 50, 60, 320, 240);
    add_test_control(dialog, 1, 1002, L"Borrar");
    bool visible_at_introduction = true;
    HWND active_while_running = nullptr;
    g_script.act = [&](HWND d, uint32_t message, message_word wparam, message_word) -> callback_result {
        if (message == WM_INITDIALOG) {
            visible_at_introduction = IsWindowVisible(d) != FALSE;
            PostMessageW(d, CHECK, 0, 0);
        } else if (message == CHECK) {
            active_while_running = g_active_dialog;
            PostMessageW(d, END_WITH, 17, 0);
        } else if (message == END_WITH) {
            end_dialog(d, static_cast<int32_t>(wparam));
        }
        return 0;
    };
    int32_t result = run_modal(dialog);

    ASSERT_GE(g_script.seen.size(), 2u);
    EXPECT_EQ(g_script.seen[0].message, static_cast<uint32_t>(WM_INITDIALOG)) << seen_list();
    EXPECT_EQ(g_script.seen[0].wparam, reinterpret_cast<uintptr_t>(dialog)) << "own handle";
    EXPECT_EQ(g_script.seen[0].lparam, 0u);
    EXPECT_EQ(g_script.seen[1].message, static_cast<uint32_t>(WM_SIZE)) << seen_list();
    EXPECT_EQ(g_script.seen[1].wparam, static_cast<uint32_t>(SIZE_RESTORED));
    EXPECT_EQ(g_script.seen[1].lparam, 320u | (240u << 16)) << "client width and height";
    EXPECT_FALSE(visible_at_introduction);
    EXPECT_EQ(active_while_running, dialog) << "shown and activated: the active dialog";
    EXPECT_EQ(seen_of(WM_INITDIALOG).size(), 1u) << "never the window system's own: " << seen_list();
    EXPECT_FALSE(seen_of(WM_SHOWWINDOW).empty()) << "shown by the loop: " << seen_list();
    EXPECT_EQ(result, 17);
    EXPECT_FALSE(IsWindow(dialog)) << "returns only once the window is gone";
    EXPECT_EQ(registry_length(), before) << "dialog and control records released";
    EXPECT_EQ(pump_messages(), 0) << "no live dialog";
}

// The size type of the introduction follows the show command, which the
// style gives: maximized wins over minimized.
TEST(modal, introduction_size_type_follows_the_show_command)
{
    struct case_row {
        uint32_t style;
        uint32_t size_type;
    };
    const case_row rows[] = {{WS_POPUP | WS_CAPTION, SIZE_RESTORED},
                             {WS_POPUP | WS_CAPTION | WS_MAXIMIZE, SIZE_MAXIMIZED},
                             {WS_POPUP | WS_CAPTION | WS_MINIMIZE, SIZE_MINIMIZED},
                             {WS_POPUP | WS_CAPTION | WS_MAXIMIZE | WS_MINIMIZE, SIZE_MAXIMIZED}};
    for (const case_row& row : rows) {
        g_script = callback_script();
        HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100, row.style);
        g_script.act = [](HWND d, uint32_t message, message_word, message_word) -> callback_result {
            if (message == WM_SIZE && !find_record(d)->callback)
                end_dialog(d, 0);  // the direct call: no need to show it
            return 0;
        };
        run_modal(dialog);
        std::vector<seen_message> sizes = seen_of(WM_SIZE);
        ASSERT_FALSE(sizes.empty()) << seen_list();
        EXPECT_EQ(sizes[0].wparam, row.size_type) << "style 0x" << std::hex << row.style;
    }
}

// end_dialog during the direct WM_INITDIALOG call: the result variable is
// not written, the dialog is destroyed, WM_SIZE (0, 0) still comes, and
// nothing is shown.
TEST(modal, ending_during_the_introduction)
{
    uint32_t before = registry_length();
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
    g_script.act = [](HWND d, uint32_t message, message_word, message_word) -> callback_result {
        if (message == WM_INITDIALOG)
            end_dialog(d, 5);
        return 0;
    };
    EXPECT_EQ(run_modal(dialog), -1) << "the variable's address was not stored yet";
    EXPECT_FALSE(IsWindow(dialog));
    ASSERT_EQ(g_script.seen.size(), 2u) << seen_list();
    EXPECT_EQ(g_script.seen[1].message, static_cast<uint32_t>(WM_SIZE));
    EXPECT_EQ(g_script.seen[1].wparam, 0u);
    EXPECT_EQ(g_script.seen[1].lparam, 0u);
    EXPECT_EQ(registry_length(), before);
}

// The close command ends with result 0 after the callback has seen it, and
// no command reaches the callback for it; the window system turns Alt+F4
// into the close command.
TEST(modal, test_close_command_ends_with_zero)
{
    // The command's low four bits do not count.
    const posted_message posted[] = {{WM_SYSCOMMAND, SC_CLOSE | 2, 0},
                                     {WM_SYSKEYDOWN, VK_F4, 0x203E0001}};  // context bit: Alt held
    for (const auto& message : posted) {
        g_script = callback_script();
        HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
        g_script.act = post_then_end({message});
        EXPECT_EQ(run_modal(dialog, 99), 0);
        std::vector<seen_message> commands = seen_of(WM_SYSCOMMAND);
        ASSERT_EQ(commands.size(), 1u) << seen_list();
        EXPECT_EQ(commands[0].wparam & 0xFFF0, static_cast<uint32_t>(SC_CLOSE));
        EXPECT_EQ(seen_of(WM_CLOSE).size(), 1u) << "end_dialog sends WM_CLOSE: " << seen_list();
        EXPECT_LT(index_of(WM_SYSCOMMAND), index_of(WM_CLOSE)) << seen_list();
        EXPECT_TRUE(seen_of(WM_COMMAND).empty()) << seen_list();
    }
}

// A callback that ends the dialog when it sees WM_CLOSE: the WM_CLOSE of
// end_dialog is sent once, and the inner end wins.
TEST(modal, ending_again_on_close)
{
    uint32_t before = registry_length();
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
    g_script.act = [](HWND d, uint32_t message, message_word, message_word) -> callback_result {
        if (message == WM_INITDIALOG)
            PostMessageW(d, END_WITH, 6, 0);
        else if (message == END_WITH)
            end_dialog(d, 6);
        else if (message == WM_CLOSE)
            end_dialog(d, 12);
        return 0;
    };
    EXPECT_EQ(run_modal(dialog), 12);
    EXPECT_EQ(seen_of(WM_CLOSE).size(), 1u) << seen_list();
    EXPECT_EQ(seen_of(WM_NCDESTROY).size(), 1u) << seen_list();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(registry_length(), before);
}

// Another thread ends the dialog by a sent message, which the window system
// handles inside the loop's PeekMessageW: the loop must see the dialog gone
// although no message is left in the queue.
static DWORD WINAPI send_end_later(void* dialog)
{
    Sleep(200);
    SendMessageW(static_cast<HWND>(dialog), END_WITH, 21, 0);
    return 0;
}

TEST(modal, ended_by_a_message_sent_from_another_thread)
{
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
    g_script.act = post_then_end({});
    HANDLE thread = CreateThread(nullptr, 0, send_end_later, dialog, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(run_modal(dialog), 21);
    EXPECT_FALSE(IsWindow(dialog));
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
}

// Esc and Enter become IDCANCEL and IDOK through the dialog manager and end
// nothing by themselves.
TEST(modal, escape_and_enter_end_nothing)
{
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
    g_script.act = post_then_end({{WM_KEYDOWN, VK_ESCAPE, 0x00010001},
                                  {WM_KEYDOWN, VK_RETURN, 0x001C0001},
                                  {END_WITH, 3, 0}});
    EXPECT_EQ(run_modal(dialog), 3) << "ended before its END_WITH";
    std::vector<seen_message> commands = seen_of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u) << seen_list();
    EXPECT_EQ(LOWORD(commands[0].wparam), IDCANCEL);
    EXPECT_EQ(LOWORD(commands[1].wparam), IDOK);
}

// Tab moves the focus between controls because every message passes the
// dialog manager first.
TEST(modal, tab_moves_the_focus)
{
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 300, 100);
    HWND first = add_test_control(dialog, 1, 1002, L"uno");
    HWND second = add_test_control(dialog, 1, 1003, L"dos", {.x = 100});
    HWND focus_after_tab = nullptr;
    g_script.act = [&](HWND d, uint32_t message, message_word, message_word) -> callback_result {
        if (message == WM_INITDIALOG) {
            PostMessageW(d, CHECK, 0, 0);
        } else if (message == CHECK) {
            SetFocus(first);
            PostMessageW(first, WM_KEYDOWN, VK_TAB, 0x000F0001);
            PostMessageW(d, END_WITH, 0, 0);
        } else if (message == END_WITH) {
            focus_after_tab = GetFocus();
            end_dialog(d, 0);
        }
        return 0;
    };
    run_modal(dialog);
    EXPECT_EQ(focus_after_tab, second) << "first " << first << " second " << second;
}

// Enter goes to the default push button through the dialog manager.
TEST(modal, enter_presses_the_default_button)
{
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 300, 100);
    add_test_control(dialog, 1, 1002, L"uno");
    ASSERT_NE(add_test_control(dialog, 1, 1003, L"dos", {.style = WS_TABSTOP | BS_DEFPUSHBUTTON, .x = 100}),
              nullptr);
    g_script.act = [](HWND d, uint32_t message, message_word wparam, message_word) -> callback_result {
        if (message == WM_INITDIALOG)
            PostMessageW(d, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        else if (message == WM_COMMAND)
            end_dialog(d, static_cast<int32_t>(LOWORD(wparam)));
        return 0;
    };
    EXPECT_EQ(run_modal(dialog), 1003) << "the default button's command: " << seen_list();
}

// With an owner: WM_CANCELMODE, the owner disabled while the dialog runs,
// WM_ENTERIDLE while the queue is empty unless DS_NOIDLEMSG, enabled again
// and focused after.
TEST(modal, owner_is_disabled_and_idles)
{
    struct case_row {
        uint32_t style;
        bool idles;
    };
    const case_row rows[] = {{0, true}, {WS_POPUP | WS_CAPTION | DS_NOIDLEMSG, false}};
    for (const case_row& row : rows) {
        SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << row.style);
        window_holder owner(make_owner_window());
        ASSERT_NE(owner.hwnd, nullptr);
        HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100, row.style, 0, owner.hwnd);
        g_script = callback_script();
        g_owner_log = owner_log();
        bool enabled_while_running = true;
        int ticks = 0;
        g_script.act = [&](HWND d, uint32_t message, message_word, message_word) -> callback_result {
            if (message == WM_INITDIALOG) {
                SetTimer(d, 1, 50, nullptr);
            } else if (message == WM_TIMER && ++ticks == 2) {
                // Between the two ticks the queue was empty, however long
                // showing the dialog took.
                KillTimer(d, 1);
                enabled_while_running = IsWindowEnabled(GetWindow(d, GW_OWNER)) != FALSE;
                end_dialog(d, 1);
            }
            return 0;
        };
        EXPECT_EQ(run_modal(dialog), 1);
        EXPECT_FALSE(enabled_while_running);
        EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
        bool cancel_mode = false;
        for (UINT m : g_owner_log.messages)
            cancel_mode = cancel_mode || m == WM_CANCELMODE;
        EXPECT_TRUE(cancel_mode);
        EXPECT_EQ(GetFocus(), owner.hwnd) << "the owner has the focus after the dialog";
        ASSERT_EQ(g_owner_log.enter_idle.empty(), !row.idles) << "idle while the queue was empty";
        if (row.idles) {
            EXPECT_EQ(g_owner_log.enter_idle[0].first, static_cast<WPARAM>(MSGF_DIALOGBOX));
            EXPECT_EQ(g_owner_log.enter_idle[0].second, reinterpret_cast<LPARAM>(dialog));
        }
    }
}

// A handle without a record still gets the two direct calls, then nothing.
TEST(modal, handle_without_a_record)
{
    int32_t result = -1;
    show_dialog_modal(nullptr, recording_callback, &result);
    ASSERT_EQ(g_script.seen.size(), 2u) << seen_list();
    EXPECT_EQ(g_script.seen[0].message, static_cast<uint32_t>(WM_INITDIALOG));
    EXPECT_EQ(g_script.seen[0].wparam, 0u);
    EXPECT_EQ(g_script.seen[1].message, static_cast<uint32_t>(WM_SIZE));
    EXPECT_EQ(g_script.seen[1].lparam, 0u);
    EXPECT_EQ(result, -1);

    uint32_t before = registry_length();
    end_dialog(GetDesktopWindow(), 4);
    end_dialog(nullptr, 4);
    EXPECT_TRUE(IsWindow(GetDesktopWindow()));
    EXPECT_EQ(registry_length(), before);
    EXPECT_EQ(error_number(), 0u);
}

// A dialog run without a callback and without a result variable, ended by
// the close command.
TEST(modal, without_callback_or_result_variable)
{
    uint32_t before = registry_length();
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    modal_watchdog watchdog(dialog);
    show_dialog_modal(dialog, nullptr, nullptr);
    EXPECT_FALSE(modal_watchdog::fired);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(registry_length(), before);
}

// An accelerator table attached to the dialog turns keys into commands in
// the loop, and end_dialog destroys the table.
TEST(modal, accelerators_translate_and_are_destroyed)
{
    HWND dialog = make_dialog(KIND_PIXELS, 10, 10, 200, 100);
    ACCEL entry = {FVIRTKEY, VK_F5, 7001};
    HACCEL table = CreateAcceleratorTableW(&entry, 1);
    find_record(dialog)->accelerators = table;
    g_script.act = [](HWND d, uint32_t message, message_word wparam, message_word) -> callback_result {
        if (message == WM_INITDIALOG)
            PostMessageW(d, WM_KEYDOWN, VK_F5, 0x003F0001);
        else if (message == WM_COMMAND && LOWORD(wparam) == 7001)
            end_dialog(d, HIWORD(wparam) == 1 ? 70 : 71);
        return 0;
    };
    EXPECT_EQ(run_modal(dialog), 70) << "the accelerator's command, code 1: " << seen_list();
    ACCEL out = {};
    EXPECT_EQ(CopyAcceleratorTableW(table, &out, 1), 0) << "the table was destroyed";
}

// The single message step hands a message to the active dialog's manager
// and reports the live dialog count.
TEST(modal, pump_messages_steps_once)
{
    int32_t live = g_live_dialogs;
    window_holder dialog(make_dialog(KIND_PIXELS, 10, 10, 200, 100));
    ASSERT_NE(dialog.hwnd, nullptr);
    find_record(dialog.hwnd)->callback = recording_callback;
    SendMessageW(dialog.hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    ASSERT_EQ(g_active_dialog, dialog.hwnd);
    MSG drain;
    while (PeekMessageW(&drain, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&drain);
        DispatchMessageW(&drain);
    }
    g_script.seen.clear();

    PostMessageW(dialog.hwnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(pump_messages(), live + 1);
    std::vector<seen_message> commands = seen_of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u) << "Esc went through the dialog manager: " << seen_list();
    EXPECT_EQ(LOWORD(commands[0].wparam), IDCANCEL);

    PostMessageW(dialog.hwnd, CHECK, 0, 0);
    PostMessageW(dialog.hwnd, CHECK, 0, 0);
    pump_messages();
    EXPECT_EQ(seen_of(CHECK).size(), 1u) << "one message per call";
    pump_messages();
    EXPECT_EQ(seen_of(CHECK).size(), 2u);
    EXPECT_EQ(pump_messages(), live + 1) << "an empty queue: just the count";
}
