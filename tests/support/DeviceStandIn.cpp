#include "DeviceStandIn.h"

#include <chrono>
#include <thread>
#include <stdexcept>

namespace testsupport {

DeviceStandIn::DeviceStandIn(Kind deviceKind)
    : kind(deviceKind), peer([this](const std::string &bytes) { return OnBytes(bytes); }) {}

DeviceStandIn::~DeviceStandIn() {
    StopStreaming();
}

void DeviceStandIn::SetOlderSettingsRecords(bool on) {
    std::lock_guard lock(mutex);
    olderSettings = on;
}

void DeviceStandIn::StreamLines(const std::vector<std::string> &lines, int periodMs) {
    StopStreaming();
    std::string batch;
    for (const std::string &line : lines)
        batch += line + "\r\n";
    {
        std::lock_guard lock(mutex);
        streaming = true;
    }
    streamer = std::thread([this, batch, periodMs] {
        std::unique_lock lock(mutex);
        while (streaming) {
            lock.unlock();
            try {
                // A program that stops reading is not flooded: a few batches wait at most.
                if (peer.WaitingAtProgram() < 1024)
                    peer.Send(batch);
            } catch (const std::exception &) {
                return; // the line is gone
            }
            lock.lock();
            changed.wait_for(lock, std::chrono::milliseconds(periodMs), [this] { return !streaming; });
        }
    });
}

void DeviceStandIn::StopStreaming() {
    {
        std::lock_guard lock(mutex);
        streaming = false;
    }
    changed.notify_all();
    if (streamer.joinable())
        streamer.join();
}

void DeviceStandIn::SendLine(const std::string &line) {
    peer.Send(line + "\r\n");
}

void DeviceStandIn::SendRaw(const std::string &bytes) {
    peer.Send(bytes);
}

void DeviceStandIn::SendPaced(const std::vector<std::string> &lines, int baud) {
    const auto start = std::chrono::steady_clock::now();
    long long bytes = 0;
    for (const std::string &line : lines) {
        bytes += static_cast<long long>(line.size()) + 2;
        std::this_thread::sleep_until(start + std::chrono::microseconds(bytes * 10'000'000LL / baud));
        SendLine(line);
    }
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

void DeviceStandIn::HoldReplies() {
    std::lock_guard lock(mutex);
    holding = true;
}

void DeviceStandIn::ReleaseReplies() {
    std::string replies;
    {
        std::lock_guard lock(mutex);
        holding = false;
        replies.swap(held);
    }
    if (!replies.empty())
        peer.Send(replies);
}

void DeviceStandIn::AnswerLine(const std::string &line, const std::string &reply) {
    std::lock_guard lock(mutex);
    if (reply.empty())
        lineAnswers.erase(line);
    else
        lineAnswers[line] = reply + "\r\n";
}

void DeviceStandIn::AnswerEveryLine(const std::string &reply) {
    std::lock_guard lock(mutex);
    everyLineAnswer = reply.empty() ? reply : reply + "\r\n";
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

// The device's side of the protocol, as far as the simulator relies on it, then the answers a
// test set.
std::string DeviceStandIn::Answer(const std::string &line) const {
    if (const auto set = lineAnswers.find(line); set != lineAnswers.end())
        return set->second;
    std::string answer = ProtocolAnswer(line);
    return answer.empty() ? everyLineAnswer : answer;
}

std::string DeviceStandIn::ProtocolAnswer(const std::string &line) const {
    if (kind == Kind::Receiver) {
        if (line == "$PQVZQ,RID")
            return "$PQVZR,RID,Brisken DGPS,2.10,A,B,SN0001234\r\n";
        if (line == "$PQVZS,LCD,ON")
            return "$PQVZS,CLR\r\n$PQVZS,TXT,0,BRISKEN READY\r\n";
        return {};
    }
    if (line == "$PQVZQ,HNX,SET1")
        return olderSettings ? "$PQVZR,HNX,SET1,1,15,0,20,1,3,2,20,25,30,18\r\n"
                             : "$PQVZR,HNX,SET12,2,150,200,10,300,20,400,2500,3000,25\r\n";
    if (line == "$PQVZQ,HNX,SET2")
        return olderSettings ? "$PQVZR,HNX,SET2,1,2,3,1,5,10,90,100\r\n"
                             : "$PQVZR,HNX,SET22,1,2,3,1,5,10,90,100,4,6,7,200\r\n";
    if (line == "$PQVZQ,HNX,DID_REQUEST")
        return "$PQVZR,DID,Holvanek SC,1.05,x,y,SC000042\r\n$PQVZR,DID,LB Light Bar,0.9,LB0007\r\n";
    return {};
}

// Runs on the peer's thread with each batch of bytes from the simulator; returns the replies.
std::string DeviceStandIn::OnBytes(const std::string &bytes) {
    std::string replies;
    {
        std::lock_guard lock(mutex);
        for (const char c : bytes) {
            if (c != '\r' && c != '\n') {
                partial.push_back(c);
                continue;
            }
            if (partial.empty())
                continue;
            received.push_back(partial);
            if (answering)
                (holding ? held : replies) += Answer(partial);
            partial.clear();
        }
    }
    changed.notify_all();
    return replies;
}

} // namespace testsupport
