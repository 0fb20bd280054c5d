#include "Clock.h"
#include "ComPorts.h"
#include "Dialogs.h"
#include "FSEngine.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"
#include "LoaderCallbackRecorder.h"
#include "PseudoTerminal.h"
#include "S0Engine.h"
#include "SSEngine.h"
#include "SerialComPort.h"
#include "TpclMyCommStats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using testsupport::FakeComPort;

namespace {

using Recorded = testsupport::LoaderCallbacksSeen;
Recorded &rec = testsupport::loaderCallbacksSeen;

// A stage engine whose steps return what the test queued; each step may run an action first.
struct Script {
    std::deque<std::uint8_t> results;
    std::function<void()> action;
    std::vector<std::string> received;
    int starts = 0;
    int runs = 0;
    std::uint8_t Next() {
        ++runs;
        if (action)
            action();
        if (results.empty())
            return 5; // any other value: the stage goes on
        const std::uint8_t r = results.front();
        results.pop_front();
        return r;
    }
};

class ScriptedS0 : public S0Engine {
public:
    ScriptedS0(TLoaderInterface &l, Script &s) : S0Engine(l), script(s) {}
    void Start() override { ++script.starts; }
    std::uint8_t Run() override { return script.Next(); }
    void Receive(const std::uint8_t *b, int n) override {
        script.received.emplace_back(reinterpret_cast<const char *>(b), n);
    }
    Script &script;
};

class ScriptedFS : public FSEngine {
public:
    ScriptedFS(TLoaderInterface &l, Script &s) : FSEngine(l), script(s) {}
    void Start() override { ++script.starts; }
    std::uint8_t Run() override { return script.Next(); }
    void Receive(const std::uint8_t *b, int n) override {
        script.received.emplace_back(reinterpret_cast<const char *>(b), n);
    }
    int GetImageBlocks() const override { return blocks; }
    bool GetSecondStageStartupSupport() const override { return startup; }
    Script &script;
    int blocks = 70000; // handed on as a signed 16-bit value
    bool startup = true;
};

class ScriptedSS : public SSEngine {
public:
    ScriptedSS(TLoaderInterface &l, Script &s) : SSEngine(l), script(s) {}
    void Start() override {
        ++script.starts;
        SSEngine::Start();
    }
    std::uint8_t Run() override { return script.Next(); }
    void Receive(const std::uint8_t *b, int n) override {
        script.received.emplace_back(reinterpret_cast<const char *>(b), n);
    }
    void WaitSecondStageStart(bool support) override { startupSupport = support ? 1 : 0; }
    Script &script;
    int startupSupport = -1;
};

class Facade : public ::testing::Test {
protected:
    void SetUp() override {
        rec = Recorded{};
        auto data = std::make_unique<FakeComPort>();
        auto power = std::make_unique<FakeComPort>();
        port = data.get();
        powerPort = power.get();
        loader = std::make_unique<TLoaderInterface>(nullptr, std::move(data), std::move(power));
        s0 = new ScriptedS0(*loader, s0Script);
        fs = new ScriptedFS(*loader, fsScript);
        ss = new ScriptedSS(*loader, ssScript);
        loader->pclMyStage0.reset(s0);
        loader->pclMyFirstStage.reset(fs);
        loader->pclMySecondStage.reset(ss);
    }
    void InstallCallbacks() {
        testsupport::InstallLoaderCallbacks(*loader);
    }
    // Ticks until the run is idle or stuck in clean-up with the timer off; at most n ticks.
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            loader->RunTimer();
    }
    // An application file the link set-up accepts.
    std::string AppFile() {
        const QString file = dir.filePath("app.hex");
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("S0~P~KTR557\r\nS0~T~APP\r\n");
        return file.toStdString();
    }
    // The engine's timer in virtual time: each pass of a wait runs one step.
    void StepOnEveryPass() {
        QObject::connect(&ticker, &QTimer::timeout, loader.get(), [this] {
            if (loader->pclMyTimer->isActive())
                loader->RunTimer();
        });
        ticker.start(0);
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    std::unique_ptr<TLoaderInterface> loader;
    FakeComPort *port = nullptr;
    FakeComPort *powerPort = nullptr;
    Script s0Script, fsScript, ssScript;
    ScriptedS0 *s0 = nullptr;
    ScriptedFS *fs = nullptr;
    ScriptedSS *ss = nullptr;
    QTemporaryDir dir;
    QTimer ticker;
};

} // namespace

