// Query Card: the lines it logs for each card, what InternalUse and "bESN" add, and its ends.
#include "MainFormFixture.h"

using namespace quorveltest;

namespace {

class QueryCard : public MainFormTest {
protected:
    // The lines Query Card writes itself, without the engine's request lines.
    QStringList QueryLines() const {
        QStringList lines;
        for (const QString &line : LogLines())
            if (!line.startsWith(QLatin1String("Requesting")) &&
                !line.startsWith(QLatin1String("Queueing")) &&
                !line.startsWith(QLatin1String("Setting First Stage")) && !line.startsWith(dir.path()))
                lines << line;
        return lines;
    }
    void Start(int internalUse, int esn, const std::string &filePlatform, const std::string &type,
               const std::string &card) {
        StoreNumber("InternalUse", internalUse);
        if (esn >= 0)
            StoreNumber("bESN", esn);
        StartWindow();
        ASSERT_TRUE(form->OpenHexFile(FirmwareFile(QStringLiteral("fw.hex"), filePlatform, type)));
        LinkUp(card);
        form->Memo1->clear();
    }
};

TEST_F(QueryCard, InternalUseListsBootStateLoaderVersionAndEsnsThenEachCard) {
    Start(1, 1, "KTR567", "FPGA", "KTR567");
    form->editPSN->setText(QStringLiteral("old"));
    form->editMAC2->setText(QStringLiteral("old"));
    ss->BootCodeType = 3;
    ss->SSLPVersion = "SSLP 2.07";
    ss->CardHWVersion = "HW-2";
    ::DeviceDetails &card = ss->DeviceDetails[0];
    card.PSN = "PSN-0";
    card.OSN = "OSN-0";
    card.ESN = "ESN-0";
    card.HWPlatformType = "TYPE-A";
    card.CardAppVersions[0] = "4.5,b,VALID";
    card.CardAppVersions[1] = "FPGA 7,x";
    form->aiQueryCard->trigger();
    EXPECT_EQ(
        QueryLines(),
        (QStringList{"Number of Cards: 1", "Boot: Debug, Protected", "Second Stage Loader Version: SSLP 2.07",
                     "Platform ID: TYPE-A", "Card: 1, ESN: ESN-0", "Card: 0, PSN: PSN-0",
                     "Card: 0, HW_REV: HW-2", "Card: 0, OSN: OSN-0", "Card: 0, Application SW: 4.5",
                     "Card: 0, FPGA version: FPGA 7,x", "Card SW image is signed and valid", "Done."}));
    EXPECT_TRUE(form->editPSN->text().isEmpty());
    EXPECT_TRUE(form->editMAC2->text().isEmpty());
    EXPECT_EQ(ss->requests.back(), "ResetCard");
    EXPECT_EQ(LoaderInterface->GetLoaderState(), SS_STATE_SHUTDOWN);
    EXPECT_EQ(std::string(LoaderInterface->GetIntendedPlatform()), "KTR567");
}

TEST_F(QueryCard, WithoutInternalUseOrOutsideTheListTheExtraLinesStayOut) {
    Start(0, 1, "KTR567", "APP", "KTR567");
    ss->BootCodeType = 0;
    form->aiQueryCard->trigger();
    for (const QString &line : QueryLines()) {
        EXPECT_FALSE(line.startsWith(QLatin1String("Boot:")));
        EXPECT_FALSE(line.startsWith(QLatin1String("Second Stage")));
        EXPECT_FALSE(line.contains(QLatin1String("ESN")));
        EXPECT_FALSE(line.contains(QLatin1String("FPGA")));
    }
    EXPECT_EQ(QueryLines().back(), "Done.");
    DestroyWindow();

    // A file platform outside the list: no boot lines, but the ESN lines.
    Start(1, 1, "KTR557", "APP", "KTR557");
    form->aiQueryCard->trigger();
    EXPECT_FALSE(QueryLines().join(QLatin1Char('|')).contains(QLatin1String("Boot:")));
    EXPECT_TRUE(QueryLines().contains(QStringLiteral("Card: 1, ESN: 0")));
    DestroyWindow();

    // "bESN" missing: no ESN lines and no error.
    QFile::remove(platform::Registry::FileForKey(settingsKey));
    Start(1, -1, "KTR557", "APP", "KTR557");
    form->aiQueryCard->trigger();
    EXPECT_FALSE(QueryLines().join(QLatin1Char('|')).contains(QLatin1String("ESN")));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(QueryLines().back(), "Done.");
}

TEST_F(QueryCard, EsnLinesCountCardsFromOneTheOthersFromZero) {
    Start(1, 1, "KTR557", "APP", "zqx5");
    ss->DeviceDetails[0].NumberOfCards = 2;
    ss->DeviceDetails[0].PSN = "A";
    ss->DeviceDetails[1].PSN = "B";
    form->aiQueryCard->trigger();
    const QStringList lines = QueryLines();
    EXPECT_EQ(lines.indexOf(QStringLiteral("Card: 1, ESN: 0")), 1);
    EXPECT_EQ(lines.indexOf(QStringLiteral("Card: 2, ESN: 0")), 2);
    EXPECT_EQ(lines.indexOf(QStringLiteral("Card: 0, PSN: A")), 3);
    EXPECT_TRUE(lines.contains(QStringLiteral("Card: 1, PSN: B")));
    EXPECT_EQ(form->iNumCards, 2);
}

TEST_F(QueryCard, ACardCountBeyondTheDeviceTableListsFifteenCards) {
    Start(1, 1, "KTR557", "APP", "zqx5");
    ss->DeviceDetails[0].NumberOfCards = 300;
    form->aiQueryCard->trigger();
    const QStringList lines = QueryLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("Number of Cards: 300")));
    EXPECT_EQ(lines.filter(QStringLiteral(", PSN: ")).size(), 15);
    EXPECT_EQ(lines.filter(QStringLiteral(", ESN: ")).size(), 15);
    EXPECT_EQ(lines.back(), "Done.");
}

