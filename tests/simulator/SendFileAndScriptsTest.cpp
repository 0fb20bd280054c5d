// File sending and user-button scripts through the main window, against the device stand-in on
// a pseudo-terminal.
#include "SerialPort.h"
#include "TfDefineButton.h"
#include "TfPelmora.h"
#include "TfSendFilePopUp.h"

#include "DeviceStandIn.h"
#include "Dialogs.h"
#include "FastForwardClock.h"
#include "PelmoraTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using pelmoratest::PollUntil;
using pelmoratest::StartDirectory;
using pelmoratest::WaitUntil;
using testsupport::DeviceStandIn;

namespace {

// The main window with what it shows and logs recorded.
class ScriptWindow : public TfPelmora {
public:
    std::vector<std::string> shown, logged, outgoing;

    void AddMonitorLine(const char *text) override { shown.emplace_back(text); }
    void AddMonitorLineAs(const char *text, int category) override {
        if (category == 0)
            outgoing.emplace_back(text);
    }
    void LogMessage(const char *text) override { logged.emplace_back(text); }
};

// A window connected to a steering controller, with its dialogs and boxes answered by the test.
class SendAndScripts : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMessageHandler([this](const platform::MessageRequest &request) {
            boxes.push_back(request);
            return platform::MessageResult::Ok;
        });
        platform::SetFileDialogHandler([this](const platform::FileDialogRequest &request) {
            fileDialogs.push_back(request);
            return chosenFile;
        });
        platform::SetModalDialogHandler([this](QDialog &dialog) {
            ++modalDialogs;
            answerDialog(dialog);
            return dialog.result();
        });
        OpenWindow();
        window->findChild<QPushButton *>("bComOpenClose")->click();
        ASSERT_TRUE(window->IsPortOpen());
    }
    void TearDown() override {
        CloseWindow();
        platform::SetMessageHandler({});
        platform::SetFileDialogHandler({});
        platform::SetModalDialogHandler({});
    }
    void OpenWindow() {
        window = std::make_unique<ScriptWindow>();
        window->AttachWindows({.defineButton = &defineButton, .sendFilePopUp = &popup});
        window->show();
    }
    void CloseWindow() {
        if (!window)
            return;
        window->close();
        window->AttachWindows({});
        window.reset();
    }
    QString WriteFile(const QString &path, const std::string &content) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content.data(), static_cast<qint64>(content.size()));
        return path;
    }
    QPushButton *Button(const char *name) { return window->findChild<QPushButton *>(name); }
    QString Text(const char *label) { return window->findChild<QLabel *>(label)->text(); }
    bool Sending() { return window->FileSend().active; }
    // Defines button n of the current group through its dialog.
    void DefineButton(int n, const QString &caption, const QString &script) {
        answerDialog = [&](QDialog &dialog) {
            dialog.findChild<QLineEdit *>("ebButtonCaption")->setText(caption);
            dialog.findChild<QPlainTextEdit *>("memoButtonText")->setPlainText(script);
            dialog.findChild<QPushButton *>("bOk")->click();
        };
        emit Button(QString("bButton%1").arg(n + 1).toLatin1().constData())->customContextMenuRequested({});
    }
    void PressKey(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
    }

    testsupport::FastForwardClock clock;
    platform::ScopedClock useClock{clock};
    StartDirectory start;
    DeviceStandIn device{DeviceStandIn::Kind::SteeringController};
    testsupport::ScopedComMapping map{1, device.DevicePath()};
    TfDefineButton defineButton;
    TfSendFilePopUp popup;
    std::unique_ptr<ScriptWindow> window;
    QString chosenFile;
    std::function<void(QDialog &)> answerDialog = [](QDialog &) {};
    int modalDialogs = 0;
    std::vector<platform::MessageRequest> boxes;
    std::vector<platform::FileDialogRequest> fileDialogs;
};

std::string NumberedLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "$PQVZS,TXT," + std::to_string(i) + ",LINE\r\n";
    return text;
}

} // namespace

