#include "GraphStatusText.h"

#include <gtest/gtest.h>

using namespace GraphStatusText;

namespace {

GraphSample WithTraces(std::int16_t value) {
    GraphSample s{};
    s.sogTenthsMph = s.cogTenthsDeg = s.offErrCM = s.angErrTenthsDeg = s.waTenthDeg = s.solOut = value;
    return s;
}

} // namespace

TEST(GraphStatusText, TraceValuesBySign) {
    const struct {
        std::int16_t value;
        const char *speed, *course, *offset, *angle, *solenoid;
    } cases[] = {
        {-57, "-     5.7", "     5.7\xB0", " -   0.57m", " -   5.7\xB0", " -  57%"},
        {0, "      0.0", "     0.0\xB0", "     0.00m", "     0.0\xB0", "     0%"},
        {3599, "+   359.9", "   359.9\xB0", " +  35.99m", " + 359.9\xB0", " + 3599%"},
    };
    for (const auto &c : cases) {
        const GraphSample s = WithTraces(c.value);
        EXPECT_EQ(TraceValue(0, s), c.speed) << c.value;
        EXPECT_EQ(TraceValue(1, s), c.course) << c.value;
        EXPECT_EQ(TraceValue(2, s), c.offset) << c.value;
        EXPECT_EQ(TraceValue(3, s), c.angle) << c.value;
        EXPECT_EQ(TraceValue(4, s), c.angle) << c.value;
        EXPECT_EQ(TraceValue(5, s), c.solenoid) << c.value;
    }
}

TEST(GraphStatusText, HemispheresNearTheEquatorAndThePrimeMeridian) {
    const struct {
        std::int16_t degrees;
        std::int32_t microMinutes;
        const char *latitude, *longitude;
    } cases[] = {
        {30, 34123456,
         "N 30\xB0"
         "34.1234'",
         "E030\xB0"
         "34.1234'"},
        {-30, -34123456,
         "S 30\xB0"
         "34.1234'",
         "W030\xB0"
         "34.1234'"},
        {0, -30500000,
         "S 00\xB0"
         "30.5000'",
         "W000\xB0"
         "30.5000'"}, // within a degree: the minutes carry the sign
        {0, 30500000,
         "N 00\xB0"
         "30.5000'",
         "E000\xB0"
         "30.5000'"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Latitude(c.degrees, c.microMinutes), c.latitude);
        EXPECT_EQ(Longitude(c.degrees, c.microMinutes), c.longitude);
    }
}

TEST(GraphStatusText, ParametersAndTheirUnits) {
    GraphSample s{};
    s.spsZCtrl = 2;
    s.spsOffset = -1250;
    s.dTmMs = 1230;
    s.dTmActMs = 1234;
    s.spsCur = 1024;    // 5.0 % of 20480
    s.spsLSet = -2048;  // -10.0 %
    s.olDeadBand = 250; // 0.25 m, the last digit's 0 blank
    s.olTonLen = 1234;
    s.whBas = 2500000; // too wide for three places: the 0 stays
    s.cogFSmpls = 7;
    s.solCType = 9;
    s.solMinDr = 15;
    s.maxStrRat = 255;
    s.srmLeft = -125;
    const auto rows = Parameters(s);
    EXPECT_EQ(rows[0].leftValue, " AUTO ");
    EXPECT_EQ(rows[0].rightValue, "  1.23 s");
    EXPECT_EQ(rows[1].leftValue, "-1.250m");
    EXPECT_EQ(rows[1].rightValue, "  1.234s");
    EXPECT_EQ(rows[2].leftValue, "  5.0%");
    EXPECT_EQ(rows[3].leftValue, "-10.0%");
    EXPECT_EQ(rows[2].rightValue, "  0.25 m");
    EXPECT_EQ(rows[3].rightValue, "  1.234m");
    EXPECT_EQ(rows[7].rightValue, "2500.000m");
    EXPECT_EQ(rows[6].rightValue, "  7");
    EXPECT_EQ(rows[7].leftValue, "    ? ");
    EXPECT_EQ(rows[9].leftValue, "   15%"); // a literal percent sign
    EXPECT_EQ(rows[9].rightValue, " 25.5\xB0/s");
    EXPECT_EQ(rows[10].rightValue, " 12.5\xB0/s"); // SRM as a magnitude
    s.rMd = ' ';
    EXPECT_EQ(DgpsMode(s), "           ?");
}
