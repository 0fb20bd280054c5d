// The main window's user buttons, their scripts and file sending: thin handlers around the
// script interpreter and the file pump, and the labels and panels that report on them.
#include "TfPelmora.h"

#include "IniSettings.h"
#include "SerialPort.h"
#include "TfDefineButton.h"
#include "TfSendFilePopUp.h"

#include "Dialogs.h"
#include "Numbers.h"
#include "ScreenPlacement.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <climits>
#include <optional>

namespace {

constexpr const char *kSectionFileSpecs = "FileSpecs";
constexpr const char *kSendFileFilter =
    "Text files (*.txt)|*.txt|Hex Files (*.hex)|*.hex|A90 Hex files (*.a90)|*.a90|All files (*.*)|*.*";
// The key label of the running button, and of the others.
constexpr const char *kTagRunning = "background-color: #000080; color: white;";
constexpr const char *kTagIdle = "background-color: #ffffff; color: black;";

} // namespace

void TfPelmora::BuildFileSendPanel() {
    lSendFilePB = new QLabel(pFileSendPanel);
    lSendFilePB->setObjectName("lSendFilePB");
    lSendFilePB->setGeometry(4, 2, 480, 16);
    lSendFileInfoPB = new QLabel(pFileSendPanel);
    lSendFileInfoPB->setObjectName("lSendFileInfoPB");
    lSendFileInfoPB->setGeometry(4, 20, 480, 16);
    pbSendFile = new QProgressBar(pFileSendPanel);
    pbSendFile->setObjectName("pbSendFile");
    pbSendFile->setGeometry(490, 8, 200, 16);
    pbSendFile->setRange(0, 100);
    bCancelFile = new QPushButton("Cancel", pFileSendPanel);
    bCancelFile->setObjectName("bCancelFile");
    bCancelFile->setGeometry(700, 4, 75, 26);
    bCancelFile->setFocusPolicy(Qt::NoFocus);
}

void TfPelmora::ConnectScriptControls() {
    connect(bSendFile, &QPushButton::clicked, this, &TfPelmora::bClickSendFile);
    bSendFile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bSendFile, &QWidget::customContextMenuRequested, this, &TfPelmora::bClickSendFilePopup);
    connect(bCancelFile, &QPushButton::clicked, this, &TfPelmora::bClickCancelFile);
    connect(bCancelButtonScript, &QPushButton::clicked, this, &TfPelmora::bClickCancelButtonScript);
    connect(mShowScriptDetails, &QAction::triggered, this, &TfPelmora::mClickShowScriptDetails);
    // Script lines, their messages and file names show as written, never as markup.
    for (QLabel *label : {lScriptLineReport, lScriptMessageReport, lSendFilePB, lSendFileInfoPB})
        label->setTextFormat(Qt::PlainText);
    using Handler = void (TfPelmora::*)();
    using PopupHandler = void (TfPelmora::*)(bool &);
    constexpr std::array<Handler, 8> clicks{&TfPelmora::bClickButton1, &TfPelmora::bClickButton2,
                                            &TfPelmora::bClickButton3, &TfPelmora::bClickButton4,
                                            &TfPelmora::bClickButton5, &TfPelmora::bClickButton6,
                                            &TfPelmora::bClickButton7, &TfPelmora::bClickButton8};
    constexpr std::array<PopupHandler, 8> popups{
        &TfPelmora::bClickButton1Popup, &TfPelmora::bClickButton2Popup, &TfPelmora::bClickButton3Popup,
        &TfPelmora::bClickButton4Popup, &TfPelmora::bClickButton5Popup, &TfPelmora::bClickButton6Popup,
        &TfPelmora::bClickButton7Popup, &TfPelmora::bClickButton8Popup};
    for (int i = 0; i < 8; ++i) {
        lButtonTag[i]->setStyleSheet(kTagIdle);
        lButtonTag[i]->setAlignment(Qt::AlignCenter);
        connect(bButton[i], &QPushButton::clicked, this, clicks[i]);
        // A right click edits the button instead of opening a context menu.
        bButton[i]->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(bButton[i], &QWidget::customContextMenuRequested, this, [this, popup = popups[i]] {
            bool handled = false;
            (this->*popup)(handled);
        });
    }
}

// File sending.

