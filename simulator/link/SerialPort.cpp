#include "SerialPort.h"

#include "Clock.h"
#include "ComPorts.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct BaudEntry {
    std::int32_t baud;
    std::uint32_t microsecondsPerByte; // 10 bits a byte, rounded up
    speed_t speed;
};

constexpr BaudEntry kBaudTable[SerialPort::kBaudCount] = {
    {300, 33334, B300},   {600, 16667, B600},    {1200, 8334, B1200},  {2400, 4167, B2400},
    {4800, 2084, B4800},  {9600, 1042, B9600},   {19200, 521, B19200}, {38400, 261, B38400},
    {57600, 174, B57600}, {115200, 87, B115200},
};

// A write on a line that never drains (a peer that does not read, a wedged adapter) gives up
// after this long beyond the time its bytes need on the wire, so the window is never frozen for
// good. Callers write a sentence or a block at a time, so each waits at most once.
constexpr std::uint32_t kWriteGraceMs = 2000;

} // namespace

SerialPort::~SerialPort() {
    ClosePort();
}

std::int32_t SerialPort::BaudAt(std::uint8_t index) {
    return index < kBaudCount ? kBaudTable[index].baud : 0;
}

std::uint8_t SerialPort::BaudIndex(std::int32_t baud) {
    for (std::uint8_t i = 0; i < kBaudCount; ++i)
        if (kBaudTable[i].baud == baud)
            return i;
    return 255;
}

std::uint32_t SerialPort::MicrosecondsPerByteAt(std::uint8_t index) {
    return index < kBaudCount ? kBaudTable[index].microsecondsPerByte : 0;
}

std::uint8_t SerialPort::NextPortNumber(std::uint8_t n) {
    const int next = n + 1;
    return next >= 1 && next <= 99 ? static_cast<std::uint8_t>(next) : 255;
}

std::string SerialPort::PortName(std::uint8_t port) {
    if (port == 0 || port >= 100)
        return {};
    return platform::ComPortDevicePath(port).toStdString();
}

const char *SerialPort::OpenPortName() const {
    return IsOpen() ? deviceName.c_str() : nullptr;
}

bool SerialPort::OpenPort(std::uint8_t port, std::int32_t baud) {
    const std::uint8_t index = BaudIndex(baud);
    if (index == 255)
        return false;
    ClosePort();
    lastError = 0;
    if (port == 0 || port >= 100)
        return false;
    baudRate = baud;
    baudIndex = index;
    portNumber = port;
    deviceName = PortName(port);
    deviceGone = false;
    if (deviceName.empty())
        return false;
    handle = ::open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        RecordError("CreateFile");
        return false;
    }
    if (!Configure()) {
        // A port whose settings did not take is of no use and must not look connected.
        ClosePort();
        return false;
    }
    // No sharing: a second open of the device fails while we hold it.
    if (::ioctl(handle, TIOCEXCL) != 0) {
        RecordError("CreateFile");
        ClosePort();
        return false;
    }
    return true;
}

void SerialPort::ClosePort() {
    if (handle < 0)
        return;
    // Exclusivity outlives the close on a pseudo-terminal; clear it so the next open works.
    ::ioctl(handle, TIOCNXCL);
    ::close(handle);
    handle = -1;
}

void SerialPort::RecordError(const char *call) {
    lastError = static_cast<std::uint32_t>(errno);
    std::snprintf(errorText.data(), errorText.size(), "%s failed. Errno=%u\r\n", call, lastError);
}