TEST_F(SendAndScripts, AFileWithoutLineEndsArrivesUnchangedFromThePathAsChosen) {
    std::string content;
    for (int i = 0; i < 1000; ++i)
        content += i % 256 == '\n' || i % 256 == '\r' ? 'n' : static_cast<char>(i % 256);
    QString dir = QDir::current().filePath("Mixed Case");
    for (const char c : {'A', 'B', 'C'})
        dir += "/" + QString(100, QChar(c));
    QDir().mkpath(dir);
    chosenFile = WriteFile(dir + "/Image.BIN", content);
    ASSERT_GT(chosenFile.size(), 299);
    Button("bSendFile")->click();
    ASSERT_EQ(fileDialogs.size(), 1u);
    EXPECT_EQ(fileDialogs[0].caption, "Select file to Send");
    EXPECT_EQ(
        fileDialogs[0].filter,
        "Text files (*.txt)|*.txt|Hex Files (*.hex)|*.hex|A90 Hex files (*.a90)|*.a90|All files (*.*)|*.*");
    EXPECT_EQ(fileDialogs[0].filterIndex, 4);
    // The stored default of 200 x 200 has no room to choose a file in.
    EXPECT_GT(fileDialogs[0].windowRect->width(), 200);
    EXPECT_GT(fileDialogs[0].windowRect->height(), 200);
    EXPECT_EQ(Button("bSendFile")->text(), "Cancel File");
    EXPECT_EQ(Text("lSendFilePB"), "sending file   -   " + chosenFile);
    EXPECT_TRUE(Text("lSendFileInfoPB").startsWith("1000 bytes  "));
    EXPECT_FALSE(Button("bButton1")->isEnabled());
    ASSERT_TRUE(PollUntil(*window, [&] { return !Sending(); }));
    ASSERT_TRUE(WaitUntil([&] { return device.ReceivedBytes().size() >= content.size(); }));
    EXPECT_EQ(device.ReceivedBytes(), content);
    EXPECT_EQ(Button("bSendFile")->text(), "Send File");
    EXPECT_TRUE(Button("bButton1")->isEnabled());

    // The dialog starts there next time; the same name in another case is another file here.
    chosenFile = dir + "/image.bin";
    Button("bSendFile")->click();
    EXPECT_EQ(fileDialogs.back().directory, QDir::cleanPath(dir));
    EXPECT_EQ(fileDialogs.back().fileName, dir + "/Image.BIN");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable to open file - " + chosenFile);
    EXPECT_EQ(boxes[0].caption, "File Open Error");

    // A name with a line break goes out but is not kept: the next dialog starts as before.
    chosenFile = WriteFile(QDir::current().filePath("two\nlines.txt"), "x");
    Button("bSendFile")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return !Sending(); }));
    chosenFile.clear();
    Button("bSendFile")->click();
    EXPECT_EQ(fileDialogs.back().directory, QDir::cleanPath(dir));
    EXPECT_EQ(fileDialogs.back().fileName, dir + "/Image.BIN");
}

