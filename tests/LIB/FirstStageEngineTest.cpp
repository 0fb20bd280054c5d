#include "BootRecords.h"
#include "BootStageTestSupport.h"
#include "BuiltInImages.h"
#include "Dialogs.h"
#include "FSEngine.h"
#include "FileFaults.h"
#include "PseudoTerminal.h"
#include "TpclMyCommStats.h"

#include <fstream>

using namespace bootstagetest;
using testsupport::CardBootModel;

namespace {

class FirstStage : public BootStageTest {
protected:
    FSEngine &fs() { return *loader->pclMyFirstStage; }
    // Starts a run for a file of the expected platform and ticks through the wake-up.
    void WakeUp(const char *expected = "KTR557") {
        loader->expectedPlatform = expected;
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
    // From an accepted banner through the acknowledged baud change to the download.
    void ToDownload() {
        Tick();
        port->Feed("Y");
        Tick();
        Sent();
    }
    // Sends and acknowledges records until the stage is done; returns what went out.
    std::string Download() {
        std::string records;
        for (int i = 0; i < 10 && !seen.Logged("Stage 1 Done"); ++i) {
            Tick();
            records += Sent();
            port->Feed("Y");
        }
        return records;
    }
    void WriteLoaderFile(const std::string &bytes) {
        std::ofstream out((dir.path() + "/KTR999_ssl.c").toStdString());
        for (unsigned char b : bytes)
            out << " 0x" << std::hex << int(b) << ",\n";
    }
};

std::string Image(const char *name) {
    const auto image = builtinimages::Load(name);
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::string NextDevice(int id) {
    const bootrecords::Header r =
        bootrecords::MakeNextDevice(bootrecords::FirstStageNextDeviceTemplate, static_cast<std::uint8_t>(id));
    return std::string(r.begin(), r.end());
}

} // namespace

TEST_F(FirstStage, WakesWithTwoBreaksSpacedByWholeSecondsThenTheResetCommand) {
    loader->Execute();
    Tick();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->GetComNumber(), 5);
    EXPECT_EQ(port->GetBaud(), 9600);
    EXPECT_EQ(loader->pclMyTimer->interval(), 10);
    ExpectBreakWakeUp('\x16');
}

TEST_F(FirstStage, BreakSpacingFromTheSettingsOnlyForInternalUse) {
    {
        ScopedEngineSettings settings{{"InternalUse", 1}, {"Break Spacing MS", 3000}};
        MakeLoader();
        loader->Execute();
        Tick();
        Tick();
        Advance(3);
        Tick();
        EXPECT_EQ(port->breaks.size(), 1u);
        Advance(1);
        Tick();
        EXPECT_EQ(port->breaks.size(), 2u) << "with 3000 ms, after four whole seconds";
    }
    {
        // Longer than the whole search: the default, said once for the window to show.
        ScopedEngineSettings settings{{"InternalUse", 1}, {"Break Spacing MS", 2147483647}};
        MakeLoader();
        EXPECT_EQ(fs().GetBreakSpacing(), 1500);
        EXPECT_EQ(loader->GetBreakSpacingNote(),
                  "Settings: Break Spacing MS=2147483647 is not from 0 to 30000 - using 1500");
    }
    ScopedEngineSettings settings{{"InternalUse", 0}, {"Break Spacing MS", 3000}};
    MakeLoader();
    EXPECT_EQ(fs().GetBreakSpacing(), 1500);
}

TEST_F(FirstStage, ConnectRateWakesWithoutBreaks) {
    loader->MaintainComms(5, 115200, 4800);
    loader->Execute();
    Tick();
    Tick();
    EXPECT_EQ(port->baudChanges, (std::vector<int>{4800, 9600}));
    Tick();
    EXPECT_TRUE(port->breaks.empty());
    EXPECT_EQ(Sent(), "\x16");
}

TEST_F(FirstStage, MissingPortWaitsUntilItAppears) {
    loader->Execute();
    seen = Seen{};
    port->failNextOpen = testsupport::FakeComPort::OpenFailure::BadId;
    Tick();
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(seen.starts, 1) << "the log is cleared first";
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Waiting for COM Port - Power up receiver..."});
    Tick();
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(fs().GetState(), BootStageEngine::FIRST_BREAK);
}

TEST_F(FirstStage, CountdownRefreshesOnceASecondUntilTheSearchTimesOut) {
    WakeUp();
    seen = Seen{};
    Advance(1);
    Tick();
    Tick();
    ASSERT_EQ(seen.messages.size(), 1u);
    EXPECT_EQ(seen.starts, 1);
    EXPECT_EQ(seen.messages[0], "Searching for card ... timeout in: 25 secs.  Power the unit ON now");
    Advance(23.9);
    Tick();
    EXPECT_TRUE(port->IsOpen()) << "30 whole seconds since the first break are not more than 30";
    Advance(1);
    Tick();
    EXPECT_TRUE(seen.Logged("Card not found!"));
    EXPECT_FALSE(port->IsOpen());
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(FirstStage, ExpectedCardGetsTheBaudChangeWithoutDeviceIDAndItsImage) {
    WakeUp();
    Banner("KTR557");
    for (const char *line :
         {"Card Detected", "2.05 COM1 KTR557\r\nEN", "Found platform: KTR557", "Expecting platform: KTR557"})
        EXPECT_TRUE(seen.Logged(line)) << line;
    EXPECT_STREQ(loader->GetCardCOMDevice(), "COM1");
    EXPECT_EQ(port->GetNotificationLevel(), 8);
    Tick();
    EXPECT_EQ(Sent(), Bytes({0x16, 0x55, 0xAA, 2, 0, 4, 0, 4, 0, 0, 0, 0xC3, 0, 0, 0, 0, 0, 1, 0xC2, 0}));
    port->Feed("xY");
    Tick();
    EXPECT_EQ(port->baudChanges, std::vector<int>{115200});
    EXPECT_TRUE(seen.Logged("Initializing download"));
    EXPECT_EQ(Download(), Image("SSL_ZJ7"));
    EXPECT_TRUE(seen.Logged("Using ZJ7 Second Stage Loader"));
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_TRUE(loader->GetSecondStageStartupSupport());
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
    EXPECT_EQ(loader->GetCommStats().GetPacketsSent(), 4);
    EXPECT_EQ(loader->GetCommStats().GetACKs(), 4);
}

TEST_F(FirstStage, WhichCardsAreAccepted) {
    struct Case {
        const char *card;
        const char *expected;
        bool accepted;
    };
    for (const Case &c :
         {Case{"Q8BXN", "KTR557", true}, Case{"tlvp-q", "X", true}, Case{"SA-1100", "ARM", true},
          Case{"SA-1100", "KTR557", false}, Case{"PXA250", "X", true}, Case{"KTR953T", "X", true},
          Case{"ktr557", "KTR557", false}, Case{"ZJ7", "KTR557", false},
          // Names holding a 'D' are read whole from the banner.
          Case{"U6CD", "X", true}, Case{"Drusk", "Drusk", true}}) {
        MakeLoader();
        sentSoFar = 0;
        WakeUp(c.expected);
        Banner(c.card);
        EXPECT_EQ(fs().GetState(),
                  c.accepted ? BootStageEngine::SEND_BAUD_CHANGE : BootStageEngine::OPEN_PORT)
            << c.card << " for " << c.expected;
        EXPECT_EQ(Sent(), c.accepted ? "" : NextDevice(0)) << c.card;
    }
}

TEST_F(FirstStage, RefusedCardRestartsTheWholeWakeUpWithFreshTimeStamps) {
    WakeUp();
    const std::size_t breaks = port->breaks.size();
    Banner("KTR999");
    EXPECT_EQ(fs().GetState(), BootStageEngine::OPEN_PORT);
    Advance(20);
    Tick();
    Tick();
    EXPECT_EQ(port->breaks.size(), breaks + 1);
    EXPECT_EQ(port->opens, 1) << "the open port is kept";
    Advance(30);
    for (int i = 0; i < 5; ++i)
        Tick();
    EXPECT_TRUE(port->IsOpen()) << "the search time-out counts from the new first break";
}

TEST_F(FirstStage, BannersWithoutTheirThreeWordsAreNoCard) {
    WakeUp();
    Banner("KTR999", "USB3");
    EXPECT_TRUE(loader->IsUSBDevice());
    WakeUp();
    port->Feed("DONE\r\nSerialLoad 2.05 COM1D");
    EXPECT_EQ(fs().GetState(), BootStageEngine::SEARCHING) << "the search goes on";
    EXPECT_EQ(Sent(), "");
    EXPECT_FALSE(loader->IsUSBDevice()) << "the last card's fields are gone";
    EXPECT_STREQ(loader->GetCardPlatform(), "");
}

TEST_F(FirstStage, CardInFrontPassesTheLinkOnWithTheTargetID) {
    loader->SetFirstStageDeviceID(6);
    loader->SetFirstStageTargetID(3);
    EXPECT_EQ(fs().GetTargetID(), 3) << "the later call wins";
    WakeUp();
    Banner("BEXNOR");
    Tick();
    EXPECT_EQ(Sent().substr(8, 8), Bytes({0, 0, 0, 0xC6, 0, 0, 0, 3}));
    EXPECT_TRUE(seen.Logged("Assigning Device ID to: 3"));
    port->Feed("Y");
    seen = Seen{};
    Tick();
    EXPECT_FALSE(seen.Logged("Initializing download")) << "it searches again at the new rate";
    Advance(1);
    Tick();
    EXPECT_EQ(Sent(), "\x16");
    EXPECT_EQ(seen.starts, 0) << "the count-down keeps the log while a target is addressed";
    Banner("KTR557");
    Tick();
    EXPECT_EQ(Sent()[15], 0) << "the expected card behind it gets no device ID";
    port->Feed("Y");
    Tick();
    EXPECT_TRUE(seen.Logged("Initializing download"));
    EXPECT_EQ(fs().GetTargetID(), 0);
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
    for (const Case &c : {Case{"VOKTLRM", 0, NextDevice(0), false}, Case{"ARM", 2, NextDevice(2), false},
                          Case{"ARM", 0, "", true}, Case{"KTR557", 0, "", false}}) {
        MakeLoader();
        sentSoFar = 0;
        boxes.clear();
        loader->filePlatform = c.filePlatform;
        loader->SetFirstStageTargetID(c.target);
        WakeUp("ARM");
        Banner("VOKTLRM");
        EXPECT_EQ(Sent(), c.sent) << c.filePlatform << " " << c.target;
        EXPECT_EQ(loader->IsAborted(), c.aborted ? 1 : 0) << c.filePlatform;
        EXPECT_EQ(boxes, c.aborted
                             ? std::vector<QString>{"Cannot Proceed - File Specifed does not contain a VOKT "
                                                    "Destination ID."}
                             : std::vector<QString>{});
        EXPECT_EQ(fs().GetState(), BootStageEngine::OPEN_PORT);
    }
    platform::SetMessageHandler({});
}

TEST_F(FirstStage, ZqxCardIsPrimedWithTheStartRecord) {
    WakeUp("zqx5");
    Banner("zqx5");
    ToDownload();
    const std::uint32_t before = clock.TickCount();
    EXPECT_EQ(Download(), Bytes({0x16, 0x55, 0xAA, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_GE(clock.TickCount() - before, 1000u);
    EXPECT_TRUE(seen.Logged("Priming ZQX loader"));
    EXPECT_TRUE(seen.Logged("Stage 1 Done"));
    EXPECT_EQ(loader->GetCommStats().GetPacketsSent(), 1) << "only image records count, not the start record";
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
}

namespace {

// A first-stage engine that has read a banner naming the given platform.
class FSEngineForPlatform : public FSEngine {
public:
    FSEngineForPlatform(TLoaderInterface &loader, const char *platform) : FSEngine(loader) {
        bannerFields.platform = platform;
    }
    using FSEngine::SelectSecondStageImage;
};

} // namespace

TEST_F(FirstStage, DruskImageIsOpenedByItsFirstDownloadWhichSetsTheProgressRange) {
    FSEngineForPlatform drusk(*loader, "Drusk");
    EXPECT_EQ(drusk.GetImageBlocks(), 0) << "no size before the image is first needed";
    const auto image = builtinimages::Load("MORVANTI");
    const int blocks = static_cast<int>(image.bytes.size() / 4096);
    seen = Seen{};
    const loaderimage::LoaderImage *chosen = drusk.SelectSecondStageImage();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->bytes, image.bytes);
    EXPECT_EQ(seen.ranges, std::vector<int>{std::max(blocks, 1)}) << "a range is at least 1";
    EXPECT_TRUE(seen.Logged("Using Drusk Second Stage Loader"));
    EXPECT_TRUE(drusk.GetSecondStageStartupSupport());
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
    drusk.SelectSecondStageImage();
    EXPECT_EQ(seen.ranges.size(), 1u) << "only its first use sets the range";
    EXPECT_EQ(drusk.GetImageBlocks(), blocks);
}

TEST_F(FirstStage, UnsupportedProductSendsNothingAndAborts) {
    WakeUp("KTR999");
    Banner("KTR999");
    ToDownload();
    Tick();
    Tick();
    EXPECT_EQ(Sent(), "");
    EXPECT_TRUE(seen.Logged((dir.path() + "/KTR999_ssl.c").toStdString()));
    EXPECT_TRUE(seen.Logged("Unsupported product. Please contact Zandrel Support."));
    EXPECT_EQ(loader->GetLoaderStage(), CLEAN_UP);
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(FirstStage, PlatformLoaderFileBesideTheProgramAndANewRunForgetsIt) {
    const std::string image = Bytes({0x16, 0x55, 0xAA, 2,    1, 1, 0, 2, 0, 0, 0, 0x23, 0, 0, 0, 0x10, 1,
                                     0x12, 0x16, 0x55, 0xAA, 2, 2, 2, 0, 0, 0, 0, 0,    0, 0, 0, 0,    0});
    WriteLoaderFile(image);
    WakeUp("KTR999");
    Banner("KTR999");
    ToDownload();
    EXPECT_EQ(Download(), image);
    EXPECT_TRUE(seen.Logged("Warning! Using External Unknown product Second Stage Loader..."));
    EXPECT_TRUE(loader->IsExternalSecondStage());
    EXPECT_STREQ(loader->GetCardPlatform(), "KTR999") << "the platform keeps the banner's name";
    EXPECT_TRUE(loader->IsMACSupported()) << "an external loader counts as fully featured";
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
    EXPECT_TRUE(loader->GetSecondStageStartupSupport());
    EXPECT_EQ(seen.ranges, std::vector<int>{30}) << "only the run's start sets the progress range";
    EXPECT_EQ(fs().GetImageBlocks(), 0) << "while it is in use the file's size counts";
    loader->Execute();
    EXPECT_FALSE(loader->IsExternalSecondStage());
    EXPECT_FALSE(loader->GetSecondStageStartupSupport());
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 0);
}

TEST_F(FirstStage, BrokenLoaderFileFailsTheStageBeforeAnyRecord) {
    WriteLoaderFile(Bytes({0x16, 0x55, 0xAA, 2, 1, 1, 0, 0x40})); // announces 64 bytes it lacks
    WakeUp("KTR999");
    Banner("KTR999");
    ToDownload();
    Tick();
    EXPECT_EQ(Sent(), "");
    EXPECT_TRUE(seen.Logged("The loader image record at byte 0 runs past the end of the image"));
    Tick();
    EXPECT_EQ(seen.completes, std::vector<int>{-2});
}

TEST_F(FirstStage, SilentCardAndMissingAcknowledgementsFail) {
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
        Tick();
        EXPECT_EQ(seen.completes, std::vector<int>{-2}) << c.message;
    }
}

TEST_F(FirstStage, UsbArmLoaderEndsWithItsLastRecordAndThePortIsReopened) {
    // The device node the port's COM number maps to exists: the USB port "returns" at once.
    testsupport::ScopedComMapping com(5, dir.path());
    WakeUp("ARM");
    Banner("SA-1100", "USB2");
    ToDownload();
    EXPECT_TRUE(seen.Logged("Waiting for USB port to return")) << "after the baud change";
    EXPECT_TRUE(seen.Logged("Proceeeding..."));
    const std::string image = Image("SSL_ARM");
    std::string records;
    for (int i = 0; i < 10 && records.size() < image.size(); ++i) {
        Tick();
        records += Sent();
        if (records.size() < image.size())
            port->Feed("Y");
    }
    EXPECT_EQ(records, image);
    EXPECT_FALSE(seen.Logged("Stage 1 Done")) << "the last record gets no 'Y'";
    seen = Seen{};
    Tick();
    EXPECT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    EXPECT_EQ(seen.messages, (std::vector<std::string>{"Closing USB COM Port", "Opening USB COM Port... ",
                                                       "Waiting for USB port to return", "Proceeeding...",
                                                       "USB COM Port now open..."}));
    EXPECT_TRUE(port->IsOpen());
    EXPECT_FALSE(loader->GetSecondStageStartupSupport()) << "this loader does not sign on over USB";
    EXPECT_EQ(loader->GetIgnoreAppOffset(), 1);
}

TEST_F(FirstStage, PortLogBesideTheProgramStartsAfreshAndCollectsTheRun) {
    const QString logFile = dir.path() + "/Stage1.Log";
    {
        std::ofstream old(logFile.toStdString());
        old << "an earlier run\n";
    }
    loader->SetLogging(1);
    WakeUp();
    EXPECT_FALSE(QFile::exists(logFile)) << "the old log is deleted when the port opens";
    Banner("KTR557");
    ToDownload();
    Download();
    Tick();
    ASSERT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_FALSE(text.contains("an earlier run"));
    EXPECT_TRUE(text.contains("Transmit")) << "the records sent are in it";
    EXPECT_EQ(port->GetLogging(), platform::TraceLogState::On) << "it goes on logging into the next stage";
}

TEST_F(FirstStage, PortLogThatCannotBeWrittenIsSaidOnceAndTheRunGoesOn) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    loader->SetExePath((disk.Path() + "/quorvel").c_str());
    const std::string trace = disk.Path() + "/trace.log";
    std::ofstream(trace) << "an earlier run\n"; // with room left in its last page
    disk.Fill();
    loader->SetLogging(1);
    WakeUp();
    Banner("KTR557");
    ToDownload();
    Download();
    Tick();
    ASSERT_EQ(loader->GetLoaderStage(), LOADER_SECOND_STAGE);
    const std::string line =
        "Unable to write log file " + disk.Path() + "/Stage1.Log - the traffic it should hold is lost";
    EXPECT_EQ(std::count(seen.messages.begin(), seen.messages.end(), line), 1) << "both writes failed";

    // An append that goes in only in part is cut back, so the file holds whole records only.
    port->SetTraceName(QString::fromStdString(trace));
    port->SetTracing(platform::TraceLogState::On);
    port->PutString(std::string(4000, 'x')); // under Qt's buffer, over the room left
    port->SetTracing(platform::TraceLogState::Append);
    std::ifstream in(trace);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an earlier run\n");
}
