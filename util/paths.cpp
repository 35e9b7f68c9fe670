#include "util/paths.h"

#include "util/text.h"

namespace hub {

namespace {

std::wstring comparablePath(const std::filesystem::path& path) {
    std::wstring text = path.lexically_normal().native();
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/')) {
        text.pop_back();
    }
    return text;
}

} // namespace

std::string pathToUtf8(const std::filesystem::path& path) {
    return toUtf8(path.native());
}

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) noexcept {
    try {
        return equalsIgnoreCase(comparablePath(a), comparablePath(b));
    } catch (...) {
        return false;
    }
}

std::string leafName(const std::filesystem::path& path) {
    return pathToUtf8(path.filename());
}

} // namespace hub
