// The acquire sequence, device identification, the monitor and the logs in the main window, most
// of them over a pseudo-terminal with the device stand-in on the far end.
#include "AcquireSequence.h"
#include "DeviceIdRequest.h"
#include "MessageLog.h"
#include "MessageMonitor.h"
#include "SerialPort.h"
#include "TfGraphicDisplay.h"
#include "TfPelmora.h"
#include "TfShowMessageMonColors.h"

#include "Clock.h"
#include "DeviceStandIn.h"
#include "Dialogs.h"
#include "PelmoraTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelmoratest;
using testsupport::DeviceStandIn;
using testsupport::ScopedComMapping;

namespace {

// A window on a virtual clock, started with the given settings and connected on COM1 to a device.
class Traffic : public ::testing::Test {
protected:
    void Open(DeviceStandIn::Kind kind, const QByteArray &configuration = {}) {
        device = std::make_unique<DeviceStandIn>(kind);
        map = std::make_unique<ScopedComMapping>(1, device->DevicePath());
        start.WriteIni("[Configuration]\n" + configuration);
        window = std::make_unique<TfPelmora>();
        window->show();
        Button("bComOpenClose")->click();
        ASSERT_TRUE(window->IsPortOpen());
    }
    void TearDown() override {
        platform::SetMessageHandler({});
        platform::SetFileDialogHandler({});
        platform::SetDesktopOpenHandler({});
        platform::SetModalDialogHandler({});
        window.reset();
    }
    QPushButton *Button(const char *name) { return window->findChild<QPushButton *>(name); }
    QString Label(const char *name) { return window->findChild<QLabel *>(name)->text(); }
    // Sends lines from the device and polls until the monitor shows count lines.
    void Deliver(std::initializer_list<const char *> lines, int count) {
        for (const char *line : lines)
            device->SendLine(line);
        ASSERT_TRUE(PollUntil(*window, [&] { return window->Monitor().LineCount() >= count; }));
    }
    int MonitorLinesWith(const std::string &text) {
        int n = 0;
        for (int i = 0; i < window->Monitor().LineCount(); ++i)
            n += window->Monitor().LineText(i).find(text) != std::string::npos;
        return n;
    }
    // Message boxes are answered with answer and recorded as "caption: text".
    void AnswerBoxes(platform::MessageResult answer) {
        platform::SetMessageHandler([this, answer](const platform::MessageRequest &request) {
            boxes.push_back(request.caption + ": " + request.text);
            return answer;
        });
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    StartDirectory start;
    std::unique_ptr<DeviceStandIn> device;
    std::unique_ptr<ScopedComMapping> map;
    std::unique_ptr<TfPelmora> window;
    QStringList boxes;
};

} // namespace

TEST_F(Traffic, AcquireFindsTheReceiverAndWatchesIt) {
    Open(DeviceStandIn::Kind::Receiver);
    Button("bAcquireBrisken")->click();
    EXPECT_EQ(Button("bAcquireBrisken")->text(), "Cancel");
    for (int i = 0; i < 1000 && window->Acquire().GetAcquireState() != AcquireSequence::WaitingForRid; ++i) {
        window->PollSerialPort();
        clock.Advance(10);
    }
    window->PollSerialPort(); // asks for the identity; the clock stands while the answer comes
    ASSERT_TRUE(device->WaitForLine("$PQVZQ,RID", kPatienceMs));
    ASSERT_TRUE(PollUntil(*window, [&] { return Label("lBriskenConnectionReport") != " "; }));
    EXPECT_EQ(Label("lAcquireBriskenStatus"), "connection OK");
    EXPECT_EQ(Label("lBriskenConnectionReport"), "Brisken DGPS v2.10 #SN0001234");
    EXPECT_TRUE(Button("bAcquireBrisken")->isHidden());
    EXPECT_EQ(window->GetSerialPort().GetBaudRate(), 38400);
    const auto sent = device->Received();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "$PQVZS,LCD,ON"), 8);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "$PQVZK,6"), sent.end());
}

