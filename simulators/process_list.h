#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hub {

// One running process as the system's process snapshot reports it.
struct ProcessEntry {
    std::wstring executableName; // file name of the image, without folder
    std::uint32_t processId = 0;
};

// Every running process; an empty list when the snapshot cannot be taken.
std::vector<ProcessEntry> listProcesses();

} // namespace hub
