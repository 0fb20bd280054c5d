#include "BootStageTestSupport.h"
#include "BuiltInImages.h"
#include "FileFaults.h"
#include "S0Engine.h"
#include "TpclMyCommStats.h"

#include <QCoreApplication>
#include <fstream>

using namespace bootstagetest;
using testsupport::CardBootModel;

namespace {

class Stage0 : public BootStageTest {
protected:
    S0Engine &s0() { return *loader->pclMyStage0; }
    void WakeUp() {
        loader->expectedPlatform = "GARVO9";
        loader->SetFileApplicationType("BOOT");
        loader->Execute();
        for (int i = 0; i < 100 && s0().GetState() != BootStageEngine::SEARCHING; ++i) {
            Tick();
            Advance(0.5);
        }
        ASSERT_EQ(s0().GetState(), BootStageEngine::SEARCHING);
        Sent();
    }
    void Banner(const std::string &platform) { port->Feed(CardBootModel::Banner("1.00", "COM1", platform)); }
    // With the external first-stage file of these lines in the settings.
    void UseFile(const std::string &lines, bool create = true) {
        const std::string path = (dir.path() + "/fs.txt").toStdString();
        if (create)
            std::ofstream(path) << lines;
        // One set of settings for the whole test, made before the file is needed.
        if (!settings)
            settings = std::make_unique<ScopedEngineSettings>(
                std::initializer_list<std::pair<const char *, QVariant>>{
                    {"InternalUse", 1}, {"UseFSFile", 1}, {"FSFile", QString::fromStdString(path)}});
        MakeLoader();
        sentSoFar = 0;
    }
    std::unique_ptr<ScopedEngineSettings> settings;
};

} // namespace

TEST_F(Stage0, OnlyAGarvoBootROMIsAcceptedAndItsBaudChangeCarriesNoDeviceID) {
    loader->SetFirstStageTargetID(5);
    WakeUp();
    Tick();
    EXPECT_EQ(Sent(), "\x17");
    Banner("KTR557");
    EXPECT_EQ(Sent(), Bytes({0x17, 0x55, 0xAA, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s0().GetState(), BootStageEngine::OPEN_PORT);
    WakeUp();
    Banner("GARVO9");
    EXPECT_STREQ(loader->GetCardPlatform(), "") << "the first-stage banner is another one";
    Tick();
    EXPECT_EQ(Sent(), Bytes({0x17, 0x55, 0xAA, 2, 0, 4, 0, 4, 0, 0, 0, 0xC3, 0, 0, 0, 0, 0, 1, 0xC2, 0}));
    EXPECT_EQ(loader->SetS0TimeoutSeconds(12), 12);
    EXPECT_EQ(loader->GetFirstStageTimeout(), 30) << "each stage has its own time-out";
}

TEST_F(Stage0, ExternalFileOfOnlyAClosingRecordEndsAfterOneAcknowledgement) {
    UseFile("// one record\n 0x17, 0x55, 0xAA, 0x02, 0x01, 0x02, 0x00, 0x00,\n"
            " 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,\n");
    WakeUp();
    Banner("GARVO9");
    Tick();
    port->Feed("Y");
    Tick();
    Sent();
    Tick();
    EXPECT_EQ(Sent().size(), 16u);
    EXPECT_TRUE(seen.Logged("Warning! Loading External First Stage Loader..."));
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
    port->Feed("Y");
    EXPECT_TRUE(seen.Logged("Stage 0 Done"));
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    EXPECT_TRUE(port->IsOpen()) << "the first stage goes on on the same port";
}

TEST_F(Stage0, AnExternalFileThatIsAPipeIsRefusedAtStartNamingItsSetting) {
    const std::string path = (dir.path() + "/fs.txt").toStdString();
    testsupport::MakeFifo(path);
    UseFile("", false);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Loader image file " + path +
                                                      " is not a regular file and was refused (FSFile)"});
}

