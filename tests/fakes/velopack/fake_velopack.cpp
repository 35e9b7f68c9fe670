// A stand-in for the update framework's "velopack_libc.dll": the same file name, the same
// exports and the same binary interface, including the quirks a caller has to survive. Each
// test scripts it with a JSON file named by the environment variable HUB_FAKE_VELOPACK, and
// reads back a journal of the calls it received (one line per call, in the file the script's
// "journal" names).
//
// Script keys, all optional:
//   "journal"        file the calls are appended to
//   "managerError"   creating the update manager fails with this last-error text
//   "portable"       the installation is portable
//   "check"          the update check's result: 0 update, 1 none, 2 empty feed, -1 failure
//   "checkError"     the last-error text of a failing check
//   "holdCheck"      name of an event the check waits for before it answers
//   "noInfo"         the check reports an update but hands out no record
//   "target"         overrides of the target release's fields (null: a null field); the
//                    whole key set to null leaves the target out
//   "base"           a base release with these overrides
//   "deltas"         the number of delta packages
//   "progress"       the progress values the download reports, in order
//   "progressPauseMs" the pause after each progress report
//   "holdDownload"   name of an event the download waits for after reporting progress
//   "downloadError"  the download fails with this last-error text
//   "applyError"     the hand-over for installation after exit fails with this text
//
// The structures are declared here from the library's published layout, independently of the
// hub's own declarations, so that a mistake there shows up as a failing test.

#include <windows.h>

#include <shellapi.h>

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

struct Asset {
    char* PackageId;
    char* Version;
    char* Type;
    char* FileName;
    char* SHA1;
    char* SHA256;
    std::uint64_t Size;
    char* NotesMarkdown;
    char* NotesHtml;
};
static_assert(sizeof(Asset) == 72 && offsetof(Asset, Size) == 48);

struct UpdateInfo {
    Asset* TargetFullRelease;
    Asset* BaseRelease;
    Asset** DeltasToTarget;
    std::size_t DeltasToTargetCount;
    bool IsDowngrade;
};
static_assert(sizeof(UpdateInfo) == 40 && offsetof(UpdateInfo, IsDowngrade) == 32);

using ProgressCallback = void (*)(void* userData, std::size_t progress);

struct Manager {
    json script;
};

std::mutex stateMutex;
std::string lastError;
std::set<const UpdateInfo*> issuedInfos;

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

