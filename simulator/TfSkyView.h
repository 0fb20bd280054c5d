#pragma once
#include <QWidget>

// Created hidden at start-up and kept until the program ends; the main window shows it and
// keeps its position.
class TfSkyView : public QWidget {
public:
    explicit TfSkyView(QWidget *parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName("fSkyView");
        setWindowTitle("Sky View");
    }
    // Draws the range rings; the window's drawing comes with its own work.
    void DrawRings() {}
};