TEST_F(Stage0, WakesTheBootROMWithTwoBreaksSpacedByWholeSecondsThenTheResetCommand) {
    loader->expectedPlatform = "GARVO9";
    loader->SetFileApplicationType("BOOT");
    loader->Execute();
    ASSERT_EQ(loader->GetLoaderStage(), LOADER_STAGE_0);
    Tick();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->GetComNumber(), 5);
    EXPECT_EQ(port->GetBaud(), 9600);
    EXPECT_EQ(port->GetLogName().toStdString(), (dir.path() + "/Stage0.Log").toStdString());
    EXPECT_EQ(loader->pclMyTimer->interval(), 10);
    ExpectBreakWakeUp('\x17');
}

TEST_F(Stage0, MissingPortIsLookedForFourTimesASecondAndReportedOnce) {
    loader->expectedPlatform = "GARVO9";
    loader->SetFileApplicationType("BOOT");
    loader->Execute();
    seen = Seen{};
    for (int i = 0; i < 3; ++i) {
        port->failNextOpen = testsupport::FakeComPort::OpenFailure::BadId;
        Tick();
        EXPECT_EQ(loader->pclMyTimer->interval(), 250);
    }
    EXPECT_EQ(seen.starts, 1);
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Waiting for COM Port - Power up receiver..."});
    Tick();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(loader->pclMyTimer->interval(), 10) << "the search keeps its pace";
}

TEST_F(Stage0, ConnectRateWakesWithoutBreaksOrResetCommand) {
    loader->MaintainComms(5, 115200, 4800);
    loader->expectedPlatform = "GARVO9";
    loader->SetFileApplicationType("BOOT");
    loader->Execute();
    Tick();
    EXPECT_EQ(s0().GetState(), BootStageEngine::CONNECT_RATE_WAKE);
    Tick();
    EXPECT_EQ(port->baudChanges, (std::vector<int>{4800, 9600}));
    EXPECT_EQ(s0().GetState(), BootStageEngine::SEARCHING);
    Tick();
    EXPECT_TRUE(port->breaks.empty());
    EXPECT_EQ(Sent(), "\x17");
}

