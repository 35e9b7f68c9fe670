#pragma once

#include "catalog/catalog.h"

#include <filesystem>
#include <istream>
#include <string>

namespace hub {

// The installation receipt that an installed application carries in its folder:
// { "component": id, "version": version }. Community packages have none; their manifest
// tells their version.
inline constexpr wchar_t receiptFileName[] = L"orv-hub-install.json";

// Writes the receipt of the component into the folder; fails with "unable to write the
// installation receipt of " and the component's name.
void writeReceipt(const std::filesystem::path& folder, const CatalogComponent& component);

// The "version" of the receipt in the folder; empty when the receipt is missing, is not
// valid JSON or holds no "version" text. Never fails.
std::string readReceiptVersion(const std::filesystem::path& folder) noexcept;

// The same from the receipt's content.
std::string readReceiptVersion(std::istream& receipt) noexcept;

} // namespace hub
