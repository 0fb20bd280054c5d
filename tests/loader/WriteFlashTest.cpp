// Write Flash: the requests each kind of file makes on a ready link, the checks that stop it,
// and the faults around it (link down, bad target ID, re-entry, closing while it waits).
#include "MainFormFixture.h"

#include <QProgressBar>

using namespace quorveltest;
using Requests = std::vector<std::string>;

namespace {

class WriteFlash : public MainFormTest {
protected:
    // Opens a file of that platform and type, with the link up on `card`, and runs Write Flash
    // from its action; returns the requests the card saw.
    Requests Run(const std::string &card, const std::string &filePlatform, const std::string &type,
                 const std::string &destination = "") {
        if (!form)
            StartWindow();
        EXPECT_TRUE(form->OpenHexFile(
            FirmwareFile(QStringLiteral("fw.hex"), filePlatform, type, "1.0", destination)));
        LinkUp(card);
        ss->DeviceDetails[0].CardAppVersions[0] = "0.9";
        form->ProgressBar1->setRange(0, 100);
        form->ProgressBar1->setValue(7);
        form->aiWriteFlash->trigger();
        return ss->requests;
    }
    bool Done() const { return LogLines().back() == QStringLiteral("Done."); }
};

TEST_F(WriteFlash, Zqx5FilesTakeTheirOwnBranchesWithoutPlatformCheckOrPacketTimeout) {
    EXPECT_EQ(Run("zqx5", "zqx5", "APP"),
              (Requests{"SetDebug", "EraseApplication(0)@0", "ProgramCard(0)@0", "ResetCard"}));
    EXPECT_TRUE(Done());
    EXPECT_EQ(form->ProgressBar1->value(), form->ProgressBar1->maximum());
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_TRUE(form->aiWriteFlash->isEnabled());
    DestroyWindow();

    EXPECT_EQ(Run("zqx5", "zqx5", "PIC"),
              (Requests{"SetDebug", "EraseApplication(3)@3", "ProgramCard(0)@3", "ResetCard"}));
    DestroyWindow();

    StartWindow();
    form->editPSN->setText(QStringLiteral("P-0"));
    form->editEnclosurePSN->setText(QStringLiteral("P-2"));
    EXPECT_EQ(Run("zqx5", "zqx5", "BOOT"), (Requests{"SetDebug", "EraseBootCode(0)@0", "ProgramCard(0)@0",
                                                     "SetPSN@0=P-0", "SetPSN@2=P-2", "ResetCard"}));
    EXPECT_TRUE(Done());
}

TEST_F(WriteFlash, ListedFilesEraseAndProgramTheTargetCard) {
    StartWindow();
    form->editComponentID->setText(QStringLiteral("2"));
    EXPECT_EQ(Run("KTR557", "KTR557", "NVM"),
              (Requests{"SetDebug", "GetSWPlatform@2", "SetPacketTimeout=60", "RequestResetNVM(0)@2",
                        "ProgramCard(0)@2", "ResetCard"}));
    EXPECT_TRUE(Done());
    DestroyWindow();

    StartWindow();
    form->editComponentID->setText(QStringLiteral("1"));
    EXPECT_EQ(Run("KTR557", "KTR557", "DATA3"),
              (Requests{"SetDebug", "GetSWPlatform@1", "SetPacketTimeout=60", "RequestResetData(0,3)@1",
                        "ProgramCard(0)@1", "ResetCard"}));
    DestroyWindow();

    // A type of exactly "DATA", an FPGA file for another platform and a file platform outside
    // the list do nothing to the card and still end with "Done.".
    for (const auto &[platform, type] : {std::pair{"KTR557", "DATA"}, std::pair{"KTR557", "FPGA"}}) {
        EXPECT_EQ(Run("KTR557", platform, type),
                  (Requests{"SetDebug", "GetSWPlatform@0", "SetPacketTimeout=60", "ResetCard"}))
            << type;
        EXPECT_TRUE(Done());
        DestroyWindow();
    }
    EXPECT_EQ(Run("KTR557", "NOSUCH", "APP"),
              (Requests{"SetDebug", "GetSWPlatform@0", "SetPacketTimeout=60", "ResetCard"}));
    EXPECT_TRUE(Done());
}

TEST_F(WriteFlash, OptimizedLoadingSkipsAnApplicationAlreadyOnTheCard) {
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "APP", "1.0"));
    LinkUp("KTR557");
    ss->DeviceDetails[0].CardAppVersions[0] = "1.0,x";
    form->aiWriteFlash->trigger();
    EXPECT_EQ(ss->requests, (Requests{"SetDebug", "GetSWPlatform@0", "SetPacketTimeout=60",
                                      "GetCardAppVersion@0", "ResetCard"}));
    EXPECT_EQ(LoaderInterface->GetOptiLoadThreshold(), 50);
    EXPECT_TRUE(Done());

    // Off: the threshold of 100 and always erase and program.
    form->cbOptimizedLoading->trigger();
    ss->requests.clear();
    LinkUp("KTR557");
    ss->DeviceDetails[0].CardAppVersions[0] = "1.0,x";
    form->aiWriteFlash->trigger();
    EXPECT_EQ(ss->requests, (Requests{"SetDebug", "GetSWPlatform@0", "SetPacketTimeout=60",
                                      "EraseApplication(0)@0", "ProgramCard(0)@0", "ResetCard"}));
    EXPECT_EQ(LoaderInterface->GetOptiLoadThreshold(), 100);
    DestroyWindow();

    // A card of the application-program group says so.
    StoreNumber("Optimized Loading", 1);
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "Q8BXN", "APP", "1.0"));
    LinkUp("Q8BXN");
    ss->DeviceDetails[0].CardAppVersions[0] = "1.0";
    form->aiWriteFlash->trigger();
    EXPECT_TRUE(Logged(QStringLiteral("Proceeding...")));
    EXPECT_EQ(std::count(ss->requests.begin(), ss->requests.end(), "EraseApplication(0)@0"), 0);
}

