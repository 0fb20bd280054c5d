// The facade, the real serial port and both boot-stage engines against the card stand-in on
// the far end of a pseudo-terminal, up to the hand-over to the second stage.
#include "BootStageTestSupport.h"
#include "BuiltInImages.h"
#include "PtyPeer.h"
#include "SSEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

using namespace bootstagetest;
using testsupport::CardBootModel;

namespace {

// Stands where the second stage begins: notes the hand-over and keeps the link waiting.
class HandOverSS : public SSEngine {
public:
    using SSEngine::SSEngine;
    void WaitSecondStageStart(bool support) override {
        handedOver = true;
        startupSupport = support;
    }
    std::uint8_t Run() override { return 5; }
    bool handedOver = false;
    bool startupSupport = false;
};

std::string ImageBytes(const char *name) {
    const auto image = builtinimages::Load(name);
    return std::string(image.bytes.begin(), image.bytes.end());
}

class BootChainOverPseudoTerminal : public ::testing::Test {
protected:
    void Start(const CardBootModel::Config &config, const char *expectedPlatform, const char *type) {
        seen = Seen{};
        card = std::make_unique<CardBootModel>(config);
        peer =
            std::make_unique<testsupport::PtyPeer>([this](const std::string &in) { return card->Feed(in); });
        map = std::make_unique<testsupport::ScopedComMapping>(44, peer->DevicePath());
        loader = std::make_unique<TLoaderInterface>();
        ss = new HandOverSS(*loader);
        loader->pclMySecondStage.reset(ss);
        InstallCallbacks(*loader);
        loader->MaintainComms(44, 115200, 0);
        // Virtual time runs ahead of the line; long searches keep a slow machine from timing out.
        loader->SetFirstStageTimeout(600);
        loader->SetS0TimeoutSeconds(600);
        loader->expectedPlatform = expectedPlatform;
        loader->SetFileApplicationType(type);
        loader->Execute();
    }
    // Runs the event loop, the clock 20 ms a pass, until the hand-over or 20 real seconds.
    void RunToHandOver() {
        QElapsedTimer real;
        real.start();
        while (!ss->handedOver && real.elapsed() < 20000 && loader->GetLoaderStage() != CLEAN_UP) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
            clock.Advance(20);
        }
        loader->pclMyTimer->stop();
    }
    void TearDown() override {
        if (loader)
            loader->pclMyComPort->Close();
        if (peer)
            peer->Stop();
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    std::unique_ptr<CardBootModel> card;
    std::unique_ptr<testsupport::PtyPeer> peer;
    std::unique_ptr<testsupport::ScopedComMapping> map;
    std::unique_ptr<TLoaderInterface> loader;
    HandOverSS *ss = nullptr;
};

} // namespace

TEST_F(BootChainOverPseudoTerminal, StageZeroThenFirstStageThenHandOver) {
    CardBootModel::Config config;
    config.startsInBootROM = true;
    config.cards = {{"KTR953", "COM1", "4.2"}};
    Start(config, "GARVO9", "BOOT");
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_STAGE_0);
    RunToHandOver();
    ASSERT_TRUE(ss->handedOver) << (seen.messages.empty() ? "" : seen.messages.back());
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_TRUE(ss->startupSupport);
    EXPECT_EQ(card->FirstStageImage(), ImageBytes("FSL_GARVO9"));
    EXPECT_EQ(card->SecondStageImage(), ImageBytes("SSL_GARVO9"));
    EXPECT_EQ(card->BaudChanges(), (std::vector<std::uint32_t>{115200, 115200}));
    for (const char *line :
         {"Stage 0 Done", "Found platform: KTR953", "Using GARVO9 Second Stage Loader", "Stage 1 Done"})
        EXPECT_TRUE(seen.Logged(line)) << line;
    EXPECT_STREQ(loader->GetCardPlatform(), "KTR953");

    // The line now belongs to the second stage: what the program sends reaches its model.
    loader->pclMyComPort->PutString("SS");
    QElapsedTimer real;
    real.start();
    while (card->AfterHandOver() != "SS" && real.elapsed() < 30000) // ends once the bytes are in
        QThread::msleep(5);
    EXPECT_EQ(card->AfterHandOver(), "SS");
}

TEST_F(BootChainOverPseudoTerminal, BannersEndingInADAfterTheNameABlankOrALineBreakAreRead) {
    for (const std::string &ending :
         {std::string("D"), std::string(" D"), std::string("\r\nD"), std::string("\r\nEND")}) {
        SCOPED_TRACE(::testing::PrintToString(ending));
        CardBootModel::Config config;
        config.startsInBootROM = true;
        config.bootROMBannerEnding = ending;
        config.cards = {{"Q8BXN", "COM1", "4.2", ending}}; // "Q8BXN" and a 'D' name no other platform
        Start(config, "GARVO9", "BOOT");
        RunToHandOver();
        ASSERT_TRUE(ss->handedOver) << (seen.messages.empty() ? "" : seen.messages.back());
        EXPECT_TRUE(seen.Logged("Stage 0 Done"));
        EXPECT_STREQ(loader->GetCardPlatform(), "Q8BXN");
        TearDown();
        map.reset();
    }
}

TEST_F(BootChainOverPseudoTerminal, UsbCardBehindAnotherIsReopenedAfterTheDownload) {
    CardBootModel::Config config;
    config.cards = {{"KTR999", "COM1", "1.0"}, {"ZJ7", "USB1", "5.0"}};
    Start(config, "ZJ7", "APP");
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    RunToHandOver();
    ASSERT_TRUE(ss->handedOver) << (seen.messages.empty() ? "" : seen.messages.back());
    EXPECT_EQ(card->NextDevices(), std::vector<int>{0});
    EXPECT_EQ(card->SecondStageImage(), ImageBytes("SSL_ZJ7"));
    for (const char *line : {"Closing USB COM Port", "Opening USB COM Port... ", "USB COM Port now open..."})
        EXPECT_TRUE(seen.Logged(line)) << line;
    EXPECT_TRUE(loader->pclMyComPort->IsOpen());
    EXPECT_TRUE(loader->IsUSBDevice());
}
