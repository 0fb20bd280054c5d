#include "TfPelmora.h"
#include "AcquireSequence.h"
#include "SerialPort.h"
#include "TfCogDisplay.h"
#include "TfGpsSimulator.h"
#include "TfGraphicDisplay.h"
#include "TfPositionDeviation.h"
#include "TfSkyView.h"
#include "TfSvStatus.h"
#include "VersionInfo.h"

#include "Clock.h"
#include "DeviceStandIn.h"
#include "Dialogs.h"
#include "FileFaults.h"
#include "GraphDataFile.h"
#include "KeyReleaseHold.h"
#include "PelmoraTestSupport.h"
#include "PseudoTerminal.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace pelmoratest;
using testsupport::DeviceStandIn;
using testsupport::ScopedComMapping;

namespace {

// The main window with the monitor's sink recorded and a step that can be made to fail.
class RecordingPelmora : public TfPelmora {
public:
    std::vector<std::string> received;
    std::vector<std::string> sent;
    int failingSteps = 0;

    void AddMonitorLine(const char *text) override { received.emplace_back(text); }
    void AddMonitorLineAs(const char *text, int category) override {
        if (category == 0)
            sent.emplace_back(text);
    }
    void AcquireStep() override {
        if (failingSteps > 0) {
            --failingSteps;
            throw std::runtime_error("step failed");
        }
    }
};

// Each key event carries a timestamp of its own unless it is given one, as X gives a repeat's
// release and press the same.
void Key(QWidget &window, QEvent::Type type, int key, bool autoRepeat = false, unsigned long timestamp = 0) {
    static unsigned long lastTimestamp = 1000;
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    event.setTimestamp(timestamp != 0 ? timestamp : (lastTimestamp += 10));
    QApplication::sendEvent(&window, &event);
}

void Mouse(QWidget *widget, QEvent::Type type) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QAction *Item(TfPelmora &window, const char *name) {
    return window.findChild<QAction *>(name);
}

std::string Row(const TfPelmora &window, int row) {
    const auto codes = window.GetLcd().Row(row);
    return std::string(codes.begin(), codes.end());
}

// A window connected on COM1 to a device stand-in.
class Connected : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<RecordingPelmora>();
        window->show();
        window->findChild<QPushButton *>("bComOpenClose")->click();
        ASSERT_TRUE(window->IsPortOpen());
    }
    void TearDown() override {
        window->close();
        window.reset();
    }
    // Sends a line from the device and polls until the window has taken it in.
    void Deliver(const std::string &line) {
        const std::size_t before = window->received.size();
        device.SendLine(line);
        ASSERT_TRUE(PollUntil(*window, [&] { return window->received.size() > before; })) << line;
    }
    // A key's release goes out from the poll once it has been held back long enough.
    void LetReleasesGo() {
        clock.Advance(KeyReleaseHold::kHoldMs + 1);
        window->PollSerialPort();
    }
    // The lines the device has received from the window, complete: a marker written on the
    // window's port after them arrives after them, so once it is in, none is still on its way.
    std::vector<std::string> ReceivedByNow() {
        const std::string marker = "FENCE " + std::to_string(++fences);
        const std::string bytes = marker + "\r\n";
        window->GetSerialPort().WritePort(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                          static_cast<std::int32_t>(bytes.size()));
        EXPECT_TRUE(device.WaitForLine(marker, kPatienceMs));
        std::vector<std::string> lines = device.Received();
        std::erase_if(lines, [](const std::string &l) { return l.starts_with("FENCE "); });
        return lines;
    }

    // The window's idle periods (125 ms for the Rx and Tx arrows, 3 s for the query) run on
    // this clock, so a slow machine cannot let one expire between two steps of a test.
    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    int fences = 0;
    StartDirectory start;
    DeviceStandIn device{DeviceStandIn::Kind::Receiver};
    ScopedComMapping map{1, device.DevicePath()};
    std::unique_ptr<RecordingPelmora> window;
};

} // namespace

TEST_F(Connected, ConnectShowsTheDeviceAndDrawsWhatItSends) {
    const QString caption = window->windowTitle();
    EXPECT_TRUE(caption.startsWith("Pelmora v" + platform::ProgramVersion().fileVersion))
        << caption.toStdString();
    EXPECT_TRUE(caption.endsWith(device.DevicePath() + " at 38400 BAUD is connected"))
        << caption.toStdString();
    EXPECT_EQ(window->findChild<QPushButton *>("bComOpenClose")->text(), "Disconnect");
    EXPECT_EQ(window->GetContrast(), 110);

    device.ShowText(0, "HELLO");
    ASSERT_TRUE(PollUntil(*window, [&] { return Row(*window, 0).starts_with("HELLO"); }));
    device.SetBacklight(false);
    ASSERT_TRUE(PollUntil(*window, [&] { return !window->IsBacklightOn(); }));
    device.SetContrast("-");
    ASSERT_TRUE(PollUntil(*window, [&] { return window->GetContrast() == 120; }));
    EXPECT_EQ(window->GetRxTxIndicatorState(), 2); // Rx arrow on
    window->SetPanelKey(1, true);
    window->PollSerialPort();
    EXPECT_EQ(window->GetRxTxIndicatorState(), 4); // and Tx with it
    EXPECT_TRUE(device.WaitForLine("$PQVZK,1", kPatienceMs));

    window->findChild<QPushButton *>("bComOpenClose")->click();
    EXPECT_FALSE(window->IsPortOpen());
    EXPECT_EQ(window->windowTitle(),
              "Pelmora v" + platform::ProgramVersion().fileVersion + "COM1 at 38400 BAUD is not connected");
    EXPECT_TRUE(Row(*window, 0).starts_with("HELLO")); // the display keeps its contents
}

