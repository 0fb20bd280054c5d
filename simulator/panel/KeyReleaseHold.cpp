#include "KeyReleaseHold.h"

#include <utility>

std::optional<KeyReleaseHold::Release> KeyReleaseHold::Hold(const Release &release) {
    return std::exchange(held, release);
}

bool KeyReleaseHold::TakeRepeat(int key, unsigned long timestamp) {
    if (!held || held->key != key || held->timestamp != timestamp)
        return false;
    held.reset();
    return true;
}

std::optional<KeyReleaseHold::Release> KeyReleaseHold::TakeDue(std::uint32_t now) {
    // Taken as signed, so a tick count that wrapped in between still counts forward.
    if (!held || static_cast<std::int32_t>(now - held->heldAt) <= static_cast<std::int32_t>(kHoldMs))
        return std::nullopt;
    return Take();
}

std::optional<KeyReleaseHold::Release> KeyReleaseHold::Take() {
    return std::exchange(held, std::nullopt);
}
