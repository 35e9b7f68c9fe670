// A stand-in for the hub's window where there is no web view (Linux, Wine): it builds the real
// ApplicationController and speaks JSON lines, so that the interface's end-to-end tests, the
// demo and the controller's scenario tests drive the whole hub minus its window. Never shipped.
//
//   hub_headless_host.exe [--web-origin URL] [--documentation-origin URL]
//                         [--pick-folder PATH|cancel]
//                         [--local-app-data PATH] [--roaming-app-data PATH]
//
// Every line on standard input is one interface message, handed to the controller exactly as
// the window hands over a web message (a malformed line becomes the snapshot's error). After
// each message, and on every 250 ms tick, the host writes the state snapshot as one line on
// standard output, flushed at once. The end of input closes it the way closing the window
// does: a running operation is cancelled and waited for, and its completion is not reported.
//
//   --web-origin, --documentation-origin  the maker's origins ("https://host:port"), e.g. the
//                                         local HTTPS test server; default: the built-in ones
//   --pick-folder                         what the folder dialog answers ("cancel": nothing);
//                                         without it, folder selection is not available
//   --local-app-data                      the Local AppData folder (the hub's data folder,
//                                         installed applications, simulator discovery)
//   --roaming-app-data                    the Roaming AppData folder (simulator discovery)
//
// Opening a folder or an address writes "open <target>" to standard error instead: Wine would
// hand it to a program of the machine it runs on. The support report goes to standard error
// too, instead of the clipboard. Exit code 0, or 2 for a bad command line.
#include "controller/application_controller.h"
#include "settings/app_folders.h"
#include "util/known_folder.h"
#include "util/text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Arguments = std::map<std::wstring, std::wstring>;

std::optional<Arguments> parseArguments() {
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> raw(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    const std::vector<std::wstring> known{L"--web-origin", L"--documentation-origin",
                                          L"--pick-folder", L"--local-app-data",
                                          L"--roaming-app-data"};
    Arguments arguments;
    for (int index = 1; index < count; index += 2) {
        const std::wstring name = raw.get()[index];
        if (index + 1 >= count || std::find(known.begin(), known.end(), name) == known.end()) {
            return std::nullopt;
        }
        arguments[name] = raw.get()[index + 1];
    }
    return arguments;
}

std::filesystem::path folderArgument(const Arguments& arguments, const wchar_t* name,
                                     const GUID& knownFolder) {
    const auto found = arguments.find(name);
    return found != arguments.end() ? std::filesystem::path(found->second)
                                    : hub::knownFolderPath(knownFolder);
}

hub::ControllerOptions makeOptions(const Arguments& arguments) {
    hub::ControllerOptions options;
    if (const auto found = arguments.find(L"--web-origin"); found != arguments.end()) {
        options.origins.web = hub::toUtf8(found->second);
    }
    if (const auto found = arguments.find(L"--documentation-origin"); found != arguments.end()) {
        options.origins.documentation = hub::toUtf8(found->second);
    }
    const auto local = folderArgument(arguments, L"--local-app-data", FOLDERID_LocalAppData);
    const auto roaming = folderArgument(arguments, L"--roaming-app-data", FOLDERID_RoamingAppData);
    options.discover = [local, roaming] { return hub::discoverInstallations(roaming, local); };
    options.openWithShell = [](std::wstring_view target) {
        std::cerr << "open " << hub::toUtf8(target) << std::endl;
    };
    options.writeClipboard = [](std::string_view text) { std::cerr << text << std::flush; };
    return options;
}

hub::FolderPicker makePicker(const Arguments& arguments) {
    const auto found = arguments.find(L"--pick-folder");
    if (found == arguments.end()) {
        return {};
    }
    std::optional<std::filesystem::path> answer;
    if (found->second != L"cancel") {
        answer = std::filesystem::path(found->second);
    }
    return [answer](const std::wstring&, const std::filesystem::path&) { return answer; };
}

// Lines of standard input, read on a thread of their own so that ticks go on between them.
class InputLines {
public:
    InputLines() : reader_([this] { read(); }) {}
    ~InputLines() { reader_.join(); }
    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

    enum class Next { Line, Tick, Ended };

    // The next line into line, or Tick at the deadline, or Ended once the input has ended.
    Next next(std::chrono::steady_clock::time_point deadline, std::string& line) {
        std::unique_lock lock(mutex_);
        ready_.wait_until(lock, deadline, [this] { return !lines_.empty() || ended_; });
        if (!lines_.empty()) {
            line = std::move(lines_.front());
            lines_.pop_front();
            return Next::Line;
        }
        return ended_ ? Next::Ended : Next::Tick;
    }

private:
    void read() {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const std::lock_guard lock(mutex_);
            lines_.push_back(std::move(line));
            ready_.notify_one();
        }
        const std::lock_guard lock(mutex_);
        ended_ = true;
        ready_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> lines_;
    bool ended_ = false;
    std::thread reader_;
};

void writeLine(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int run(const Arguments& arguments) {
    const auto local = arguments.find(L"--local-app-data");
    hub::AppFolders folders = local != arguments.end() ? hub::createAppFoldersUnder(local->second)
                                                       : hub::createAppFolders();
    hub::ApplicationController controller(std::move(folders), makePicker(arguments),
                                          makeOptions(arguments));
    writeLine(controller.snapshot());
    constexpr auto tickInterval = std::chrono::milliseconds(250);
    auto nextTick = std::chrono::steady_clock::now() + tickInterval;
    InputLines input;
    std::string line;
    for (auto next = input.next(nextTick, line); next != InputLines::Next::Ended;
         next = input.next(nextTick, line)) {
        if (next == InputLines::Next::Line) {
            controller.handleMessage(line);
        } else {
            controller.tick();
            nextTick = std::chrono::steady_clock::now() + tickInterval;
        }
        writeLine(controller.snapshot());
    }
    return 0;
}

} // namespace

int main() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY); // the support report keeps its CR LF
    const auto arguments = parseArguments();
    if (!arguments) {
        std::cerr << "usage: hub_headless_host.exe [--web-origin URL] [--documentation-origin URL]"
                     " [--pick-folder PATH|cancel] [--local-app-data PATH]"
                     " [--roaming-app-data PATH]\n";
        return 2;
    }
    // Multithreaded: a single-threaded apartment makes Wine start its desktop process first,
    // which costs about 10 s at start and again at exit.
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::cerr << "unable to initialise COM\n";
        return 1;
    }
    int status = 1;
    try {
        status = run(*arguments);
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << '\n';
    }
    CoUninitialize();
    return status;
}
