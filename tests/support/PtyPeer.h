#pragma once
#include "PseudoTerminal.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

// The far end of a serial line: a thread that reads what the program sends on a pseudo-terminal
// and answers through a handler. A stand-in for a card or a device is a handler (a protocol
// model fed with bytes) plus this thread.
class PtyPeer {
public:
    // Gets the bytes that just arrived; returns the bytes to send back (may be empty).
    using Handler = std::function<std::string(const std::string &received)>;

    explicit PtyPeer(Handler handler);
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    QString DevicePath() const { return pty.DevicePath(); }

    // When set, bytes are taken from the line no faster than a real line of that rate carries
    // them (10 bits a byte), so the program sees a line's pace. 0 means as fast as they come.
    void SetLineRate(int baud) { lineRate = baud; }
    // Sends bytes unasked (a banner, a display sentence) from any thread.
    void Send(const std::string &bytes);
    // How many bytes sent here wait for the program to read them.
    int WaitingAtProgram() const { return pty.WaitingAtDevice(); }
    // Everything received so far.
    std::string Received() const;
    void Stop();

private:
    void Loop();

    PseudoTerminal pty;
    Handler handler;
    std::atomic<bool> running{true};
    std::atomic<int> lineRate{0};
    mutable std::mutex lock;
    std::string received;
    std::thread worker;
};

} // namespace testsupport