TEST_F(Connected, PanelKeysGoOutAsKeySentences) {
    // Brisken layout (the default): Left is key 8, Home 6.
    Key(*window, QEvent::KeyPress, Qt::Key_Left);
    EXPECT_TRUE(device.WaitForLine("$PQVZK,8", kPatienceMs));
    Key(*window, QEvent::KeyPress, Qt::Key_Left, true); // auto-repeat sends nothing
    Key(*window, QEvent::KeyRelease, Qt::Key_Left);
    LetReleasesGo();
    EXPECT_TRUE(device.WaitForLine("$PQVZK,0", kPatienceMs));
    Key(*window, QEvent::KeyPress, Qt::Key_Home);
    Key(*window, QEvent::KeyRelease, Qt::Key_Home);
    LetReleasesGo();
    EXPECT_EQ(ReceivedByNow(), (std::vector<std::string>{"$PQVZK,8", "$PQVZK,0", "$PQVZK,6", "$PQVZK,0"}));

    // Holvanek layout: Left is key 1, Right 8; the mouse keys follow the same mask.
    Item(*window, "mRfpOptHolvanek")->trigger();
    device.ClearReceived();
    Key(*window, QEvent::KeyPress, Qt::Key_Right);
    Key(*window, QEvent::KeyRelease, Qt::Key_Right);
    LetReleasesGo();
    Mouse(window->findChild<QPushButton *>("sKeyNo3"), QEvent::MouseButtonPress);
    Mouse(window->findChild<QPushButton *>("sKeyNo3"), QEvent::MouseButtonRelease);
    Mouse(window->findChild<QPushButton *>("bUpAndDownKeys"), QEvent::MouseButtonPress);
    Mouse(window->findChild<QPushButton *>("bUpAndDownKeys"), QEvent::MouseButtonRelease);
    EXPECT_EQ(ReceivedByNow(), (std::vector<std::string>{"$PQVZK,8", "$PQVZK,0", "$PQVZK,4", "$PQVZK,0",
                                                         "$PQVZK,2", "$PQVZK,6", "$PQVZK,0"}));

    // Off: arrow keys are not the panel's.
    Item(*window, "mRfpOptOff")->trigger();
    device.ClearReceived();
    Key(*window, QEvent::KeyPress, Qt::Key_Up);
    window->PollSerialPort();
    EXPECT_TRUE(ReceivedByNow().empty());
    EXPECT_EQ(window->GetPanelKeyMask(), 0u);
}

TEST_F(Connected, HoldingAKeySendsOnePressAndOneReleaseWhateverXMarks) {
    // X repeats a held key as a release and a press with one timestamp, marking only some; the
    // poll may run between the two halves.
    Key(*window, QEvent::KeyPress, Qt::Key_Left, false, 5000);
    for (unsigned long t = 5030; t <= 5300; t += 30) {
        const bool marked = t % 90 == 0;
        Key(*window, QEvent::KeyRelease, Qt::Key_Left, marked, t);
        clock.Advance(10);
        window->PollSerialPort();
        Key(*window, QEvent::KeyPress, Qt::Key_Left, marked, t);
        clock.Advance(20);
        window->PollSerialPort();
    }
    // Let go, and at once another key: the held release goes out before the new press.
    Key(*window, QEvent::KeyRelease, Qt::Key_Left, false, 5400);
    Key(*window, QEvent::KeyPress, Qt::Key_Right, false, 5405);
    Key(*window, QEvent::KeyRelease, Qt::Key_Right, false, 5480);
    LetReleasesGo();
    // Pressed again later, a key is pressed again.
    Key(*window, QEvent::KeyPress, Qt::Key_Right, false, 5600);
    Key(*window, QEvent::KeyRelease, Qt::Key_Right, false, 5700);
    LetReleasesGo();
    EXPECT_EQ(ReceivedByNow(), (std::vector<std::string>{"$PQVZK,8", "$PQVZK,0", "$PQVZK,1", "$PQVZK,0",
                                                         "$PQVZK,1", "$PQVZK,0"}));
}

TEST_F(Connected, ARepeatHandedOnToTheWindowIsNoNewPress) {
    // Keys land on the focused panel, and Qt hands an event the panel leaves to the window too.
    QWidget &panel = *window->centralWidget();
    Key(panel, QEvent::KeyPress, Qt::Key_Left, false, 7000);
    Key(panel, QEvent::KeyRelease, Qt::Key_Left, false, 7030);
    Key(panel, QEvent::KeyPress, Qt::Key_Left, false, 7030);
    Key(panel, QEvent::KeyRelease, Qt::Key_Left, false, 7100);
    LetReleasesGo();
    EXPECT_EQ(ReceivedByNow(), (std::vector<std::string>{"$PQVZK,8", "$PQVZK,0"}));
}

TEST_F(Connected, AnswersTheDeviceIdQuery) {
    Deliver("$PQVZQ,DID");
    EXPECT_TRUE(device.WaitForLine(
        "$PQVZR,DID,Pelmora,v" + platform::ProgramVersion().fileVersion.toStdString(), kPatienceMs));
}

TEST_F(Connected, DisplaySentences) {
    Deliver("$PQVZS,TXT,30,ABCD");
    EXPECT_EQ(window->GetLcd().CodeAt(30), 'A');
    EXPECT_EQ(window->GetLcd().CodeAt(31), 'B');
    EXPECT_EQ(Row(*window, 0), std::string(16, ' ')); // C and D fall off the end, not onto row 1

    Deliver("$PQVZS,TXX,0,%DF%41%01%7F");
    EXPECT_EQ(window->GetLcd().CodeAt(0), 0xB0);
    EXPECT_EQ(window->GetLcd().CodeAt(1), 'A');
    EXPECT_EQ(window->GetLcd().CodeAt(2), 1);
    EXPECT_EQ(window->GetLcd().CodeAt(3), '~');
    Deliver("$PQVZS,TXX,4,%B0%E9%07");
    EXPECT_EQ(window->GetLcd().CodeAt(4), '~'); // only 0xDF is the escaped degree sign
    EXPECT_EQ(window->GetLcd().CodeAt(5), '~');
    EXPECT_EQ(window->GetLcd().CodeAt(6), 7);

    // An escape cut short at the field's end stops the text (regression: it was read past the field).
    Deliver("$PQVZS,TXX,8,XY%4");
    EXPECT_EQ(window->GetLcd().CodeAt(8), 'X');
    EXPECT_EQ(window->GetLcd().CodeAt(9), 'Y');
    EXPECT_EQ(window->GetLcd().CodeAt(10), ' ');

    Deliver("$PQVZD,080,141,142,0C5,158");
    EXPECT_EQ(Row(*window, 0).substr(0, 2), "AB");
    EXPECT_EQ(window->GetLcd().CodeAt(21), 'X');
    Deliver("$PQVZD,1,,0"); // short hex fields decode as 0
    EXPECT_EQ(window->GetLcd().CodeAt(22), 0);

    Deliver("$PQVZS,CLR");
    EXPECT_EQ(Row(*window, 0), std::string(16, ' '));

    // A sentence with a wrong checksum is a raw line and never reaches the display.
    Deliver("$PQVZS,TXT,0,ZZ*00");
    EXPECT_EQ(window->received.back(), "$PQVZS,TXT,0,ZZ*00");
    EXPECT_EQ(window->GetLcd().CodeAt(0), ' ');
}

