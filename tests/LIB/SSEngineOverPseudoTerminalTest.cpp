// The second stage against the card stand-in over a real pseudo-terminal: sign-on, requests,
// erase and programming through the facade at LoaderStage 2, with faults on the line.
#include "CardSecondStageModel.h"
#include "Clock.h"
#include "KTR3LoaderIntf.h"
#include "PtyPeer.h"
#include "SSEngine.h"
#include "SecondStageFixture.h"
#include "TpclMyCommStats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <map>

using namespace secondstage;
using Fault = testsupport::CardSecondStageModel::Fault;

namespace {

// What a card programmed from these S3 lines holds, each address less the lowest one.
std::map<std::uint32_t, std::uint8_t> ExpectedMemory(const std::string &file) {
    std::map<std::uint32_t, std::uint8_t> memory;
    std::uint32_t low = 0xFFFFFFFFu;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> lines;
    std::size_t at = 0;
    while (at < file.size()) {
        const std::size_t end = file.find('\n', at);
        const std::string line = file.substr(at, end - at);
        at = end + 1;
        if (line.rfind("S3", 0) != 0)
            continue;
        const int count = std::stoi(line.substr(2, 2), nullptr, 16);
        const std::uint32_t address = static_cast<std::uint32_t>(std::stoul(line.substr(4, 8), nullptr, 16));
        std::vector<std::uint8_t> data;
        for (int i = 0; i < count - 5; ++i)
            data.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(12 + 2 * i, 2), nullptr, 16)));
        low = std::min(low, address);
        lines.emplace_back(address, data);
    }
    for (const auto &[address, data] : lines)
        for (std::size_t i = 0; i < data.size(); ++i)
            memory[address - low + static_cast<std::uint32_t>(i)] = data[i];
    return memory;
}

class OverPseudoTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        seen = Seen{};
        loader.SetOnMessage(OnMessage);
        loader.SetOnComplete(OnComplete);
        loader.SetOnAbortRequest(OnAbortRequest);
        loader.SetOnProgress(OnProgress);
        loader.pclMyComPort->SetComNumber(43);
        loader.pclMyComPort->SetBaud(115200);
        loader.pclMyComPort->Open();
        ss.Start();
        ss.WaitSecondStageStart(true);
        loader.LoaderStage = LOADER_SECOND_STAGE;
        loader.pclMyTimer->setInterval(100);
        loader.pclMyTimer->start();

        // Time runs virtually: a second every 10 ms, so a 95-second time-out passes in about
        // one real second, and a step the engine put 2 s away runs at once.
        timeDriver.setInterval(10);
        QObject::connect(&timeDriver, &QTimer::timeout, [this] {
            clock.Advance(1000);
            if (loader.pclMyTimer->isActive() && loader.pclMyTimer->interval() >= 1000) {
                loader.pclMyTimer->stop();
                loader.RunTimer();
            }
        });
        timeDriver.start();
        // Nothing here may hang the suite: give up on the run after a while.
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            ADD_FAILURE() << "watchdog: the run did not finish";
            loader.Abort();
        });
        watchdog.start(60000);
    }

    template <typename Condition> bool PumpUntil(Condition done, int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }

    void SignOn() {
        peer.Send(std::string("\x00\xFFSERIAL LOADER SERLOAD2", 24));
        ASSERT_TRUE(PumpUntil([&] { return ss.IsStarted(); }));
        ASSERT_TRUE(PumpUntil([&] { return ss.GetEngineState() == SS_STATE_IDLE; }));
        EXPECT_EQ(seen.completes, std::vector<int>{0}) << "link up";
    }

    std::string WriteFile(const std::string &text) {
        const std::string path = dir.filePath("card.hex").toStdString();
        std::FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return path;
    }

    testsupport::CardSecondStageModel card{20261209};
    testsupport::PtyPeer peer{[this](const std::string &got) { return card.Feed(got); }};
    testsupport::ScopedComMapping map{43, peer.DevicePath()};
    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    TLoaderInterface loader;
    SSEngine &ss = *loader.pclMySecondStage;
    QTimer timeDriver;
    QTimer watchdog;
};

} // namespace