TEST_F(SendAndScripts, ALineDelayedFileWaitsForTheDevicesOkReplies) {
    // The line delay comes from the popup on a right click of Send File.
    answerDialog = [](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("ebMsDelayBetweenLines")->setText("5");
        dialog.findChild<QPushButton *>("bOk")->click();
    };
    emit Button("bSendFile")->customContextMenuRequested({});
    ASSERT_EQ(window->GetSendFileLineDelayMs(), 5);

    const std::string content = NumberedLines(10);
    chosenFile = WriteFile(QDir::current().filePath("lines.txt"), content);
    Button("bSendFile")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return device.Received().size() >= 4; }));
    for (int i = 0; i < 50; ++i)
        window->PollSerialPort();
    EXPECT_EQ(window->FileSend().outstandingLines, 4); // four line ends out, none answered

    device.AnswerEveryLine("[Ok]");
    for (int i = 0; i < 4; ++i)
        device.SendLine("[Ok]");
    ASSERT_TRUE(PollUntil(*window, [&] { return !Sending(); }));
    // Every line handled so far came in while the send ran: the replies stayed out of sight.
    EXPECT_EQ(std::count(window->shown.begin(), window->shown.end(), "[Ok]"), 0);
    EXPECT_EQ(std::count(window->logged.begin(), window->logged.end(), "[Ok]"), 0);
    ASSERT_TRUE(WaitUntil([&] { return device.ReceivedBytes().size() >= content.size(); }));
    EXPECT_EQ(device.ReceivedBytes(), content);

    // A delay that is not a whole number is refused and the old one kept.
    answerDialog = [](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("ebMsDelayBetweenLines")->setText("5 ms");
        dialog.findChild<QPushButton *>("bOk")->click();
    };
    window->bClickSendFilePopup();
    EXPECT_EQ(window->GetSendFileLineDelayMs(), 5);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "'5 ms' is not a valid integer value");
    answerDialog = [](QDialog &dialog) {
        dialog.findChild<QLineEdit *>("ebMsDelayBetweenLines")->setText("-5");
        dialog.findChild<QPushButton *>("bOk")->click();
    };
    window->bClickSendFilePopup();
    EXPECT_EQ(window->GetSendFileLineDelayMs(), 5);
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(SendAndScripts, AButtonScriptTalksToTheBootLoaderAndSendsItsImage) {
    std::string image;
    for (int i = 0; i < 40; ++i)
        image += "S113" + std::to_string(1000 + i) + "0123456789ABCDEF0123456789ABCDEF00\r\n";
    WriteFile(QDir::current().filePath("image.hex"), image);
    window->findChild<QAction *>("mButtonGroup1")->trigger();
    DefineButton(2, "Boot",
                 "~ wake the boot loader\nHELLO\n~waitfor OK\n\n~GetHnBlVer\n~waitfor READY\n~SetHnBlBaud\n"
                 "~f image.hex\n\n");
    EXPECT_EQ(Button("bButton3")->text(), "Boot");

    // The boot loader names its version, then says it is ready; the answers are held until the
    // script waits for them, as a slower device would take its time.
    device.AnswerLine("$PQVZQ,DID", "$PQVZR,DID,HolvanekBL,1.3,v1.3\r\nBL READY");
    device.AnswerEveryLine("[Ok]");
    device.HoldReplies();
    PressKey(Qt::Key_F3);
    ASSERT_TRUE(window->ScriptState().running);
    EXPECT_FALSE(Button("bSendFile")->isEnabled());
    ASSERT_TRUE(PollUntil(*window, [&] { return window->ScriptState().waitPattern == "OK"; }));
    device.SendLine("OK");
    ASSERT_TRUE(PollUntil(*window, [&] { return window->ScriptState().waitPattern == "READY"; }));
    device.ReleaseReplies();
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));

    ASSERT_TRUE(WaitUntil([&] { return device.ReceivedBytes().ends_with(image); }));
    EXPECT_EQ(device.ReceivedBytes(), "HELLO\r\n$PQVZQ,DID\r\n" + image);
    EXPECT_EQ(window->GetSerialPort().GetBaudRate(), 115200);
    EXPECT_TRUE(window->findChild<QAction *>("mBaud115200Select")->isChecked());
    EXPECT_EQ(window->outgoing, (std::vector<std::string>{"HELLO", "$PQVZQ,DID"}));
    EXPECT_EQ(std::count(window->shown.begin(), window->shown.end(), "holvanek bootloader version is 1.3"),
              1);
    EXPECT_TRUE(Button("bSendFile")->isEnabled());
    EXPECT_TRUE(boxes.empty());

    // The script is there again after a restart, without its empty lines.
    CloseWindow();
    OpenWindow();
    EXPECT_EQ(window->ButtonScriptLines(2),
              (QStringList{"~ wake the boot loader", "HELLO", "~waitfor OK", "~GetHnBlVer", "~waitfor READY",
                           "~SetHnBlBaud", "~f image.hex"}));
    EXPECT_EQ(Button("bButton3")->text(), "Boot");
}

TEST_F(SendAndScripts, AWaitTakesAFastReplyWhateverLinesStandBetween) {
    // The device has answered before the line that waits for it is reached.
    device.AnswerLine("HELLO", "OK");
    window->findChild<QAction *>("mButtonGroup1")->trigger();
    const char *scripts[] = {"HELLO\n~ comment\n~waitfor OK\nDONE", "HELLO\n~msgwaiting\n~waitfor OK\nDONE",
                             "HELLO\n~d100\n~waitfor OK\nDONE"};
    for (const char *script : scripts) {
        device.ClearReceived();
        DefineButton(0, "Fast", script);
        Button("bButton1")->click();
        const bool ended = PollUntil(
            *window, [&] { return !window->ScriptState().running; }, 5000);
        EXPECT_TRUE(ended) << script;
        PressKey(Qt::Key_Escape); // a script that hung ends here
        ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));
        EXPECT_TRUE(device.WaitForLine("DONE", 2000)) << script;
    }
}