TEST_F(WriteFlash, FpgaFilesProgramDeviceOneExceptOnP8tb) {
    StartWindow();
    form->cbOptimizedLoading->trigger();
    EXPECT_EQ(Run("KTR567", "KTR567", "FPGA"),
              (Requests{"SetDebug", "GetSWPlatform@0", "SetPacketTimeout=60", "EraseApplication(0)@1",
                        "ProgramCard(0)@1", "ResetCard"}));
    EXPECT_TRUE(Logged(QStringLiteral("Detected FPGA load, erasing FPGA...")));
    EXPECT_TRUE(Logged(QStringLiteral("Programming FPGA...")));
    DestroyWindow();

    EXPECT_EQ(Run("P8TB", "KTR567", "FPGA"),
              (Requests{"SetDebug", "GetSWPlatform@0", "SetPacketTimeout=60", "ResetCard"}));
    EXPECT_TRUE(Logged(QStringLiteral("*** Programming CPLD not supported on P8TB ***")));
    EXPECT_FALSE(Done());
}

TEST_F(WriteFlash, BootCodeKeepsTheIdentityAndWritesItBack) {
    StartWindow();
    form->editMAC1->setText(QStringLiteral(" 00:11:22:33:44:55 "));
    form->OpenHexFile(FirmwareFile(QStringLiteral("boot.hex"), "KTR557", "BOOT"));
    LinkUp("KTR557");
    ss->DeviceDetails[0].PSN = "9UE0001";
    ss->DeviceDetails[0].OSN = " OSN-7 ";
    ss->DeviceDetails[0].ESNModifier = "MOD";
    ss->DeviceDetails[0].HWPlatformType = "TYPE";
    ss->CardHWVersion = "HW-2";
    ss->BootCodeType = 1;
    form->aiWriteFlash->trigger();
    EXPECT_EQ(ss->requests, (Requests{"SetDebug",
                                      "GetSWPlatform@0",
                                      "SetPacketTimeout=60",
                                      "GetPSN@0",
                                      "GetOSN@0",
                                      "GetHWVersion@0",
                                      "GetESNModifier@0",
                                      "GetHWPlatformType@0",
                                      "GetBootCodeType@0",
                                      "GetHWCapabilities@0",
                                      "EraseBootCode(0)@0",
                                      "ProgramCard(0)@0",
                                      "SetPSN@0=9UE0001",
                                      "SetESNModifier@0=MOD",
                                      "SetHWPlatformType@0=TYPE",
                                      "SetOSN@0=OSN-7",
                                      "SetHWVersion@0=HW-2",
                                      "SetHWCapabilities@0",
                                      "SetMAC@0=00:11:22:33:44:55",
                                      "ResetCard"}));
    EXPECT_TRUE(Logged(QStringLiteral("Setting MAC 0")));
    EXPECT_TRUE(Done());
}

