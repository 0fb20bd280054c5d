// Loader scripts run by the real main window (offscreen) and its engine, without a card: the
// keywords, how lines are read, the end lines, DELAY, PROMPT, GENERATE, errors and aborts.
#include "Clock.h"
#include "Dialogs.h"
#include "FSEngine.h"
#include "FileFaults.h"
#include "KTR3LoaderIntf.h"
#include "PseudoTerminal.h"
#include "PtyPeer.h"
#include "SSEngine.h"
#include "TargetIdFile.h"
#include "loadmain.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <vector>

// Readable failures: log lines print as text.
void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

class LoaderScript : public ::testing::Test {
protected:
    void SetUp() override {
        // Each window starts from the built-in settings, not from what an earlier one stored.
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/Zandrel Inc./Quorvel.conf"));
        platform::SetMessageHandler([this](const platform::MessageRequest &request) {
            boxes.push_back(request);
            if (onBox)
                onBox();
            return answer;
        });
        form = std::make_unique<TMainForm>();
        engine = LoaderInterface;
    }

    void TearDown() override {
        form.reset();
        platform::SetMessageHandler({});
    }

    QString WriteFile(const QString &name, const QByteArray &bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    // Makes the script the one Run Script takes, as the script dialog would.
    void UseScript(const QByteArray &text) {
        form->ScriptFileOpenDlgFileName = WriteFile(QStringLiteral("run.lsf"), text);
        form->UpdateActionStates();
    }

    QStringList Run(const QByteArray &text) {
        UseScript(text);
        form->Memo1->clear();
        form->aiRunScriptExecute();
        return Log();
    }

    // The interpreter alone, without Run Script's set-up and its closing Shutdown.
    QStringList Execute(const QByteArray &text) {
        form->sScriptFileName = WriteFile(QStringLiteral("direct.lsf"), text);
        form->Memo1->clear();
        form->ExecuteScript();
        return Log();
    }

    QStringList Log() const {
        const QString text = form->Memo1->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    QString firmware() {
        return WriteFile(QStringLiteral("app.hex"), "S0~P~KTR557\r\nS0~T~APP\r\nS0~V~1.2\r\n");
    }

    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    TLoaderInterface *engine = nullptr;
    std::vector<platform::MessageRequest> boxes;
    std::function<void()> onBox;
    platform::MessageResult answer = platform::MessageResult::Ok;
};

const QString completed = QStringLiteral("Script Completed Successfully");
const QString aborted = QStringLiteral("Script Aborted!");

} // namespace

TEST_F(LoaderScript, OpenScriptFileChoosesWhatRunScriptRuns) {
    std::vector<platform::FileDialogRequest> asked;
    QString choice;
    platform::SetFileDialogHandler([&](const platform::FileDialogRequest &request) {
        asked.push_back(request);
        return choice;
    });
    form->sInitialDir = dir.path();
    EXPECT_FALSE(form->aiRunScript->isEnabled());
    form->aiOpenScriptFileExecute(); // cancelled
    EXPECT_FALSE(form->aiRunScript->isEnabled());
    EXPECT_TRUE(Log().isEmpty());

    choice = WriteFile(QStringLiteral("chosen.lsf"), "MESSAGE chosen\n");
    form->aiOpenScriptFileExecute();
    platform::SetFileDialogHandler({});
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].directory, dir.path());
    EXPECT_EQ(asked[1].defaultSuffix, "lsf");
    EXPECT_TRUE(asked[1].filter.startsWith("Loader Script Files (*.lsf, *.txt)"));
    EXPECT_EQ(Log(), QStringList{choice});
    ASSERT_TRUE(form->aiRunScript->isEnabled());
    form->Memo1->clear();
    form->aiRunScript->trigger();
    EXPECT_EQ(Log(), (QStringList{"chosen", completed}));
}

