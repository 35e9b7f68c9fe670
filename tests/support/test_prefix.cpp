#include "support/test_prefix.h"

#include <windows.h>

#include <cstdlib>

namespace hub::test {

bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool insideTestPrefix() {
    const char* prefix = std::getenv("HUB_TEST_PREFIX");
    return prefix != nullptr && *prefix != '\0' && runningUnderWine() &&
           GetFileAttributesW(L"C:\\hub-test-prefix.txt") != INVALID_FILE_ATTRIBUTES;
}

} // namespace hub::test