TEST_F(OverPseudoTerminal, RequestsEraseAndProgramWithFaultsOnTheLine) {
    SignOn();
    // One fault of each kind on chosen requests, and random ones on top.
    card.QueueFault(Fault::DropReply, 11);  // SSLP version: time-out and retry
    card.QueueFault(Fault::CorruptCRC, 7);  // PSN: the host drops the reply and asks again
    card.QueueFault(Fault::NAK, 18);        // Set PSN: waits for its time-out, then resends
    card.QueueFault(Fault::BufferFull, 22); // erase: resent after the pause
    card.QueueFault(Fault::NAK, 30);        // a program-data payload: resent after the pause
    card.SetRandomFaults(0.05);

    EXPECT_EQ(ss.RunRequest(0, 0), 1);
    EXPECT_EQ(ss.SSLPVersion, "SSLP 2.07");
    EXPECT_EQ(Count("Timeout on state: 0"), 1);

    ASSERT_EQ(loader.SetDeviceID(2), 1);
    {
        auto hold = card.Lock();
        card.devices[2].psn = "CARD-PSN-2";
    }
    EXPECT_EQ(ss.RunRequest(0, 8), 1);
    EXPECT_TRUE(ss.PSNReceived);
    EXPECT_EQ(ss.DeviceDetails[2].PSN, "CARD-PSN-2");
    EXPECT_GE(Count("Bad ACK CRC. Retrying..."), 1);

    EXPECT_EQ(ss.SetPSN(2, "NEW-PSN"), 1);
    EXPECT_EQ(ss.RunRequest(0, 73), 1);
    EXPECT_EQ(ss.DeviceDetails[2].MACText, "00-1A-2B-3C-4D-5E");
    ss.DeviceDetails[2].MACText = "02:00:00:AB:CD:EF";
    EXPECT_EQ(ss.RunRequest(0, 75), 1);
    EXPECT_EQ(ss.RunRequest(0, 43), 1);
    EXPECT_EQ(ss.DeviceDetails[2].HWCapabilities, (std::vector<std::uint8_t>{6, 0, 0xAA, 0xBB, 0xCC, 0xDD}));
    ss.DeviceDetails[2].HWCapabilities[2] = 0x11;
    EXPECT_EQ(ss.SetHWCapabilities(2), 1);
    EXPECT_EQ(ss.RunRequest(0, 31), 1);
    EXPECT_TRUE(PumpUntil([&] { return ss.MarkerFound[0]; }));
    {
        auto hold = card.Lock();
        EXPECT_EQ(card.devices[2].psn, "NEW-PSN");
        EXPECT_EQ(card.devices[2].mac, (std::array<std::uint8_t, 6>{0x02, 0, 0, 0xAB, 0xCD, 0xEF}));
        EXPECT_EQ(card.devices[2].hwCapabilities, (std::vector<std::uint8_t>{6, 0, 0x11, 0xBB, 0xCC, 0xDD}));
    }

    // Erase the application and program a file of two regions into device 0.
    const std::string file = "S0~P~KTR557\nS0~T~APP\n" + DataLines(0x00400000, 6000, 32) +
                             DataLines(0x00402000, 100, 20) + "S70500400000BA\n";
    ASSERT_TRUE(loader.SetFileName(WriteFile(file).c_str()));
    ASSERT_EQ(loader.SetDeviceID(0), 1);
    EXPECT_EQ(ss.RunRequest(0, 10), 1);
    EXPECT_EQ(ss.RunRequest(0, 12), 1);
    EXPECT_TRUE(ss.AckReceived);
    EXPECT_EQ(ss.GetEngineState(), SS_STATE_IDLE);
    EXPECT_FALSE(loader.IsAborted());
    {
        auto hold = card.Lock();
        ASSERT_FALSE(card.erases.empty());
        const auto &erase = card.erases.back();
        EXPECT_EQ(erase.mode, 4);
        EXPECT_EQ(erase.start, 0x00400000u);
        EXPECT_EQ(erase.end, 0x00402064u);
        EXPECT_EQ(card.devices[0].memory, ExpectedMemory(file)) << "the card holds the file";
        EXPECT_GT(card.hostAcks, 0) << "data replies were acknowledged";
    }
    EXPECT_FALSE(seen.progress.empty());
    EXPECT_GE(Count("Buffer full - waiting..."), 1);
    EXPECT_GE(loader.GetCommStats().GetNAKInvalid(), 2);

    loader.Shutdown();
    EXPECT_TRUE(PumpUntil([&] { return loader.GetLoaderStage() == LOADER_IDLE; }));
    EXPECT_FALSE(loader.pclMyComPort->IsOpen());
}

TEST_F(OverPseudoTerminal, ErrorReplyAbortsTheRun) {
    SignOn();
    card.SetErrorReply(32, 0x00C0FFEE, "OSN not programmed");
    EXPECT_EQ(ss.RunRequest(0, 37), 1);
    EXPECT_EQ(Count("Error: Code 00c0ffee: OSN not programmed"), 1);
    EXPECT_TRUE(loader.IsAborted());
    EXPECT_TRUE(PumpUntil([&] { return !loader.pclMyComPort->IsOpen(); }));
    EXPECT_EQ(loader.GetLoaderStage(), CLEAN_UP);
}

TEST_F(OverPseudoTerminal, ACardThatStopsAnsweringEndsInLoaderAbort) {
    SignOn();
    for (int i = 0; i < 3; ++i)
        card.QueueFault(Fault::DropReply);
    EXPECT_EQ(ss.RunRequest(0, 47), 1);
    EXPECT_EQ(Count("Timeout on state: 47"), 3);
    EXPECT_EQ(Count("Loader Abort"), 1);
    EXPECT_EQ(seen.abortRequests, std::vector<int>{2});
    EXPECT_TRUE(PumpUntil([&] { return seen.completes.size() == 3; }));
    EXPECT_EQ(seen.completes, (std::vector<int>{0, -2, -2}));
}
