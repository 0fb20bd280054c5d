// The main window's link to the device: the 10 ms poll, what it does with each received line,
// the outgoing side, Connect and the manual send line.
#include "TfPelmora.h"

#include "AcquireSequence.h"
#include "DeviceIdRequest.h"
#include "FieldDecoders.h"
#include "GuidanceReply.h"
#include "MessageMonitor.h"
#include "SentenceParser.h"
#include "SerialPort.h"
#include "TfGraphicDisplay.h"
#include "TickTimer.h"

#include "Dialogs.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>

using namespace FieldDecoders;

namespace {

// Copies a field into a fixed text, cut to fit and always terminated.
template <std::size_t N> void CopyBounded(char (&destination)[N], std::string_view field) {
    const std::size_t count = std::min(field.size(), N - 1);
    std::copy_n(field.begin(), count, destination);
    destination[count] = '\0';
}

} // namespace

bool TfPelmora::IsPortOpen() const {
    return serialPort->IsOpen();
}

void TfPelmora::PanelReset() {}

void TfPelmora::T10msTick() {
    try {
        PollSerialPort();
    } catch (...) {
        // A failing tick is dropped; the next one polls as usual.
    }
}

void TfPelmora::PollSerialPort() {
    if (pollBusy)
        return;
    pollBusy = true;
    struct ClearBusy {
        bool &flag;
        ~ClearBusy() { flag = false; }
    } clearBusy{pollBusy};

    SendKeyRelease(keyReleaseHold.TakeDue(tickTimer->Now()));

    if (tickTimer->ElapsedOver(rxStamp, 125)) {
        rxStamp = tickTimer->Now();
        RxIdle();
    }
    if (tickTimer->ElapsedOver(queryStamp, 3000)) {
        queryStamp = tickTimer->Now();
        if (windows.graphicDisplay && windows.graphicDisplay->IsShown() && !fileSend.active &&
            !scriptState.running)
            SendSentence("$PQVZQ,HNX,SET1");
    }
    const std::uint32_t now = tickTimer->Now();
    buttonScript->CheckWaitTime();
    if (serialPort->GetTxBudget() != 0) {
        TxSeen();
        serialPort->DecayTxBudget(lastPollTime, now);
    } else if (tickTimer->ElapsedOver(txStamp, 125)) {
        txStamp = tickTimer->Now();
        TxIdle();
    }
    lastPollTime = now;

    receiveLength = serialPort->ReadPort(receiveBuffer.data(), 8095);
    if (receiveLength > 0)
        RxSeen();
    ReceiveBytes(receiveBuffer.data(), receiveLength);
    if (serialPort->IsOpen() && serialPort->IsDeviceGone()) {
        // An unplugged adapter: the connection ends as Disconnect ends it, and the acquire status
        // says why, rather than reading nothing forever.
        bClickComOpenClose();
        acquireSequence->LineLost();
        if (GetRfpType() == RfpType::Brisken)
            lAcquireBriskenStatus->show();
    }

    AcquireStep();
    RunScriptStep();
    PumpSendFile();
    DeviceIdRequestStep();
    if (windows.graphicDisplay)
        windows.graphicDisplay->AddSample(graphSample);

    if (windows.graphicDisplay && !bGraphicDisplay->isEnabled() && !windows.graphicDisplay->IsShown()) {
        bGraphicDisplay->setEnabled(true);
        TakeBackGraphSettings();
    }
}

void TfPelmora::ReceiveBytes(const std::uint8_t *bytes, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t state = sentenceParser->FeedByte(bytes[i]);
        if (state == SentenceParser::RawLineComplete)
            HandleRawLine();
        else if (state == SentenceParser::SentenceComplete)
            HandleSentence();
    }
}

bool TfPelmora::FreeOutstandingLine() {
    if (fileSend.active && fileSend.responseWindow && fileSend.outstandingLines > 0) {
        --fileSend.outstandingLines;
        return true;
    }
    if (!fileSend.active && fileSend.owedReplies > 0) {
        --fileSend.owedReplies;
        return true;
    }
    return false;
}

void TfPelmora::HandleRawLine() {
    const bool fileReply = FreeOutstandingLine();
    sentenceParser->GetText(&lineBuffer);
    if (sentenceParser->GetBadLineCount() < 5) {
        lineTick = tickTimer->Now();
        const bool okReply = fileSend.active && fileSend.responseWindow && lineBuffer.starts_with("[Ok]");
        if (!okReply) {
            LogMessage(lineBuffer.c_str());
            AddMonitorLine(lineBuffer.c_str());
        }
    }
    if (!fileReply)
        buttonScript->MatchRawLine(lineBuffer);
}

