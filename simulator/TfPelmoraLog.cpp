// The main window's side of the message logs: the Log Messages button, the Logging Options menu
// and the log file's sequence, erase and view items.
#include "TfPelmora.h"

#include "IniSettings.h"
#include "MessageLog.h"
#include "SerialPort.h"
#include "TickTimer.h"

#include "Dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <string_view>

namespace {

// The log's name as the boxes show it: "Pelmora.log" for the default ".\Pelmora.log".
QString ShownLogName(const QString &name) {
    return QDir::cleanPath(name);
}

} // namespace

void TfPelmora::CreateLogParts() {
    messageLog = std::make_unique<MessageLog>();
    connect(bLogMessages, &QPushButton::clicked, this, &TfPelmora::bClickLogMessages);
    for (const OptionItem &item : logOptions)
        connect(item.action, &QAction::triggered, this, &TfPelmora::mLogOptionClick);
    // The two items are a radio group: whichever was clicked, the overwrite check decides.
    for (QAction *item : {mLogAppendToFile, mLogOverWriteFile})
        connect(item, &QAction::triggered, this,
                [this] { messageLog->Options().overWriteFile = mLogOverWriteFile->isChecked(); });

    QMenu *menu = findChild<QMenu *>("mLoggingOptions");
    menu->addSeparator();
    auto addItem = [&](const char *name, const char *caption, void (TfPelmora::*handler)()) {
        QAction *item = menu->addAction(caption);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, handler);
        return item;
    };
    mLogSequenceFilename =
        addItem("mLogSequenceFilename", "Sequence Log Filename", &TfPelmora::mLogSequenceFilenameClick);
    mLogEraseFile = addItem("mLogEraseFile", "Erase Log File", &TfPelmora::mLogEraseFileClick);
    mLogViewFile = addItem("mLogViewFile", "View Log File", &TfPelmora::mLogViewFileClick);
}

void TfPelmora::CopyLogOptions() {
    auto checked = [this](const char *key) { return IsOptionChecked(logOptions, key); };
    LogOptions &options = messageLog->Options();
    options.date = checked("LogDate");
    options.time = checked("LogTime");
    options.msTickCount = checked("LogMsTickCount");
    options.nmeaChecksum = checked("LogNmeaChecksum");
    options.rfpMessages = checked("LogRfpMessages");
    options.dgpsMessages = checked("LogDgpsMessages");
    options.lightBarMessages = checked("LogLightBarMessages");
    options.holvanekMessages = checked("LogHolvanekMessages");
    options.nonNmeaMessages = checked("LogNonNmeaMessages");
    options.otherMessages = checked("LogOtherMessages");
    options.promptForFilename = checked("LogPromptForFilename");
    options.overWriteFile = mLogOverWriteFile->isChecked();
    messageLog->SetFileNameNoPrompt(GetLogFileNameNoPrompt());
    messageLog->SetProtectedFile(GetIniFileName());
}

void TfPelmora::LogMessage(const char *text) {
    if (!logging)
        return;
    const bool wasFailing = messageLog->IsFailing();
    messageLog->LogMessage(text, lineTick);
    if (messageLog->IsFailing() != wasFailing)
        ShowLogStatus();
}

void TfPelmora::LogOutgoing(const char *text) {
    lineTick = tickTimer->Now();
    LogMessage(text);
}

// While logging, the label says whether the lines reach the file: a line lost is told once, not
// hidden behind "Logging Messages", and the label recovers with the next line written.
void TfPelmora::ShowLogStatus() {
    if (!logging)
        return;
    lLogMessagesStatus->setToolTip(QString());
    if (!messageLog->IsFailing()) {
        lLogMessagesStatus->setText("Logging Messages");
        return;
    }
    const QString name = messageLog->ActiveFileName();
    const QString text = name.isEmpty() ? QString("No log file chosen")
                                        : QString("Cannot write %1").arg(QFileInfo(name).fileName());
    if (!name.isEmpty())
        lLogMessagesStatus->setToolTip(
            QString("The log file %1 cannot be written").arg(QFileInfo(name).absoluteFilePath()));
    // As wide as its text up to its panel's edge, so it stays in the window; a longer text is cut
    // there and the tooltip names the whole path.
    const QFontMetrics metrics(lLogMessagesStatus->font());
    const int room = lLogMessagesStatus->parentWidget()->width() - lLogMessagesStatus->x();
    const QString shown = metrics.elidedText(text, Qt::ElideRight, room - 4);
    lLogMessagesStatus->setText(shown);
    const int width = std::max(lLogMessagesStatus->width(), metrics.horizontalAdvance(shown) + 4);
    lLogMessagesStatus->resize(std::min(width, room), lLogMessagesStatus->height());
}

void TfPelmora::UpdateLogButton() {
    const bool active = serialPort->IsOpen() && messageLog->AnyCategorySelected();
    if (!active) {
        bLogMessages->setText("Log Messages");
        lLogMessagesStatus->clear();
        logging = false;
        messageLog->StopRun();
        bLogMessages->hide();
        lLogMessagesStatus->hide();
    } else {
        bLogMessages->show();
        lLogMessagesStatus->show();
    }
    const bool fileItems = !messageLog->Options().promptForFilename && !logging;
    for (QAction *item : {mLogSequenceFilename, mLogEraseFile, mLogViewFile})
        item->setEnabled(fileItems);
}

