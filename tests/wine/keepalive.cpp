// Keeps Wine's desktop process alive for the whole test run; ended by wineserver -k. Once its
// window exists the desktop process is up, which it reports by creating the file named by its
// argument.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR readyFile, int) {
    HWND window = CreateWindowA("STATIC", "wine keepalive", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    if (!window) return 1;
    CloseHandle(CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
