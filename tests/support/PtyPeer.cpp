#include "PtyPeer.h"

#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace testsupport {

PtyPeer::PtyPeer(Handler h) : handler(std::move(h)), worker([this] { Loop(); }) {}

PtyPeer::~PtyPeer() {
    Stop();
}

void PtyPeer::Stop() {
    running = false;
    if (worker.joinable())
        worker.join();
}

void PtyPeer::Send(const std::string &bytes) {
    std::lock_guard<std::mutex> guard(lock);
    pty.Write(bytes);
}

std::string PtyPeer::Received() const {
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

void PtyPeer::Loop() {
    using clock = std::chrono::steady_clock;
    auto lineFreeAt = clock::now();
    bool lineBusy = false;
    while (running) {
        const int rate = lineRate;
        // At a paced rate take at most what the line carries in a millisecond or so.
        const std::size_t chunk =
            rate > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(rate / 10 / 1000)) : 65536;
        // Bytes already waiting followed the previous ones back to back on the line, so they
        // are timed from where those ended, not from when this thread got round to them.
        pollfd ready{pty.MasterFd(), POLLIN, 0};
        const bool waiting = ::poll(&ready, 1, 0) > 0;
        std::string got = pty.Read(20, 1, chunk);
        const bool backToBack = waiting && lineBusy;
        lineBusy = !got.empty();
        if (got.empty())
            continue;
        if (rate > 0) {
            lineFreeAt = (backToBack ? lineFreeAt : clock::now()) +
                         std::chrono::microseconds(static_cast<long long>(got.size()) * 10'000'000LL / rate);
            std::this_thread::sleep_until(lineFreeAt);
        }
        std::string reply;
        {
            std::lock_guard<std::mutex> guard(lock);
            received += got;
        }
        if (handler)
            reply = handler(got);
        if (!reply.empty())
            Send(reply);
    }
}

} // namespace testsupport