TEST_F(WriteFlash, AfterLoaderAbortNoRequestIsSaidToGoOut) {
    StartWindow();
    form->editMAC1->setText(QStringLiteral("00:11:22:33:44:55"));
    form->OpenHexFile(FirmwareFile(QStringLiteral("boot.hex"), "KTR557", "BOOT"));
    LinkUp("KTR557");
    ss->DeviceDetails[0].PSN = "9UE0001";
    ss->duringRequest = [this](int state) { // the PSN request times out a third time
        if (state == 8) {
            LoaderInterface->Abort();
            ss->EngineState = SS_STATE_STARTUP;
        }
    };
    form->aiWriteFlash->trigger();
    EXPECT_EQ(ss->requests.back(), "GetPSN@0");
    for (const char *line :
         {"Requesting OSN...", "Requesting HW_Ver...", "Erasing Boot Code...", "Setting MAC 0"})
        EXPECT_FALSE(Logged(QString::fromLatin1(line))) << line;
    EXPECT_FALSE(Done());
}

TEST_F(WriteFlash, BootCodeGatesOnPsnInternalUseAndProtection) {
    struct Case {
        std::string psn;
        int internalUse;
        int bootCodeType;
        std::string filePlatform;
        const char *line; // the refusal logged, or nullptr when the load goes ahead
        bool capabilities;
    };
    for (const Case &c : {Case{"9XX0001", 0, 1, "KTR557", "Unknown file type - Unable to proceed.", false},
                          Case{"9DU0001", 0, 1, "KTR557", nullptr, true},
                          Case{"9TW0001", 0, 1, "KTR557", "Unknown file type - Unable to proceed.", false},
                          Case{"9TW0001", 1, 1, "KTR557", nullptr, false},
                          Case{"9UE0001", 0, 3, "KTR557", "Protected - Unable to proceed.", false},
                          Case{"9UE0001", 0, 2, "GARVO9", nullptr, true}}) {
        StoreNumber("InternalUse", c.internalUse);
        StartWindow();
        form->OpenHexFile(FirmwareFile(QStringLiteral("boot.hex"), c.filePlatform, "BOOT"));
        LinkUp("KTR557");
        ss->DeviceDetails[0].PSN = c.psn;
        ss->BootCodeType = static_cast<std::uint8_t>(c.bootCodeType);
        form->aiWriteFlash->trigger();
        const auto has = [this](const char *r) {
            return std::count(ss->requests.begin(), ss->requests.end(), r) > 0;
        };
        EXPECT_EQ(has("EraseBootCode(0)@0"), c.line == nullptr) << c.psn << " " << c.filePlatform;
        EXPECT_EQ(has("GetHWCapabilities@0"), c.capabilities) << c.psn;
        EXPECT_EQ(has("SetHWCapabilities@0"), c.capabilities) << c.psn;
        if (c.line) {
            EXPECT_TRUE(Logged(QString::fromLatin1(c.line))) << c.psn;
        }
        // A refusal is the run's result: nothing was programmed.
        EXPECT_EQ(Done(), c.line == nullptr) << c.psn;
        DestroyWindow();
    }
}

TEST_F(WriteFlash, SoftwarePlatformCheckStopsAMismatchOnMultiCardLinks) {
    StartWindow();
    form->editComponentID->setText(QStringLiteral("1"));
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "APP", "1.0", "4.00"));
    LinkUp("zqx5");
    ss->DeviceDetails[0].NumberOfCards = 2;
    ss->DeviceDetails[1].SWPlatform = "3.10";
    form->ProgressBar1->setValue(7);
    form->aiWriteFlash->trigger();
    EXPECT_EQ(ss->requests, (Requests{"SetDebug", "GetSWPlatform@1", "GetNumCards@0", "ResetCard"}));
    EXPECT_TRUE(Logged(
        QStringLiteral("Software Platform Incorrect - File is for 4.00, target board 1 is 3.10. Aborted.")));
    EXPECT_EQ(LogLines().back(), "Aborted.");
    EXPECT_FALSE(Logged(QStringLiteral("Done.")));
    EXPECT_EQ(form->ProgressBar1->value(), 7);
    EXPECT_EQ(form->bBusy, 0);
    DestroyWindow();

    // "TWYN" on a card at "3.00" passes.
    StartWindow();
    form->editComponentID->setText(QStringLiteral("1"));
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "NVM", "1.0", "TWYN"));
    LinkUp("zqx5");
    ss->DeviceDetails[0].NumberOfCards = 2;
    ss->DeviceDetails[1].SWPlatform = "3.00";
    form->aiWriteFlash->trigger();
    EXPECT_TRUE(Done());
}

