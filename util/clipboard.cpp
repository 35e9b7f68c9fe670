#include "util/clipboard.h"

#include "util/text.h"
#include "util/windows_error.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <type_traits>

namespace hub {

namespace {

[[noreturn]] void fail() {
    throw windowsError("Unable to copy to the clipboard", GetLastError());
}

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

struct GlobalFreer {
    void operator()(HGLOBAL memory) const noexcept { GlobalFree(memory); }
};
using UniqueGlobal = std::unique_ptr<void, GlobalFreer>;

// Open only between its construction and destruction; another program may hold it briefly.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) {
        if (!OpenClipboard(owner)) {
            fail();
        }
    }
    ~OpenClipboardScope() { CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

} // namespace

void copyTextToClipboard(std::string_view text) {
    const std::wstring wide = toWide(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        fail();
    }
    void* target = GlobalLock(memory.get());
    if (target == nullptr) {
        fail();
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(memory.get());
    // The clipboard keeps data only from an owner window: emptying it for a null owner makes
    // SetClipboardData fail. A message-only window is enough, and the data outlives it.
    const UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                             nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!owner) {
        fail();
    }
    const OpenClipboardScope open(owner.get());
    if (!EmptyClipboard() || SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) {
        fail();
    }
    memory.release(); // the clipboard owns it now
}

} // namespace hub
