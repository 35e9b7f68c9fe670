#include "app/folder_dialog.h"

#include "util/co_task_text.h"
#include "util/paths.h"

#include <shobjidl.h>
#include <wrl/client.h>

#include <stdexcept>

namespace hub {

using Microsoft::WRL::ComPtr;

namespace {

// The file-system path of a dialog's result item; nothing when it has none.
std::optional<std::filesystem::path> fileSystemPath(IShellItem* item) {
    LPWSTR text = nullptr;
    const HRESULT read =
        item == nullptr ? E_POINTER : item->GetDisplayName(SIGDN_FILESYSPATH, &text);
    const CoTaskText path(text);
    if (FAILED(read) || !path) {
        return std::nullopt;
    }
    return std::filesystem::path(path.get());
}

} // namespace

std::optional<std::filesystem::path> showFolderDialog(HWND owner, const std::wstring& title,
                                                      const std::filesystem::path& initialFolder) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog)))) {
        throw std::runtime_error("unable to open the folder picker");
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(title.c_str());
    ComPtr<IShellItem> start;
    if (!initialFolder.empty() && isDirectory(initialFolder) &&
        SUCCEEDED(
            SHCreateItemFromParsingName(initialFolder.c_str(), nullptr, IID_PPV_ARGS(&start)))) {
        dialog->SetFolder(start.Get());
    }
    ComPtr<IShellItem> result;
    if (dialog->Show(owner) != S_OK || FAILED(dialog->GetResult(&result))) {
        return std::nullopt; // cancelled, or no result to read
    }
    return fileSystemPath(result.Get());
}

} // namespace hub
