// Loader script files: one keyword command a line, for unattended and production runs.
#include "ComPorts.h"
#include "Dialogs.h"
#include "KTR3LoaderIntf.h"
#include "LoaderScriptLine.h"
#include "Numbers.h"
#include "SSEngine.h"
#include "TargetIdFile.h"
#include "WholeFile.h"
#include "comset.h"
#include "loadmain.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

// No loader script comes near this; a file that does is no script.
constexpr std::size_t kMaxScriptBytes = 4u << 20;

QString UsingNumber(long long value) {
    return QStringLiteral("using %1").arg(value);
}

} // namespace

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
    // Read whole before the first line runs, so that nothing done to the file meanwhile (during a
    // DELAY, a PROMPT or a LOAD) changes what the run does.
    std::string text;
    const platform::ReadOutcome read =
        platform::ReadWholeFile(QFile::encodeName(sScriptFileName).toStdString(), text, kMaxScriptBytes);
    // A script that cannot be opened, or a folder, is no script: nothing is logged.
    if (read == platform::ReadOutcome::OpenFailed ||
        (read == platform::ReadOutcome::NotRegular && QFileInfo(sScriptFileName).isDir()))
        return 0;
    bScriptAbort = 0;
    const QString name = sScriptFileName;
    QString refusal;
    if (read == platform::ReadOutcome::NotRegular)
        refusal = QStringLiteral("Unable to read script %1 - it is not a regular file").arg(name);
    else if (read == platform::ReadOutcome::TooLarge)
        refusal = QStringLiteral("Unable to read script %1 - it is over %2 bytes, more than any script holds")
                      .arg(name)
                      .arg(kMaxScriptBytes);
    else if (read == platform::ReadOutcome::ReadFailed)
        refusal = QStringLiteral("Unable to read script %1").arg(name);
    else if (text.find('\0') != std::string::npos)
        // Saved as UTF-16: every keyword would read as a comment and nothing would run.
        refusal = QStringLiteral(
                      "Unable to run script %1 - it holds NUL bytes (UTF-16 text?); save it as plain text")
                      .arg(name);
    if (!refusal.isEmpty()) {
        LogLine(refusal);
        LogLine(QStringLiteral("Script Aborted!"));
        return 1;
    }
    std::string_view rest = text;
    // The byte-order mark some editors write first is no part of the first keyword.
    if (rest.starts_with("\xEF\xBB\xBF"))
        rest.remove_prefix(3);
    bool quit = false;
    while (!quit && !bScriptAbort && !engine.IsAborted() && !rest.empty()) {
        // A line is taken whole, however long, so the tail of a long line never runs as a command.
        const std::size_t end = rest.find('\n');
        const std::string raw(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const ScriptLine line = SplitScriptLine(raw);
        if (line.empty)
            continue;
        const std::string &arg = line.argument;
        const QString qarg = QString::fromLocal8Bit(arg.c_str());
        switch (line.keyword) {
        case ScriptKeyword::BANNER:
            setWindowTitle(qarg);
            break;
        case ScriptKeyword::BOOTTARGET: {
            const QString previous = editBootTargetID->text();
            editBootTargetID->setText(qarg);
            // No integer raises; an integer no card answers to is refused before it is used.
            try {
                engine.SetFirstStageTargetID(TargetCardID(editBootTargetID->text(), "Boot target card ID"));
            } catch (const std::out_of_range &refused) {
                editBootTargetID->setText(previous);
                LogLine(QStringLiteral("BOOTTARGET %1 refused - %2")
                            .arg(qarg, QString::fromLatin1(refused.what())));
                bScriptAbort = 1;
            }
            break;
        }
        case ScriptKeyword::CLEANUP:
            engine.Shutdown();
            break;
        case ScriptKeyword::COM: {
            if (iDebugLevel == 255)
                LogLine(QString::fromLocal8Bit(line.word.c_str()));
            // Two numbers as C scanning reads them, each held to what the COM settings can use,
            // never wrapped: a link at a port or rate nobody can use must not be tried.
            const char *const first = arg.c_str();
            char *afterPort = nullptr;
            char *afterRate = nullptr;
            const long long port = std::strtoll(first, &afterPort, 10);
            const long long rate = std::strtoll(afterPort, &afterRate, 10);
            if (afterPort == first || afterRate == afterPort) {
                LogLine(
                    QStringLiteral("COM argument \"%1\" is not a port and a download rate - nothing changed")
                        .arg(qarg));
            } else if (port < 1 || port > platform::kMaxComPort) {
                LogLine(QStringLiteral("COM %1 refused - %2 is not a port from 1 to %3")
                            .arg(qarg)
                            .arg(port)
                            .arg(platform::kMaxComPort));
                bScriptAbort = 1;
            } else if (!TPortSetup::OffersDownloadRate(rate)) {
                LogLine(QStringLiteral("COM %1 refused - %2 is not a download rate the COM settings offer")
                            .arg(qarg)
                            .arg(rate));
                bScriptAbort = 1;
            } else {
                iPort = static_cast<int>(port);
                iBaudrate = static_cast<int>(rate);
                UpdateStatusBar();
            }
            break;
        }
        case ScriptKeyword::DEBUG: {
            // The card takes the level in one byte: one outside it is refused, never wrapped.
            const int level = ScriptArgToInt(arg);
            if (level < 0 || level > 255) {
                LogLine(
                    QStringLiteral("DEBUG %1 refused - the debug level is a number from 0 to 255").arg(qarg));
                bScriptAbort = 1;
                break;
            }
            NoteScriptNumber(line, 0, 255, UsingNumber(level));
            iDebugLevel = level;
            break;
        }
        case ScriptKeyword::DELAY: {
            LogLine(QStringLiteral("DELAY Start"));
            const int ms = ScriptArgToInt(arg);
            NoteScriptNumber(line, 0, INT_MAX, UsingNumber(std::max(ms, 0)));
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
        case ScriptKeyword::GENERATE:
            if (const std::optional<long long> n = platform::ParseNumber(arg, 1, 10))
                GenerateTargetFile(static_cast<int>(*n));
            else
                NoteScriptNumber(line, 1, 10, QStringLiteral("nothing generated"));
            break;
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
            if (qarg.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0) {
                // The engine has said why a power port it tried would not switch; a card left without
                // power must not be counted as done.
                if (!engine.SetPower(1) && engine.pclMyPowerComPort->GetComNumber() != 0)
                    bScriptAbort = 1;
            } else if (qarg.compare(QLatin1String("OFF"), Qt::CaseInsensitive) == 0) {
                engine.SetPower(0);
            }
            break;
        case ScriptKeyword::PWRPORT: {
            const int port = ScriptArgToInt(arg);
            NoteScriptNumber(line, 0, platform::kMaxComPort, UsingNumber(port));
            engine.SetPowerComPort(port);
            break;
        }
        case ScriptKeyword::QUIT:
            LogLine(QStringLiteral("Script QUIT"));
            quit = true;
            break;
        case ScriptKeyword::RESET:
            if (engine.CanRunRequest())
                engine.ResetCard();
            else
                LogLine(QStringLiteral("RESET: no link to a card - no reset was sent"));
            break;
        case ScriptKeyword::TIMEOUT: {
            const int seconds = ScriptArgToInt(arg);
            NoteScriptNumber(line, 0, INT_MAX, UsingNumber(std::max(seconds, 0)));
            engine.SetFirstStageTimeout(seconds);
            break;
        }
        case ScriptKeyword::TRACE: {
            const int flag = ScriptArgToInt(arg);
            NoteScriptNumber(line, INT_MIN, INT_MAX, UsingNumber(flag));
            engine.SetTracing(flag);
            break;
        }
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

void TMainForm::NoteScriptNumber(const ScriptLine &line, long long lowest, long long highest,
                                 const QString &outcome) {
    if (platform::ParseNumber(line.argument, lowest, highest))
        return;
    const QString range = lowest == INT_MIN && highest == INT_MAX
                              ? QString()
                              : QStringLiteral(" from %1 to %2").arg(lowest).arg(highest);
    LogLine(QStringLiteral("%1 argument \"%2\" is not a plain number%3 - %4")
                .arg(QString::fromLocal8Bit(line.word.c_str()).toUpper(),
                     QString::fromLocal8Bit(line.argument.c_str()), range, outcome));
}

int TMainForm::GenerateTargetFile(int n) {
    // A file the program rejected is no firmware file: no copy is made from its text. A GENERATE
    // that makes no copy (an existing one aside) fails the run.
    if (!sFileName.isEmpty() && !bFileAccepted) {
        LogLine(QStringLiteral("File rejected - nothing generated."));
        bScriptAbort = 1;
        return 0;
    }
    const QString name = QString::fromLocal8Bit(LoaderInterface->GetFilename().c_str());
    if (name.isEmpty()) {
        LogLine(QStringLiteral("Need to use SETFILE before GENERATE"));
        bScriptAbort = 1;
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
        bScriptAbort = 1;
        break;
    case TargetIdResult::WriteFailed:
        LogLine(QStringLiteral("Unable to write %1 - nothing generated.").arg(target));
        bScriptAbort = 1;
        break;
    }
    return 1;
}
