#pragma once
#include "PtyPeer.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A steering controller or a receiver with a front panel on the far end of a pseudo-terminal.
// It sends what the test asks for (display, contrast and backlight sentences, or any line),
// answers the simulator's queries and records every line it receives.
class DeviceStandIn {
public:
    enum class Kind { SteeringController, Receiver };

    explicit DeviceStandIn(Kind kind);
    ~DeviceStandIn();

    QString DevicePath() const { return peer.DevicePath(); }

    // Sends one line; CR LF is added.
    void SendLine(const std::string &line);
    // Sends bytes exactly as given.
    void SendRaw(const std::string &bytes);
    // Sends lines (CR LF added) at the pace of a line of the given rate, 10 bits a byte, each
    // when its last byte would have arrived; returns when all are sent.
    void SendPaced(const std::vector<std::string> &lines, int baud);
    void ShowText(int position, const std::string &text);
    void ClearDisplay();
    void SetContrast(const std::string &value);
    void SetBacklight(bool on);

    // Whether it answers queries (RID, DID_REQUEST, SET1/SET2); on by default.
    void SetAnswering(bool on);
    // A steering controller answers the settings queries with SET12 and SET22 records; an older
    // one with SET1 and SET2 records in coarser units.
    void SetOlderSettingsRecords(bool on);
    // Sends the lines (guidance records such as PLT2 and PLT3) unasked, all of them every
    // periodMs, until StopStreaming or the end of the stand-in.
    void StreamLines(const std::vector<std::string> &lines, int periodMs);
    void StopStreaming();
    // Keeps the answers back until ReleaseReplies, so a test can look at the program before an
    // answer can reach it.
    void HoldReplies();
    // Sends the answers held so far and answers at once again.
    void ReleaseReplies();
    // Answers a received line with reply (CR LF added), as a boot loader or a terminal program
    // on the device answers; an empty reply takes the answer back.
    void AnswerLine(const std::string &line, const std::string &reply);
    // Answers every other received line with reply (for example "[Ok]"); empty for none.
    void AnswerEveryLine(const std::string &reply);

    // How many bytes sent wait for the program to read them.
    int WaitingAtProgram() const { return peer.WaitingAtProgram(); }

    std::vector<std::string> Received() const;
    // Every byte received, line ends and all.
    std::string ReceivedBytes() const { return peer.Received(); }
    // Waits until a received line satisfies the test, or the time runs out.
    bool WaitForLine(const std::function<bool(const std::string &)> &test, int timeoutMs);
    bool WaitForLine(const std::string &line, int timeoutMs);
    void ClearReceived();

private:
    std::string OnBytes(const std::string &bytes);
    std::string Answer(const std::string &line) const;
    std::string ProtocolAnswer(const std::string &line) const;

    Kind kind;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> received;
    std::string partial;
    bool answering = true;
    bool olderSettings = false;
    bool streaming = false;
    std::thread streamer;
    bool holding = false;
    std::string held;
    std::map<std::string, std::string> lineAnswers;
    std::string everyLineAnswer;
    PtyPeer peer; // last: its thread starts once the rest is ready and stops before it goes
};

} // namespace testsupport
