#include "TfCogDisplay.h"

#include "Colors.h"
#include "Geometry.h"

#include <QPainter>
#include <QPolygon>
#include <array>
#include <cstdint>
#include <numbers>

namespace {

// The arrow as (east, north) in units of its scale: the head, the shaft, and the first side again
// so the outline closes with a proper corner at the tip.
constexpr std::array<RealPoint, 9> kArrowOutline{
    {{0, 1}, {0.8, 0}, {0.3, 0}, {0.3, -1}, {-0.3, -1}, {-0.3, 0}, {-0.8, 0}, {0, 1}, {0.8, 0}}};
constexpr int kClosedOutlinePoints = 8;
constexpr std::uint32_t kOutlineColor = 0x808000;
constexpr std::uint32_t kFillColor = 0x00FFFF;
constexpr int kPenWidth = 4;
constexpr int kOffset = 100;
constexpr int kFrameNear = 20;
constexpr int kFrameFar = 980;

} // namespace

TfCogDisplay::TfCogDisplay(QWidget *parent)
    : StretchedPictureWindow("fCogDisplay", "COG Display", "pbCogDisplay", parent) {
    Redraw(); // a course of 0 until the graph hands one over
}

void TfCogDisplay::SetCourse(int courseTenthsDeg) {
    course = courseTenthsDeg * std::numbers::pi / 180 * 0.1;
    Redraw();
}

void TfCogDisplay::Redraw() {
    QPainter painter(&drawingBitmap);
    painter.fillRect(drawingRect, platform::ButtonFaceColor());

    const double scale = (kPictureSize - 10) * 0.4;
    QPolygon outline;
    for (std::size_t i = 0; i < kArrowOutline.size(); ++i) {
        const RealPoint point = kArrowOutline[i];
        // North first and east second: the course then turns the arrow clockwise from straight up.
        const RealPoint turned = Rotate({scale * point.y, scale * point.x}, course);
        const double nudge = i == 0 ? 0.0 : 0.6;
        outline << QPoint(static_cast<int>(scale + turned.y + kOffset - nudge),
                          static_cast<int>(scale - turned.x + kOffset - nudge));
    }

    // Filling the closed outline and drawing the outline over it colours exactly what a flood fill
    // from inside the head up to the outline colours.
    painter.setPen(Qt::NoPen);
    painter.setBrush(platform::FromTColor(kFillColor));
    painter.drawPolygon(outline.first(kClosedOutlinePoints));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(platform::FromTColor(kOutlineColor), kPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(outline);
    painter.drawPolyline(QPolygon{QPoint(kFrameNear, kFrameNear), QPoint(kFrameFar, kFrameNear),
                                  QPoint(kFrameFar, kFrameFar), QPoint(kFrameNear, kFrameFar),
                                  QPoint(kFrameNear, kFrameNear)});
    painter.end();
    ShowDrawing();
}
