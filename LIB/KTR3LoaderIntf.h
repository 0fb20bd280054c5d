#pragma once
#include "ComPort.h"
#include "LoaderTypes.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

class QTimer;
class S0Engine;
class FSEngine;
class SSEngine;
class TpclMyCommStats;

// The loader engine's one public object. It holds a run's configuration and its two serial
// ports, steps the run through its stages on its timer, routes received bytes to the engine of
// the current stage and reports through six callbacks. A form that is never shown.
class TLoaderInterface : public QWidget {
    Q_OBJECT
public:
    // The ports default to real serial ports; tests hand in their own.
    explicit TLoaderInterface(QWidget *owner = nullptr, std::unique_ptr<platform::ComPort> dataPort = {},
                              std::unique_ptr<platform::ComPort> powerPort = {});
    ~TLoaderInterface() override;

    // Run cycle.
    void Execute();
    void RunTimer();
    void ComPortTriggerAvail(platform::ComPort &CP, std::uint16_t Count);
    void Abort() { aborted = 1; }
    int IsAborted() const { return aborted; }
    void ClearAbort() { aborted = 0; }
    void Shutdown();
    int GetLoaderState() const;
    // Stage 0 or the first stage is still looking for the card: nothing but wake-up bytes and
    // NEXT DEVICE records for cards of other platforms has gone out in this run.
    bool IsSearchingForCard() const;
    // Runs the second stage's next step as soon as the events queued now have run, instead of
    // on the next tick (a payload was acknowledged and the next one can go).
    void StepSoon();

    // Configuration.
    void MaintainComms(int port, int baud, int connect);
    int GetComPort() const { return comPort; }
    int GetBaudrate() const { return baudRate; }
    int GetConnectrate() const { return connectRate; }
    int SetLogging(int flag) { return Logging = flag; }
    int GetLogging() const { return Logging; }
    int SetTracing(int flag) { return Tracing = flag; }
    int GetTracing() const { return Tracing; }
    bool SetDebug(int level);
    int GetDebug() const { return debugLevel & 0xFF; }
    void SetExePath(const char *path) { exePath = path ? path : ""; }
    const char *GetExePath() const { return exePath.c_str(); }
    // The folder the stage logs go to, with its trailing separator: the program's own, or the
    // user's data folder when the program's cannot be written (an installed program).
    std::string GetStageLogDirectory() const;
    const char *GetVersion() const;

    // Reporting.
    void LogMessage(const char *text);
    void LogMessage(const std::string &text) { LogMessage(text.c_str()); }
    // Logs a line only when the debug level is 255.
    void LogDebug(const char *text);
    void LogDebug(const std::string &text) { LogDebug(text.c_str()); }
    void NotifyStart();
    void NotifyComplete(int value);
    void NotifyAbortRequest(int code);
    void SetProgressRange(int n);
    int GetProgressRange() const { return progressRange; }
    void SetProgress(int p);
    void SetOnStart(TLoaderNotifyProc proc) { onStart = proc; }
    void SetOnComplete(TLoaderIntProc proc) { onComplete = proc; }
    void SetOnAbortRequest(TLoaderIntProc proc) { onAbortRequest = proc; }
    void SetOnMessage(TLoaderTextProc proc) { onMessage = proc; }
    void SetOnProgressRange(TLoaderIntProc proc) { onProgressRange = proc; }
    void SetOnProgress(TLoaderIntProc proc) { onProgress = proc; }

    // Ports.
    void SetPowerComPort(int n);
    // 1 when switched; 0 without a power port, or when the port did not open: that is logged
    // with the port's name and ends a run in progress with the port's failure result.
    int SetPower(int on);
    int WaitForUSBPort(int seconds);
    bool IsCOMPortPresent(int n) const;
    bool IsUSBDevice() const;

    void CloseButtonClick();

