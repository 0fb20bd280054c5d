#pragma once
#include <QString>

// COM numbers are how both programs and their settings name serial ports. On Linux a number
// maps to a device node: the environment variable COMn wins when set (COM3=/dev/ttyUSB0),
// else 1-32 are /dev/ttyS0-31, 33-64 are /dev/ttyUSB0-31 and 65-99 are /dev/ttyACM0-34.
namespace platform {

// The highest COM number the table maps.
constexpr int kMaxComPort = 99;

// The device node for COM port n; empty when n maps to nothing.
QString ComPortDevicePath(int n);

// Whether the device node of COM port n exists right now (a USB adapter may come and go).
bool ComPortExists(int n);

// Whether a text names a COM port as "COM%d" with exactly one number; the number goes to n.
bool ParseComPortName(const char *name, int &n);

} // namespace platform
