// The main window: first start, what exit stores, window placement, the recent files, the
// action rules, the engine callbacks and the two dialogs.
#include "AboutBox.h"
#include "CardBootModel.h"
#include "FileFaults.h"
#include "MainFormFixture.h"
#include "VersionInfo.h"
#include "comset.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <climits>

using namespace quorveltest;

namespace {

const char *const neverWritten[] = {"InternalUse", "InitialDir", "Debug Level", "Logging", "Tracing"};

TEST_F(MainFormTest, FirstStartTakesEveryDefaultAndExitWritesOnlyTheStoredValues) {
    StartWindow();
    EXPECT_EQ(form->StatusPanels[0]->text(), "COM: 1");
    EXPECT_EQ(form->StatusPanels[1]->text(), "Connect: 9600");
    EXPECT_EQ(form->StatusPanels[2]->text(), "Download: 115200");
    for (QAction *enabled : {form->aiFileOpen, form->aiOpenScriptFile, form->aiQueryCard,
                             form->aiCommSettings, form->aiAboutBox, form->aiExit})
        EXPECT_TRUE(enabled->isEnabled()) << enabled->objectName().toStdString();
    for (QAction *disabled : {form->aiWriteFlash, form->aiRunScript, form->aiAbort})
        EXPECT_FALSE(disabled->isEnabled()) << disabled->objectName().toStdString();
    EXPECT_TRUE(form->cbOptimizedLoading->isChecked());
    EXPECT_EQ(form->iPacketTimeout, 60);
    EXPECT_EQ(form->sInitialDir,
              QFileInfo(QApplication::applicationFilePath()).absolutePath() + QStringLiteral("/UPDATES"));
    EXPECT_TRUE(RecentItems().isEmpty());
    EXPECT_TRUE(form->lblDebugLevel->isHidden());
    EXPECT_FALSE(form->editComponentID->isHidden());
    EXPECT_FALSE(form->editBootTargetID->isHidden());
    EXPECT_EQ(form->size(), QSize(798, 560));
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - centre).manhattanLength(), 2);
    form->show(); // everything fits the designed size
    EXPECT_EQ(form->size(), QSize(798, 560));

    form->iDebugLevel = 255; // as a script's DEBUG would
    DestroyWindow();
    for (const char *name : {"Left", "Top", "Width", "Height"})
        EXPECT_TRUE(Stored(name)) << name;
    EXPECT_EQ(StoredNumber("Width"), 798);
    EXPECT_EQ(StoredNumber("Port"), 1);
    EXPECT_EQ(StoredNumber("Baudrate"), 115200);
    EXPECT_EQ(StoredNumber("Connectrate"), 9600);
    EXPECT_EQ(StoredNumber("Packet Timeout"), 60);
    EXPECT_EQ(StoredNumber("Optimized Loading"), 1);
    for (int i = 0; i < 10; ++i) {
        const QByteArray name = QStringLiteral("FileHistory%1").arg(i).toLatin1();
        EXPECT_TRUE(Stored(name.constData()));
        EXPECT_EQ(StoredText(name.constData()), QString());
    }
    for (const char *name : neverWritten)
        EXPECT_FALSE(Stored(name)) << name;
}

TEST_F(MainFormTest, StoredValuesLoadEachWithItsOwnFallback) {
    StoreText("Port", QStringLiteral("seven")); // a text where a number belongs
    StoreNumber("Baudrate", 230400);
    StoreNumber("Connectrate", 0);
    StoreNumber("Packet Timeout", 90);
    StoreNumber("Optimized Loading", 0);
    StoreText("InitialDir", QString());
    StoreNumber("Debug Level", 3);
    StoreNumber("InternalUse", 1);
    const QString last = FirmwareFile(QStringLiteral("last.hex"), "KTR557", "APP");
    StoreText("FileHistory0", last);
    for (const char *name : {"Left", "Top"})
        StoreNumber(name, 10);
    StoreNumber("Width", 700);
    StoreNumber("Height", 500);
    StartWindow();
    EXPECT_EQ(form->sFileName, last); // InternalUse reopens the last file
    EXPECT_EQ(LogLines().front(), last);
    EXPECT_EQ(form->iPort, 1);
    EXPECT_EQ(form->StatusPanels[1]->text(), "Connect: BREAK");
    EXPECT_EQ(form->StatusPanels[2]->text(), "Download: 230400");
    EXPECT_EQ(form->iPacketTimeout, 90);
    EXPECT_FALSE(form->cbOptimizedLoading->isChecked());
    EXPECT_TRUE(form->sInitialDir.endsWith(QStringLiteral("/UPDATES")));
    EXPECT_FALSE(form->lblDebugLevel->isHidden());
    EXPECT_EQ(form->editDebugLevel->text(), "3");

    form->iDebugLevel = 255;
    form->cbOptimizedLoading->trigger();
    DestroyWindow();
    EXPECT_EQ(StoredNumber("Debug Level"), 3);
    EXPECT_EQ(StoredNumber("Optimized Loading"), 1);
    EXPECT_EQ(StoredNumber("Port"), 1);
}