TEST_F(Facade, ConstructionDefaults) {
    EXPECT_EQ(loader->objectName(), "LoaderInterface");
    EXPECT_EQ(loader->windowTitle(), "KTR3 Loader");
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
    EXPECT_FALSE(loader->pclMyTimer->isActive());
    EXPECT_EQ(loader->GetComPort(), 1);
    EXPECT_EQ(loader->GetBaudrate(), 115200);
    EXPECT_EQ(loader->GetConnectrate(), 0);
    EXPECT_EQ(port->GetComNumber(), 1);
    EXPECT_EQ(port->GetBaud(), 9600);
    EXPECT_EQ(port->GetTraceName(), "brevanto.log");
    EXPECT_EQ(powerPort->GetComNumber(), 0);
    EXPECT_FALSE(powerPort->GetRTS());
    EXPECT_STREQ(loader->GetExePath(), "0");
    EXPECT_STREQ(loader->GetVersion(), "1.0.1.212 Sep 16 2015 11:20:30");
}

TEST_F(Facade, ExecuteResetsCountersStartsEnginesAndTimer) {
    InstallCallbacks();
    loader->GetCommStats().CountPacketTX();
    loader->LoaderResult = LOADER_RESULT_NO_PORT;
    loader->Abort();
    loader->Execute();
    EXPECT_EQ(loader->GetCommStats().GetPacketsSent(), 0);
    EXPECT_EQ(rec.starts, 1);
    EXPECT_EQ(s0Script.starts, 1);
    EXPECT_EQ(fsScript.starts, 1);
    EXPECT_EQ(ssScript.starts, 1);
    EXPECT_EQ(loader->IsAborted(), 0);
    EXPECT_EQ(loader->GetLoaderResult(), 0) << "a new run starts with no result";
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    ASSERT_EQ(rec.ranges.size(), 1u);
    EXPECT_EQ(rec.ranges[0], static_cast<std::int16_t>(70000));
    EXPECT_TRUE(loader->pclMyTimer->isActive());
    EXPECT_EQ(loader->pclMyTimer->interval(), 100);
    EXPECT_EQ(port->opens, 0) << "the stage engine opens the port, not Execute";
}

TEST_F(Facade, OnlyGarvoBootFilesStartAtStageZero) {
    struct Case {
        const char *platform;
        const char *type;
        std::int8_t stage;
    };
    for (const Case &c :
         {Case{"GARVO9", "BOOT", LOADER_STAGE_0}, Case{"GARVO9", "APP", LOADER_FIRST_STAGE},
          Case{"KTR557", "BOOT", LOADER_FIRST_STAGE}, Case{"garvo9", "BOOT", LOADER_FIRST_STAGE},
          Case{"GARVO9", "boot", LOADER_FIRST_STAGE}}) {
        loader->expectedPlatform = c.platform;
        loader->SetFileApplicationType(c.type);
        loader->Execute();
        EXPECT_EQ(loader->GetLoaderStage(), c.stage) << c.platform << " " << c.type;
    }
}

TEST_F(Facade, SuccessfulRunWalksAllStagesAndCleansUp) {
    InstallCallbacks();
    loader->expectedPlatform = "GARVO9";
    loader->SetFileApplicationType("BOOT");
    s0Script.results = {5, STAGE_DONE};
    fsScript.results = {STAGE_DONE};
    ssScript.results = {STAGE_AGAIN, STAGE_AGAIN, STAGE_CONTINUE, 5, STAGE_DONE};
    port->Open();
    loader->Execute();
    Tick(2);
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_EQ(ss->startupSupport, 1);
    Tick();
    EXPECT_EQ(ssScript.runs, 3) << "step again at once while the engine asks for it";
    EXPECT_EQ(loader->LinkSignal, 1) << "link up";
    loader->LinkSignal = 0;
    Tick(2);
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_TRUE(rec.completes.empty());
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
    EXPECT_FALSE(loader->pclMyTimer->isActive());
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(rec.completes, std::vector<int>{0});
    EXPECT_EQ(loader->LinkSignal, 1);
    Tick(3);
    EXPECT_EQ(rec.completes.size(), 1u) << "idle ticks do nothing";
}

TEST_F(Facade, FirstStageFailureCompletesOnceAfterCleanUp) {
    InstallCallbacks();
    fsScript.results = {STAGE_FAILED};
    loader->Execute();
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_EQ(loader->LinkSignal, 1);
    EXPECT_TRUE(rec.completes.empty());
    Tick();
    EXPECT_EQ(rec.completes, std::vector<int>{-2});
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
}

