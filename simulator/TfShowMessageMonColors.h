#pragma once
#include <QDialog>

// Created hidden at start-up and kept until the program ends; the main window shows it and
// keeps its position.
class TfShowMessageMonColors : public QDialog {
public:
    explicit TfShowMessageMonColors(QWidget *parent = nullptr) : QDialog(parent, Qt::Dialog) {
        setObjectName("fShowMessageMonColors");
        setWindowTitle("Message Monitor Colors");
    }
};
