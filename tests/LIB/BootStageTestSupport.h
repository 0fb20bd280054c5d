#pragma once
#include "CardBootModel.h"
#include "Clock.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"
#include "LoaderCallbackRecorder.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace bootstagetest {

using Seen = testsupport::LoaderCallbacksSeen;
inline Seen &seen = testsupport::loaderCallbacksSeen;
using testsupport::OnComplete;
using testsupport::OnMessage;
using testsupport::OnProgress;
using testsupport::OnRange;
using testsupport::OnStart;

inline void InstallCallbacks(TLoaderInterface &loader) {
    testsupport::InstallLoaderCallbacks(loader);
}

// The loader settings the stage engines read, written for one test and removed after it.
class ScopedEngineSettings {
public:
    ScopedEngineSettings(std::initializer_list<std::pair<const char *, QVariant>> values);
    ~ScopedEngineSettings();
};

// A facade on a fake port with a virtual clock; the real stage engines.
class BootStageTest : public ::testing::Test {
protected:
    void SetUp() override { MakeLoader(); }
    void MakeLoader() {
        seen = Seen{};
        auto data = std::make_unique<testsupport::FakeComPort>();
        port = data.get();
        loader = std::make_unique<TLoaderInterface>(nullptr, std::move(data),
                                                    std::make_unique<testsupport::FakeComPort>());
        InstallCallbacks(*loader);
        loader->MaintainComms(5, 115200, 0);
        loader->SetExePath((dir.path() + "/quorvel").toStdString().c_str());
    }
    void Advance(double seconds) { clock.Advance(static_cast<std::uint64_t>(seconds * 1000)); }
    // One timer tick of the facade.
    void Tick() { loader->RunTimer(); }
    // Bytes written since the last call.
    std::string Sent() {
        std::string s = port->written.substr(sentSoFar);
        sentSoFar = port->written.size();
        return s;
    }
    // The wake-up by breaks, from the first break on: two breaks of 4 ticks spaced by more than
    // the break spacing in whole seconds, then the reset command and the wake byte.
    void ExpectBreakWakeUp(char wakeByte) {
        Tick();
        EXPECT_EQ(port->breaks, std::vector<unsigned>{4});
        Advance(1);
        Tick();
        EXPECT_EQ(port->breaks.size(), 1u) << "one whole second is not more than 1500 / 1000";
        Advance(1);
        Tick();
        EXPECT_EQ(port->breaks.size(), 2u);
        Advance(2);
        Tick();
        EXPECT_EQ(Sent(), "") << "four seconds after the first break are not more than four";
        Advance(1);
        Tick();
        Tick();
        EXPECT_EQ(Sent(), std::string("\r\n\runlogall\rreset 1\r") + wakeByte);
    }
    // Hands what the program sent to the card and the card's answer back to the program.
    void Exchange(testsupport::CardBootModel &card) {
        const std::string answer = card.Feed(Sent());
        if (!answer.empty())
            port->Feed(answer);
    }
    // Ticks with a card on the line until the stage changes or n ticks passed; a tick is 0.1 s.
    void RunWith(testsupport::CardBootModel &card, int n = 2000) {
        const std::int8_t stage = loader->GetLoaderStage();
        for (int i = 0; i < n && loader->GetLoaderStage() == stage; ++i) {
            Tick();
            Exchange(card);
            Advance(0.1);
        }
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    std::unique_ptr<TLoaderInterface> loader;
    testsupport::FakeComPort *port = nullptr;
    std::size_t sentSoFar = 0;
};

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

} // namespace bootstagetest
