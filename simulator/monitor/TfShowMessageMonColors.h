#pragma once
#include <QDialog>

class QListWidget;
class QPushButton;

// The monitor's colour legend: one line per kind of message, drawn in the colour the monitor
// gives it. Created hidden at start-up and kept until the program ends; the main window shows
// it modally and keeps its position.
class TfShowMessageMonColors : public QDialog {
public:
    explicit TfShowMessageMonColors(QWidget *parent = nullptr);

private:
    QListWidget *lbMsgMonColors = nullptr;
    QPushButton *bOK = nullptr;
};