TEST_F(WriteFlash, InsideAScriptTheLinkStaysUpButAMismatchStillEndsIt) {
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("nvm.hex"), "KTR557", "NVM"));
    LinkUp("KTR557");
    form->bScriptRunning = 1;
    form->aiWriteFlashExecute();
    EXPECT_EQ(ss->requests.back(), "ProgramCard(0)@0");
    EXPECT_TRUE(Done());
    EXPECT_EQ(form->bBusy, 0);

    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "APP", "1.0", "4.00"));
    LinkUp("zqx5");
    ss->requests.clear();
    ss->DeviceDetails[0].NumberOfCards = 2;
    ss->DeviceDetails[0].SWPlatform = "3.10";
    form->aiWriteFlashExecute();
    EXPECT_EQ(ss->requests.back(), "ResetCard");
    EXPECT_EQ(LogLines().back(), "Aborted.");
}

TEST_F(WriteFlash, LinkDownSaysTheCardWasNotReachedInsteadOfDone) {
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "APP"));
    LoaderInterface->SetFirstStageTimeout(2); // a silent line; the virtual clock runs it out
    form->ProgressBar1->setValue(7);
    form->aiWriteFlash->trigger();
    EXPECT_TRUE(ss->requests.empty() || ss->requests == Requests{"SetDebug"});
    EXPECT_FALSE(Logged(QStringLiteral("Done.")));
    EXPECT_EQ(LogLines().back(), "Unable to reach the card - nothing was written.");
    EXPECT_LT(form->ProgressBar1->value(), form->ProgressBar1->maximum());
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_TRUE(form->aiWriteFlash->isEnabled());

    // A file that can no longer be read when the run begins opens no port: the file is named.
    ASSERT_TRUE(QFile::remove(form->sFileName));
    form->aiWriteFlash->trigger();
    EXPECT_EQ(LogLines().back(), "File " + form->sFileName + " rejected - nothing was written.");
    EXPECT_FALSE(form->aiWriteFlash->isEnabled());
}

TEST_F(WriteFlash, FailedProgrammingSaysSoInsteadOfDone) {
    // Each branch that programs: the card never acknowledges the program data.
    for (const auto &[card, platform, type] :
         {std::tuple{"zqx5", "zqx5", "APP"}, std::tuple{"KTR557", "KTR557", "APP"},
          std::tuple{"KTR933", "KTR567", "FPGA"}}) {
        StartWindow();
        ss->duringRequest = [this](int state) {
            if (state == 12) {
                ss->AckReceived = false;
                LoaderInterface->SetProgressRange(100);
                LoaderInterface->SetProgress(40);
            }
        };
        const Requests requests = Run(card, platform, type);
        EXPECT_NE(std::find(requests.begin(), requests.end(), "ResetCard"), requests.end()) << type;
        EXPECT_FALSE(Logged(QStringLiteral("Done."))) << type;
        EXPECT_EQ(LogLines().back(), "The card was not fully programmed.") << type;
        EXPECT_EQ(form->ProgressBar1->value(), 40) << "left where it stopped";
        EXPECT_EQ(form->bBusy, 0);
        EXPECT_EQ(form->bScriptAbort, 0) << "outside a script nothing is left to abort";
        DestroyWindow();
    }
    // A failed request ends the run, so the reset cannot go out; inside a script none is asked
    // for, and the run is marked aborted, so it cannot end as a success.
    for (const int script : {0, 1}) {
        StartWindow();
        ss->duringRequest = [this](int state) {
            if (state == 12) {
                ss->AckReceived = false;
                LoaderInterface->LoaderStage = CLEAN_UP;
            }
        };
        form->bScriptRunning = script;
        Run("KTR557", "KTR557", "APP");
        EXPECT_EQ(form->bScriptAbort, script);
        EXPECT_FALSE(Logged(QStringLiteral("Queueing reset request...")));
        EXPECT_EQ(LogLines().back(), "The card was not reset - power it off and on before trying again.");
        form->bScriptRunning = 0;
        DestroyWindow();
    }
}

