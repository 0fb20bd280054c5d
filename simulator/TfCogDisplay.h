#pragma once
#include <QWidget>

// Created hidden at start-up and kept until the program ends; the main window shows it and
// keeps its position.
class TfCogDisplay : public QWidget {
public:
    explicit TfCogDisplay(QWidget *parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName("fCogDisplay");
        setWindowTitle("COG Display");
    }
    // Course over ground in tenths of a degree; the graph window's redraw hands it over while
    // this window is shown.
    void SetCourse(int courseTenthsDeg) { (void)courseTenthsDeg; }
};
