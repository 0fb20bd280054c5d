#pragma once
#include "CardSecondStageModel.h"
#include "Clock.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"
#include "LoaderCallbackRecorder.h"
#include "SSEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace secondstage {

using Seen = testsupport::LoaderCallbacksSeen;
inline Seen &seen = testsupport::loaderCallbacksSeen;
using testsupport::OnAbortRequest;
using testsupport::OnComplete;
using testsupport::OnMessage;
using testsupport::OnProgress;

// The engine with the card platform chosen by the test instead of by a first-stage banner.
class TestSSEngine : public SSEngine {
public:
    using SSEngine::SSEngine;
    std::string platform;

protected:
    std::string CardPlatform() const override { return platform; }
};

// One S-record line with its count and checksum: the type, the address in that many bytes, the data.
inline std::string RecordLine(char type, int addressBytes, std::uint32_t address, const std::vector<std::uint8_t> &data) {
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(addressBytes + 1 + data.size()));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    std::string line = std::string("S") + type;
    char hex[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

// A data line: type '1', '2' or '3'.
inline std::string SRecord(char type, std::uint32_t address, const std::vector<std::uint8_t> &data) {
    return RecordLine(type, type - '0' + 1, address, data);
}

// S3 lines of `perLine` bytes covering `total` bytes from `address`, the data a counting pattern.
inline std::string DataLines(std::uint32_t address, int total, int perLine) {
    std::string text;
    for (int done = 0; done < total; done += perLine) {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < perLine && done + i < total; ++i)
            data.push_back(static_cast<std::uint8_t>((done + i) * 7 + 3));
        text += SRecord('3', address + static_cast<std::uint32_t>(done), data) + "\n";
    }
    return text;
}

inline int Count(const std::string &text) {
    return static_cast<int>(std::count(seen.messages.begin(), seen.messages.end(), text));
}

// A facade on a fake port with the real second-stage engine, a virtual clock, the link up and
// the engine idle at state 29.
class SecondStage : public ::testing::Test {
protected:
    void SetUp() override {
        seen = Seen{};
        auto data = std::make_unique<testsupport::FakeComPort>();
        port = data.get();
        loader = std::make_unique<TLoaderInterface>(nullptr, std::move(data),
                                                    std::make_unique<testsupport::FakeComPort>());
        ss = new TestSSEngine(*loader);
        loader->pclMySecondStage.reset(ss);
        loader->SetOnMessage(OnMessage);
        loader->SetOnComplete(OnComplete);
        loader->SetOnAbortRequest(OnAbortRequest);
        loader->SetOnProgress(OnProgress);
        port->Open();
        ss->Start();
        ss->RxState = 0; // signed on
        ss->EngineState = SS_STATE_IDLE;
        loader->LoaderStage = LOADER_SECOND_STAGE;
    }

    // What the engine wrote since the last call.
    std::string Sent() {
        std::string w = port->written;
        port->written.clear();
        return w;
    }
    // Delivers bytes as the port would, in batches of at most 512, until all are read.
    void Feed(const std::string &bytes) {
        port->Feed(bytes);
        while (port->InBuffUsed() > 0)
            QCoreApplication::processEvents();
    }
    void FromCard(std::uint8_t address, std::uint16_t sequence, const std::string &payload,
                  bool corrupt = false) {
        Feed(testsupport::CardFrame(address, sequence, payload, corrupt));
    }
    void Ack(std::uint16_t sequence = 1) { FromCard(0x00, sequence, std::string(1, '\x01')); }
    void BufferFull(std::uint16_t sequence = 1) { FromCard(0x00, sequence, std::string(1, '\x02')); }
    void Nak(std::uint16_t sequence = 1) { FromCard(0x00, sequence, std::string(1, '\x03')); }
    // Starts a request state as the request start would, without pumping.
    std::uint8_t Begin(int state, std::uint8_t cardID = 0) {
        ss->CardID = cardID;
        ss->EngineState = state;
        return ss->Run();
    }
    // Steps the engine as the facade's tick does, again while it asks to.
    std::uint8_t Tick() {
        std::uint8_t r;
        do
            r = ss->Run();
        while (r == STAGE_AGAIN);
        return r;
    }
    void Debug() { loader->debugLevel = 255; }
    std::string WriteFile(const std::string &name, const std::string &text) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return path;
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    std::unique_ptr<TLoaderInterface> loader;
    testsupport::FakeComPort *port = nullptr;
    TestSSEngine *ss = nullptr;
};

} // namespace secondstage