TEST_F(Connected, ContrastAndBacklightSentences) {
    Deliver("$PQVZC,+,1");
    EXPECT_EQ(window->GetContrast(), 100);
    EXPECT_TRUE(window->IsBacklightOn());
    Deliver("$PQVZC");
    EXPECT_EQ(window->GetContrast(), 100);
    Deliver("$PQVZC,255");
    EXPECT_EQ(window->GetContrast(), 254);
    Deliver("$PQVZS,CON,10");
    EXPECT_EQ(window->GetContrast(), 55);
    Deliver("$PQVZS,BKL,OFF");
    EXPECT_FALSE(window->IsBacklightOn());
    Deliver("$PQVZS,BKL,1");
    EXPECT_TRUE(window->IsBacklightOn());
    Deliver("$PQVZS,BKL,0x");
    EXPECT_FALSE(window->IsBacklightOn());
    Deliver("$PQVZS,BKL,ON");
    Deliver("$PQVZS,BKL,Off"); // neither on nor off
    EXPECT_TRUE(window->IsBacklightOn());
}

TEST_F(Connected, RepliesFillTheSampleAndTheIdentities) {
    TfGraphicDisplay graph;
    window->AttachWindows({nullptr, &graph});
    Deliver("$PQVZR,RID");
    EXPECT_TRUE(window->IsRidReceived());
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::Dgps).identity, "");
    Deliver("$PQVZR,RID,A receiver name far longer than twenty,v1.23456789012,a,b,SN-0123456789-XYZ");
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::Dgps).identity, "A receiver name far");
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::Dgps).version, "v1.234567");
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::Dgps).serialNumber, "SN-012345");
    Deliver("$PQVZR,DID,Holvanek SC,1.05,x,y,SC42");
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::Steering).serialNumber, "SC42");
    Deliver("$PQVZR,DID,LB,0.9,LB7");
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::LightBar).serialNumber, "LB7");
    EXPECT_TRUE(graph.IsIdentityReceived());

    Deliver("$PQVZR,HNX,PLT2,12.3,-4.56,1.5,3034.123456,N,10159.5,W,D,9,271.4,4470,-55,3,120,1,1");
    EXPECT_EQ(window->CurrentSample().latDeg, 30);
    EXPECT_EQ(window->CurrentSample().lonDeg, -101);
    EXPECT_EQ(window->CurrentSample().sogMmPerSec, -4470);
    Deliver("$PQVZR,HNX,SET2,1,2,3,4,5,6,7,8");
    EXPECT_EQ(window->CurrentSample().firstRsp, 1);
    window->AttachWindows({});
}

TEST_F(Connected, NoiseIsHiddenFromTheFifthBadLine) {
    for (int i = 0; i < 6; ++i)
        device.SendRaw("no\x01ise\r\n");
    device.SendLine("clean");
    ASSERT_TRUE(
        PollUntil(*window, [&] { return !window->received.empty() && window->received.back() == "clean"; }));
    EXPECT_EQ(window->received, (std::vector<std::string>{"no.ise", "no.ise", "no.ise", "no.ise", "clean"}));
}

TEST_F(Connected, AScriptWaitMatchesPlainLinesOnly) {
    ScriptRunState &wait = window->ScriptState();
    wait.waitPending = true;
    wait.waitPattern = "OK";
    Deliver("$PQVZS,OK");
    EXPECT_TRUE(wait.waitPending);
    Deliver("[Ok] OK"); // matched, and the script's step of the same poll ends the wait
    EXPECT_FALSE(wait.waitPending);
}

TEST_F(Connected, AFailingTickIsFollowedByNormalTicks) {
    window->failingSteps = 1;
    device.ShowText(0, "AFTER");
    // The failing tick is the one that finds the sentence waiting.
    const int sentence = static_cast<int>(std::string("$PQVZS,TXT,0,AFTER\r\n").size());
    ASSERT_TRUE(WaitUntil([&] { return device.WaitingAtProgram() >= sentence; }));
    EXPECT_NO_THROW(window->T10msTick());
    ASSERT_TRUE(PollUntil(*window, [&] { return Row(*window, 0).starts_with("AFTER"); }));
    EXPECT_EQ(window->failingSteps, 0);
}

TEST_F(Connected, BaudMenuChangesTheOpenPort) {
    Item(*window, "mBaud9600Select")->trigger();
    EXPECT_EQ(window->GetSerialPort().GetBaudRate(), 9600);
    EXPECT_TRUE(window->windowTitle().endsWith("at 9600 BAUD is connected"));
    Item(*window, "COM91")->trigger(); // a new port applies at the next Connect
    EXPECT_TRUE(window->IsPortOpen());
    EXPECT_EQ(window->GetComMenuIndex(), 8);
}

TEST_F(Connected, SendLineHistoryAndChecksum) {
    auto *line = window->findChild<QComboBox *>("cbSendData");
    line->setEditText("$PQVZK,6");
    window->findChild<QPushButton *>("bAddCkSum")->click();
    EXPECT_EQ(line->currentText(), "$PQVZK,6*5C");
    window->findChild<QPushButton *>("bAddCkSum")->click(); // already has one
    EXPECT_EQ(line->currentText(), "$PQVZK,6*5C");
    line->setEditText("AB$C");
    window->bClickAddCkSum();
    EXPECT_EQ(line->currentText(), "AB$C*43");

    line->setEditText("$PQVZQ,RID");
    window->findChild<QPushButton *>("bSendData")->click();
    EXPECT_TRUE(device.WaitForLine("$PQVZQ,RID", kPatienceMs)); // as typed, nothing added
    EXPECT_EQ(line->currentText(), "$PQVZQ,RID");
    for (int i = 0; i < 21; ++i) {
        line->setEditText(QString("L%1").arg(i));
        window->bClickSendData();
    }
    EXPECT_EQ(line->count(), 20);
    EXPECT_EQ(line->itemText(0), "L20");
    EXPECT_EQ(line->itemText(19), "L1");
    line->setEditText("L5");
    window->bClickSendData();
    EXPECT_EQ(line->count(), 20);
    EXPECT_EQ(line->itemText(0), "L5");
    EXPECT_EQ(line->findText("L5"), 0);

    // Of pasted lines only the first goes out and is kept; the monitor and the log show what
    // went out, up to a character the wire does not carry.
    line->setEditText("L21\n[UserButtons]\nButtonGroup=3");
    window->bClickSendData();
    EXPECT_EQ(line->itemText(0), "L21");
    line->setEditText(QString::fromUtf8("SE\u00d1OR"));
    window->bClickSendData();
    EXPECT_EQ(window->sent.back(), "SE");
}