TEST_F(SendAndScripts, RepliesOwedToAScriptsFileWhenItsSendEndsAnswerNoWait) {
    // The four lines go out at once, and the send ends before the device answers any of them.
    WriteFile(QDir::current().filePath("lines.txt"), NumberedLines(4));
    device.AnswerEveryLine("LINE OK");
    device.HoldReplies();
    window->findChild<QAction *>("mButtonGroup1")->trigger();
    DefineButton(0, "Send", "~f lines.txt\n~waitfor OK\nDONE");
    Button("bButton1")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return window->ScriptState().waitPending; }));
    device.ReleaseReplies();
    ASSERT_TRUE(PollUntil(
        *window, [&] { return std::count(window->shown.begin(), window->shown.end(), "LINE OK") == 4; }));
    EXPECT_FALSE(PollUntil(
        *window, [&] { return !window->ScriptState().waitPending; }, 300));
    device.SendLine("OK");
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));
    EXPECT_TRUE(device.WaitForLine("DONE", 2000));

    // A device that leaves the file's lines unanswered: what the script sends next, in the same
    // script or the next one, gets its replies.
    device.AnswerEveryLine("");
    device.AnswerLine("HELLO", "OK");
    for (const char *script :
         {"~f lines.txt\nHELLO\n~waitfor OK\nAGAIN", "~f lines.txt", "HELLO\n~waitfor OK\nAGAIN"}) {
        device.ClearReceived();
        DefineButton(0, "Send", script);
        Button("bButton1")->click();
        ASSERT_TRUE(PollUntil(
            *window, [&] { return !window->ScriptState().running; }, 3000))
            << script;
    }
    EXPECT_TRUE(device.WaitForLine("AGAIN", 2000));
    // A script that begins with a wait, after one whose file was left unanswered.
    DefineButton(0, "Send", "~f lines.txt");
    Button("bButton1")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));
    DefineButton(0, "Send", "~waitfor OK\nLAST");
    Button("bButton1")->click();
    device.SendLine("OK");
    EXPECT_TRUE(PollUntil(
        *window, [&] { return !window->ScriptState().running; }, 3000));
    EXPECT_TRUE(device.WaitForLine("LAST", 2000));
}

TEST_F(SendAndScripts, OnlyTheButtonsOfAShownGroupRunOrEdit) {
    PressKey(Qt::Key_F3); // group 0: the buttons are hidden
    bool handled = false;
    window->EditUserButton(2, handled);
    window->findChild<QAction *>("mButtonGroup4")->trigger();
    for (const int n : {-1, 8, 1000}) {
        window->RunUserButton(n);
        window->EditUserButton(n, handled);
    }
    EXPECT_TRUE(handled);
    EXPECT_FALSE(window->ScriptState().running);
    EXPECT_EQ(modalDialogs, 0);

    DefineButton(7, "Last", "~waitfor never");
    PressKey(Qt::Key_F8);
    EXPECT_EQ(window->ScriptState().script, 31);
    Button("bSendFile")->click(); // no file send while a script runs
    EXPECT_TRUE(fileDialogs.empty());
    ASSERT_TRUE(PollUntil(*window, [&] { return window->ScriptState().waitPending; }));
    PressKey(Qt::Key_Escape); // ends the wait as matched; the script then runs out of lines
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));
    EXPECT_TRUE(Button("bButton8")->isEnabled());
}

