#pragma once
#include <QWidget>

// Created hidden at start-up and kept until the program ends; the main window shows it and
// keeps its position.
class TfPositionDeviation : public QWidget {
public:
    explicit TfPositionDeviation(QWidget *parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName("fPositionDeviation");
        setWindowTitle("Deviation from Static Position");
    }
    bool IsShown() const { return isVisible(); }
};