TEST_F(QueryCard, ApplicationVersionAndSignatureStatus) {
    struct Case {
        const char *version;
        const char *shown;
        const char *status;
    };
    for (const Case &c :
         {Case{"4.5", "4.5", "Card SW image signature status is UNKNOWN"},
          Case{"4.5,b,NONE", "4.5", "Card SW image is not signed"},
          Case{"4.5,b,INVALID", "4.5", "Card SW image is signed but the signature is invalid"}}) {
        Start(0, -1, "KTR557", "APP", "KTR557");
        ss->DeviceDetails[0].CardAppVersions[0] = c.version;
        form->aiQueryCard->trigger();
        const QStringList lines = QueryLines();
        EXPECT_TRUE(lines.contains(QStringLiteral("Card: 0, Application SW: %1").arg(QLatin1String(c.shown))))
            << c.version;
        EXPECT_EQ(lines[lines.size() - 2], QLatin1String(c.status));
        DestroyWindow();
    }
}

TEST_F(QueryCard, EndsWhenTheLinkIsNotUpOrTheBootTargetIsNoInteger) {
    Start(0, -1, "KTR557", "APP", "KTR557");
    form->editBootTargetID->setText(QStringLiteral("one"));
    form->editOSN->setText(QStringLiteral("old"));
    form->aiQueryCard->trigger();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(ss->requests.empty());
    EXPECT_TRUE(form->editOSN->text().isEmpty());
    EXPECT_TRUE(form->aiQueryCard->isEnabled());
    form->editBootTargetID->setText(QStringLiteral("257")); // an integer no card answers to
    form->aiQueryCard->trigger();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(ss->requests.empty());

    form->editBootTargetID->setText(QStringLiteral("0"));
    ss->EngineState = SS_STATE_STARTUP;
    LoaderInterface->SetFirstStageTimeout(2); // a silent line; the virtual clock runs it out
    form->aiQueryCard->trigger();
    EXPECT_FALSE(QueryLines().contains(QStringLiteral("Done.")));
    EXPECT_EQ(QueryLines().back(), "Unable to reach the card - nothing was queried.");
    EXPECT_TRUE(QueryLines().filter(QStringLiteral("Card:")).isEmpty());
    EXPECT_FALSE(form->IsOperationRunning());
}

} // namespace