TEST_F(Traffic, TheConnectionReportShowsTheReceiversBytesAsText) {
    Open(DeviceStandIn::Kind::Receiver);
    device->AnswerLine("$PQVZQ,RID", "$PQVZR,RID,<b>Caf\xE9</b>,2.10,A,B,SN1");
    window->SetAcquireState(AcquireSequence::WaitingForRid);
    ASSERT_TRUE(PollUntil(*window, [&] { return !Label("lBriskenConnectionReport").trimmed().isEmpty(); }));
    EXPECT_EQ(Label("lBriskenConnectionReport"), QString::fromLatin1("<b>Caf\xE9</b> v2.10 #SN1"));
    EXPECT_EQ(window->findChild<QLabel *>("lBriskenConnectionReport")->textFormat(), Qt::PlainText);
}

TEST(TrafficWithoutDevice, AcquireCancelsAndGivesUpAt38400) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    StartDirectory start;
    TfPelmora window;
    auto *button = window.findChild<QPushButton *>("bAcquireBrisken");
    auto run = [&](int ms) {
        for (int t = 0; t < ms; t += 10, clock.Advance(10))
            window.PollSerialPort();
    };
    window.bClickAcquireBrisken();
    run(600);
    EXPECT_EQ(window.GetSerialPort().GetBaudRate(), 19200);
    window.bClickAcquireBrisken(); // Cancel
    EXPECT_EQ(button->text(), "Acquire Brisken");
    EXPECT_EQ(window.GetSerialPort().GetBaudRate(), 38400);
    EXPECT_EQ(window.Acquire().GetAcquireState(), 0);

    window.bClickAcquireBrisken();
    run(4000);
    EXPECT_EQ(window.findChild<QLabel *>("lAcquireBriskenStatus")->text(), "unable to connect");
    EXPECT_EQ(button->text(), "Acquire Brisken");
    EXPECT_EQ(window.GetSerialPort().GetBaudRate(), 38400);
}

TEST_F(Traffic, DeviceIdsArriveWhileTheGraphIsShown) {
    Open(DeviceStandIn::Kind::SteeringController, "RfpType=Holvanek\n");
    TfGraphicDisplay graph;
    window->AttachWindows({.graphicDisplay = &graph});
    graph.show();
    // The first settings reply starts identification, the second lets the request go out.
    for (int cycle = 1; cycle <= 2; ++cycle) {
        clock.Advance(3001);
        ASSERT_TRUE(PollUntil(*window, [&] { return MonitorLinesWith(",SET22,") == cycle; })) << cycle;
    }
    ASSERT_TRUE(PollUntil(*window, [&] {
        return window->DeviceIds().IsKnown(DeviceIdRequest::Steering) &&
               window->DeviceIds().IsKnown(DeviceIdRequest::LightBar);
    }));
    const auto sent = device->Received();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "$PQVZQ,HNX,DID_REQUEST"), 1);
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::Steering).serialNumber, "SC000042");
    EXPECT_STREQ(graph.ReceivedIdentity(TfGraphicDisplay::LightBar).identity, "LB Light Bar");
    graph.hide();
    window->AttachWindows({});
}

TEST_F(Traffic, TheMonitorShowsTheTrafficInOrder) {
    Open(DeviceStandIn::Kind::Receiver, "MsgMonTime=0\nMsgMonTickCount=0\n");
    Deliver({"$GPGGA,1*4B", "plain text"}, 2);
    window->SetPanelKey(1, true);
    Deliver({"$PQVZR,DID,x"}, 4);
    const MessageMonitor &monitor = window->Monitor();
    const std::pair<std::string, MessageCategory> expected[] = {
        {"$GPGGA,1", MessageCategory::Dgps},
        {"plain text", MessageCategory::NonNmea},
        {"$PQVZK,1", MessageCategory::OutgoingPanel},
        {"$PQVZR,DID,x", MessageCategory::OtherSentence}};
    ASSERT_EQ(monitor.LineCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(monitor.LineText(i), expected[i].first);
        EXPECT_EQ(monitor.LineAttr(i).category, expected[i].second);
    }
    EXPECT_EQ(window->findChild<QListView *>("lbMessageMonitor")->model()->rowCount(), 4);

    // Paused, the lines are dropped and the gap is marked; a filter switched off hides its kind.
    Button("bPause")->click();
    device->SendLine("dropped");
    ASSERT_TRUE(WaitUntil([&] { return device->WaitingAtProgram() > 0; }));
    window->PollSerialPort();
    Button("bPause")->click();
    window->findChild<QAction *>("mMsgMonDgpsMessages")->trigger();
    Deliver({"$GPGGA,2", "after"}, 5);
    EXPECT_TRUE(monitor.LineAttr(3).gapAfter);
    EXPECT_EQ(monitor.LineText(4), "after");
    EXPECT_TRUE(monitor.LineAttr(4).gapBefore);
    Button("bClear")->click();
    EXPECT_EQ(monitor.LineCount(), 0);
}

