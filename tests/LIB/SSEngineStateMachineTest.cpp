#include "SecondStageFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>

using namespace secondstage;
using testsupport::LoaderFrame;

namespace {

std::string P(std::initializer_list<int> bytes, const std::string &tail = {}) {
    std::string p;
    for (int b : bytes)
        p += static_cast<char>(b);
    return p + tail;
}

// The host frames in a stream of them.
std::vector<std::string> Frames(const std::string &stream) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at + 7 <= stream.size()) {
        const std::size_t n =
            static_cast<std::uint8_t>(stream[at + 3]) << 8 | static_cast<std::uint8_t>(stream[at + 4]);
        out.push_back(stream.substr(at, 7 + n + 4));
        at += 7 + n + 4;
    }
    return out;
}

// The payloads of the host frames in a stream of them.
std::vector<std::string> Payloads(const std::string &stream) {
    std::vector<std::string> out;
    for (const std::string &frame : Frames(stream))
        out.push_back(frame.substr(7, frame.size() - 11));
    return out;
}

} // namespace

TEST_F(SecondStage, PsnRequestWaitsForBothAckAndReplyInEitherOrder) {
    for (bool replyFirst : {false, true}) {
        ss->EngineState = SS_STATE_IDLE;
        ss->DeviceID = 2;
        Ack(6);
        Sent();
        EXPECT_EQ(Begin(8), STAGE_AGAIN);
        EXPECT_EQ(Sent(), LoaderFrame(0x80, 6, P({7, 2})));
        EXPECT_EQ(loader->pclMyTimer->interval(), 10);
        EXPECT_EQ(ss->EngineState, 9);
        if (replyFirst)
            FromCard(0x80, 7, P({8, 2}, std::string("P2\0", 3)));
        else
            Ack(7);
        EXPECT_EQ(ss->Run(), STAGE_CONTINUE);
        EXPECT_EQ(ss->EngineState, 9) << "half an answer is no answer";
        if (replyFirst)
            Ack(8);
        else
            FromCard(0x80, 8, P({8, 2}, std::string("P2\0", 3)));
        EXPECT_EQ(ss->Run(), STAGE_AGAIN) << "the idle step follows at once";
        EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
        EXPECT_EQ(ss->DeviceDetails[2].PSN, "P2");
    }
}

TEST_F(SecondStage, SetTextGoesOutWithItsZeroUnlessTooLong) {
    ss->DeviceDetails[0].PSN = "PSN1";
    Begin(17, 0x85);
    EXPECT_EQ(Sent(), LoaderFrame(0x85, 0, P({18, 0}, std::string("PSN1\0", 5))))
        << "address from the card ID";
    Ack();
    EXPECT_EQ(ss->Run(), STAGE_CONTINUE) << "set-requests leave the idle step to the next tick";
    ss->DeviceDetails[0].PSN.assign(SSEngine::TxPayloadSize, 'x');
    Begin(17);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    EXPECT_EQ(Count("Value too long to send, cannot write."), 1);
}

TEST_F(SecondStage, SetMacAcceptsDashesOrColons) {
    for (const char *text : {"00:1A:2B:3C:4D:5E", "00-1A-2B-3C-4D-5E"}) {
        ss->DeviceDetails[0].MACText = text;
        Begin(75);
        EXPECT_EQ(Sent(), LoaderFrame(0x80, 0, P({69, 0, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0}))) << text;
        EXPECT_EQ(ss->EngineState, 76);
    }
    ss->DeviceDetails[0].MACText = "001A2B3C4D5E";
    ss->EngineState = 75;
    EXPECT_EQ(Tick(), STAGE_CONTINUE);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Count("Invalid MAC specified, cannot write."), 1);
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
}

TEST_F(SecondStage, SetHWCapabilitiesSendsTheBlockOrNothing) {
    ss->EngineState = 45;
    Tick();
    EXPECT_TRUE(Sent().empty()) << "no block";
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    ss->DeviceDetails[0].HWCapabilities = {0, 0};
    ss->EngineState = 45;
    Tick();
    EXPECT_TRUE(Sent().empty()) << "a block of size 0";
    ss->DeviceDetails[0].HWCapabilities = {4, 0, 0xAB, 0xCD};
    Begin(45);
    EXPECT_EQ(Sent(), LoaderFrame(0x80, 0, P({37, 0, 4, 0, 0xAB, 0xCD})));
    EXPECT_EQ(ss->EngineState, 46);
}

