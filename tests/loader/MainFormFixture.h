#pragma once
#include "Clock.h"
#include "Dialogs.h"
#include "FSEngine.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"
#include "Registry.h"
#include "SSEngine.h"
#include "loadmain.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quorveltest {

const QString settingsKey = QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel");

// The first-stage engine with the card platform set by the test instead of read from a banner.
class CardFSEngine : public FSEngine {
public:
    using FSEngine::FSEngine;
    void SetCardPlatform(const std::string &platform) { bannerFields.platform = platform; }
};

// The second-stage engine with every request answered at once from DeviceDetails and written
// down by name, so a test reads the order of a card operation's requests. `duringRequest` runs
// inside a request, where the real engine pumps messages while it waits for the card.
class RecordingSSEngine : public SSEngine {
public:
    explicit RecordingSSEngine(TLoaderInterface &owner) : SSEngine(owner), facade(owner) {}

    int RunRequest(std::uint8_t device, int state) override {
        if (EngineState != SS_STATE_IDLE)
            return 0;
        CardID = device;
        requests.push_back(Describe(state));
        PSNReceived = OSNReceived = HWVersionReceived = SWPlatformReceived = true;
        AckReceived = true;
        if (state == 12) {
            ParseStatus = 4;       // the whole file went in
            MarkerFound[0] = true; // and a zqx5 card reported its flash written
        }
        if (duringRequest)
            duringRequest(state);
        return facade.IsAborted() ? 0 : 1;
    }

    std::vector<std::string> requests;
    std::function<void(int state)> duringRequest;

private:
    std::string Describe(int state) const {
        const std::string d = "@" + std::to_string(DeviceID);
        const std::string c = "(" + std::to_string(CardID) + ")";
        const ::DeviceDetails &dev = DeviceDetails[DeviceID];
        switch (state) {
        case 0:
            return "GetSSLPVersion";
        case 2:
            return "GetHWVersion" + d;
        case 6:
            return "GetESN" + d;
        case 8:
            return "GetPSN" + d;
        case 10:
            if (facade.GetResetNVM())
                return "RequestResetNVM" + c + d;
            if (facade.GetResetData())
                return "RequestResetData(" + std::to_string(CardID) + "," +
                       std::to_string(facade.GetDataBlock()) + ")" + d;
            if (facade.GetBootCodeLoad())
                return "EraseBootCode" + c + d;
            return "EraseApplication" + c + d;
        case 12:
            return "ProgramCard" + c + d;
        case 17:
            return "SetPSN" + d + "=" + dev.PSN;
        case 21:
            return "ResetCard";
        case 23:
            return "SetDebug";
        case 27:
            return "GetBootCodeType" + d;
        case 35:
            return "SetPacketTimeout=" + std::to_string(PacketTimeout);
        case 37:
            return "GetOSN" + d;
        case 39:
            return "SetOSN" + d + "=" + dev.OSN;
        case 41:
            return "SetHWVersion" + d + "=" + dev.HWVersion;
        case 43:
            return "GetHWCapabilities" + d;
        case 45:
            return "SetHWCapabilities" + d;
        case 47:
            return "GetSWPlatform" + d;
        case 53:
            return "GetNumCards" + d;
        case 55:
            return "GetCardAppVersion" + d;
        case 59:
            return "GetHWPlatformType" + d;
        case 63:
            return "SetHWPlatformType" + d + "=" + dev.HWPlatformType;
        case 65:
            return "GetESNModifier" + d;
        case 67:
            return "SetESNModifier" + d + "=" + dev.ESNModifier;
        case 73:
            return "GetMAC" + d;
        case 75:
            return "SetMAC" + d + "=" + dev.MACText;
        default:
            return "state " + std::to_string(state);
        }
    }

    TLoaderInterface &facade;
};

