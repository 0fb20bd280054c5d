#pragma once
#include <cstdint>

// One moment of the steering controller's guidance values; one row of a graph data file.
// The main window fills the current sample from received replies; the graph window stores it.
struct GraphSample {
    char dat[10];
    char tim[10];
    std::uint8_t hld;
    char rMd;
    std::uint8_t sats;
    std::int16_t latDeg;
    std::int32_t latUMin;
    std::int16_t lonDeg;
    std::int32_t lonUMin;
    std::int16_t sogTenthsMph;
    std::int16_t cogTenthsDeg;
    std::int16_t offErrCM;
    std::int16_t angErrTenthsDeg;
    std::int16_t waTenthDeg;
    std::int16_t solOut;
    std::int16_t p0, p1, p2, p3, p4, p5;
    std::int16_t logP0, logP1, logP2, logP3, logP4, logP5;
    std::int32_t sogMmPerSec;
    std::uint8_t strMode;
    std::uint8_t firstRsp; // "1stRsp": 1 once the first SET2 or SET22 reply has come
    std::int16_t spsZCtrl;
    std::int32_t spsOffset;
    std::int16_t dTmMs;
    std::int16_t dTmActMs;
    std::int32_t olDeadBand, olTonLen, laDeadBand, laTonLen, whBas, minTurnRad;
    std::int16_t maxStrRat;
    std::int16_t spsLSet, spsCSet, spsRSet;
    std::int16_t solCType, solDly, solMinDr, solMaxDr, solPwm;
    std::int16_t cogFSmpls;
    std::int16_t srmLeft, srmRight;
    std::uint8_t draftFilterActive;
    std::int32_t spsDeltaAlphaHunds, vtgWheelAngleHunds, ModeFilterHunds, draftFilterHunds, Rev2WATenths;
    std::int16_t spsCur;
    char yawRateFlag;
    char reverseFlag;
};
