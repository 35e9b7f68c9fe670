#pragma once

#include "app/com_ref.h"
#include "app/webview2.h"

#include <atomic>
#include <functional>
#include <utility>

namespace hub {

template <class Interface, class Vtbl = typename Interface::Vtbl> class ComHandler;

// Our implementation of a WebView2 handler interface (completion or event): a COM object whose
// Invoke calls a function object. The runtime keeps it alive through its own references.
template <class Interface, class... Args>
class ComHandler<Interface, webview::HandlerVtbl<Interface, Args...>> : Interface {
public:
    using Function = std::function<HRESULT(Args...)>;

    static ComRef<Interface> make(Function function) {
        return ComRef<Interface>(new ComHandler(std::move(function)));
    }

private:
    explicit ComHandler(Function function) : Interface{&table}, function_(std::move(function)) {}

    static ComHandler* self(Interface* face) noexcept { return static_cast<ComHandler*>(face); }

    static HRESULT STDMETHODCALLTYPE queryInterface(Interface* face, REFIID iid, void** out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, Interface::iid)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        addRef(face);
        *out = face;
        return S_OK;
    }
    static ULONG STDMETHODCALLTYPE addRef(Interface* face) { return ++self(face)->references_; }
    static ULONG STDMETHODCALLTYPE release(Interface* face) {
        const ULONG left = --self(face)->references_;
        if (left == 0) {
            delete self(face);
        }
        return left;
    }
    static HRESULT STDMETHODCALLTYPE invoke(Interface* face, Args... args) {
        // An exception must not unwind into the runtime's frames: it becomes a failed result.
        try {
            return self(face)->function_(args...);
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    static constexpr typename Interface::Vtbl table{&queryInterface, &addRef, &release, &invoke};

    std::atomic<ULONG> references_{1};
    Function function_;
};

} // namespace hub
