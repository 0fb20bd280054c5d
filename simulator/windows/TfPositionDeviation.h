#pragma once
#include <QWidget>

// How far the position wanders from a static reference. Only its designed contents show: nothing
// fills its values and its buttons do nothing. Created hidden at start-up and kept until the
// program ends; the main window shows it and keeps its position.
class TfPositionDeviation : public QWidget {
public:
    explicit TfPositionDeviation(QWidget *parent = nullptr);

    // Its shown flag is the window's own: set when it is shown, cleared when it is hidden or
    // closed, kept while it is minimised.
    bool IsShown() const { return isVisible(); }
};
