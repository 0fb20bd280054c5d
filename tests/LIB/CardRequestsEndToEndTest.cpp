// The facade's card requests and its failure paths against the card stand-in over a real
// pseudo-terminal: what is refused sends nothing, and what fails is reported as a failure.
#include "CardStandInFixture.h"

#include "FileFaults.h"

#include <unistd.h>

using namespace cardtest;

namespace {

class CardRequests : public CardTest {
protected:
    int Requests() {
        auto hold = card->SecondStage().Lock();
        return static_cast<int>(card->SecondStage().requests.size());
    }
    void Link(const std::string &file) { ASSERT_EQ(loader->EstablishLink(Write(file).c_str()), 1) << Last(); }
};

// Opening and closing it switches the card's power, as the power port does.
class PowerSwitch : public testsupport::FakeComPort {
public:
    std::function<void(bool)> onSwitch;

protected:
    void DoOpen() override {
        FakeComPort::DoOpen();
        if (onSwitch)
            onSwitch(true);
    }
    void DoClose() override {
        FakeComPort::DoClose();
        if (onSwitch)
            onSwitch(false);
    }
};

const std::string appFile = Firmware("S0~P~KTR557\nS0~T~APP\nS0~V~7.01\n", 0x00400000);

} // namespace

TEST_F(CardRequests, SignOnInTheSameWriteAsTheLastAcknowledgementIsSeen) {
    CardStandIn::Config config = OneCard("KTR557");
    config.signOnWithLastAck = true;
    Start(config);
    Link(appFile);
    EXPECT_FALSE(Logged("TIMEOUT waiting for second stage to start."));
    EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 1);
    Finish();
}

TEST_F(CardRequests, DevicesOutsideTheTableAreRefusedAndNothingIsSent) {
    Start(OneCard("KTR557"));
    Link(appFile);
    const int before = Requests();
    for (int device : {15, -1, 256}) {
        SCOPED_TRACE(device);
        for (const char *text :
             {loader->GetPSN(device), loader->GetESN(device), loader->GetESNModifier(device),
              loader->GetOSN(device), loader->GetHWVersion(device), loader->GetHWPlatformType(device),
              loader->GetSWPlatform(device), loader->GetCardAppVersion(device), loader->GetMAC(device)})
            EXPECT_STREQ(text, "");
        EXPECT_EQ(loader->GetHWCapabilities(device), nullptr);
        for (int result :
             {loader->GetNumCards(device), loader->GetBootCodeType(device), loader->SetPSN(device, "X"),
              loader->SetESNModifier(device, "X"), loader->SetHWVersion(device, "X"),
              loader->SetHWCapabilities(device), loader->SetOSN(device, "X"),
              loader->SetMAC(device, "00-00-00-00-00-01"), loader->SetHWPlatformType(device, "X"),
              loader->SetMarker(device), loader->RequestResetNVM(device), loader->RequestResetData(device, 1),
              loader->EraseApplication(device), loader->EraseBootCode(device), loader->ProgramCard(device),
              loader->CheckForOptiLoad(device), loader->GetCardAppSignatureStatus(device)})
            EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(Requests(), before) << "nothing reached the card";
    EXPECT_EQ(loader->GetDeviceID(), 0);

    // The last device of the table is asked as any other.
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[14].psn = "LAST";
    }
    EXPECT_STREQ(loader->GetPSN(14), "LAST");
    EXPECT_EQ(loader->GetDeviceID(), 14);
    Finish();
}

