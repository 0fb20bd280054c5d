#pragma once
#include <array>
#include <cstdint>
#include <string>

// The simulator's one link to the device: a serial device opened on demand, read by polling
// without ever blocking, written synchronously. Beside it runs the transmit budget, an estimate
// in microseconds of how long the bytes already written still need on the wire.
class SerialPort {
public:
    static constexpr int kBaudCount = 10;

    SerialPort() = default;
    // The owner closes the port first (ClosePort); closing here as well keeps a forgotten
    // descriptor from locking the device for the rest of the run.
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    bool OpenPort(std::uint8_t port, std::int32_t baud);
    void ClosePort();
    bool IsOpen() const { return handle >= 0; }
    // The device of the open port, or nullptr when closed.
    const char *OpenPortName() const;

    void SetBaudRate(std::int32_t baud);
    std::int32_t GetBaudRate() const { return baudRate; }
    bool SetStopBits(std::int32_t code);

    std::int32_t ReadPort(std::uint8_t *buffer, std::int32_t size);
    std::int32_t WritePort(const std::uint8_t *buffer, std::int32_t count);
    bool WriteByte(std::uint8_t byte);

    std::uint32_t GetTxBudget() const { return txBudget; }
    std::uint32_t DecayTxBudget(std::uint32_t from, std::uint32_t to);

    void PurgePort();
    void ClearPortErrors();
    bool SetRts();
    bool ClearRts();

    // Set when a read found the device gone (an unplugged adapter hangs up); the owner closes.
    bool IsDeviceGone() const { return deviceGone; }
    // errno of the last failed open or configuration call.
    std::uint32_t GetLastError() const { return lastError; }
    const char *GetErrorText() const { return errorText.data(); }

    static int BaudCount() { return kBaudCount; }
    static std::int32_t BaudAt(std::uint8_t index);
    static std::uint8_t BaudIndex(std::int32_t baud);
    static std::uint32_t MicrosecondsPerByteAt(std::uint8_t index);
    static std::uint8_t NextPortNumber(std::uint8_t n);
    // The device to open for a COM number; empty for 0 and for 100 and above.
    static std::string PortName(std::uint8_t port);

private:
    bool Configure();
    void RecordError(const char *call);

    std::uint8_t portNumber = 0;
    std::string deviceName;
    int handle = -1;
    std::uint8_t baudIndex = 7;
    std::int32_t baudRate = 38400;
    std::int32_t stopBitsCode = 0;
    std::uint32_t txBudget = 0;
    std::uint32_t lastError = 0;
    std::array<char, 88> errorText{};
    bool deviceGone = false;
};
