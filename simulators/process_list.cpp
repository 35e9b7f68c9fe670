#include "simulators/process_list.h"

#include "util/unique_handle.h"

#include <windows.h>

#include <tlhelp32.h>

namespace hub {

std::vector<ProcessEntry> listProcesses() {
    std::vector<ProcessEntry> processes;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return processes;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        processes.push_back({entry.szExeFile, entry.th32ProcessID});
    }
    return processes;
}

} // namespace hub
