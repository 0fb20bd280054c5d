#include "DeviceStandIn.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace testsupport {

DeviceStandIn::DeviceStandIn(PseudoTerminal &terminal, Kind deviceKind)
    : pty(terminal), kind(deviceKind), worker([this] { Run(); }) {}

DeviceStandIn::~DeviceStandIn() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    worker.join();
}

void DeviceStandIn::Queue(const std::string &bytes) {
    std::lock_guard lock(mutex);
    outgoing += bytes;
}

void DeviceStandIn::SendLine(const std::string &line) {
    Queue(line + "\r\n");
}

void DeviceStandIn::SendRaw(const std::string &bytes) {
    Queue(bytes);
}

void DeviceStandIn::ShowText(int position, const std::string &text) {
    SendLine("$PQVZS,TXT," + std::to_string(position) + "," + text);
}

void DeviceStandIn::ClearDisplay() {
    SendLine("$PQVZS,CLR");
}

void DeviceStandIn::SetContrast(const std::string &value) {
    SendLine("$PQVZC," + value);
}

void DeviceStandIn::SetBacklight(bool on) {
    SendLine(std::string("$PQVZS,BKL,") + (on ? "ON" : "OFF"));
}

void DeviceStandIn::SetAnswering(bool on) {
    std::lock_guard lock(mutex);
    answering = on;
}

std::vector<std::string> DeviceStandIn::Received() const {
    std::lock_guard lock(mutex);
    return received;
}

void DeviceStandIn::ClearReceived() {
    std::lock_guard lock(mutex);
    received.clear();
}

bool DeviceStandIn::WaitForLine(const std::function<bool(const std::string &)> &test, int timeoutMs) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const std::string &line : received)
            if (test(line))
                return true;
        return false;
    });
}

bool DeviceStandIn::WaitForLine(const std::string &wanted, int timeoutMs) {
    return WaitForLine([&](const std::string &line) { return line == wanted; }, timeoutMs);
}

// The device's side of the protocol, as far as the simulator relies on it.
void DeviceStandIn::Answer(const std::string &line) {
    if (kind == Kind::Receiver) {
        if (line == "$PQVZQ,RID")
            outgoing += "$PQVZR,RID,Brisken DGPS,2.10,A,B,SN0001234\r\n";
        else if (line == "$PQVZS,LCD,ON")
            outgoing += "$PQVZS,CLR\r\n$PQVZS,TXT,0,BRISKEN READY\r\n";
        return;
    }
    if (line == "$PQVZQ,HNX,SET1")
        outgoing += "$PQVZR,HNX,SET12,2,150,200,10,300,20,400,2500,3000,25\r\n";
    else if (line == "$PQVZQ,HNX,SET2")
        outgoing += "$PQVZR,HNX,SET22,1,2,3,1,5,10,90,100,4,6,7,200\r\n";
    else if (line == "$PQVZQ,HNX,DID_REQUEST")
        outgoing += "$PQVZR,DID,Holvanek SC,1.05,x,y,SC000042\r\n$PQVZR,DID,LB Light Bar,0.9,LB0007\r\n";
}

void DeviceStandIn::Run() {
    for (;;) {
        std::string toSend;
        {
            std::lock_guard lock(mutex);
            if (stopping)
                return;
            toSend.swap(outgoing);
        }
        if (!toSend.empty())
            pty.Write(toSend);

        pollfd p{pty.MasterFd(), POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0)
            continue;
        char buffer[1024];
        const ssize_t n = ::read(pty.MasterFd(), buffer, sizeof buffer);
        if (n <= 0) {
            // With nobody on the other end the master reports a hang-up; wait for the next open.
            ::usleep(2000);
            continue;
        }
        std::lock_guard lock(mutex);
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (c == '\r' || c == '\n') {
                if (!partial.empty()) {
                    received.push_back(partial);
                    if (answering)
                        Answer(partial);
                    partial.clear();
                }
            } else {
                partial.push_back(c);
            }
        }
        changed.notify_all();
    }
}

} // namespace testsupport
