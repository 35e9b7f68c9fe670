#include "controller/controller_impl.h"
#include "controller/support_report.h"
#include "update/update_tool.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace hub {

namespace {

using nlohmann::json;
using Impl = ApplicationController::Impl;

constexpr std::size_t longestId = 64;
constexpr std::size_t longestUrl = 2048;
// A message can carry megabytes in a name or a broken literal, which the error text would
// otherwise repeat in every snapshot, four times a second.
constexpr std::size_t longestErrorText = 1024;

std::string requiredString(const json& message, const std::string& field, std::size_t longest) {
    const auto found = message.find(field);
    if (found == message.end() || !found->is_string()) {
        throw std::runtime_error("missing field: " + field);
    }
    const auto& value = found->get_ref<const std::string&>();
    if (value.empty() || value.size() > longest) {
        throw std::runtime_error(field + " is invalid");
    }
    return value;
}

const CatalogComponent& componentFrom(const Impl& impl, const json& message) {
    return componentById(impl.catalog, requiredString(message, "componentId", longestId));
}

std::string shortened(std::string text) {
    if (text.size() > longestErrorText) {
        text.resize(longestErrorText);
        text += "...";
    }
    return text;
}

void uninstallApplication(Impl& impl) {
    const auto tool = Updater::locateUpdateTool();
    if (tool.empty()) {
        return;
    }
    impl.requireIdle();
    startUninstaller(tool);
    impl.log.write("launched Velopack application uninstaller");
    impl.setNotice("Application uninstaller opened.");
}

using Handler = void (*)(Impl&, const json&);

// In the order the names are compared.
const std::array<std::pair<std::string_view, Handler>, 16> commands{{
    {"refresh", [](Impl&, const json&) {}},
    {"reload", [](Impl& impl, const json&) { impl.reload(); }},
    {"uninstallApplication", [](Impl& impl, const json&) { uninstallApplication(impl); }},
    {"install", [](Impl& impl, const json& m) { impl.install(componentFrom(impl, m)); }},
    {"uninstall", [](Impl& impl, const json& m) { impl.uninstall(componentFrom(impl, m)); }},
    {"launch", [](Impl& impl, const json& m) { impl.launch(componentFrom(impl, m)); }},
    {"stop", [](Impl& impl, const json& m) { impl.stop(componentFrom(impl, m)); }},
    {"cancelOperation", [](Impl& impl, const json&) { impl.cancelRequested.exchange(true); }},
    {"openFolder", [](Impl& impl, const json& m) { impl.openFolder(componentFrom(impl, m)); }},
    {"createShortcut",
     [](Impl& impl, const json& m) { impl.createShortcut(componentFrom(impl, m)); }},
    {"openLink",
     [](Impl& impl, const json& m) { impl.openLink(requiredString(m, "url", longestUrl)); }},
    {"selectSimulator",
     [](Impl& impl, const json& m) {
         impl.selectSimulator(requiredString(m, "installationId", longestId));
     }},
    {"chooseCommunityFolder", [](Impl& impl, const json&) { impl.chooseCommunityFolder(); }},
    {"dismissNotice", [](Impl& impl, const json&) { impl.notice.clear(); }},
    {"dismissError", [](Impl&, const json&) {}},
    {"copyDiagnostics", [](Impl& impl, const json&) { copySupportReport(impl); }},
}};

} // namespace

void Impl::dispatch(const std::string& type, const json& message) {
    for (const auto& [name, handler] : commands) {
        if (name == type) {
            handler(*this, message);
            return;
        }
    }
    throw std::runtime_error("unknown command: " + type);
}

void Impl::handleMessage(std::string_view text) noexcept {
    try {
        try {
            const json message = json::parse(text);
            const auto type = message.is_object() ? message.find("type") : message.end();
            if (type == message.end() || !type->is_string()) {
                throw std::runtime_error("invalid interface command");
            }
            const auto& name = type->get_ref<const std::string&>();
            dispatch(name, message);
            if (name != "refresh") {
                error.clear();
            }
        } catch (const std::exception& failure) {
            error = shortened(failure.what());
            log.write("command failed: " + error);
        }
    } catch (const std::exception&) {
        // Only running out of memory while recording the failure gets here; the previous error
        // text stays.
    }
}

} // namespace hub
