#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a descriptor; the GUI thread reads the other end.
int signalSockets[2] = {-1, -1};
std::array<struct sigaction, 3> previousHandlers{};

// Milliseconds of the monotonic clock: how long further signals wait, and until when (0 until
// the first signal).
long long closingWaitMs = 0;
std::atomic<long long> closingEnds{0};
static_assert(std::atomic<long long>::is_always_lock_free, "used inside a signal handler");

long long NowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

void OnSignal(int signal) {
    const int saved = errno;
    const long long now = NowMs();
    long long ends = 0;
    if (!closingEnds.compare_exchange_strong(ends, now + closingWaitMs) && now >= ends) {
        // Closing takes too long: the signal does what it did before, once this handler returns.
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            if (kSignals[i] == signal)
                ::sigaction(signal, &previousHandlers[i], nullptr);
        ::raise(signal);
    } else {
        const char byte = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> action, std::chrono::milliseconds closingWait)
    : onSignal(std::move(action)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return; // the program still runs; it only ends at once on such a signal, as without this
    notifier = std::make_unique<QSocketNotifier>(signalSockets[1], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(signalSockets[1], bytes, sizeof bytes) > 0) {
        }
        // The first signal starts the close; the ones after it only wait for it.
        if (!installed || called)
            return;
        called = true;
        onSignal();
    });
    closingWaitMs = closingWait.count();
    closingEnds = 0;
    struct sigaction handler {};
    handler.sa_handler = OnSignal;
    sigemptyset(&handler.sa_mask);
    for (const int signal : kSignals)
        sigaddset(&handler.sa_mask, signal); // one handler at a time decides
    handler.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], nullptr, &previousHandlers[i]);
        // One ignored when the program started (SIGHUP under nohup) stays ignored.
        const struct sigaction &previous = previousHandlers[i];
        if ((previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &handler, nullptr);
    }
    installed = true;
}

TerminationSignals::~TerminationSignals() {
    RestoreHandlers();
    notifier.reset();
    for (int &socket : signalSockets) {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
}

void TerminationSignals::RestoreHandlers() {
    if (!installed)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &previousHandlers[i], nullptr);
    installed = false;
}

} // namespace platform
