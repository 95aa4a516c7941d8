// The floor for the slate's start-up time: the least a program can do to show
// a notes file in a box like the slate's.  It reads the whole file in one
// call, converts it once, and sets it into an EDIT box of the slate's styles,
// size and font inside a 1000 x 700 window, then shows the window.
//   slate_floor.exe FILE
#include <windows.h>

#include <string>
#include <vector>

static LRESULT CALLBACK floor_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2)
        return 2;

    // One read of the whole file.
    HANDLE file = CreateFileW(arguments[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD size = GetFileSize(file, nullptr);
    std::vector<char> bytes(size + 1);
    DWORD got = 0;
    ReadFile(file, bytes.data(), size, &got, nullptr);
    CloseHandle(file);

    // One conversion to wide text in the ANSI code page.
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(got), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(got), &text[0], length);

    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = floor_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = L"slate_floor";
    RegisterClassW(&window_class);

    // A 1000 x 700 client area, with the slate's caption style and topmost.
    const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_MINIMIZEBOX;
    RECT frame = {0, 0, 1000, 700};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOPMOST);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"slate_floor", L"Veslinn floor", style, 105, 114,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", 0x50001005, 6, 6, 990, 650, window,
                               reinterpret_cast<HMENU>(1001), instance, nullptr);

    // The slate's box font: "Segoe Print", bold, 15 points.
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(15, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"Segoe Print");
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));

    ShowWindow(window, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(font);
    return 0;
}
