#include "BootStageTestSupport.h"
#include "S0Engine.h"

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