void TfPelmora::HandleSentence() {
    FreeOutstandingLine();
    lineTick = tickTimer->Now();
    sentenceParser->GetText(&lineBuffer);
    LogMessage(lineBuffer.c_str());
    AddMonitorLine(lineBuffer.c_str());
    DispatchSentence();
}

void TfPelmora::SetContrastFromField(const char *field) {
    if (field[0] == '+')
        StepContrastDown();
    else if (field[0] == '-')
        StepContrastUp();
    else
        SetContrast(FieldToByte(field));
}

void TfPelmora::CopyIdentity(DeviceIdentity &identity, int nameField, int versionField, int serialField) {
    CopyBounded(identity.identity, sentenceParser->FieldView(nameField));
    CopyBounded(identity.version, sentenceParser->FieldView(versionField));
    CopyBounded(identity.serialNumber, sentenceParser->FieldView(serialField));
}

void TfPelmora::DispatchSentence() {
    SentenceParser &p = *sentenceParser;
    const int count = p.GetFieldCount();
    const std::string_view name = p.FieldView(0);
    const std::string_view kind = p.FieldView(1);
    const std::string field1(kind);

    if (name == "PQVZC") {
        if (count >= 2)
            SetContrastFromField(field1.c_str());
        if (count >= 3) {
            const std::string_view light = p.FieldView(2);
            if (light.starts_with('1'))
                BacklightOn();
            else if (light.starts_with('0'))
                BacklightOff();
        }
    } else if (name == "PQVZD") {
        for (int i = 1; i < count; ++i) {
            const std::string_view field = p.FieldView(i);
            LcdWrite(field.starts_with('1'),
                     HexToByte(field.size() > 1 ? field.substr(1, 2) : std::string_view{}));
        }
    } else if (name == "PQVZS") {
        if (kind == "CLR") {
            ClearLcd();
        } else if ((kind == "TXT" || kind == "TXX") && count >= 4) {
            std::uint8_t position = FieldToByte(p.FieldView(2));
            const std::string_view text = p.FieldView(3);
            for (std::size_t i = 0; i < text.size(); ++i) {
                std::uint8_t code = static_cast<std::uint8_t>(text[i]);
                if (kind == "TXX" && code == '%') {
                    // An escape needs its two digits; a "%" cut short at the field's end ends the text.
                    if (i + 2 >= text.size())
                        break;
                    code = HexToByte(text.substr(i + 1, 2));
                    i += 2;
                    // Only the display's own degree code becomes the degree sign; an escaped
                    // 0xB0 is as unprintable as any other high code.
                    if (code == 0xDF)
                        code = 0xB0;
                    else if (code >= 8 && !(code >= 0x20 && code <= 0x7E))
                        code = '~';
                }
                PutLcdChar(position, code);
                position = static_cast<std::uint8_t>(position + 1);
            }
        } else if (kind == "CON" && count >= 3) {
            const std::string value(p.FieldView(2));
            SetContrastFromField(value.c_str());
        } else if (kind == "BKL" && count >= 3) {
            const std::string_view light = p.FieldView(2);
            if (light.starts_with('1') || light == "ON")
                BacklightOn();
            else if (light.starts_with('0') || light == "OFF")
                BacklightOff();
        } else if (kind == "RST") {
            PanelReset();
        }
    } else if (name == "PQVZQ") {
        if (kind == "DID") {
            std::snprintf(replyBuffer.data(), replyBuffer.size(), "$PQVZR,DID,%s,v%s", "Pelmora",
                          versionText.toLatin1().constData());
            SendSentence(replyBuffer.data());
        }
    } else if (name == "PQVZR") {
        if (kind == "DID" && scriptState.awaitingVersion) {
            scriptState.bootLoaderVersion13 = p.FieldView(4).find("v1.3") != std::string_view::npos;
            std::snprintf(replyBuffer.data(), replyBuffer.size(), "holvanek bootloader version is %s",
                          scriptState.bootLoaderVersion13 ? "1.3" : "1.2");
            LogMessage(replyBuffer.data());
            AddMonitorLine(replyBuffer.data());
            scriptState.awaitingVersion = false;
        }
        if (kind == "RID") {
            if (windows.graphicDisplay) {
                CopyIdentity(windows.graphicDisplay->ReceivedIdentity(TfGraphicDisplay::Dgps), 2, 3, 6);
                windows.graphicDisplay->SetIdentityReceived();
            }
            deviceIdRequest->SetKnown(DeviceIdRequest::Dgps);
            // Missing fields read as empty, so a bare reply leaves empty report texts.
            acquireSequence->RidReceived(p.FieldView(2), p.FieldView(3), p.FieldView(6));
        } else if (kind == "DID" && p.FieldView(2).starts_with("Holvanek")) {
            if (windows.graphicDisplay) {
                CopyIdentity(windows.graphicDisplay->ReceivedIdentity(TfGraphicDisplay::Steering), 2, 3, 6);
                windows.graphicDisplay->SetIdentityReceived();
            }
            deviceIdRequest->SetKnown(DeviceIdRequest::Steering);
        } else if (kind == "DID" && (p.FieldView(2).starts_with('L') || p.FieldView(2).starts_with("RGL"))) {
            if (windows.graphicDisplay) {
                CopyIdentity(windows.graphicDisplay->ReceivedIdentity(TfGraphicDisplay::LightBar), 2, 3, 4);
                windows.graphicDisplay->SetIdentityReceived();
            }
            deviceIdRequest->SetKnown(DeviceIdRequest::LightBar);
        } else if (kind == "HNX") {
            switch (GuidanceReply::Apply(p, graphSample)) {
            case GuidanceReply::Record::Settings1:
                if (windows.graphicDisplay && windows.graphicDisplay->IsShown() && !fileSend.active &&
                    !scriptState.running)
                    SendSentence("$PQVZQ,HNX,SET2");
                break;
            case GuidanceReply::Record::Settings2:
                if (graphSample.firstRsp == 0)
                    StartDeviceIdRequest();
                else
                    TriggerDeviceIdRequest();
                graphSample.firstRsp = 1;
                break;
            default:
                break;
            }
        }
    }
}

