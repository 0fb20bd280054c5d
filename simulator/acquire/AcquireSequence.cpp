#include "AcquireSequence.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char *kDisplayOn = "$PQVZS,LCD,ON";

// States 1 to 8: two display-on requests at each rate, the first after switching to it.
struct ScanStep {
    std::int32_t baud; // 0: stay at the rate of the step before
    const char *status;
    std::uint32_t waitMs;
};
constexpr std::array<ScanStep, 8> kScan{{
    {9600, "1st req @9600", 200},
    {0, "2nd req @9600", 300},
    {19200, "1st req @19200", 200},
    {0, "2nd req @19200", 300},
    {4800, "1st req @4800", 200},
    {0, "2nd req @4800", 300},
    {38400, "1st req @38400", 200},
    {0, "2nd req @38400", 300},
}};

void CopyKept(std::array<char, 20> &destination, std::string_view text) {
    destination.fill(0);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 19), destination.begin());
}

void SendKey(const AcquireSequence::Actions &actions, unsigned key) {
    char sentence[16];
    std::snprintf(sentence, sizeof sentence, "$PQVZK,%01X", key);
    actions.sendSentence(sentence);
}

} // namespace

AcquireSequence::AcquireSequence(Actions a) : actions(std::move(a)) {}

void AcquireSequence::SetAcquireState(std::uint8_t state) {
    acquireState = state;
    entryPending = true;
    stateStart = timer.Now();
}

void AcquireSequence::RidReceived(std::string_view name, std::string_view version, std::string_view serial) {
    ridReceived = true;
    CopyKept(reportName, name);
    CopyKept(reportVersion, version);
    CopyKept(reportSerial, serial);
}

void AcquireSequence::LineLost() {
    SetAcquireState(Idle);
    Enter();
    actions.showStatus("connection lost");
}

void AcquireSequence::ShowConnectionReport() {
    char report[80];
    std::snprintf(report, sizeof report, "%s v%s #%s", reportName.data(), reportVersion.data(),
                  reportSerial.data());
    actions.showReport(report);
}

void AcquireSequence::Enter() {
    entryPending = false;
    if (acquireState >= 1 && acquireState <= kScan.size()) {
        const ScanStep &step = kScan[acquireState - 1];
        actions.showReport(" ");
        if (step.baud != 0)
            actions.setBaudRate(step.baud);
        actions.sendSentence(kDisplayOn);
        actions.showStatus(step.status);
        return;
    }
    switch (acquireState) {
    case Idle:
        actions.showReport(" ");
        actions.showStatus("");
        break;
    case 9:
        actions.showReport(" ");
        actions.clearLcd();
        actions.showStatus("Clear Display");
        break;
    case 10:
        SendKey(actions, 6); // Home pressed
        actions.showStatus("sending Home Key");
        break;
    case 11:
        SendKey(actions, 0); // and released
        actions.showStatus("sending No Key");
        break;
    case WaitingForRid:
        ridReceived = false;
        actions.sendSentence("$PQVZQ,RID");
        actions.showStatus("waiting for RID");
        break;
    case UnableToConnect:
        actions.showButton(true);
        actions.showStatus("unable to connect");
        break;
    case ConnectionOk:
        actions.showButton(false);
        actions.showStatus("connection OK");
        break;
    case ConnectionLost:
        actions.showButton(true);
        actions.showStatus("connection lost");
        break;
    default:
        break;
    }
}

void AcquireSequence::AcquireStep() {
    if (entryPending) {
        Enter();
        return;
    }
    if (acquireState >= 1 && acquireState <= kScan.size()) {
        if (timer.ElapsedOver(stateStart, kScan[acquireState - 1].waitMs))
            SetAcquireState(static_cast<std::uint8_t>(acquireState + 1));
        return;
    }
    switch (acquireState) {
    case 9:
        if (timer.ElapsedOver(stateStart, 300))
            SetAcquireState(10);
        break;
    case 10:
    case 11:
        if (timer.ElapsedOver(stateStart, 200))
            SetAcquireState(static_cast<std::uint8_t>(acquireState + 1));
        break;
    case WaitingForRid:
        if (ridReceived)
            SetAcquireState(ConnectionOk);
        else if (timer.ElapsedOver(stateStart, 1000))
            SetAcquireState(UnableToConnect);
        break;
    case ConnectionOk:
        // Asked once a second; a second without any reply ends the connection.
        if (ridReceived) {
            ridReceived = false;
            ridSinceLastQuery = true;
            ShowConnectionReport();
        } else if (timer.ElapsedOver(stateStart, 1000)) {
            stateStart = timer.Now();
            if (ridSinceLastQuery) {
                ridSinceLastQuery = false;
                actions.sendSentence("$PQVZQ,RID");
            } else {
                SetAcquireState(ConnectionLost);
            }
        }
        break;
    default:
        break;
    }
}