TEST_F(MainFormTest, SettingsTypedByHandAreUsedAndStayReadableAfterExit) {
    const QString file = platform::Registry::FileForKey(settingsKey);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile typed(file);
    ASSERT_TRUE(typed.open(QIODevice::WriteOnly));
    typed.write("[General]\nPort=3\nBaudrate = 57600\nConnectrate=fast\nPacket Timeout=dword:0000005a\n"
                "InternalUse=1\nDebug Level=300\n");
    typed.close();
    StartWindow();
    EXPECT_EQ(form->StatusPanels[0]->text(), "COM: 3");
    EXPECT_EQ(form->StatusPanels[1]->text(), "Connect: 9600"); // no number: the default holds
    EXPECT_EQ(form->StatusPanels[2]->text(), "Download: 57600");
    EXPECT_EQ(form->iPacketTimeout, 90); // the older form still reads
    EXPECT_EQ(form->bInternalUse, 1);
    EXPECT_EQ(form->iDebugLevel, 0); // beyond the byte the card takes: the default holds
    DestroyWindow();

    ASSERT_TRUE(typed.open(QIODevice::ReadOnly));
    const QByteArray stored = typed.readAll();
    for (const char *line : {"\nPort=3\n", "\nBaudrate=57600\n", "\nConnectrate=9600\n", "\nInternalUse=1\n"})
        EXPECT_TRUE(stored.contains(line)) << line << " in " << stored.toStdString();
}

TEST_F(MainFormTest, StoredPortAndRatesNoCardCanUseAreReplacedByTheirDefaultsAndSaid) {
    StoreNumber("Port", 0);
    StoreNumber("Baudrate", 0);
    StoreNumber("Connectrate", -1);
    StartWindow();
    EXPECT_EQ(form->iPort, 1);
    EXPECT_EQ(form->iBaudrate, 115200);
    EXPECT_EQ(form->iConnectrate, 9600);
    EXPECT_EQ(
        LogLines(),
        (QStringList{"Settings: Port=0 is not a port from 1 to 99 - using 1",
                     "Settings: Baudrate=0 is not a download rate the COM settings offer - using 115200",
                     "Settings: Connectrate=-1 is not a connect rate the COM settings offer - using 9600"}));
}

TEST_F(MainFormTest, HintsLeaveEveryStatusPanelInView) {
    StartWindow();
    form->show();
    const QRect bar = form->statusBar()->rect();
    for (const QString &hint : {QStringLiteral("Open a HEX file"), QStringLiteral("Write file to flash")}) {
        // What a hovered item with a hint sends its window, and a message shown outright.
        QStatusTipEvent tip(hint);
        QCoreApplication::sendEvent(form.get(), &tip);
        form->statusBar()->showMessage(hint);
        QCoreApplication::processEvents();
        for (QLabel *panel : form->StatusPanels) {
            EXPECT_TRUE(panel->isVisible()) << panel->text().toStdString();
            EXPECT_TRUE(bar.contains(panel->geometry())) << panel->text().toStdString();
        }
    }
    EXPECT_EQ(form->SpeedButton1->toolTip(), "Open a HEX file");
}

