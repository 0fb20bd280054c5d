#include "BootRecords.h"
#include "BootStageTestSupport.h"
#include "BuiltInImages.h"
#include "Dialogs.h"
#include "FSEngine.h"
#include "PseudoTerminal.h"
#include "TpclMyCommStats.h"

#include <fstream>

using namespace bootstagetest;
using testsupport::CardBootModel;

namespace {

class FirstStage : public BootStageTest {
protected:
    FSEngine &fs() { return *loader->pclMyFirstStage; }
    // Starts a run and ticks through the wake-up to the search.
    void WakeUp() {
        loader->Execute();
        for (int i = 0; i < 100 && fs().GetState() != BootStageEngine::SEARCHING; ++i) {
            Tick();
            Advance(0.5);
        }
        ASSERT_EQ(fs().GetState(), BootStageEngine::SEARCHING);
        Sent();
    }
    void Banner(const std::string &platform, const std::string &com = "COM1") {
        port->Feed(CardBootModel::Banner("2.05", com, platform));
    }
    std::string Image(const char *name) const {
        const auto image = builtinimages::Load(name);
        return std::string(image.bytes.begin(), image.bytes.end());
    }
};

std::string NextDevice(int id) {
    const bootrecords::Header r =
        bootrecords::MakeNextDevice(bootrecords::FirstStageNextDeviceTemplate, static_cast<std::uint8_t>(id));
    return std::string(r.begin(), r.end());
}

} // namespace

TEST_F(FirstStage, WakesWithTwoBreaksSpacedByWholeSecondsThenTheResetCommand) {
    loader->Execute();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_FIRST_STAGE);
    Tick();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->GetComNumber(), 5);
    EXPECT_EQ(port->GetBaud(), 9600);
    EXPECT_EQ(loader->pclMyTimer->interval(), 10);
    EXPECT_EQ(fs().GetState(), BootStageEngine::FIRST_BREAK);
    Tick();
    EXPECT_EQ(port->breaks, std::vector<unsigned>{4});
    Advance(1);
    Tick();
    EXPECT_EQ(port->breaks.size(), 1u) << "one whole second is not more than 1500 / 1000";
    Advance(1);
    Tick();
    EXPECT_EQ(port->breaks.size(), 2u) << "two are";
    EXPECT_EQ(fs().GetState(), BootStageEngine::RESET_COMMAND);
    Advance(2);
    Tick();
    EXPECT_EQ(Sent(), "") << "four seconds after the first break is not yet more than four";
    Advance(1);
    Tick();
    EXPECT_EQ(Sent(), "\r\n\runlogall\rreset 1\r");
    Tick();
    Tick();
    EXPECT_EQ(Sent(), "\x16\x16");
    EXPECT_TRUE(port->baudChanges.empty());
}

TEST_F(FirstStage, BreakSpacingComesFromTheSettingsOnlyForInternalUse) {
    {
        ScopedEngineSettings settings{{"InternalUse", 1}, {"Break Spacing MS", 3000}};
        MakeLoader();
        EXPECT_EQ(fs().GetBreakSpacing(), 3000);
        loader->Execute();
        Tick();
        Tick();
        Advance(3);
        Tick();
        EXPECT_EQ(port->breaks.size(), 1u);
        Advance(1);
        Tick();
        EXPECT_EQ(port->breaks.size(), 2u) << "with 3000 ms the second break follows after four seconds";
    }
    {
        ScopedEngineSettings settings{{"InternalUse", 0}, {"Break Spacing MS", 3000}};
        MakeLoader();
        EXPECT_EQ(fs().GetBreakSpacing(), 1500);
    }
    {
        ScopedEngineSettings settings{{"InternalUse", 1}, {"Break Spacing MS", QString("soon")}};
        MakeLoader();
        EXPECT_EQ(fs().GetBreakSpacing(), 1500) << "a failed read keeps the default";
    }
}

