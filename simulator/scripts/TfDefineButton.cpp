#include "TfDefineButton.h"

#include "Dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

TfDefineButton::TfDefineButton(QWidget *parent) : QDialog(parent, Qt::Dialog) {
    setObjectName("fDefineButton");
    setWindowTitle("Define Button");
    resize(560, 420);

    auto *captionLabel = new QLabel("Button Caption", this);
    captionLabel->setObjectName("lButtonCaption");
    ebButtonCaption = new QLineEdit(this);
    ebButtonCaption->setObjectName("ebButtonCaption");
    auto *scriptLabel = new QLabel("Button Scipt", this);
    scriptLabel->setObjectName("lButtonScript");
    // What the editor does with the lines; the interpreter's commands are in the README.
    scriptLabel->setToolTip(QString("One script line per line. Lines beginning with '~' are commands, the "
                                    "others are sent to the device. Empty lines are dropped, and so are "
                                    "blanks at either end of a line; a script holds at most %1 lines of "
                                    "%2 characters.")
                                .arg(kMaxLines)
                                .arg(kMaxLineLength));
    memoButtonText = new QPlainTextEdit(this);
    memoButtonText->setObjectName("memoButtonText");
    memoButtonText->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoButtonText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoButtonText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoButtonText->setToolTip(scriptLabel->toolTip());

    bOk = new QPushButton("OK", this);
    bOk->setObjectName("bOk");
    bOk->setDefault(false);
    bOk->setAutoDefault(false); // Enter belongs to the memo
    bCancel = new QPushButton("Cancel", this);
    bCancel->setObjectName("bCancel");
    bCancel->setAutoDefault(false);
    connect(bOk, &QPushButton::clicked, this, &TfDefineButton::accept);
    connect(bCancel, &QPushButton::clicked, this, &TfDefineButton::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(captionLabel, 0, 0);
    grid->addWidget(ebButtonCaption, 0, 1);
    grid->addWidget(scriptLabel, 1, 0, 1, 2);
    grid->addWidget(memoButtonText, 2, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bOk);
    buttons->addWidget(bCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
}

void TfDefineButton::SetButton(const QString &caption, const QStringList &lines) {
    ebButtonCaption->setText(caption);
    memoButtonText->setPlainText(lines.join('\n'));
}

QString TfDefineButton::GetCaption() const {
    // A pasted line break would split the caption's line in the settings file.
    QString caption = ebButtonCaption->text();
    caption.replace('\r', ' ').replace('\n', ' ');
    return caption;
}

QStringList TfDefineButton::GetLines() const {
    // Each line as the settings file gives it back, without the blanks at its ends, so the script
    // runs the same after a restart as it did before.
    QStringList lines;
    for (const QString &line : memoButtonText->toPlainText().split('\n'))
        if (const QString kept = line.trimmed(); !kept.isEmpty())
            lines.append(kept);
    return lines;
}

void TfDefineButton::accept() {
    // A running script uses no more than this; whatever went beyond would never run.
    const QStringList lines = GetLines();
    const bool tooLong = std::any_of(lines.begin(), lines.end(),
                                     [](const QString &line) { return line.size() > kMaxLineLength; });
    if (lines.size() > kMaxLines || tooLong) {
        platform::ShowMessage(QString("A button script holds at most %1 lines of at most %2 characters.")
                                  .arg(kMaxLines)
                                  .arg(kMaxLineLength),
                              "Define Button");
        return;
    }
    QDialog::accept();
}