TEST_F(Facade, StageZeroFailureCompletesOnce) {
    InstallCallbacks();
    loader->expectedPlatform = "GARVO9";
    loader->SetFileApplicationType("BOOT");
    s0Script.results = {STAGE_FAILED};
    loader->Execute();
    Tick(3);
    EXPECT_EQ(rec.completes, std::vector<int>{-2});
    EXPECT_EQ(fsScript.runs, 0);
}

TEST_F(Facade, SecondStageFailureCompletesTwice) {
    InstallCallbacks();
    fsScript.results = {STAGE_DONE};
    ssScript.results = {STAGE_FAILED};
    loader->Execute();
    Tick(2);
    EXPECT_EQ(rec.completes, std::vector<int>{-2}) << "at once";
    EXPECT_EQ(loader->LinkSignal, 0);
    Tick();
    EXPECT_EQ(rec.completes, (std::vector<int>{-2, -2})) << "and again after the clean-up";
    EXPECT_EQ(loader->LinkSignal, 1);
}

TEST_F(Facade, AbortCleansUpAndStaysAtCleanUp) {
    InstallCallbacks();
    fsScript.results = {5, 5, 5};
    port->Open();
    loader->Execute();
    Tick();
    loader->Abort();
    Tick();
    EXPECT_EQ(fsScript.runs, 1) << "the aborted tick cleans up instead of stepping";
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_FALSE(loader->pclMyTimer->isActive());
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(rec.completes, std::vector<int>{0}) << "with the result as it stood";
}

TEST_F(Facade, ShutdownEndsTheSecondStage) {
    InstallCallbacks();
    loader->Shutdown();
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_EQ(loader->GetLoaderState(), SS_STATE_SHUTDOWN);
}

TEST_F(Facade, SerialPortExceptionsRaiseTheirMessageAndCleanUpNextTick) {
    struct Case {
        FakeComPort::OpenFailure failure;
        int result;
        const char *text;
    };
    const Case cases[] = {
        {FakeComPort::OpenFailure::AlreadyOpen, -3, "Error opening serial port, port already open."},
        {FakeComPort::OpenFailure::BadId, -4, "Port does not exist!"},
        {FakeComPort::OpenFailure::InOutError, -6,
         "Invalid Baud Rate.  Ensure your hardware supports requested baud rate."},
        {FakeComPort::OpenFailure::AccessDenied, -5, "Permission denied: join the dialout group"},
        // Any other failure to open is reported as it is, not as a baud rate.
        {FakeComPort::OpenFailure::OpenFailed, -5, "Cannot open /dev/ttyS4: Input/output error"},
    };
    InstallCallbacks();
    for (const Case &c : cases) {
        rec = Recorded{};
        fsScript.action = [&] {
            port->failNextOpen = c.failure;
            port->Open();
        };
        loader->Execute();
        try {
            loader->RunTimer();
            ADD_FAILURE() << "no exception for " << c.text;
        } catch (const ELoaderError &e) {
            EXPECT_STREQ(e.what(), c.text);
        }
        EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
        EXPECT_TRUE(loader->pclMyTimer->isActive());
        fsScript.action = nullptr;
        Tick();
        EXPECT_EQ(rec.completes, std::vector<int>{c.result}) << c.text;
        EXPECT_EQ(loader->LinkSignal, 1);
    }
}

TEST_F(Facade, AnyOtherExceptionCleansUpInsteadOfHanging) {
    InstallCallbacks();
    fsScript.action = [&] {
        port->Open();
        throw std::runtime_error("index out of range");
    };
    loader->Execute();
    loader->LinkSignal = 0;
    EXPECT_NO_THROW(loader->RunTimer());
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_TRUE(loader->pclMyTimer->isActive());
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_NE(rec.messages.back().find("index out of range"), std::string::npos);
    fsScript.action = nullptr;
    Tick();
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(rec.completes, std::vector<int>{-5});
    EXPECT_EQ(loader->LinkSignal, 1);
}

TEST_F(Facade, RunWithoutCallbacksStillReleasesTheLinkWait) {
    fsScript.results = {STAGE_FAILED};
    loader->Execute();
    loader->LinkSignal = 0;
    Tick();
    loader->LinkSignal = 0;
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
    EXPECT_EQ(loader->LinkSignal, 1);
    loader->LogMessage("nobody listens");
    loader->SetProgress(3);
    loader->NotifyAbortRequest(2);
}

