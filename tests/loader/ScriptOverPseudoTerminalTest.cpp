// Loader scripts run by the main window against the card stand-in on the far end of a
// pseudo-terminal: the link comes up once, LOAD and UPDATE program the card over it, and a
// rejected file never reaches the card.
#include "CardStandIn.h"
#include "Clock.h"
#include "Dialogs.h"
#include "FastForwardClock.h"
#include "KTR3LoaderIntf.h"
#include "PseudoTerminal.h"
#include "loadmain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

using SkipLongWaits = testsupport::FastForwardClock;

// S3 data lines of a test pattern from address on, and what a card programmed with them holds.
struct Firmware {
    std::string text;
    std::map<std::uint32_t, std::uint8_t> memory;
};

Firmware MakeFirmware(const std::string &header, std::uint32_t address, int total) {
    Firmware firmware{header, {}};
    constexpr int perLine = 32;
    for (int done = 0; done < total; done += perLine) {
        const int count = std::min(perLine, total - done);
        const std::uint32_t at = address + static_cast<std::uint32_t>(done);
        unsigned sum = static_cast<unsigned>(count + 5);
        char hex[16];
        std::snprintf(hex, sizeof hex, "S3%02X%08X", count + 5, static_cast<unsigned>(at));
        std::string line = hex;
        for (int shift = 0; shift < 32; shift += 8)
            sum += (at >> shift) & 0xFF;
        for (int i = 0; i < count; ++i) {
            const auto byte = static_cast<std::uint8_t>((done + i) * 7 + 3);
            std::snprintf(hex, sizeof hex, "%02X", byte);
            line += hex;
            sum += byte;
            firmware.memory[at + static_cast<std::uint32_t>(i)] = byte;
        }
        std::snprintf(hex, sizeof hex, "%02X\r\n", ~sum & 0xFF);
        firmware.text += line + hex;
    }
    firmware.text += "S70500000000FA\r\n";
    return firmware;
}

class ScriptOverPseudoTerminal : public ::testing::Test {
protected:
    static constexpr int com = 47;

    void SetUp() override {
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/Zandrel Inc./Quorvel.conf"));
        testsupport::CardStandIn::Config config;
        config.boot.cards = {{"KTR557", "COM1", "3.10"}};
        config.seed = 20261209;
        card = std::make_unique<testsupport::CardStandIn>(config);
        map = std::make_unique<testsupport::ScopedComMapping>(com, card->DevicePath());
        // A box (the engine's "Can't open file", an exception) is noted, never waited on.
        platform::SetMessageHandler([this](const platform::MessageRequest &request) {
            boxes.append(request.text);
            return platform::MessageResult::Ok;
        });
        form = std::make_unique<TMainForm>();
        // Nothing here may hang the suite: a run that does not end is aborted.
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "watchdog: the script did not finish";
            LoaderInterface->Abort();
        });
        watchdog.start(90000);
    }

    void TearDown() override {
        watchdog.stop();
        form.reset();
        card->Stop();
        platform::SetMessageHandler({});
    }

    QByteArray Write(const QString &name, const std::string &text) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
        return path.toLocal8Bit();
    }

    QStringList Run(const QByteArray &script) {
        form->ScriptFileOpenDlgFileName =
            QString::fromLocal8Bit(Write(QStringLiteral("run.lsf"), script.toStdString()));
        form->UpdateActionStates();
        form->aiRunScriptExecute();
        // Run Script ends the link; the engine's next tick closes the port.
        QElapsedTimer wait;
        wait.start();
        while (LoaderInterface->pclMyComPort->IsOpen() && wait.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_FALSE(LoaderInterface->pclMyComPort->IsOpen());
        return form->Memo1->toPlainText().split(QLatin1Char('\n'));
    }

    std::size_t Erases() {
        auto hold = card->SecondStage().Lock();
        return card->SecondStage().erases.size();
    }

    // LOAD brings the link up and programs the card; then `rejectedLines` name a rejected file:
    // nothing more reaches the card and the run ends as aborted.
    void RejectedFileRun(const QByteArray &rejectedLines) {
        const Firmware firmware = MakeFirmware("S0~P~KTR557\r\nS0~T~APP\r\n", 0x00400000, 600);
        const QByteArray app = Write(QStringLiteral("app.hex"), firmware.text);
        const QStringList log =
            Run("COM 47 115200\nOPTILOAD OFF\nLOAD " + app + "\n" + rejectedLines + "MESSAGE never\n");
        EXPECT_EQ(log.mid(log.size() - 2),
                  (QStringList{"File rejected - card not programmed.", "Script Aborted!"}))
            << log.join('|').toStdString();
        EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
        EXPECT_EQ(Erases(), 1u) << "only the accepted file reached the card";
        auto hold = card->SecondStage().Lock();
        EXPECT_EQ(card->SecondStage().devices[0].memory, firmware.memory);
    }

    SkipLongWaits clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    std::unique_ptr<testsupport::CardStandIn> card;
    std::unique_ptr<testsupport::ScopedComMapping> map;
    std::unique_ptr<TMainForm> form;
    QStringList boxes;
    QTimer watchdog;
};

} // namespace

TEST_F(ScriptOverPseudoTerminal, FileLoadUpdateQuit) {
    const Firmware firmware = MakeFirmware("S0~P~KTR557\r\nS0~T~APP\r\nS0~V~2.0\r\n", 0x00400000, 3000);
    const QByteArray app = Write(QStringLiteral("app.hex"), firmware.text);
    const QStringList log = Run("COM 47 115200\r\nOPTILOAD OFF\r\nFILE " + app + "\r\nLOAD " + app +
                                "\r\nUPDATE\r\nQUIT\r\nMESSAGE never\r\n");

    EXPECT_EQ(log.count("Done."), 2) << log.join('|').toStdString();
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"Script QUIT", "Script Completed Successfully"}));
    EXPECT_FALSE(log.contains("never"));
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    // One wake-up: UPDATE programmed the card again over the link LOAD left up.
    EXPECT_EQ(card->Boot().Banners(), 1);
    EXPECT_EQ(Erases(), 2u);
    auto hold = card->SecondStage().Lock();
    EXPECT_EQ(card->SecondStage().devices[0].memory, firmware.memory);
    EXPECT_EQ(form->bBusy, 0);
    EXPECT_EQ(form->bScriptRunning, 0);
}

TEST_F(ScriptOverPseudoTerminal, RejectedLoadNeverProgramsOverALiveLink) {
    RejectedFileRun("LOAD " + dir.filePath(QStringLiteral("missing.hex")).toLocal8Bit() + "\n");
}

TEST_F(ScriptOverPseudoTerminal, RejectedFileBeforeUpdateNeverProgramsOverALiveLink) {
    RejectedFileRun("FILE " + Write(QStringLiteral("headerless.hex"), "S70500000000FA\r\n") + "\nUPDATE\n");
}