void TfPelmora::PromptForLogFile() {
    IniSettings &ini = *iniSettings;
    ini.SetSection("FileSpecs");
    platform::FileDialogRequest request;
    request.caption = "Open";
    request.directory = ini.ReadString("LogFilePath", ".");
    request.fileName = ini.ReadString("LogFileFileName", QString());
    request.filter = "Log Files (*.log)|*.log|All files (*.*)|*.*";
    request.filterIndex = ini.ReadInteger("LogFileFilterIndex", 2, 1, 2);
    request.mayCreate = true;
    request.windowRect = &logDialogRect;
    // Taken exactly as picked: the name is not cut short, and its case is the file's.
    const QString picked = platform::ShowFileDialog(request);
    if (!picked.isEmpty())
        messageLog->SetPromptedFileName(picked);
}

void TfPelmora::bClickLogMessages() {
    if (bLogMessages->text() == "Log Messages") {
        if (messageLog->Options().promptForFilename)
            PromptForLogFile();
        logging = true;
        messageLog->StartRun();
        bLogMessages->setText("Stop Log");
        ShowLogStatus();
    } else {
        bLogMessages->setText("Log Messages");
        lLogMessagesStatus->clear();
        logging = false;
        messageLog->StopRun();
    }
    UpdateLogButton();
}

void TfPelmora::mLogOptionClick() {
    CopyLogOptions();
    UpdateLogButton();
}

// Each item's handler clicks it: the check toggles and the log follows it.
void TfPelmora::mLogDateClick() {
    OptionAction(logOptions, "LogDate")->trigger();
}
void TfPelmora::mLogTimeClick() {
    OptionAction(logOptions, "LogTime")->trigger();
}
void TfPelmora::mLogMsTickCountClick() {
    OptionAction(logOptions, "LogMsTickCount")->trigger();
}
void TfPelmora::mLogNmeaChecksumClick() {
    OptionAction(logOptions, "LogNmeaChecksum")->trigger();
}
void TfPelmora::mLogRfpMessagesClick() {
    OptionAction(logOptions, "LogRfpMessages")->trigger();
}
void TfPelmora::mLogDgpsMessagesClick() {
    OptionAction(logOptions, "LogDgpsMessages")->trigger();
}
void TfPelmora::mLogLightBarMessagesClick() {
    OptionAction(logOptions, "LogLightBarMessages")->trigger();
}
void TfPelmora::mLogHolvanekMessagesClick() {
    OptionAction(logOptions, "LogHolvanekMessages")->trigger();
}
void TfPelmora::mLogNonNmeaMessagesClick() {
    OptionAction(logOptions, "LogNonNmeaMessages")->trigger();
}
void TfPelmora::mLogOtherMessagesClick() {
    OptionAction(logOptions, "LogOtherMessages")->trigger();
}
void TfPelmora::mLogPromptForFilenameClick() {
    OptionAction(logOptions, "LogPromptForFilename")->trigger();
}
void TfPelmora::mLogAppendToExistFileClick() {
    mLogAppendToFile->trigger();
}
void TfPelmora::mLogOverWriteFileClick() {
    mLogOverWriteFile->trigger();
}

void TfPelmora::mLogSequenceFilenameClick() {
    if (logging)
        return;
    switch (messageLog->SequenceLogFile(startDirectory, logSequenceFileIndex)) {
    case MessageLog::SequenceResult::NoneAvailable:
        platform::ShowMessage("Can't Find Available Sequenced Log Filename", "Log Filename Sequence Error");
        break;
    case MessageLog::SequenceResult::RenameFailed:
        platform::ShowMessage("Unable to Rename Log Filename", "Rename Error");
        break;
    case MessageLog::SequenceResult::Renamed:
        break;
    }
}

void TfPelmora::mLogEraseFileClick() {
    const QString name = ShownLogName(messageLog->FileNameNoPrompt());
    switch (messageLog->CheckErase()) {
    case MessageLog::EraseCheck::Missing:
        platform::ShowMessage(QString("%1 does not exist").arg(name), "File Not Found");
        break;
    case MessageLog::EraseCheck::Erasable:
        // A file that looked erasable may still refuse (its folder is read-only): say so.
        if (platform::AskYesNo(QString("Erasing %1 - Are you sure?").arg(name), "Erase File") &&
            !messageLog->EraseLogFile())
            platform::ShowMessage(QString("Can not erase %1").arg(name), "File Access Denied");
        break;
    case MessageLog::EraseCheck::AccessDenied:
        platform::ShowMessage(QString("Can not erase %1").arg(name), "File Access Denied");
        break;
    }
}

void TfPelmora::mLogViewFileClick() {
    const QString name = ShownLogName(messageLog->FileNameNoPrompt());
    if (!QFileInfo::exists(name)) {
        platform::ShowMessage(QString("%1 does not exist").arg(name), "File Not Found");
        return;
    }
    if (!platform::OpenWithDesktop(QFileInfo(name).absoluteFilePath()))
        platform::ShowMessage(QString("No program was found to open %1").arg(name), "View Log File");
}
