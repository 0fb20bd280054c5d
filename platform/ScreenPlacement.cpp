#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace platform {
namespace {

constexpr int kFarthest = 1 << 24; // as far as a window's size may reach

qint64 Overlap(const QRect &a, const QRect &b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

// The window's placed frame: the position as given, the client size widened by the frame the
// window manager has added (none before the window was first shown).
void Place(QWidget &window, QPoint topLeft, QSize clientSize, bool resize) {
    const QSize frameExtra = window.frameGeometry().size() - window.size();
    const QSize client = clientSize.expandedTo(window.minimumSize()).boundedTo(window.maximumSize());
    const QRect placed =
        KeepOnScreens(QRect(StoredPosition(topLeft.x(), topLeft.y()), client + frameExtra), AvailableAreas());
    if (resize)
        window.resize(placed.size() - frameExtra);
    window.move(placed.topLeft());
}

} // namespace

QList<QRect> AvailableAreas() {
    QList<QRect> areas;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas.append(screen->availableGeometry());
    return areas;
}

QPoint StoredPosition(int left, int top) {
    return {std::clamp(left, -kFarthest, kFarthest), std::clamp(top, -kFarthest, kFarthest)};
}

QRect StoredRect(int left, int top, int width, int height) {
    return {StoredPosition(left, top),
            QSize(std::clamp(width, 0, kFarthest), std::clamp(height, 0, kFarthest))};
}

QRect KeepOnScreens(const QRect &frame, const QList<QRect> &areas) {
    if (areas.isEmpty())
        return frame;
    QRegion screens;
    for (const QRect &area : areas)
        screens += area;
    if (QRegion(frame).subtracted(screens).isEmpty())
        return frame;
    const QRect *best = &areas.front();
    for (const QRect &area : areas)
        if (Overlap(frame, area) > Overlap(frame, *best))
            best = &area;
    QRect placed(frame.topLeft(), frame.size().boundedTo(best->size()));
    placed.moveLeft(std::clamp(placed.left(), best->left(), best->right() - placed.width() + 1));
    placed.moveTop(std::clamp(placed.top(), best->top(), best->bottom() - placed.height() + 1));
    return placed;
}

void PlaceWindow(QWidget &window, QPoint topLeft) {
    Place(window, topLeft, window.size(), false);
}

void PlaceWindow(QWidget &window, QPoint topLeft, QSize clientSize) {
    Place(window, topLeft, clientSize, true);
}

} // namespace platform
