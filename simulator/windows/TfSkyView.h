#pragma once
#include "StretchedPictureWindow.h"

// The sky view: range rings about the zenith. Created hidden at start-up and kept until the
// program ends; the main window shows it and keeps its position.
class TfSkyView : public StretchedPictureWindow {
public:
    explicit TfSkyView(QWidget *parent = nullptr);

    // Draws the five range rings; the main window calls it each time it shows the window.
    void DrawRings();
};
