#include "SerialPort.h"

#include "Clock.h"
#include "PelmoraTestSupport.h"
#include "PseudoTerminal.h"
#include "SentenceParser.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using pelmoratest::kPatienceMs;
using pelmoratest::WaitUntil;
using testsupport::PseudoTerminal;
using testsupport::ScopedComMapping;

TEST(SerialPortTable, BaudTableAndPortNumbers) {
    EXPECT_EQ(SerialPort::BaudCount(), 10);
    EXPECT_EQ(SerialPort::BaudAt(0), 300);
    EXPECT_EQ(SerialPort::BaudAt(9), 115200);
    EXPECT_EQ(SerialPort::BaudAt(10), 0);
    EXPECT_EQ(SerialPort::BaudIndex(115200), 9);
    EXPECT_EQ(SerialPort::BaudIndex(14400), 255);
    // 10 bits a byte, rounded up.
    for (std::uint8_t i = 0; i < 10; ++i) {
        const std::uint32_t exact = 10000000u / static_cast<std::uint32_t>(SerialPort::BaudAt(i));
        const bool remainder = 10000000u % static_cast<std::uint32_t>(SerialPort::BaudAt(i)) != 0;
        EXPECT_EQ(SerialPort::MicrosecondsPerByteAt(i), exact + (remainder ? 1 : 0)) << SerialPort::BaudAt(i);
    }
    EXPECT_EQ(SerialPort::NextPortNumber(0), 1);
    EXPECT_EQ(SerialPort::NextPortNumber(98), 99);
    EXPECT_EQ(SerialPort::NextPortNumber(99), 255);
    EXPECT_EQ(SerialPort::NextPortNumber(255), 255);
    EXPECT_EQ(SerialPort::PortName(0), "");
    EXPECT_EQ(SerialPort::PortName(100), "");
    EXPECT_EQ(SerialPort::PortName(9), "/dev/ttyS8");
}

TEST(SerialPortClosed, DoesNothingAndSaysSo) {
    SerialPort port;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.OpenPortName(), nullptr);
    EXPECT_EQ(port.GetBaudRate(), 38400);
    std::uint8_t buffer[8];
    EXPECT_EQ(port.ReadPort(buffer, sizeof buffer), 0);
    EXPECT_EQ(port.WritePort(buffer, 4), 0);
    EXPECT_FALSE(port.WriteByte('A'));
    EXPECT_FALSE(port.SetRts());
    EXPECT_FALSE(port.ClearRts());
    EXPECT_FALSE(port.SetStopBits(2));
    EXPECT_EQ(port.GetTxBudget(), 0u);
    port.SetBaudRate(9600); // stored for a closed port
    EXPECT_EQ(port.GetBaudRate(), 9600);
    port.SetBaudRate(14400); // not in the table
    EXPECT_EQ(port.GetBaudRate(), 9600);
}

TEST(SerialPortBudget, GrowsWithWritesAndDecaysWithTime) {
    PseudoTerminal pty;
    ScopedComMapping map(61, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(61, 9600));
    const std::uint8_t ten[10] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(port.WritePort(ten, 10), 10);
    EXPECT_EQ(port.GetTxBudget(), 10420u);
    EXPECT_EQ(port.DecayTxBudget(1000, 1005), 5420u);
    EXPECT_EQ(port.DecayTxBudget(1000, 1006), 0u); // as much as the budget or more
    port.WritePort(ten, 10);
    EXPECT_EQ(port.DecayTxBudget(0xFFFFFFFEu, 3), 5420u); // the tick count wrapped in between
    EXPECT_EQ(port.DecayTxBudget(7, 7 + 10001), 0u);
    port.ClosePort();
}

TEST(SerialPortOpen, RawExclusiveAtTheChosenRate) {
    PseudoTerminal pty;
    ScopedComMapping map(62, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(62, 19200));
    ASSERT_NE(port.OpenPortName(), nullptr);
    EXPECT_EQ(port.OpenPortName(), pty.DevicePath().toStdString());

    // A second opener is refused; root may open anyway, but then the flag must be set.
    const int other = ::open(pty.DevicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other < 0) {
        EXPECT_EQ(errno, EBUSY);
    } else {
        int exclusive = 0;
        ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1);
        termios tio{};
        ASSERT_EQ(::tcgetattr(other, &tio), 0);
        EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
        port.SetStopBits(2);
        ASSERT_EQ(::tcgetattr(other, &tio), 0);
        EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
        port.SetBaudRate(115200);
        ASSERT_EQ(::tcgetattr(other, &tio), 0);
        EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
        ::close(other);
    }

    // Bytes both ways; a read never waits.
    pty.Write("$PQVZS,CLR\r\n");
    std::uint8_t buffer[64] = {};
    std::int32_t got = 0;
    EXPECT_TRUE(WaitUntil([&] {
        got += port.ReadPort(buffer + got, static_cast<std::int32_t>(sizeof buffer) - got);
        return got >= 12;
    }));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), 12), "$PQVZS,CLR\r\n");
    EXPECT_EQ(port.ReadPort(buffer, sizeof buffer), 0);
    EXPECT_FALSE(port.IsDeviceGone());
    EXPECT_TRUE(port.WriteByte('K'));
    EXPECT_EQ(pty.Read(kPatienceMs, 1), "K");

    // Closing clears exclusivity, so the device opens again at once.
    port.ClosePort();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.OpenPort(62, 38400));
    port.ClosePort();
}