TEST_F(Traffic, ALoggingRunWritesTheExpectedLines) {
    Open(DeviceStandIn::Kind::Receiver, "LogDate=0\nLogTime=0\nLogRfpMessages=1\nLogNmeaChecksum=1\n");
    ASSERT_FALSE(Button("bLogMessages")->isHidden());
    Button("bLogMessages")->click();
    EXPECT_EQ(Button("bLogMessages")->text(), "Stop Log");
    EXPECT_EQ(Label("lLogMessagesStatus"), "Logging Messages");
    Deliver({"$GPGGA,1*4B", "hello"}, 2);
    window->SetPanelKey(1, true);
    Button("bLogMessages")->click();
    Deliver({"$GPGGA,2"}, 4); // not logged any more
    // The clock stands, so every line carries its tick: the 32-bit count, unsigned.
    EXPECT_EQ(FileContents("Pelmora.log"),
              "3567587328,$GPGGA,1*4B\r\n3567587328,hello\r\n3567587328,$PQVZK,1*5B\r\n");

    // Disconnecting while logging ends the run and hides the button.
    Button("bLogMessages")->click();
    Button("bComOpenClose")->click();
    EXPECT_FALSE(window->IsLogging());
    EXPECT_EQ(Button("bLogMessages")->text(), "Log Messages");
    EXPECT_TRUE(Button("bLogMessages")->isHidden());
}

TEST_F(Traffic, ALogThatCannotBeWrittenSaysSoAndRecovers) {
    Open(DeviceStandIn::Kind::Receiver,
         "LogDate=0\nLogTime=0\nLogMsTickCount=0\nLogFileNameNoPrompt=logs\\run.log\n");
    Button("bLogMessages")->click();
    Deliver({"first"}, 1);
    EXPECT_EQ(Label("lLogMessagesStatus"), "Cannot write run.log");
    EXPECT_TRUE(window->IsLogging());
    QDir().mkdir("logs");
    Deliver({"second"}, 2);
    EXPECT_EQ(Label("lLogMessagesStatus"), "Logging Messages");
    EXPECT_EQ(FileContents("logs/run.log"), "second\r\n");
}

TEST_F(Traffic, TheLogNeverWritesIntoTheSettingsFile) {
    Open(DeviceStandIn::Kind::Receiver, "LogOverWriteFile=1\nLogFileNameNoPrompt=Pelmora.ini\n");
    const QByteArray settings = start.ReadIni();
    Button("bLogMessages")->click();
    Deliver({"first"}, 1);
    EXPECT_EQ(Label("lLogMessagesStatus"), "Cannot write Pelmora.ini");
    // Picked in the prompt, under another name for it, the same.
    Button("bLogMessages")->click();
    window->mLogPromptForFilenameClick();
    platform::SetFileDialogHandler(
        [](const platform::FileDialogRequest &) { return QString("./Pelmora.ini"); });
    Button("bLogMessages")->click();
    Deliver({"second"}, 2);
    EXPECT_EQ(Label("lLogMessagesStatus"), "Cannot write Pelmora.ini");
    EXPECT_EQ(start.ReadIni(), settings);
}

TEST_F(Traffic, OnlyARegularFileIsALogAndViewingSaysWhenNothingOpensIt) {
    // A named pipe, even one that something reads, is refused as a file that cannot be written.
    const QByteArray name = QByteArray(150, 'p') + ".log";
    ASSERT_EQ(::mkfifo(name.constData(), 0600), 0);
    const int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    Open(DeviceStandIn::Kind::Receiver, "LogFileNameNoPrompt=" + name + "\n");
    Button("bLogMessages")->click();
    Deliver({"line"}, 1);
    const auto *status = window->findChild<QLabel *>("lLogMessagesStatus");
    EXPECT_TRUE(status->text().startsWith("Cannot write ppp")) << status->text().toStdString();
    EXPECT_LE(status->x() + status->width(), status->parentWidget()->width());
    EXPECT_TRUE(status->toolTip().contains(QDir::current().absoluteFilePath(name)));
    Button("bLogMessages")->click();
    AnswerBoxes(platform::MessageResult::Ok);
    platform::SetDesktopOpenHandler([](const QString &) { return false; });
    window->mLogViewFileClick();
    EXPECT_EQ(boxes, QStringList{"View Log File: No program was found to open " + name});
    ::close(reader);
}

