#include "Clock.h"

#include "MessagePump.h"

#include <QThread>
#include <chrono>
#include <ctime>

namespace platform {
namespace {

class SystemClock : public Clock {
public:
    double Seconds() override { return static_cast<double>(std::time(nullptr)); }
    std::uint32_t TickCount() override {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void Sleep(unsigned milliseconds) override { QThread::msleep(milliseconds); }
};

SystemClock systemClock;
Clock *installed = nullptr;

} // namespace

void Clock::PauseForMessages(unsigned milliseconds) {
    WaitForMessagesUpTo(milliseconds);
}

void VirtualClock::PauseForMessages(unsigned milliseconds) {
    Sleep(milliseconds);
    ProcessMessages();
}

Clock &CurrentClock() {
    return installed ? *installed : systemClock;
}

void SetClock(Clock *clock) {
    installed = clock;
}

ScopedClock::ScopedClock(Clock &clock) : previous(installed) {
    installed = &clock;
}

ScopedClock::~ScopedClock() {
    installed = previous;
}

} // namespace platform
