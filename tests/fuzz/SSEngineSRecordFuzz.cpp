// Firmware files of any content through the header reader, the range scan and the S-record
// parsers as programming uses them: every payload stays inside its buffer.
#include "Clock.h"
#include "FakeComPort.h"
#include "FuzzApplication.h"
#include "KTR3LoaderIntf.h"
#include "SSEngine.h"

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    return {
        std::string("\x00", 1) +
            "S0~P~A,B,C\nS0~D~X\nS0~T~APP\nS0~V~1.0\nS0~I~3\nS1050010AABB85\nS1050012CCDD3F\n"
            "S9030123D9\n",
        std::string("\x01", 1) + "S0~P~zqx5\nS307123456780102E1\nS205123456AAB4\nS70500000000FA\n",
        std::string("\x02", 1) + "S0~T~PIC\nS0~Q~1\nS1050020CCDD2E\nS1FF00\nS113000000010203040506070809\r\n",
        std::string("\x03", 1) + "S0~P~A\nS3FF0000000000" + std::string(300, '1') + "\nS9\nS90500800000FF\n",
    };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    EnsureApplication();
    static platform::VirtualClock clock;
    static platform::ScopedClock useClock(clock);
    static QTemporaryDir dir;
    static const std::string path = dir.filePath("fuzz.hex").toStdString();
    // Lives as long as the process, like the application object it needs.
    static TLoaderInterface *loader = [] {
        auto *l = new TLoaderInterface(nullptr, std::make_unique<testsupport::FakeComPort>(),
                                       std::make_unique<testsupport::FakeComPort>());
        l->pclMyComPort->Open();
        return l;
    }();
    if (size < 1)
        return 0;
    SSEngine &ss = *loader->pclMySecondStage;
    ss.Start();
    std::FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    loader->fileName = path;
    loader->BootCodeLoad = data[0] & 1;
    loader->IgnoreAppOffset = data[0] & 2;
    ss.ReadFileProperties();

    // Program the file as the states do, the card acknowledging every payload at once.
    ss.OpenFile();
    ss.ScanAddressRange(ss.LowAddress, ss.HighAddress);
    auto &port = static_cast<testsupport::FakeComPort &>(*loader->pclMyComPort);
    ss.EngineState = 12;
    for (int steps = 0; steps < 10000; ++steps) {
        port.written.clear();
        const std::uint8_t r = ss.Run();
        if (ss.PayloadLength > SSEngine::TxPayloadSize)
            std::abort();
        if (r == STAGE_FAILED || ss.EngineState == SS_STATE_IDLE || ss.EngineState > 16)
            break;
        if (ss.EngineState == 14 || ss.EngineState == 16)
            ss.AckReceived = true;
    }
    ss.CloseFile();

    // And each line alone through both parsers.
    std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    ss.NewPayload = true;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, std::min<std::size_t>(end - at, 255));
        const int r = (data[0] & 4) ? ss.ParseSRecordZqx(line.c_str()) : ss.ParseSRecord(line.c_str());
        if (r == 2 || r == 3)
            ss.NewPayload = true;
        if (ss.PayloadLength > SSEngine::TxPayloadSize)
            std::abort();
        at = end + 1;
    }
    return 0;
}