TEST_F(Traffic, APromptedLogFileIsUsedAsPicked) {
    Open(DeviceStandIn::Kind::Receiver, "LogDate=0\nLogTime=0\nLogMsTickCount=0\nLogPromptForFilename=1\n"
                                        "LogOverWriteFile=1\n");
    QString picked;
    platform::FileDialogRequest asked;
    platform::SetFileDialogHandler([&](const platform::FileDialogRequest &request) {
        asked = request;
        return picked;
    });
    Button("bLogMessages")->click(); // cancelled: logging, but to no file
    EXPECT_EQ(Button("bLogMessages")->text(), "Stop Log");
    EXPECT_EQ(asked.directory, QDir::currentPath()); // "." as the dialog opens it
    EXPECT_EQ(asked.filter, "Log Files (*.log)|*.log|All files (*.*)|*.*");
    EXPECT_EQ(asked.filterIndex, 2);
    Deliver({"lost"}, 1);
    EXPECT_EQ(Label("lLogMessagesStatus"), "No log file chosen");
    EXPECT_TRUE(QDir().entryList({"*.log"}, QDir::Files).isEmpty());
    Button("bLogMessages")->click();

    // A long name in mixed case, over a file that is emptied for the new run.
    const QString folder = QDir::currentPath() + "/" + QString(150, 'D');
    QDir().mkpath(folder);
    picked = folder + "/" + QString(150, 'x') + "Mixed Case.LOG";
    ASSERT_GT(picked.size(), 299);
    QFile old(picked);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old\r\n");
    old.close();
    Button("bLogMessages")->click();
    Deliver({"kept"}, 2);
    EXPECT_EQ(FileContents(picked), "kept\r\n");
}

TEST_F(Traffic, SequenceEraseAndViewWorkOnTheLog) {
    Open(DeviceStandIn::Kind::Receiver, "LogSequenceFileIndex=7\n");
    AnswerBoxes(platform::MessageResult::No);
    QStringList viewed;
    platform::SetDesktopOpenHandler([&](const QString &path) {
        viewed << path;
        return true;
    });
    window->mLogEraseFileClick();
    window->mLogViewFileClick();
    window->mLogSequenceFilenameClick();
    // The default name ".\Pelmora.log" is shown as the file it names.
    EXPECT_EQ(boxes, (QStringList{"File Not Found: Pelmora.log does not exist",
                                  "File Not Found: Pelmora.log does not exist",
                                  "Rename Error: Unable to Rename Log Filename"}));
    EXPECT_TRUE(viewed.isEmpty());

    boxes.clear();
    for (const char *name : {"Pelmora.log", "Pelmora008.log"})
        QFile(name).open(QIODevice::WriteOnly);
    window->mLogSequenceFilenameClick(); // the failed try above took number 7
    EXPECT_TRUE(QFile::exists("Pelmora009.log"));
    EXPECT_FALSE(QFile::exists("Pelmora.log"));
    QFile("Pelmora.log").open(QIODevice::WriteOnly);
    window->mLogViewFileClick();
    EXPECT_EQ(viewed, QStringList{QDir::current().absoluteFilePath("Pelmora.log")});
    window->mLogEraseFileClick();
    EXPECT_TRUE(QFile::exists("Pelmora.log"));
    AnswerBoxes(platform::MessageResult::Yes);
    window->mLogEraseFileClick();
    EXPECT_FALSE(QFile::exists("Pelmora.log"));
    EXPECT_EQ(boxes, (QStringList{"Erase File: Erasing Pelmora.log - Are you sure?",
                                  "Erase File: Erasing Pelmora.log - Are you sure?"}));
    window.reset();
    EXPECT_TRUE(start.ReadIni().contains("LogSequenceFileIndex=10\n"));
}

