#pragma once
#include "DeviceIdentity.h"
#include "GraphPlot.h"

#include <QFont>
#include <array>
#include <optional>

class QImage;
class QPainter;
class SampleRing;

// Everything a picture of the graph depends on.
struct GraphView {
    const SampleRing &ring;
    const TraceTable &traces;
    const GraphLayout &layout;
    const DeviceIdentitySet &identities;
    bool linearGrid = true;
    bool logGrid = true;
    int cursorOffset = 0; // samples back from the right edge
    std::array<bool, 3> serialNumberShown{};
};

// Draws the strip chart and its status panel onto an image the layout's size.
class GraphRenderer {
public:
    GraphRenderer();

    // The picture whose newest sample is the one in slot `newest`. Returns the course of the
    // sample the status panel shows, when it shows one.
    std::optional<int> Draw(QImage &image, const GraphView &view, int newest) const;

private:
    struct Font {
        QFont font;
        int ascent = 0;
    };
    static Font MakeFont(int cellHeight, bool bold);

    void DrawGrid(QPainter &p, const GraphView &view, int newest) const;
    void DrawTraces(QPainter &p, const GraphView &view, int newest) const;
    void DrawCursor(QPainter &p, const GraphView &view) const;
    void DrawPanel(QPainter &p, const GraphView &view, const GraphSample &sample) const;
    void DrawTraceBlock(QPainter &p, const GraphView &view, const GraphSample &sample) const;
    void DrawParameters(QPainter &p, const GraphView &view, const GraphSample &sample) const;
    // Texts of the status panel are drawn on the background; the others leave what lies below.
    void DrawText(QPainter &p, const Font &font, int x, int y, const std::string &latin1,
                  std::uint32_t colour, bool onBackground = true) const;
    static int Advance(const Font &font, const std::string &latin1);
    // A device's identity and version on its row of the status panel.
    void DrawDevice(QPainter &p, int y, const DeviceIdentity &device) const;

    Font label;
    Font time;
    Font banner;
};
