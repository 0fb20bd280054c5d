#pragma once
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

// Turns the signals that end a program politely (SIGTERM at logout or shutdown, SIGINT from
// Ctrl-C in the terminal it was started from, SIGHUP when that terminal closes) into one call on
// the GUI thread, so the program can end as if its window were closed and keep its settings.
// A desktop sends more than one at logout, so further signals wait while the program closes, for
// at most `closingWait` after the first; after that, and once this object is gone, a signal ends
// the program at once, as it would without this object. A signal that was ignored when this
// object was made (as nohup ignores SIGHUP) stays ignored. One instance at a time.
class TerminationSignals {
public:
    static constexpr std::chrono::milliseconds kClosingWait{5000};

    explicit TerminationSignals(std::function<void()> onSignal,
                                std::chrono::milliseconds closingWait = kClosingWait);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

private:
    void RestoreHandlers();

    std::function<void()> onSignal;
    std::unique_ptr<QSocketNotifier> notifier;
    bool installed = false;
    bool called = false;
};

} // namespace platform