TEST(TfPelmoraQueries, PeriodicQueryOnlyWhileTheGraphIsShownAndIdle) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    StartDirectory start;
    DeviceStandIn device(DeviceStandIn::Kind::SteeringController);
    ScopedComMapping map(1, device.DevicePath());
    RecordingPelmora window;
    TfGraphicDisplay graph;
    window.AttachWindows({nullptr, &graph});
    window.bClickComOpenClose();
    ASSERT_TRUE(window.IsPortOpen());

    clock.Advance(3001);
    window.PollSerialPort();
    EXPECT_TRUE(window.sent.empty()); // the graph is hidden

    graph.show();
    // Held, the answer cannot come back within the poll that asks and bring the follow-up with it.
    device.HoldReplies();
    clock.Advance(3001);
    window.PollSerialPort();
    EXPECT_EQ(window.sent, std::vector<std::string>{"$PQVZQ,HNX,SET1"});
    ASSERT_TRUE(device.WaitForLine("$PQVZQ,HNX,SET1", kPatienceMs));
    device.ReleaseReplies();
    // The controller answers SET12; the follow-up SET2 query goes out and its reply paces the
    // identification.
    ASSERT_TRUE(PollUntil(window, [&] { return window.sent.size() >= 2; }));
    EXPECT_EQ(window.sent[1], "$PQVZQ,HNX,SET2");
    ASSERT_TRUE(PollUntil(window, [&] { return window.CurrentSample().firstRsp == 1; }));
    EXPECT_EQ(window.CurrentSample().whBas, 2500);

    window.sent.clear();
    window.FileSend().active = true;
    clock.Advance(3001);
    window.PollSerialPort();
    EXPECT_TRUE(window.sent.empty());
    window.FileSend().active = false;
    window.ScriptState().running = true;
    clock.Advance(3001);
    window.PollSerialPort();
    EXPECT_TRUE(window.sent.empty());
    window.ScriptState().running = false;
    graph.hide();
    window.AttachWindows({});
}

TEST(TfPelmoraConnect, APortThatCannotBeConfiguredIsNotConnected) {
    StartDirectory start;
    // A plain file of the test's own is no terminal either.
    const QString notAPort = QDir::currentPath() + "/not-a-port";
    QFile(notAPort).open(QIODevice::WriteOnly);
    ScopedComMapping map(1, notAPort);
    TfPelmora window;
    std::vector<QString> messages;
    platform::SetMessageHandler([&](const platform::MessageRequest &r) {
        messages.push_back(r.text);
        return platform::MessageResult::Ok;
    });
    window.bClickComOpenClose();
    platform::SetMessageHandler({});
    EXPECT_FALSE(window.IsPortOpen());
    EXPECT_EQ(window.findChild<QPushButton *>("bComOpenClose")->text(), "Connect");
    EXPECT_TRUE(window.windowTitle().endsWith("COM1 at 38400 BAUD is not connected"));
    EXPECT_EQ(messages, std::vector<QString>{"Cannot open " + notAPort + ": it is not a serial port."});
}

TEST(TfPelmoraLayout, OffSwitchesToTheTerminalLayoutAndBack) {
    StartDirectory start;
    TfPelmora window;
    window.show();
    auto *buttons = window.findChild<QWidget *>("pButtonPanel");
    const QRect designed = buttons->geometry();
    Item(window, "mRfpOptOff")->trigger();
    EXPECT_EQ(buttons->geometry(), QRect(306, 0, 450, 60));
    EXPECT_TRUE(window.findChild<QWidget *>("pDisplayPanel")->isHidden());
    EXPECT_EQ(window.findChild<QWidget *>("bButton3")->pos(), QPoint(128, 0));
    EXPECT_EQ(window.findChild<QWidget *>("lButton8Tag")->pos(), QPoint(336, 35));
    for (const char *image : {"iRxTxFrame", "iTxArrow", "iRxArrow"})
        EXPECT_EQ(window.findChild<QWidget *>(image)->pos(), QPoint(2, 28)) << image;
    EXPECT_EQ(window.findChild<QWidget *>("lLogMessagesStatus")->pos(), QPoint(36, 28));
    EXPECT_EQ(window.findChild<QWidget *>("pMessageMonitorPanel")->y(), 77);
    EXPECT_EQ(window.findChild<QWidget *>("pAuxPanel")->size(), QSize(540, 76));
    Item(window, "mRfpOptHolvanek")->trigger();
    EXPECT_EQ(buttons->geometry(), designed);
    EXPECT_FALSE(window.findChild<QWidget *>("pDisplayPanel")->isHidden());
    EXPECT_EQ(window.findChild<QPushButton *>("bUpAndDownKeys")->text(), "Up and Down");
    EXPECT_EQ(window.findChild<QWidget *>("sKeyNo1")->toolTip(), "also use Keyboard Left Arrow");
    Item(window, "mButtonGroup2")->trigger();
    EXPECT_TRUE(window.windowTitle().startsWith("Pelmora v" + platform::ProgramVersion().fileVersion +
                                                " - Button Group #2 - COM1"));
    EXPECT_EQ(window.findChild<QPushButton *>("bButton1")->text(), "Button 9");
}

TEST(TfPelmoraLayout, NoPanelCoversAnotherOrLeavesTheWindowInAnyLayout) {
    StartDirectory start;
    TfPelmora window;
    window.show();
    Item(window, "mButtonGroup1")->trigger();
    window.findChild<QWidget *>("pFileSendPanel")->show(); // as during a send
    QWidget *central = window.centralWidget();
    for (const char *type : {"mRfpOptOff", "mRfpOptHolvanek", "mRfpOptBrisken", "mRfpOptOff"}) {
        Item(window, type)->trigger();
        std::vector<QWidget *> shown;
        for (QWidget *panel : central->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!panel->isHidden())
                shown.push_back(panel);
        ASSERT_GE(shown.size(), 4u) << type;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const QString name = shown[i]->objectName();
            EXPECT_TRUE(central->rect().contains(shown[i]->geometry())) << type << " " << name.toStdString();
            for (QWidget *control : shown[i]->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (!control->isHidden()) {
                    EXPECT_TRUE(shown[i]->rect().contains(control->geometry()))
                        << type << " " << control->objectName().toStdString();
                }
            }
            for (std::size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                    << type << " " << name.toStdString() << " " << shown[j]->objectName().toStdString();
        }
    }
}