TEST_F(Facade, ReceivedBytesGoToTheCurrentStageInBatchesOf512) {
    port->Open();
    const std::string bytes(600, 'x');
    loader->LoaderStage = LOADER_FIRST_STAGE;
    port->Feed(bytes);
    ASSERT_EQ(fsScript.received.size(), 1u);
    EXPECT_EQ(fsScript.received[0].size(), 512u);
    EXPECT_EQ(port->InBuffUsed(), 88) << "the rest waits for a later event";
    QCoreApplication::processEvents();
    ASSERT_EQ(fsScript.received.size(), 2u);
    EXPECT_EQ(fsScript.received[1].size(), 88u);

    for (std::int8_t stage : {LOADER_STAGE_0, LOADER_SECOND_STAGE, CLEAN_UP, LOADER_IDLE}) {
        loader->LoaderStage = stage;
        port->Feed("ab");
    }
    EXPECT_EQ(s0Script.received.size(), 1u);
    EXPECT_EQ(ssScript.received.size(), 3u) << "stages 2, 3 and 4 all feed the second stage";
}

TEST_F(Facade, PowerPortBytesAreDropped) {
    powerPort->Open();
    loader->LoaderStage = LOADER_FIRST_STAGE;
    powerPort->Feed("noise");
    EXPECT_EQ(powerPort->InBuffUsed(), 0);
    EXPECT_TRUE(fsScript.received.empty());
}

TEST_F(Facade, PowerSwitchesByOpeningAndClosingThePowerPort) {
    EXPECT_EQ(loader->SetPower(1), 0) << "no power port";
    EXPECT_EQ(powerPort->opens, 0);
    loader->SetPowerComPort(4);
    EXPECT_EQ(loader->SetPower(1), 1);
    EXPECT_TRUE(powerPort->IsOpen());
    EXPECT_EQ(loader->SetPower(0), 1);
    EXPECT_FALSE(powerPort->IsOpen());
}

TEST_F(Facade, WaitForUSBPortOnlyForUSBCards) {
    InstallCallbacks();
    const std::uint32_t before = clock.TickCount();
    EXPECT_EQ(loader->WaitForUSBPort(5), 0);
    EXPECT_EQ(clock.TickCount(), before) << "no sleep";
    EXPECT_TRUE(rec.messages.empty()) << "no line";
}

TEST_F(Facade, DebugLevelKeepsOnlyItsLowByte) {
    InstallCallbacks();
    loader->SetDebug(0x1FF);
    EXPECT_EQ(loader->GetDebug(), 255);
    loader->LogDebug("shown");
    loader->SetDebug(0x100);
    loader->LogDebug("hidden");
    EXPECT_NE(std::find(rec.messages.begin(), rec.messages.end(), "shown"), rec.messages.end());
    EXPECT_EQ(std::find(rec.messages.begin(), rec.messages.end(), "hidden"), rec.messages.end());
    EXPECT_FALSE(loader->SetDebug(0)) << "no link: the card's debug request is refused";
}

TEST_F(Facade, NothingReachesTheCallbacksWhileTheEngineIsDestroyed) {
    InstallCallbacks();
    loader->debugLevel = 255; // the second stage logs "closing file" as it goes
    loader.reset();
    EXPECT_TRUE(rec.messages.empty());
}

TEST_F(Facade, CloseAsksBeforeAbandoningARun) {
    std::vector<QString> asked;
    platform::SetMessageHandler([&](const platform::MessageRequest &r) {
        asked.push_back(r.text + "|" + r.caption);
        return platform::MessageResult::No;
    });
    loader->show();
    loader->LoaderStage = LOADER_FIRST_STAGE;
    loader->CloseButtonClick();
    EXPECT_EQ(asked, std::vector<QString>{"Abort and Quit?|Brevanto"});
    EXPECT_TRUE(loader->isVisible());
    loader->LoaderStage = LOADER_IDLE;
    loader->CloseButtonClick();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_FALSE(loader->isVisible());
    platform::SetMessageHandler({});
}

