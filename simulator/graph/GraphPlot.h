#pragma once
#include "GraphSample.h"

#include <array>
#include <cstdint>
#include <string>

// The arithmetic of the strip chart: the six traces with their scales, the plot's layout for a
// picture size, and the rows a sample's values are plotted at. No widgets, so a test can check
// every number.

struct ScaleStep {
    const char *label; // what the scale popup shows
    std::uint16_t fullScale;
};

enum class TraceMode { Off, Linear, Log };

struct TraceDescriptor {
    std::string name;
    // A signed trace is drawn about the centre row, five divisions each way; an unsigned one
    // from the bottom row, ten divisions up.
    bool isSigned = false;
    bool log = false;
    bool on = true;
    std::uint16_t fullScale = 0; // in the field's own units
    int scaleStep = 0;
    std::array<ScaleStep, 5> steps{};
    std::uint32_t colour = 0; // 0x00BBGGRR
    int symbol = 0;

    TraceMode Mode() const { return !on ? TraceMode::Off : log ? TraceMode::Log : TraceMode::Linear; }
    // A click steps off, linear, log, off.
    void CycleMode();
};

constexpr int kTraceCount = 6;
using TraceTable = std::array<TraceDescriptor, kTraceCount>;

// Speed, course, offset error, angle error, wheel angle (or yaw rate), solenoid drive.
TraceTable InitialTraces();

struct GraphLayout {
    int width = 0;
    int height = 0;
    int left = 0;
    int right = 0;
    int major = 0; // x step of a grid division: five samples
    int minor = 0; // x step of one sample
    int samplesShown = 0;
    int top = 0;
    int bottom = 0;
    int yStep = 0;
    int centre = 0;

    static constexpr int kPanelHeight = 180;
    static constexpr int kRowStep = 14;
    int PanelTop() const { return height - kPanelHeight; }
    // The top of status panel row k (0..11).
    int RowY(int k) const { return height - kPanelHeight + 4 + kRowStep * k; }
    int HalfHeight() const { return centre - top; }
};

GraphLayout ComputeLayout(int width, int height);

// L(m): the distance from the centre at which a magnitude m is drawn on the log scale whose
// first decade ends at d; each of three decades takes a third of the half height.
int LogDistance(std::uint32_t m, std::uint32_t d, int halfHeight);

std::int16_t TraceValue(const GraphSample &sample, int trace);
std::int16_t LinearRow(const GraphSample &sample, int trace);
std::int16_t LogValue(const GraphSample &sample, int trace);

// Fills p0..p5 and logP0..logP5 from the trace values and the current scales.
void ComputePlotFields(GraphSample &sample, const TraceTable &traces, const GraphLayout &layout);

// The row a trace's point is drawn at, by its mode. An unsigned trace's log value is a distance:
// its three decades span the plot from the bottom row to the top.
int PlotRow(const GraphSample &sample, int trace, const TraceDescriptor &descriptor,
            const GraphLayout &layout);