TEST_F(MainFormTest, StoredBoundsComeBackAndUnusableOnesCentreTheWindow) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        QRect stored;
        bool kept;
    };
    for (const Case &c : {Case{QRect(screen.left() + 40, screen.top() + 30, 700, 500), true},
                          Case{QRect(screen.right() + 500, screen.bottom() + 500, 700, 500), false},
                          Case{QRect(screen.left() + 40, screen.top() - 4000, 700, 500), false},
                          Case{QRect(screen.left() + 40, screen.top() + 30, 0, -20), false}}) {
        StoreNumber("Left", c.stored.left());
        StoreNumber("Top", c.stored.top());
        StoreNumber("Width", c.stored.width());
        StoreNumber("Height", c.stored.height());
        StartWindow();
        if (c.kept) {
            EXPECT_EQ(form->geometry(), c.stored);
        } else {
            EXPECT_EQ(form->size(), QSize(798, 560));
            EXPECT_LE((form->frameGeometry().center() - screen.center()).manhattanLength(), 2);
        }
        DestroyWindow();
    }
}

TEST_F(MainFormTest, AStoredSizeLargerThanTheScreenIsBoundedToIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    StoreNumber("Left", screen.left());
    StoreNumber("Top", screen.top());
    StoreNumber("Width", INT_MAX);
    StoreNumber("Height", 500);
    StartWindow();
    EXPECT_EQ(form->geometry(), QRect(screen.left(), screen.top(), screen.width(), 500));
}

TEST_F(MainFormTest, BoundsTypedNearTheIntegerLimitCentreTheWindowAndAMaximisedOneStoresItsNormalBounds) {
    for (const char *name : {"Left", "Top", "Width", "Height"})
        StoreNumber(name, INT_MAX - 1);
    StartWindow();
    EXPECT_EQ(form->size(), QSize(798, 560));
    const QRect normal = form->geometry();
    form->showMaximized();
    QCoreApplication::processEvents();
    ASSERT_NE(form->geometry(), normal);
    DestroyWindow();
    EXPECT_EQ(QRect(StoredNumber("Left"), StoredNumber("Top"), StoredNumber("Width"), StoredNumber("Height")),
              normal);
}

TEST_F(MainFormTest, StoringSettingsThatCannotBeWrittenNeitherThrowsNorKeepsTheEngine) {
    StartWindow();
    // The settings folder becomes a plain file: the key can be neither opened nor created.
    const QString folder = QFileInfo(platform::Registry::FileForKey(settingsKey)).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_NO_THROW(DestroyWindow());
    EXPECT_EQ(LoaderInterface, nullptr);
    // No file there to keep anything: the box does not say it does.
    EXPECT_EQ(boxes, std::vector<QString>{"Unable to store the settings in " +
                                          platform::Registry::FileForKey(settingsKey)});
    QFile::remove(folder);
}

TEST_F(MainFormTest, AnUnreadableSettingsFileIsSaidOnceAndNeverWrittenOver) {
    const QString file = platform::Registry::FileForKey(settingsKey);
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!testsupport::MakeUnreadableWithSize(file.toStdString()))
        GTEST_SKIP() << "no attribute whose reads fail";
    StartWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->iPort, 1);
    form->iPort = 4;
    DestroyWindow();
    EXPECT_EQ(boxes, std::vector<QString>{"Unable to read the settings in " + file +
                                          " - Quorvel runs on its defaults and leaves the file as it is"});
    EXPECT_TRUE(QFileInfo(file).isSymLink()) << "left as it is";
    QFile::remove(file);
}

TEST_F(MainFormTest, SettingsThatCannotBeWrittenWholeLeaveTheFileAsItWasAndAreSaidOnce) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString file = platform::Registry::FileForKey(settingsKey);
    const QString folder = QFileInfo(file).absolutePath();
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QFile::link(QString::fromStdString(disk.Path()), folder));
    StoreNumber("Port", 3);
    QFile stored(file);
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray before = stored.readAll();
    stored.close();
    StartWindow();
    disk.Fill(4096); // room for the lock file, none for the settings
    form->iPort = 5;
    DestroyWindow();
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), before);
    EXPECT_EQ(boxes, std::vector<QString>{"Unable to store the settings in " + file +
                                          " - the file keeps what it held"});
    // Qt keeps the values it could not write for the next sync of the file: let it happen here.
    disk.Release();
    platform::Registry().OpenKey(settingsKey, false);
    QFile::remove(folder);
}

