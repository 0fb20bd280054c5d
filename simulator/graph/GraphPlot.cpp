#include "GraphPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using Field = std::int16_t GraphSample::*;
constexpr std::array<Field, kTraceCount> kValueFields{
    &GraphSample::sogTenthsMph,    &GraphSample::cogTenthsDeg, &GraphSample::offErrCM,
    &GraphSample::angErrTenthsDeg, &GraphSample::waTenthDeg,   &GraphSample::solOut};
constexpr std::array<Field, kTraceCount> kLinearFields{&GraphSample::p0, &GraphSample::p1, &GraphSample::p2,
                                                       &GraphSample::p3, &GraphSample::p4, &GraphSample::p5};
constexpr std::array<Field, kTraceCount> kLogFields{&GraphSample::logP0, &GraphSample::logP1,
                                                    &GraphSample::logP2, &GraphSample::logP3,
                                                    &GraphSample::logP4, &GraphSample::logP5};

constexpr std::array<ScaleStep, 5> kAngleSteps{
    {{"18 deg/div", 900}, {"9 deg/div", 450}, {"4.5 deg/div", 225}, {"2 deg/div", 100}, {"1 deg/div", 50}}};

} // namespace

void TraceDescriptor::CycleMode() {
    switch (Mode()) {
    case TraceMode::Off:
        on = true;
        log = false;
        break;
    case TraceMode::Linear:
        log = true;
        break;
    case TraceMode::Log:
        on = false;
        log = false;
        break;
    }
}

TraceTable InitialTraces() {
    TraceTable t;
    t[0] = {"Speed(mph)",
            false,
            false,
            true,
            500,
            0,
            {{{"10 mph/div", 500},
              {"5 mph/div", 250},
              {"2 mph/div", 100},
              {"1 mph/div", 50},
              {".5 mph/div", 25}}},
            0x008000,
            2};
    t[1] = {"Course",
            false,
            false,
            true,
            1800,
            0,
            {{{"36 deg/div", 1800},
              {"36 deg/div", 1800},
              {"36 deg/div", 1800},
              {"36 deg/div", 1800},
              {"36 deg/div", 1800}}},
            0x800000,
            3};
    t[2] = {
        "Offset Err",
        true,
        false,
        true,
        250,
        3,
        {{{"10 m/div", 5000}, {" 5 m/div", 2500}, {" 1 m/div", 500}, {".5 m/div", 250}, {".1 m/div", 50}}},
        0x0000FF,
        0};
    t[3] = {"Angle Err", true, false, true, 100, 3, kAngleSteps, 0x800080, 1};
    t[4] = {"WheelAngle", true, false, true, 100, 3, kAngleSteps, 0x000080, 4};
    t[5] = {"Sol Drive",
            true,
            false,
            true,
            100,
            0,
            {{{"20%/div", 100}, {"10%/div", 50}, {"5%/div", 25}, {"2%/div", 10}, {"1%/div", 5}}},
            0x8400D8,
            5};
    return t;
}

GraphLayout ComputeLayout(int width, int height) {
    GraphLayout g;
    g.width = width;
    g.height = height;
    g.left = 14;
    g.right = width - 2 - 12;
    // Fifteen divisions of five samples each, the plot centred as far as whole pixels allow.
    while ((g.right - g.left) % 15 != 0)
        ++g.left;
    while (width - g.right < g.left) {
        --g.left;
        --g.right;
    }
    g.major = (g.right - g.left) / 15;
    g.minor = std::max(1, g.major / 5); // a tiny picture still steps forward
    g.samplesShown = std::min((g.right - g.left) / g.minor + 1, 4000);

    g.top = 14;
    g.bottom = height - GraphLayout::kPanelHeight - 2 - 12;
    while ((g.bottom - g.top) % 10 != 0)
        --g.bottom;
    while (g.top < height - g.bottom - GraphLayout::kPanelHeight) {
        ++g.top;
        ++g.bottom;
    }
    g.top -= 3;
    g.bottom -= 3;
    g.yStep = (g.bottom - g.top) / 10;
    g.centre = g.top + (g.bottom - g.top) / 2;
    return g;
}

int LogDistance(std::uint32_t m, std::uint32_t d, int halfHeight) {
    const double t = halfHeight / 3.0;
    const double dd = std::max<std::uint32_t>(d, 1); // the smallest scale's division is 1
    const double v = m;
    if (m == 0)
        return 0;
    if (v <= dd / 10)
        return static_cast<int>(std::lround(0.1 * t * 10 * v / dd));
    if (v <= dd)
        return static_cast<int>(std::floor(t * std::log10(10 * v / dd) + 0.5));
    if (v <= 10 * dd)
        return static_cast<int>(std::floor(t * std::log10(v / dd) + t + 0.5));
    if (v <= 100 * dd)
        return static_cast<int>(std::floor(t * std::log10(v / (10 * dd)) + 2 * t + 0.5));
    return halfHeight;
}

std::int16_t TraceValue(const GraphSample &sample, int trace) {
    return sample.*kValueFields[trace];
}

std::int16_t LinearRow(const GraphSample &sample, int trace) {
    return sample.*kLinearFields[trace];
}

std::int16_t LogValue(const GraphSample &sample, int trace) {
    return sample.*kLogFields[trace];
}

void ComputePlotFields(GraphSample &sample, const TraceTable &traces, const GraphLayout &layout) {
    const int hh = layout.HalfHeight();
    for (int i = 0; i < kTraceCount; ++i) {
        const TraceDescriptor &trace = traces[i];
        const int f = std::max<int>(trace.fullScale, 1);
        const std::uint32_t d = trace.fullScale / 5u;
        int row = 0;
        int logValue = 0;
        if (trace.isSigned) {
            const int v = TraceValue(sample, i);
            const int m = std::min(std::abs(v), f);
            const int distance = m * hh / f;
            const int logDistance = LogDistance(static_cast<std::uint32_t>(m), d, hh);
            row = v >= 0 ? layout.centre - distance : layout.centre + distance;
            logValue = v >= 0 ? layout.centre - logDistance : layout.centre + logDistance;
        } else {
            const int v = static_cast<std::uint16_t>(TraceValue(sample, i));
            row = std::max(layout.bottom - v * (layout.bottom - layout.top) / (2 * f), layout.top);
            logValue = LogDistance(static_cast<std::uint32_t>(v), d, hh);
        }
        sample.*kLinearFields[i] = static_cast<std::int16_t>(row);
        sample.*kLogFields[i] = static_cast<std::int16_t>(logValue);
    }
}

int PlotRow(const GraphSample &sample, int trace, const TraceDescriptor &descriptor,
            const GraphLayout &layout) {
    if (!descriptor.log)
        return LinearRow(sample, trace);
    if (descriptor.isSigned)
        return LogValue(sample, trace);
    const int hh = std::max(layout.HalfHeight(), 1);
    return layout.bottom - LogValue(sample, trace) * (layout.bottom - layout.top) / hh;
}
