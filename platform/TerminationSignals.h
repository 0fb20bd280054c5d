#pragma once
#include <array>
#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

// Turns the signals that end a program politely (SIGTERM at logout or shutdown, SIGINT from
// Ctrl-C in the terminal it was started from, SIGHUP when that terminal closes) into one call on
// the GUI thread, so the program can end as if its window were closed and keep its settings.
// A second signal finds the previous handlers back and ends the program at once, as does any
// signal once this object is gone. One instance at a time.
class TerminationSignals {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

private:
    void RestoreHandlers();

    std::function<void()> onSignal;
    std::unique_ptr<QSocketNotifier> notifier;
    std::array<struct sigaction, 3> previous{};
    bool installed = false;
};

} // namespace platform