TEST_F(CardRequests, IdentityRequestsAnswerFromTheCardAndLogByDebugLevel) {
    Start(OneCard("KTR557"));
    Link(appFile);
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[2].esn = "ESN-2";
        card->SecondStage().devices[0].appVersion = " 7.01,B,VALID ";
    }
    seen.messages.clear();
    EXPECT_STREQ(loader->GetESN(2), "ESN-2");
    EXPECT_STREQ(loader->GetPSN(2), "PSN-0001");
    EXPECT_EQ(seen.messages, std::vector<std::string>{"Requesting PSN..."}) << "the ESN line is a debug line";

    loader->debugLevel = 255;
    seen.messages.clear();
    EXPECT_STREQ(loader->GetESN(2), "ESN-2");
    EXPECT_TRUE(Logged("Requesting ESN..."));
    EXPECT_TRUE(Logged("ESN Request Handled"));
    loader->debugLevel = 0;

    // The signature field of the application version, and a card that already holds the file's
    // version: nothing erased or programmed, and still "Done.".
    loader->SetDeviceID(0);
    EXPECT_EQ(loader->GetCardAppSignatureStatus(0), -2);
    EXPECT_EQ(loader->CheckForOptiLoad(0), 0) << "switched off at 100";
    loader->SetOptiLoadThreshold(50);
    EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 1);
    EXPECT_TRUE(Logged("Desired SW already is on board"));
    EXPECT_TRUE(Logged("Done."));
    EXPECT_TRUE(Erases().empty());
    EXPECT_TRUE(CardMemory(0).empty());
    Finish();
}

TEST_F(CardRequests, ProgramCardReportsEveryFailure) {
    // Refused: no link, even with an acknowledgement left over from earlier.
    Start(OneCard("KTR557"));
    ASSERT_TRUE(loader->SetFileName(Write(appFile).c_str()));
    loader->pclMySecondStage->AckReceived = true;
    EXPECT_EQ(loader->ProgramCard(0), 0);
    EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 0);
    EXPECT_FALSE(Logged("Downloading...")) << "nothing is said to go out";
    EXPECT_FALSE(Logged("Download Complete"));

    // Aborted: the card answers the programming with its error reply.
    Link(appFile);
    card->SecondStage().SetErrorReply(30, 0x51, "flash locked");
    EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 0);
    EXPECT_TRUE(Logged("Error: Code 00000051: flash locked"));
    EXPECT_FALSE(Logged("Aborted!")) << "the error replaced the acknowledgement: no line of its own";
    EXPECT_FALSE(Logged("Download Complete"));
    EXPECT_FALSE(Logged("Done."));
    TearDown();

    // A wrong checksum 6 KB into the file: refused before anything is erased, naming the line;
    // the link stays up for the next file.
    Start(OneCard("KTR557"));
    std::string broken = appFile;
    const auto line = broken.find("S3", 6000);
    broken[line + 20] = broken[line + 20] == '0' ? '1' : '0';
    const auto lineNumber = 1 + std::count(broken.begin(), broken.begin() + static_cast<long>(line), '\n');
    Link(broken);
    EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 0);
    EXPECT_TRUE(
        Logged("BAD line " + std::to_string(lineNumber) + " in hex file - nothing erased or programmed"))
        << Last();
    EXPECT_TRUE(Erases().empty());
    EXPECT_TRUE(Codes({30}).empty()) << "no program data";
    EXPECT_TRUE(CardMemory(0).empty());
    EXPECT_FALSE(Logged("Done."));
    EXPECT_EQ(loader->GetLoaderState(), SS_STATE_IDLE);
    EXPECT_EQ(loader->ProgramCard(0), 0) << "the refused file is not programmed later either";
    Finish();
}

TEST_F(CardRequests, FileGoneOrUnreadableSinceItsHeaderWasReadIsRefusedBeforeTheErase) {
    // Moved away before the UPDATE (0), or its reads fail from the first (1): a read error that
    // returns no part of a line is no end of the file either. Another card's file copied over it
    // (2), and a file of nothing but its header (3), are refused too; each before the erase is
    // announced.
    for (const int fault : {0, 2, 3, 1}) { // the unreadable file last: it stays so
        SCOPED_TRACE(fault);
        Start(OneCard("KTR557"));
        Link(appFile);
        const std::string path = loader->GetFilename();
        std::string said = "Cannot read file " + path + " - nothing erased or programmed";
        if (fault == 0)
            ASSERT_EQ(std::remove(path.c_str()), 0);
        else if (fault == 1)
            testsupport::MakeUnreadable(path);
        else if (fault == 2)
            said = "File " + Write(Firmware("S0~P~KTR933\nS0~T~APP\nS0~V~7.01\n", 0x00400000)) +
                   " has changed since it was opened - nothing erased or programmed";
        else
            said = "File " + Write("S0~P~KTR557\nS0~T~APP\nS0~V~7.01\n") +
                   " has no data records - nothing erased or programmed";
        EXPECT_EQ(loader->ProgramFile(path.c_str()), 0);
        EXPECT_EQ(Last(), said);
        EXPECT_FALSE(Logged("Erasing Application ..."));
        EXPECT_TRUE(Erases().empty());
        EXPECT_FALSE(Logged("Done."));
        Finish();
        TearDown();
    }
}