TEST(TfPelmoraSettings, FirstStartWritesTheDefaults) {
    StartDirectory start;
    EXPECT_FALSE(QFile::exists(start.IniPath()));
    {
        TfPelmora window;
        EXPECT_EQ(window.GetRfpType(), TfPelmora::RfpType::Brisken);
        EXPECT_EQ(window.GetLogFileNameNoPrompt(), "./Pelmora.log"); // "\" is a separator here
        EXPECT_EQ(window.GetIniFileName(), start.IniPath());
    }
    const QByteArray ini = start.ReadIni();
    // Every key of the file with its default, in the order the program reads them.
    EXPECT_TRUE(ini.startsWith(
        "[Configuration]\n"
        "ComPort=1\nBaudRate=38400\nPelmoraWindowLeft=0\nPelmoraWindowTop=0\n"
        "DefineButtonWindowLeft=0\nDefineButtonWindowTop=0\nMsgMonColorsWindowLeft=0\n"
        "MsgMonColorsWindowTop=0\nSendFilePopupLeft=0\nSendFilePopupTop=0\nSendFileLineDelayMs=0\n"
        "SendFileLineRepsonseSemaphore=1\nFileDialogWindowLeft=50\nFileDialogWindowTop=50\n"
        "FileDialogWindowWidth=200\nFileDialogWindowHeight=200\nLogDialogWindowLeft=50\n"
        "LogDialogWindowTop=50\nLogDialogWindowWidth=200\nLogDialogWindowHeight=200\n"
        "GraphicFormLeft=0\nGraphicFormTop=0\nPositionDeviationLeft=0\nPositionDeviationTop=0\n"
        "SvStatusLeft=0\nSvStatusTop=0\nCogDisplayLeft=0\nCogDisplayTop=0\nCogDisplayHeight=200\n"
        "CogDisplayWidth=200\nSkyViewLeft=0\nSkyViewTop=0\nGpsSimulatorLeft=0\nGpsSimulatorTop=0\n"
        "LinearGrid=1\nLogGrid=1\nBmpSaveFileIndex=1\nDataSaveFileIndex=1\nLogSequenceFileIndex=1\n"
        "LogFileNameNoPrompt=.\\Pelmora.log\nLogDate=1\nLogTime=1\nLogMsTickCount=1\n"
        "LogNmeaChecksum=0\nLogRfpMessages=0\nLogDgpsMessages=1\nLogLightBarMessages=1\n"
        "LogHolvanekMessages=1\nLogNonNmeaMessages=1\nLogOtherMessages=1\nLogPromptForFilename=0\n"
        "LogOverWriteFile=0\nRfpType=Brisken\nHideMessageMonitor=0\nMessageMonitorBig=0\n"
        "MessageMonitorUpperCase=1\nMsgMonTime=1\nMsgMonTickCount=1\nMsgMonRfpMessages=1\n"
        "MsgMonDgpsMessages=1\nMsgMonLbMessages=1\nMsgMonHolvanekMessages=1\n"
        "MsgMonNonNmeaMessages=1\nMsgMonOtherMessages=1\nMsgMonOutgoingMessages=1\n"
        "\n[UserButtons]\nShowScriptDetails=0\nButtonGroup=0\nButton1Caption=Button 1\n"))
        << ini.toStdString();
    EXPECT_TRUE(ini.endsWith("Button32Caption=Button 32\n"));
    EXPECT_FALSE(ini.contains("[MessageDropDownLines]\nLine")); // an empty history writes no lines
}

// Each key is read into the setting it names and written back from it: a file with a value
// other than the default everywhere comes out of a run unchanged.
TEST(TfPelmoraSettings, EveryValueSurvivesARun) {
    const QByteArray ini =
        "[Configuration]\n"
        "ComPort=7\nBaudRate=115200\nPelmoraWindowLeft=7\nPelmoraWindowTop=9\nDefineButtonWindowLeft=11\n"
        "DefineButtonWindowTop=12\nMsgMonColorsWindowLeft=13\nMsgMonColorsWindowTop=14\n"
        "SendFilePopupLeft=15\nSendFilePopupTop=16\nSendFileLineDelayMs=17\n"
        "SendFileLineRepsonseSemaphore=1\nFileDialogWindowLeft=18\nFileDialogWindowTop=19\n"
        "FileDialogWindowWidth=320\nFileDialogWindowHeight=330\nLogDialogWindowLeft=21\n"
        "LogDialogWindowTop=22\nLogDialogWindowWidth=340\nLogDialogWindowHeight=350\n"
        "GraphicFormLeft=23\nGraphicFormTop=24\nPositionDeviationLeft=25\nPositionDeviationTop=26\n"
        "SvStatusLeft=27\nSvStatusTop=28\nCogDisplayLeft=29\nCogDisplayTop=30\nCogDisplayHeight=260\n"
        "CogDisplayWidth=270\nSkyViewLeft=31\nSkyViewTop=32\nGpsSimulatorLeft=33\nGpsSimulatorTop=34\n"
        "LinearGrid=0\nLogGrid=0\nBmpSaveFileIndex=35\nDataSaveFileIndex=36\nLogSequenceFileIndex=37\n"
        "LogFileNameNoPrompt=.\\logs\\run.log\nLogDate=0\nLogTime=0\nLogMsTickCount=0\n"
        "LogNmeaChecksum=1\nLogRfpMessages=1\nLogDgpsMessages=0\nLogLightBarMessages=0\n"
        "LogHolvanekMessages=0\nLogNonNmeaMessages=0\nLogOtherMessages=0\nLogPromptForFilename=1\n"
        "LogOverWriteFile=1\nRfpType=Holvanek\nHideMessageMonitor=1\nMessageMonitorBig=1\n"
        "MessageMonitorUpperCase=0\nMsgMonTime=0\nMsgMonTickCount=0\nMsgMonRfpMessages=0\n"
        "MsgMonDgpsMessages=0\nMsgMonLbMessages=0\nMsgMonHolvanekMessages=0\n"
        "MsgMonNonNmeaMessages=0\nMsgMonOtherMessages=0\nMsgMonOutgoingMessages=0\n"
        "\n[MessageDropDownLines]\nLine01=$PQVZQ,RID\n"
        "\n[UserButtons]\nShowScriptDetails=1\nButtonGroup=3\n";
    StartDirectory start;
    start.WriteIni(ini);
    { TfPelmora window; }
    EXPECT_TRUE(start.ReadIni().startsWith(ini)) << start.ReadIni().toStdString();
}

