#pragma once
#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Serial port failures, caught by class by the loader engine.
class EComPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The port is held by another process (or another component of this one).
class EAlreadyOpen : public EComPortError {
public:
    using EComPortError::EComPortError;
};
// The COM number maps to no existing device.
class EBadId : public EComPortError {
public:
    using EComPortError::EComPortError;
};
// The port refused a setting (a baud rate it cannot do) or an I/O call failed.
class EInOutError : public EComPortError {
public:
    using EComPortError::EComPortError;
};
// The device exists but did not open (an I/O error, a node with no hardware behind it); the
// text names the device and the cause.
class EOpenFailed : public EComPortError {
public:
    using EComPortError::EComPortError;
};
// The user may not open the device; the text says how to get access.
class EPortAccessDenied : public EOpenFailed {
public:
    using EOpenFailed::EOpenFailed;
};
// A write or read on a port that is not open.
class EPortNotOpen : public EComPortError {
public:
    using EComPortError::EComPortError;
};

// States of the trace and the log: On records into a bounded buffer; Dump writes the buffer to
// its file (replacing it) and Append adds it to the end of the file, both then stop; Clear
// empties the buffer and keeps the state.
enum class TraceLogState { Off, On, Dump, Append, Clear };

// The serial port component of the loader: one COM port with its settings, writes, reads, the
// data-available event and a trace and a log of the traffic. SerialComPort is the real one;
// tests use a fake that records breaks, rates and modem lines.
class ComPort : public QObject {
    Q_OBJECT
public:
    using TriggerAvailHandler = std::function<void(ComPort &port, std::uint16_t count)>;

    explicit ComPort(QObject *parent = nullptr);
    ~ComPort() override;

    void SetComNumber(int number) { comNumber = number; }
    int GetComNumber() const { return comNumber; }
    // Stores the rate; on an open port applies it at once and raises EInOutError when refused.
    virtual void SetBaud(int baud);
    int GetBaud() const { return baud; }
    void SetRTS(bool on);
    bool GetRTS() const { return rts; }
    void SetDTR(bool on);
    bool GetDTR() const { return dtr; }

    // Open raises EBadId, EAlreadyOpen, EOpenFailed (EPortAccessDenied among them) or, for a rate
    // the device refuses, EInOutError.
    void SetOpen(bool open);
    bool GetOpen() const { return IsOpen(); }
    void Open();
    void Close();
    virtual bool IsOpen() const = 0;

    void PutChar(char c);
    void PutString(std::string_view text);
    void PutBlock(const void *data, std::size_t length);
    // One received byte; 0 when none is waiting.
    char GetChar();
    bool CharReady() { return InBuffUsed() > 0; }
    virtual int InBuffUsed() = 0;
    virtual int OutBuffUsed() = 0;
    int OutBuffFree();
    void SetOutSize(int size) { outSize = size; }
    int GetOutSize() const { return outSize; }
    void SetInSize(int size) { inSize = size; }
    int GetInSize() const { return inSize; }
    virtual void FlushInBuffer() = 0;
    virtual void FlushOutBuffer() = 0;
    // A break of the given number of ticks (55 ms each).
    virtual void SendBreak(unsigned ticks, bool yield) = 0;
    // Waits until everything written has left the port, at most timeoutMs; false on time-out.
    virtual bool DrainOutput(int timeoutMs) = 0;

    // Data-available event: fired with the number of bytes waiting; bytes the handler leaves
    // unread are offered again by a later event.
    void SetOnTriggerAvail(TriggerAvailHandler handler) { onTriggerAvail = std::move(handler); }
    void SetNotificationLevel(int level) { notificationLevel = level; }
    int GetNotificationLevel() const { return notificationLevel; }

    void SetTraceName(const QString &name) { traceName = name; }
    QString GetTraceName() const { return traceName; }
    void SetTraceSize(int size) { traceSize = size; }
    void SetTracing(TraceLogState state);
    TraceLogState GetTracing() const { return tracing; }

    void SetLogName(const QString &name) { logName = name; }
    QString GetLogName() const { return logName; }
    void SetLogSize(int size) { logSize = size; }
    void SetLogAllHex(bool on) { logAllHex = on; }
    void SetLogging(TraceLogState state);
    TraceLogState GetLogging() const { return logging; }

    // Told the name of a trace or log file that could not be written whole (it then keeps what
    // it held before); the records meant for it are lost.
    void SetOnWriteFailed(std::function<void(const QString &file)> handler) {
        onWriteFailed = std::move(handler);
    }

protected:
    virtual void DoOpen() = 0;
    virtual void DoClose() = 0;
    virtual void DoSetBaud(int baud) = 0;
    virtual void DoSetModemLines() = 0;
    virtual void DoWrite(const char *data, std::size_t length) = 0;
    virtual bool DoGetChar(char &c) = 0;

    // Subclasses call this when bytes arrived; it fires the event and re-offers leftovers.
    void DataArrived();
    // The device went away (unplugged): close, note it in the trace and the log.
    void DeviceLost(const QString &why);

private:
    struct Record {
        std::uint32_t tick;
        char direction; // 'T' transmitted, 'R' received, 'E' event
        std::string data;
    };
    void Note(std::vector<Record> &buffer, std::size_t &used, int limit, char direction, std::string data);
    void NoteTraffic(char direction, const char *data, std::size_t length);
    void WriteRecords(std::vector<Record> &buffer, std::size_t &used, const QString &file, bool append,
                      bool hex);
    void ApplyState(TraceLogState &current, TraceLogState requested, std::vector<Record> &buffer,
                    std::size_t &used, const QString &file, bool hex);
    void DeliverAvailable();
    void OfferAgainLater();

    int comNumber = 1;
    int baud = 9600;
    bool rts = true;
    bool dtr = true;
    int outSize = 4096;
    int inSize = 4096;
    int notificationLevel = 0;
    TriggerAvailHandler onTriggerAvail;
    std::function<void(const QString &file)> onWriteFailed;
    bool delivering = false;
    bool redeliveryQueued = false;

    QString traceName = QStringLiteral("APRO.TRC");
    int traceSize = 10000;
    TraceLogState tracing = TraceLogState::Off;
    std::vector<Record> traceBuffer;
    std::size_t traceUsed = 0;

    QString logName = QStringLiteral("APRO.LOG");
    int logSize = 10000;
    bool logAllHex = false;
    TraceLogState logging = TraceLogState::Off;
    std::vector<Record> logBuffer;
    std::size_t logUsed = 0;
};

} // namespace platform
