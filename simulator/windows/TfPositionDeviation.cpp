#include "TfPositionDeviation.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kCaptionLeft = 10;
constexpr int kValueLeft = 150;
constexpr int kSecondValueLeft = 290;
constexpr int kValueWidth = 130;
constexpr int kRowHeight = 22;
constexpr int kRowPitch = 30;

int RowTop(int row) {
    return 12 + row * kRowPitch;
}

void MakeCaption(QWidget *parent, const QString &text, int row) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(kCaptionLeft, RowTop(row), kValueLeft - kCaptionLeft - 8, kRowHeight);
}

// A value in a sunken panel, right-aligned as figures are.
void MakeValue(QWidget *parent, const char *name, const QString &text, int row, int left) {
    auto *panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(left, RowTop(row), kValueWidth, kRowHeight);
    auto *label = new QLabel(text, panel);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(panel->contentsRect().adjusted(2, 0, -4, 0));
}

void MakeButton(QWidget *parent, const char *name, const QString &caption, int left) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, RowTop(5) + 10, 80, 26);
}

} // namespace

TfPositionDeviation::TfPositionDeviation(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName("fPositionDeviation");
    setWindowTitle("Deviation from Static Position");
    setFixedSize(kSecondValueLeft + kValueWidth + 10, RowTop(6) + 20);

    MakeCaption(this, "Reference Position", 0);
    MakeCaption(this, "Current Position", 1);
    MakeCaption(this, "Sample Count Target", 2);
    MakeCaption(this, "Sample Count", 3);
    MakeCaption(this, "Horizontal RMS Error", 4);
    MakeValue(this, "lReferencePositionLat", "30° 34.123456' N", 0, kValueLeft);
    MakeValue(this, "lReferencePositionLon", "101° 59.123456' W", 0, kSecondValueLeft);
    MakeValue(this, "lCurrentPositionLat", "30° 35.234567' N", 1, kValueLeft);
    MakeValue(this, "lCurrentPositionLon", "101° 59.123456' W", 1, kSecondValueLeft);
    MakeValue(this, "lSampleTarget", "600", 2, kValueLeft);
    MakeValue(this, "lSampleCount", "123", 3, kValueLeft);
    MakeValue(this, "lDeviation", "0.00 m", 4, kValueLeft);

    MakeButton(this, "bStopRun", "Stop", 60);
    MakeButton(this, "bReset", "Reset", 170);
    MakeButton(this, "bClose", "Close", 280);
}
