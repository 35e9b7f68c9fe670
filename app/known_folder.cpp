#include "app/known_folder.h"

#include <shlobj.h>

#include <memory>
#include <stdexcept>

namespace hub {

namespace {

struct CoTaskMemDeleter {
    void operator()(wchar_t* text) const noexcept { CoTaskMemFree(text); }
};

} // namespace

std::filesystem::path knownFolderPath(const GUID& folderId) {
    wchar_t* raw = nullptr;
    const HRESULT result = SHGetKnownFolderPath(folderId, 0, nullptr, &raw);
    const std::unique_ptr<wchar_t, CoTaskMemDeleter> text(raw);
    if (FAILED(result) || !text) {
        throw std::runtime_error("unable to locate a Windows user folder");
    }
    return std::filesystem::path(text.get());
}

} // namespace hub