    // Flags the stage engines and the firmware file reader share.
    int SetIgnoreAppOffset(int flag) { return IgnoreAppOffset = flag; }
    int GetIgnoreAppOffset() const { return IgnoreAppOffset; }
    std::int8_t GetLoaderStage() const { return LoaderStage; }
    int GetLoaderResult() const { return LoaderResult; }

    // First-stage banner fields.
    const char *GetFirstStageVersion() const;
    const char *GetCardCOMDevice() const;
    const char *GetCardPlatform() const;

    // ---- Stage 0, first stage, boot records and platform rules ----
    int SetFirstStageTimeout(int seconds);
    int GetFirstStageTimeout() const;
    // Device ID for the first stage's baud change; 0 for none. Both names are the same call.
    void SetFirstStageTargetID(int id);
    void SetFirstStageDeviceID(int id);
    int SetS0TimeoutSeconds(int seconds);
    int GetS0TimeoutSeconds() const;
    // Empty, or the line that says a stored break spacing was replaced (both stages read the same).
    std::string GetBreakSpacingNote() const;
    bool GetSecondStageStartupSupport() const;
    bool IsExternalSecondStage() const;
    bool IsPlatformSupported(const char *platform) const;
    // What the card (or, for the capabilities block, the file) supports, by platform.
    bool IsAppVersionSupported() const;
    bool IsAppSignatureTypeSupported() const;
    bool IsMACSupported() const;
    bool IsMAC2Supported() const;
    bool IsMAC3Supported() const;
    bool IsModifierSupported() const;
    bool IsHWVersionSupported() const;
    bool IsHWCapabilitiesSupported() const;

    // ---- Second stage and firmware file ----
    // Stores the name and reads the file's header records; false when they do not make a
    // firmware file (the name is kept either way).
    bool SetFileName(const char *name);
    const std::string &GetFilename() const { return fileName; }
    const char *GetFileApplicationType() const;
    void SetFileApplicationType(const char *type);
    const char *GetFileSWVersion() const;
    void SetFileSWVersion(const char *version);
    const char *GetFilePlatform() const { return filePlatform.c_str(); }
    void SetFilePlatform(const char *platform) { filePlatform = platform ? platform : ""; }
    const char *GetIntendedPlatform() const { return expectedPlatform.c_str(); }
    void SetIntendedPlatform(const char *platform) { expectedPlatform = platform ? platform : ""; }
    const char *GetDestinationPlatform() const { return destinationSWPlatform.c_str(); }
    void SetDestinationPlatform(const char *platform) { destinationSWPlatform = platform ? platform : ""; }
    bool IsSignedHexFile() const;
    // The second-stage engine's current device; indexes outside its table are refused (0).
    int SetDeviceID(int device);
    int GetDeviceID() const;
    int SetPSN(int device, const char *text);
    int SetESNModifier(int device, const char *text);
    int SetHWVersion(int device, const char *text);
    int SetHWCapabilities(int device);
    // Raises the program's main window when a card has been downloaded.
    void BringApplicationToFront();

    // Whether a card request would go out now: the second stage is up and idle, the run not aborted.
    bool CanRunRequest() const;

    // ---- Card requests: each blocks, pumping messages, until the card answered or the request
    // gave up. Device arguments outside 0 to 14 are refused: nothing is sent, the answer is an
    // empty text or 0.
    const char *GetPSN(int device);
    const char *GetESN(int device);
    const char *GetESNModifier(int device);
    const char *GetOSN(int device);
    const char *GetHWVersion(int device);
    const char *GetHWPlatformType(int device);
    const char *GetSWPlatform(int device);
    const char *GetCardAppVersion(int device);
    const char *GetSSLPVersion();
    const char *GetMAC(int macNumber);
    // The capabilities block as the card sent it (its size in the first two bytes), or none.
    const std::uint8_t *GetHWCapabilities(int device);
    int GetNumCards(int device);
    int GetBootCodeType(int device);
    int SetOSN(int device, const char *text);
    int SetMAC(int macNumber, const char *text);
    int SetHWPlatformType(int device, const char *text);
    int SetMarker(int device, int unused = 0);
    int SetPacketTimeout(int value);
    // 1 when the reset request went out and was answered; 0 when it could not run (no link, or
    // a run that failed and is cleaning up), which says nothing of a queued request.
    int ResetCard();
    int RequestResetNVM(int device);
    int RequestResetData(int device, int block);
    int EraseApplication(int device);
    int EraseBootCode(int device);
    int ProgramCard(int device);
    bool IsSWPlatformValid(const char *platform);
    int SetOptiLoadThreshold(int percent);
    int GetOptiLoadThreshold() const { return optiLoadThreshold; }

