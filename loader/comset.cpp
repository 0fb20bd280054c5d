#include "comset.h"

#include "ExceptionApplication.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace {

const char *const downloadRates[] = {"300",    "1200",    "2400",    "4800",    "9600",    "19200",
                                     "38400",  "57600",   "115200",  "230400",  "460800",  "868100",
                                     "921600", "1116100", "1302100", "1562500", "1953125", "2604165"};
const char *const connectRates[] = {"BREAK", "300",   "1200",  "2400",  "4800",
                                    "9600",  "19200", "38400", "57600", "115200"};

QComboBox *AddList(QGridLayout *grid, QWidget *owner, int row, const char *labelName, const char *caption,
                   const char *listName) {
    auto *label = new QLabel(QString::fromLatin1(caption), owner);
    label->setObjectName(QString::fromLatin1(labelName));
    auto *list = new QComboBox(owner);
    list->setObjectName(QString::fromLatin1(listName));
    list->setEditable(false);
    grid->addWidget(label, row, 0);
    grid->addWidget(list, row, 1);
    return list;
}

// Selects the first item whose text is exactly the wanted one; none when nothing matches.
void SelectByText(QComboBox *list, const QString &text) {
    list->setCurrentIndex(list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

template <std::size_t N> bool Offers(const char *const (&rates)[N], long long rate) {
    const QByteArray text = QByteArray::number(rate);
    return std::any_of(std::begin(rates), std::end(rates),
                       [&text](const char *item) { return text == item; });
}

int SelectedRate(const QComboBox *list) {
    bool ok = false;
    const int rate = list->currentText().toInt(&ok);
    if (list->currentIndex() < 0 || !ok)
        throw std::invalid_argument("'" + list->currentText().toStdString() +
                                    "' is not a valid integer value");
    return rate;
}

} // namespace

TPortSetup::TPortSetup(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("PortSetup"));
    setWindowTitle(QStringLiteral("Com Port Setup"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    resize(271, 143);
    auto *grid = new QGridLayout(this);
    pclMyComPortBox = AddList(grid, this, 0, "pclMyComLabel", "Com Port", "pclMyComPortBox");
    pclMyDownloadBaudrateBox =
        AddList(grid, this, 1, "pclMyDnldBaudLabel", "Download Baudrate", "pclMyDownloadBaudrateBox");
    pclMyConnectBaudrateBox =
        AddList(grid, this, 2, "pclMyCnctBaudLabel", "Connect Baudrate", "pclMyConnectBaudrateBox");
    for (int port = 1; port <= 50; ++port)
        pclMyComPortBox->addItem(QStringLiteral("COM%1").arg(port));
    for (const char *rate : downloadRates)
        pclMyDownloadBaudrateBox->addItem(QString::fromLatin1(rate));
    for (const char *rate : connectRates)
        pclMyConnectBaudrateBox->addItem(QString::fromLatin1(rate));

    auto *buttons = new QHBoxLayout;
    pclMyOKButton = new QPushButton(QStringLiteral("OK"), this);
    pclMyOKButton->setObjectName(QStringLiteral("pclMyOKButton"));
    pclMyOKButton->setDefault(true);
    pclMyCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    pclMyCancelButton->setObjectName(QStringLiteral("pclMyCancelButton"));
    buttons->addWidget(pclMyOKButton);
    buttons->addWidget(pclMyCancelButton);
    grid->addLayout(buttons, 3, 0, 1, 2);
    // A list without a selection fails the conversion: the box shows it and the dialog stays open.
    connect(pclMyOKButton, &QPushButton::clicked, this, [this] {
        try {
            OKButtonClick();
        } catch (...) {
            platform::ExceptionApplication::ShowException(std::current_exception());
        }
    });
    connect(pclMyCancelButton, &QPushButton::clicked, this, &TPortSetup::pclMyCancelButtonClick);
}

bool TPortSetup::OffersDownloadRate(long long rate) {
    return Offers(downloadRates, rate);
}

bool TPortSetup::OffersConnectRate(long long rate) {
    return rate == 0 || Offers(connectRates, rate);
}

void TPortSetup::SetDownloadBaud(int rate) {
    iDownloadBaud = rate;
    SelectByText(pclMyDownloadBaudrateBox, QString::number(rate));
}

void TPortSetup::SetConnectBaud(int rate) {
    iConnectBaud = rate;
    SelectByText(pclMyConnectBaudrateBox, rate == 0 ? QStringLiteral("BREAK") : QString::number(rate));
}

void TPortSetup::SetComPort(int port) {
    iComPort = port;
    pclMyComPortBox->setCurrentIndex(port >= 1 && port <= 50 ? port - 1 : -1);
}

void TPortSetup::OKButtonClick() {
    // A list without a selection raises before anything changes.
    const int download = SelectedRate(pclMyDownloadBaudrateBox);
    const int connect =
        pclMyConnectBaudrateBox->currentIndex() == 0 ? 0 : SelectedRate(pclMyConnectBaudrateBox);
    iDownloadBaud = download;
    iConnectBaud = connect;
    // A port the list does not show (one reached through a port mapping) stays as it was handed in.
    if (pclMyComPortBox->currentIndex() >= 0)
        iComPort = pclMyComPortBox->currentIndex() + 1;
    accept();
}

void TPortSetup::pclMyCancelButtonClick() {
    reject();
}