TEST_F(MainFormTest, RecentFilesMoveToTheFrontAndTheEleventhDropsTheOldest) {
    StartWindow();
    QStringList files;
    for (int i = 0; i < 11; ++i)
        files << FirmwareFile(QStringLiteral("f%1.hex").arg(i), "KTR557", "APP");
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(form->OpenHexFile(files[i]));
    EXPECT_EQ(RecentItems().size(), 10);
    EXPECT_EQ(RecentItems().front(), files[9]);
    EXPECT_EQ(form->windowTitle(), "Quorvel - " + files[9]);

    // The third entry moves to the front; the list keeps ten.
    ASSERT_TRUE(form->OpenHexFile(files[7]));
    QStringList expected{files[7], files[9], files[8]};
    for (int i = 6; i >= 0; --i)
        expected << files[i];
    EXPECT_EQ(RecentItems(), expected);

    ASSERT_TRUE(form->OpenHexFile(files[10]));
    EXPECT_EQ(RecentItems().size(), 10);
    EXPECT_FALSE(RecentItems().contains(files[0]));
    EXPECT_EQ(RecentItems().front(), files[10]);
}

TEST_F(MainFormTest, RecentItemOpensTheFileItShowsWhenStoredEntriesHaveGaps) {
    const QString a = FirmwareFile(QStringLiteral("a.hex"), "KTR557", "APP");
    const QString b = FirmwareFile(QStringLiteral("b.hex"), "KTR557", "NVM");
    StoreText("FileHistory1", a);
    StoreText("FileHistory3", b);
    StartWindow();
    ASSERT_EQ(RecentItems(), (QStringList{a, b}));
    EXPECT_TRUE(form->sFileName.isEmpty()); // listed only, without InternalUse
    RecentItem(1)->trigger();
    EXPECT_EQ(form->sFileName, b);
    EXPECT_EQ(form->editFileType->text(), "NVM");
    EXPECT_TRUE(form->aiWriteFlash->isEnabled());
    EXPECT_EQ(RecentItems(), (QStringList{b, a}));
    QCoreApplication::processEvents(); // the clicked item is released after its click

    DestroyWindow();
    EXPECT_EQ(StoredText("FileHistory0"), b);
    EXPECT_EQ(StoredText("FileHistory1"), QString());
    EXPECT_EQ(StoredText("FileHistory2"), a);
    EXPECT_EQ(StoredText("FileHistory9"), QString());
}