TEST_F(Stage0, SearchCountsDownOnceASecondAndGivesUpAfterItsOwnTimeOut) {
    loader->SetS0TimeoutSeconds(10);
    WakeUp();
    seen = Seen{};
    Advance(1);
    Tick();
    Tick();
    ASSERT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(seen.starts, 1) << "the log is cleared before each count-down line";
    EXPECT_EQ(seen.messages[0], "Searching for card ... timeout in: 5 secs.  Power the unit ON now");
    Advance(3.9);
    Tick();
    EXPECT_TRUE(port->IsOpen()) << "ten whole seconds since the first break are not more than ten";
    Advance(1);
    Tick();
    EXPECT_TRUE(seen.Logged("Card not found!"));
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_EQ(loader->LinkSignal, 1);
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(Stage0, RefusedBootROMRestartsTheWakeUpAndTheCountDown) {
    WakeUp();
    Advance(20);
    Tick();
    Sent();
    Banner("KTR557");
    EXPECT_TRUE(seen.Logged("Found platform: KTR557"));
    EXPECT_TRUE(seen.Logged("Expecting platform: GARVO9"));
    EXPECT_EQ(Sent(), Bytes({0x17, 0x55, 0xAA, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(loader->GetCommStats().GetPacketsSent(), 1);
    seen = Seen{};
    Tick();
    Tick();
    Advance(1);
    Tick();
    EXPECT_EQ(seen.messages,
              std::vector<std::string>{"Searching for card ... timeout in: 30 secs.  Power the unit ON now"});
    EXPECT_EQ(port->opens, 1) << "the open port is kept";
}

TEST_F(Stage0, BannerTextWithoutSerialLoadOrWithoutThreeWordsIsNoBootROM) {
    WakeUp();
    loader->debugLevel = 255;
    seen = Seen{};
    port->Feed("DONE\r\n");
    EXPECT_TRUE(seen.messages.empty()) << "a 'D' without \"SerialLoad\" only searches";
    port->Feed(std::string(200, 'x') + "SerialLoad 1.00 COM1D");
    EXPECT_EQ(seen.messages, std::vector<std::string>{"SerialLoad 1.00 COM1"})
        << "only the debug line of the text; no card";
    EXPECT_EQ(s0().GetState(), BootStageEngine::SEARCHING);
    EXPECT_EQ(Sent(), "");
    seen = Seen{};
    port->Feed(" GARVO9\r\nEND");
    EXPECT_TRUE(seen.Logged("Card Detected")) << "the text stays and the next bytes complete it";
    EXPECT_EQ(s0().GetState(), BootStageEngine::SEND_BAUD_CHANGE);
    EXPECT_EQ(s0().GetCardPlatform(), "GARVO9");
}

TEST_F(Stage0, BuiltInFirstStageLoaderGoesDownRecordByRecordThenTheFirstStageStarts) {
    CardBootModel::Config config;
    config.startsInBootROM = true;
    CardBootModel card(config);
    loader->expectedPlatform = "GARVO9";
    loader->SetFileApplicationType("BOOT");
    loader->Execute();
    RunWith(card);
    ASSERT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    const auto image = builtinimages::Load("FSL_GARVO9");
    EXPECT_EQ(card.FirstStageImage(), std::string(image.bytes.begin(), image.bytes.end()));
    EXPECT_EQ(card.BaudChanges(), std::vector<std::uint32_t>{115200});
    EXPECT_EQ(port->GetBaud(), 115200);
    for (const char *line :
         {"Card Detected", "Found platform: GARVO9", "Changing Baud Rate to: 115200", "Changing baud rate",
          "baud rate changed", "Initializing download", "Stage 0 Done"})
        EXPECT_TRUE(seen.Logged(line)) << line;
    EXPECT_FALSE(seen.Logged("Warning! Loading External First Stage Loader..."));
    EXPECT_FALSE(seen.Logged("Closing USB COM Port"));
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 0) << "only an external first-stage file sets it";
    EXPECT_EQ(seen.progress.size(), static_cast<std::size_t>(loader->GetCommStats().GetACKs() - 1));
    EXPECT_TRUE(port->IsOpen());
}

TEST_F(Stage0, UsbBootROMIsReopenedButWaitsOnlyForAUsbFirstStageCard) {
    WakeUp();
    port->Feed(CardBootModel::Banner("1.00", "USB0", "GARVO9"));
    EXPECT_TRUE(s0().IsUSBDevice());
    EXPECT_FALSE(loader->IsUSBDevice()) << "the facade asks the first-stage banner";
    Tick();
    port->Feed("Y");
    Tick();
    for (int i = 0; i < 20 && !seen.Logged("Stage 0 Done"); ++i) {
        Tick();
        port->Feed("Y");
    }
    ASSERT_TRUE(seen.Logged("Stage 0 Done"));
    const int closes = port->closes;
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    EXPECT_EQ(port->closes, closes + 1);
    EXPECT_TRUE(port->IsOpen());
    for (const char *line : {"Closing USB COM Port", "Opening USB COM Port... ", "USB COM Port now open..."})
        EXPECT_TRUE(seen.Logged(line)) << line;
    EXPECT_FALSE(seen.Logged("Waiting for USB port to return"));
}

TEST_F(Stage0, MissingAcknowledgementsFail) {
    using Behaviour = CardBootModel::Behaviour;
    struct Case {
        Behaviour behaviour;
        const char *message;
    };
    for (const Case &c : {Case{Behaviour::Silent, "Card not found!"},
                          Case{Behaviour::NoBaudChangeAck, "Timeout waiting for baud rate change"},
                          Case{Behaviour::NoRecordAck, "Timeout waiting for acknowledgment"}}) {
        MakeLoader();
        sentSoFar = 0;
        CardBootModel::Config config;
        config.startsInBootROM = true;
        config.behaviour = c.behaviour;
        config.recordsAcknowledged = 1;
        CardBootModel card(config);
        loader->expectedPlatform = "GARVO9";
        loader->SetFileApplicationType("BOOT");
        loader->Execute();
        RunWith(card);
        EXPECT_TRUE(seen.Logged(c.message)) << c.message;
        Tick();
        EXPECT_EQ(seen.completes, std::vector<int>{-2}) << c.message;
    }
}