TEST_F(CardRequests, FileChangedWhileItIsProgrammedDoesNotReachTheCard) {
    // A same-size rebuild differs from the file only in its data (its build stamp).
    auto build = [](std::uint8_t stamp) {
        std::string lines;
        for (std::uint32_t at = 0; at < 120000; at += 32)
            lines += SRecord('3', 0x00500000 + at, std::vector<std::uint8_t>(32, stamp)) + "\n";
        return Firmware("S0~P~KTR557\nS0~T~APP\nS0~V~7.01\n", 0x00400000) + lines +
               EndRecord('7', 0x00400000);
    };
    const std::string big = build(1);
    const std::string rebuilt = build(2);
    ASSERT_EQ(rebuilt.size(), big.size());
    // Once the card holds three payloads: the file is cut half way (a copy over it) at a line end
    // or inside a line, or a rebuild of the same size is copied over it (0). The card gets the
    // image the scan before the erase read and checked, whole.
    const auto half = static_cast<long>(big.find('\n', big.size() / 2) + 1);
    for (const long cutAt : {half, half + 11, 0L}) {
        SCOPED_TRACE(cutAt);
        Start(OneCard("KTR557"));
        Link(big);
        const std::string path = loader->GetFilename();
        QTimer during;
        QObject::connect(&during, &QTimer::timeout, [&] {
            if (Codes({30}).size() < 3)
                return;
            during.stop();
            if (cutAt > 0)
                ASSERT_EQ(::truncate(path.c_str(), cutAt), 0);
            else
                Write(rebuilt);
        });
        during.start(1);
        EXPECT_EQ(loader->ProgramFile(path.c_str()), 1) << Last();
        EXPECT_TRUE(Logged("Done."));
        EXPECT_TRUE(CardMemory(0) == FileData(big, 0)) << "the card holds the scanned image, whole";
        TearDown();
    }
}

TEST_F(CardRequests, Zqx5BranchesReportWhatTheProgrammingDid) {
    for (const char *type : {"APP", "BOOT", "PIC"}) {
        SCOPED_TRACE(type);
        Start(OneCard("zqx5", false));
        std::string file = Firmware(std::string("S0~P~zqx5\nS0~T~") + type + "\n", 0x00020000, '9');
        const auto line = file.find("S3", file.size() / 2);
        file[line + 20] = file[line + 20] == '0' ? '1' : '0';
        Link(file);
        EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 0);
        EXPECT_FALSE(Logged("Done."));
        TearDown();
    }
}

TEST_F(CardRequests, EstablishLinkPowerCyclesTheCardOncePerCall) {
    // The card stays off: one power cycle, then the search gives up.
    auto power = std::make_unique<PowerSwitch>();
    PowerSwitch *powerPort = power.get();
    Start(OneCard("KTR557"), std::move(power));
    card->SetPowered(false);
    loader->SetPowerComPort(7);
    EXPECT_EQ(loader->EstablishLink(Write(appFile).c_str()), 0);
    EXPECT_EQ(Count("EstablishLink() retrying via power cycle... "), 1);
    EXPECT_TRUE(Logged("Card not found!"));
    EXPECT_EQ(powerPort->opens, 1);
    TearDown();

    // The card comes up when the power comes back.
    power = std::make_unique<PowerSwitch>();
    powerPort = power.get();
    Start(OneCard("KTR557"), std::move(power));
    card->SetPowered(false);
    powerPort->onSwitch = [this](bool on) {
        card->SetPowered(on);
        fastForward = !on; // from now on the card answers at the pace of the line
    };
    loader->SetPowerComPort(7);
    EXPECT_EQ(loader->EstablishLink(Write(appFile).c_str()), 1) << Last();
    EXPECT_EQ(Count("EstablishLink() retrying via power cycle... "), 1);
    EXPECT_EQ(loader->ProgramFile(loader->GetFilename().c_str()), 1);
    EXPECT_EQ(CardMemory(0), FileData(appFile, 0));
    Finish();
}
