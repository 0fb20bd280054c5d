#pragma once
#include <array>

// What a device on the steering controller's bus reports about itself; NUL-terminated texts.
struct DeviceIdentity {
    char identity[20];
    char version[10];
    char serialNumber[10];
};

// The steering controller, the light bar and the DGPS receiver, in that order.
using DeviceIdentitySet = std::array<DeviceIdentity, 3>;
