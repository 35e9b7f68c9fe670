// The companion application of the demo world: a small window that stands for the camera
// bridge. Started again with "--stop", it closes the running instance and waits until that
// instance has ended; started again without it, it brings the running window forward.
#include <windows.h>

#include <string_view>

namespace {

constexpr wchar_t windowClass[] = L"OrvantisDemoCameraWindow";
constexpr DWORD stopWaitMs = 10000;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC context = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        DrawTextW(context, L"Camera bridge running (demo)", -1, &area,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Asks the running instance to close and waits for its process to end.
int stopRunningInstance() {
    const HWND running = FindWindowW(windowClass, nullptr);
    if (running == nullptr) {
        return 0;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageW(running, WM_CLOSE, 0, 0);
    if (process == nullptr) {
        return 0;
    }
    const DWORD waited = WaitForSingleObject(process, stopWaitMs);
    CloseHandle(process);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
}

int runWindow(HINSTANCE instance, int show) {
    if (const HWND running = FindWindowW(windowClass, nullptr)) {
        SetForegroundWindow(running);
        return 0;
    }
    WNDCLASSW type{};
    type.lpfnWndProc = windowProcedure;
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    type.lpszClassName = windowClass;
    RegisterClassW(&type);
    const HWND window = CreateWindowExW(0, windowClass, L"Orvantis Camera System",
                                        WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 270,
                                        nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    if (std::wstring_view{arguments} == L"--stop") {
        return stopRunningInstance();
    }
    return runWindow(instance, show);
}