TEST_F(LoaderScript, EndLines) {
    EXPECT_EQ(Run(""), QStringList{completed});
    EXPECT_EQ(Run("MESSAGE one\nQUIT\nMESSAGE two\n"), (QStringList{"one", "Script QUIT", completed}));
    // The last line runs once, with or without its newline.
    EXPECT_EQ(Run("MESSAGE a\nMESSAGE b"), (QStringList{"a", "b", completed}));
    EXPECT_EQ(Run("MESSAGE a\nMESSAGE b\n"), (QStringList{"a", "b", completed}));
    // A read error is no end of the script: the lines after it never ran.
    form->sScriptFileName = WriteFile(QStringLiteral("unreadable.lsf"), "MESSAGE never\n");
    testsupport::MakeUnreadable(form->sScriptFileName.toStdString());
    form->Memo1->clear();
    form->ExecuteScript();
    EXPECT_EQ(Log(), (QStringList{"Unable to read script " + form->sScriptFileName, aborted}));
    // A pipe is refused, naming it, and never holds the run.
    form->sScriptFileName = dir.filePath(QStringLiteral("pipe.lsf"));
    testsupport::MakeFifo(form->sScriptFileName.toStdString());
    form->Memo1->clear();
    form->ExecuteScript();
    EXPECT_EQ(Log(),
              (QStringList{"Unable to read script " + form->sScriptFileName + " - it is not a regular file",
                           aborted}));

    // A script that cannot be opened logs nothing; Run Script still ends its busy state.
    form->sScriptFileName = dir.filePath(QStringLiteral("missing.lsf"));
    form->Memo1->clear();
    EXPECT_EQ(form->ExecuteScript(), 0);
    form->sScriptFileName = dir.path();
    EXPECT_EQ(form->ExecuteScript(), 0);
    form->ScriptFileOpenDlgFileName = form->sScriptFileName;
    form->aiRunScriptExecute();
    EXPECT_TRUE(Log().isEmpty());
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_EQ(form->bScriptRunning, 0);
    EXPECT_TRUE(form->aiRunScript->isEnabled());
}

TEST_F(LoaderScript, LinesAreReadAsWritten) {
    // Windows and Linux line ends read alike; a CR never reaches an argument.
    const QByteArray lines = "BANNER Bench 4\nMESSAGE x y\n\nMESSAGE last";
    QByteArray crlf = lines;
    crlf.replace("\n", "\r\n");
    EXPECT_EQ(Run(crlf), (QStringList{"x y", "last", completed}));
    EXPECT_EQ(form->windowTitle(), "Bench 4");
    EXPECT_EQ(Run(lines), (QStringList{"x y", "last", completed}));
    // A UTF-8 byte-order mark is skipped; a UTF-16 script, which would run nothing, is refused.
    EXPECT_EQ(Run("\xEF\xBB\xBFMESSAGE first\n"), (QStringList{"first", completed}));
    EXPECT_EQ(Run(QByteArray("M\0E\0", 4)).value(1), aborted);

    // Keywords in any case; the argument starts after the line's first blank, so a line that
    // begins with blanks keeps its keyword in the argument; blanks and tabs before the keyword
    // are skipped; other first words are comments.
    EXPECT_EQ(Run("delay 1\nDeLaY 1\n  MESSAGE two blanks\n\tMESSAGE after a tab\nREM MESSAGE no\n"
                  "MESSAGES no\n"),
              (QStringList{"DELAY Start", "DELAY End", "DELAY Start", "DELAY End", " MESSAGE two blanks",
                           "after a tab", completed}));

    // A tab does not start the argument: the power port becomes 0.
    Run("PWRPORT 5\n");
    EXPECT_EQ(engine->pclMyPowerComPort->GetComNumber(), 5);
    Run("PWRPORT\t3\n");
    EXPECT_EQ(engine->pclMyPowerComPort->GetComNumber(), 0);

    // A long line stays one line: its tail does not run as a command of its own, and a first
    // word longer than any keyword is no keyword.
    const QByteArray tail = QByteArray(300, 'a') + " QUIT";
    EXPECT_EQ(Run("MESSAGE " + tail + "\nMESSAGE next\n"), (QStringList{tail, "next", completed}));
    EXPECT_EQ(Run("QUIT" + QByteArray(60, 'X') + " now\nMESSAGE next\n"), (QStringList{"next", completed}));
    // A line far too long to read is logged shortened, saying so, and the log stays live.
    EXPECT_EQ(Run("MESSAGE " + QByteArray(300000, 'a') + "\n").value(0),
              QString(4000, 'a') + " ... (296000 more characters not shown)");
}

