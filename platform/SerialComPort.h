#pragma once
#include "ComPort.h"

#include <memory>

class QSerialPort;

namespace platform {

// The real serial port: a COM number's device through QSerialPort, 8 data bits, no parity,
// one stop bit, no flow control.
class SerialComPort : public ComPort {
    Q_OBJECT
public:
    explicit SerialComPort(QObject *parent = nullptr);
    ~SerialComPort() override;

    bool IsOpen() const override;
    int InBuffUsed() override;
    int OutBuffUsed() override;
    void FlushInBuffer() override;
    void FlushOutBuffer() override;
    void SendBreak(unsigned ticks, bool yield) override;
    bool DrainOutput(int timeoutMs) override;

protected:
    void DoOpen() override;
    void DoClose() override;
    void DoSetBaud(int baud) override;
    void DoSetModemLines() override;
    void DoWrite(const char *data, std::size_t length) override;
    bool DoGetChar(char &c) override;

private:
    int KernelOutputQueue() const;
    std::unique_ptr<QSerialPort> port;
    QString devicePath;
};

} // namespace platform
