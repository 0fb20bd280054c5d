// Card bytes of any kind through the second-stage receive parser: it must stay inside its
// buffers and tables, whatever the engine is waiting for.
#include "CardSecondStageModel.h"
#include "Clock.h"
#include "FakeComPort.h"
#include "FuzzApplication.h"
#include "KTR3LoaderIntf.h"
#include "SSEngine.h"

#include <cstdlib>
#include <string>
#include <vector>

using testsupport::CardFrame;

std::vector<std::string> FuzzSeeds() {
    auto frame = [](std::uint8_t address, std::string payload) {
        return std::string(2, '\0') + CardFrame(address, 7, payload);
    };
    const std::string z(1, '\0');
    return {
        std::string(1, '\x09') + "xxSSERxxLxxOAD2" + CardFrame(0, 1, "\x01"),
        frame(0x00, "\x01"),
        frame(0x00, "\x02"),
        frame(0x00, "\x03"),
        frame(0x80, std::string("\x08\x02", 2) + "PSN" + z),
        frame(0x80, std::string("\x00\x01\x02\x03\x04", 5) + "error" + z),
        frame(0x80, std::string("\x26\x00\x06\x00\xAA\xBB\xCC\xDD", 8)),
        frame(0x80, std::string("\x47\x00\x00\x1A\x2B\x3C\x4D\x5E", 8)),
        frame(0x80, std::string("\x1D\x05", 2)),
        frame(0x80, std::string("\x0E\x00\x00", 3) + "debug" + z),
        frame(0x80, std::string("\x0C", 1) + "SSLP" + z),
        frame(0x80, std::string("\x40\x03", 2) + "v1" + z),
        frame(0x80, std::string("\x2E\x01\x04", 3)),
        std::string("\x00\x00\x5A\xA5\x80\xFF\xFF", 7),
        std::string("\x00\x00\x5A\xA5\x00\x00\x00\x00\x01\x00\x00\x00\x00", 13),
    };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    EnsureApplication();
    static platform::VirtualClock clock;
    static platform::ScopedClock useClock(clock);
    // Lives as long as the process, like the application object it needs.
    static TLoaderInterface *loader = [] {
        auto *l = new TLoaderInterface(nullptr, std::make_unique<testsupport::FakeComPort>(),
                                       std::make_unique<testsupport::FakeComPort>());
        l->pclMyComPort->Open();
        return l;
    }();
    if (size < 2)
        return 0;
    auto &port = static_cast<testsupport::FakeComPort &>(*loader->pclMyComPort);
    SSEngine &ss = *loader->pclMySecondStage;
    ss.Start();
    loader->ClearAbort();
    loader->debugLevel = data[0] & 0x80 ? 255 : 0;
    // The first byte chooses the parser's start (sign-on or frames), the second what the engine
    // waits for, so acknowledgements and buffer-full frames meet every state.
    ss.RxState = (data[0] & 1) ? 9 : 0;
    ss.EngineState = data[1] % 80;
    ss.DeviceID = static_cast<std::uint8_t>(data[1] % 15);
    port.outUsed = (data[0] & 2) ? port.GetOutSize() - 10 : 0;
    port.written.clear();
    std::size_t at = 2;
    while (at < size) {
        const int chunk = static_cast<int>(std::min<std::size_t>(size - at, 1 + data[at] % 64));
        ss.Receive(data + at, chunk);
        at += static_cast<std::size_t>(chunk);
        if (ss.RxState < 0 || ss.RxState > 16 || ss.RxCount > SSEngine::RxBufferSize)
            std::abort();
    }
    for (const auto &device : ss.DeviceDetails)
        if (device.HWCapabilities.size() > SSEngine::MaxRxPayload)
            std::abort();
    return 0;
}
