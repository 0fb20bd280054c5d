#include "BootRecords.h"
#include "BootStageTestSupport.h"
#include "BuiltInImages.h"
#include "FSEngine.h"
#include "S0Engine.h"

#include <fstream>

using namespace bootstagetest;
using testsupport::CardBootModel;

namespace {

class Stage0 : public BootStageTest {
protected:
    void SetUp() override {
        BootStageTest::SetUp();
        BootFile();
    }
    void BootFile() {
        loader->expectedPlatform = "GARVO9";
        loader->fileApplicationType = "BOOT";
    }
    S0Engine &s0() { return *loader->pclMyStage0; }
    void WakeUp() {
        loader->Execute();
        ASSERT_EQ(loader->GetLoaderStage(), LOADER_STAGE_0);
        for (int i = 0; i < 100 && s0().GetState() != BootStageEngine::SEARCHING; ++i) {
            Tick();
            Advance(0.5);
        }
        ASSERT_EQ(s0().GetState(), BootStageEngine::SEARCHING);
        Sent();
    }
    void Banner(const std::string &platform) { port->Feed(CardBootModel::Banner("1.00", "COM1", platform)); }
};

} // namespace

TEST_F(Stage0, SearchesWithItsOwnWakeByte) {
    WakeUp();
    Tick();
    EXPECT_EQ(Sent(), "\x17");
    EXPECT_EQ(loader->pclMyTimer->interval(), 10);
    EXPECT_EQ(s0().GetBreakSpacing(), 1500);
    EXPECT_EQ(loader->SetS0TimeoutSeconds(12), 12);
    EXPECT_EQ(loader->GetS0TimeoutSeconds(), 12);
    EXPECT_EQ(loader->GetFirstStageTimeout(), 30) << "each stage has its own";
}

TEST_F(Stage0, OnlyAGarvoBootROMIsAcceptedOthersGetNextDeviceZero) {
    loader->SetFirstStageTargetID(5);
    WakeUp();
    Banner("KTR557");
    EXPECT_EQ(Sent(), Bytes({0x17, 0x55, 0xAA, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s0().GetState(), BootStageEngine::OPEN_PORT);
    WakeUp();
    Banner("GARVO9");
    EXPECT_EQ(s0().GetState(), BootStageEngine::SEND_BAUD_CHANGE);
    EXPECT_STREQ(loader->GetCardPlatform(), "") << "the first-stage banner is another one";
    EXPECT_EQ(s0().GetCardPlatform(), "GARVO9");
    Tick();
    EXPECT_EQ(Sent(), Bytes({0x17, 0x55, 0xAA, 2, 0, 4, 0, 4, 0, 0, 0, 0xC3, 0, 0, 0, 0, 0, 1, 0xC2, 0}))
        << "device ID 0 whatever the first stage's target";
}

TEST_F(Stage0, DownloadsTheFirstStageLoaderAndHandsTheOpenPortOn) {
    WakeUp();
    Banner("GARVO9");
    Tick();
    port->Feed("Y");
    Tick();
    EXPECT_TRUE(seen.Logged("Initializing download"));
    Sent();
    const auto image = builtinimages::Load("FSL_GARVO9");
    std::string records;
    for (int i = 0; i < 10 && !seen.Logged("Stage 0 Done"); ++i) {
        Tick();
        records += Sent();
        port->Feed("Y");
    }
    EXPECT_EQ(records, std::string(image.bytes.begin(), image.bytes.end()));
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->opens, 1);
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 0) << "the built-in image leaves the offset alone";
    Tick();
    EXPECT_EQ(loader->pclMyFirstStage->GetState(), BootStageEngine::FIRST_BREAK)
        << "the first stage keeps the port stage 0 opened";
}

TEST_F(Stage0, ExternalFirstStageFileWithOnlyItsClosingRecord) {
    const std::string path = (dir.path() + "/fs.txt").toStdString();
    {
        std::ofstream out(path);
        out << "// one record\n 0x17, 0x55, 0xAA, 0x02, 0x01, 0x02, 0x00, 0x00,\n"
            << " 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,\n";
    }
    ScopedEngineSettings settings{
        {"InternalUse", 1}, {"UseFSFile", 1}, {"FSFile", QString::fromStdString(path)}};
    MakeLoader();
    BootFile();
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
}

TEST_F(Stage0, ExternalFileTooBigOrMissingFailsBeforeAnyRecord) {
    struct Case {
        std::string content; // none: no file
        std::string message;
    };
    std::string big;
    for (std::size_t i = 0; i <= S0Engine::ExternalImageCapacity / 13; ++i)
        big += " 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,\n";
    const std::string path = (dir.path() + "/fs.txt").toStdString();
    for (const Case &c :
         {Case{big, "Loader image file " + path + " holds more than 276480 bytes and was refused"},
          Case{"", "Unable to open loader image file " + path}}) {
        std::remove(path.c_str());
        if (!c.content.empty())
            std::ofstream(path) << c.content;
        ScopedEngineSettings settings{
            {"InternalUse", 1}, {"UseFSFile", 1}, {"FSFile", QString::fromStdString(path)}};
        MakeLoader();
        sentSoFar = 0;
        BootFile();
        WakeUp();
        Banner("GARVO9");
        Tick();
        port->Feed("Y");
        Tick();
        Sent();
        Tick();
        EXPECT_EQ(Sent(), "") << c.message;
        EXPECT_TRUE(seen.Logged(c.message)) << c.message;
        EXPECT_TRUE(seen.Logged("Stage 0 download stopped."));
        EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    }
}

TEST_F(Stage0, ConnectRateSkipsBreaksAndItsTimeoutSaysNotFound) {
    loader->MaintainComms(5, 115200, 9600);
    loader->Execute();
    Tick();
    EXPECT_EQ(s0().GetState(), BootStageEngine::CONNECT_RATE_WAKE);
    Tick();
    EXPECT_EQ(s0().GetState(), BootStageEngine::SEARCHING);
    EXPECT_TRUE(port->breaks.empty());
    Advance(31);
    Tick();
    EXPECT_TRUE(seen.Logged("Card not found!"));
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(Stage0, WholeStageAgainstTheCardModelThenTheFirstStage) {
    CardBootModel::Config config;
    config.startsInBootROM = true;
    config.cards = {{"KTR953", "COM1", "4.2"}};
    CardBootModel card(config);
    loader->Execute();
    RunWith(card);
    ASSERT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    const auto firstStage = builtinimages::Load("FSL_GARVO9");
    EXPECT_EQ(card.FirstStageImage(), std::string(firstStage.bytes.begin(), firstStage.bytes.end()));
    RunWith(card);
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    const auto secondStage = builtinimages::Load("SSL_GARVO9");
    EXPECT_EQ(card.SecondStageImage(), std::string(secondStage.bytes.begin(), secondStage.bytes.end()));
    EXPECT_EQ(card.BaudChanges(), (std::vector<std::uint32_t>{115200, 115200}));
}
