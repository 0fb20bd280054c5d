#pragma once
#include <QDialog>

// Created hidden at start-up and kept until the program ends; the main window shows it and
// keeps its position.
class TfDefineButton : public QDialog {
public:
    explicit TfDefineButton(QWidget *parent = nullptr) : QDialog(parent, Qt::Dialog) {
        setObjectName("fDefineButton");
        setWindowTitle("Define Button");
    }
};
