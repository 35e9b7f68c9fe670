// The companion application of the demo world: a small window that stands for the camera
// bridge. Started again with "--stop", it asks the running instance to close and waits until
// that instance has ended; started again without it, it brings the running window forward.
//
// The stop request is a named event that every instance opens first thing. The stopping
// instance keeps it open until the running one has ended, so a stop that arrives while the
// running instance is still loading (the hub may see its process before it has a window)
// is not lost: that instance finds the event already set and ends at once.
#include <windows.h>

#include <tlhelp32.h>

#include <string_view>
#include <vector>

namespace {

constexpr wchar_t windowClass[] = L"OrvantisDemoCameraWindow";
constexpr wchar_t stopEventName[] = L"Local\\OrvantisDemoCameraStop";
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

// Handles of the other processes that run this program's executable.
std::vector<HANDLE> otherInstances() {
    wchar_t own[MAX_PATH];
    const DWORD ownLength = GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::vector<HANDLE> found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            continue;
        }
        const HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                           entry.th32ProcessID);
        wchar_t image[MAX_PATH];
        DWORD length = MAX_PATH;
        if (process != nullptr && QueryFullProcessImageNameW(process, 0, image, &length) &&
            CompareStringOrdinal(image, static_cast<int>(length), own, static_cast<int>(ownLength),
                                 TRUE) == CSTR_EQUAL) {
            found.push_back(process);
        } else if (process != nullptr) {
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return found;
}

int stopRunningInstances(HANDLE stopEvent) {
    SetEvent(stopEvent);
    const std::vector<HANDLE> instances = otherInstances();
    DWORD waited = WAIT_OBJECT_0;
    if (!instances.empty()) {
        waited = WaitForMultipleObjects(static_cast<DWORD>(instances.size()), instances.data(),
                                        TRUE, stopWaitMs);
    }
    for (const HANDLE instance : instances) {
        CloseHandle(instance);
    }
    return waited == WAIT_TIMEOUT ? 1 : 0;
}

int runWindow(HINSTANCE instance, int show, HANDLE stopEvent) {
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
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &stopEvent, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            DestroyWindow(window);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return 0;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    const HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, stopEventName);
    if (stopEvent == nullptr) {
        return 1;
    }
    const bool another = GetLastError() == ERROR_ALREADY_EXISTS;
    int status = 0;
    if (std::wstring_view{arguments} == L"--stop") {
        status = stopRunningInstances(stopEvent);
    } else if (!another) {
        status = runWindow(instance, show, stopEvent);
    } else if (const HWND running = FindWindowW(windowClass, nullptr)) {
        SetForegroundWindow(running);
    }
    CloseHandle(stopEvent);
    return status;
}