json readScript() {
    wchar_t file[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"HUB_FAKE_VELOPACK", file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return json::object();
    }
    std::ifstream stream(std::filesystem::path(file), std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return json::parse(text.str());
}

void record(const json& script, const std::string& line) {
    const std::lock_guard lock(stateMutex);
    if (script.contains("journal")) {
        std::ofstream(utf8Path(script["journal"].get<std::string>()),
                      std::ios::binary | std::ios::app)
            << line << '\n';
    }
}

void setLastError(std::string text) {
    const std::lock_guard lock(stateMutex);
    lastError = std::move(text);
}

std::string text(const char* value) {
    return value == nullptr ? "(null)" : value;
}

char* copyText(const json& value) {
    if (value.is_null()) {
        return nullptr;
    }
    const std::string content = value.get<std::string>();
    char* copy = new char[content.size() + 1];
    std::memcpy(copy, content.c_str(), content.size() + 1);
    return copy;
}

Asset* makeAsset(const json& overrides, const std::string& type) {
    json fields = {{"PackageId", "OrvantisHub"},
                   {"Version", "1.2.0"},
                   {"Type", type},
                   {"FileName", "OrvantisHub-1.2.0-" + type + ".nupkg"},
                   {"SHA1", std::string(40, 'a')},
                   {"SHA256", std::string(64, 'b')},
                   {"Size", 4096},
                   {"NotesMarkdown", "# Notes"},
                   {"NotesHtml", "<h1>Notes</h1>"}};
    fields.update(overrides);
    return new Asset{copyText(fields["PackageId"]),
                     copyText(fields["Version"]),
                     copyText(fields["Type"]),
                     copyText(fields["FileName"]),
                     copyText(fields["SHA1"]),
                     copyText(fields["SHA256"]),
                     fields["Size"].get<std::uint64_t>(),
                     copyText(fields["NotesMarkdown"]),
                     copyText(fields["NotesHtml"])};
}

void freeAsset(Asset* asset) {
    if (asset == nullptr) {
        return;
    }
    for (char* field : {asset->PackageId, asset->Version, asset->Type, asset->FileName, asset->SHA1,
                        asset->SHA256, asset->NotesMarkdown, asset->NotesHtml}) {
        delete[] field;
    }
    delete asset;
}

UpdateInfo* makeInfo(const json& script) {
    auto* info = new UpdateInfo{};
    const json target = script.value("target", json::object());
    info->TargetFullRelease = target.is_null() ? nullptr : makeAsset(target, "full");
    if (script.contains("base")) {
        info->BaseRelease = makeAsset(script["base"], "full");
    }
    info->DeltasToTargetCount = script.value("deltas", std::size_t{0});
    if (info->DeltasToTargetCount > 0) {
        info->DeltasToTarget = new Asset*[info->DeltasToTargetCount];
        for (std::size_t index = 0; index < info->DeltasToTargetCount; ++index) {
            info->DeltasToTarget[index] = makeAsset(json::object(), "delta");
        }
    }
    const std::lock_guard lock(stateMutex);
    issuedInfos.insert(info);
    return info;
}

bool complete(const Asset* asset) {
    return asset != nullptr && asset->PackageId != nullptr && asset->Version != nullptr &&
           asset->Type != nullptr && asset->FileName != nullptr && asset->SHA1 != nullptr &&
           asset->SHA256 != nullptr && asset->NotesMarkdown != nullptr &&
           asset->NotesHtml != nullptr;
}

bool complete(const UpdateInfo* info) {
    if (info == nullptr || !complete(info->TargetFullRelease) ||
        (info->BaseRelease != nullptr && !complete(info->BaseRelease)) ||
        (info->DeltasToTargetCount > 0 && info->DeltasToTarget == nullptr)) {
        return false;
    }
    for (std::size_t index = 0; index < info->DeltasToTargetCount; ++index) {
        if (!complete(info->DeltasToTarget[index])) {
            return false;
        }
    }
    return true;
}

// Starts a call that takes the caller's records: the library clears its last error, and refuses
// records with a null string.
bool acceptInput(const json& script, bool complete, const std::string& call) {
    setLastError("");
    if (!complete) {
        record(script, call + " with a null string");
        setLastError("Null pointer: String must be set.");
    }
    return complete;
}

// Ends the call the way the library does: true, or false with the script's error text.
bool outcome(const json& script, const char* errorKey) {
    if (script.contains(errorKey)) {
        setLastError(script[errorKey].get<std::string>());
        return false;
    }
    return true;
}

// Waits (at most 30 s) for the event that the script names under the key, if any.
void waitForRelease(const json& script, const char* key) {
    if (!script.contains(key)) {
        return;
    }
    const std::string name = script[key].get<std::string>();
    const std::wstring wideName(name.begin(), name.end());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, wideName.c_str());
    WaitForSingleObject(event, 30000);
    CloseHandle(event);
}

const wchar_t* const hookSwitches[] = {L"--veloapp-install", L"--veloapp-obsolete",
                                       L"--veloapp-updated", L"--veloapp-uninstall"};

std::string narrow(const wchar_t* text) {
    std::string result;
    for (; *text != L'\0'; ++text) {
        result += static_cast<char>(*text);
    }
    return result;
}

} // namespace

#define FAKE_EXPORT extern "C" __declspec(dllexport)

// Results of one byte (bool, and the signed byte of the update check) come back in the lowest
// register byte with garbage in the bytes above, as a caller that reads them as a wider type
// (a Win32 BOOL, an int) would find.
using ByteResult = std::uint32_t;

namespace {

ByteResult inLowByte(int value) {
    return 0x5A5A5A00u | static_cast<std::uint8_t>(value);
}

} // namespace

// Runs a hook and ends the process when launched with a hook switch and a version, as the
// library does; otherwise returns and the program goes on.
FAKE_EXPORT void vpkc_app_run(void* userData) {
    const json script = readScript();
    record(script, std::string("app_run user=") + (userData == nullptr ? "null" : "set"));
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (const wchar_t* hookSwitch : hookSwitches) {
        if (count >= 3 &&
            CompareStringOrdinal(arguments[1], -1, hookSwitch, -1, TRUE) == CSTR_EQUAL) {
            record(script, "hook " + narrow(hookSwitch) + " " + narrow(arguments[2]));
            ExitProcess(0);
        }
    }
    LocalFree(arguments);
}

FAKE_EXPORT ByteResult vpkc_new_update_manager(const char* urlOrPath, void* options, void* locator,
                                               void** outManager) {
    setLastError("");
    const json script = readScript();
    record(script, "new_update_manager url=" + text(urlOrPath) +
                       " options=" + (options == nullptr ? "null" : "set") +
                       " locator=" + (locator == nullptr ? "null" : "set"));
    if (!outcome(script, "managerError")) {
        return inLowByte(false);
    }
    *outManager = new Manager{script};
    return inLowByte(true);
}

