#pragma once

#include <objbase.h>

#include <memory>

namespace hub {

struct CoTaskMemFreer {
    void operator()(void* memory) const noexcept { CoTaskMemFree(memory); }
};

// A text that a system call allocated for us with CoTaskMemAlloc.
using CoTaskText = std::unique_ptr<wchar_t, CoTaskMemFreer>;

} // namespace hub
