#include "ButtonScriptInterpreter.h"
#include "FileSender.h"
#include "TickTimer.h"

#include "Clock.h"
#include "Dialogs.h"
#include "FileFaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// The window as the interpreter and the pump see it: the lines sent (one that went without CR LF
// is marked), the rates set, the message label's texts, and a port that takes every byte.
class RecordingWindow : public ButtonScriptInterpreter::Host, public FileSender::Host {
public:
    std::vector<std::string> sent;
    std::vector<std::uint32_t> sentTicks;
    std::vector<std::int32_t> bauds;
    std::vector<bool> rts;
    QString delayReport;
    std::vector<QString> messages;
    std::string startDirectory, written;
    bool transmitting = false;

    void SendScriptLine(std::string &text) override {
        const bool bare = text.ends_with('~');
        if (bare)
            text.pop_back();
        sent.push_back(bare ? text + " (no line end)" : text);
        sentTicks.push_back(platform::GetTickCount());
    }
    void SetScriptBaudRate(std::int32_t baud) override { bauds.push_back(baud); }
    bool TransmitPending() const override { return transmitting; }
    void SetScriptRts(bool on) override { rts.push_back(on); }
    bool ShowScriptDetails() const override { return true; }
    void ShowDelayReport(std::uint32_t ms, std::uint32_t) override { delayReport = QString::number(ms); }
    void ClearDelayReport() override { delayReport.clear(); }
    void ShowLineReport(const QString &) override {}
    void ShowMessageReport(const QString &text) override { messages.push_back(text); }
    std::string ScriptStartDirectory() const override { return startDirectory; }
    void ScriptStarted(int) override {}
    void ScriptEnded(int) override {}

    bool IsPortOpen() const override { return true; }
    std::int32_t WriteSendFileBytes(const std::uint8_t *bytes, std::int32_t count) override {
        written.append(reinterpret_cast<const char *>(bytes), static_cast<std::size_t>(count));
        return count;
    }
    int SendFileLineDelayMs() const override { return 0; }
    bool SendFileResponseWindow() const override { return false; }
    void SendFileStarted(const std::string &, std::int64_t) override {}
    void ShowSendFileProgress(int) override {}
    void SendFileEnded() override {}
};

// The interpreter with the pump beside it, stepped as the main loop steps them, a poll every
// 10 ms of a virtual clock; message boxes are recorded and answered.
class Script : public ::testing::Test {
protected:
    void SetUp() override {
        window.startDirectory = dir.path().toStdString();
        platform::SetMessageHandler([this](const platform::MessageRequest &request) {
            boxes.push_back(request);
            return boxAnswer;
        });
    }
    void TearDown() override {
        platform::SetMessageHandler({});
        platform::SetFileDialogHandler({});
    }

    void Run(const QStringList &lines) { ASSERT_TRUE(interpreter.Start(0, 2, lines)); }
    void Poll() {
        clock.Advance(10);
        interpreter.CheckWaitTime();
        interpreter.Step();
        sender.Pump();
    }
    void PollFor(int ms) {
        for (int passed = 0; passed < ms; passed += 10)
            Poll();
    }
    void PollToEnd() {
        for (int i = 0; i < 100000 && interpreter.IsRunning(); ++i)
            Poll();
        ASSERT_FALSE(interpreter.IsRunning());
    }
    std::string WriteFile(const char *name, const std::string &content) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(content.data(), static_cast<qint64>(content.size()));
        return file.fileName().toStdString();
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    TickTimer timer;
    RecordingWindow window;
    FileSendState sendState;
    ScriptRunState state;
    FileSender sender{sendState, window, timer};
    ButtonScriptInterpreter interpreter{state, sender, window, timer};
    std::vector<platform::MessageRequest> boxes;
    platform::MessageResult boxAnswer = platform::MessageResult::Ok;
};

} // namespace

TEST_F(Script, PlainLinesGoOutMoreThan20msApartAndTheStoredLinesNeverChange) {
    // A line longer than a script line may be (typed into the settings file) runs cut.
    const QStringList lines{"$PQVZK,1", "BOOT~", "$PQVZK,0", QString(629, 'x')};
    for (int run = 0; run < 2; ++run) {
        window.sent.clear();
        window.sentTicks.clear();
        Run(lines);
        PollToEnd();
        EXPECT_EQ(window.sent, (std::vector<std::string>{"$PQVZK,1", "BOOT (no line end)", "$PQVZK,0",
                                                         std::string(599, 'x')}))
            << "run " << run;
        EXPECT_GT(window.sentTicks[1] - window.sentTicks[0], 20u);
        EXPECT_GT(window.sentTicks[2] - window.sentTicks[1], 20u);
    }
}