// A main window over an engine on fake ports whose second stage records its requests, with
// settings in a fresh file and every modal dialog answered by the test.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(platform::Registry::FileForKey(settingsKey));
        platform::SetMessageHandler([this](const platform::MessageRequest &r) {
            boxes.push_back(r.text);
            return platform::MessageResult::Ok;
        });
        platform::SetFileDialogHandler([this](const platform::FileDialogRequest &r) {
            fileDialogs.push_back(r);
            return chosenFile;
        });
        platform::SetModalDialogHandler(
            [this](QDialog &dialog) { return answerDialog ? answerDialog(dialog) : 0; });
    }

    void TearDown() override {
        DestroyWindow();
        platform::SetMessageHandler({});
        platform::SetFileDialogHandler({});
        platform::SetModalDialogHandler({});
    }

    // Writes stored settings before the window starts.
    void StoreNumber(const char *name, int value) {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(settingsKey, true));
        reg.WriteInteger(QString::fromLatin1(name), value);
    }
    void StoreText(const char *name, const QString &value) {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(settingsKey, true));
        reg.WriteString(QString::fromLatin1(name), value);
    }
    bool Stored(const char *name) {
        platform::Registry reg;
        return reg.OpenKey(settingsKey, false) && reg.ValueExists(QString::fromLatin1(name));
    }
    int StoredNumber(const char *name) {
        platform::Registry reg;
        reg.OpenKey(settingsKey, false);
        return reg.ReadInteger(QString::fromLatin1(name));
    }
    QString StoredText(const char *name) {
        platform::Registry reg;
        reg.OpenKey(settingsKey, false);
        return reg.ReadString(QString::fromLatin1(name));
    }

    void StartWindow() {
        auto *engine = new TLoaderInterface(nullptr, std::make_unique<testsupport::FakeComPort>(),
                                            std::make_unique<testsupport::FakeComPort>());
        fs = new CardFSEngine(*engine);
        engine->pclMyFirstStage.reset(fs);
        ss = new RecordingSSEngine(*engine);
        engine->pclMySecondStage.reset(ss);
        LoaderInterface = engine;
        InstallMainCallbacks(*engine);
        form = std::make_unique<TMainForm>();
    }

    // Destroying the window stores the settings and frees the engine.
    void DestroyWindow() {
        form.reset();
        ss = nullptr;
        fs = nullptr;
    }

    // The second stage up and idle on `cardPlatform`, as a link left up by an earlier step.
    void LinkUp(const std::string &cardPlatform) {
        fs->SetCardPlatform(cardPlatform);
        ss->Start();
        ss->RxState = 0;
        ss->EngineState = SS_STATE_IDLE;
        LoaderInterface->LoaderStage = LOADER_SECOND_STAGE;
        LoaderInterface->MaintainComms(form->iPort, form->iBaudrate, form->iConnectrate);
    }

    // A firmware file with its header records and one data line.
    QString FirmwareFile(const QString &name, const std::string &platform, const std::string &type,
                         const std::string &version = "1.0", const std::string &destination = "") {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream out(&file);
        out << "S0~P~" << QString::fromStdString(platform) << "\n";
        out << "S0~T~" << QString::fromStdString(type) << "\n";
        out << "S0~V~" << QString::fromStdString(version) << "\n";
        if (!destination.empty())
            out << "S0~D~" << QString::fromStdString(destination) << "\n";
        out << "S3090001000001020304EB\nS70500010000F9\n";
        return path;
    }

    QStringList LogLines() const { return form->Memo1->toPlainText().split(QLatin1Char('\n')); }
    bool Logged(const QString &line) const { return LogLines().contains(line); }

    // The recent-file items of the File menu, in menu order.
    QStringList RecentItems() const {
        QStringList captions;
        const QList<QAction *> items = form->N1->actions();
        for (qsizetype i = items.indexOf(form->N2) + 1; i < items.size(); ++i)
            captions << items[i]->text();
        return captions;
    }
    QAction *RecentItem(int k) const {
        const QList<QAction *> items = form->N1->actions();
        return items[items.indexOf(form->N2) + 1 + k];
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    CardFSEngine *fs = nullptr;
    RecordingSSEngine *ss = nullptr;
    std::vector<QString> boxes;
    std::vector<platform::FileDialogRequest> fileDialogs;
    QString chosenFile;
    std::function<int(QDialog &)> answerDialog;
};

} // namespace quorveltest
