#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The modal dialog in which the user picks the card's COM port, the download baud rate and the
// connect rate. Fixed lists only; it does not look at which ports the machine has.
class TPortSetup : public QDialog {
    Q_OBJECT
public:
    explicit TPortSetup(QWidget *owner = nullptr);

    void SetDownloadBaud(int rate);
    void SetConnectBaud(int rate);
    void SetComPort(int port);
    int GetComPort() const { return iComPort; }
    int GetDownloadBaud() const { return iDownloadBaud; }
    int GetConnectBaud() const { return iConnectBaud; }
    // Whether a list offers the rate; the connect rate 0 is BREAK.
    static bool OffersDownloadRate(long long rate);
    static bool OffersConnectRate(long long rate);

    void OKButtonClick();
    void pclMyCancelButtonClick();

    QComboBox *pclMyComPortBox;
    QComboBox *pclMyDownloadBaudrateBox;
    QComboBox *pclMyConnectBaudrateBox;
    QPushButton *pclMyOKButton;
    QPushButton *pclMyCancelButton;

private:
    int iDownloadBaud = 0;
    int iConnectBaud = 0;
    int iComPort = 0;
};