void TfPelmora::bClickSendFile() {
    if (bSendFile->text() == "Cancel File") {
        CancelSendFile();
        return;
    }
    if (scriptState.running)
        return;
    fileSender->Close();
    IniSettings &ini = *iniSettings;
    ini.SetSection(kSectionFileSpecs);
    platform::FileDialogRequest odSendFile;
    odSendFile.caption = "Select file to Send";
    odSendFile.directory = ini.ReadString("SendFilePath", QString());
    odSendFile.fileName = ini.ReadString("SendFileFileName", QString());
    odSendFile.filter = kSendFileFilter;
    odSendFile.filterIndex = ini.ReadInteger("SendFileFilterIndex", 4, 1, 4);
    odSendFile.windowRect = &fileDialogRect;
    platform::FileDialogOutcome closed;
    const QString chosen = platform::ShowFileDialog(odSendFile, &closed);
    if (chosen.isEmpty())
        return;
    // The path is kept exactly as chosen: names on this system are case-sensitive.
    const std::string path = QFile::encodeName(chosen).toStdString();
    if (!fileSender->Open(path)) {
        FileSender::ReportOpenFailure(path);
        return;
    }
    ini.SetSection(kSectionFileSpecs);
    // The folder is kept only with the name: a name holding a line break is not kept (the file
    // refuses it), and both keys then still name the file chosen before.
    if (ini.WriteString("SendFileFileName", chosen))
        ini.WriteString("SendFilePath", chosen.left(chosen.lastIndexOf('/') + 1));
    ini.WriteInteger("SendFileFilterIndex", closed.filterIndex);
    ini.UpdateFile();
    fileSender->Start();
}

void TfPelmora::bClickCancelFile() {
    CancelSendFile();
}

void TfPelmora::CancelSendFile() {
    fileSender->Stop();
}

void TfPelmora::PumpSendFile() {
    fileSender->Pump();
}

void TfPelmora::bClickSendFilePopup() {
    if (fileSend.active || windows.sendFilePopUp == nullptr)
        return;
    TfSendFilePopUp &popup = *windows.sendFilePopUp;
    popup.DelayEdit()->setText(QString::number(sendFileLineDelayMs));
    platform::PlaceWindow(popup, sendFilePopupPos);
    popup.setResult(QDialog::Rejected);
    if (platform::ShowModalDialog(popup) == QDialog::Accepted) {
        const QString text = popup.DelayEdit()->text();
        // A whole number of milliseconds, 0 or more.
        const std::optional<long long> delay = platform::ParseNumber(text.toStdString(), 0, INT_MAX);
        if (delay)
            sendFileLineDelayMs = static_cast<int>(*delay);
        else
            platform::ShowMessage(QString("'%1' is not a valid integer value").arg(text));
    }
    sendFilePopupPos = popup.pos();
}

std::int32_t TfPelmora::WriteSendFileBytes(const std::uint8_t *bytes, std::int32_t count) {
    return serialPort->WritePort(bytes, count);
}

void TfPelmora::SendFileStarted(const std::string &path, std::int64_t size) {
    const QString name = QFile::decodeName(path.c_str());
    bSendFile->setText("Cancel File");
    bSendFile->setEnabled(true);
    pbSendFile->setValue(0);
    lSendFilePB->setText(QString("sending file   -   %1").arg(name));
    lSendFileInfoPB->setText(QString("%1 bytes  %2")
                                 .arg(size)
                                 .arg(QFileInfo(name).lastModified().toString("yyyy-MM-dd hh:mm:ss")));
    pFileSendPanel->show();
    DisableUserButtons();
}

void TfPelmora::ShowSendFileProgress(int percent) {
    pbSendFile->setValue(percent);
}

void TfPelmora::SendFileEnded() {
    bSendFile->setText("Send File");
    pFileSendPanel->hide();
    // A script's own send: the script goes on, and its end frees the buttons.
    if (scriptState.running) {
        bSendFile->setEnabled(false);
        return;
    }
    EnableUserButtons();
}

// User buttons.

void TfPelmora::RunUserButton(int n) {
    // Only the 8 buttons of a shown group have a script to run.
    if (n < 0 || n >= 8 || buttonGroup < 1 || buttonGroup > 4)
        return;
    const int script = (buttonGroup - 1) * 8 + n;
    buttonScript->Start(script, n, buttonScriptLines[script]);
}

void TfPelmora::RunScriptStep() {
    buttonScript->Step();
}

void TfPelmora::EditUserButton(int n, bool &handled) {
    handled = true;
    if (n < 0 || n >= 8 || buttonGroup < 1 || buttonGroup > 4 || windows.defineButton == nullptr)
        return;
    const int script = (buttonGroup - 1) * 8 + n;
    TfDefineButton &dialog = *windows.defineButton;
    dialog.SetButton(buttonScriptCaptions[script], buttonScriptLines[script]);
    if (ShowDefineButton() != QDialog::Accepted)
        return;
    buttonScriptCaptions[script] = dialog.GetCaption();
    bButton[n]->setText(buttonScriptCaptions[script]);
    buttonScriptLines[script] = dialog.GetLines();
}

