#include "SerialComPort.h"
#include "Clock.h"
#include "FakeComPort.h"
#include "PseudoTerminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::PseudoTerminal;
using testsupport::ScopedComMapping;

namespace {

constexpr int kCom = 41;
// Waits end as soon as their condition holds; the limit only bounds a failing run, so it is far
// beyond anything a loaded machine needs.
constexpr int kPatienceMs = 30000;

// Runs the event loop until cond holds or the patience runs out.
template <typename Cond> bool PumpUntil(Cond cond, int ms = kPatienceMs) {
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return cond();
}

} // namespace

TEST(SerialComPort, BytesTravelBothWays) {
    PseudoTerminal pty;
    ScopedComMapping map(kCom, pty.DevicePath());
    SerialComPort port;
    port.SetComNumber(kCom);
    port.SetBaud(115200);
    port.Open();
    ASSERT_TRUE(port.IsOpen());

    port.PutString("hello");
    port.PutChar('!');
    const char block[] = {0x3C, static_cast<char>(0xC3), 0x00, 0x01};
    port.PutBlock(block, sizeof block);
    EXPECT_TRUE(port.DrainOutput(kPatienceMs));
    EXPECT_EQ(pty.Read(kPatienceMs, 10), std::string("hello!") + std::string(block, 4));

    pty.Write("abc");
    ASSERT_TRUE(PumpUntil([&] { return port.InBuffUsed() == 3; }));
    EXPECT_EQ(port.GetChar(), 'a');
    EXPECT_EQ(port.GetChar(), 'b');
    EXPECT_EQ(port.GetChar(), 'c');
    EXPECT_EQ(port.GetChar(), 0);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THROW(port.PutChar('x'), EPortNotOpen);
}

TEST(SerialComPort, LeftoverBytesAreOfferedAgain) {
    PseudoTerminal pty;
    ScopedComMapping map(kCom, pty.DevicePath());
    SerialComPort port;
    port.SetComNumber(kCom);
    std::vector<int> counts;
    std::string got;
    port.SetOnTriggerAvail([&](ComPort &p, std::uint16_t count) {
        counts.push_back(count);
        for (int i = 0; i < 512 && i < count; ++i)
            got += p.GetChar();
    });
    port.Open();
    std::string sent;
    for (int i = 0; i < 600; ++i)
        sent += static_cast<char>(i % 251);
    pty.Write(sent);
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 600; }));
    EXPECT_EQ(got, sent);
    ASSERT_GE(counts.size(), 2u);
}

TEST(SerialComPort, BytesThatArriveWhileTheHandlerRunsAreOfferedAgain) {
    // A data event during the handler, as when a modal box inside it pumps events, must not
    // leave the bytes the handler did not read waiting for data that may never come.
    testsupport::FakeComPort port;
    std::string got;
    int calls = 0;
    port.SetOnTriggerAvail([&](ComPort &p, std::uint16_t) {
        got += p.GetChar(); // one byte a call, so every call leaves some behind
        if (calls++ == 0)
            port.Feed("later");
    });
    port.Open();
    port.Feed("first");
    ASSERT_TRUE(PumpUntil([&] { return got == "firstlater"; }, 2000)) << got;
    EXPECT_EQ(port.InBuffUsed(), 0);
}

TEST(SerialComPort, MissingDeviceRaisesBadId) {
    ScopedComMapping map(kCom, "/dev/no-such-serial-device");
    SerialComPort port;
    port.SetComNumber(kCom);
    EXPECT_THROW(port.Open(), EBadId);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialComPort, OtherOpenFailuresNameTheDeviceAndTheCause) {
    // A node that is no serial device stands for one with no hardware behind it.
    QTemporaryDir dir;
    const QString node = dir.filePath("ttyS9");
    QFile file(node);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ScopedComMapping map(kCom, node);
    SerialComPort port;
    port.SetComNumber(kCom);
    try {
        port.Open();
        ADD_FAILURE() << "opened a file that is no serial device";
    } catch (const EOpenFailed &e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Cannot open " + node.toStdString() + ": ", 0), 0u) << text;
        EXPECT_GT(text.size(), ("Cannot open " + node.toStdString() + ": ").size()) << "the cause";
    }
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialComPort, DeviceHeldElsewhereRaisesAlreadyOpen) {
    PseudoTerminal pty;
    ScopedComMapping map(kCom, pty.DevicePath());
    SerialComPort first;
    first.SetComNumber(kCom);
    first.Open();
    SerialComPort second;
    second.SetComNumber(kCom);
    EXPECT_THROW(second.Open(), EAlreadyOpen);
    first.Close();
    // Once the holder lets go the port opens again.
    EXPECT_NO_THROW(second.Open());
}

TEST(SerialComPort, PseudoTerminalTakesBreaksRatesAndModemLines) {
    PseudoTerminal pty;
    ScopedComMapping map(kCom, pty.DevicePath());
    VirtualClock clock;
    ScopedClock use(clock);
    SerialComPort port;
    port.SetComNumber(kCom);
    port.SetRTS(false);
    port.Open();
    EXPECT_NO_THROW(port.SendBreak(4, false));
    EXPECT_NO_THROW(port.SetBaud(921600));
    EXPECT_EQ(port.GetBaud(), 921600);
    EXPECT_NO_THROW(port.SetRTS(true));
    EXPECT_EQ(port.OutBuffUsed(), 0);
    EXPECT_EQ(port.OutBuffFree(), port.GetOutSize());
    port.PutString("after break");
    EXPECT_EQ(pty.Read(kPatienceMs, 11), "after break");
}

TEST(SerialComPort, LogAppendsHexLinesToItsFile) {
    QTemporaryDir dir;
    const QString log = dir.filePath("Stage1.Log");
    testsupport::FakeComPort port;
    port.SetLogName(log);
    port.SetLogAllHex(true);
    port.SetLogging(TraceLogState::On);
    port.Open();
    port.PutString("\x3C\xC3");
    port.Feed("Y");
    EXPECT_EQ(port.GetChar(), 'Y');
    port.SetLogging(TraceLogState::Append);
    EXPECT_EQ(port.GetLogging(), TraceLogState::Off);
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("Transmit  3C C3")) << text.constData();
    EXPECT_TRUE(text.contains("Receive   59")) << text.constData();
    f.close();
    // Append keeps what the file held; a second milestone adds to it.
    port.SetLogging(TraceLogState::On);
    port.PutChar('Z');
    port.SetLogging(TraceLogState::Append);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray again = f.readAll();
    EXPECT_TRUE(again.startsWith(text));
    EXPECT_TRUE(again.contains("Transmit  5A"));
}

TEST(SerialComPort, LogBufferStaysBounded) {
    QTemporaryDir dir;
    testsupport::FakeComPort port;
    port.SetLogName(dir.filePath("big.log"));
    port.SetLogSize(2048);
    port.SetLogAllHex(true);
    port.SetLogging(TraceLogState::On);
    port.Open();
    for (int i = 0; i < 10000; ++i)
        port.PutString(std::string(100, 'x'));
    port.SetLogging(TraceLogState::Dump);
    EXPECT_LT(QFileInfo(dir.filePath("big.log")).size(), 20000);
}
