#pragma once
#include "ButtonScriptInterpreter.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// Edits one user button: its caption and its script, one line per script line. Created hidden
// at start-up and kept until the program ends; the main window fills it, places it and shows it.
class TfDefineButton : public QDialog {
public:
    static constexpr int kMaxLines = 100;
    // The longest line a script runs; a longer one typed here would not run whole.
    static constexpr int kMaxLineLength = ButtonScriptInterpreter::kLineLimit;

    explicit TfDefineButton(QWidget *parent = nullptr);

    void SetButton(const QString &caption, const QStringList &lines);
    // The caption on one line.
    QString GetCaption() const;
    // The script's lines without the empty ones and without blanks at their ends.
    QStringList GetLines() const;

    // OK keeps the dialog open, with a message, while the script does not fit a button.
    void accept() override;

private:
    QLineEdit *ebButtonCaption = nullptr;
    QPlainTextEdit *memoButtonText = nullptr;
    QPushButton *bOk = nullptr;
    QPushButton *bCancel = nullptr;
};