void TfPelmora::SendSentence(const char *text) {
    if (text == nullptr || !serialPort->IsOpen())
        return;
    lineTick = tickTimer->Now();
    // The log and the monitor show what went out: a line stops at its first byte the wire does
    // not carry (a control character, or one outside ASCII).
    const std::string sent = SentenceParser::SendLine(*serialPort, text);
    if (logging)
        LogOutgoing(sent.c_str());
    AddMonitorLineAs(sent.c_str(), 0);
}

void TfPelmora::SendScriptLine(std::string &text) {
    if (!serialPort->IsOpen())
        return;
    lineTick = tickTimer->Now();
    std::string sent;
    if (text.ends_with('~')) {
        text.pop_back();
        sent = SentenceParser::Send(*serialPort, text.c_str());
    } else {
        sent = SentenceParser::SendLine(*serialPort, text.c_str());
    }
    if (logging)
        LogOutgoing(sent.c_str());
    AddMonitorLineAs(sent.c_str(), 0);
}

void TfPelmora::bClickComOpenClose() {
    SetAcquireState(0);
    if (serialPort->IsOpen()) {
        serialPort->ClosePort();
        fileSender->ForgetOwedReplies(); // lost with the line
    } else {
        const std::int32_t baud = GetMenuBaudRate();
        const std::uint8_t port = SerialPort::NextPortNumber(static_cast<std::uint8_t>(GetComMenuIndex()));
        // Without a word the caption would only say "not connected", with no hint why.
        const QString device = QString::fromStdString(SerialPort::PortName(port));
        if (!serialPort->OpenPort(port, baud) && serialPort->GetLastError() == EACCES) {
            platform::ShowMessage(QString("Permission denied opening %1. Add your user to the dialout group "
                                          "(sudo usermod -aG dialout $USER) and log in again.")
                                      .arg(device),
                                  "Pelmora");
        } else if (!serialPort->IsOpen() &&
                   (serialPort->GetLastError() == ENOTTY || serialPort->GetLastError() == EISDIR)) {
            // A COM number pointed at a file, a folder or a device that is no terminal.
            platform::ShowMessage(QString("Cannot open %1: it is not a serial port.").arg(device), "Pelmora");
        }
        ClearLcd();
        SetContrast(110);
    }
    bComOpenClose->setText(serialPort->IsOpen() ? "Disconnect" : "Connect");
    UpdateCaption();
}

