#pragma once
#include "PseudoTerminal.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A steering controller or a receiver with a front panel on the far end of a pseudo-terminal.
// It runs in a thread of its own, sends what the test asks for (display, contrast and backlight
// sentences, or any line), answers the simulator's queries and records every line it receives.
class DeviceStandIn {
public:
    enum class Kind { SteeringController, Receiver };

    DeviceStandIn(PseudoTerminal &pty, Kind kind);
    ~DeviceStandIn();
    DeviceStandIn(const DeviceStandIn &) = delete;
    DeviceStandIn &operator=(const DeviceStandIn &) = delete;

    // Sends one line; CR LF is added.
    void SendLine(const std::string &line);
    // Sends bytes exactly as given.
    void SendRaw(const std::string &bytes);
    void ShowText(int position, const std::string &text);
    void ClearDisplay();
    void SetContrast(const std::string &value);
    void SetBacklight(bool on);

    // Whether it answers queries (RID, DID_REQUEST, SET1/SET2); on by default.
    void SetAnswering(bool on);

    std::vector<std::string> Received() const;
    // Waits until a received line satisfies the test, or the time runs out.
    bool WaitForLine(const std::function<bool(const std::string &)> &test, int timeoutMs);
    bool WaitForLine(const std::string &line, int timeoutMs);
    void ClearReceived();

private:
    void Run();
    void Answer(const std::string &line);
    void Queue(const std::string &bytes);

    PseudoTerminal &pty;
    Kind kind;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> received;
    std::string outgoing;
    std::string partial;
    bool answering = true;
    bool stopping = false;
    std::thread worker;
};

} // namespace testsupport