int TfPelmora::ShowDefineButton() {
    TfDefineButton &dialog = *windows.defineButton;
    keysToPanel = false;
    platform::PlaceWindow(dialog, defineButtonPos);
    dialog.setResult(QDialog::Rejected);
    const int result = platform::ShowModalDialog(dialog);
    defineButtonPos = dialog.pos();
    keysToPanel = true;
    return result;
}

void TfPelmora::ShowButtonPanel() {
    if (buttonGroup >= 1 && buttonGroup <= 4)
        for (int i = 0; i < 8; ++i)
            bButton[i]->setText(buttonScriptCaptions[(buttonGroup - 1) * 8 + i]);
    pButtonPanel->show();
    UpdateCaption();
}

void TfPelmora::HideButtonPanel() {
    pButtonPanel->hide();
    bCancelButtonScript->hide();
    UpdateCaption();
}

void TfPelmora::DisableUserButtons() {
    for (QPushButton *button : bButton)
        button->setEnabled(false);
    bCancelButtonScript->show();
    ClearDelayReport();
    if (!scriptState.running) {
        lScriptLineReport->clear();
        lScriptMessageReport->clear();
    }
}

void TfPelmora::EnableUserButtons() {
    bCancelButtonScript->hide();
    for (QPushButton *button : bButton)
        button->setEnabled(true);
    lScriptLineReport->clear();
    lScriptMessageReport->clear();
    ClearDelayReport();
}

void TfPelmora::bClickCancelButtonScript() {
    if (scriptState.running)
        scriptState.cancelRequested = true;
    if (!pFileSendPanel->isHidden())
        CancelSendFile();
}

bool TfPelmora::mainKeyPressHandler(const QKeyEvent &key) {
    if (key.key() != Qt::Key_Escape || !scriptState.running)
        return false;
    scriptState.cancelRequested = true;
    return true;
}

void TfPelmora::mClickShowScriptDetails() {
    if (mShowScriptDetails->isChecked())
        return;
    lScriptLineReport->clear();
    ClearDelayReport();
}

std::string TfPelmora::MakeStartDirPath(std::string_view name) {
    fileSender->Close();
    return ButtonScriptInterpreter::MakeStartDirPath(name, ScriptStartDirectory());
}

// The interpreter's view of the window.

void TfPelmora::SetScriptBaudRate(std::int32_t baud) {
    SetBaudMenu(baud);
    if (serialPort->IsOpen())
        serialPort->SetBaudRate(baud);
    UpdateCaption();
}

bool TfPelmora::TransmitPending() const {
    return serialPort->IsOpen() && serialPort->GetTxBudget() != 0;
}

void TfPelmora::SetScriptRts(bool on) {
    if (on)
        serialPort->SetRts();
    else
        serialPort->ClearRts();
}

bool TfPelmora::ShowScriptDetails() const {
    return mShowScriptDetails->isChecked();
}

void TfPelmora::ShowDelayReport(std::uint32_t lengthMs, std::uint32_t passedMs) {
    const int length = static_cast<int>(std::min<std::uint32_t>(lengthMs, INT32_MAX));
    lScriptDelayReport->setText(QString::asprintf("%4dms", length));
    pbScriptDelayReport->setRange(0, length);
    pbScriptDelayReport->setValue(static_cast<int>(std::min<std::uint32_t>(passedMs, lengthMs)));
    pbScriptDelayReport->show();
}

void TfPelmora::ClearDelayReport() {
    lScriptDelayReport->clear();
    pbScriptDelayReport->hide();
}

void TfPelmora::ShowLineReport(const QString &line) {
    lScriptLineReport->setText(line);
}

void TfPelmora::ShowMessageReport(const QString &text) {
    lScriptMessageReport->setText(text);
}

std::string TfPelmora::ScriptStartDirectory() const {
    return QFile::encodeName(startDirectory).toStdString();
}

void TfPelmora::ScriptStarted(int button) {
    if (button >= 0 && button < 8)
        lButtonTag[button]->setStyleSheet(kTagRunning);
    bSendFile->setEnabled(false);
    DisableUserButtons();
}

void TfPelmora::ScriptEnded(int button) {
    if (button >= 0 && button < 8)
        lButtonTag[button]->setStyleSheet(kTagIdle);
    bSendFile->setEnabled(true);
    EnableUserButtons();
}
