#include "GraphRenderer.h"

#include "GraphStatusText.h"
#include "SampleRing.h"

#include "Colors.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cstring>

namespace {

// Colours are kept as 0x00BBGGRR, the way the traces' table gives them.
constexpr std::uint32_t kBackground = 0xF3FBFD;
constexpr std::uint32_t kFrame = 0x800000;
constexpr std::uint32_t kGrid = 0x808080;
constexpr std::uint32_t kAxis = 0x404040;
constexpr std::uint32_t kLogMinor = 0xB3B3FF;
constexpr std::uint32_t kLogDecade = 0x0000FF;
constexpr std::uint32_t kTimeLabel = 0x371C4E;
constexpr std::uint32_t kHoldBand = 0xF7E6DB;
constexpr std::uint32_t kCursor = 0x008000;
constexpr std::uint32_t kRule = 0xFCEDEA;
constexpr std::uint32_t kLabel = 0x800000;

// Text columns and dividers of the status panel.
constexpr int kLabelX = 8, kValueX = 48, kModeX = 162, kNameX = 217, kTraceValueX = 297;
constexpr int kParamLabelX = 387, kParamValueX = 514, kParam2LabelX = 582, kParam2ValueX = 714;
constexpr int kBannerX = 175;
constexpr std::array<int, 3> kDividers{154, 381, 576};

void Line(QPainter &p, std::uint32_t colour, int x1, int y1, int x2, int y2) {
    p.setPen(QPen(platform::FromTColor(colour), 1));
    p.drawLine(x1, y1, x2, y2);
}

void Polygon(QPainter &p, std::uint32_t colour, std::uint32_t fill, std::initializer_list<QPoint> points) {
    p.setPen(QPen(platform::FromTColor(colour), 1));
    p.setBrush(platform::FromTColor(fill));
    p.drawPolygon(QPolygon(QList<QPoint>(points)));
}

void Symbol(QPainter &p, int symbol, int x, int y, std::uint32_t colour) {
    switch (symbol) {
    case 0:
    case 1:
        p.setPen(QPen(platform::FromTColor(colour), 1));
        p.setBrush(platform::FromTColor(symbol == 0 ? colour : kBackground));
        p.drawRect(x - 2, y - 2, 4, 4);
        break;
    case 2:
        Polygon(p, colour, colour, {{x - 3, y}, {x, y - 3}, {x + 3, y}});
        break;
    case 3:
        Polygon(p, colour, colour, {{x - 3, y}, {x, y + 3}, {x + 3, y}});
        break;
    default:
        Polygon(p, colour, symbol == 4 ? kBackground : colour,
                {{x, y - 3}, {x + 3, y}, {x, y + 3}, {x - 3, y}});
        break;
    }
}

std::string TimeOfDayTail(const GraphSample &sample) {
    const std::size_t length = strnlen(sample.tim, sizeof sample.tim);
    return length > 3 ? std::string(sample.tim + 3, length - 3) : std::string();
}

} // namespace

GraphRenderer::GraphRenderer()
    : label(MakeFont(16, false)), time(MakeFont(14, false)), banner(MakeFont(18, true)) {}

// Fonts are given by the height of their character cell, as the panel's rows are laid out.
GraphRenderer::Font GraphRenderer::MakeFont(int cellHeight, bool bold) {
    Font f;
    f.font = QFont(QStringLiteral("Courier New"));
    f.font.setStyleHint(QFont::TypeWriter);
    f.font.setFixedPitch(true);
    f.font.setPixelSize(cellHeight * 13 / 16);
    f.font.setBold(bold);
    f.ascent = QFontMetrics(f.font).ascent();
    return f;
}

