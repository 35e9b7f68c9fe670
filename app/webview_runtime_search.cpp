#include "app/webview_runtime_search.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace hub::webview {
namespace {

using Version = std::array<std::uint32_t, 4>;

// The oldest runtime that the release SDKs support.
constexpr Version minimumVersion{86, 0, 616, 0};

// The updater's application ids, by release channel number: the WebView2 runtime itself (0),
// then Edge Beta, Dev, Canary and the internal build. The stable Edge browser is never one.
constexpr std::array<std::wstring_view, 5> channelIds{
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
    L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
    L"{BE59E8FD-089A-411B-A3B0-051D9E417818}"};

constexpr std::array<RegistryRoot, 2> roots{RegistryRoot::LocalMachine, RegistryRoot::CurrentUser};

// "a.b.c.d" with four decimal parts, else nothing.
std::optional<Version> parseVersion(std::wstring_view text) {
    Version version{};
    for (std::size_t part = 0; part < version.size(); ++part) {
        std::size_t digits = 0;
        std::uint64_t value = 0;
        while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' &&
               value <= UINT32_MAX) {
            value = value * 10 + static_cast<std::uint64_t>(text[digits++] - L'0');
        }
        if (digits == 0 || value > UINT32_MAX) {
            return std::nullopt;
        }
        version[part] = static_cast<std::uint32_t>(value);
        text.remove_prefix(digits);
        const bool last = part + 1 == version.size();
        if (last != text.empty() || (!last && !text.starts_with(L'.'))) {
            return std::nullopt;
        }
        text.remove_prefix(last ? 0 : 1);
    }
    return version;
}

class Search {
public:
    explicit Search(const RuntimeSystem& system) : system_(system) {}

    // An override from its environment variable or group policy; nothing when neither sets it.
    std::optional<std::wstring> setting(const wchar_t* variable, const wchar_t* policy,
                                        bool anyApplication) const {
        if (auto value = system_.readEnvironment(variable); value && !value->empty()) {
            return value;
        }
        const std::wstring key =
            std::wstring(L"Software\\Policies\\Microsoft\\Edge\\WebView2\\") + policy;
        for (const RegistryRoot root : roots) {
            for (const std::wstring& application : {system_.executableName, std::wstring(L"*")}) {
                if (application == L"*" && !anyApplication) {
                    continue;
                }
                if (auto value = system_.readRegistry(root, key, application);
                    value && !value->empty()) {
                    return value;
                }
            }
        }
        return std::nullopt;
    }

    bool leastStableFirst() const {
        for (const auto& [variable, policy] :
             {std::pair{L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"ChannelSearchKind"},
              std::pair{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"ReleaseChannelPreference"}}) {
            if (const auto value = setting(variable, policy, true)) {
                return *value == L"1";
            }
        }
        return false;
    }

    // The channel numbers to search, in order.
    std::vector<std::size_t> channels() const {
        std::vector<std::size_t> order;
        const auto allowed = setting(L"WEBVIEW2_RELEASE_CHANNELS", L"ReleaseChannels", true);
        for (std::size_t channel = 0; channel < channelIds.size(); ++channel) {
            if (!allowed || listsChannel(*allowed, channel)) {
                order.push_back(channel);
            }
        }
        if (leastStableFirst()) {
            std::reverse(order.begin(), order.end());
        }
        return order;
    }

    std::filesystem::path library(const std::filesystem::path& runtimeFolder) const {
        return runtimeFolder / L"EBWebView" / system_.architecture / L"EmbeddedBrowserWebView.dll";
    }

    // The newest qualifying installation of one channel in either hive.
    std::optional<std::filesystem::path> installed(std::size_t channel) const {
        const std::wstring key = std::wstring(L"Software\\Microsoft\\EdgeUpdate\\ClientState\\") +
                                 std::wstring(channelIds[channel]);
        std::optional<Version> best;
        std::optional<std::filesystem::path> found;
        for (const RegistryRoot root : roots) {
            const auto folder = system_.readRegistry(root, key, L"EBWebView");
            if (!folder) {
                continue;
            }
            const std::filesystem::path path(*folder);
            const auto version = parseVersion(path.filename().native());
            if (version && *version >= minimumVersion && (!best || *version > *best) &&
                system_.fileExists(library(path))) {
                best = version;
                found = library(path);
            }
        }
        return found;
    }

private:
    static bool listsChannel(std::wstring_view list, std::size_t channel) {
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t end = std::min(list.find(L',', start), list.size());
            std::wstring_view item = list.substr(start, end - start);
            while (!item.empty() && item.front() == L' ')
                item.remove_prefix(1);
            while (!item.empty() && item.back() == L' ')
                item.remove_suffix(1);
            if (item.size() == 1 && item[0] == static_cast<wchar_t>(L'0' + channel)) {
                return true;
            }
            start = end + 1;
        }
        return false;
    }

    const RuntimeSystem& system_;
};

} // namespace

std::optional<RuntimeChoice> findWebViewRuntime(const RuntimeSystem& system,
                                                std::wstring_view browserFolder,
                                                std::wstring_view userDataFolder) {
    const Search search(system);
    RuntimeChoice choice;
    choice.userDataFolder = search.setting(L"WEBVIEW2_USER_DATA_FOLDER", L"UserDataFolder", false)
                                .value_or(std::wstring(userDataFolder));
    const std::wstring fixed =
        search.setting(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"BrowserExecutableFolder", true)
            .value_or(std::wstring(browserFolder));
    if (!fixed.empty()) {
        const std::filesystem::path folder(fixed);
        // "X:\..." and "\\server\..." stand as they are; anything else is beside the executable.
        choice.library = search.library(folder.has_root_name() && folder.has_root_directory()
                                            ? folder
                                            : system.executableFolder / folder);
        choice.kind = RuntimeKind::FixedVersion;
        if (!system.fileExists(choice.library)) {
            return std::nullopt;
        }
        return choice;
    }
    for (const std::size_t channel : search.channels()) {
        if (auto library = search.installed(channel)) {
            choice.library = std::move(*library);
            return choice;
        }
    }
    return std::nullopt;
}

} // namespace hub::webview