TEST_F(MainFormTest, RejectedFileIsLoggedAndNoFileStaysAcceptedButTheRecentListIsKept) {
    StartWindow();
    const QString good = FirmwareFile(QStringLiteral("good.hex"), "KTR557", "APP", "2.1");
    chosenFile = good;
    form->aiFileOpen->trigger();
    ASSERT_TRUE(form->aiWriteFlash->isEnabled());
    ASSERT_EQ(fileDialogs.size(), 1u);
    // The default folder's "UPDATES" is missing here: the dialog starts in the program's folder.
    EXPECT_EQ(fileDialogs[0].directory, QFileInfo(QApplication::applicationFilePath()).absolutePath());
    EXPECT_TRUE(fileDialogs[0].fileName.isEmpty());

    const QString bad = dir.filePath(QStringLiteral("bad.hex"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("S3090001000001020304EB\n");
    file.close();
    chosenFile = bad;
    form->aiFileOpen->trigger();
    EXPECT_EQ(form->sFileName, bad);
    EXPECT_EQ(form->bFileAccepted, 0);
    EXPECT_FALSE(form->aiWriteFlash->isEnabled());
    EXPECT_TRUE(Logged(bad));
    EXPECT_EQ(form->editFileVersion->text(), "") << "the good file is no longer the one accepted";
    EXPECT_EQ(form->windowTitle(), "Quorvel");
    EXPECT_TRUE(LoaderInterface->GetFilename().empty()) << "nothing left for the engine to program";
    EXPECT_EQ(RecentItems(), QStringList{good});

    chosenFile.clear(); // Cancel
    form->aiFileOpen->trigger();
    EXPECT_EQ(form->sFileName, bad);

    // A name longer than the system takes is refused before it reaches the log.
    EXPECT_FALSE(form->OpenHexFile(QString(PATH_MAX, QLatin1Char('a'))));
    EXPECT_EQ(LogLines().back(), "Unable to open file - its name is longer than the system allows");
    EXPECT_EQ(LogLines().filter(QString(300, QLatin1Char('a'))).size(), 0);
}

TEST_F(MainFormTest, CallbacksFillTheLogAndTheProgressBar) {
    StartWindow();
    MainOnMessage("first\nsecond");
    MainOnMessage("");
    EXPECT_EQ(form->Memo1->toPlainText(), "first second");
    MainOnProgressRange(40);
    EXPECT_EQ(form->ProgressBar1->maximum(), 40);
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    MainOnProgress(25);
    EXPECT_EQ(form->ProgressBar1->value(), 25);
    MainOnStart();
    EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
}

TEST_F(MainFormTest, AFileUnderOneBlockStillGetsARangeAndTheBarShowsNoPercentage) {
    StartWindow();
    LoaderInterface->SetProgressRange(0); // a range of 0 draws an endless busy bar
    EXPECT_EQ(form->ProgressBar1->maximum(), 1);
    EXPECT_FALSE(form->ProgressBar1->isTextVisible());
}

TEST_F(MainFormTest, AbortRequestEndsTheBusyStateAndAbortFollowsTheFileType) {
    StartWindow();
    ASSERT_TRUE(form->OpenHexFile(FirmwareFile(QStringLiteral("boot.hex"), "KTR557", "BOOTDB")));
    form->bBusy = 1;
    form->UpdateActionStates();
    EXPECT_FALSE(form->aiAbort->isEnabled());
    EXPECT_FALSE(form->aiQueryCard->isEnabled());
    ASSERT_TRUE(form->OpenHexFile(FirmwareFile(QStringLiteral("app.hex"), "KTR557", "APP")));
    EXPECT_TRUE(form->aiAbort->isEnabled());

    form->bScriptRunning = 1;
    MainOnAbortRequest(2);
    EXPECT_TRUE(Logged(QStringLiteral("HandleAbort : 2")));
    EXPECT_TRUE(LoaderInterface->IsAborted());
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_EQ(form->bScriptRunning, 0);
    EXPECT_EQ(form->bScriptAbort, 1);
    EXPECT_TRUE(form->aiWriteFlash->isEnabled());
    EXPECT_FALSE(form->aiAbort->isEnabled());
}

TEST_F(MainFormTest, ABootFileCanBeAbortedUntilACardIsAccepted) {
    StartWindow();
    ASSERT_TRUE(form->OpenHexFile(FirmwareFile(QStringLiteral("boot.hex"), "KTR557", "BOOT")));
    form->bBusy = 1;
    auto &port = static_cast<testsupport::FakeComPort &>(*LoaderInterface->pclMyComPort);
    port.failNextOpen = testsupport::FakeComPort::OpenFailure::BadId;
    LoaderInterface->MaintainComms(1, 115200, 9600);
    LoaderInterface->Execute();
    LoaderInterface->RunTimer();
    EXPECT_TRUE(form->aiAbort->isEnabled()) << "the port is not there yet";
    LoaderInterface->RunTimer();
    LoaderInterface->RunTimer();
    port.Feed(testsupport::CardBootModel::Banner("1.00", "COM1", "H8Q5"));
    EXPECT_TRUE(form->aiAbort->isEnabled()) << "a card of another platform is only sent on";
    LoaderInterface->RunTimer();
    LoaderInterface->RunTimer();
    port.Feed(testsupport::CardBootModel::Banner("1.00", "COM1", "KTR557"));
    LoaderInterface->RunTimer();
    EXPECT_TRUE(Logged(QStringLiteral("Changing baud rate")));
    EXPECT_FALSE(form->aiAbort->isEnabled());
}

TEST(PortSetup, SelectsWhatItIsHandedAndReturnsWhatIsSelected) {
    TPortSetup dialog;
    dialog.SetDownloadBaud(115200);
    dialog.SetConnectBaud(9600);
    dialog.SetComPort(3);
    EXPECT_EQ(dialog.pclMyDownloadBaudrateBox->currentText(), "115200");
    EXPECT_EQ(dialog.pclMyConnectBaudrateBox->currentText(), "9600");
    EXPECT_EQ(dialog.pclMyComPortBox->currentText(), "COM3");
    dialog.pclMyOKButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetDownloadBaud(), 115200);
    EXPECT_EQ(dialog.GetConnectBaud(), 9600);
    EXPECT_EQ(dialog.GetComPort(), 3);

    TPortSetup other;
    other.SetDownloadBaud(868100);
    other.SetConnectBaud(0);
    other.SetComPort(1);
    EXPECT_EQ(other.pclMyConnectBaudrateBox->currentText(), "BREAK");
    EXPECT_EQ(other.pclMyComPortBox->count(), 50);
    other.pclMyComPortBox->setCurrentIndex(49);
    other.pclMyDownloadBaudrateBox->setCurrentText(QStringLiteral("2604165"));
    other.pclMyOKButton->click();
    EXPECT_EQ(other.GetConnectBaud(), 0);
    EXPECT_EQ(other.GetComPort(), 50);
    EXPECT_EQ(other.GetDownloadBaud(), 2604165);
}

TEST_F(MainFormTest, PortSetupRateOutsideItsListFailsOkAndKeepsTheDialogOpen) {
    TPortSetup dialog;
    dialog.SetDownloadBaud(14400);
    dialog.SetConnectBaud(9600);
    dialog.SetComPort(60);
    EXPECT_EQ(dialog.pclMyDownloadBaudrateBox->currentIndex(), -1);
    EXPECT_EQ(dialog.pclMyComPortBox->currentIndex(), -1);
    dialog.pclMyOKButton->click();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(dialog.GetDownloadBaud(), 14400);

    dialog.pclMyDownloadBaudrateBox->setCurrentIndex(0);
    dialog.pclMyOKButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetDownloadBaud(), 300);
    EXPECT_EQ(dialog.GetComPort(), 60) << "a port the list does not show is kept, never made 0";
}

