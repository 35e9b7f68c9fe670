// A web view runtime whose environment creation refuses at once, as a runtime that is present but
// broken does: the hub must then fail its start cleanly.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
    CreateWebViewEnvironmentWithOptionsInternal(bool, int, PCWSTR, IUnknown*, IUnknown*) {
    return E_FAIL;
}
