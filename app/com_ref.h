#pragma once

#include <objbase.h>
#include <unknwn.h>

#include <utility>

namespace hub {

// A counted COM reference to one of our own C-style interface declarations (app/webview2.h):
// their first three slots are IUnknown's, so the counting goes through IUnknown. Holds one
// reference and releases it on scope exit; moves, never copies.
template <class T> class ComRef {
public:
    ComRef() noexcept = default;
    // Takes over the reference that the caller holds.
    explicit ComRef(T* pointer) noexcept : pointer_(pointer) {}
    // Takes a reference of its own to a borrowed pointer.
    static ComRef share(T* pointer) noexcept {
        if (pointer != nullptr) {
            unknown(pointer)->AddRef();
        }
        return ComRef(pointer);
    }
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        reset();
        pointer_ = std::exchange(other.pointer_, nullptr);
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { reset(); }

    [[nodiscard]] T* get() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }
    // The address to receive a new reference, the old one released first.
    T** put() noexcept {
        reset();
        return &pointer_;
    }
    void reset() noexcept {
        if (pointer_ != nullptr) {
            unknown(std::exchange(pointer_, nullptr))->Release();
        }
    }

    // The same object as another of our interfaces, or nothing when it does not offer it.
    template <class U> [[nodiscard]] ComRef<U> query() const noexcept {
        ComRef<U> result;
        if (pointer_ != nullptr && FAILED(unknown(pointer_)->QueryInterface(
                                       U::iid, reinterpret_cast<void**>(result.put())))) {
            result.reset();
        }
        return result;
    }

private:
    static IUnknown* unknown(T* pointer) noexcept { return reinterpret_cast<IUnknown*>(pointer); }

    T* pointer_ = nullptr;
};

} // namespace hub