TEST_F(Script, ADelayHoldsTheNextLineAndDoneIsNoDelay) {
    Run({"~d500", "~msgdone", "~done", "~d-5", "~msgnext"});
    PollFor(40);
    const std::uint32_t start = state.delayStart;
    EXPECT_EQ(window.delayReport, "500");
    while (window.messages.empty())
        Poll();
    EXPECT_GE(timer.Now() - start, 500u);
    EXPECT_TRUE(window.delayReport.isEmpty());
    PollFor(90); // "~done" and "~d-5" are delays of 0: nothing waits
    EXPECT_EQ(window.messages, (std::vector<QString>{"done", "next"}));
}

TEST_F(Script, ATimedWaitSkipsTheNextLineWhenMatchedAndGoesOnWhenItTimesOut) {
    const QStringList lines{"~waitfortime 2000 OK", "~msgno reply", "~msgok"};
    Run(lines);
    PollFor(500);
    interpreter.MatchRawLine("[Ok] OK");
    PollToEnd();
    EXPECT_EQ(window.messages, std::vector<QString>{"ok"});

    window.messages.clear();
    Run(lines);
    PollFor(40);
    const std::uint32_t start = state.waitStart;
    PollFor(1900);
    interpreter.MatchRawLine("OK?"); // does not end with the pattern
    while (window.messages.empty())
        Poll();
    EXPECT_GT(timer.Now() - start, 2000u);
    PollToEnd();
    EXPECT_EQ(window.messages, (std::vector<QString>{"no reply", "ok"}));
}

TEST_F(Script, AnUntimedWaitHoldsUntilALineEndsWithItsPattern) {
    const std::string text = "READY " + std::string(54, 'p');
    Run({"~waitfor " + QString::fromStdString(text), "after"});
    PollFor(5000);
    EXPECT_EQ(state.waitPattern, text.substr(11)); // its last 49 characters, as a line ends
    interpreter.MatchRawLine("p");
    PollFor(40);
    EXPECT_TRUE(window.sent.empty());
    interpreter.MatchRawLine("boot " + text);
    PollToEnd();
    EXPECT_EQ(window.sent, std::vector<std::string>{"after"});
}

TEST_F(Script, AWaitAlsoTakesAReplyThatCameBeforeItsLineWasReached) {
    Run({"HELLO", "~waitfor OK", "DONE"});
    while (window.sent.empty())
        Poll();
    interpreter.MatchRawLine("OK"); // a device that answers within the 20 ms to the next line
    PollToEnd();
    EXPECT_EQ(window.sent, (std::vector<std::string>{"HELLO", "DONE"}));
}

TEST_F(Script, AWaitNeverTakesAReplyToSomethingElse) {
    const auto waiting = [&] {
        PollFor(100);
        return state.waitPending && !state.waitMatched;
    };
    // A reply from before the script started: one kept by an earlier run, one while none ran.
    Run({"HELLO", "~d50"});
    PollFor(30);
    interpreter.MatchRawLine("OK");
    PollToEnd();
    interpreter.MatchRawLine("OK");
    Run({"~waitfor OK", "after"});
    EXPECT_TRUE(waiting()) << "a reply from before the script started";
    state.cancelRequested = true;
    PollToEnd();

    // A reply from before the last line that went out.
    for (const char *query : {"~nl", "~GetHnBlVer"}) {
        Run({"HELLO", query, "~ comment", "~waitfor OK", "after"});
        PollFor(30);
        interpreter.MatchRawLine("OK");
        EXPECT_TRUE(waiting()) << "a reply from before " << query;
        state.cancelRequested = true;
        PollToEnd();
    }

    // A reply already used by an earlier wait, whether it came before that wait or during it.
    window.sent.clear();
    Run({"HELLO", "~waitfor OK", "~waitfor OK", "~waitfor OK", "after"});
    PollFor(30);
    interpreter.MatchRawLine("OK");
    EXPECT_TRUE(waiting() && state.lineIndex == 3) << "a reply used by the wait it came before";
    interpreter.MatchRawLine("OK");
    EXPECT_TRUE(waiting() && state.lineIndex == 4) << "a reply used by the wait it came during";
    interpreter.MatchRawLine("OK");
    PollToEnd();
    EXPECT_EQ(window.sent, (std::vector<std::string>{"HELLO", "after"}));

    // Replies in the wrong order, before the first wait is reached or during it: the later wait
    // waits for one of its own, untimed or timed (its no-reply line goes out).
    window.sent.clear();
    for (const bool during : {false, true}) {
        Run({"HELLO", "~waitfor AAA", "~waitfor BBB", "DONE"});
        PollFor(30);
        if (during)
            PollFor(100);
        interpreter.MatchRawLine("BBB");
        interpreter.MatchRawLine("AAA");
        EXPECT_TRUE(waiting() && state.waitPattern == "BBB") << "a reply to another wait, during: " << during;
        interpreter.MatchRawLine("BBB");
        PollToEnd();
    }
    Run({"PING", "~waitfortime 1500 AAA", "~msgno AAA", "~waitfortime 1500 BBB", "NOBBB", "DONE"});
    EXPECT_TRUE(waiting());
    interpreter.MatchRawLine("BBB");
    interpreter.MatchRawLine("AAA");
    PollToEnd();
    EXPECT_EQ(window.sent,
              (std::vector<std::string>{"HELLO", "DONE", "HELLO", "DONE", "PING", "NOBBB", "DONE"}));

    // A reply before or during the script's file send: the send's end counts as a line sent.
    window.sent.clear();
    WriteFile("image.hex", std::string(1000, 'h'));
    Run({"HELLO", "~f image.hex", "~waitfor OK", "after"});
    PollFor(30);
    interpreter.MatchRawLine("OK");
    PollFor(40);
    ASSERT_TRUE(sender.IsSending());
    interpreter.MatchRawLine("OK"); // answers a line of the file
    while (sender.IsSending())
        Poll();
    EXPECT_TRUE(waiting()) << "a reply to the file, or to the line before it";
    interpreter.MatchRawLine("OK");
    PollToEnd();
    EXPECT_EQ(window.sent, (std::vector<std::string>{"HELLO", "after"}));
}

