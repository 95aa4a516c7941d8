// The modal message loop, dialog end, and the single message step for code
// that waits without a loop of its own.
//
// The loop polls: with an empty queue it sleeps one millisecond and looks
// again, so it stays responsive without blocking in the window system.
#include "runtime/dialogs/dialogs.h"

namespace {

// How long the loop sleeps when the queue is empty.
const DWORD IDLE_SLEEP_MILLISECONDS = 1;

// WM_SIZE's first parameter for a dialog shown with this command.
uint32_t size_type_for(int32_t show_command)
{
    switch (show_command) {
    case SW_MAXIMIZE:
        return SIZE_MAXIMIZED;
    case SW_MINIMIZE:
        return SIZE_MINIMIZED;
    default:
        return SIZE_RESTORED;
    }
}

// Offers the message to the dialog's accelerators and then to the dialog
// manager; true when one of them took it.
bool dialog_takes_message(HWND dialog, MSG* message)
{
    const window_record* record = find_record(dialog);
    HACCEL accelerators = record ? record->accelerators : nullptr;
    if (accelerators && TranslateAcceleratorW(dialog, accelerators, message))
        return true;
    return IsDialogMessageW(dialog, message) != FALSE;
}

}  // namespace

void show_dialog_modal(HWND dialog, dialog_callback callback, int32_t* result_ref)
{
    SetForegroundWindow(dialog);

    if (callback) {
        // The introduction happens before the callback is stored, so what
        // the callback's own work causes meanwhile does not reach it.
        callback(dialog, WM_INITDIALOG, reinterpret_cast<message_word>(dialog), 0);
        RECT client = {0, 0, 0, 0};
        GetClientRect(dialog, &client);
        const window_record* record = find_record(dialog);
        uint32_t size_type = size_type_for(record ? record->show_command : SW_SHOW);
        uint32_t size = (static_cast<uint32_t>(client.right) & 0xFFFF) |
                        (static_cast<uint32_t>(client.bottom) << 16);
        callback(dialog, WM_SIZE, size_type, size);
    }

    window_record* record = find_record(dialog);
    if (!record)
        return;  // nothing shown, the result variable untouched
    record->callback = callback;
    record->kind |= KIND_SHOWN;
    record->result_ref = result_ref;
    const HWND owner = record->owner;
    const bool idle_messages = !(record->style & DS_NOIDLEMSG);
    const int show_command = record->show_command;
    record = nullptr;  // messages from here on may end the dialog

    if (owner) {
        SendMessageW(owner, WM_CANCELMODE, 0, 0);
        EnableWindow(owner, FALSE);
    }
    ShowWindow(dialog, show_command);

    MSG message;
    for (;;) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            // A message sent from another thread or process is handled inside
            // PeekMessageW and may have destroyed the dialog with nothing left
            // in the queue: without this check the loop would wait for a
            // message that never comes.
            if (!IsWindow(dialog))
                break;
            if (idle_messages && owner)
                SendMessageW(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(dialog));
            Sleep(IDLE_SLEEP_MILLISECONDS);
            continue;
        }
        if (IsWindow(dialog) && dialog_takes_message(dialog, &message)) {
            if (!IsWindow(dialog))
                break;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (!IsWindow(dialog))
            break;
    }

    if (owner)
        SetFocus(owner);
}

void end_dialog(HWND dialog, int32_t result)
{
    window_record* record = find_record(dialog);
    if (!record)
        return;
    if (record->result_ref)
        *record->result_ref = result;
    const HWND owner = record->owner;
    // A callback that answers WM_CLOSE with end_dialog must not get WM_CLOSE
    // again from that call: the dialog is already being ended.
    const bool closing = (record->kind & KIND_ENDING) == 0;
    record->kind |= KIND_ENDING;
    record = nullptr;

    // The callback sees WM_CLOSE first; it may end the dialog itself.
    if (closing)
        SendMessageW(dialog, WM_CLOSE, 0, 0);

    // The owner is enabled before the dialog disappears, so that activation
    // goes back to it.
    if (owner)
        EnableWindow(owner, TRUE);

    if (window_record* still = find_record(dialog)) {
        HACCEL accelerators = still->accelerators;
        still->accelerators = nullptr;
        if (accelerators)
            DestroyAcceleratorTable(accelerators);
    }
    DestroyWindow(dialog);
}

int32_t pump_messages()
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        Sleep(IDLE_SLEEP_MILLISECONDS);
        return g_live_dialogs;
    }
    HWND active = g_active_dialog;
    if (active && IsWindow(active) && dialog_takes_message(active, &message))
        return g_live_dialogs;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return g_live_dialogs;
}
