#include "install/desktop_shortcut.h"

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace hub {

namespace {

using Microsoft::WRL::ComPtr;

struct CoTaskMemDeleter {
    void operator()(wchar_t* text) const noexcept { CoTaskMemFree(text); }
};

bool isRegularFile(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::filesystem::path desktopFolder() {
    wchar_t* raw = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_CREATE, nullptr, &raw);
    const std::unique_ptr<wchar_t, CoTaskMemDeleter> path(raw);
    if (FAILED(result) || !path) {
        throw std::runtime_error("Unable to locate the Windows Desktop folder.");
    }
    return path.get();
}

void require(HRESULT result, const char* failure) {
    if (FAILED(result)) {
        throw std::runtime_error(failure);
    }
}

} // namespace

void createDesktopShortcut(const std::filesystem::path& executable, std::wstring_view arguments,
                           std::wstring_view shortcutName) {
    if (!isRegularFile(executable)) {
        throw std::runtime_error("The application executable cannot be found.");
    }
    const auto shortcut = desktopFolder() / (std::wstring(shortcutName) + L".lnk");
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&link))) ||
        !link) {
        throw std::runtime_error("Unable to create the desktop shortcut.");
    }
    constexpr const char* configureFailure = "Unable to configure the desktop shortcut.";
    require(link->SetPath(executable.c_str()), configureFailure);
    require(link->SetWorkingDirectory(executable.parent_path().c_str()), configureFailure);
    require(link->SetIconLocation(executable.c_str(), 0), configureFailure);
    if (!arguments.empty()) {
        require(link->SetArguments(std::wstring(arguments).c_str()),
                "Unable to configure the desktop shortcut arguments.");
    }
    constexpr const char* saveFailure = "Unable to save the desktop shortcut.";
    ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file)) || !file) {
        throw std::runtime_error(saveFailure);
    }
    require(file->Save(shortcut.c_str(), TRUE), saveFailure);
}

} // namespace hub
