#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// Counts a run's traffic: packets and boot records sent, frames received, acknowledgements
// and the two kinds of negative acknowledgement. Never shown; its labels track the counters.
class TpclMyCommStats : public QDialog {
    Q_OBJECT
public:
    explicit TpclMyCommStats(QWidget *owner = nullptr);

    void ResetCounters();
    void CountPacketTX();
    void CountPacketRX();
    void CountACK();
    void CountNAKInvalid();
    void CountNAKBuffFull();

    int GetACKs() const { return ACKs; }
    int GetNAKInvalid() const { return NAKInvalid; }
    int GetPacketsSent() const { return PacketsSent; }
    int GetPacketsReceived() const { return PacketsReceived; }
    int GetNAKBuffFull() const { return NAKBuffFull; }

    void ResetButtonClick();
    void CloseButtonClick();

private:
    int ACKs = 0;
    int NAKInvalid = 0;
    int PacketsSent = 0;
    int PacketsReceived = 0;
    int NAKBuffFull = 0;

    QLabel *pclMyPacksTX;
    QLabel *pclMyPacksRX;
    QLabel *pclMyACKs;
    QLabel *pclMyNAKInvalid;
    QLabel *pclMyNAKBuffFull;
    QPushButton *pclMyResetButton;
    QPushButton *pclMyCloseButton;
};
