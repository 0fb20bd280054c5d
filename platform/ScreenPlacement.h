#pragma once
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace platform {

// Where a window with the frame rectangle `frame` goes so that the user can reach it: where it
// is when the screens' available areas (`areas`, the primary screen's first) cover it wholly;
// otherwise moved, and shrunk if larger, into the area it overlaps most, or into the first area
// when it overlaps none. Stored positions come from an ini file that may be typed by hand or
// brought from a machine with other screens.
QRect KeepOnScreens(const QRect &frame, const QList<QRect> &areas);

// The available areas of the screens there are now, the primary screen's first.
QList<QRect> AvailableAreas();

// A position or rectangle as read from a settings file, each value bounded so far beyond any
// screen that the arithmetic on it cannot overflow; a negative size counts as none.
QPoint StoredPosition(int left, int top);
QRect StoredRect(int left, int top, int width, int height);

// Places a window at a stored position (its frame's top left), with a stored client size when
// one is given, kept on the screens as KeepOnScreens says.
void PlaceWindow(QWidget &window, QPoint topLeft);
void PlaceWindow(QWidget &window, QPoint topLeft, QSize clientSize);

} // namespace platform
