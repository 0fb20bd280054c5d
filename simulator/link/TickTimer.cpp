#include "TickTimer.h"

#include "Clock.h"

std::uint32_t TickTimer::Now() const {
    return platform::GetTickCount();
}

bool TickTimer::ElapsedOver(std::uint32_t start, std::uint32_t ms) const {
    // The difference taken as signed, so a start stamped "in the future" never counts as over.
    const auto passed = static_cast<std::int32_t>(Now() - start);
    return static_cast<std::int64_t>(passed) > static_cast<std::int64_t>(ms);
}

void TickTimer::Delay(std::uint16_t ms) const {
    const std::uint32_t start = Now();
    while (!ElapsedOver(start, ms))
        platform::Sleep(1); // the clock seam's sleep, so a test's virtual clock moves on
}
