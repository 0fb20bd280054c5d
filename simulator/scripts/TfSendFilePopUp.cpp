#include "TfSendFilePopUp.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfSendFilePopUp::TfSendFilePopUp(QWidget *parent) : QDialog(parent, Qt::Dialog) {
    setObjectName("fSendFilePopUp");
    setWindowTitle("Send File Properties");

    auto *label = new QLabel("millisecond delay between lines", this);
    label->setObjectName("lMsDelayBetweenLines");
    ebMsDelayBetweenLines = new QLineEdit("0", this);
    ebMsDelayBetweenLines->setObjectName("ebMsDelayBetweenLines");
    auto *bOk = new QPushButton("Ok", this);
    bOk->setObjectName("bOk");
    bOk->setDefault(true);
    auto *bCancel = new QPushButton("Cancel", this);
    bCancel->setObjectName("bCancel");
    connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *column = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(ebMsDelayBetweenLines);
    row->addWidget(label);
    column->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bOk);
    buttons->addWidget(bCancel);
    column->addLayout(buttons);
}
