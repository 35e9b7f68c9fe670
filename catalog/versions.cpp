#include "catalog/versions.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace hub {

namespace {

constexpr std::size_t longestVersion = 64;

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

bool isLetterOrDigit(char c) noexcept {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view withoutLeadingV(std::string_view text) noexcept {
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V')) {
        text.remove_prefix(1);
    }
    return text;
}

// Splits text at the first occurrence of any of the separators; the separator itself is
// dropped. Without a separator the tail is absent.
struct Split {
    std::string_view head;
    std::optional<std::string_view> tail;
};

Split splitAtFirst(std::string_view text, std::string_view separators) noexcept {
    const std::size_t at = text.find_first_of(separators);
    if (at == std::string_view::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, at), text.substr(at + 1)};
}

bool isValidSuffix(std::string_view suffix) noexcept {
    if (suffix.empty()) {
        return false;
    }
    for (const char c : suffix) {
        if (!isLetterOrDigit(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

bool isThreeNumberCore(std::string_view core) noexcept {
    int fields = 0;
    while (true) {
        const Split field = splitAtFirst(core, ".");
        if (field.head.empty()) {
            return false;
        }
        for (const char c : field.head) {
            if (!isDigit(c)) {
                return false;
            }
        }
        ++fields;
        if (!field.tail) {
            return fields == 3;
        }
        core = *field.tail;
    }
}

std::optional<std::uint64_t> parseNumber(std::string_view field) noexcept {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc{} || end != field.data() + field.size()) {
        return std::nullopt;
    }
    return value;
}

int sign(int value) noexcept {
    return (value > 0) - (value < 0);
}

int compareBytes(std::string_view a, std::string_view b) noexcept {
    return sign(a.compare(b));
}

int compareFields(std::string_view a, std::string_view b) noexcept {
    if (a.empty()) {
        a = "0";
    }
    if (b.empty()) {
        b = "0";
    }
    const std::optional<std::uint64_t> numberA = parseNumber(a);
    const std::optional<std::uint64_t> numberB = parseNumber(b);
    if (numberA && numberB) {
        return (*numberA > *numberB) - (*numberA < *numberB);
    }
    return compareBytes(a, b);
}

// The next dot-separated field of a core, consuming it; an exhausted core yields "".
std::string_view takeField(std::optional<std::string_view>& core) noexcept {
    if (!core) {
        return {};
    }
    const Split field = splitAtFirst(*core, ".");
    core = field.tail;
    return field.head;
}

} // namespace

bool isValidVersion(std::string_view text) noexcept {
    if (text.empty() || text.size() > longestVersion) {
        return false;
    }
    const Split parts = splitAtFirst(withoutLeadingV(text), "-+");
    return isThreeNumberCore(parts.head) && (!parts.tail || isValidSuffix(*parts.tail));
}

int compareVersions(std::string_view a, std::string_view b) noexcept {
    const Split sideA = splitAtFirst(splitAtFirst(withoutLeadingV(a), "+").head, "-");
    const Split sideB = splitAtFirst(splitAtFirst(withoutLeadingV(b), "+").head, "-");
    std::optional<std::string_view> coreA = sideA.head;
    std::optional<std::string_view> coreB = sideB.head;
    while (coreA || coreB) {
        if (const int order = compareFields(takeField(coreA), takeField(coreB)); order != 0) {
            return order;
        }
    }
    const std::string_view preReleaseA = sideA.tail.value_or("");
    const std::string_view preReleaseB = sideB.tail.value_or("");
    if (preReleaseA.empty() != preReleaseB.empty()) {
        return preReleaseA.empty() ? 1 : -1;
    }
    return compareBytes(preReleaseA, preReleaseB);
}

} // namespace hub