TEST(CommStats, CountersAndLabelsStartAtZeroEachRun) {
    TpclMyCommStats stats;
    EXPECT_EQ(stats.windowTitle(), "Communication Statistics");
    stats.CountPacketTX();
    stats.CountPacketTX();
    stats.CountPacketRX();
    stats.CountACK();
    stats.CountNAKInvalid();
    stats.CountNAKBuffFull();
    auto label = [&](const char *name) { return stats.findChild<QLabel *>(name)->text(); };
    EXPECT_EQ(label("pclMyPacksTX"), "2");
    EXPECT_EQ(label("pclMyPacksRX"), "1");
    EXPECT_EQ(label("pclMyACKs"), "1");
    EXPECT_EQ(label("pclMyNAKInvalid"), "1");
    EXPECT_EQ(label("pclMyNAKBuffFull"), "1");
    stats.ResetButtonClick();
    for (const char *name :
         {"pclMyPacksTX", "pclMyPacksRX", "pclMyACKs", "pclMyNAKInvalid", "pclMyNAKBuffFull"})
        EXPECT_EQ(label(name), "0") << name;
    EXPECT_EQ(stats.GetPacketsSent(), 0);
}

// The same run cycle over a real serial line: the stage engine opens the port in its first
// step and the bytes the far end sends arrive in its receive step, in order.
TEST(FacadeOverPseudoTerminal, BytesFromTheLineReachTheFirstStage) {
    testsupport::PseudoTerminal pty;
    testsupport::ScopedComMapping map(42, pty.DevicePath());
    platform::VirtualClock clock;
    platform::ScopedClock use(clock);
    TLoaderInterface loader;
    Script fsScript;
    auto *fs = new ScriptedFS(loader, fsScript);
    loader.pclMyFirstStage.reset(fs);
    loader.MaintainComms(42, 115200, 0);
    fsScript.action = [&] {
        if (!loader.pclMyComPort->IsOpen()) {
            loader.pclMyComPort->SetComNumber(loader.GetComPort());
            loader.pclMyComPort->Open();
            loader.pclMyComPort->PutString("wake");
        }
    };
    loader.Execute();
    loader.RunTimer();
    // The waits end once the bytes are in; their limit only bounds a failing run.
    EXPECT_EQ(pty.Read(30000, 4), "wake");
    std::string sent;
    for (int i = 0; i < 1500; ++i)
        sent += static_cast<char>('A' + i % 26);
    pty.Write(sent);
    std::string got;
    QElapsedTimer t;
    t.start();
    while (got.size() < sent.size() && t.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        got.clear();
        for (const std::string &batch : fsScript.received) {
            EXPECT_LE(batch.size(), 512u);
            got += batch;
        }
    }
    EXPECT_EQ(got, sent);
    fsScript.results = {STAGE_FAILED};
    loader.RunTimer();
    loader.RunTimer();
    EXPECT_FALSE(loader.pclMyComPort->IsOpen());
    EXPECT_EQ(loader.GetLoaderStage(), LOADER_IDLE);
}

TEST_F(Facade, FailedRunDoesNotWaitForTheSignOn)
{
    InstallCallbacks();
    fs->startup = true; // the loader the last run chose signs on
    fsScript.results = {STAGE_FAILED};
    StepOnEveryPass();
    EXPECT_EQ(loader->EstablishLink(AppFile().c_str()), 0);
    EXPECT_EQ(std::find(rec.messages.begin(), rec.messages.end(), "TIMEOUT waiting for second stage to start."),
              rec.messages.end());
}

TEST_F(Facade, PowerPortThatWillNotOpenEndsTheRunInsteadOfThrowing)
{
    struct Case {
        FakeComPort::OpenFailure failure;
        int result;
    };
    const Case cases[] = {{FakeComPort::OpenFailure::BadId, -4}, {FakeComPort::OpenFailure::AlreadyOpen, -3}};
    InstallCallbacks();
    const std::string file = AppFile();
    StepOnEveryPass();
    loader->SetPowerComPort(7);
    for (const Case &c : cases) {
        rec = Recorded{};
        // The card never answers, so the link wait power-cycles it; switching it on fails.
        powerPort->failNextOpen = c.failure;
        int linked = -1;
        EXPECT_NO_THROW(linked = loader->EstablishLink(file.c_str()));
        EXPECT_EQ(linked, 0);
        EXPECT_TRUE(rec.Logged("EstablishLink() retrying via power cycle... "));
        const auto named = std::find_if(rec.messages.begin(), rec.messages.end(), [](const std::string &m) {
            return m.rfind("Cannot switch the power on: power port COM7 - ", 0) == 0;
        });
        EXPECT_NE(named, rec.messages.end());
        EXPECT_EQ(rec.completes, std::vector<int>{c.result});
        EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
    }
    // Outside a run the failure is only logged.
    rec = Recorded{};
    powerPort->failNextOpen = FakeComPort::OpenFailure::BadId;
    EXPECT_EQ(loader->SetPower(1), 0);
    EXPECT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
    EXPECT_TRUE(rec.completes.empty());
}
