#include "TfSkyView.h"

#include "Colors.h"

#include <QPainter>
#include <cstdint>

namespace {

constexpr std::uint32_t kRingColor = 0xFF0000;
constexpr int kPenWidth = 2;

} // namespace

TfSkyView::TfSkyView(QWidget *parent) : StretchedPictureWindow("fSkyView", "Sky View", "pbSkyView", parent) {}

void TfSkyView::DrawRings() {
    const QColor face = platform::ButtonFaceColor();
    QPainter painter(&drawingBitmap);
    painter.fillRect(drawingRect, face);
    painter.setPen(QPen(platform::FromTColor(kRingColor), kPenWidth));
    painter.setBrush(face);
    // From the horizon inwards, a ring every tenth of the picture: radii 500, 400, 300, 200, 100.
    const QPoint centre(kPictureSize / 2, kPictureSize / 2);
    for (int radius = kPictureSize / 2; radius > kPictureSize / 100; radius -= kPictureSize / 10)
        painter.drawEllipse(centre, radius, radius);
    painter.end();
    ShowDrawing();
}
