#pragma once
#include <QWidget>

// A placeholder with no contents yet. Created hidden at start-up and kept until the program
// ends; the main window shows it and keeps its position.
class TfGpsSimulator : public QWidget {
public:
    explicit TfGpsSimulator(QWidget *parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName("fGpsSimulator");
        setWindowTitle("GPS Simulator");
        resize(300, 200);
    }
};