TEST(TrafficWithoutDevice, TheMonitorGrowsHidesAndShowsItsLegend) {
    StartDirectory start;
    start.WriteIni("[Configuration]\nMsgMonColorsWindowLeft=30\nMsgMonColorsWindowTop=40\n");
    {
        TfPelmora window;
        TfShowMessageMonColors legend(&window);
        window.AttachWindows({.showMessageMonColors = &legend});
        auto *panel = window.findChild<QWidget *>("pMessageMonitorPanel");
        auto *list = window.findChild<QListView *>("lbMessageMonitor");
        auto *sendLine = window.findChild<QComboBox *>("cbSendData");
        const QRect panelBefore = panel->geometry(), listBefore = list->geometry();
        const int sendLineBefore = sendLine->y();
        window.findChild<QAction *>("mMsgMonBig")->trigger();
        EXPECT_EQ(panel->height(), panelBefore.height() + 120);
        EXPECT_EQ(list->height(), listBefore.height() + 120);
        EXPECT_EQ(sendLine->y(), sendLineBefore + 120);
        const int auxLeft = window.findChild<QWidget *>("pAuxPanel")->x();
        window.findChild<QAction *>("mMsgMonHide")->trigger();
        EXPECT_TRUE(panel->isHidden());
        EXPECT_EQ(window.findChild<QWidget *>("pAuxPanel")->x(), auxLeft);

        QStringList legendTexts;
        platform::SetModalDialogHandler([&](QDialog &dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Message Monitor Colors");
            EXPECT_EQ(dialog.pos(), QPoint(30, 40));
            auto *items = dialog.findChild<QListWidget *>("lbMsgMonColors");
            for (int i = 0; i < items->count(); ++i)
                legendTexts << items->item(i)->text();
            dialog.move(50, 60);
            return int(QDialog::Accepted);
        });
        emit list->customContextMenuRequested(QPoint(5, 5));
        platform::SetModalDialogHandler({});
        EXPECT_EQ(legendTexts, (QStringList{"Out-Going Messages", "Out RFP Messages", "RFP Messages",
                                            "DGPS Messages", "Light Bar Messages", "Holvanek Messages",
                                            "Non-NMEA Messages", "Other Messages"}));
        window.AttachWindows({});
    }
    EXPECT_TRUE(start.ReadIni().contains("MsgMonColorsWindowLeft=50\nMsgMonColorsWindowTop=60\n"));
}

TEST(TrafficWithoutDevice, SendFileStaysWithTheSendLineAndTheListNeverScrollsSideways) {
    StartDirectory start;
    TfPelmora window;
    window.show();
    auto *list = window.findChild<QListView *>("lbMessageMonitor");
    for (int i = 0; i < 30; ++i)
        window.AddMonitorLine(std::string(300, 'x').c_str());
    ASSERT_TRUE(WaitUntil([&] {
        QCoreApplication::processEvents();
        return list->verticalScrollBar()->isVisible();
    }));
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    auto *sendLine = window.findChild<QComboBox *>("cbSendData");
    auto *sendFile = window.findChild<QPushButton *>("bSendFile");
    window.findChild<QAction *>("mMsgMonBig")->trigger();
    EXPECT_EQ(sendFile->mapTo(&window, QPoint()).y(), sendLine->mapTo(&window, QPoint()).y());
    window.findChild<QAction *>("mMsgMonHide")->trigger();
    EXPECT_FALSE(sendFile->isVisible());
}