TEST_F(LoaderScript, SettingKeywords) {
    // COM needs both numbers; at debug level 255 it logs its keyword as written.
    EXPECT_EQ(
        Run("COM 3\n"),
        (QStringList{"COM argument \"3\" is not a port and a download rate - nothing changed", completed}));
    EXPECT_EQ(form->iPort, 1);
    EXPECT_EQ(form->iBaudrate, 115200);
    EXPECT_EQ(Run("DEBUG 255\ncom 3 57600\n"), (QStringList{"com", completed}));
    EXPECT_EQ(form->iDebugLevel, 255);
    EXPECT_EQ(form->iPort, 3);
    EXPECT_EQ(form->iBaudrate, 57600);
    EXPECT_EQ(form->StatusPanels[2]->text(), "Download: 57600");
    EXPECT_EQ(
        Run("DEBUG 7x\n"),
        (QStringList{"DEBUG argument \"7x\" is not a plain number from 0 to 255 - using 7", completed}));
    EXPECT_EQ(form->iDebugLevel, 7);

    // Values no card can take are refused, never wrapped, and fail the run.
    for (const char *refused :
         {"COM 3 99999999999", "COM 100 57600", "DEBUG 256", "DEBUG -1", "BOOTTARGET 257"})
        EXPECT_EQ(Run(QByteArray(refused) + "\nMESSAGE after\n").value(1), aborted) << refused;
    EXPECT_EQ(form->iPort, 3);
    EXPECT_EQ(form->iBaudrate, 57600);
    EXPECT_EQ(form->iDebugLevel, 7);
    EXPECT_EQ(form->editBootTargetID->text(), "0");

    Run("BOOTTARGET 5\nTIMEOUT 45\nTRACE 1\nUNIT 9\n");
    EXPECT_EQ(form->editBootTargetID->text(), "5");
    EXPECT_EQ(engine->pclMyFirstStage->GetTargetID(), 5);
    EXPECT_EQ(engine->GetFirstStageTimeout(), 45);
    EXPECT_EQ(engine->GetTracing(), 1);
    EXPECT_EQ(form->bTracing, 0) << "TRACE sets the engine only";
    Run("TIMEOUT -99999999999\n");
    EXPECT_EQ(engine->GetFirstStageTimeout(), 0);

    // ON and OFF are the whole argument in any case; anything else does nothing.
    Run("OPTILOAD off\n");
    EXPECT_FALSE(form->cbOptimizedLoading->isChecked());
    Run("OPTILOAD yes\nOPTILOAD ON \n");
    EXPECT_FALSE(form->cbOptimizedLoading->isChecked());
    Run("OPTILOAD On\n");
    EXPECT_TRUE(form->cbOptimizedLoading->isChecked());

    // Run Script starts without a platform; PLATFORM sets one for the window and the engine.
    form->editFilePlatform->setText("OLD");
    engine->SetIntendedPlatform("OLD");
    Run("MESSAGE x\n");
    EXPECT_EQ(form->editFilePlatform->text(), "");
    EXPECT_STREQ(engine->GetIntendedPlatform(), "");
    EXPECT_EQ(Run("PLATFORM KTR557\n"), (QStringList{"Platform Set", completed}));
    EXPECT_EQ(form->editFilePlatform->text(), "KTR557");
    EXPECT_STREQ(engine->GetIntendedPlatform(), "KTR557");

    // INIT clears the card's identity and the boot target and ends the link; CLEANUP ends it;
    // RESET with no link sends nothing and says so.
    form->editPSN->setText("PSN-1");
    const QStringList init = Execute("INIT\n");
    EXPECT_EQ(init.value(0), "Initializing UI...");
    EXPECT_EQ(form->editPSN->text(), "");
    EXPECT_EQ(form->editBootTargetID->text(), "0");
    EXPECT_EQ(engine->pclMyFirstStage->GetTargetID(), 0);
    EXPECT_EQ(engine->GetLoaderState(), SS_STATE_SHUTDOWN);
    engine->pclMySecondStage->SetEngineState(SS_STATE_STARTUP);
    Execute("CLEANUP\n");
    EXPECT_EQ(engine->GetLoaderState(), SS_STATE_SHUTDOWN);
    EXPECT_EQ(Run("RESET\n"), (QStringList{"RESET: no link to a card - no reset was sent", completed}));
}

