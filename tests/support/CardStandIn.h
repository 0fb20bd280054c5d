#pragma once
#include "CardBootModel.h"
#include "CardSecondStageModel.h"
#include "PtyPeer.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace testsupport {

// A whole receiver card on the far end of a pseudo-terminal: its boot chain (CardBootModel:
// optional boot ROM, first-stage loader) hands over to its second-stage loader
// (CardSecondStageModel) once the second-stage image is in, all on one PtyPeer thread.
//
// Typical use:
//     CardStandIn card({.boot = {.cards = {{"KTR557", "COM1", "2.05"}}}});
//     ScopedComMapping com{44, card.DevicePath()};
//     loader.MaintainComms(44, 115200, 0);
//     ... EstablishLink, ProgramFile ...
//     auto hold = card.SecondStage().Lock();   // then read card.SecondStage().devices[0].memory
//
// A second-stage loader that announces itself sends "SERLOAD2" by itself, a little after the
// hand-over (it needs a moment to start, and the program listens for it only once its first
// stage is done). One run per stand-in: the card does not go back to its first stage.
class CardStandIn {
public:
    struct Config {
        CardBootModel::Config boot;
        // Seeds the second-stage model's random faults, so a run is reproducible.
        std::uint32_t seed = 1;
        // Whether the second-stage loader signs on; false for a card whose loader does not
        // announce its start (a "zqx5" card).
        bool signsOn = true;
        int signOnDelayMs = 500;
        // Sign on in the same write as the first stage's last 'Y', before the program has
        // switched to its second stage.
        bool signOnWithLastAck = false;
        // Pace both directions as a serial line of this rate would (10 bits a byte); 0 = as fast
        // as the pseudo-terminal goes.
        int lineRate = 0;
    };

    explicit CardStandIn(Config config);
    ~CardStandIn();
    CardStandIn(const CardStandIn &) = delete;
    CardStandIn &operator=(const CardStandIn &) = delete;

    // The device the program opens as its serial port (map a COM number to it).
    QString DevicePath() const { return peer->DevicePath(); }
    CardBootModel &Boot() { return boot; }
    // Hold SecondStage().Lock() while reading or changing its state during a run.
    CardSecondStageModel &SecondStage() { return second; }
    bool SignedOn() const;
    // A card switched off hears nothing and says nothing; it starts switched on.
    void SetPowered(bool on);
    // When the card last sent anything; a test clock may run ahead while the card is silent.
    std::chrono::steady_clock::time_point LastSent() const;
    // Stops the far end (also done by the destructor).
    void Stop();

private:
    std::string Handle(const std::string &received);
    void SignOnLater();
    void Sent();

    Config config;
    CardBootModel boot;
    CardSecondStageModel second;
    mutable std::mutex mutex;
    std::condition_variable stopping;
    bool stopped = false;
    bool handedOver = false;
    bool signedOn = false;
    bool powered = true;
    std::chrono::steady_clock::time_point lastSent;
    std::thread signOn;
    std::unique_ptr<PtyPeer> peer; // last: its thread feeds the models above
};

} // namespace testsupport
