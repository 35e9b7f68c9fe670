#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace hub {

// SHA-256 computed on a thread of its own while the caller goes on, so that hashing a download
// costs the download no time where a second core is free. add() copies the data and waits only
// when 4 MiB are queued; finishHex() waits for the rest. Destruction without finishHex() drops
// what is queued and ends the thread.
class ConcurrentSha256 {
public:
    ConcurrentSha256();
    ~ConcurrentSha256();
    ConcurrentSha256(const ConcurrentSha256&) = delete;
    ConcurrentSha256& operator=(const ConcurrentSha256&) = delete;

    void add(std::string_view data);
    // The digest as 64 lower-case hexadecimal digits; fails with the message of Sha256's failure.
    [[nodiscard]] std::string finishHex();

private:
    void hashQueued() noexcept;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_; // mutex_
    std::size_t queuedBytes_ = 0;   // mutex_
    bool ending_ = false;           // mutex_: no more data comes
    bool dropping_ = false;         // mutex_: the owner goes; queued data is dropped
    bool stopped_ = false;          // mutex_: the thread takes no more data
    std::string digest_;            // written by the thread, read after joining it
    std::string failure_;           // the same; empty when hashing went well
    std::thread thread_;
};

} // namespace hub