TEST(SerialPortOpen, FailuresLeaveTheRightPortState) {
    PseudoTerminal pty;
    ScopedComMapping map(63, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(63, 9600));
    EXPECT_FALSE(port.OpenPort(3, 12345)); // a rate outside the table: the open port stays
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetBaudRate(), 9600);
    EXPECT_FALSE(port.OpenPort(0, 9600)); // port 0 closes and fails
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(port.OpenPort(63, 9600));
    EXPECT_FALSE(port.OpenPort(100, 9600));
    EXPECT_FALSE(port.IsOpen());

    {
        ScopedComMapping missing(64, "/dev/no-such-serial-device");
        EXPECT_FALSE(port.OpenPort(64, 9600));
        EXPECT_FALSE(port.IsOpen());
    }
    {
        // A device that is no terminal cannot be configured: the port is closed again rather
        // than left open at a rate that never took.
        QTemporaryDir dir;
        const std::string plain = dir.filePath("not-a-port").toStdString();
        ::close(::open(plain.c_str(), O_WRONLY | O_CREAT, 0600));
        ScopedComMapping notATerminal(64, QString::fromStdString(plain));
        EXPECT_FALSE(port.OpenPort(64, 9600));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_NE(port.GetLastError(), 0u);
        EXPECT_STRNE(port.GetErrorText(), "");
    }
}

TEST(SerialPortRead, AtMostSizeLessOneBytes) {
    PseudoTerminal pty;
    ScopedComMapping map(65, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(65, 115200));
    pty.Write(std::string(9000, 'x'));
    // Every read, whatever the line holds at that moment, leaves the caller's last byte alone.
    std::vector<std::uint8_t> buffer(8096, 0);
    std::int32_t total = 0;
    EXPECT_TRUE(WaitUntil([&] {
        const std::int32_t got = port.ReadPort(buffer.data(), 8095);
        EXPECT_LE(got, 8094);
        EXPECT_EQ(buffer[8094], 0); // left for a terminator
        total += got;
        return total >= 9000;
    }));
    EXPECT_EQ(total, 9000);
    port.ClosePort();
}

TEST(SerialPortRead, HangUpMarksTheDeviceGone) {
    PseudoTerminal pty;
    ScopedComMapping map(66, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(66, 9600));
    pty.Unplug();
    std::uint8_t buffer[16];
    EXPECT_EQ(port.ReadPort(buffer, sizeof buffer), 0);
    EXPECT_TRUE(port.IsDeviceGone());
    port.ClosePort();
}

TEST(SerialPortBaud, ARefusedRateLeavesTheRateTheLineRuns) {
    PseudoTerminal pty;
    ScopedComMapping map(67, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(67, 19200));
    port.SetBaudRate(57600);
    EXPECT_EQ(port.GetBaudRate(), 57600);
    // A hung-up line refuses every change: the port still runs, as far as it runs, at 57600.
    pty.Unplug();
    port.SetBaudRate(9600);
    EXPECT_EQ(port.GetBaudRate(), 57600);
    EXPECT_NE(port.GetLastError(), 0u);
    port.ClosePort();
    port.SetBaudRate(9600); // a closed port keeps the rate for the next open
    EXPECT_EQ(port.GetBaudRate(), 9600);
}

TEST(SerialPortWrite, AStuckLineHoldsEachSentenceUpOnce) {
    PseudoTerminal pty; // its far end reads nothing until told
    ScopedComMapping map(68, pty.DevicePath());
    SerialPort port;
    ASSERT_TRUE(port.OpenPort(68, 115200));
    {
        platform::VirtualClock clock;
        platform::ScopedClock useClock(clock);
        const std::vector<std::uint8_t> block(65536, 'x');
        ASSERT_LT(port.WritePort(block.data(), static_cast<std::int32_t>(block.size())), 65536);
        // The line is full: each sentence waits once, the grace and its own wire time, and the
        // rest of it is dropped, rather than a wait for every byte.
        for (const char *sentence : {"$PQVZK,8", "$PQVZK,0"}) {
            const std::uint32_t before = clock.TickCount();
            SentenceParser::SendLine(port, sentence);
            const std::uint32_t waited = clock.TickCount() - before;
            EXPECT_GE(waited, 2000u) << sentence;
            EXPECT_LE(waited, 2002u) << sentence;
        }
    }
    // Once the far end has read what the line took (the budget counts it), sentences go
    // through whole again.
    const std::size_t accepted = port.GetTxBudget() / SerialPort::MicrosecondsPerByteAt(9);
    std::string got;
    ASSERT_TRUE(WaitUntil([&] {
        got += pty.Read(10, 1);
        return got.size() >= accepted;
    }));
    SentenceParser::SendLine(port, "$PQVZS,LCD,ON");
    EXPECT_TRUE(WaitUntil([&] {
        got += pty.Read(10, 1);
        return got.ends_with("$PQVZS,LCD,ON\r\n");
    }));
    EXPECT_EQ(got.size(), accepted + 15);
    port.ClosePort();
}
