#include "SerialComPort.h"

#include "Clock.h"
#include "ComPorts.h"
#include "MessagePump.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

SerialComPort::SerialComPort(QObject *parent) : ComPort(parent) {}

SerialComPort::~SerialComPort() {
    if (port && port->isOpen())
        port->close();
}

bool SerialComPort::IsOpen() const {
    return port && port->isOpen();
}

void SerialComPort::DoOpen() {
    devicePath = ComPortDevicePath(GetComNumber());
    if (devicePath.isEmpty() || !ComPortExists(GetComNumber()))
        throw EBadId(QStringLiteral("COM%1 does not exist (%2)")
                         .arg(GetComNumber())
                         .arg(devicePath.isEmpty() ? QStringLiteral("no device") : devicePath)
                         .toStdString());
    auto opened = std::make_unique<QSerialPort>();
    opened->setPortName(devicePath);
    opened->setReadBufferSize(GetInSize());
    if (!opened->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = opened->error();
        const QByteArray path = devicePath.toLocal8Bit();
        if (error == QSerialPort::DeviceNotFoundError)
            throw EBadId(
                ("COM" + std::to_string(GetComNumber()) + " does not exist (" + path.toStdString() + ")"));
        if (error == QSerialPort::PermissionError) {
            // Qt reports a port locked by another process and one we may not open alike.
            if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
                throw EPortAccessDenied(
                    "Permission denied opening " + path.toStdString() +
                    ". Add your user to the dialout group (sudo usermod -aG dialout $USER) "
                    "and log in again.");
            throw EAlreadyOpen(path.toStdString() + " is in use by another program.");
        }
        throw EOpenFailed("Cannot open " + path.toStdString() + ": " + opened->errorString().toStdString());
    }
    if (!opened->setBaudRate(GetBaud()) || !opened->setDataBits(QSerialPort::Data8) ||
        !opened->setParity(QSerialPort::NoParity) || !opened->setStopBits(QSerialPort::OneStop) ||
        !opened->setFlowControl(QSerialPort::NoFlowControl)) {
        const std::string why = opened->errorString().toStdString();
        opened->close();
        throw EInOutError("Invalid baud rate " + std::to_string(GetBaud()) + " for " +
                          devicePath.toStdString() + ": " + why);
    }
    port = std::move(opened);
    DoSetModemLines();
    connect(port.get(), &QSerialPort::readyRead, this, [this] { DataArrived(); });
    connect(port.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError && port && port->isOpen())
            DeviceLost(port->errorString());
    });
}

void SerialComPort::DoClose() {
    if (!port)
        return;
    port->disconnect(this);
    if (port->isOpen()) {
        port->clearError();
        port->close();
    }
    // Deleted later: Close may run inside one of this port's own signals.
    port.release()->deleteLater();
}

void SerialComPort::DoSetBaud(int rate) {
    if (!port->setBaudRate(rate))
        throw EInOutError("Invalid baud rate " + std::to_string(rate) + " for " + devicePath.toStdString());
}

void SerialComPort::DoSetModemLines() {
    // A pseudo-terminal has no modem lines; failing to set them there is not an error.
    port->setDataTerminalReady(GetDTR());
    port->setRequestToSend(GetRTS());
    port->clearError();
}

void SerialComPort::DoWrite(const char *data, std::size_t length) {
    if (port->write(data, static_cast<qint64>(length)) != static_cast<qint64>(length))
        throw EInOutError("Write to " + devicePath.toStdString() +
                          " failed: " + port->errorString().toStdString());
    // QSerialPort writes its buffer only from the event loop; start now so nothing waits for it.
    port->flush();
}

bool SerialComPort::DoGetChar(char &c) {
    if (port->bytesAvailable() == 0)
        port->waitForReadyRead(0);
    return port->getChar(&c);
}

int SerialComPort::InBuffUsed() {
    if (!IsOpen())
        return 0;
    return static_cast<int>(port->bytesAvailable());
}

int SerialComPort::KernelOutputQueue() const {
    int queued = 0;
    if (!port || ::ioctl(port->handle(), TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

int SerialComPort::OutBuffUsed() {
    if (!IsOpen())
        return 0;
    port->flush();
    return static_cast<int>(port->bytesToWrite()) + KernelOutputQueue();
}

void SerialComPort::FlushInBuffer() {
    if (IsOpen())
        port->clear(QSerialPort::Input);
}

void SerialComPort::FlushOutBuffer() {
    if (IsOpen())
        port->clear(QSerialPort::Output);
}

void SerialComPort::SendBreak(unsigned ticks, bool yield) {
    if (!IsOpen())
        throw EPortNotOpen("Port not open");
    DrainOutput(2000);
    // A pseudo-terminal takes the break without passing it on; that is not an error either.
    port->setBreakEnabled(true);
    const unsigned ms = ticks * 55;
    if (yield) {
        const std::uint32_t start = GetTickCount();
        while (GetTickCount() - start < ms) {
            ProcessMessages();
            Sleep(5);
        }
    } else {
        Sleep(ms);
    }
    if (IsOpen())
        port->setBreakEnabled(false);
    if (IsOpen())
        port->clearError();
}

bool SerialComPort::DrainOutput(int timeoutMs) {
    if (!IsOpen())
        return true;
    QElapsedTimer timer;
    timer.start();
    while (port->bytesToWrite() > 0) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return false;
        port->waitForBytesWritten(static_cast<int>(left));
        if (!IsOpen())
            return false;
    }
    // What the kernel still holds drains at the line rate; poll it rather than block in tcdrain.
    while (KernelOutputQueue() > 0) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        ::usleep(1000);
    }
    return true;
}

} // namespace platform
