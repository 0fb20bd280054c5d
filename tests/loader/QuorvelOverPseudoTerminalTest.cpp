// Quorvel end to end: the window, the real engine and serial port, and the card stand-in on a
// pseudo-terminal that COM1 points at. File Open, Write Flash, then Query Card on a fresh card.
#include "../LIB/CardStandInFixture.h"
#include "Dialogs.h"
#include "PseudoTerminal.h"
#include "Registry.h"
#include "loadmain.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

using testsupport::CardStandIn;

class QuorvelOverPseudoTerminal : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(platform::Registry::FileForKey(QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel")));
        platform::SetMessageHandler([this](const platform::MessageRequest &r) {
            boxes << r.text;
            return platform::MessageResult::Ok;
        });
        platform::SetFileDialogHandler([this](const platform::FileDialogRequest &) { return chosen; });
        // A run that hangs is aborted instead of holding the test until its time limit.
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "watchdog: the operation did not finish";
            if (LoaderInterface)
                LoaderInterface->Abort();
        });
        watchdog.start(60000);
    }
    void TearDown() override {
        watchdog.stop();
        platform::SetMessageHandler({});
        platform::SetFileDialogHandler({});
    }

    static CardStandIn::Config Card() {
        CardStandIn::Config config;
        config.boot.cards = {{"KTR557", "COM1", "3.10"}};
        config.seed = 7;
        return config;
    }

    // The engine closes the port on the tick after Shutdown.
    static void WaitForEngineIdle() {
        QElapsedTimer t;
        t.start();
        while (LoaderInterface->GetLoaderStage() != LOADER_IDLE && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_EQ(LoaderInterface->GetLoaderStage(), LOADER_IDLE);
    }

    static QStringList Log(const TMainForm &form) {
        return form.Memo1->toPlainText().split(QLatin1Char('\n'));
    }

    // Writes an application file for the card and makes it File Open's choice.
    std::string ChooseFirmware() {
        const std::string file = cardtest::Firmware("S0~P~KTR557\nS0~T~APP\nS0~V~7.01\n", 0x00400000);
        chosen = dir.filePath(QStringLiteral("app.hex"));
        QFile out(chosen);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.data(), static_cast<qint64>(file.size()));
        return file;
    }

    cardtest::FastForwardClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    QStringList boxes;
    QString chosen;
    QTimer watchdog;
};

TEST_F(QuorvelOverPseudoTerminal, WriteFlashProgramsTheCardAndQueryCardListsIt) {
    const std::string file = ChooseFirmware();

    auto card = std::make_unique<CardStandIn>(Card());
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[0].psn = "PSN-FIRST";
    }
    auto com1 = std::make_unique<testsupport::ScopedComMapping>(1, card->DevicePath());
    ASSERT_EQ(LoaderInterface, nullptr);
    auto form = std::make_unique<TMainForm>();
    form->show();

    form->aiFileOpen->trigger();
    ASSERT_TRUE(form->aiWriteFlash->isEnabled());
    form->aiWriteFlash->trigger();
    ASSERT_EQ(Log(*form).back(), "Done.") << Log(*form).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(Log(*form).contains(QStringLiteral("Download Complete")));
    EXPECT_EQ(form->editPSN->text(), "PSN-FIRST");
    {
        auto hold = card->SecondStage().Lock();
        EXPECT_EQ(card->SecondStage().devices[0].memory, cardtest::FileData(file, 0));
        EXPECT_EQ(card->SecondStage().erases.size(), 1u);
    }
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(QLatin1Char('|')).toStdString();
    WaitForEngineIdle();

    // A second card on a new line: Query Card brings it up and lists it.
    com1.reset();
    card->Stop();
    card = std::make_unique<CardStandIn>(Card());
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[0].psn = "PSN-SECOND";
        card->SecondStage().devices[0].appVersion = "7.01,x,NONE";
    }
    com1 = std::make_unique<testsupport::ScopedComMapping>(1, card->DevicePath());
    form->aiQueryCard->trigger();
    const QStringList log = Log(*form);
    for (const char *line : {"Number of Cards: 1", "Card: 0, PSN: PSN-SECOND",
                             "Card: 0, Application SW: 7.01", "Card SW image is not signed"})
        EXPECT_TRUE(log.contains(QLatin1String(line))) << line << "\n"
                                                       << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log.back(), "Done.");
    EXPECT_EQ(form->editPSN->text(), "PSN-SECOND");
    WaitForEngineIdle();
    {
        auto hold = card->SecondStage().Lock();
        EXPECT_TRUE(card->SecondStage().erases.empty());
    }
    form.reset();
    card->Stop();
}

TEST_F(QuorvelOverPseudoTerminal, PortTypedByHandInTheSettingsFileIsUsed) {
    const QString settings =
        platform::Registry::FileForKey(QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel"));
    QDir().mkpath(QFileInfo(settings).absolutePath());
    {
        QFile typed(settings);
        ASSERT_TRUE(typed.open(QIODevice::WriteOnly));
        typed.write("[General]\nPort=5\n");
    }
    auto card = std::make_unique<CardStandIn>(Card());
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[0].psn = "PSN-ON-COM5";
    }
    const testsupport::ScopedComMapping com5(5, card->DevicePath());
    auto form = std::make_unique<TMainForm>();
    EXPECT_EQ(form->StatusPanels[0]->text(), "COM: 5");
    ChooseFirmware();
    form->aiFileOpen->trigger();
    form->aiQueryCard->trigger();
    EXPECT_TRUE(Log(*form).contains(QStringLiteral("Card: 0, PSN: PSN-ON-COM5")))
        << Log(*form).join(QLatin1Char('\n')).toStdString();
    WaitForEngineIdle();
    form.reset();
    card->Stop();
}

} // namespace
