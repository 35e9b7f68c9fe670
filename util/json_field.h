#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace hub {

// The string value of the member key of a JSON object; empty when the document is no object,
// has no such member, or its value is not a string.
inline std::string jsonStringField(const nlohmann::json& document, std::string_view key) {
    if (!document.is_object()) {
        return {};
    }
    const auto member = document.find(key);
    return member != document.end() && member->is_string() ? member->get<std::string>()
                                                           : std::string{};
}

} // namespace hub