bool SerialPort::Configure() {
    if (!IsOpen())
        return false;
    termios tio{};
    if (::tcgetattr(handle, &tio) != 0) {
        RecordError("GetCommState");
        return false;
    }
    // Raw 8 data bits, no parity, no flow control of either kind.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                          IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    if (stopBitsCode == 2)
        tio.c_cflag |= CSTOPB;
    // A read returns at once with what the driver holds.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = kBaudTable[baudIndex].speed;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(handle, TCSANOW, &tio) != 0) {
        RecordError("SetCommState");
        return false;
    }
    // tcsetattr succeeds when any part of the change took; the rate must have.
    termios applied{};
    const bool readBack = ::tcgetattr(handle, &applied) == 0;
    if (!readBack || ::cfgetospeed(&applied) != speed) {
        if (readBack)
            errno = EINVAL;
        RecordError("SetCommState");
        return false;
    }
    // DTR and RTS on. A pseudo-terminal has no modem lines; that is no reason to refuse it.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(handle, TIOCMBIS, &lines);
    return true;
}

void SerialPort::SetBaudRate(std::int32_t baud) {
    const std::uint8_t index = BaudIndex(baud);
    if (index == 255 || baud == baudRate)
        return;
    const std::int32_t previousRate = baudRate;
    const std::uint8_t previousIndex = baudIndex;
    baudRate = baud;
    baudIndex = index;
    // A rate the open port refused is not the rate it runs at; the caption shows this one.
    if (IsOpen() && !Configure()) {
        baudRate = previousRate;
        baudIndex = previousIndex;
    }
}

bool SerialPort::SetStopBits(std::int32_t code) {
    stopBitsCode = code == 2 ? 2 : 0;
    return Configure();
}

std::int32_t SerialPort::ReadPort(std::uint8_t *buffer, std::int32_t size) {
    if (!IsOpen() || buffer == nullptr || size <= 1)
        return 0;
    const ssize_t n = ::read(handle, buffer, static_cast<std::size_t>(size - 1));
    if (n > 0)
        return static_cast<std::int32_t>(n);
    // A raw line with no byte waiting reads 0 (or EAGAIN); a hang-up shows in poll, and an
    // I/O error means the device went away.
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        deviceGone = true;
    } else if (n == 0) {
        pollfd p{handle, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            deviceGone = true;
    }
    return 0;
}

std::int32_t SerialPort::WritePort(const std::uint8_t *buffer, std::int32_t count) {
    if (!IsOpen() || buffer == nullptr || count <= 0)
        return 0;
    const std::uint32_t perByte = kBaudTable[baudIndex].microsecondsPerByte;
    const std::uint64_t limitMs = static_cast<std::uint64_t>(count) * perByte / 1000 + kWriteGraceMs;
    const std::uint32_t start = platform::GetTickCount();
    std::int32_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(handle, buffer + written, static_cast<std::size_t>(count - written));
        if (n > 0) {
            written += static_cast<std::int32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (platform::GetTickCount() - start > limitMs)
            break;          // timed out: the rest of this write is dropped
        platform::Sleep(1); // on the clock seam, so a test's clock moves on while the line is stuck
    }
    txBudget += static_cast<std::uint32_t>(written) * perByte;
    return written;
}

bool SerialPort::WriteByte(std::uint8_t byte) {
    return WritePort(&byte, 1) == 1;
}

std::uint32_t SerialPort::DecayTxBudget(std::uint32_t from, std::uint32_t to) {
    const std::uint32_t gap = to - from;
    if (gap > 10000 || gap * 1000u >= txBudget)
        txBudget = 0;
    else
        txBudget -= gap * 1000u;
    return txBudget;
}

void SerialPort::PurgePort() {
    if (IsOpen())
        ::tcflush(handle, TCIOFLUSH);
}

void SerialPort::ClearPortErrors() {
    // The line keeps no error state to clear here: framing and overrun errors are not latched
    // on a raw termios line. The call stays so the menu reads as it should.
}

bool SerialPort::SetRts() {
    if (!IsOpen())
        return false;
    int bits = TIOCM_RTS;
    return ::ioctl(handle, TIOCMBIS, &bits) == 0;
}

bool SerialPort::ClearRts() {
    if (!IsOpen())
        return false;
    int bits = TIOCM_RTS;
    return ::ioctl(handle, TIOCMBIC, &bits) == 0;
}
