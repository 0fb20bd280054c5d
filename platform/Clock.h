#pragma once
#include <cstdint>

namespace platform {

// Where the engines take time from. Tests install a virtual clock so that waits of whole
// seconds (search time-outs, power cycles) pass at once; the programs use the system clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds of the calendar clock, as time() gives them.
    virtual double Seconds() = 0;
    // Milliseconds of the monotonic clock, 32 bits, wrapping.
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(unsigned milliseconds) = 0;
    // Waits at most that long for the application's next event and runs what is queued.
    virtual void PauseForMessages(unsigned milliseconds);
};

// The clock in use; the system clock unless a test installed another.
Clock &CurrentClock();

// Installs a clock (nullptr restores the system clock). The caller keeps ownership.
void SetClock(Clock *clock);

inline double Now() {
    return CurrentClock().Seconds();
}
inline std::uint32_t GetTickCount() {
    return CurrentClock().TickCount();
}
inline void Sleep(unsigned milliseconds) {
    CurrentClock().Sleep(milliseconds);
}

// Restores the previous clock when it leaves scope.
class ScopedClock {
public:
    explicit ScopedClock(Clock &clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock &) = delete;
    ScopedClock &operator=(const ScopedClock &) = delete;

private:
    Clock *previous;
};

// A clock that only moves when told to or when something sleeps on it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(double startSeconds = 1.0e9)
        : millis(static_cast<std::uint64_t>(startSeconds * 1000)) {}
    double Seconds() override { return static_cast<double>(millis / 1000); }
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(millis); }
    void Sleep(unsigned milliseconds) override { millis += milliseconds; }
    // The pause passes at once; queued events still run.
    void PauseForMessages(unsigned milliseconds) override;
    void Advance(std::uint64_t milliseconds) { millis += milliseconds; }

private:
    std::uint64_t millis;
};

} // namespace platform