TEST_F(LoaderScript, PowerFollowsOnAndOffOnly) {
    testsupport::PseudoTerminal powerLine;
    testsupport::ScopedComMapping com7{7, powerLine.DevicePath()};
    Run("PWRPORT 7\nPOWER on\n");
    EXPECT_TRUE(engine->pclMyPowerComPort->IsOpen());
    Run("POWER 0\n");
    EXPECT_TRUE(engine->pclMyPowerComPort->IsOpen());
    Run("POWER Off\n");
    EXPECT_FALSE(engine->pclMyPowerComPort->IsOpen());
    Run("POWER 1\n");
    EXPECT_FALSE(engine->pclMyPowerComPort->IsOpen());

    // A power port that does not exist is named in the log, and the run fails.
    testsupport::ScopedComMapping com8{8, QStringLiteral("/dev/no-such-power-port")};
    EXPECT_EQ(Run("PWRPORT 8\nPOWER ON\nMESSAGE after\n"),
              (QStringList{"Cannot switch the power on: power port COM8 - COM8 does not exist "
                           "(/dev/no-such-power-port)",
                           aborted}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LoaderScript, FileKeywordsAndGenerate) {
    EXPECT_EQ(Run("GENERATE 2\n"), (QStringList{"Need to use SETFILE before GENERATE", aborted}));

    const QString app = firmware();
    const QString id2 = TargetIdFileName(app, 2);
    const QString id10 = TargetIdFileName(app, 10);
    const QString ignored =
        QStringLiteral("GENERATE argument \"%1\" is not a plain number from 1 to 10 - nothing generated");
    EXPECT_EQ(Run("SETFILE " + app.toLocal8Bit() + "\nGENERATE 0\nGENERATE 11\nGENERATE x\nGENERATE\n"),
              (QStringList{app, ignored.arg("0"), ignored.arg("11"), ignored.arg("x"), ignored.arg(""),
                           completed}));
    EXPECT_EQ(form->editFileType->text(), "APP");
    EXPECT_EQ(
        Run("GENERATE 10\nGENERATE 2\nGENERATE 2\n"),
        (QStringList{id10, "File Generated.", id2, "File Generated.", id2, "File exists...", completed}));
    QFile copy(id10);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "S0~I~10\r\nS0~P~KTR557\r\nS0~T~APP\r\nS0~V~1.2\r\n");

    // FILE names a file as SETFILE does; a copy that cannot be made is never claimed.
    const QString other = WriteFile(QStringLiteral("other.hex"), "S0~P~ZJ7\nS0~T~NVM\n");
    EXPECT_EQ(Run("FILE " + other.toLocal8Bit() + "\n"), (QStringList{other, completed}));
    EXPECT_EQ(form->editFilePlatform->text(), "ZJ7");
    QFile::remove(other);
    const QStringList unreadable = Run("GENERATE 3\n");
    EXPECT_EQ(unreadable.size(), 3);
    EXPECT_TRUE(unreadable.value(1).startsWith("Unable to read ")) << unreadable.join('|').toStdString();
    EXPECT_EQ(unreadable.value(2), aborted);
    EXPECT_FALSE(QFile::exists(TargetIdFileName(other, 3)));

    // A file the program rejected is never copied.
    const QString bad = WriteFile(QStringLiteral("bad.hex"), "S3090001000001020304EB\n");
    const QStringList rejected = Run("SETFILE " + bad.toLocal8Bit() + "\nGENERATE 3\nMESSAGE after\n");
    EXPECT_EQ(rejected.mid(rejected.size() - 2),
              (QStringList{"File rejected - nothing generated.", aborted}));
    EXPECT_FALSE(QFile::exists(TargetIdFileName(bad, 3)));
}

TEST_F(LoaderScript, RejectedFileNeverReachesTheCard) {
    // UPDATE before any file was named is no rejected file: it tries the link, which fails.
    EXPECT_EQ(Run("UPDATE\nMESSAGE after\n").last(), aborted);

    // A rejected file skips LOAD's and UPDATE's card steps and ends the run as aborted.
    const QByteArray missing = dir.filePath(QStringLiteral("missing.hex")).toLocal8Bit();
    for (const QByteArray &script :
         {"LOAD " + missing + "\nMESSAGE after\n", "FILE " + missing + "\nUPDATE\nMESSAGE after\n"}) {
        const QStringList log = Run(script);
        EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"File rejected - card not programmed.", aborted}))
            << log.join('|').toStdString();
    }

    // A file gone since it was accepted is dropped when the link is tried, by the window too.
    const QString gone = firmware();
    ASSERT_TRUE(form->OpenHexFile(gone));
    ASSERT_TRUE(QFile::remove(gone));
    EXPECT_EQ(Run("UPDATE\n").last(), aborted);
    EXPECT_EQ(form->bFileAccepted, 0);
}