TEST(TfPelmoraSettings, OddValuesAreReadSoundlyAndWrittenBackCleanly) {
    StartDirectory start;
    start.WriteIni("[Configuration]\n"
                   "ComPort=18\n"
                   "BaudRate=14400\n"
                   "RfpType=xyz\n"
                   "msgmonoutgoingmessages=0\n"
                   "LogDate=0\n"
                   "DataSaveFileIndex=-2\n"
                   "SendFileLineDelayMs=-5\n"
                   "[MessageDropDownLines]\n"
                   "Line01=$PQVZQ,RID\n"
                   "Line02=\n"
                   "Line03=$PQVZQ,RID\n"
                   "Line04=hello\n"
                   "[UserButtons]\n"
                   "ButtonGroup=7\n"
                   "Button3Caption=Boot, \"fast\"\n"
                   "Button3Line1=~d 100\n"
                   "Button3Line5=$PQVZK,6*2D\n"
                   "Button3Line6=" +
                   QByteArray(629, 'x') + "\n");
    {
        TfPelmora window;
        EXPECT_TRUE(Item(window, "COM181")->isChecked());
        EXPECT_TRUE(Item(window, "mBaud38400Select")->isChecked());
        EXPECT_TRUE(Item(window, "mRfpOptBrisken")->isChecked());
        EXPECT_FALSE(Item(window, "mMsgMonOutGoingMessages")->isChecked());
        EXPECT_FALSE(Item(window, "mLogDate")->isChecked());
        EXPECT_TRUE(Item(window, "mHideButtons")->isChecked());
        EXPECT_EQ(window.GetButtonGroup(), 0);
        EXPECT_EQ(window.ButtonScriptCaption(2), "Boot, \"fast\"");
        EXPECT_EQ(window.ButtonScriptLines(2), (QStringList{"~d 100", "$PQVZK,6*2D", QString(629, 'x')}));
        EXPECT_EQ(window.GetSendFileLineDelayMs(), 0);
        auto *line = window.findChild<QComboBox *>("cbSendData");
        EXPECT_EQ(line->count(), 2);
    }
    const QByteArray ini = start.ReadIni();
    EXPECT_TRUE(ini.contains("ComPort=18\n"));
    EXPECT_TRUE(ini.contains("BaudRate=38400\n"));
    EXPECT_TRUE(ini.contains("RfpType=Brisken\n"));
    EXPECT_TRUE(ini.contains("ButtonGroup=0\n"));
    EXPECT_TRUE(ini.contains("Button3Line1=~d 100\n"));
    EXPECT_TRUE(ini.contains("Button3Line2=$PQVZK,6*2D\n"));
    EXPECT_TRUE(ini.contains("Button3Line3=" + QByteArray(629, 'x') + "\n")); // kept whole
    EXPECT_FALSE(ini.contains("Button3Line5"));
    EXPECT_TRUE(ini.contains("DataSaveFileIndex=1\n"));
    EXPECT_TRUE(ini.contains("Line01=$PQVZQ,RID\nLine02=hello\n"));
    EXPECT_FALSE(ini.contains("Line03"));
    EXPECT_EQ(QString::fromLatin1(ini).count("msgmonoutgoingmessages", Qt::CaseInsensitive), 1);
    EXPECT_TRUE(QString::fromLatin1(ini).contains("MsgMonOutgoingMessages=0"));

    // Read back: the outgoing filter keeps its value through the other spelling.
    TfPelmora again;
    EXPECT_FALSE(Item(again, "mMsgMonOutGoingMessages")->isChecked());
}

TEST(TfPelmoraSettings, ComPortOutOfRange) {
    StartDirectory start;
    start.WriteIni("[Configuration]\nComPort=0\n");
    {
        TfPelmora window;
        EXPECT_TRUE(Item(window, "mCom1Select")->isChecked());
    }
    start.WriteIni("[Configuration]\nComPort=25\n");
    TfPelmora window;
    EXPECT_EQ(window.GetComMenuIndex(), 0);
}

