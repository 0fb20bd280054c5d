// The main window's side of the acquire sequence and of device identification: the machines
// themselves run without the window, stepped from the poll.
#include "TfPelmora.h"

#include "AcquireSequence.h"
#include "DeviceIdRequest.h"
#include "SerialPort.h"

#include <QLabel>
#include <QPushButton>

void TfPelmora::CreateAcquireParts() {
    AcquireSequence::Actions actions;
    actions.setBaudRate = [this](std::int32_t baud) { serialPort->SetBaudRate(baud); };
    actions.sendSentence = [this](const char *text) { SendSentence(text); };
    actions.clearLcd = [this] { ClearLcd(); };
    actions.showStatus = [this](const char *text) { lAcquireBriskenStatus->setText(text); };
    // The receiver's name, version and serial are its bytes, shown as the monitor shows them:
    // Latin-1 text, never markup.
    lBriskenConnectionReport->setTextFormat(Qt::PlainText);
    actions.showReport = [this](const char *text) {
        lBriskenConnectionReport->setText(QString::fromLatin1(text));
    };
    actions.showButton = [this](bool shown) {
        bAcquireBrisken->setText("Acquire Brisken");
        bAcquireBrisken->setVisible(shown);
    };
    acquireSequence = std::make_unique<AcquireSequence>(std::move(actions));
    deviceIdRequest = std::make_unique<DeviceIdRequest>([this](const char *text) { SendSentence(text); });
    connect(bAcquireBrisken, &QPushButton::clicked, this, &TfPelmora::bClickAcquireBrisken);
}

bool TfPelmora::IsRidReceived() const {
    return acquireSequence->IsRidReceived();
}

void TfPelmora::SetAcquireState(int state) {
    acquireSequence->SetAcquireState(static_cast<std::uint8_t>(state));
}

void TfPelmora::AcquireStep() {
    acquireSequence->AcquireStep();
}

void TfPelmora::bClickAcquireBrisken() {
    if (bAcquireBrisken->text() == "Cancel") {
        bAcquireBrisken->setText("Acquire Brisken");
        serialPort->SetBaudRate(38400);
        SetAcquireState(0);
    } else {
        bAcquireBrisken->setText("Cancel");
        SetAcquireState(1);
    }
}

void TfPelmora::StartDeviceIdRequest() {
    deviceIdRequest->StartDeviceIdRequest();
}

void TfPelmora::TriggerDeviceIdRequest() {
    deviceIdRequest->TriggerDeviceIdRequest();
}

void TfPelmora::DeviceIdRequestStep() {
    deviceIdRequest->DeviceIdRequestStep();
}
