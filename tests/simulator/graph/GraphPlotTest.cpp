#include "GraphPlot.h"

#include <gtest/gtest.h>

TEST(GraphPlot, LayoutOfTheDesignedPicture) {
    const GraphLayout g = ComputeLayout(786, 448);
    EXPECT_EQ(g.left, 18);
    EXPECT_EQ(g.right, 768);
    EXPECT_EQ(g.major, 50);
    EXPECT_EQ(g.minor, 10);
    EXPECT_EQ(g.samplesShown, 76);
    EXPECT_EQ(g.top, 11);
    EXPECT_EQ(g.bottom, 251);
    EXPECT_EQ(g.yStep, 24);
    EXPECT_EQ(g.centre, 131);
    EXPECT_EQ(g.RowY(0), 272);
    EXPECT_EQ(g.RowY(11), 426);
}

TEST(GraphPlot, LogDistanceTakesAThirdOfTheHalfHeightADecade) {
    // Half height 120, first decade ending at 20 (a full scale of 100).
    const struct {
        std::uint32_t m;
        int expected;
    } cases[] = {
        {0, 0},      {1, 2},       {2, 4}, // up to a tenth of a decade: linear, round(0.1 x 40 x 10m/20)
        {3, 7},                            // 40 x log10(1.5) + 0.5
        {20, 40},    {21, 41},             // the end of the first decade
        {200, 80},   {2000, 120},          // the ends of the second and third
        {2001, 120}, {65535, 120},         // beyond: the half height
    };
    for (const auto &c : cases)
        EXPECT_EQ(LogDistance(c.m, 20, 120), c.expected) << c.m;
}

TEST(GraphPlot, PlotRowsOfSignedAndUnsignedTraces) {
    const TraceTable traces = InitialTraces();
    const GraphLayout g = ComputeLayout(786, 448);
    GraphSample s{};
    s.sogTenthsMph = 250;    // half of the centre row's 500: a quarter of the height up
    s.cogTenthsDeg = 3700;   // above twice the full scale: held at the top row
    s.offErrCM = -125;       // half of the 250 full scale, below the centre
    s.angErrTenthsDeg = 500; // beyond the 100 full scale: held at it
    s.waTenthDeg = 0;
    s.solOut = -100;
    ComputePlotFields(s, traces, g);
    EXPECT_EQ(s.p0, 251 - 250 * 240 / 1000);
    EXPECT_EQ(s.p1, 11);
    EXPECT_EQ(s.p2, 131 + 60);
    EXPECT_EQ(s.p3, 131 - 120);
    EXPECT_EQ(s.p4, 131);
    EXPECT_EQ(s.p5, 131 + 120);
    EXPECT_EQ(s.logP0, LogDistance(250, 100, 120));
    EXPECT_EQ(s.logP2, 131 + LogDistance(125, 50, 120));
    EXPECT_EQ(s.logP3, 131 - LogDistance(100, 20, 120)); // held at the full scale
    EXPECT_EQ(s.logP4, 131);

    // A reversing speed counts as a large unsigned value: the top row.
    s.sogTenthsMph = -57;
    ComputePlotFields(s, traces, g);
    EXPECT_EQ(s.p0, 11);
}

TEST(GraphPlot, TraceModesAndTheInitialTable) {
    TraceTable traces = InitialTraces();
    EXPECT_EQ(traces[4].name, "WheelAngle");
    EXPECT_EQ(traces[2].fullScale, traces[2].steps[traces[2].scaleStep].fullScale);
    EXPECT_EQ(traces[2].steps[0].label, std::string("10 m/div"));
    TraceDescriptor &t = traces[0];
    EXPECT_EQ(t.Mode(), TraceMode::Linear);
    t.CycleMode();
    EXPECT_EQ(t.Mode(), TraceMode::Log);
    t.CycleMode();
    EXPECT_EQ(t.Mode(), TraceMode::Off);
    t.CycleMode();
    EXPECT_EQ(t.Mode(), TraceMode::Linear);
}
