#include "ComPort.h"

#include "Clock.h"
#include "WholeFile.h"

#include <QFile>
#include <QMetaObject>
#include <algorithm>

namespace platform {

ComPort::ComPort(QObject *parent) : QObject(parent) {}

ComPort::~ComPort() = default;

void ComPort::SetBaud(int rate) {
    if (IsOpen())
        DoSetBaud(rate); // raises when refused, keeping the old rate
    baud = rate;
}

void ComPort::SetRTS(bool on) {
    rts = on;
    if (IsOpen())
        DoSetModemLines();
}

void ComPort::SetDTR(bool on) {
    dtr = on;
    if (IsOpen())
        DoSetModemLines();
}

void ComPort::SetOpen(bool open) {
    if (open)
        Open();
    else
        Close();
}

void ComPort::Open() {
    if (IsOpen())
        return;
    DoOpen();
    if (tracing == TraceLogState::On)
        Note(traceBuffer, traceUsed, traceSize, 'E', "open");
    if (logging == TraceLogState::On)
        Note(logBuffer, logUsed, logSize, 'E', "open");
}

void ComPort::Close() {
    if (!IsOpen())
        return;
    DoClose();
    // The trace is written when the port closes, so a run's traffic is on disk afterwards.
    if (tracing == TraceLogState::On)
        WriteRecords(traceBuffer, traceUsed, traceName, true, true);
}

void ComPort::PutChar(char c) {
    PutBlock(&c, 1);
}

void ComPort::PutString(std::string_view text) {
    PutBlock(text.data(), text.size());
}

void ComPort::PutBlock(const void *data, std::size_t length) {
    if (!IsOpen())
        throw EPortNotOpen("Port not open");
    if (length == 0)
        return;
    const char *bytes = static_cast<const char *>(data);
    DoWrite(bytes, length);
    NoteTraffic('T', bytes, length);
}

char ComPort::GetChar() {
    if (!IsOpen())
        throw EPortNotOpen("Port not open");
    char c = 0;
    if (!DoGetChar(c))
        return 0;
    NoteTraffic('R', &c, 1);
    return c;
}

int ComPort::OutBuffFree() {
    return std::max(0, outSize - OutBuffUsed());
}

void ComPort::DataArrived() {
    // A handler that runs now (a modal box inside it pumps events) gets these bytes offered
    // again once it returns.
    if (!delivering)
        DeliverAvailable();
}

void ComPort::DeliverAvailable() {
    if (delivering || !IsOpen() || !onTriggerAvail)
        return;
    const int waiting = InBuffUsed();
    if (waiting <= 0)
        return;
    delivering = true;
    try {
        onTriggerAvail(*this, static_cast<std::uint16_t>(std::min(waiting, 0xFFFF)));
    } catch (...) {
        delivering = false;
        throw;
    }
    delivering = false;
    // Bytes that were already waiting raise no new signal: offer them again.
    if (IsOpen() && InBuffUsed() > 0)
        OfferAgainLater();
}

void ComPort::OfferAgainLater() {
    if (redeliveryQueued)
        return;
    redeliveryQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            redeliveryQueued = false;
            DeliverAvailable();
        },
        Qt::QueuedConnection);
}

void ComPort::DeviceLost(const QString &why) {
    const std::string text = "device lost: " + why.toStdString();
    if (tracing == TraceLogState::On)
        Note(traceBuffer, traceUsed, traceSize, 'E', text);
    if (logging == TraceLogState::On)
        Note(logBuffer, logUsed, logSize, 'E', text);
    Close();
}

void ComPort::NoteTraffic(char direction, const char *data, std::size_t length) {
    if (tracing == TraceLogState::On)
        Note(traceBuffer, traceUsed, traceSize, direction, std::string(data, length));
    if (logging == TraceLogState::On)
        Note(logBuffer, logUsed, logSize, direction, std::string(data, length));
}

void ComPort::Note(std::vector<Record> &buffer, std::size_t &used, int limit, char direction,
                   std::string data) {
    constexpr std::size_t recordCost = 16; // what a record's stamp and direction cost in the buffer
    const std::size_t size = data.size();
    // Consecutive bytes of one direction share a record, as a trace reads best that way.
    if (!buffer.empty() && buffer.back().direction == direction && direction != 'E' &&
        buffer.back().data.size() < 64) {
        buffer.back().data += data;
    } else {
        buffer.push_back({GetTickCount(), direction, std::move(data)});
        used += recordCost;
    }
    used += size;
    // The buffer is bounded like the component's: the oldest records go first.
    const std::size_t cap = static_cast<std::size_t>(std::max(limit, 1024));
    std::size_t drop = 0;
    while (used > cap && drop + 1 < buffer.size()) {
        used -= buffer[drop].data.size() + recordCost;
        ++drop;
    }
    if (drop > 0)
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(drop));
}

void ComPort::WriteRecords(std::vector<Record> &buffer, std::size_t &used, const QString &file, bool append,
                           bool hex) {
    QByteArray text;
    for (const Record &r : buffer) {
        QByteArray line = QByteArray::number(r.tick / 1000.0, 'f', 3).rightJustified(12) + "  ";
        if (r.direction == 'E') {
            line += "Event     " + QByteArray::fromStdString(r.data);
        } else {
            line += r.direction == 'T' ? "Transmit  " : "Receive   ";
            const QByteArray bytes = QByteArray::fromStdString(r.data);
            if (hex) {
                line += bytes.toHex(' ').toUpper();
            } else {
                for (char c : bytes)
                    line += (c >= 0x20 && c < 0x7F) ? QByteArray(1, c)
                                                    : "[" + QByteArray(1, c).toHex().toUpper() + "]";
            }
        }
        text += line + '\n';
    }
    const bool any = !buffer.empty();
    buffer.clear();
    used = 0;
    if (!any)
        return;
    const bool written = append ? AppendWhole(file, text.toStdString()) : SaveWhole(file, text);
    if (!written && onWriteFailed)
        onWriteFailed(file);
}

void ComPort::ApplyState(TraceLogState &current, TraceLogState requested, std::vector<Record> &buffer,
                         std::size_t &used, const QString &file, bool hex) {
    switch (requested) {
    case TraceLogState::Off:
        buffer.clear();
        used = 0;
        current = TraceLogState::Off;
        break;
    case TraceLogState::On:
        current = TraceLogState::On;
        break;
    case TraceLogState::Dump:
    case TraceLogState::Append:
        WriteRecords(buffer, used, file, requested == TraceLogState::Append, hex);
        current = TraceLogState::Off;
        break;
    case TraceLogState::Clear:
        buffer.clear();
        used = 0;
        break;
    }
}

void ComPort::SetTracing(TraceLogState state) {
    ApplyState(tracing, state, traceBuffer, traceUsed, traceName, true);
}

void ComPort::SetLogging(TraceLogState state) {
    ApplyState(logging, state, logBuffer, logUsed, logName, logAllHex);
}

} // namespace platform
