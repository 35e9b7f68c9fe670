#include "install/desktop_shortcut.h"

#include "util/known_folder.h"
#include "util/paths.h"

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <stdexcept>
#include <string>

namespace hub {

namespace {

using Microsoft::WRL::ComPtr;

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