void GraphRenderer::DrawText(QPainter &p, const Font &font, int x, int y, const std::string &latin1,
                             std::uint32_t colour, bool onBackground) const {
    // Leading blanks only place a value beside its label; they are not drawn, so they never
    // blank out the label.
    const std::size_t blanks = std::min(latin1.find_first_not_of(' '), latin1.size());
    const std::string shown = latin1.substr(blanks);
    if (shown.empty())
        return;
    const QString text = QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size()));
    const int left = x + Advance(font, latin1.substr(0, blanks));
    if (onBackground) {
        // A panel text stands on the background, one row high at the foot of its cell: the
        // cell is taller than a row, and its top holds the descenders of the row above.
        const QFontMetrics metrics(font.font);
        const int band = std::min(metrics.height(), GraphLayout::kRowStep);
        p.fillRect(QRect(left, y + metrics.height() - band, metrics.horizontalAdvance(text), band),
                   platform::FromTColor(kBackground));
    }
    p.setFont(font.font);
    p.setPen(platform::FromTColor(colour));
    p.drawText(left, y + font.ascent, text);
}

int GraphRenderer::Advance(const Font &font, const std::string &latin1) {
    return QFontMetrics(font.font).horizontalAdvance(
        QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())));
}

void GraphRenderer::DrawDevice(QPainter &p, int y, const DeviceIdentity &device) const {
    using namespace GraphStatusText;
    std::string identity = Identity(device);
    const std::string placed = Version(device);
    const std::size_t blanks = std::min(placed.find_first_not_of(' '), placed.size());
    const std::string version = placed.substr(blanks);
    if (version.empty()) {
        DrawText(p, label, kLabelX, y, identity, kLabel);
        return;
    }
    // The version stands where it belongs unless the identity reaches it: then it follows the
    // identity a blank later, as far as the left column has room for it; an identity longer
    // still is cut a blank short of the version.
    const int blank = Advance(label, " ");
    const int place = kValueX + Advance(label, placed.substr(0, blanks));
    const int room = kDividers[0] - Advance(label, version);
    const int versionX = std::max(place, std::min(kLabelX + Advance(label, identity) + blank, room));
    while (!identity.empty() && kLabelX + Advance(label, identity) + blank > versionX)
        identity.pop_back();
    DrawText(p, label, kLabelX, y, identity, kLabel);
    DrawText(p, label, versionX, y, version, kLabel);
}