TEST_F(MainFormTest, ComSettingsTakesTheValuesOnOkOnly) {
    StartWindow();
    answerDialog = [](QDialog &d) {
        auto &dialog = dynamic_cast<TPortSetup &>(d);
        EXPECT_EQ(dialog.parent(), nullptr);
        dialog.pclMyComPortBox->setCurrentIndex(4);
        dialog.pclMyDownloadBaudrateBox->setCurrentText(QStringLiteral("921600"));
        dialog.pclMyConnectBaudrateBox->setCurrentIndex(0);
        dialog.pclMyCancelButton->click();
        return dialog.result();
    };
    form->aiCommSettings->trigger();
    EXPECT_EQ(form->iPort, 1);
    EXPECT_EQ(form->iBaudrate, 115200);
    EXPECT_EQ(form->iConnectrate, 9600);
    EXPECT_EQ(form->StatusPanels[0]->text(), "COM: 1");

    answerDialog = [](QDialog &d) {
        auto &dialog = dynamic_cast<TPortSetup &>(d);
        dialog.pclMyComPortBox->setCurrentIndex(4);
        dialog.pclMyDownloadBaudrateBox->setCurrentText(QStringLiteral("921600"));
        dialog.pclMyConnectBaudrateBox->setCurrentIndex(0);
        dialog.pclMyOKButton->click();
        return dialog.result();
    };
    form->aiCommSettings->trigger();
    EXPECT_EQ(form->StatusPanels[0]->text(), "COM: 5");
    EXPECT_EQ(form->StatusPanels[1]->text(), "Connect: BREAK");
    EXPECT_EQ(form->StatusPanels[2]->text(), "Download: 921600");
    DestroyWindow();
    EXPECT_EQ(StoredNumber("Port"), 5);
    EXPECT_EQ(StoredNumber("Connectrate"), 0);
}

TEST_F(MainFormTest, AboutBoxShowsTheBuildsVersionDataAndTheStatusBarItsFileVersion) {
    StartWindow();
    const platform::VersionInfo version = platform::ProgramVersion();
    TfrmAbout box(form.get()); // created, not shown
    EXPECT_EQ(frmAbout, &box);
    EXPECT_EQ(box.lblRelease->text(), QStringLiteral("Release %1").arg(version.productVersion[2]));
    EXPECT_FALSE(box.lblVersion->text().isEmpty());
    EXPECT_EQ(box.lblVersion->text(), version.fileVersion);
    EXPECT_EQ(box.lblLibraryVersion->text(), QString::fromLatin1(LoaderInterface->GetVersion()));
    EXPECT_EQ(box.lblCopyRight->text(), version.legalCopyright);
    EXPECT_EQ(box.Label1->text(), "Quorvel");
    EXPECT_EQ(box.windowTitle(), "About");

    form->show();
    EXPECT_EQ(form->StatusPanels[3]->text(), version.fileVersion + QStringLiteral("      "));

    bool shown = false;
    answerDialog = [&shown](QDialog &d) {
        shown = dynamic_cast<TfrmAbout *>(&d) != nullptr;
        dynamic_cast<TfrmAbout &>(d).Button1->click();
        return d.result();
    };
    form->aiAboutBox->trigger();
    EXPECT_TRUE(shown);
}

} // namespace