TEST_F(WriteFlash, TargetCardIdMustBeAnIntegerFrom0To14) {
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "APP"));
    for (const char *id : {"15", "-1", "x", ""}) {
        LinkUp("KTR557");
        boxes.clear();
        form->editComponentID->setText(QString::fromLatin1(id));
        form->aiWriteFlash->trigger();
        EXPECT_EQ(boxes.size(), 1u) << id;
        EXPECT_TRUE(ss->requests.empty()) << id;
        EXPECT_EQ(form->bBusy, 0);
        EXPECT_TRUE(form->aiWriteFlash->isEnabled());
    }
    form->editComponentID->setText(QStringLiteral("14"));
    for (const char *id : {"1x", "257"}) {
        boxes.clear();
        form->editBootTargetID->setText(QString::fromLatin1(id));
        form->aiWriteFlash->trigger();
        EXPECT_TRUE(ss->requests.empty());
        EXPECT_EQ(boxes.size(), 1u) << id;
    }
    EXPECT_EQ(boxes.back(), "Boot target card ID 257 is out of range (0 to 14)");
}

TEST_F(WriteFlash, AnEngineStepThatThrowsShowsTheBoxAndEndsTheBusyState) {
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "NVM"));
    LinkUp("KTR557");
    ss->duringRequest = [](int state) {
        if (state == 12)
            throw std::runtime_error("port gone");
    };
    form->aiWriteFlash->trigger();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "port gone");
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_FALSE(form->IsOperationRunning());
    EXPECT_TRUE(form->aiQueryCard->isEnabled());
}

TEST_F(WriteFlash, NothingElseStartsWhileAnOperationWaits) {
    const QString other = FirmwareFile(QStringLiteral("other.hex"), "KTR557", "APP");
    StoreText("FileHistory0", other);
    StartWindow();
    form->OpenHexFile(FirmwareFile(QStringLiteral("nvm.hex"), "KTR557", "NVM"));
    LinkUp("KTR557");
    int checks = 0;
    ss->duringRequest = [&](int state) {
        if (state != 12)
            return;
        ++checks;
        for (QAction *action : {form->aiWriteFlash, form->aiQueryCard, form->aiFileOpen,
                                form->aiOpenScriptFile, form->aiRunScript, RecentItem(0)})
            EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
        EXPECT_TRUE(form->aiAbort->isEnabled());
        const std::size_t before = ss->requests.size();
        form->aiQueryCardExecute();
        form->bScriptRunning = 1; // nor inside a script's wait
        form->aiQueryCardExecute();
        form->bScriptRunning = 0;
        form->aiWriteFlashExecute();
        form->aiFileOpenExecute();
        form->FileHistoryClick(RecentItem(0));
        EXPECT_EQ(ss->requests.size(), before);
        EXPECT_TRUE(fileDialogs.empty());
        EXPECT_NE(form->sFileName, other);
    };
    form->aiWriteFlash->trigger();
    EXPECT_EQ(checks, 1);

    // Query Card sets no busy flag, yet Write Flash may not start inside it either.
    LinkUp("KTR557");
    checks = 0;
    ss->duringRequest = [&](int state) {
        if (state != 8)
            return;
        ++checks;
        EXPECT_FALSE(form->aiWriteFlash->isEnabled());
        const std::size_t before = ss->requests.size();
        form->aiWriteFlashExecute();
        EXPECT_EQ(ss->requests.size(), before);
    };
    form->aiQueryCard->trigger();
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(form->aiWriteFlash->isEnabled());
}

TEST_F(WriteFlash, ClosingWhileItWaitsAbortsThenQuitsThenStoresTheSettings) {
    StartWindow();
    form->show();
    form->OpenHexFile(FirmwareFile(QStringLiteral("nvm.hex"), "KTR557", "NVM"));
    LinkUp("KTR557");
    form->iPort = 4; // stored only at exit
    LoaderInterface->MaintainComms(4, 115200, 9600);
    bool closedInside = true;
    ss->duringRequest = [&](int state) {
        if (state != 10)
            return;
        form->aiExit->trigger();
        closedInside = !form->isVisible();
        EXPECT_NE(LoaderInterface, nullptr);
        EXPECT_TRUE(LoaderInterface->IsAborted());
    };
    form->aiWriteFlash->trigger();
    EXPECT_FALSE(closedInside);
    EXPECT_FALSE(Stored("Port"));
    QCoreApplication::processEvents(); // the quit that waited for the operation to unwind
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->bBusy, 0);
    DestroyWindow();
    EXPECT_EQ(StoredNumber("Port"), 4);
}

} // namespace