    // ---- Link set-up and card sequence ----
    int EstablishLink(const char *fileName);
    int ProgramFile(const char *fileName);
    int ProcessCard(const char *fileName);
    int CheckForOptiLoad(int device);
    int GetCardAppSignatureStatus(int device);

    // ---- Options the engines read ----
    int GetDisplayVersions() const { return DisplayVersions; }
    int SetDisplayVersions(int flag) { return DisplayVersions = flag; }
    int GetResetNVM() const { return ResetNVM; }
    int SetResetNVM(int flag) { return ResetNVM = flag; }
    int GetResetData() const { return ResetData; }
    int SetResetData(int flag) { return ResetData = flag; }
    std::uint8_t GetDataBlock() const { return DataBlock; }
    std::uint8_t SetDataBlock(std::uint8_t block) { return DataBlock = block; }
    int GetBootCodeLoad() const { return BootCodeLoad; }
    void SetBootCodeLoad(int flag) { BootCodeLoad = flag; }

    // The one statistics window the stage engines count into.
    TpclMyCommStats &GetCommStats() { return *pclMyCommStats; }

    int aborted = 0;
    int comPort = 1;
    int baudRate = 115200;
    int connectRate = 0;
    int IgnoreAppOffset = 0;
    std::int8_t LoaderStage = LOADER_IDLE;
    std::int8_t LoaderResult = LOADER_RESULT_SUCCESS;
    int Logging = 0;
    int Tracing = 0;
    int DisplayVersions = 0;
    int ResetNVM = 0;
    int ResetData = 0;
    std::uint8_t DataBlock = 0;
    int BootCodeLoad = 0;
    int debugLevel = 0;
    int progressRange = 0;
    int optiLoadThreshold = 100;
    std::string fileName;
    std::string expectedPlatform = "0";
    std::string destinationSWPlatform = "0";
    std::string filePlatform = "0";
    std::string exePath = "0";

    // Set when the link is up, when stage 0 or the first stage fails, and after every clean-up;
    // the link set-up waits on it.
    int LinkSignal = 0;

    // Components.
    std::unique_ptr<QTimer> pclMyTimer;
    std::unique_ptr<platform::ComPort> pclMyComPort;
    std::unique_ptr<platform::ComPort> pclMyPowerComPort;
    std::unique_ptr<S0Engine> pclMyStage0;
    std::unique_ptr<FSEngine> pclMyFirstStage;
    std::unique_ptr<SSEngine> pclMySecondStage;
    std::unique_ptr<TpclMyCommStats> pclMyCommStats;

private:
    void Step();
    void CleanUp();
    // LoaderStage 3 with the timer on, so that the next tick cleans up.
    void FailRun(std::int8_t result);
    void PowerPortFailed(const char *why, std::int8_t result);

    bool stepQueued = false;
    // A trace or log file of this run could not be written: said once a run.
    void LogFileWriteFailed(const QString &file);
    bool logWriteFailureSaid = false;

    TLoaderNotifyProc onStart = nullptr;
    TLoaderIntProc onComplete = nullptr;
    TLoaderIntProc onAbortRequest = nullptr;
    TLoaderTextProc onMessage = nullptr;
    TLoaderIntProc onProgressRange = nullptr;
    TLoaderIntProc onProgress = nullptr;
};