TEST_F(LoaderScript, NoCardAttached) {
    // Virtual time lets the first stage's search run out at once; the line stays silent.
    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    testsupport::PtyPeer silentCard{[](const std::string &) { return std::string(); }};
    testsupport::ScopedComMapping com1{1, silentCard.DevicePath()};
    const QByteArray app = firmware().toLocal8Bit();

    // LOAD that cannot bring the link up ends the run at once, with no end line.
    form->sScriptFileName =
        WriteFile(QStringLiteral("load.lsf"), "TIMEOUT 2\nLOAD " + app + "\nMESSAGE after\n");
    EXPECT_EQ(form->ExecuteScript(), 0);
    QStringList log = Log();
    EXPECT_EQ(log.value(log.size() - 1), "Unable to Start Loader Engine for script")
        << log.join('|').toStdString();
    EXPECT_FALSE(log.contains("after"));

    // UPDATE that cannot bring the link up ends the run as aborted.
    log = Run("TIMEOUT 2\nFILE " + app + "\nUPDATE\nMESSAGE after\n");
    EXPECT_EQ(log.value(log.size() - 1), aborted) << log.join('|').toStdString();
    EXPECT_FALSE(log.contains("after"));
    silentCard.Stop();
}

TEST_F(LoaderScript, DelayWaitsOnTheWindowTimerOnlyForAPositiveTime) {
    bool pumped = false;
    QTimer::singleShot(0, [&] { pumped = true; });
    const QStringList log = Execute("DELAY 0\nDELAY -5\nDELAY soon\n");
    EXPECT_FALSE(pumped) << "no wait at all";
    EXPECT_EQ(log.count("DELAY Start"), 3);
    EXPECT_EQ(log.count("DELAY End"), 3);
    EXPECT_TRUE(log.contains("DELAY argument \"soon\" is not a plain number from 0 to 2147483647 - using 0"));

    EXPECT_EQ(Execute("DELAY 20\n"), (QStringList{"DELAY Start", "DELAY End", completed}));
    EXPECT_TRUE(pumped) << "the window stays live while it waits";
    EXPECT_FALSE(form->Timer1->isActive());

    // The script was read whole when the run started: cutting the file during a DELAY changes nothing.
    QTimer::singleShot(0, [this] { QFile::resize(form->sScriptFileName, 0); });
    EXPECT_EQ(Execute("DELAY 20\nREM " + QByteArray(8000, 'x') + "\nMESSAGE after\n"),
              (QStringList{"DELAY Start", "DELAY End", "after", completed}));

    // A wait far too long to sit out ends when the program is asked to quit.
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    EXPECT_EQ(Run("DELAY 600000\nMESSAGE after\n"), (QStringList{"DELAY Start", "DELAY End", aborted}));
}