TEST_F(SendAndScripts, DefineButtonTakesOnlyWhatFitsAButton) {
    window->findChild<QAction *>("mButtonGroup2")->trigger();
    answerDialog = [](QDialog &dialog) {
        // The hint tells what the editor does, and promises no rule for file names.
        const QString hint = dialog.findChild<QLabel *>("lButtonScript")->toolTip();
        EXPECT_TRUE(hint.contains("Empty lines are dropped"));
        EXPECT_FALSE(hint.contains("filename", Qt::CaseInsensitive));
        dialog.findChild<QLineEdit *>("ebButtonCaption")->setText("Changed");
        dialog.findChild<QPushButton *>("bCancel")->click();
    };
    emit Button("bButton1")->customContextMenuRequested({});
    EXPECT_EQ(window->ButtonScriptCaption(8), "Button 9");

    DefineButton(0, "Many", QString("line\n").repeated(101));
    DefineButton(0, "Long", QString(600, 'x'));
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(window->ButtonScriptCaption(8), "Button 9"); // the dialog stayed open, nothing taken
    DefineButton(0, "Fits\non one line", "\n\na\n\n" + QString(599, 'x') + "\n\n");
    EXPECT_EQ(window->ButtonScriptCaption(8), "Fits on one line"); // a line break would split its ini line
    EXPECT_EQ(window->ButtonScriptLines(8), (QStringList{"a", QString(599, 'x')}));
}

TEST_F(SendAndScripts, DefinedLinesAreTheLinesThatLoadBack) {
    window->findChild<QAction *>("mButtonGroup1")->trigger();
    DefineButton(0, "Blanks", "  HELLO \n \t \n~waitfor OK\t");
    const QStringList saved{"HELLO", "~waitfor OK"}; // as the settings file keeps them
    EXPECT_EQ(window->ButtonScriptLines(0), saved);
    CloseWindow();
    OpenWindow();
    EXPECT_EQ(window->ButtonScriptLines(0), saved);
}

TEST_F(SendAndScripts, CancellingASendFreesTheButtonsAtOnce) {
    chosenFile = WriteFile(QDir::current().filePath("long.txt"), std::string(20000, 'z'));
    Button("bSendFile")->click();
    window->bClickSendFilePopup(); // not while a send runs
    EXPECT_EQ(modalDialogs, 0);
    Button("bCancelFile")->click();
    EXPECT_FALSE(Sending());
    EXPECT_TRUE(Button("bButton1")->isEnabled());
    EXPECT_TRUE(window->findChild<QWidget *>("pFileSendPanel")->isHidden());

    // Cancel Button during a script's send ends the send, and then the script.
    window->findChild<QAction *>("mButtonGroup1")->trigger();
    window->findChild<QAction *>("mShowScriptDetails")->trigger();
    DefineButton(0, "Send", "~msg<b>%s</b>\n~d40\n~f long.txt\nnever");
    Button("bButton1")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return !Text("lScriptDelayReport").isEmpty(); }));
    EXPECT_EQ(Text("lScriptDelayReport"), "  40ms");
    EXPECT_EQ(Text("lScriptLineReport"), "~d40");
    EXPECT_EQ(Text("lScriptMessageReport"), "<b>%s</b>");
    for (const char *label : {"lScriptLineReport", "lScriptMessageReport", "lSendFilePB"})
        EXPECT_EQ(window->findChild<QLabel *>(label)->textFormat(), Qt::PlainText) << label;
    ASSERT_TRUE(PollUntil(*window, [&] { return Sending(); }));
    Button("bCancelButtonScript")->click();
    EXPECT_FALSE(Sending());
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));
    EXPECT_TRUE(window->outgoing.empty());
    window->findChild<QAction *>("mShowScriptDetails")->trigger();
    EXPECT_TRUE(Text("lScriptLineReport").isEmpty());
}

TEST_F(SendAndScripts, AScriptKeepsItsButtonsDisabledAfterItsFileSendEnds) {
    WriteFile(QDir::current().filePath("short.txt"), "x");
    window->findChild<QAction *>("mButtonGroup1")->trigger();
    DefineButton(0, "Send", "~f short.txt\n~waitfor never");
    Button("bButton1")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return window->ScriptState().waitPending; }));
    EXPECT_FALSE(Button("bButton2")->isEnabled());
    EXPECT_FALSE(Button("bSendFile")->isEnabled());
    EXPECT_FALSE(Button("bCancelButtonScript")->isHidden());
    Button("bCancelButtonScript")->click();
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->ScriptState().running; }));
    EXPECT_TRUE(Button("bButton2")->isEnabled());
}