TEST_F(SecondStage, EraseModesAndRanges) {
    const std::string file =
        "S0~P~KTR557\n" + DataLines(0x1000, 0x100, 32) + DataLines(0x2000, 0x10, 16) + "S9030000FC\n";
    loader->fileName = WriteFile("app.hex", file);
    struct Case {
        const char *name;
        std::string platform;
        int boot, nvm, data;
        std::string payload;
    };
    const Case cases[] = {
        {"application", "KTR557", 0, 0, 0, P({22, 2, 4, 0, 0, 0x10, 0, 0, 0, 0x20, 0x10, 0})},
        {"zqx5 application", "zqx5", 0, 0, 0, P({22, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"data block", "KTR557", 0, 0, 1, P({22, 2, 5, 0, 0, 0x10, 0, 0, 0, 0x20, 0x10, 6})},
        {"boot code", "KTR557", 1, 1, 1, P({22, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"NVM", "KTR557", 0, 1, 1, P({22, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
    };
    loader->DataBlock = 6;
    for (const Case &c : cases) {
        ss->platform = c.platform;
        loader->BootCodeLoad = c.boot;
        loader->ResetNVM = c.nvm;
        loader->ResetData = c.data;
        ss->DeviceID = 2;
        Begin(10, 9);
        EXPECT_EQ(Sent(), LoaderFrame(0x82, 0, c.payload))
            << c.name << ": address from the device ID, not the card ID";
        EXPECT_EQ(ss->EngineState, 11);
    }
    EXPECT_EQ(ss->LowAddress, 0x1000u);
    EXPECT_EQ(ss->HighAddress, 0x2010u);
}

// ---- Time-outs and retries ----

TEST_F(SecondStage, ThreeTimeoutsEndInLoaderAbort) {
    int sends = 0;
    ss->EngineState = 8;
    Tick();
    ++sends;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        clock.Advance(95000);
        EXPECT_EQ(Tick(), STAGE_CONTINUE) << "95 seconds are not yet a time-out";
        clock.Advance(1000);
        const std::uint8_t r = Tick();
        if (attempt < 3) {
            EXPECT_EQ(r, STAGE_CONTINUE);
            EXPECT_EQ(ss->EngineState, 8);
            Tick();
            ++sends;
        } else {
            EXPECT_EQ(r, STAGE_FAILED);
        }
    }
    EXPECT_EQ(Payloads(Sent()).size(), 3u);
    EXPECT_EQ(sends, 3);
    EXPECT_EQ(Count("Timeout on state: 8"), 3);
    EXPECT_EQ(Count("Retrying..."), 2);
    EXPECT_EQ(Count("Loader Abort"), 1);
    EXPECT_EQ(seen.abortRequests, std::vector<int>{2});
    EXPECT_TRUE(loader->IsAborted());
    EXPECT_EQ(ss->EngineState, SS_STATE_STARTUP);
}

TEST_F(SecondStage, TimeoutThroughTheFacadeCompletesTwiceWithFailure) {
    ss->EngineState = 0;
    loader->RunTimer();
    // Each time-out step sends the request again on the tick after it.
    for (int i = 0; i < 3; ++i) {
        clock.Advance(96000);
        loader->RunTimer();
        if (i < 2)
            loader->RunTimer();
    }
    EXPECT_EQ(seen.completes, std::vector<int>{-2}) << "at once";
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    loader->RunTimer();
    EXPECT_EQ(seen.completes, (std::vector<int>{-2, -2})) << "and after the clean-up";
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(SecondStage, ResetGivingUpSaysSo) {
    ss->RetryCount = 2;
    Begin(21);
    clock.Advance(96000);
    EXPECT_EQ(Tick(), STAGE_FAILED);
    EXPECT_EQ(Count("Timeout waiting for SEND_RESET ACK"), 1);
}

TEST_F(SecondStage, AReplyAfterARetryRestoresThreeAttempts) {
    Begin(0);
    clock.Advance(96000);
    Tick();
    Tick();
    EXPECT_EQ(ss->RetryCount, 1);
    Ack();
    FromCard(0x80, 2, P({12}, std::string("v\0", 2)));
    Tick();
    EXPECT_EQ(ss->RetryCount, 0);
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    Begin(0);
    for (int i = 0; i < 2; ++i) {
        clock.Advance(96000);
        EXPECT_EQ(Tick(), STAGE_CONTINUE);
        Tick();
    }
    EXPECT_FALSE(loader->IsAborted());
}

// ---- No room in the output buffer ----

TEST_F(SecondStage, NoRoomWaitsForTheNextTickAndNeverSpins) {
    port->outUsed = port->GetOutSize() - 10;
    EXPECT_EQ(Begin(0), STAGE_CONTINUE);
    EXPECT_EQ(ss->EngineState, 0);
    EXPECT_EQ(Begin(17), STAGE_CONTINUE) << "no retry in the same tick";
    EXPECT_EQ(loader->pclMyTimer->interval(), 1);
    EXPECT_EQ(Begin(23), STAGE_CONTINUE);
    EXPECT_EQ(loader->pclMyTimer->interval(), 1);
    EXPECT_TRUE(Sent().empty());
    port->outUsed = 0;
    EXPECT_EQ(ss->Run(), STAGE_AGAIN);
    EXPECT_EQ(ss->EngineState, 24);

    loader->fileName = WriteFile("a.hex", "S0~P~X\n");
    port->outUsed = port->GetOutSize() - 22;
    EXPECT_EQ(Begin(10), STAGE_CONTINUE) << "the erase frame needs 23 bytes";
    port->outUsed = port->GetOutSize() - 23;
    EXPECT_EQ(ss->Run(), STAGE_AGAIN);
}

TEST_F(SecondStage, AStalledPortTimesOutLikeAMissingReply) {
    port->outUsed = port->GetOutSize();
    ss->EngineState = 31;
    std::uint8_t r = STAGE_CONTINUE;
    for (int i = 0; i < 10 && r != STAGE_FAILED; ++i) {
        r = Tick();
        clock.Advance(50000);
    }
    EXPECT_EQ(r, STAGE_FAILED);
    EXPECT_EQ(Count("Timeout on state: 31"), 3);
    EXPECT_EQ(Count("Loader Abort"), 1);
    EXPECT_EQ(ss->TxSequence, 1) << "nothing was sent, so no sequence number is taken back";
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SecondStage, ACardThatKeepsRefusingAPayloadTimesOutLikeOneThatNeverAnswers) {
    loader->fileName = WriteFile("p.hex", DataLines(0, 64, 16));
    ss->OpenFile();
    ss->EngineState = 12;
    std::uint8_t r = Tick();
    for (int i = 0; i < 500 && r != STAGE_FAILED; ++i) {
        clock.Advance(2000);
        Nak();
        r = Tick();
    }
    EXPECT_EQ(r, STAGE_FAILED);
    EXPECT_EQ(Count("Timeout on state: 13"), 3);
    EXPECT_EQ(Count("Loader Abort"), 1);
}

TEST_F(SecondStage, RefusalsAsLongAsATimeoutCostOneRetryAndNoPayload) {
    // The card refuses payload 2 for 96 s, takes the next resend with its ACK 2.5 s late and
    // refuses payload 3 once; it answers frames in order, at least 100 ms apart.
    loader->fileName = WriteFile("p.hex", DataLines(0, 16384, 16));
    ss->OpenFile();
    ss->EngineState = 12;
    testsupport::CardSecondStageModel card;
    std::vector<std::pair<int, std::string>> replies; // when due (ms), what
    int now = 0, lastTick = -1, lastDue = 0, refusingSince = -1;
    bool lateAck = false, refused3 = false;
    std::uint8_t r = STAGE_CONTINUE;
    for (; now < 600000 && r != STAGE_FAILED && ss->EngineState != SS_STATE_IDLE; now += 100) {
        for (; !replies.empty() && replies.front().first <= now; replies.erase(replies.begin()))
            Feed(replies.front().second);
        if (now - lastTick >= loader->pclMyTimer->interval()) {
            r = Tick();
            lastTick = now;
        }
        for (const std::string &frame : Frames(Sent())) {
            const std::uint32_t address =
                static_cast<std::uint8_t>(frame[11]) << 24 | static_cast<std::uint8_t>(frame[12]) << 16 |
                static_cast<std::uint8_t>(frame[13]) << 8 | static_cast<std::uint8_t>(frame[14]);
            int delay = 100;
            if (address == 3904 && refusingSince < 0)
                refusingSince = now;
            if (address == 3904 && now - refusingSince < 96000)
                card.QueueFault(testsupport::CardSecondStageModel::Fault::BufferFull);
            else if (address == 3904 && !std::exchange(lateAck, true))
                delay = 2500;
            if (address == 7808 && !std::exchange(refused3, true))
                card.QueueFault(testsupport::CardSecondStageModel::Fault::BufferFull);
            lastDue = std::max(now + delay, lastDue + 100);
            replies.emplace_back(lastDue, card.Feed(frame));
        }
        clock.Advance(100);
    }
    ASSERT_NE(r, STAGE_FAILED);
    EXPECT_EQ(Count("Timeout on state: 13"), 1);
    const auto hold = card.Lock();
    EXPECT_EQ(card.devices[0].memory.size(), 16384u) << "every payload reached the card";
}

TEST_F(SecondStage, ProgramPayloadLargerThanTheWholeBufferWaitsOnlyForAnEmptyBuffer) {
    port->SetOutSize(1024);
    loader->fileName = WriteFile("p.hex", DataLines(0, 2000, 32));
    ss->OpenFile();
    ss->EngineState = 12;
    port->outUsed = 1;
    EXPECT_EQ(Tick(), STAGE_CONTINUE);
    EXPECT_EQ(ss->EngineState, 13);
    port->outUsed = 0;
    EXPECT_EQ(Tick(), STAGE_CONTINUE);
    EXPECT_EQ(ss->EngineState, 14);
}

// ---- Programming ----

TEST_F(SecondStage, SevenThousandBytesGoOutInTwoPayloads) {
    loader->fileName = WriteFile("p.hex", "S0~P~KTR557\n" + DataLines(0x8000, 7000, 16) + "S70500000000FA\n");
    Begin(10); // the erase scans the range, whose start becomes the application offset
    Ack();
    Tick();
    Sent();
    ss->EngineState = 12;
    Tick();
    Ack();
    Tick();
    Ack();
    EXPECT_EQ(Tick(), STAGE_CONTINUE);
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    const auto payloads = Payloads(Sent());
    ASSERT_EQ(payloads.size(), 2u);
    EXPECT_GE(payloads[0].size(), 3900u);
    EXPECT_LT(payloads[0].size(), 3900u + 16);
    EXPECT_EQ(payloads[0].size() - 10 + payloads[1].size() - 10, 7000u);
    EXPECT_EQ(payloads[0].substr(0, 10), P({30, 0, 4, 0, 0, 0, 0, 0, 0x0F, 0x40}))
        << "offset 0x8000 taken off";
    EXPECT_EQ(payloads[1].substr(0, 10), P({30, 0, 4, 0, 0, 0, 0x0F, 0x40, 0x0C, 0x18}));
}

TEST_F(SecondStage, AnAcknowledgedPayloadLetsTheNextGoWithoutWaitingForTheTick) {
    loader->fileName = WriteFile("p.hex", "S0~P~KTR557\n" + DataLines(0x8000, 7000, 16) + "S70500000000FA\n");
    Begin(10);
    Ack();
    Tick();
    Sent();
    ss->EngineState = 12;
    Tick();
    ASSERT_EQ(Payloads(Sent()).size(), 1u);
    loader->pclMyTimer->start(3600000); // a run whose next tick does not come during the test
    Ack();
    QCoreApplication::processEvents();
    EXPECT_EQ(Payloads(Sent()).size(), 1u) << "the second payload went out on the acknowledgement";
    EXPECT_EQ(ss->EngineState, 14);
    loader->pclMyTimer->stop();
}

TEST_F(SecondStage, Zqx5EndsWithTheEntryPointOrTheMarker) {
    ss->platform = "zqx5";
    const std::string file = "S0~P~zqx5\n" + DataLines(0x100, 40, 20) + "S9030123D9\n";
    for (int device : {0, 3}) {
        loader->fileName = WriteFile("z.hex", file);
        ss->OpenFile();
        ss->DeviceID = static_cast<std::uint8_t>(device);
        ss->NewPayload = true;
        ss->EngineState = 12;
        Tick();
        const auto payloads = Payloads(Sent());
        ASSERT_EQ(payloads.size(), 1u);
        EXPECT_EQ(payloads[0].substr(0, 8), P({21, device, 0, 0, 1, 0, 0, 40})) << "no offset on zqx5";
        Ack();
        Tick();
        const std::string next = Sent();
        if (device == 0) {
            EXPECT_EQ(next, LoaderFrame(0x80, 1, P({17, 0, 0, 1, 0x23}))) << "entry point";
            EXPECT_EQ(ss->EngineState, 16);
        } else {
            EXPECT_EQ(next, LoaderFrame(0x81, 1, P({28, 0}))) << "Set Marker";
            EXPECT_EQ(ss->EngineState, 32);
        }
        Ack();
        Tick();
        EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    }
}

TEST_F(SecondStage, PayloadFullAtTheLastLineEndsWithoutAnEmptyPacket) {
    // 3890 data bytes plus the header make 3900 exactly at the last line.
    loader->fileName = WriteFile("x.hex", DataLines(0, 3890, 10) + "S70500000000FA\n");
    ss->OpenFile();
    ss->EngineState = 12;
    Tick();
    EXPECT_EQ(ss->ParseStatus, 3);
    Ack();
    EXPECT_EQ(Tick(), STAGE_CONTINUE);
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    EXPECT_EQ(Payloads(Sent()).size(), 1u);
}

TEST_F(SecondStage, ATimedOutPayloadIsSentAgainUnchanged) {
    loader->fileName = WriteFile("p.hex", DataLines(0, 64, 16));
    ss->OpenFile();
    ss->EngineState = 12;
    Tick();
    const auto first = Payloads(Sent());
    ASSERT_EQ(first.size(), 1u);
    clock.Advance(96000);
    Tick();
    Tick();
    EXPECT_EQ(Payloads(Sent()), first);
    BufferFull();
    Tick();
    EXPECT_EQ(Payloads(Sent()), first);
}

// A request start pumps messages while the facade's timer steps the engine.
class SecondStageRequest : public SecondStage {
protected:
    void SetUp() override {
        SecondStage::SetUp();
        loader->pclMyTimer->setInterval(1);
        loader->pclMyTimer->start();
    }
};

TEST_F(SecondStageRequest, BadLineAfterAGapFailsTheWaitingRequest) {
    loader->fileName =
        WriteFile("bad.hex", DataLines(0, 32, 16) + SRecord('3', 0x100, {1, 2}).replace(14, 2, "00") + "\n");
    ss->OpenFile();
    QTimer::singleShot(20, [&] { Ack(); });
    EXPECT_EQ(ss->RunRequest(0, 12), 0);
    EXPECT_EQ(Payloads(Sent()).size(), 1u) << "the payload before the gap went out";
    EXPECT_EQ(Count("Abort download...BAD checksum in hex file"), 1);
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(SecondStageRequest, ProgrammingWithoutAFileFails) {
    loader->fileName = dir.filePath("missing.hex").toStdString();
    ss->OpenFile();
    EXPECT_EQ(Count("opening file failed!"), 1);
    EXPECT_EQ(ss->RunRequest(0, 12), 0);
    EXPECT_EQ(Count("opening file failed!"), 2);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SecondStageRequest, RequestStartOnlyFromIdle) {
    Debug();
    ss->EngineState = 9;
    EXPECT_EQ(ss->RunRequest(0, 0), 0);
    EXPECT_EQ(Count("Engine not started..."), 1);
    EXPECT_TRUE(Sent().empty());
    ss->EngineState = SS_STATE_IDLE;
    QTimer::singleShot(20, [&] { loader->Abort(); });
    EXPECT_EQ(ss->RunRequest(0, 8), 1) << "an abort ends the wait";
}

TEST_F(SecondStageRequest, SetPsnStoresSendsAndLogs) {
    Debug();
    QTimer::singleShot(20, [&] { Ack(); });
    EXPECT_EQ(ss->SetPSN(2, "NEW-PSN"), 1);
    EXPECT_EQ(ss->DeviceDetails[2].PSN, "NEW-PSN");
    EXPECT_EQ(ss->GetDeviceID(), 2);
    EXPECT_EQ(Payloads(Sent()), std::vector<std::string>{P({18, 2}, std::string("NEW-PSN\0", 8))});
    EXPECT_EQ(Count("Setting PSN... "), 1);
    EXPECT_EQ(Count("Set PSN Request Handled"), 1);
    EXPECT_EQ(ss->SetPSN(15, "x"), 0) << "no such device";
    EXPECT_EQ(loader->SetDeviceID(15), 0);
    EXPECT_EQ(ss->GetDeviceID(), 2);
}

// ---- Life of the engine ----

TEST_F(SecondStage, StartupReportsTheLinkAndGoesIdle) {
    loader->SetLogging(1);
    loader->SetExePath("/opt/quorvel/quorvel");
    ss->EngineState = SS_STATE_STARTUP;
    const std::uint32_t before = clock.TickCount();
    EXPECT_EQ(ss->Run(), STAGE_CONTINUE);
    EXPECT_EQ(clock.TickCount() - before, 3000u);
    EXPECT_EQ(seen.completes, std::vector<int>{0});
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    EXPECT_EQ(loader->pclMyTimer->interval(), 1);
    EXPECT_TRUE(loader->pclMyTimer->isActive());
    // The folder of an installed program cannot be written: the log goes to the user's data folder.
    EXPECT_EQ(port->GetLogName(),
              QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/Stage2.Log");
    EXPECT_EQ(port->GetLogging(), platform::TraceLogState::On);
}

TEST_F(SecondStage, StartKeepsTheCardSequenceButNoPendingLine) {
    ss->LastRxSequence = 9;
    ss->ParseStatus = 2;
    ss->Start();
    EXPECT_EQ(ss->LastRxSequence, 9) << "kept across runs";
    EXPECT_EQ(ss->ParseStatus, 0) << "a line handed back in another run is not parsed again";
}

// A PIC image on a zqx5 card is done only when the card's marker reply names device 0.
TEST_F(SecondStageRequest, PicProgrammingWaitsForTheMarkerUntilAborted) {
    ss->platform = "zqx5";
    loader->fileName = WriteFile("pic.hex", "S0~P~zqx5\nS0~T~PIC\n" + DataLines(0x100, 40, 20));
    for (bool abort : {false, true}) {
        SCOPED_TRACE(abort);
        seen.messages.clear();
        ss->OpenFile();
        ss->DeviceID = 3;
        ss->MarkerFound.fill(false);
        bool idle = false;
        QTimer card;
        QObject::connect(&card, &QTimer::timeout, [&] {
            if ((ss->EngineState == 14 || ss->EngineState == 32) && !ss->AckReceived)
                Ack();
            else if (ss->EngineState == SS_STATE_IDLE && !idle) {
                idle = true;
                if (abort)
                    loader->Abort();
                else
                    FromCard(0x80, 3, P({29, 0}));
            }
        });
        card.start(2);
        const int result = ss->ProgramCard(3);
        EXPECT_EQ(Count("Waiting for completion - this can take 1-2 minutes, please be patient."), 1);
        if (abort) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(Count("Aborted!"), 1);
            EXPECT_EQ(Count("Flash write 100% completed."), 0);
            EXPECT_EQ(Count("Download Complete"), 0);
        } else {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(Count("Flash write 100% completed."), 1);
            EXPECT_EQ(Count("Download Complete"), 1);
            EXPECT_EQ(Count("Aborted!"), 0);
        }
    }
}
