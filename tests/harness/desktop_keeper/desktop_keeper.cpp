// Holds the test prefix's desktop for as long as the wine server runs.
//
// Without a display, Wine's desktop process takes about ten seconds to start and ends a few
// seconds after its last window is gone. Tests that open windows then pay that start again and
// again, and may meet a desktop that is just ending. This program opens a hidden window, writes
// the file named by its argument once the desktop stands, and waits until the server ends it.
#include <windows.h>

#include <fstream>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR readyFile, int) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"desktop keeper", 0, 0, 0, 0, 0, nullptr,
                                        nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    std::ofstream(readyFile) << "ready\n";
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
