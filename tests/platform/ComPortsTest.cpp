#include "ComPorts.h"
#include "PseudoTerminal.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(ComPorts, DefaultTableMapsRangesToDeviceFamilies) {
    qunsetenv("COM1");
    qunsetenv("COM33");
    qunsetenv("COM65");
    qunsetenv("COM99");
    EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ComPortDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(ComPortDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortDevicePath(64), "/dev/ttyUSB31");
    EXPECT_EQ(ComPortDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(ComPortDevicePath(99), "/dev/ttyACM34");
    EXPECT_TRUE(ComPortDevicePath(0).isEmpty());
    EXPECT_TRUE(ComPortDevicePath(-3).isEmpty());
    EXPECT_TRUE(ComPortDevicePath(100).isEmpty());
}

TEST(ComPorts, EnvironmentOverridesTableAndExistenceFollowsDevice) {
    testsupport::PseudoTerminal pty;
    {
        testsupport::ScopedComMapping map(7, pty.DevicePath());
        EXPECT_EQ(ComPortDevicePath(7), pty.DevicePath());
        EXPECT_TRUE(ComPortExists(7));
    }
    testsupport::ScopedComMapping gone(7, "/dev/no-such-serial-device");
    EXPECT_FALSE(ComPortExists(7));
    EXPECT_FALSE(ComPortExists(0));
}

TEST(ComPorts, NameParsingWantsExactlyOneNumber) {
    int n = 0;
    EXPECT_TRUE(ParseComPortName("COM12", n));
    EXPECT_EQ(n, 12);
    EXPECT_FALSE(ParseComPortName("COM12x", n));
    EXPECT_FALSE(ParseComPortName("COM", n));
    EXPECT_FALSE(ParseComPortName("LPT1", n));
    EXPECT_FALSE(ParseComPortName(nullptr, n));
}
