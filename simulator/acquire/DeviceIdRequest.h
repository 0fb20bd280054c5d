#pragma once
#include "TickTimer.h"

#include <array>
#include <cstdint>
#include <functional>

// Asks the steering controller for the identities of the devices on its bus until the steering,
// light-bar and DGPS identities are all known. Paced by the controller's settings replies: the
// first starts the cycle, each later one lets a step send the request (again after 5 seconds
// while an identity is still missing).
class DeviceIdRequest {
public:
    enum Identity { Steering = 0, LightBar = 1, Dgps = 2 };
    using SendSentence = std::function<void(const char *text)>;

    explicit DeviceIdRequest(SendSentence send) : sendSentence(std::move(send)) {}

    void StartDeviceIdRequest();
    void TriggerDeviceIdRequest() { triggered = true; }
    void DeviceIdRequestStep();

    void SetKnown(Identity which) { known[which] = true; }
    bool IsKnown(Identity which) const { return known[which]; }
    bool IsActive() const { return active; }

private:
    SendSentence sendSentence;
    TickTimer timer;
    bool active = false;
    bool triggered = false;
    bool requestSent = false;
    std::array<bool, 3> known{};
    std::uint32_t startTime = 0;
};
