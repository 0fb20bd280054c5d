#pragma once
#include "Clock.h"

#include <QElapsedTimer>
#include <QThread>
#include <cstdint>

namespace testsupport {

// Real time, except that sleeps of a second or more pass at once and a test may jump ahead:
// short waits keep their pace against a stand-in's thread, the engine's whole-second pauses
// cost nothing.
class FastForwardClock : public platform::Clock {
public:
    FastForwardClock() { real.start(); }
    double Seconds() override { return static_cast<double>(Millis() / 1000); }
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(Millis()); }
    void Sleep(unsigned milliseconds) override {
        if (milliseconds >= 1000)
            skipped += milliseconds;
        else
            QThread::msleep(milliseconds);
    }
    void Advance(std::uint64_t milliseconds) { skipped += milliseconds; }

private:
    std::uint64_t Millis() const {
        return 1'000'000'000'000ULL + static_cast<std::uint64_t>(real.elapsed()) + skipped;
    }
    QElapsedTimer real;
    std::uint64_t skipped = 0;
};

} // namespace testsupport
