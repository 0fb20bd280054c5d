#pragma once
#include <QDialog>

// Created hidden at start-up and kept until the program ends; the main window shows it and
// keeps its position.
class TfSendFilePopUp : public QDialog {
public:
    explicit TfSendFilePopUp(QWidget *parent = nullptr) : QDialog(parent, Qt::Dialog) {
        setObjectName("fSendFilePopUp");
        setWindowTitle("Send File Properties");
    }
};
