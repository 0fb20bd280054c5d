#pragma once
#include "BannerParser.h"
#include "BootRecords.h"
#include "LoaderImageFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TLoaderInterface;

// The machine that stage 0 and the first stage share: open the data port, wake the card with
// two breaks and a reset command (or a switch to the connect rate), send the wake byte until
// the card's banner arrives, change the baud rate with a boot record and download a loader
// image record by record, each acknowledged with 'Y'. The stages differ in their wake byte,
// in which cards they accept, in the device ID of the baud change and in the image they send;
// those decisions are the derived engine's.
class BootStageEngine {
public:
    virtual ~BootStageEngine();
    BootStageEngine(const BootStageEngine &) = delete;
    BootStageEngine &operator=(const BootStageEngine &) = delete;

    // Steps of the timer side.
    enum State : int {
        OPEN_PORT = 0,
        FIRST_BREAK = 1,
        SECOND_BREAK = 2,
        RESET_COMMAND = 3,
        CONNECT_RATE_WAKE = 4,
        NO_STEP = 5,
        SEARCHING = 6,
        SEND_BAUD_CHANGE = 7,
        WAIT_BAUD_CHANGE_ACK = 8,
        CHANGE_BAUD = 9,
        SEND_RECORD = 10,
        WAIT_RECORD_ACK = 11,
    };
    // What the receive side expects.
    enum ReceiveState : int { EXPECT_BANNER = 6, EXPECT_BAUD_CHANGE_ACK = 7, EXPECT_RECORD_ACK = 10 };

    // What sets one stage apart.
    struct Traits {
        std::uint8_t wakeByte;
        const bootrecords::RecordTemplates *templates;
        const char *logFileName;  // port log beside the program
        const char *doneMessage;  // logged when the last record is acknowledged
        const char *useFileValue; // settings: use the external image file
        const char *fileValue;    // settings: its path
        std::size_t externalCapacity;
    };

    int GetState() const { return state; }
    int GetReceiveState() const { return receiveState; }
    // Whether this run has accepted a card's banner: from then on records go to the card.
    bool IsCardAccepted() const { return cardAccepted; }

    // Card search time-out in seconds.
    // A time below 0 is no time at all; held here, the arithmetic on it cannot overflow.
    void SetTimeoutSeconds(int seconds) { timeoutSeconds = std::max(seconds, 0); }
    int GetTimeoutSeconds() const { return timeoutSeconds; }
    int GetBreakSpacing() const { return breakSpacing; }
    // Empty, or the line that says the stored break spacing could not be used and what is.
    const std::string &GetBreakSpacingNote() const { return breakSpacingNote; }

    // The external image file from the settings.
    bool IsExternalFile() const { return externalFile; }
    const std::string &GetExternalFilePath() const { return externalFilePath; }
    // Reads the external image file into the external image (emptied first).
    void LoadImageFile();

    // Bytes received after the card acknowledged the image's last record: they come from the
    // loader just downloaded, so the next stage reads them. Emptied by the call.
    std::vector<std::uint8_t> TakeBytesAfterStage();

protected:
    // Reads the settings and, when they name an external image file, loads it.
    BootStageEngine(TLoaderInterface &loader, const Traits &traits);

    void StartRun();
    std::uint8_t RunStep();
    void ReceiveBytes(const std::uint8_t *bytes, int count);

    // A complete banner arrived and its fields are stored: accept the card or send it on.
    virtual void BannerReceived() = 0;
    virtual void SendBaudChange() = 0;
    // Sends the next record (or whatever the stage sends instead) and moves on to
    // WAIT_RECORD_ACK; returns the step's StageResult.
    virtual std::uint8_t SendImageStep() = 0;
    // After the baud change: look for a card again at the new rate instead of downloading.
    virtual bool SearchAgainAfterBaudChange() const { return false; }
    // Whether the count-down line first clears the log (on-start).
    virtual bool CountdownClearsLog() const { return true; }

    void AcceptCard();
    // Back to OPEN_PORT, so the whole wake-up starts again with fresh time stamps.
    void RestartSearch();
    void SendNextDevice(int deviceId);
    void SendBaudChangeRecord(int deviceId);
    // Sends the image's next record; false, after saying why, when the image cannot be sent.
    bool SendNextRecord(const loaderimage::LoaderImage &image);
    // Logs the message, closes the port and reports failure.
    std::uint8_t FailStage(const std::string &message);
    bool CheckTimeout(const char *message);
    void ShowSearchCountdown();
    bool BannerIsUSBDevice() const;
    // The program's folder with its trailing separator; empty for a bare name.
    std::string ProgramDirectory() const;
    void Log(const std::string &text);

    TLoaderInterface &loader;
    const Traits traits;

    int stageDone = 0;
    bool cardAccepted = false;
    // The missing port has been reported; the retries that follow say nothing.
    bool waitingForPort = false;
    int state = OPEN_PORT;
    int receiveState = EXPECT_BANNER;
    int lastRecordLength = 0;
    std::size_t imageOffset = 0;
    // Whole seconds of the calendar clock.
    double now = 0;
    double lastEvent = 0;
    double searchDeadline = 0;
    double lastCountdown = 0;
    bool externalFile = false;
    std::string externalFilePath;
    banner::BannerFields bannerFields;
    int timeoutSeconds = 30;
    int breakSpacing = 1500;
    std::string breakSpacingNote;
    banner::BannerRing ring;
    loaderimage::LoaderImage externalImage;
    std::vector<std::uint8_t> bytesAfterStage;

private:
    std::uint8_t OpenPortStep();
    void ChangeBaudStep();
    std::uint8_t FinishStep();
    void ResetSearchClock();
    void BannerCandidate();
    void WaitOutputEmpty();
};
