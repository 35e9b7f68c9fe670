// The least a Windows program can do to show a message box: the baseline that tells Wine's own
// start-up cost from the hub's in window_benchmark's figures.
#include <windows.h>

int main() {
    MessageBoxW(nullptr, L"baseline", L"Orvantis Hub", MB_OK);
    return 0;
}
