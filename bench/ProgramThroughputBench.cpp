// Programs a 1 MiB image into the card stand-in over a pseudo-terminal whose far end takes and
// gives bytes at the pace of a serial line (10 bits a byte), at several baud rates. For each
// rate it prints the programming phase's payload rate against the line's payload capacity
// (baud x 8/10 bits a second), the whole run's time from EstablishLink to the clean-up, where the
// programming time went (bytes on the wire, and the gaps between them), and the CPU time the
// programming phase took as a share of one core: the whole process's (the stand-in's thread
// included) and the program's own thread's.
//
//   program_throughput_bench [baud ...]      (default 115200 460800 921600)
#include "CardStandIn.h"
#include "KTR3LoaderIntf.h"
#include "SSEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int imageBytes = 1024 * 1024;
constexpr int bytesPerLine = 32;
constexpr std::uint32_t baseAddress = 0x00400000;
constexpr int com = 47;

// CPU seconds of a clock such as CLOCK_PROCESS_CPUTIME_ID.
double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

QElapsedTimer clockSinceStart;
qint64 programStartMs = -1;
qint64 programEndMs = -1;
double processCpuAtStart = 0;
double processCpuAtEnd = 0;
double threadCpuAtStart = 0;
double threadCpuAtEnd = 0;
bool verbose = false;

void OnMessage(const char *text) {
    if (std::strncmp(text, "Using file: ", 12) == 0) {
        programStartMs = clockSinceStart.elapsed();
        processCpuAtStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        threadCpuAtStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    } else if (std::strcmp(text, "Download Complete") == 0) {
        programEndMs = clockSinceStart.elapsed();
        processCpuAtEnd = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        threadCpuAtEnd = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    }
    if (verbose)
        std::printf("  | %s\n", text);
}
void OnComplete(int) {}

std::string SRecordLine(std::uint32_t address, const std::uint8_t *data, int count) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(count + 5)};
    for (int i = 3; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data, data + count);
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    std::string line = "S3";
    char hex[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line + "\n";
}

std::string WriteImage(const QTemporaryDir &dir, std::vector<std::uint8_t> &data) {
    data.resize(imageBytes);
    std::uint32_t x = 12345;
    for (std::uint8_t &b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    const std::string path = dir.filePath("image.hex").toStdString();
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f)
        return {};
    std::fputs("S0~P~KTR557\nS0~T~APP\nS0~V~BENCH\n", f);
    for (int at = 0; at < imageBytes; at += bytesPerLine)
        std::fputs(
            SRecordLine(baseAddress + static_cast<std::uint32_t>(at), data.data() + at, bytesPerLine).c_str(),
            f);
    std::fputs("S70500400000BA\n", f);
    std::fclose(f);
    return path;
}

struct Result {
    bool ok = false;
    double ratio = 0;
    double programSeconds = 0;
    double runSeconds = 0;
    double wireSeconds = 0;
    long long frames = 0;
    long long frameBytes = 0;
    double processCpuShare = 0; // CPU seconds over wall seconds of the programming phase
    double threadCpuShare = 0;
};

Result Run(int baud, const std::string &path, const std::vector<std::uint8_t> &data) {
    Result result;
    testsupport::CardStandIn::Config config;
    config.boot.cards = {{"KTR557", "COM1", "3.10"}};
    config.lineRate = baud;
    testsupport::CardStandIn card(config);
    testsupport::ScopedComMapping map(com, card.DevicePath());

    TLoaderInterface loader;
    loader.SetOnMessage(OnMessage);
    loader.SetOnComplete(OnComplete);
    loader.MaintainComms(com, baud, 9600);
    programStartMs = programEndMs = -1;

    clockSinceStart.restart();
    if (!loader.EstablishLink(path.c_str())) {
        std::printf("%7d baud: the link did not come up\n", baud);
        return result;
    }
    const int programmed = loader.ProgramFile(path.c_str());
    loader.ResetCard();
    loader.Shutdown();
    while (loader.GetLoaderStage() != LOADER_IDLE)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    result.runSeconds = clockSinceStart.elapsed() / 1000.0;

    {
        auto hold = card.SecondStage().Lock();
        const auto &memory = card.SecondStage().devices[0].memory;
        bool same = memory.size() == data.size();
        for (auto it = memory.begin(); same && it != memory.end(); ++it)
            same = it->first >= baseAddress && it->first - baseAddress < data.size() &&
                   data[it->first - baseAddress] == it->second;
        result.ok = programmed == 1 && same && programStartMs >= 0 && programEndMs > programStartMs;
        for (const auto &request : card.SecondStage().requests)
            if (!request.payload.empty() && request.payload[0] == 30) {
                ++result.frames;
                result.frameBytes += static_cast<long long>(request.payload.size()) + 11;
            }
    }
    result.programSeconds = (programEndMs - programStartMs) / 1000.0;
    // Payload bits a second over the bits a second the line carries as data (8 of every 10).
    const double capacity = baud * 8.0 / 10.0;
    result.ratio = imageBytes * 8.0 / result.programSeconds / capacity;
    result.wireSeconds = result.frameBytes * 10.0 / baud;
    if (result.programSeconds > 0) {
        result.processCpuShare = (processCpuAtEnd - processCpuAtStart) / result.programSeconds;
        result.threadCpuShare = (threadCpuAtEnd - threadCpuAtStart) / result.programSeconds;
    }
    return result;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<int> rates;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else
            rates.push_back(std::atoi(argv[i]));
    }
    if (rates.empty())
        rates = {115200, 460800, 921600};

    QTemporaryDir dir;
    std::vector<std::uint8_t> data;
    const std::string path = WriteImage(dir, data);
    if (path.empty()) {
        std::fprintf(stderr, "cannot write the image\n");
        return 1;
    }
    std::printf("1 MiB image, %d-byte S3 lines; ratio = payload bits/s over baud x 8/10\n", bytesPerLine);
    bool allOk = true;
    for (int baud : rates) {
        const Result r = Run(baud, path, data);
        allOk = allOk && r.ok;
        const double gaps = r.programSeconds - r.wireSeconds;
        std::printf("%7d baud: ratio %.3f  programming %.2f s  run (EstablishLink to clean-up) %.2f s  %s\n",
                    baud, r.ratio, r.programSeconds, r.runSeconds, r.ok ? "card memory = image" : "FAILED");
        std::printf("             %lld payload frames, %lld bytes on the wire (framing %.4f), wire %.2f s, "
                    "gaps %.2f s = %.2f ms a payload\n",
                    r.frames, r.frameBytes,
                    static_cast<double>(imageBytes) / static_cast<double>(r.frameBytes), r.wireSeconds, gaps,
                    r.frames ? gaps * 1000.0 / static_cast<double>(r.frames) : 0.0);
        std::printf("             CPU while programming: process %.1f %% of a core, program thread %.1f %%\n",
                    r.processCpuShare * 100.0, r.threadCpuShare * 100.0);
    }
    return allOk ? 0 : 1;
}