TEST_F(FirstStage, ConnectRateWakesWithoutBreaks) {
    loader->MaintainComms(5, 115200, 4800);
    loader->Execute();
    Tick();
    EXPECT_EQ(fs().GetState(), BootStageEngine::CONNECT_RATE_WAKE);
    Tick();
    EXPECT_EQ(port->baudChanges, (std::vector<int>{4800, 9600}));
    EXPECT_TRUE(port->breaks.empty());
    EXPECT_EQ(Sent(), "");
    Tick();
    EXPECT_EQ(Sent(), "\x16");
}

TEST_F(FirstStage, MissingPortWaitsUntilItAppears) {
    loader->Execute();
    seen = Seen{};
    port->failNextOpen = testsupport::FakeComPort::OpenFailure::BadId;
    Tick();
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(fs().GetState(), BootStageEngine::OPEN_PORT);
    EXPECT_EQ(seen.starts, 1) << "the log is cleared first";
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Waiting for COM Port - Power up receiver..."});
    EXPECT_TRUE(loader->pclMyTimer->isActive());
    Tick();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(fs().GetState(), BootStageEngine::FIRST_BREAK);
}

TEST_F(FirstStage, CountdownRefreshesAboutOnceASecondAndSearchTimesOut) {
    WakeUp();
    seen = Seen{};
    Advance(1);
    Tick();
    Tick();
    Tick();
    ASSERT_EQ(seen.messages.size(), 1u) << "one line a second however many ticks";
    EXPECT_EQ(seen.starts, 1);
    EXPECT_EQ(seen.messages[0].rfind("Searching for card ... timeout in: ", 0), 0u);
    EXPECT_NE(seen.messages[0].find(" secs.  Power the unit ON now"), std::string::npos);
    // The search started with the first break; it gives up once more than 30 seconds passed.
    Advance(23.9);
    Tick();
    EXPECT_TRUE(port->IsOpen()) << "30 whole seconds since the first break are not more than 30";
    Advance(1);
    Tick();
    EXPECT_TRUE(seen.Logged("Card not found!"));
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(FirstStage, ExpectedCardGetsTheBaudChangeWithoutDeviceIDAndTheImage) {
    loader->expectedPlatform = "KTR557";
    WakeUp();
    Banner("KTR557");
    EXPECT_EQ(fs().GetState(), BootStageEngine::SEND_BAUD_CHANGE);
    EXPECT_EQ(port->GetNotificationLevel(), 8);
    EXPECT_TRUE(seen.Logged("Card Detected"));
    EXPECT_TRUE(seen.Logged("2.05 COM1 KTR557\r\nEN"));
    EXPECT_TRUE(seen.Logged("Found platform: KTR557"));
    EXPECT_TRUE(seen.Logged("Expecting platform: KTR557"));
    EXPECT_STREQ(loader->GetFirstStageVersion(), "2.05");
    EXPECT_STREQ(loader->GetCardCOMDevice(), "COM1");
    EXPECT_STREQ(loader->GetCardPlatform(), "KTR557");

    const int packets = loader->GetCommStats().GetPacketsSent();
    Tick();
    EXPECT_EQ(Sent(), Bytes({0x16, 0x55, 0xAA, 2, 0, 4, 0, 4, 0, 0, 0, 0xC3, 0, 0, 0, 0, 0, 1, 0xC2, 0}));
    EXPECT_EQ(loader->GetCommStats().GetPacketsSent(), packets + 1);
    EXPECT_TRUE(seen.Logged("Changing Baud Rate to: 115200"));
    EXPECT_TRUE(seen.Logged("Changing baud rate"));
    port->Feed("xY");
    EXPECT_EQ(fs().GetState(), BootStageEngine::CHANGE_BAUD);
    Tick();
    EXPECT_EQ(port->baudChanges, std::vector<int>{115200});
    EXPECT_TRUE(seen.Logged("baud rate changed"));
    EXPECT_TRUE(seen.Logged("Initializing download"));

    const std::string image = Image("SSL_ZJ7");
    std::string records;
    for (int i = 0; i < 10 && !seen.Logged("Stage 1 Done"); ++i) {
        Tick();
        records += Sent();
        port->Feed("Y");
    }
    EXPECT_EQ(records, image) << "the image goes out record by record, unchanged";
    EXPECT_TRUE(seen.Logged("Using ZJ7 Second Stage Loader"));
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_TRUE(loader->GetSecondStageStartupSupport());
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
    EXPECT_EQ(loader->GetCommStats().GetACKs(), 4) << "the baud change and three records";
    EXPECT_EQ(seen.progress, (std::vector<int>{0, 0, 0}));
}

TEST_F(FirstStage, RefusedCardGetsNextDeviceAndTheSearchStartsAgain) {
    loader->expectedPlatform = "KTR557";
    WakeUp();
    const std::size_t breaks = port->breaks.size();
    Banner("KTR999");
    EXPECT_EQ(Sent(), NextDevice(0));
    EXPECT_EQ(fs().GetState(), BootStageEngine::OPEN_PORT);
    EXPECT_EQ(fs().GetReceiveState(), BootStageEngine::EXPECT_BANNER);
    Advance(20);
    Tick();
    EXPECT_EQ(port->opens, 1) << "the open port is kept";
    EXPECT_EQ(fs().GetState(), BootStageEngine::FIRST_BREAK);
    Tick();
    EXPECT_EQ(port->breaks.size(), breaks + 1) << "the wake-up starts over";
    // The count-down starts over too: 30 more seconds from the new first break.
    Advance(30);
    for (int i = 0; i < 10; ++i)
        Tick();
    EXPECT_TRUE(port->IsOpen());
}

TEST_F(FirstStage, ATextWithoutBannerOrWithTooFewWordsIsNotACard) {
    loader->expectedPlatform = "KTR557";
    WakeUp();
    Banner("KTR557");
    EXPECT_STREQ(loader->GetCardPlatform(), "KTR557");
    // Start over and meet a card whose banner lacks its platform.
    MakeLoader();
    loader->expectedPlatform = "KTR557";
    WakeUp();
    port->Feed("DONE with nothing\r\n");
    EXPECT_EQ(fs().GetState(), BootStageEngine::SEARCHING);
    port->Feed("\r\nSerialLoad 2.05 COM1D");
    EXPECT_EQ(fs().GetState(), BootStageEngine::SEARCHING) << "the search goes on";
    EXPECT_EQ(Sent(), "");
    EXPECT_FALSE(seen.Logged("Card Detected"));
    EXPECT_STREQ(loader->GetCardPlatform(), "");
}

TEST_F(FirstStage, BannerFieldsAreClearedBeforeEachParse) {
    loader->expectedPlatform = "KTR557";
    WakeUp();
    Banner("KTR999", "USB3");
    EXPECT_TRUE(loader->IsUSBDevice());
    WakeUp();
    port->Feed("\r\nSerialLoad 2.05 COM1D");
    EXPECT_FALSE(loader->IsUSBDevice()) << "the earlier card's USB port is not this one's";
}

TEST_F(FirstStage, CardInFrontPassesTheLinkOnWithTheTargetID) {
    loader->expectedPlatform = "KTR557";
    loader->SetFirstStageTargetID(3);
    EXPECT_TRUE(seen.Logged("Setting First Stage Target ID to: 3"));
    WakeUp();
    Banner("BEXNOR");
    Tick();
    const std::string baud = Sent();
    ASSERT_EQ(baud.size(), 20u);
    EXPECT_EQ(baud[15], 3);
    EXPECT_EQ(baud.substr(8, 4), Bytes({0, 0, 0, 0xC6})) << "1 + 0xC2 + device 3";
    EXPECT_TRUE(seen.Logged("Assigning device ID in Change Baud Packet"));
    EXPECT_TRUE(seen.Logged("Assigning Device ID to: 3"));
    port->Feed("Y");
    seen = Seen{};
    Tick();
    EXPECT_EQ(port->baudChanges, std::vector<int>{115200});
    EXPECT_FALSE(seen.Logged("Initializing download")) << "it searches again at the new rate";
    EXPECT_EQ(fs().GetState(), BootStageEngine::SEARCHING);
    Advance(1);
    Tick();
    EXPECT_EQ(Sent(), "\x16");
    EXPECT_EQ(seen.starts, 0) << "the count-down keeps the log while a target is addressed";
    // The card behind it is the expected one: no device ID this time.
    Banner("KTR557");
    Tick();
    EXPECT_EQ(Sent()[15], 0);
    port->Feed("Y");
    Tick();
    EXPECT_TRUE(seen.Logged("Initializing download"));
    EXPECT_EQ(fs().GetTargetID(), 0) << "cleared by the baud change that did not need it";
}

TEST_F(FirstStage, SetFirstStageDeviceIDIsTheSameOperation) {
    loader->SetFirstStageTargetID(4);
    loader->SetFirstStageDeviceID(6);
    EXPECT_EQ(fs().GetTargetID(), 6);
    loader->SetFirstStageTargetID(2);
    EXPECT_EQ(fs().GetTargetID(), 2);
    EXPECT_EQ(loader->SetFirstStageTimeout(45), 45);
    EXPECT_EQ(loader->GetFirstStageTimeout(), 45);
}

TEST_F(FirstStage, VoktCardDependsOnTheFilePlatformAndTargetID) {
    std::vector<QString> boxes;
    platform::SetMessageHandler([&](const platform::MessageRequest &r) {
        boxes.push_back(r.text);
        return platform::MessageResult::Ok;
    });
    struct Case {
        const char *filePlatform;
        int target;
        std::string sent;
        bool aborted;
    };
    const Case cases[] = {
        {"VOKTLRM", 0, NextDevice(0), false},
        {"ARM", 2, NextDevice(2), false},
        {"ARM", 0, "", true},
        {"KTR557", 0, "", false},
    };
    for (const Case &c : cases) {
        MakeLoader();
        sentSoFar = 0;
        boxes.clear();
        loader->expectedPlatform = "ARM";
        loader->filePlatform = c.filePlatform;
        loader->SetFirstStageTargetID(c.target);
        WakeUp();
        Banner("VOKTLRM");
        EXPECT_EQ(Sent(), c.sent) << c.filePlatform << " " << c.target;
        EXPECT_EQ(loader->IsAborted(), c.aborted ? 1 : 0) << c.filePlatform;
        EXPECT_EQ(boxes.size(), c.aborted ? 1u : 0u) << c.filePlatform;
        if (c.aborted) {
            EXPECT_EQ(boxes[0], "Cannot Proceed - File Specifed does not contain a VOKT Destination ID.");
        }
        EXPECT_EQ(fs().GetState(), BootStageEngine::OPEN_PORT) << "starts over";
    }
    platform::SetMessageHandler({});
}

TEST_F(FirstStage, PlatformDecisionTable) {
    struct Case {
        const char *card;
        const char *expected;
        bool accepted;
    };
    const Case cases[] = {
        {"KTR557", "KTR557", true}, {"Q8BXN", "KTR557", true},   {"tlvp-q", "X", true},
        {"KTR567", "X", true},      {"SA-1100", "ARM", true},    {"SA-1100", "KTR557", false},
        {"PXA250", "X", true},      {"GARVO9", "X", true},       {"KTR953T", "X", true},
        {"P8TB", "X", true},        {"ktr557", "KTR557", false}, {"ZJ7", "KTR557", false},
    };
    for (const Case &c : cases) {
        MakeLoader();
        sentSoFar = 0;
        loader->expectedPlatform = c.expected;
        WakeUp();
        Banner(c.card);
        EXPECT_EQ(fs().GetState(),
                  c.accepted ? BootStageEngine::SEND_BAUD_CHANGE : BootStageEngine::OPEN_PORT)
            << c.card << " for " << c.expected;
        EXPECT_EQ(Sent(), c.accepted ? "" : NextDevice(0)) << c.card;
    }
}

TEST_F(FirstStage, ZqxCardIsPrimedWithTheStartRecord) {
    loader->expectedPlatform = "zqx5";
    WakeUp();
    Banner("zqx5");
    Tick();
    port->Feed("Y");
    Tick();
    Sent();
    const std::uint32_t before = clock.TickCount();
    Tick();
    EXPECT_TRUE(seen.Logged("Priming ZQX loader"));
    EXPECT_GE(clock.TickCount() - before, 1000u);
    EXPECT_EQ(Sent(), Bytes({0x16, 0x55, 0xAA, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    port->Feed("Y");
    EXPECT_TRUE(seen.Logged("Stage 1 Done"));
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
}

TEST_F(FirstStage, TimeoutsWaitingForAcknowledgements) {
    loader->expectedPlatform = "KTR557";
    WakeUp();
    Banner("KTR557");
    Tick();
    Advance(30);
    Tick();
    EXPECT_TRUE(port->IsOpen()) << "30 seconds are not more than 30";
    Advance(1);
    Tick();
    EXPECT_TRUE(seen.Logged("Timeout waiting for baud rate change"));
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);

    MakeLoader();
    loader->expectedPlatform = "KTR557";
    WakeUp();
    Banner("KTR557");
    Tick();
    port->Feed("Y");
    Tick();
    Tick();
    Advance(31);
    Tick();
    EXPECT_TRUE(seen.Logged("Timeout waiting for acknowledgment"));
    EXPECT_FALSE(port->IsOpen());
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(FirstStage, UnsupportedProductSendsNothingAndAborts) {
    loader->expectedPlatform = "KTR999";
    WakeUp();
    Banner("KTR999");
    Tick();
    port->Feed("Y");
    Tick();
    Sent();
    Tick();
    EXPECT_TRUE(seen.Logged("Attempting to locate SSL"));
    EXPECT_TRUE(seen.Logged((dir.path() + "/KTR999_ssl.c").toStdString()));
    EXPECT_TRUE(seen.Logged("Unsupported product. Please contact Zandrel Support."));
    EXPECT_EQ(Sent(), "");
    Tick();
    EXPECT_EQ(Sent(), "") << "nothing after the abort either";
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(FirstStage, PlatformLoaderFileBesideTheProgram) {
    const std::string image = Bytes({0x16, 0x55, 0xAA, 2,    1, 1, 0, 2, 0, 0, 0, 0x23, 0, 0, 0, 0x10, 0x01,
                                     0x12, 0x16, 0x55, 0xAA, 2, 2, 2, 0, 0, 0, 0, 0,    0, 0, 0, 0,    0});
    {
        std::ofstream out((dir.path() + "/KTR999_ssl.c").toStdString());
        for (unsigned char b : image)
            out << " 0x" << std::hex << int(b) << ",\n";
    }
    loader->expectedPlatform = "KTR999";
    WakeUp();
    Banner("KTR999");
    Tick();
    port->Feed("Y");
    Tick();
    Sent();
    std::string records;
    for (int i = 0; i < 4 && !seen.Logged("Stage 1 Done"); ++i) {
        Tick();
        records += Sent();
        port->Feed("Y");
    }
    EXPECT_EQ(records, image);
    EXPECT_TRUE(seen.Logged("Warning! Using External Unknown product Second Stage Loader..."));
    EXPECT_TRUE(loader->IsExternalSecondStage());
    EXPECT_STREQ(loader->GetCardPlatform(), "KTR999") << "the platform keeps the banner's name";
    EXPECT_TRUE(loader->IsMACSupported()) << "an external loader counts as fully featured";
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
    EXPECT_TRUE(loader->GetSecondStageStartupSupport());

    // A new run starts without the last card's flags.
    loader->Execute();
    EXPECT_FALSE(loader->IsExternalSecondStage());
    EXPECT_FALSE(loader->GetSecondStageStartupSupport());
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 0);
}

TEST_F(FirstStage, BrokenLoaderFileFailsTheStageBeforeAnyRecord) {
    {
        std::ofstream out((dir.path() + "/KTR999_ssl.c").toStdString());
        out << " 0x16, 0x55, 0xAA, 0x02, 0x01, 0x01, 0x00, 0x40,\n"; // a header announcing 64 missing bytes
    }
    loader->expectedPlatform = "KTR999";
    WakeUp();
    Banner("KTR999");
    Tick();
    port->Feed("Y");
    Tick();
    Sent();
    Tick();
    EXPECT_EQ(Sent(), "");
    EXPECT_TRUE(seen.Logged("The loader image record at byte 0 runs past the end of the image"));
    EXPECT_TRUE(seen.Logged("Stage 1 download stopped."));
    EXPECT_FALSE(port->IsOpen());
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(FirstStage, ExternalSecondStageFileFromTheSettings) {
    const std::string path = (dir.path() + "/ss.txt").toStdString();
    {
        std::ofstream out(path);
        out << " 0x16, 0x55, 0xAA, 0x02, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,\n 0x00, 0x00, 0x00, "
               "0x00,\n";
    }
    ScopedEngineSettings settings{
        {"InternalUse", 1}, {"UseSSFile", 1}, {"SSFile", QString::fromStdString(path)}};
    MakeLoader();
    EXPECT_TRUE(fs().IsExternalFile());
    loader->expectedPlatform = "MOLVEK";
    WakeUp();
    Banner("MOLVEK");
    Tick();
    port->Feed("Y");
    Tick();
    Sent();
    Tick();
    EXPECT_EQ(Sent().size(), 16u);
    EXPECT_TRUE(seen.Logged("Warning! Loading External Second Stage Loader..."));
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 0) << "MOLVEK is not on the external list";
    port->Feed("Y");
    EXPECT_TRUE(seen.Logged("Stage 1 Done"));
    EXPECT_EQ(fs().GetImageBlocks(), 0);
}

TEST_F(FirstStage, UsbCardIsClosedAndReopenedAfterTheDownload) {
    testsupport::PseudoTerminal node; // any existing device node will do for "the port is back"
    testsupport::ScopedComMapping map(5, node.DevicePath());
    loader->expectedPlatform = "KTR557";
    WakeUp();
    Banner("KTR557", "USB0");
    EXPECT_TRUE(loader->IsUSBDevice());
    Tick();
    port->Feed("Y");
    Tick();
    EXPECT_TRUE(seen.Logged("Waiting for USB port to return"));
    EXPECT_TRUE(seen.Logged("Proceeeding..."));
    for (int i = 0; i < 10 && !seen.Logged("Stage 1 Done"); ++i) {
        Tick();
        port->Feed("Y");
    }
    const int closes = port->closes;
    Tick();
    EXPECT_EQ(port->closes, closes + 1);
    EXPECT_TRUE(port->IsOpen());
    for (const char *line : {"Closing USB COM Port", "Opening USB COM Port... ", "USB COM Port now open..."})
        EXPECT_TRUE(seen.Logged(line)) << line;
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
}

TEST_F(FirstStage, ArmUsbLoaderEndsWithoutWaitingForTheLastAcknowledgement) {
    testsupport::PseudoTerminal node;
    testsupport::ScopedComMapping map(5, node.DevicePath());
    loader->expectedPlatform = "ARM";
    WakeUp();
    Banner("ARM", "USB0");
    Tick();
    port->Feed("Y");
    Tick();
    Tick();
    port->Feed("Y");
    Tick();
    port->Feed("Y");
    Tick(); // the closing record
    EXPECT_FALSE(seen.Logged("Stage 1 Done"));
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_FALSE(loader->GetSecondStageStartupSupport());
}

TEST_F(FirstStage, FullRunAgainstTheCardModel) {
    CardBootModel::Config config;
    config.cards = {{"KTR999", "COM1", "1.0"}, {"KTR567", "COM1", "3.1"}};
    CardBootModel card(config);
    loader->expectedPlatform = "KTR567";
    loader->Execute();
    RunWith(card);
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_EQ(card.NextDevices(), std::vector<int>{0});
    EXPECT_EQ(card.BaudChanges(), std::vector<std::uint32_t>{115200});
    EXPECT_EQ(card.SecondStageImage(), Image("SSL_KTR567"));
    EXPECT_TRUE(card.Done());
}

TEST_F(FirstStage, SilentCardAndMissingAcknowledgementFail) {
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
        config.behaviour = c.behaviour;
        config.recordsAcknowledged = 1;
        CardBootModel card(config);
        loader->expectedPlatform = "KTR557";
        loader->Execute();
        RunWith(card);
        EXPECT_TRUE(seen.Logged(c.message)) << c.message;
        EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
        Tick();
        EXPECT_EQ(seen.completes, std::vector<int>{-2}) << c.message;
    }
}
