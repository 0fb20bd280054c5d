#pragma once
#include "TickTimer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

// Finds and wakes a Brisken receiver's front panel: asks it to switch its display on at 9600,
// 19200, 4800 and 38400 baud, clears the emulated display, presses and releases Home, then asks
// for the receiver's identity and goes on asking once a second to watch the connection.
// Stepped once a poll; every state does its entry action on the first step after it was entered
// and then waits for its condition.
class AcquireSequence {
public:
    // What the sequence does to the window and the line.
    struct Actions {
        std::function<void(std::int32_t baud)> setBaudRate;
        std::function<void(const char *text)> sendSentence;
        std::function<void()> clearLcd;
        std::function<void(const char *text)> showStatus;
        std::function<void(const char *text)> showReport;
        // Shows or hides the button, captioned "Acquire Brisken" either way.
        std::function<void(bool shown)> showButton;
    };

    enum State : std::uint8_t {
        Idle = 0,
        WaitingForRid = 12,
        UnableToConnect = 13,
        ConnectionOk = 14,
        ConnectionLost = 15,
    };

    explicit AcquireSequence(Actions actions);

    void SetAcquireState(std::uint8_t state);
    void AcquireStep();
    std::uint8_t GetAcquireState() const { return acquireState; }

    // A "RID" reply: the receiver's name, version and serial number (19 characters of each kept).
    void RidReceived(std::string_view name, std::string_view version, std::string_view serial);
    bool IsRidReceived() const { return ridReceived; }
    // The line went away under the sequence: back to idle, saying why.
    void LineLost();

private:
    void Enter();
    void ShowConnectionReport();

    Actions actions;
    TickTimer timer;
    std::uint8_t acquireState = Idle;
    bool entryPending = true;
    std::uint32_t stateStart = 0;
    bool ridReceived = false;
    bool ridSinceLastQuery = false;
    std::array<char, 20> reportName{};
    std::array<char, 20> reportVersion{};
    std::array<char, 20> reportSerial{};
};
