#pragma once
#include <QWidget>

// The satellite status list, with no contents yet. Created hidden at start-up and kept until the
// program ends; the main window shows it and keeps its position.
class TfSvStatus : public QWidget {
public:
    explicit TfSvStatus(QWidget *parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName("fSvStatus");
        setWindowTitle("Satellite Vehicle Status list");
        resize(300, 200);
    }
    bool IsShown() const { return isVisible(); }
};