TEST_F(LoaderScript, PromptWaitsForEitherAnswerAndTheRunGoesOn) {
    answer = platform::MessageResult::Cancel;
    bool busyDuringPrompt = false;
    onBox = [&] {
        busyDuringPrompt = form->bBusy && form->bScriptRunning && !form->aiRunScript->isEnabled() &&
                           !form->aiWriteFlash->isEnabled() && form->aiAbort->isEnabled();
    };
    EXPECT_EQ(Run("PROMPT Insert the next card, then OK\nMESSAGE after\n"),
              (QStringList{"after", completed}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Insert the next card, then OK");
    EXPECT_EQ(boxes[0].caption, "Confirm");
    EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_TRUE(busyDuringPrompt);
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_EQ(form->bScriptRunning, 0);
    EXPECT_TRUE(form->aiRunScript->isEnabled());
}

TEST_F(LoaderScript, AnErrorEndsTheRunAndReachesTheExceptionBox) {
    UseScript("MESSAGE before\nBOOTTARGET 5x\nMESSAGE after\n");
    form->Memo1->clear();
    form->aiRunScript->trigger();
    EXPECT_EQ(Log(), QStringList{"before"}) << "no end line";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("5x")) << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_EQ(form->bScriptRunning, 0);
    EXPECT_TRUE(form->aiRunScript->isEnabled());
}

TEST_F(LoaderScript, AbortStopsTheRunAfterTheCurrentLine) {
    // The engine asks for an abort while a DELAY waits: the DELAY ends as usual, nothing after.
    QTimer::singleShot(0, [] { MainOnAbortRequest(9); });
    EXPECT_EQ(Run("DELAY 10\nMESSAGE after\n"),
              (QStringList{"DELAY Start", "HandleAbort : 9", "DELAY End", aborted}));

    // The user's Abort while a PROMPT waits.
    onBox = [this] { form->aiAbort->trigger(); };
    EXPECT_EQ(Run("PROMPT Ready?\nMESSAGE after\n"), QStringList{aborted});
    EXPECT_EQ(form->bBusy, 0);

    // The user's Abort while a DELAY waits ends the wait before its time.
    onBox = nullptr;
    QTimer::singleShot(0, form.get(), [this] { form->aiAbort->trigger(); });
    EXPECT_EQ(Run("DELAY 5000\nMESSAGE after\n"), (QStringList{"DELAY Start", "DELAY End", aborted}));
    EXPECT_EQ(form->bDelayExpired, 0);
    // Also with a boot-code file open, whose load Abort must not cut short: a DELAY sends nothing.
    ASSERT_TRUE(
        form->OpenHexFile(WriteFile(QStringLiteral("boot.hex"), "S0~P~KTR557\nS0~T~BOOT\nS0~V~1.2\n")));
    QTimer::singleShot(0, form.get(), [this] { form->aiAbort->trigger(); });
    EXPECT_EQ(Run("DELAY 5000\nMESSAGE after\n"), (QStringList{"DELAY Start", "DELAY End", aborted}));

    // The next run starts clean.
    EXPECT_EQ(Run("MESSAGE again\n"), (QStringList{"again", completed}));
}
