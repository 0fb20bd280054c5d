#pragma once
#include <cstdint>

// The simulator's millisecond time base: the system tick count, 32 bits, wrapping. Every
// period is "more than ms milliseconds since start", which stays right across the wrap.
class TickTimer {
public:
    std::uint32_t Now() const;
    bool ElapsedOver(std::uint32_t start, std::uint32_t ms) const;
    static std::uint32_t Difference(std::uint32_t a, std::uint32_t b) { return b - a; }
    // Busy-waits without pumping messages.
    void Delay(std::uint16_t ms) const;
};
