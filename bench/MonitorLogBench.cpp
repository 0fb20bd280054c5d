// Streams a realistic mix of device lines (display, guidance, identities, DGPS, plain text) at
// 115200 baud from the device stand-in into a connected Pelmora with the monitor and logging on,
// and prints the lines sent, the lines the main loop received, the lines written to the log, and
// the program's CPU time as a share of one core: idle while connected, then under the stream.
// The stand-in runs in a child process, so the CPU time measured is Pelmora's alone.
//
//   monitor_log_bench [seconds of traffic]      (default 20)
#include "DeviceStandIn.h"
#include "TfPelmora.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBaud = 115200;
constexpr int kIdleSeconds = 5;

std::string WithChecksum(const std::string &body) {
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

// One round of what a steering controller with a receiver behind it says in about half a second.
std::vector<std::string> Round() {
    std::vector<std::string> lines;
    for (const char *body : {
             "PQVZS,TXT,0,AUTO STEER  ON ",
             "PQVZR,HNX,PLT2,12.3,-4.56,1.5,3034.123456,N,10159.5,W,D,9,271.4,4470,-55,3,120,1,0",
             "PQVZS,TXT,16,XTE  0.12 FT   ",
             "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
             "PQVZR,HNX,PLT3,1,20,-35,12,8,4",
             "PQVZD,080,141,142,143,144",
             "PQVZR,HNX,SET22,1,2,3,1,5,10,90,100,4,6,7,200",
             "PQVZR,DID,Holvanek SC,1.05,x,y,SC000042",
             "PQVZR,LBX,BAR,3,-12",
             "PQVZR,RID,Brisken DGPS,2.10,A,B,SN0001234",
             "PQVZC,110,1",
         })
        lines.push_back(WithChecksum(body));
    lines.push_back("Holvanek SC ready, guidance active");
    return lines;
}

// The device's process: tells its pseudo-terminal, streams on 'g', reports the count, ends on 'q'.
int RunDevice(int commands, int results, int seconds) {
    // A receiver answers no query Pelmora sends unasked, so every line on the wire is the stream's.
    testsupport::DeviceStandIn device(testsupport::DeviceStandIn::Kind::Receiver);
    const std::string path = device.DevicePath().toStdString() + "\n";
    if (::write(results, path.data(), path.size()) < 0)
        return 1;
    char command = 0;
    if (::read(commands, &command, 1) != 1 || command != 'g')
        return 1;
    std::vector<std::string> lines;
    const std::vector<std::string> round = Round();
    long long bytes = 0;
    while (bytes * 10 < static_cast<long long>(kBaud) * seconds)
        for (const std::string &line : round) {
            lines.push_back(line);
            bytes += static_cast<long long>(line.size()) + 2;
        }
    device.SendPaced(lines, kBaud);
    const std::string count = std::to_string(lines.size()) + "\n";
    if (::write(results, count.data(), count.size()) < 0)
        return 1;
    ::read(commands, &command, 1);
    return 0;
}

std::string ReadLine(int fd, int timeoutMs) {
    std::string line;
    char c = 0;
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, timeoutMs) > 0 && ::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Counts what the main loop hands to the monitor from the line and what it sends, and passes it on.
class CountingPelmora : public TfPelmora {
public:
    long long received = 0;
    long long sent = 0;
    void AddMonitorLine(const char *text) override {
        ++received;
        TfPelmora::AddMonitorLine(text);
    }
    void AddMonitorLineAs(const char *text, int category) override {
        sent += category == 0;
        TfPelmora::AddMonitorLineAs(text, category);
    }
};

} // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    int commands[2], results[2];
    if (::pipe(commands) != 0 || ::pipe(results) != 0)
        return 1;
    const pid_t device = ::fork();
    if (device == 0) {
        ::close(commands[1]);
        ::close(results[0]);
        ::_exit(RunDevice(commands[0], results[1], seconds));
    }
    ::close(commands[0]);
    ::close(results[1]);
    const std::string path = ReadLine(results[0], 10000);
    if (path.empty())
        return 1;

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QFile ini(QDir::current().filePath("Pelmora.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Configuration]\nBaudRate=115200\nLogRfpMessages=1\n");
    ini.close();
    qputenv("COM1", QByteArray::fromStdString(path));

    int status = 1;
    {
        CountingPelmora window;
        window.show();
        window.findChild<QPushButton *>("bComOpenClose")->click();
        window.findChild<QPushButton *>("bLogMessages")->click();
        if (!window.IsPortOpen() || !window.IsLogging()) {
            std::fprintf(stderr, "could not connect and log on %s\n", path.c_str());
            return 1;
        }

        RunEvents(1000); // the window's first drawing is not the idle's
        QElapsedTimer wall;
        wall.start();
        double cpu = CpuSeconds();
        RunEvents(kIdleSeconds * 1000);
        const double idleShare = (CpuSeconds() - cpu) / (wall.elapsed() / 1000.0);

        char go = 'g';
        if (::write(commands[1], &go, 1) != 1)
            return 1;
        wall.restart();
        cpu = CpuSeconds();
        std::string sent;
        while (sent.empty()) {
            RunEvents(100);
            sent = ReadLine(results[0], 0);
        }
        const double trafficShare = (CpuSeconds() - cpu) / (wall.elapsed() / 1000.0);
        const double trafficSeconds = wall.elapsed() / 1000.0;
        RunEvents(500); // the last lines on their way
        char quit = 'q';
        ::write(commands[1], &quit, 1);

        QFile log("Pelmora.log");
        log.open(QIODevice::ReadOnly);
        const long long logged = log.readAll().count("\r\n");
        const long long lines = std::atoll(sent.c_str());
        std::printf("%d baud, %.1f s of traffic, monitor and logging on\n", kBaud, trafficSeconds);
        std::printf("  lines sent by the device      %lld\n", lines);
        std::printf("  lines received by main loop   %lld\n", window.received);
        std::printf("  lines written to the log      %lld (%lld received, %lld sent by Pelmora)\n", logged,
                    window.received, window.sent);
        std::printf("  CPU, connected and idle       %.2f %% of a core\n", idleShare * 100);
        std::printf("  CPU, under the stream         %.2f %% of a core\n", trafficShare * 100);
        status = lines == window.received && logged == window.received + window.sent ? 0 : 2;
        window.findChild<QPushButton *>("bComOpenClose")->click();
    }
    ::waitpid(device, nullptr, 0);
    return status;
}