// Each option's handler does what a click on its item does: the check toggles and the monitor,
// the panel or the log follows it, and a second call takes both back.
TEST(TrafficWithoutDevice, EveryOptionHandlerTogglesItsItemAndApplies) {
    StartDirectory start;
    TfPelmora window;
    using Applied = std::function<bool(TfPelmora &)>;
    auto monitor = [](bool MonitorOptions::*option) {
        return Applied([option](TfPelmora &w) { return w.Monitor().Options().*option; });
    };
    auto log = [](bool LogOptions::*option) {
        return Applied([option](TfPelmora &w) { return w.Log().Options().*option; });
    };
    auto *panel = window.findChild<QWidget *>("pMessageMonitorPanel");
    const int designedHeight = panel->height();
    struct Case {
        void (TfPelmora::*click)();
        const char *item;
        Applied applied; // empty: the check alone carries the option
    };
    const Case cases[] = {
        {&TfPelmora::mClickBig, "mMsgMonBig",
         [&](TfPelmora &) { return panel->height() == designedHeight + 120; }},
        {&TfPelmora::mMsgMonHideClick, "mMsgMonHide", [&](TfPelmora &) { return panel->isHidden(); }},
        {&TfPelmora::mMsgMonUpperCaseClick, "mMsgMonUpperCase", {}},
        {&TfPelmora::mMsgMonTimeClick, "mMsgMonTime", monitor(&MonitorOptions::time)},
        {&TfPelmora::mMsgMonTickCountClick, "mMsgMonTickCount", monitor(&MonitorOptions::tickCount)},
        {&TfPelmora::mMsgMonOutGoingMessagesClick, "mMsgMonOutGoingMessages",
         monitor(&MonitorOptions::outGoingMessages)},
        {&TfPelmora::mMsgMonRfpMessagesClick, "mMsgMonRfpMessages", monitor(&MonitorOptions::rfpMessages)},
        {&TfPelmora::mMsgMonDgpsMessagesClick, "mMsgMonDgpsMessages", monitor(&MonitorOptions::dgpsMessages)},
        {&TfPelmora::mMsgMonLbMessagesClick, "mMsgMonLbMessages", monitor(&MonitorOptions::lbMessages)},
        {&TfPelmora::mMsgMonHolvanekMessagesClick, "mMsgMonHolvanekMessages",
         monitor(&MonitorOptions::holvanekMessages)},
        {&TfPelmora::mMsgMonNonNmeaMessagesClick, "mMsgMonNonNmeaMessages",
         monitor(&MonitorOptions::nonNmeaMessages)},
        {&TfPelmora::mMsgMonOtherMessagesClick, "mMsgMonOtherMessages",
         monitor(&MonitorOptions::otherMessages)},
        {&TfPelmora::mLogDateClick, "mLogDate", log(&LogOptions::date)},
        {&TfPelmora::mLogTimeClick, "mLogTime", log(&LogOptions::time)},
        {&TfPelmora::mLogMsTickCountClick, "mLogMsTickCount", log(&LogOptions::msTickCount)},
        {&TfPelmora::mLogNmeaChecksumClick, "mLogNmeaChecksum", log(&LogOptions::nmeaChecksum)},
        {&TfPelmora::mLogRfpMessagesClick, "mLogRfpMessages", log(&LogOptions::rfpMessages)},
        {&TfPelmora::mLogDgpsMessagesClick, "mLogDgpsMessages", log(&LogOptions::dgpsMessages)},
        {&TfPelmora::mLogLightBarMessagesClick, "mLogLightBarMessages", log(&LogOptions::lightBarMessages)},
        {&TfPelmora::mLogHolvanekMessagesClick, "mLogHolvanekMessages", log(&LogOptions::holvanekMessages)},
        {&TfPelmora::mLogNonNmeaMessagesClick, "mLogNonNmeaMessages", log(&LogOptions::nonNmeaMessages)},
        {&TfPelmora::mLogOtherMessagesClick, "mLogOtherMessages", log(&LogOptions::otherMessages)},
        {&TfPelmora::mLogPromptForFilenameClick, "mLogPromptForFilename",
         log(&LogOptions::promptForFilename)},
    };
    for (const Case &c : cases) {
        QAction *item = window.findChild<QAction *>(c.item);
        ASSERT_NE(item, nullptr) << c.item;
        const bool before = item->isChecked();
        for (const bool expected : {!before, before}) {
            (window.*c.click)();
            EXPECT_EQ(item->isChecked(), expected) << c.item;
            if (c.applied) {
                EXPECT_EQ(c.applied(window), expected) << c.item;
            }
        }
    }
    // The file items are a radio group.
    window.mLogOverWriteFileClick();
    EXPECT_TRUE(window.Log().Options().overWriteFile);
    EXPECT_FALSE(window.findChild<QAction *>("mLogAppendToFile")->isChecked());
    window.mLogAppendToExistFileClick();
    EXPECT_FALSE(window.Log().Options().overWriteFile);
    EXPECT_FALSE(window.findChild<QAction *>("mLogOverWriteFile")->isChecked());
}