TEST_F(Script, CancelEndsAWaitAsMatchedAndTheScriptDuringADelay) {
    Run({"~waitfortime 5000 OK", "skipped", "~d10000", "never"});
    PollFor(100);
    state.cancelRequested = true;
    PollFor(100);
    EXPECT_TRUE(state.delayActive); // the wait counted as matched and skipped its next line
    state.cancelRequested = true;
    Poll();
    EXPECT_FALSE(interpreter.IsRunning());
    EXPECT_TRUE(window.sent.empty());
}

TEST_F(Script, JumpsAreHeldWithinTheScript) {
    struct Case {
        const char *jump;
        int next; // the line run after the jump; 5 ends the script
    };
    for (const Case &c : {Case{"~j0", 3}, Case{"~j1", 3}, Case{"~j-1", 1}, Case{"~j-50", 0}, Case{"~j2", 4},
                          Case{"~j50", 5}, Case{"~j40000", 5}, Case{"~j-40000", 0}}) {
        Run({"a", "b", c.jump, "c", "d"}); // the jump is line 2
        while (state.lineIndex != 2)
            Poll();
        window.sent.clear();
        while (window.sent.empty() && interpreter.IsRunning())
            Poll();
        EXPECT_EQ(state.lineIndex, std::min(c.next + 1, 5)) << c.jump;
        state.cancelRequested = true;
        PollToEnd();
    }
}

TEST_F(Script, PortCommandsAndTheBootLoaderVersion) {
    Run({"~b14400", "~b57600", "~rtson", "~nl", "~ comment", "~rtsoff", "~unknown", "~e", "never"});
    PollToEnd();
    EXPECT_EQ(window.bauds, std::vector<std::int32_t>{57600}); // 14400 is not in the table
    EXPECT_EQ(window.rts, (std::vector<bool>{true, false}));
    EXPECT_EQ(window.sent, std::vector<std::string>{""});

    for (const bool version13 : {true, false}) {
        window.sent.clear();
        window.bauds.clear();
        Run({"~GetHnBlVer", "~d100", "~SetHnBlBaud"});
        PollFor(40);
        EXPECT_EQ(window.sent, std::vector<std::string>{"$PQVZQ,DID"});
        state.bootLoaderVersion13 = version13; // as the main loop sets it from the reply
        PollToEnd();
        EXPECT_EQ(window.bauds, std::vector<std::int32_t>{version13 ? 115200 : 38400});
    }
}

TEST_F(Script, ARateChangeWaitsForTheBytesStillOnTheLine) {
    window.transmitting = true;
    Run({"~b57600", "~SetHnBlBaud", "~msgdone"});
    PollFor(200);
    EXPECT_TRUE(window.bauds.empty());
    window.transmitting = false;
    PollToEnd();
    EXPECT_EQ(window.bauds, (std::vector<std::int32_t>{57600, 38400}));
    window.transmitting = true; // other lines go on meanwhile
    Run({"line", "~d10", "~msgdone", "~b9600"});
    PollFor(200);
    EXPECT_EQ(window.sent, std::vector<std::string>{"line"});
    EXPECT_EQ(window.messages, (std::vector<QString>{"done", "done"}));
    EXPECT_EQ(window.bauds.size(), 2u);
    window.transmitting = false;
    PollToEnd();
}

