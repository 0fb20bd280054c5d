#include "FieldDecoders.h"
#include "TickTimer.h"

#include "Clock.h"

#include <gtest/gtest.h>

using namespace FieldDecoders;

TEST(FieldDecoders, Integers) {
    EXPECT_EQ(FieldToByte("110"), 110);
    EXPECT_EQ(FieldToByte("300"), 44); // wraps in 8 bits
    EXPECT_EQ(FieldToByte("-5"), 0);   // no sign
    EXPECT_EQ(FieldToByte(""), 0);
    EXPECT_EQ(FieldToInt("1234abc"), 1234);
    EXPECT_EQ(FieldToInt("99999999999"), static_cast<std::int32_t>(99999999999LL & 0xFFFFFFFF));
    EXPECT_EQ(FieldToShort("-12"), -12);
    EXPECT_EQ(FieldToShort("+7"), 7);
    EXPECT_EQ(FieldToShort("40000"), static_cast<std::int16_t>(40000 - 65536));
}

TEST(FieldDecoders, HexAndDegrees) {
    EXPECT_EQ(HexToByte("dF"), 0xDF);
    EXPECT_EQ(HexToByte("4"), 0); // one digit is not enough, and nothing past it is read
    EXPECT_EQ(HexToByte("G1"), 0);
    EXPECT_EQ(HexToByte(""), 0);
    EXPECT_EQ(FieldToDeg2("30"), 30);
    EXPECT_EQ(FieldToDeg2("3"), 0);
    EXPECT_EQ(FieldToDeg2("3a"), 0);
    EXPECT_EQ(FieldToDeg3("101"), 101);
    EXPECT_EQ(FieldToDeg3("300"), 300 % 256);
    EXPECT_EQ(FieldToDeg3("10"), 0);
}

TEST(FieldDecoders, FixedPoint) {
    EXPECT_EQ(FieldToMicroMinutes("34.123456"), 34123456);
    EXPECT_EQ(FieldToMicroMinutes(" 5.5"), 5500000);
    EXPECT_EQ(FieldToMicroMinutes("\t\v\f 7.25"), 7250000); // any leading white space
    EXPECT_EQ(FieldToMicroMinutes("1.12345678"), 1123456);  // digits past the sixth are ignored
    EXPECT_EQ(FieldToMicroMinutes(""), 0);
    EXPECT_EQ(FieldToTenths("12.39"), 123); // only the first fraction digit, no rounding
    EXPECT_EQ(FieldToTenths("-1.5"), -15);
    EXPECT_EQ(FieldToTenths("7"), 70);
    EXPECT_EQ(FieldToHundredths("1.5"), 150);
    EXPECT_EQ(FieldToHundredths("-0.25"), -25);
    EXPECT_EQ(FieldToHundredths("+3.141"), 314);
}

TEST(TickTimer, ElapsedOverAndWrap) {
    platform::VirtualClock clock;
    platform::ScopedClock use(clock);
    TickTimer timer;
    const std::uint32_t start = timer.Now();
    EXPECT_FALSE(timer.ElapsedOver(start, 0)); // until the tick count moves on
    clock.Advance(1);
    EXPECT_TRUE(timer.ElapsedOver(start, 0));
    EXPECT_FALSE(timer.ElapsedOver(start, 1));

    // Across the 32-bit wrap a period still counts from its start.
    clock.Advance(0x100000000ULL - timer.Now() - 5);
    const std::uint32_t beforeWrap = timer.Now();
    clock.Advance(10);
    EXPECT_LT(timer.Now(), beforeWrap);
    EXPECT_TRUE(timer.ElapsedOver(beforeWrap, 9));
    EXPECT_FALSE(timer.ElapsedOver(beforeWrap, 10));
    EXPECT_EQ(TickTimer::Difference(beforeWrap, timer.Now()), 10u);

    // Delay waits on the clock seam, so a virtual clock lets it pass at once.
    const std::uint32_t delayStart = timer.Now();
    timer.Delay(100);
    EXPECT_TRUE(timer.ElapsedOver(delayStart, 100));
}
