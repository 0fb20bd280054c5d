#include "TpclMyCommStats.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QLabel *AddRow(QGridLayout *grid, QWidget *owner, int row, const char *caption, const char *name) {
    grid->addWidget(new QLabel(QString::fromLatin1(caption), owner), row, 0);
    auto *value = new QLabel(QStringLiteral("0"), owner);
    value->setObjectName(QString::fromLatin1(name));
    grid->addWidget(value, row, 1);
    return value;
}

} // namespace

TpclMyCommStats::TpclMyCommStats(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("pclMyCommStats"));
    setWindowTitle(QStringLiteral("Communication Statistics"));
    auto *grid = new QGridLayout(this);
    pclMyPacksTX = AddRow(grid, this, 0, "Packets Sent", "pclMyPacksTX");
    pclMyPacksRX = AddRow(grid, this, 1, "Packets Recv", "pclMyPacksRX");
    pclMyACKs = AddRow(grid, this, 2, "ACKs", "pclMyACKs");
    pclMyNAKInvalid = AddRow(grid, this, 3, "NAK Invalid", "pclMyNAKInvalid");
    pclMyNAKBuffFull = AddRow(grid, this, 4, "NAK Buff Full", "pclMyNAKBuffFull");
    auto *buttons = new QHBoxLayout;
    pclMyResetButton = new QPushButton(QStringLiteral("Reset"), this);
    pclMyResetButton->setObjectName(QStringLiteral("pclMyResetButton"));
    pclMyCloseButton = new QPushButton(QStringLiteral("Close"), this);
    pclMyCloseButton->setObjectName(QStringLiteral("pclMyCloseButton"));
    buttons->addWidget(pclMyResetButton);
    buttons->addWidget(pclMyCloseButton);
    grid->addLayout(buttons, 5, 0, 1, 2);
    connect(pclMyResetButton, &QPushButton::clicked, this, &TpclMyCommStats::ResetButtonClick);
    connect(pclMyCloseButton, &QPushButton::clicked, this, &TpclMyCommStats::CloseButtonClick);
    ResetCounters();
}

void TpclMyCommStats::ResetCounters() {
    ACKs = NAKInvalid = PacketsSent = PacketsReceived = NAKBuffFull = 0;
    for (QLabel *label : {pclMyPacksTX, pclMyPacksRX, pclMyACKs, pclMyNAKInvalid, pclMyNAKBuffFull})
        label->setText(QStringLiteral("0"));
}

void TpclMyCommStats::CountPacketTX() {
    pclMyPacksTX->setNum(++PacketsSent);
}

void TpclMyCommStats::CountPacketRX() {
    pclMyPacksRX->setNum(++PacketsReceived);
}

void TpclMyCommStats::CountACK() {
    pclMyACKs->setNum(++ACKs);
}

void TpclMyCommStats::CountNAKInvalid() {
    pclMyNAKInvalid->setNum(++NAKInvalid);
}

void TpclMyCommStats::CountNAKBuffFull() {
    pclMyNAKBuffFull->setNum(++NAKBuffFull);
}

void TpclMyCommStats::ResetButtonClick() {
    ResetCounters();
}

void TpclMyCommStats::CloseButtonClick() {
    hide();
}