QString TfPelmora::FirstLine(const QString &text) {
    const auto lineBreak =
        std::find_if(text.begin(), text.end(), [](QChar c) { return c == '\r' || c == '\n'; });
    return text.left(lineBreak - text.begin());
}

void TfPelmora::bClickSendData() {
    if (IsMonitorPaused())
        bClickPause();
    // Of a pasted block of lines only the first goes out, and only what went out is kept: the
    // rest would stand in the settings file as lines of their own.
    const QString text = FirstLine(cbSendData->currentText());
    cbSendData->setEditText(QString());
    if (text.isEmpty())
        return;
    SendSentence(text.toLatin1().constData());
    const int existing = cbSendData->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (existing >= 0) {
        cbSendData->removeItem(existing);
    } else if (cbSendData->count() >= kHistoryLines) {
        cbSendData->removeItem(cbSendData->count() - 1);
    }
    cbSendData->insertItem(0, text);
    cbSendData->setCurrentIndex(0);
}

void TfPelmora::cbKeyPressHandler(QKeyEvent *event, bool &handled) {
    handled = false;
    const int key = event->key();
    const auto modifiers = event->modifiers();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        bClickSendData();
        handled = true;
        return;
    }
    if (key == Qt::Key_Escape) {
        if (scriptState.running)
            scriptState.cancelRequested = true;
        else
            cbSendData->setEditText(QString());
        handled = true;
        return;
    }
    if ((modifiers & Qt::ControlModifier) && (key == Qt::Key_X || key == Qt::Key_C || key == Qt::Key_V))
        return;
    if (key == Qt::Key_Backspace || key == Qt::Key_Tab || key == Qt::Key_Backtab)
        return; // Tab takes the keyboard back to the panel
    const QString text = event->text();
    if (text.size() == 1 && text[0].isPrint()) {
        if (mMsgMonUpperCase->isChecked() && text[0].isLower()) {
            cbSendData->lineEdit()->insert(text.toUpper());
            handled = true;
        }
        return;
    }
    // Cursor keys, Tab and the like keep their usual meaning in the edit field.
    if (text.isEmpty())
        return;
    handled = true; // any other control character is swallowed
}

void TfPelmora::bClickAddCkSum() {
    QString text = cbSendData->currentText();
    if (text.contains('*'))
        return;
    std::uint8_t sum = 0;
    for (const char c : text.toLatin1()) {
        if (c == '$')
            sum = 0;
        else
            sum ^= static_cast<std::uint8_t>(c);
    }
    text += QString::asprintf("*%02X", sum);
    cbSendData->setEditText(text);
}

void TfPelmora::bClickPause() {
    messageMonitor->SetPaused(!messageMonitor->IsPaused());
    bPause->setText(messageMonitor->IsPaused() ? "Continue" : "Pause");
}

void TfPelmora::bClickClear() {
    ClearMonitor();
}

void TfPelmora::cbContextPopUp() {
    rxTxIndicatorState = 0;
    ShowRxTx(false, false, false);
}

void TfPelmora::ShowRxTx(bool frame, bool rx, bool tx) {
    iRxTxFrame->setVisible(frame);
    iRxArrow->setVisible(rx);
    iTxArrow->setVisible(tx);
}

void TfPelmora::RxSeen() {
    rxStamp = tickTimer->Now();
    SetRxTxArrow(true, true);
}

void TfPelmora::RxIdle() {
    SetRxTxArrow(true, false);
}

void TfPelmora::TxSeen() {
    txStamp = tickTimer->Now();
    SetRxTxArrow(false, true);
}

void TfPelmora::TxIdle() {
    SetRxTxArrow(false, false);
}

// The indicator's states: 0 hidden, 1 frame only, 2 frame and Rx arrow, 3 frame and Tx arrow,
// 4 frame and both arrows. A closed port hides it; any activity or idle tick shows the frame.
void TfPelmora::SetRxTxArrow(bool rxArrow, bool on) {
    if (!on && !serialPort->IsOpen()) {
        rxTxIndicatorState = 0;
        ShowRxTx(false, false, false);
        return;
    }
    bool rx = rxTxIndicatorState == 2 || rxTxIndicatorState == 4;
    bool tx = rxTxIndicatorState == 3 || rxTxIndicatorState == 4;
    (rxArrow ? rx : tx) = on;
    rxTxIndicatorState = rx && tx ? 4 : rx ? 2 : tx ? 3 : 1;
    ShowRxTx(true, rx, tx);
}
