#include "GuidanceReply.h"
#include "SentenceParser.h"

#include <gtest/gtest.h>
#include <string>

namespace {

GuidanceReply::Record Apply(const std::string &sentence, GraphSample &sample) {
    SentenceParser parser;
    EXPECT_EQ(parser.ParseString(sentence.c_str()), SentenceParser::SentenceComplete) << sentence;
    return GuidanceReply::Apply(parser, sample);
}

} // namespace

TEST(GuidanceReply, Plt2FillsThePositionRecord) {
    GraphSample s{};
    EXPECT_EQ(Apply("$PQVZR,HNX,PLT2,12.3,-4.56,1.5,3034.123456,S,10159.5,W,D,9,271.4,4470,-55,3,120,1,0", s),
              GuidanceReply::Record::Position);
    EXPECT_EQ(s.waTenthDeg, 123);
    EXPECT_EQ(s.offErrCM, -456);
    EXPECT_EQ(s.angErrTenthsDeg, 15);
    EXPECT_EQ(s.latDeg, -30);
    EXPECT_EQ(s.latUMin, -34123456);
    EXPECT_EQ(s.lonDeg, -101);
    EXPECT_EQ(s.lonUMin, -59500000);
    EXPECT_EQ(s.rMd, 'D');
    EXPECT_EQ(s.sats, 9);
    EXPECT_EQ(s.cogTenthsDeg, 2714);
    EXPECT_EQ(s.sogMmPerSec, 4470);
    EXPECT_EQ(s.sogTenthsMph, 99); // 4470 x 1000 / 44704, truncated
    EXPECT_EQ(s.solOut, -55);
    EXPECT_EQ(s.strMode, 3);
    EXPECT_EQ(s.spsCur, 120);
    EXPECT_EQ(s.yawRateFlag, '1');
    EXPECT_EQ(s.reverseFlag, '0');

    // The speed conversion works in signed 32 bits: 3,000,000 mm/s x 1000 wraps before dividing.
    Apply("$PQVZR,HNX,PLT2,0,0,0,3000.0,N,10000.0,E,A,5,0,3000000,0,0,0,0,0", s);
    EXPECT_EQ(s.sogMmPerSec, 3000000);
    EXPECT_EQ(s.sogTenthsMph, -28967); // -1294967296 / 44704
}

TEST(GuidanceReply, ShortRepliesAndShortFields) {
    GraphSample s{};
    s.sats = 77;
    // 13 fields: nothing changes.
    EXPECT_EQ(Apply("$PQVZR,HNX,PLT2,1,2,3,4,N,5,E,A,9,10", s), GuidanceReply::Record::None);
    EXPECT_EQ(s.sats, 77);

    // 19 fields with field 18 equal to 1: both speeds turn negative.
    Apply("$PQVZR,HNX,PLT2,0,0,0,3000.0,N,10000.0,E,A,5,0,4470,0,0,0,0,1", s);
    EXPECT_EQ(s.reverseFlag, '1');
    EXPECT_EQ(s.sogMmPerSec, -4470);
    EXPECT_EQ(s.sogTenthsMph, -99);

    // Position fields shorter than their degrees: no read past the field, degrees 0.
    Apply("$PQVZR,HNX,PLT2,0,0,0,3,N,1,E,A,5,0,0,0,0,0", s);
    EXPECT_EQ(s.latDeg, 0);
    EXPECT_EQ(s.latUMin, 0);
    EXPECT_EQ(s.lonDeg, 0);
    EXPECT_EQ(s.lonUMin, 0);
}

TEST(GuidanceReply, PltUsesKnotsAndLeavesMillimetres) {
    GraphSample s{};
    s.sogMmPerSec = 1234;
    Apply("$PQVZR,HNX,PLT,0,0,0,3000.0,N,10000.0,E,A,5,0,10.00,0,0,0,1,1", s);
    EXPECT_EQ(s.sogTenthsMph, 1000 * 65536 / 569878);
    EXPECT_EQ(s.sogMmPerSec, 1234);
    EXPECT_EQ(s.yawRateFlag, 0); // fields 17 and 18 are not read for PLT
    EXPECT_EQ(s.reverseFlag, 0);
}

TEST(GuidanceReply, SettingsAndFilters) {
    GraphSample s{};
    EXPECT_EQ(Apply("$PQVZR,HNX,SET1,2,15,99,20,10,30,4,40,25,30,18", s), GuidanceReply::Record::Settings1);
    EXPECT_EQ(s.spsZCtrl, 2);
    EXPECT_EQ(s.spsOffset, 150);
    EXPECT_EQ(s.dTmMs, 200);
    EXPECT_EQ(s.olDeadBand, 100);
    EXPECT_EQ(s.olTonLen, 3000);
    EXPECT_EQ(s.laDeadBand, 40);
    EXPECT_EQ(s.laTonLen, 4000);
    EXPECT_EQ(s.whBas, 2500);
    EXPECT_EQ(s.minTurnRad, 3000);
    EXPECT_EQ(s.maxStrRat, 18);

    EXPECT_EQ(Apply("$PQVZR,HNX,SET12,1,-7,50,1,2,3,4,5,6,7", s), GuidanceReply::Record::Settings1);
    EXPECT_EQ(s.spsOffset, -7);
    EXPECT_EQ(s.maxStrRat, 7);

    EXPECT_EQ(Apply("$PQVZR,HNX,SET22,1,2,3,4,5,6,7,8,9,10,11,12", s), GuidanceReply::Record::Settings2);
    EXPECT_EQ(s.spsLSet, 1);
    EXPECT_EQ(s.solPwm, 8);
    EXPECT_EQ(s.cogFSmpls, 9);
    EXPECT_EQ(s.dTmActMs, 12);
    EXPECT_EQ(Apply("$PQVZR,HNX,SET2,9,9,9,9,9,9,9,9,50", s), GuidanceReply::Record::Settings2);
    EXPECT_EQ(s.cogFSmpls, 9); // SET2 carries no SET22 extras

    EXPECT_EQ(Apply("$PQVZR,HNX,PLT3,1,-100,200,300,400,-5", s), GuidanceReply::Record::Filters);
    EXPECT_EQ(s.draftFilterActive, 1);
    EXPECT_EQ(s.spsDeltaAlphaHunds, -100);
    EXPECT_EQ(s.Rev2WATenths, -5);

    // A scaled value that overflows wraps instead of being undefined.
    Apply("$PQVZR,HNX,SET1,0,2147483647,0,0,0,0,0,0,0,0,0", s);
    EXPECT_EQ(s.spsOffset, static_cast<std::int32_t>(2147483647u * 10u));
    EXPECT_EQ(Apply("$PQVZR,HNX,XYZ", s), GuidanceReply::Record::None);
}
