#pragma once

// What a device on the steering controller's bus reports about itself; NUL-terminated texts.
struct DeviceIdentity {
    char identity[20];
    char version[10];
    char serialNumber[10];
};