TEST(TfPelmoraSettings, ReadOnlyIniIsLeftUntouched) {
    StartDirectory start;
    const QByteArray content = "[Configuration]\nComPort=3\n";
    start.WriteIni(content);
    QFile::setPermissions(start.IniPath(), QFileDevice::ReadOwner);
    {
        TfPelmora window;
        EXPECT_TRUE(Item(window, "mCom3Select")->isChecked());
        Item(window, "mCom5Select")->trigger();
    }
    EXPECT_EQ(start.ReadIni(), content);
    QFile::setPermissions(start.IniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(TfPelmoraSettings, AnUnreadableIniIsNeverWrittenOver) {
    const QByteArray content = "[UserButtons]\nButtonGroup=2\nButton1Line1=$PQVZK,6\n";
    // A file without read permission, which the superuser reads all the same; a folder in the
    // file's place, which nobody reads as one and nobody can replace; and a socket, which nobody
    // reads either but which a new file would replace, for the superuser too. A named pipe would
    // hold the start, and a link to a device that reads without end would never end it.
    enum class Unreadable { Permission, Folder, Socket, Fifo, Device };
    QTemporaryDir base;
    for (const Unreadable kind : {Unreadable::Permission, Unreadable::Folder, Unreadable::Socket,
                                  Unreadable::Fifo, Unreadable::Device}) {
        if (kind == Unreadable::Permission && ::geteuid() == 0)
            continue;
        if (kind == Unreadable::Device &&
            !testsupport::MakeEndlessDevice(base.filePath("zero").toStdString()))
            continue;
        // A deep start folder, whose path is longer than a socket's address holds.
        StartDirectory start(base.path() + "/" + QString(110, 'd') + QString::number(int(kind)));
        const QByteArray path = QFile::encodeName(start.IniPath());
        if (kind == Unreadable::Folder) {
            QDir().mkdir(start.IniPath());
        } else if (kind == Unreadable::Socket) {
            // Bound by its name in the start folder, the current one: the whole path may not fit.
            const QByteArray name = QFile::encodeName(QFileInfo(start.IniPath()).fileName());
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::copy(name.begin(), name.end(), address.sun_path);
            const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
            ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
            ::close(socket); // the socket stays in the folder
        } else if (kind == Unreadable::Fifo) {
            testsupport::MakeFifo(path.toStdString());
        } else if (kind == Unreadable::Device) {
            QFile::link(base.filePath("zero"), start.IniPath());
        } else {
            start.WriteIni(content);
            QFile::setPermissions(start.IniPath(), QFileDevice::WriteOwner);
        }
        std::vector<QString> messages;
        platform::SetMessageHandler([&](const platform::MessageRequest &r) {
            messages.push_back(r.text);
            return platform::MessageResult::Ok;
        });
        {
            TfPelmora window;
            QCoreApplication::processEvents();
            EXPECT_EQ(window.GetButtonGroup(), 0); // the defaults
        }
        platform::SetMessageHandler({});
        struct stat status {};
        ASSERT_EQ(::stat(path.constData(), &status), 0);
        if (kind == Unreadable::Folder) {
            EXPECT_TRUE(S_ISDIR(status.st_mode));
        } else if (kind == Unreadable::Socket) {
            EXPECT_TRUE(S_ISSOCK(status.st_mode));
        } else if (kind == Unreadable::Fifo) {
            EXPECT_TRUE(S_ISFIFO(status.st_mode));
        } else if (kind == Unreadable::Device) {
            EXPECT_TRUE(S_ISCHR(status.st_mode));
        } else {
            QFile::setPermissions(start.IniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            EXPECT_EQ(start.ReadIni(), content);
        }
        ASSERT_EQ(messages.size(), 1u) << int(kind);
        EXPECT_TRUE(messages[0].startsWith("Unable to read the settings in " + start.IniPath()));
    }
}

TEST(TfPelmoraSettings, LongStartDirectoryIsUsedWhole) {
    QTemporaryDir base;
    const QString deep = base.path() + "/" + QString(60, 'a') + "/" + QString(60, 'b');
    ASSERT_GT(deep.size(), 100);
    StartDirectory start(deep);
    {
        TfPelmora window;
        EXPECT_EQ(window.GetStartDirectory(), deep);
    }
    EXPECT_TRUE(QFile::exists(deep + "/" + QFileInfo(start.IniPath()).fileName()));
}

TEST(TfPelmoraSettings, AStartFolderWhoseNameIsNotUtf8KeepsItsSettings) {
    StartDirectory start;
    const QByteArray folder = QFile::encodeName(QDir::currentPath()) + "/T\xE9"
                                                                       "cnico";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    ASSERT_EQ(::chdir(folder.constData()), 0);
    const std::string ini = folder.toStdString() + "/Pelmora.ini";
    std::FILE *file = std::fopen(ini.c_str(), "w");
    std::fputs("[UserButtons]\nButtonGroup=2\n", file);
    std::fclose(file);
    {
        TfPelmora window;
        EXPECT_EQ(window.GetButtonGroup(), 2);
    }
    struct stat status {};
    EXPECT_EQ(::stat(ini.c_str(), &status), 0);
    EXPECT_GT(status.st_size, 100); // saved at exit
    // Qt cannot name the folder to remove it.
    ::unlink(ini.c_str());
    ::rmdir(folder.constData());
}

TEST(TfPelmoraSettings, WindowPositionsComeFromTheWindows) {
    StartDirectory start;
    {
        TfPelmora window;
        TfPositionDeviation deviation;
        TfSvStatus status;
        window.AttachWindows({.positionDeviation = &deviation, .svStatus = &status});
        deviation.move(123, 45);
        status.move(67, 89);
        window.show();
        window.close();
        window.AttachWindows({});
    }
    const QByteArray ini = start.ReadIni();
    EXPECT_TRUE(ini.contains("PositionDeviationLeft=123\nPositionDeviationTop=45\n"));
    EXPECT_TRUE(ini.contains("SvStatusLeft=67\nSvStatusTop=89\n"));

    // A window never opened in a run keeps the place it had (regression: it was stored as 0, 0).
    start.WriteIni(
        "[Configuration]\nSkyViewLeft=300\nSkyViewTop=200\nGpsSimulatorLeft=30\nGpsSimulatorTop=20\n");
    {
        TfPelmora window;
        TfSkyView sky;
        TfGpsSimulator gps;
        window.AttachWindows({.skyView = &sky, .gpsSimulator = &gps});
        window.show();
        window.close();
        window.AttachWindows({});
    }
    const QByteArray again = start.ReadIni();
    EXPECT_TRUE(again.contains("SkyViewLeft=300\nSkyViewTop=200\n")) << again.toStdString();
    EXPECT_TRUE(again.contains("GpsSimulatorLeft=30\nGpsSimulatorTop=20\n"));
}

// Places typed by hand, or kept from a machine with other screens, never put a window where
// the user cannot reach it, and no value overflows on the way.
TEST(TfPelmoraSettings, StoredPlacesOffTheScreenComeBackOntoIt) {
    StartDirectory start;
    start.WriteIni("[Configuration]\nRfpType=Holvanek\nPelmoraWindowLeft=-30000\nPelmoraWindowTop=99999\n"
                   "GraphicFormLeft=2147483647\nCogDisplayLeft=5000\nCogDisplayWidth=100000\n"
                   "CogDisplayHeight=-3\nSkyViewTop=-2147483648\nFileDialogWindowLeft=2147483647\n"
                   "FileDialogWindowWidth=2147483647\n");
    TfPelmora window;
    TfGraphicDisplay graph;
    TfCogDisplay cog;
    TfSkyView sky;
    window.AttachWindows({.graphicDisplay = &graph, .cogDisplay = &cog, .skyView = &sky});
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window.geometry()));
    EXPECT_TRUE(screen.contains(sky.geometry()));
    window.findChild<QPushButton *>("bGraphicDisplay")->click();
    EXPECT_TRUE(screen.contains(graph.pos()));
    EXPECT_TRUE(screen.contains(cog.geometry()));
    EXPECT_EQ(cog.size(), QSize(screen.width(), 210));
    graph.hide();
    window.AttachWindows({});
}

TEST(TfPelmoraGraph, TheGraphWindowGetsAndReturnsItsSettings) {
    StartDirectory start;
    start.WriteIni(
        "[Configuration]\nLinearGrid=0\nBmpSaveFileIndex=7\nGraphicFormLeft=40\nGraphicFormTop=30\n"
        "RfpType=Holvanek\n");
    {
        TfPelmora window;
        TfGraphicDisplay graph;
        window.AttachWindows({.graphicDisplay = &graph});
        window.show();
        auto *button = window.findChild<QPushButton *>("bGraphicDisplay");
        EXPECT_FALSE(button->isHidden());
        button->click();
        EXPECT_FALSE(button->isEnabled());
        EXPECT_TRUE(graph.IsShown());
        EXPECT_FALSE(graph.GetLinearGrid());
        EXPECT_EQ(graph.GetBmpSaveFileIndex(), 7);
        EXPECT_EQ(graph.GetStartDirectory(), window.GetStartDirectory());
        graph.SetBmpSaveFileIndex(9);
        graph.SetLinearGrid(true);
        window.PollSerialPort();
        EXPECT_FALSE(button->isEnabled()); // still shown
        graph.hide();
        window.PollSerialPort();
        EXPECT_TRUE(button->isEnabled());

        // Leaving the program with the graph recording writes what waits for its automatic save.
        button->click();
        graph.bClickAutoSave();
        GraphSample sample{};
        for (int i = 0; i < 5; ++i)
            graph.StoreSample(sample);
        window.close();
        window.AttachWindows({});
    }
    EXPECT_EQ(FileContents(QDir::current().filePath("Pelmora001.txt")).count("\r\n"), 2 + 5);
    const QByteArray ini = start.ReadIni();
    EXPECT_TRUE(ini.contains("DataSaveFileIndex=2\n"));
    EXPECT_TRUE(ini.contains("LinearGrid=1\n"));
    EXPECT_TRUE(ini.contains("BmpSaveFileIndex=9\n"));
    EXPECT_TRUE(ini.contains("RfpType=Holvanek\n"));
}

TEST_F(Connected, SendLineKeys) {
    auto *combo = window->findChild<QComboBox *>("cbSendData");
    auto *edit = combo->lineEdit();
    auto type = [&](int key, const QString &text) {
        // Typed keys reach the combo box, which holds the focus, not its line edit.
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(combo, &press);
    };
    type(Qt::Key_Dollar, "$");
    for (const char c : std::string("pqvzq,rid"))
        type(0, QString(QChar(c)));
    EXPECT_EQ(edit->text(), "$PQVZQ,RID"); // upper case by default
    type(Qt::Key_Return, "\r");
    EXPECT_TRUE(device.WaitForLine("$PQVZQ,RID", kPatienceMs));
    type(Qt::Key_Escape, "\x1b"); // no script runs: clears the field
    EXPECT_EQ(edit->text(), "");
    type(0, "\x01"); // other control characters are swallowed
    EXPECT_EQ(edit->text(), "");

    // While the send line has the focus, the arrow keys stay with it.
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(edit, &in);
    device.ClearReceived();
    Key(*window, QEvent::KeyPress, Qt::Key_Left);
    Key(*window, QEvent::KeyRelease, Qt::Key_Left);
    EXPECT_EQ(window->GetPanelKeyMask(), 0u);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(edit, &out);
    Key(*window, QEvent::KeyPress, Qt::Key_Left);
    EXPECT_EQ(window->GetPanelKeyMask(), 8u);
    Key(*window, QEvent::KeyRelease, Qt::Key_Left);
}

TEST(TfPelmoraConnect, AnUnpluggedDeviceDisconnects) {
    StartDirectory start;
    testsupport::PseudoTerminal pty;
    ScopedComMapping map(1, pty.DevicePath());
    TfPelmora window;
    window.bClickComOpenClose();
    ASSERT_TRUE(window.IsPortOpen());
    window.bClickAcquireBrisken();
    window.PollSerialPort();
    pty.Unplug();
    window.PollSerialPort();
    EXPECT_FALSE(window.IsPortOpen());
    EXPECT_EQ(window.findChild<QPushButton *>("bComOpenClose")->text(), "Connect");
    EXPECT_TRUE(window.windowTitle().endsWith("is not connected"));
    // As Disconnect would, the acquire sequence is back at rest; its status says why.
    EXPECT_EQ(window.Acquire().GetAcquireState(), 0);
    EXPECT_EQ(window.findChild<QLabel *>("lAcquireBriskenStatus")->text(), "connection lost");
    EXPECT_FALSE(window.findChild<QLabel *>("lAcquireBriskenStatus")->isHidden());
    window.PollSerialPort(); // and the port stays closed
    EXPECT_FALSE(window.IsPortOpen());
}

TEST(TfPelmoraGraph, StreamedGuidanceIsSampledSavedAndLoadedBack) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    StartDirectory start;
    start.WriteIni("[Configuration]\nRfpType=Holvanek\n");
    DeviceStandIn device(DeviceStandIn::Kind::SteeringController);
    device.SetOlderSettingsRecords(true);
    ScopedComMapping map(1, device.DevicePath());
    QString chosen;
    platform::SetFileDialogHandler([&](const platform::FileDialogRequest &) { return chosen; });
    RecordingPelmora window;
    TfGraphicDisplay graph;
    window.AttachWindows({.graphicDisplay = &graph});
    window.bClickComOpenClose();
    ASSERT_TRUE(window.IsPortOpen());
    window.findChild<QPushButton *>("bGraphicDisplay")->click();
    ASSERT_TRUE(graph.IsShown());
    EXPECT_FALSE(graph.IsHolding());

    device.StreamLines({"$PQVZR,HNX,PLT2,12.3,-4.56,1.5,3034.123456,S,10159.5,W,D,9,271.4,4470,-55,3,120,1,0",
                        "$PQVZR,HNX,PLT3,1,12,34,5,6,7"},
                       20);
    // The periodic settings query, answered with the older records, and its follow-up.
    clock.Advance(3001);
    ASSERT_TRUE(PollUntil(window, [&] { return window.CurrentSample().firstRsp == 1; }));
    // A sample each time more than 100 ms have passed; 80 fill more than the picture's width.
    ASSERT_TRUE(PollUntil(window, [&] {
        clock.Advance(101);
        return graph.Ring().Count() >= 80 && graph.ShownIdentity(TfGraphicDisplay::LightBar).identity[0] != 0;
    }));
    device.StopStreaming();
    const GraphSample &newest = graph.Ring().At(graph.Ring().Newest());
    EXPECT_EQ(newest.offErrCM, -456);
    EXPECT_EQ(newest.latUMin, -34123456);
    EXPECT_EQ(newest.sogMmPerSec, 4470);
    EXPECT_EQ(newest.whBas, 2500);
    EXPECT_EQ(newest.solPwm, 100);
    EXPECT_EQ(newest.Rev2WATenths, 7);
    EXPECT_STREQ(graph.ShownIdentity(TfGraphicDisplay::Steering).serialNumber, "SC000042");
    EXPECT_EQ(graph.Traces()[4].name, "YawRate");

    std::vector<std::string> stored;
    for (int i = 0; i < graph.Ring().Count(); ++i)
        stored.push_back(GraphDataFile::Row(graph.Ring().At(i)));
    const QImage livePicture = graph.Picture().copy();

    graph.findChild<QPushButton *>("bSaveData")->click();
    QFile file(QDir::current().filePath("Pelmora001.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(stored.size()) + 3);
    EXPECT_TRUE(lines[1].startsWith(
        "Device ID records,Holvanek SC,1.05,SC000042,LB Light Bar,0.9,LB0007,,,,Pelmora,"));
    const QList<QByteArray> row = lines[lines.size() - 2].trimmed().split(','); // the newest
    ASSERT_EQ(row.size(), 53);
    EXPECT_EQ(row[11], "-456");
    EXPECT_EQ(row[22], "4470");
    EXPECT_EQ(row[31], "2500");
    EXPECT_EQ(row[52], "7");

    graph.findChild<QPushButton *>("bHold")->click();
    chosen = file.fileName();
    graph.findChild<QPushButton *>("bLoadData")->click();
    ASSERT_EQ(graph.Ring().Count(), static_cast<int>(stored.size()));
    for (int i = 0; i < graph.Ring().Count(); ++i)
        EXPECT_EQ(GraphDataFile::Row(graph.Ring().At(i)), stored[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(graph.windowTitle().endsWith("/Pelmora001.txt"));
    EXPECT_EQ(graph.Picture(), livePicture);
    // Saved again, the loaded rows make the same file byte for byte.
    graph.findChild<QPushButton *>("bSaveData")->click();
    EXPECT_EQ(FileContents(QDir::current().filePath("Pelmora002.txt")), FileContents(file.fileName()));

    platform::SetFileDialogHandler({});
    window.AttachWindows({});
}