FAKE_EXPORT ByteResult vpkc_is_portable(void* manager) {
    const json& script = static_cast<Manager*>(manager)->script;
    record(script, "is_portable");
    return inLowByte(script.value("portable", false));
}

FAKE_EXPORT ByteResult vpkc_check_for_updates(void* manager, UpdateInfo** outInfo) {
    const json& script = static_cast<Manager*>(manager)->script;
    waitForRelease(script, "holdCheck");
    const int result = script.value("check", 1);
    record(script, "check_for_updates -> " + std::to_string(result));
    if (result == -1) {
        setLastError(script.value("checkError", ""));
    }
    if (result == 0 && !script.value("noInfo", false)) {
        *outInfo = makeInfo(script);
    }
    return inLowByte(result);
}

FAKE_EXPORT void vpkc_free_update_info(UpdateInfo* info) {
    if (info == nullptr) {
        return;
    }
    const json script = readScript();
    bool issued = false;
    {
        const std::lock_guard lock(stateMutex);
        issued = issuedInfos.erase(info) > 0;
    }
    if (!issued) {
        record(script, "free_update_info of a record the library did not hand out");
        return;
    }
    record(script, "free_update_info");
    freeAsset(info->TargetFullRelease);
    freeAsset(info->BaseRelease);
    for (std::size_t index = 0; index < info->DeltasToTargetCount; ++index) {
        freeAsset(info->DeltasToTarget[index]);
    }
    delete[] info->DeltasToTarget;
    delete info;
}

FAKE_EXPORT ByteResult vpkc_download_updates(void* manager, UpdateInfo* info,
                                             ProgressCallback progress, void* userData) {
    const json& script = static_cast<Manager*>(manager)->script;
    if (!acceptInput(script, complete(info), "download")) {
        return inLowByte(false);
    }
    record(script, "download version=" + text(info->TargetFullRelease->Version) +
                       " file=" + text(info->TargetFullRelease->FileName) +
                       " base=" + (info->BaseRelease == nullptr ? "none" : "set") +
                       " deltas=" + std::to_string(info->DeltasToTargetCount));
    const DWORD pause = script.value("progressPauseMs", DWORD{0});
    for (const json& value : script.value("progress", json::array())) {
        if (progress != nullptr) {
            progress(userData, value.get<std::size_t>());
        }
        if (pause > 0) {
            Sleep(pause);
        }
    }
    waitForRelease(script, "holdDownload");
    record(script, "download ended");
    return inLowByte(outcome(script, "downloadError"));
}

FAKE_EXPORT ByteResult vpkc_wait_exit_then_apply_updates(void* manager, Asset* asset, bool silent,
                                                         bool restart, char** restartArgs,
                                                         std::size_t restartArgsCount) {
    const json& script = static_cast<Manager*>(manager)->script;
    if (!acceptInput(script, complete(asset), "apply")) {
        return inLowByte(false);
    }
    record(script, "apply version=" + text(asset->Version) + " file=" + text(asset->FileName) +
                       " silent=" + (silent ? "true" : "false") +
                       " restart=" + (restart ? "true" : "false") +
                       " args=" + (restartArgs == nullptr ? "null" : "set") + " " +
                       std::to_string(restartArgsCount));
    return inLowByte(outcome(script, "applyError"));
}

FAKE_EXPORT void vpkc_free_update_manager(void* manager) {
    if (manager == nullptr) {
        return;
    }
    auto* owned = static_cast<Manager*>(manager);
    record(owned->script, "free_update_manager");
    delete owned;
}

// Copies the message and its NUL as far as the buffer reaches, then writes one more NUL just
// after the copied bytes: the library's own off-by-one, kept so that callers must allow for it.
// Journals the capacity it is given, so that a caller offering more than the text's length
// (room the library would write one NUL beyond) shows up.
FAKE_EXPORT std::size_t vpkc_get_last_error(char* buffer, std::size_t length) {
    if (buffer != nullptr) {
        record(readScript(), "get_last_error length=" + std::to_string(length));
    }
    const std::lock_guard lock(stateMutex);
    if (buffer != nullptr && length > 0) {
        const std::size_t copied = std::min(lastError.size() + 1, length);
        std::memcpy(buffer, lastError.c_str(), copied);
        buffer[copied] = '\0';
    }
    return lastError.size();
}

#ifndef HUB_FAKE_VELOPACK_OLD_INTERFACE
// Marks the current interface generation; the hub looks for it and never calls it.
FAKE_EXPORT void* vpkc_new_source_github() {
    return nullptr;
}
#endif
