#include "CardStandIn.h"

namespace testsupport {

CardStandIn::CardStandIn(Config c)
    : config(std::move(c)), boot(config.boot), second(config.seed),
      lastSent(std::chrono::steady_clock::now()) {
    boot.SetHandOver([this](const std::string &bytes) { return second.Feed(bytes); });
    peer = std::make_unique<PtyPeer>([this](const std::string &received) { return Handle(received); });
    peer->SetLineRate(config.lineRate);
}

CardStandIn::~CardStandIn() {
    Stop();
}

void CardStandIn::Stop() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopped = true;
    }
    stopping.notify_all();
    if (peer)
        peer->Stop();
    if (signOn.joinable())
        signOn.join();
}

std::string CardStandIn::Handle(const std::string &received) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (!powered)
            return {};
    }
    std::string reply = boot.Feed(received);
    bool startLoader = false;
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (!handedOver && boot.Done()) {
            handedOver = true;
            if (config.signsOn && config.signOnWithLastAck) {
                reply += CardSecondStageModel::SignOn();
                signedOn = true;
            } else {
                startLoader = config.signsOn && !stopped;
            }
        }
    }
    if (startLoader)
        signOn = std::thread([this] { SignOnLater(); });
    if (!reply.empty()) {
        // The answer takes its time on the line before the program has all of it.
        if (config.lineRate > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(reply.size()) *
                                                                  10'000'000LL / config.lineRate));
        Sent();
    }
    return reply;
}

void CardStandIn::SignOnLater() {
    std::unique_lock<std::mutex> guard(mutex);
    if (stopping.wait_for(guard, std::chrono::milliseconds(config.signOnDelayMs), [this] { return stopped; }))
        return;
    guard.unlock();
    peer->Send(CardSecondStageModel::SignOn());
    guard.lock();
    signedOn = true;
    lastSent = std::chrono::steady_clock::now();
}

void CardStandIn::Sent() {
    std::lock_guard<std::mutex> guard(mutex);
    lastSent = std::chrono::steady_clock::now();
}

void CardStandIn::SetPowered(bool on) {
    std::lock_guard<std::mutex> guard(mutex);
    powered = on;
}

bool CardStandIn::SignedOn() const {
    std::lock_guard<std::mutex> guard(mutex);
    return signedOn;
}

std::chrono::steady_clock::time_point CardStandIn::LastSent() const {
    std::lock_guard<std::mutex> guard(mutex);
    return lastSent;
}

} // namespace testsupport
