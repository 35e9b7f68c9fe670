#include "util/concurrent_sha256.h"

#include "util/sha256.h"

#include <optional>
#include <stdexcept>

namespace hub {

namespace {

constexpr std::size_t largestQueue = 4u << 20;

} // namespace

ConcurrentSha256::ConcurrentSha256() : thread_([this] { hashQueued(); }) {}

ConcurrentSha256::~ConcurrentSha256() {
    {
        const std::lock_guard lock(mutex_);
        dropping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ConcurrentSha256::add(std::string_view data) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queuedBytes_ < largestQueue || stopped_; });
    if (stopped_) {
        return; // hashing failed: finishHex reports it
    }
    queue_.emplace_back(data);
    queuedBytes_ += data.size();
    lock.unlock();
    changed_.notify_all();
}

std::string ConcurrentSha256::finishHex() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (!failure_.empty()) {
        throw std::runtime_error(failure_);
    }
    return digest_;
}

void ConcurrentSha256::hashQueued() noexcept {
    try {
        Sha256 hash;
        while (true) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || ending_ || dropping_; });
            if (dropping_ || queue_.empty()) {
                break;
            }
            const std::string data = std::move(queue_.front());
            queue_.pop_front();
            queuedBytes_ -= data.size();
            lock.unlock();
            changed_.notify_all();
            hash.add(data);
        }
        digest_ = hash.finishHex();
    } catch (const std::exception& error) {
        failure_ = error.what();
    }
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

} // namespace hub
