#include "install/receipt.h"

#include "util/json_field.h"

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
        return stream ? readReceiptVersion(stream) : std::string{};
    } catch (...) {
        return {}; // a path that cannot be opened reads as no receipt
    }
}

std::string readReceiptVersion(std::istream& receipt) noexcept {
    try {
        return jsonStringField(nlohmann::json::parse(receipt), "version");
    } catch (...) {
        return {}; // whatever is not a receipt with that string has no version
    }
}

} // namespace hub
