#pragma once
// A facade on a real pseudo-terminal with the card stand-in at the far end, a clock that runs
// ahead while the card is silent, and helpers to read what the card holds.
#include "CardStandIn.h"
#include "Clock.h"
#include "FastForwardClock.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"
#include "SSEngine.h"
#include "SecondStageFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <map>

namespace cardtest {

using namespace secondstage;
using testsupport::CardSecondStageModel;
using testsupport::CardStandIn;
using Fault = CardSecondStageModel::Fault;

using testsupport::FastForwardClock;

// An end record (S7 or S9) with a 32-bit address.
inline std::string EndRecord(char type, std::uint32_t address) {
    return RecordLine(type, 4, address, {}) + "\n";
}

// A firmware file: the header records, two regions of data with a gap, and its end.
inline std::string Firmware(const std::string &header, std::uint32_t base, char end = '7') {
    return header + DataLines(base, 9000, 32) + DataLines(base + 0x3000, 700, 16) +
           EndRecord(end, base + 0x100);
}

using Memory = std::map<std::uint32_t, std::uint8_t>;

// The data lines of a file as a card holds them: each address less the offset.
inline Memory FileData(const std::string &file, std::uint32_t offset) {
    Memory memory;
    std::size_t at = 0;
    while (at < file.size()) {
        std::size_t end = file.find('\n', at);
        if (end == std::string::npos)
            end = file.size();
        const std::string line = file.substr(at, end - at);
        at = end + 1;
        if (line.size() < 4 || line[0] != 'S' || line[1] < '1' || line[1] > '3')
            continue;
        const int addressBytes = line[1] - '0' + 1;
        const int count = std::stoi(line.substr(2, 2), nullptr, 16);
        const auto address =
            static_cast<std::uint32_t>(std::stoul(line.substr(4, 2 * addressBytes), nullptr, 16));
        for (int i = 0; i < count - addressBytes - 1; ++i)
            memory[address - offset + static_cast<std::uint32_t>(i)] = static_cast<std::uint8_t>(
                std::stoi(line.substr(4 + 2 * addressBytes + 2 * i, 2), nullptr, 16));
    }
    return memory;
}

// Lowest and highest (exclusive) address of the file's S3 lines.
inline std::pair<std::uint32_t, std::uint32_t> Range(const std::string &file) {
    const Memory all = FileData(file, 0);
    return {all.begin()->first, all.rbegin()->first + 1};
}

class CardTest : public ::testing::Test {
protected:
    static constexpr int com = 46;

    void Start(CardStandIn::Config config, std::unique_ptr<platform::ComPort> powerPort = {}) {
        seen = Seen{};
        fastForward = true;
        card = std::make_unique<CardStandIn>(std::move(config));
        map = std::make_unique<testsupport::ScopedComMapping>(com, card->DevicePath());
        loader = std::make_unique<TLoaderInterface>(nullptr, nullptr, std::move(powerPort));
        loader->SetOnMessage(OnMessage);
        loader->SetOnComplete(OnComplete);
        loader->SetOnAbortRequest(OnAbortRequest);
        loader->SetOnProgress(OnProgress);
        loader->SetExePath(dir.filePath("quorvel").toStdString().c_str());
        loader->MaintainComms(com, 115200, 9600);

        // While the card says nothing, only a time-out can happen: let time run a hundred times
        // faster then, and take a step the engine put seconds away at once.
        timeDriver.setInterval(10);
        QObject::connect(&timeDriver, &QTimer::timeout, [this] {
            if (!fastForward ||
                std::chrono::steady_clock::now() - card->LastSent() < std::chrono::milliseconds(1000))
                return;
            clock.Advance(1000);
            if (loader->pclMyTimer->isActive() && loader->pclMyTimer->interval() >= 1000) {
                loader->pclMyTimer->stop();
                loader->RunTimer();
            }
        });
        timeDriver.start();
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            ADD_FAILURE() << "watchdog: the run did not finish";
            loader->Abort();
        });
        watchdog.start(90000);
    }

    static CardStandIn::Config OneCard(const std::string &platform, bool signsOn = true) {
        CardStandIn::Config config;
        config.boot.cards = {{platform, "COM1", "3.10"}};
        config.signsOn = signsOn;
        config.seed = 20261209;
        return config;
    }

    std::string Write(const std::string &text) {
        const std::string path = dir.filePath("card.hex").toStdString();
        std::FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return path;
    }

    // EstablishLink, then ProgramFile; the result of ProgramFile.
    int LinkAndProgram(const std::string &file) {
        const std::string path = Write(file);
        EXPECT_EQ(loader->EstablishLink(path.c_str()), 1) << Last();
        EXPECT_EQ(loader->GetLoaderState(), SS_STATE_IDLE);
        return loader->ProgramFile(path.c_str());
    }

    void Finish() {
        loader->Shutdown();
        QElapsedTimer t;
        t.start();
        while (loader->GetLoaderStage() != LOADER_IDLE && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_EQ(loader->GetLoaderStage(), LOADER_IDLE);
    }

    void TearDown() override {
        timeDriver.stop();
        watchdog.stop();
        timeDriver.disconnect();
        watchdog.disconnect();
        if (loader)
            loader->pclMyComPort->Close();
        if (card)
            card->Stop();
        loader.reset();
        map.reset();
        card.reset();
    }

    std::string Last() const { return seen.messages.empty() ? "" : seen.messages.back(); }
    bool Logged(const std::string &line) const { return Count(line) > 0; }

    // Request codes the card received, in order, leaving out program data and other codes.
    std::vector<int> Codes(std::initializer_list<int> of) {
        auto hold = card->SecondStage().Lock();
        std::vector<int> codes;
        for (const auto &r : card->SecondStage().requests) {
            const int code = static_cast<std::uint8_t>(r.payload[0]);
            if (std::find(of.begin(), of.end(), code) != of.end())
                codes.push_back(code);
        }
        return codes;
    }
    Memory CardMemory(int device) {
        auto hold = card->SecondStage().Lock();
        return card->SecondStage().devices[static_cast<std::size_t>(device)].memory;
    }
    std::vector<CardSecondStageModel::Erase> Erases() {
        auto hold = card->SecondStage().Lock();
        return card->SecondStage().erases;
    }
    void ExpectErase(int device, int mode, std::uint32_t start, std::uint32_t end, int block = 0) {
        const auto erases = Erases();
        ASSERT_EQ(erases.size(), 1u);
        EXPECT_EQ(erases[0].device, device);
        EXPECT_EQ(erases[0].mode, mode);
        EXPECT_EQ(erases[0].start, start);
        EXPECT_EQ(erases[0].end, end);
        EXPECT_EQ(erases[0].block, block);
    }

    FastForwardClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    std::unique_ptr<CardStandIn> card;
    std::unique_ptr<testsupport::ScopedComMapping> map;
    std::unique_ptr<TLoaderInterface> loader;
    QTimer timeDriver;
    QTimer watchdog;
    bool fastForward = true;
};

} // namespace cardtest
