// Loader script files: one keyword command a line, for unattended and production runs.
#include "Dialogs.h"
#include "KTR3LoaderIntf.h"
#include "LoaderScriptLine.h"
#include "TargetIdFile.h"
#include "WholeFile.h"
#include "loadmain.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

void TMainForm::aiOpenScriptFileExecute() {
    if (bBusy || IsOperationRunning())
        return;
    const QString chosen = ChooseFileToOpen(
        ScriptFileOpenDlgInitialDir, QStringLiteral("lsf"),
        QStringLiteral("Loader Script Files (*.lsf, *.txt)|*.lsf; *.txt|All Files (*.*)|*.*"));
    if (chosen.isEmpty())
        return;
    ScriptFileOpenDlgFileName = chosen;
    sScriptFileName = chosen;
    LogLine(chosen);
    UpdateActionStates();
}

void TMainForm::aiRunScriptExecute() {
    if (bBusy || IsOperationRunning())
        return;
    RunOperation([this] {
        bBusy = 1;
        bScriptRunning = 1;
        UpdateActionStates();
        try {
            editFilePlatform->clear();
            LoaderInterface->SetIntendedPlatform("");
            SetScriptFileName(ScriptFileOpenDlgFileName);
            ExecuteScript();
            LoaderInterface->Shutdown();
        } catch (...) {
            bBusy = 0;
            bScriptRunning = 0;
            UpdateActionStates();
            throw;
        }
        bBusy = 0;
        bScriptRunning = 0;
        UpdateActionStates();
    });
}

void TMainForm::Timer1Timer() {
    bDelayExpired = 1;
}

