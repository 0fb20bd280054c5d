#pragma once
#include <cstddef>
#include <cstdint>

// The CRC of the second-stage packets: the reflected CRC-32 table (polynomial 0xEDB88320).
// Callers start at 0xFFFFFFFF and use the result without a final inversion.
class CRC32 {
public:
    CRC32() = default;
    virtual ~CRC32() = default;

    std::uint32_t Update(std::size_t length, std::uint32_t start, const std::uint8_t *data) const;
};