std::optional<int> GraphRenderer::Draw(QImage &image, const GraphView &view, int newest) const {
    const GraphLayout &g = view.layout;
    QPainter p(&image);
    p.fillRect(QRect(0, 0, g.width, g.height), platform::FromTColor(kBackground));
    p.setPen(QPen(platform::FromTColor(kFrame), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 1, g.width - 2, g.height - 2);
    const int separator = g.height + 1 - GraphLayout::kPanelHeight;
    p.drawLine(0, separator, g.width, separator);

    DrawGrid(p, view, newest);
    std::optional<int> course;
    const int cursorSlot = SampleRing::Wrap(newest - view.cursorOffset);
    if (view.ring.Count() > 0 && view.ring.IsStored(cursorSlot)) {
        const GraphSample &sample = view.ring.At(cursorSlot);
        DrawPanel(p, view, sample);
        course = sample.cogTenthsDeg;
    }
    DrawTraces(p, view, newest);
    DrawCursor(p, view);
    return course;
}

void GraphRenderer::DrawGrid(QPainter &p, const GraphView &view, int newest) const {
    const GraphLayout &g = view.layout;
    if (view.logGrid) {
        const int hh = g.HalfHeight();
        for (int k = 2; k <= 1000; k += k < 10 ? 1 : k < 100 ? 10 : 100) {
            const int d = LogDistance(static_cast<std::uint32_t>(k), 10, hh);
            const std::uint32_t colour = k == 10 || k == 100 || k == 1000 ? kLogDecade : kLogMinor;
            Line(p, colour, g.left, g.centre - d, g.right + 1, g.centre - d);
            Line(p, colour, g.left, g.centre + d, g.right + 1, g.centre + d);
        }
    }
    if (view.linearGrid && g.yStep > 0)
        for (int d = g.yStep; g.centre - d > g.top; d += g.yStep) {
            Line(p, kGrid, g.left, g.centre - d, g.right, g.centre - d);
            Line(p, kGrid, g.left, g.centre + d, g.right, g.centre + d);
        }
    // Vertical lines stay with their samples as the chart scrolls: every fifth slot, every tenth darker.
    for (int x = g.right - newest % 5 * g.minor; x >= g.left; x -= g.major)
        Line(p, kGrid, x, g.top, x, g.bottom);
    Line(p, kAxis, g.left, g.centre, g.right, g.centre);
    Line(p, kAxis, g.left, g.top, g.right, g.top);
    Line(p, kAxis, g.left, g.bottom, g.right, g.bottom);
    for (int x = g.right; x >= g.left; x -= g.minor)
        Line(p, kAxis, x, g.centre - 4, x, g.centre + 4);
    for (int x = g.right - newest % 10 * g.minor; x >= g.left; x -= 2 * g.major)
        Line(p, kAxis, x, g.top, x, g.bottom);
}

void GraphRenderer::DrawTraces(QPainter &p, const GraphView &view, int newest) const {
    const GraphLayout &g = view.layout;
    const int shown = std::min(g.samplesShown, view.ring.Count());
    auto slotAt = [&](int j) { return SampleRing::Wrap(newest - (shown - 1 - j)); };
    auto xAt = [&](int j) { return g.right - (shown - 1 - j) * g.minor; };

    const auto first =
        std::find_if(view.traces.begin(), view.traces.end(), [](const TraceDescriptor &t) { return t.on; });
    if (first == view.traces.end())
        return;
    // Time labels and hold bands go under the traces, so no trace is hidden by them.
    for (int j = 1; j < shown; ++j) {
        const int slot = slotAt(j);
        const GraphSample &sample = view.ring.At(slot);
        const int x = xAt(j);
        if (sample.hld)
            p.fillRect(QRect(QPoint(x - g.minor / 2 - 3, g.top), QPoint(x - g.minor / 2 + 3, g.bottom)),
                       platform::FromTColor(kHoldBand));
        if (slot % 10 == 0)
            DrawText(p, time, x - 16, g.bottom + 1, TimeOfDayTail(sample), kTimeLabel, false);
    }
    for (int i = 0; i < kTraceCount; ++i) {
        const TraceDescriptor &trace = view.traces[i];
        if (!trace.on)
            continue;
        QPoint previous;
        for (int j = 0; j < shown; ++j) {
            const GraphSample &sample = view.ring.At(slotAt(j));
            const QPoint point(xAt(j), PlotRow(sample, i, trace, g));
            if (j > 0 && !sample.hld)
                Line(p, trace.colour, previous.x(), previous.y(), point.x(), point.y());
            Symbol(p, trace.symbol, point.x(), point.y(), trace.colour);
            previous = point;
        }
    }
}

void GraphRenderer::DrawCursor(QPainter &p, const GraphView &view) const {
    const GraphLayout &g = view.layout;
    if (view.cursorOffset >= g.samplesShown)
        return;
    const int x = g.right - view.cursorOffset * g.minor;
    Line(p, kCursor, x, g.top - 2, x, g.bottom + 2);
    Polygon(p, kCursor, kCursor, {{x, g.top - 2}, {x - 4, g.top - 10}, {x + 4, g.top - 10}});
    Polygon(p, kCursor, kCursor, {{x, g.bottom + 2}, {x - 4, g.bottom + 10}, {x + 4, g.bottom + 10}});
}

void GraphRenderer::DrawPanel(QPainter &p, const GraphView &view, const GraphSample &sample) const {
    using namespace GraphStatusText;
    const GraphLayout &g = view.layout;
    if (sample.firstRsp)
        DrawParameters(p, view, sample);

    const struct {
        int row;
        const char *name;
        std::string value;
    } rows[] = {
        {0, "Date", Date(sample)},
        {1, "Time", Time(sample)},
        {3, "Lat", Latitude(sample.latDeg, sample.latUMin)},
        {4, "Lon", Longitude(sample.lonDeg, sample.lonUMin)},
        {6, "Satellites", Satellites(sample)},
        {7, "DGPS Mode", DgpsMode(sample)},
    };
    for (const auto &r : rows) {
        DrawText(p, label, kLabelX, g.RowY(r.row), r.name, kLabel);
        DrawText(p, label, kValueX, g.RowY(r.row), r.value, kLabel);
    }
    for (std::size_t d = 0; d < view.identities.size(); ++d) {
        const DeviceIdentity &id = view.identities[d];
        const int y = g.RowY(9 + static_cast<int>(d));
        if (id.identity[0] == '\0')
            continue;
        if (view.serialNumberShown[d])
            DrawText(p, label, kLabelX, y, SerialNumber(id), kLabel);
        else
            DrawDevice(p, y, id);
    }
    DrawTraceBlock(p, view, sample);

    const Banner banner = ModeBanner(sample.strMode);
    if (banner.text != nullptr) {
        const int y = g.RowY(11) + 2;
        const QFontMetrics metrics(this->banner.font);
        p.fillRect(
            QRect(kBannerX, y, metrics.horizontalAdvance(QString::fromLatin1(banner.text)), metrics.height()),
            platform::FromTColor(banner.colour));
        DrawText(p, this->banner, kBannerX, y, banner.text, kBackground, false);
    }
}

void GraphRenderer::DrawTraceBlock(QPainter &p, const GraphView &view, const GraphSample &sample) const {
    const GraphLayout &g = view.layout;
    for (int i = 0; i < kTraceCount; ++i) {
        const TraceDescriptor &trace = view.traces[i];
        const int y = g.RowY(2 * i);
        DrawText(p, label, kModeX, y, GraphStatusText::TraceMode(trace.on, trace.log), kLabel);
        if (trace.on && trace.log)
            Polygon(p, kLogMinor, kLogMinor,
                    {{kModeX - 7, y + 3}, {kModeX - 2, y + 7}, {kModeX - 7, y + 11}});
        if (trace.on) {
            Line(p, trace.colour, 190, y + 7, 210, y + 7);
            for (const int x : {190, 200, 210})
                Symbol(p, trace.symbol, x, y + 7, trace.colour);
        }
        DrawText(p, label, kNameX, y, trace.name, trace.colour);
        DrawText(p, label, kTraceValueX, y, GraphStatusText::TraceValue(i, sample), trace.colour);
    }
}

void GraphRenderer::DrawParameters(QPainter &p, const GraphView &view, const GraphSample &sample) const {
    const GraphLayout &g = view.layout;
    // A rule under each of rows 1 to 11 (the last pixel row before the next row starts), and a
    // dark one under row 7 across the parameters.
    const auto under = [&](int row) { return g.RowY(row + 1) - 1; };
    for (int k = 1; k <= 11; ++k)
        Line(p, kRule, 0, under(k), g.width, under(k));
    Line(p, kFrame, kDividers[1], under(7), g.width, under(7));
    for (const int x : kDividers)
        Line(p, kFrame, x, g.PanelTop() + 2, x, g.height);
    const auto parameters = GraphStatusText::Parameters(sample);
    for (int k = 0; k < static_cast<int>(parameters.size()); ++k) {
        const auto &row = parameters[static_cast<std::size_t>(k)];
        const int y = g.RowY(k);
        DrawText(p, label, kParamLabelX, y, row.leftLabel, kLabel);
        DrawText(p, label, kParamValueX, y, row.leftValue, kLabel);
        DrawText(p, label, kParam2LabelX, y, row.rightLabel, kLabel);
        DrawText(p, label, kParam2ValueX, y, row.rightValue, kLabel);
    }
}
