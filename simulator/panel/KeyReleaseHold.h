#pragma once
#include <cstdint>
#include <optional>

// Holds a panel key's release back for a moment. X delivers the auto-repeats of a held key as a
// release and a press with the same timestamp, and a busy machine gets only some of them marked
// as repeats; a release followed by a press of the same key with the same timestamp is such a
// repeat, and both are dropped, so holding a key sends one press and one release.
class KeyReleaseHold {
public:
    static constexpr std::uint32_t kHoldMs = 40;

    struct Release {
        int key;                 // the key's code
        unsigned bits;           // the panel key bits it clears
        unsigned long timestamp; // the event's own timestamp
        std::uint32_t heldAt;    // tick count when it was held back
    };

    // Holds this release back; a release held before it is due at once and is returned.
    std::optional<Release> Hold(const Release &release);
    // Whether a press of key at timestamp is the second half of a repeat; the held release is
    // then dropped.
    bool TakeRepeat(int key, unsigned long timestamp);
    // The held release once it has waited long enough, else nothing.
    std::optional<Release> TakeDue(std::uint32_t now);
    // The held release, due or not.
    std::optional<Release> Take();

private:
    std::optional<Release> held;
};