TEST_F(Script, AMessageShowsItsTextAsWrittenAndOnlyItsFirstPercentFTakesTheFileName) {
    const std::string path = WriteFile("Image.HEX", "S0\r\n");
    Run({"~f   Image.HEX", "~m Load %f? %s%s%n 100%", "~m 50% %f", "~m Go on %f", "never"});
    while (boxes.size() < 2)
        Poll();
    EXPECT_EQ(window.written, "S0\r\n"); // blanks after "~f" skipped, the name in the start directory
    EXPECT_EQ(boxes[0].text.toStdString(), " Load " + path + "? %s%s%n 100%");
    EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(boxes[1].text, " 50% %f"); // its first "%" is not followed by "f"
    EXPECT_EQ(boxes[1].buttons, platform::MessageButtons::Ok);
    boxAnswer = platform::MessageResult::Cancel;
    PollToEnd();
    EXPECT_TRUE(window.sent.empty()); // Cancel ended the script
}

TEST_F(Script, FileCommands) {
    WriteFile("present.txt", "x");
    Run({"~t present.txt", "skipped", "~t missing.txt", "after missing", "~f missing.hex", "never"});
    PollToEnd();
    EXPECT_EQ(window.sent, std::vector<std::string>{"after missing"});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text.toStdString(), "Invalid Filename - " + window.startDirectory + "/missing.txt");
    EXPECT_EQ(boxes[0].caption, "File Open Error");
    EXPECT_EQ(boxes[1].text.toStdString(), "Unable to open file - " + window.startDirectory + "/missing.hex");

    // The script waits while its file goes out; a cancelled dialog sends nothing.
    QString chosen = QString::fromStdString(WriteFile("boot\\1.a90", std::string(1000, 'h')));
    QString filter;
    platform::SetFileDialogHandler([&](const platform::FileDialogRequest &request) {
        filter = request.filter;
        return chosen;
    });
    Run({"~sendHexFile", "~msgsent", "~sendHexFile"});
    PollFor(40);
    EXPECT_TRUE(sender.IsSending());
    chosen.clear();
    PollToEnd();
    EXPECT_EQ(window.written, std::string(1000, 'h')); // the chosen name as it stands
    EXPECT_EQ(window.messages, std::vector<QString>{"sent"});
    EXPECT_EQ(filter, "Binary Files|*.a90;*.hex");
}

TEST_F(Script, AFileGoesOutAsItWasWhenItsSendStartedOrNotAtAll) {
    // Written over at its own size, or cut to half, while it goes out: what goes out is the file
    // as it was when its send started, and the script goes on.
    for (const bool cut : {false, true}) {
        const std::string path = WriteFile("Image.hex", std::string(10000, 'h'));
        Run({"~f Image.hex", "AFTER"});
        PollFor(40);
        ASSERT_TRUE(sender.IsSending());
        QFile rebuilt(QString::fromStdString(path));
        ASSERT_TRUE(rebuilt.open(QIODevice::ReadWrite)); // in place, not emptied first
        if (cut)
            rebuilt.resize(5000);
        else
            rebuilt.write(std::string(10000, 'n').c_str());
        rebuilt.close();
        PollToEnd();
        EXPECT_EQ(window.written, std::string(10000, 'h')) << cut;
        EXPECT_EQ(window.sent, std::vector<std::string>{"AFTER"}) << cut;
        window.written.clear();
        window.sent.clear();
    }
    // Its reads fail: nothing goes out, and the script ends.
    const std::string path = dir.filePath("Unreadable.hex").toStdString();
    testsupport::MakeUnreadable(path);
    Run({"~f Unreadable.hex", "AFTER"});
    PollToEnd();
    EXPECT_TRUE(window.sent.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.toStdString(), "Cannot read file " + path + " - it was not sent whole");
    EXPECT_EQ(boxes[0].caption, "File Read Error");
}

TEST(MakeStartDirPath, BareNamesGoToTheStartDirectory) {
    struct Case {
        const char *name, *path;
    };
    for (const Case &c : {Case{"boot.hex", "/start/dir/boot.hex"}, Case{"/abs/Boot.HEX", "/abs/Boot.HEX"},
                          Case{"/abs/a\\b.hex", "/abs/a\\b.hex"}, Case{"sub/boot.hex", "sub/boot.hex"},
                          Case{"sub\\Boot.hex", "sub/Boot.hex"}})
        EXPECT_EQ(ButtonScriptInterpreter::MakeStartDirPath(c.name, "/start/dir"), c.path) << c.name;
}
