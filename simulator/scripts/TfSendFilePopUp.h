#pragma once
#include <QDialog>

class QLineEdit;

// Sets the delay between the lines of a sent file. Created hidden at start-up and kept until the
// program ends; the main window fills it, places it and shows it.
class TfSendFilePopUp : public QDialog {
public:
    explicit TfSendFilePopUp(QWidget *parent = nullptr);

    QLineEdit *DelayEdit() const { return ebMsDelayBetweenLines; }

private:
    QLineEdit *ebMsDelayBetweenLines = nullptr;
};
