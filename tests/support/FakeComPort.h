#pragma once
#include "ComPort.h"

#include <string>
#include <vector>

namespace testsupport {

// A serial port that records what the program does with it: writes, breaks, rates, modem
// lines, flushes. Tests queue received bytes with Feed and choose how opening fails.
class FakeComPort : public platform::ComPort {
    Q_OBJECT
public:
    enum class OpenFailure { None, BadId, AlreadyOpen, InOutError, AccessDenied, OpenFailed, Other };

    bool IsOpen() const override { return open; }
    int InBuffUsed() override { return static_cast<int>(input.size() - readPos); }
    int OutBuffUsed() override { return outUsed; }
    void FlushInBuffer() override;
    void FlushOutBuffer() override { ++outputFlushes; }
    void SendBreak(unsigned ticks, bool yield) override;
    bool DrainOutput(int) override { return true; }

    // Queues received bytes and fires the data-available event as the real port would.
    void Feed(const std::string &bytes);

    OpenFailure failNextOpen = OpenFailure::None;
    bool refuseBaud = false;
    int outUsed = 0;

    std::string written;
    std::vector<unsigned> breaks;
    std::vector<int> baudChanges;
    int opens = 0;
    int closes = 0;
    int inputFlushes = 0;
    int outputFlushes = 0;

protected:
    void DoOpen() override;
    void DoClose() override;
    void DoSetBaud(int baud) override;
    void DoSetModemLines() override {}
    void DoWrite(const char *data, std::size_t length) override { written.append(data, length); }
    bool DoGetChar(char &c) override;

private:
    bool open = false;
    std::string input;
    std::size_t readPos = 0;
};

} // namespace testsupport
