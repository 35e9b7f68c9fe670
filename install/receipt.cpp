#include "install/receipt.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <stdexcept>

namespace hub {

void writeReceipt(const std::filesystem::path& folder, const CatalogComponent& component) {
    const nlohmann::json receipt{{"component", component.id}, {"version", component.version}};
    std::ofstream stream(folder / receiptFileName, std::ios::binary | std::ios::trunc);
    stream << receipt.dump(2, ' ', false) << '\n';
    stream.flush();
    if (!stream) {
        throw std::runtime_error("unable to write the installation receipt of " + component.name);
    }
}

std::string readReceiptVersion(const std::filesystem::path& folder) noexcept {
    try {
        std::ifstream stream(folder / receiptFileName, std::ios::binary);
        if (!stream) {
            return {};
        }
        const auto receipt = nlohmann::json::parse(stream);
        if (receipt.is_object() && receipt.contains("version") &&
            receipt.at("version").is_string()) {
            return receipt.at("version").get<std::string>();
        }
        return {};
    } catch (...) {
        return {};
    }
}

} // namespace hub
