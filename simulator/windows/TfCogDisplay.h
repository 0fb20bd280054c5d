#pragma once
#include "StretchedPictureWindow.h"

// The course-over-ground arrow. Created hidden at start-up and kept until the program ends; the
// graph window shows and hides it and hands it the course of the sample it shows.
class TfCogDisplay : public StretchedPictureWindow {
public:
    explicit TfCogDisplay(QWidget *parent = nullptr);

    // Course over ground in tenths of a degree; the graph window's redraw hands it over while
    // this window is shown.
    void SetCourse(int courseTenthsDeg);
    double GetCourse() const { return course; }

private:
    void Redraw();

    double course = 0.0; // radians, clockwise from north
};