int TMainForm::ExecuteScript() {
    TLoaderInterface &engine = *LoaderInterface;
    engine.ClearAbort();
    // A folder opens for reading here but has no lines: it counts as a script that cannot be opened.
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> script(
        std::fopen(sScriptFileName.toLocal8Bit().constData(), "rb"), &std::fclose);
    if (!script || QFileInfo(sScriptFileName).isDir())
        return 0;
    bScriptAbort = 0;
    bool quit = false;
    std::string raw;
    while (!quit && !bScriptAbort && !engine.IsAborted()) {
        // A line is read whole, however long, so the tail of a long line never runs as a command.
        const platform::LineOutcome read = platform::ReadLine(script.get(), raw);
        if (read == platform::LineOutcome::End)
            break;
        if (read == platform::LineOutcome::ReadFailed) {
            // The lines after a read error would never run: the run did not complete.
            LogLine(QStringLiteral("Unable to read script %1").arg(sScriptFileName));
            bScriptAbort = 1;
            break;
        }
        const ScriptLine line = SplitScriptLine(raw);
        if (line.empty)
            continue;
        const std::string &arg = line.argument;
        const QString qarg = QString::fromLocal8Bit(arg.c_str());
        switch (line.keyword) {
        case ScriptKeyword::BANNER:
            setWindowTitle(qarg);
            break;
        case ScriptKeyword::BOOTTARGET:
            editBootTargetID->setText(qarg);
            engine.SetFirstStageTargetID(StrToInt(editBootTargetID->text()));
            break;
        case ScriptKeyword::CLEANUP:
            engine.Shutdown();
            break;
        case ScriptKeyword::COM: {
            if (iDebugLevel == 255)
                LogLine(QString::fromLocal8Bit(line.word.c_str()));
            int port = 0;
            unsigned rate = 0;
            if (std::sscanf(arg.c_str(), "%d %u", &port, &rate) == 2) {
                iPort = port;
                iBaudrate = static_cast<int>(rate);
            }
            break;
        }
        case ScriptKeyword::DEBUG:
            iDebugLevel = ScriptArgToInt(arg);
            break;
        case ScriptKeyword::DELAY: {
            LogLine(QStringLiteral("DELAY Start"));
            const int ms = ScriptArgToInt(arg);
            // Zero, negative or unreadable delays wait not at all; any wait ends when the program
            // quits or the run is aborted.
            if (ms > 0) {
                Timer1->stop();
                bDelayExpired = 0;
                Timer1->setInterval(ms);
                Timer1->start();
                UpdateActionStates();
                while (!bDelayExpired && !bQuitPending && !bScriptAbort && !engine.IsAborted())
                    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
                Timer1->stop();
                UpdateActionStates();
            }
            LogLine(QStringLiteral("DELAY End"));
            break;
        }
        case ScriptKeyword::FILE:
        case ScriptKeyword::SETFILE:
            OpenHexFile(qarg);
            break;
        case ScriptKeyword::GENERATE: {
            bool ok = false;
            const int n = qarg.trimmed().toInt(&ok);
            if (ok && n >= 1 && n <= 10)
                GenerateTargetFile(n);
            break;
        }
        case ScriptKeyword::INIT:
            engine.LogMessage("Initializing UI...");
            ClearCardProperties();
            editBootTargetID->setText(QStringLiteral("0"));
            engine.SetFirstStageTargetID(0);
            engine.Shutdown();
            break;
        case ScriptKeyword::LOAD:
            if (iDebugLevel == 255)
                LogLine(QString::fromLocal8Bit(line.word.c_str()));
            if (!OpenHexFile(qarg)) {
                // A rejected file must not be programmed over a link an earlier line left up, and
                // a production run must not end as a success when a card was not programmed.
                LogLine(QStringLiteral("File rejected - card not programmed."));
                bScriptAbort = 1;
                break;
            }
            if (ConnectToCard() == SS_STATE_IDLE) {
                aiWriteFlashExecute();
            } else {
                LogLine(QStringLiteral("Unable to Start Loader Engine for script"));
                return 0;
            }
            break;
        case ScriptKeyword::MESSAGE:
            LogLine(qarg);
            break;
        case ScriptKeyword::OPTILOAD:
            if (qarg.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0)
                cbOptimizedLoading->setChecked(true);
            else if (qarg.compare(QLatin1String("OFF"), Qt::CaseInsensitive) == 0)
                cbOptimizedLoading->setChecked(false);
            break;
        case ScriptKeyword::PLATFORM:
            LogLine(QStringLiteral("Platform Set"));
            editFilePlatform->setText(qarg);
            engine.SetIntendedPlatform(arg.c_str());
            break;
        case ScriptKeyword::PROMPT:
            platform::ShowMessageBox({qarg, QStringLiteral("Confirm"), platform::MessageButtons::OkCancel,
                                      platform::MessageIcon::Question});
            break;
        case ScriptKeyword::POWER:
            if (qarg.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0)
                engine.SetPower(1);
            else if (qarg.compare(QLatin1String("OFF"), Qt::CaseInsensitive) == 0)
                engine.SetPower(0);
            break;
        case ScriptKeyword::PWRPORT:
            engine.SetPowerComPort(ScriptArgToInt(arg));
            break;
        case ScriptKeyword::QUIT:
            LogLine(QStringLiteral("Script QUIT"));
            quit = true;
            break;
        case ScriptKeyword::RESET:
            engine.ResetCard();
            break;
        case ScriptKeyword::TIMEOUT:
            engine.SetFirstStageTimeout(ScriptArgToInt(arg));
            break;
        case ScriptKeyword::TRACE:
            engine.SetTracing(ScriptArgToInt(arg));
            break;
        case ScriptKeyword::UNIT:
            break;
        case ScriptKeyword::UPDATE:
            // A file was named and rejected: the link an earlier line left up must not be used.
            if (!sFileName.isEmpty() && !bFileAccepted) {
                LogLine(QStringLiteral("File rejected - card not programmed."));
                bScriptAbort = 1;
                break;
            }
            if (ConnectToCard() == SS_STATE_IDLE) {
                engine.SetIntendedPlatform(engine.GetFilePlatform());
                aiWriteFlashExecute();
            } else {
                bScriptAbort = 1;
            }
            break;
        case ScriptKeyword::None:
            break;
        }
    }
    LogLine((bScriptAbort || engine.IsAborted()) ? QStringLiteral("Script Aborted!")
                                                 : QStringLiteral("Script Completed Successfully"));
    return 1;
}

int TMainForm::GenerateTargetFile(int n) {
    const QString name = QString::fromLocal8Bit(LoaderInterface->GetFilename().c_str());
    if (name.isEmpty()) {
        LogLine(QStringLiteral("Need to use SETFILE before GENERATE"));
        return 0;
    }
    const QString target = TargetIdFileName(name, n);
    LogLine(target);
    const TargetIdResult result = WriteTargetIdFile(name, target, n);
    switch (result) {
    case TargetIdResult::Generated:
        LogLine(QStringLiteral("File Generated."));
        break;
    case TargetIdResult::Exists:
        LogLine(QStringLiteral("File exists..."));
        break;
    case TargetIdResult::SourceUnreadable:
    case TargetIdResult::ReadFailed:
        LogLine(QStringLiteral("Unable to read %1 - nothing generated.").arg(name));
        break;
    case TargetIdResult::WriteFailed:
        LogLine(QStringLiteral("Unable to write %1 - nothing generated.").arg(target));
        break;
    }
    return 1;
}
