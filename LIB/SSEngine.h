#pragma once
#include "DeviceDetails.h"
#include "LoaderTypes.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TLoaderInterface;
namespace platform {
class NamedMutex;
}

// The second-stage loader's side of the link: the framed packet protocol (SSEnginePacketLink.cpp),
// the state machine that sends requests and waits for their replies (SSEngineStateMachine.cpp),
// the firmware file it programs from (SSEngineFirmwareFile.cpp) and the engine's life and
// request start (SSEngine.cpp). Everything runs on the GUI thread.
class SSEngine {
public:
    // Sizes of the fixed buffers; every write into them is checked against these.
    static constexpr int RxBufferSize = 4012;
    static constexpr int FrameHeaderSize = 7;
    static constexpr int FrameCRCSize = 4;
    static constexpr int MaxRxPayload = RxBufferSize - FrameHeaderSize - FrameCRCSize;
    static constexpr int ProgramPayloadLimit = 3900;
    // A payload is closed once it reaches the limit, so its last line (at most 252 data bytes
    // behind a 10-byte header) may take it past the limit.
    static constexpr int TxPayloadSize = ProgramPayloadLimit - 1 + 252 + 10;
    static constexpr int FrameBufferSize = 5000;
    static constexpr int MarkerCount = 255;
    static constexpr int LineBufferSize = 256;
    // Real firmware images are a few MB; anything far larger (or endless) is not one.
    static constexpr std::size_t kMaxFirmwareFileBytes = 64u << 20;
    // Far more than the few "S0~" lines that lead a firmware file.
    static constexpr std::size_t kHeaderReadBytes = 64u << 10;
    static constexpr double RequestTimeoutSeconds = 95.0;
    // Free bytes the port must have before a frame of the usual size is written.
    static constexpr int MinOutRoom = 14;

    explicit SSEngine(TLoaderInterface &loader);
    virtual ~SSEngine();
    SSEngine(const SSEngine &) = delete;
    SSEngine &operator=(const SSEngine &) = delete;

    // ---- Life and run cycle ----
    // The steps are virtual so the facade's run cycle can be tested with scripted engines.
    virtual void Start();
    virtual std::uint8_t Run();
    virtual void Receive(const std::uint8_t *bytes, int count);
    virtual void WaitSecondStageStart(bool startupSupport);
    bool IsStarted() const { return SecondStageStarted; }
    int GetEngineState() const { return EngineState; }
    void SetEngineState(int state) { EngineState = state; }

    // ---- Requests ----
    // Starts a request state and pumps messages until the engine is idle again; 0 when refused
    // or when the run ended before the request did. Virtual so the main window's tests can
    // record the requests a card operation makes.
    virtual int RunRequest(std::uint8_t device, int state);
    // Whether a request would go out now: the run's second stage is up and idle, not aborted.
    bool CanRunRequest() const;
    int SetDebug();
    // Programs the open firmware file into the card; 1 only when the whole file went in.
    int ProgramCard(int device);
    int SetPSN(int device, const char *text);
    int SetESNModifier(int device, const char *text);
    int SetHWVersion(int device, const char *text);
    int SetHWCapabilities(int device);
    void FreeHWCapabilities();
    // 1 when the request sent by state N has been given up (the run is aborted), else 0.
    int CheckTimeout(int state);
    void ResendState(int state);
    // Current device; indexes outside the device table are refused (0).
    int SetDeviceID(int device);
    int GetDeviceID() const { return DeviceID; }

    // ---- Packet link ----
    void SendPacket(std::uint8_t address, int length, const std::uint8_t *payload);

    // ---- Firmware file ----
    int ReadFileProperties();
    // Back to the properties of no file, as a refused file leaves them.
    void ForgetFileProperties();
    int ParseSRecord(const char *line);
    int ParseSRecordZqx(const char *line);
    // The S3 address range of the open file; also checks every line as programming will read
    // it and returns the number of the first bad one (from 1), 0 when all are good, or one of the
    // refusals below.
    int ScanAddressRange(std::uint32_t &lowest, std::uint32_t &highest);
    static constexpr int FileUnreadable = -1;  // no file open, or it could not be read
    static constexpr int FileWithoutData = -2; // not one S1, S2 or S3 line
    static constexpr int FileChanged = -3;     // its header no longer says what was read
    // Reads the whole file: the scan and programming parse that copy.
    void OpenFile();
    // Before an erase is announced: reads and checks the file the erase and the programming after
    // it will use, when this kind of erase needs one. False (and said why) when the file is
    // refused or no request can go out now; nothing is sent then.
    bool PrepareErase();
    void CloseFile();
    int GetFileBlocks();
    int GetFilePositionBlocks();
    const std::string &GetFileApplicationType() const { return FileApplicationType; }
    void SetFileApplicationType(const std::string &type) { FileApplicationType = type; }
    const std::string &GetFileSWVersion() const { return FileSWVersion; }
    void SetFileSWVersion(const std::string &version) { FileSWVersion = version; }
    bool IsSignedHexFile() const { return SignedHexFile; }
    const std::vector<std::string> &GetValidSWPlatforms() const { return ValidSWPlatforms; }
    // Whether the file may replace that software platform; an empty name passes.
    bool IsSWPlatformValid(const char *platform);

    // ---- State, read by the facade and the tests ----
    int EngineState = SS_STATE_STARTUP;

    // Packet link.
    int RxState = 9;
    std::array<std::uint8_t, RxBufferSize> RxBuffer{};
    int RxCount = 0;
    std::uint16_t RxLength = 0;
    int RxRemaining = 0;
    std::uint32_t RxCRC = 0;
    std::uint16_t LastRxSequence = 0;
    int TxSequence = 1;
    bool SecondStageStarted = false;
    bool AckReceived = false;
    bool BufferFullWait = false;
    bool SSLPVersionReceived = false;
    bool HWVersionReceived = false;
    bool ESNReceived = false;
    bool PSNReceived = false;
    bool ResetDone = false;
    bool BootCodeTypeReceived = false;
    bool OSNReceived = false;
    bool HWCapabilitiesReceived = false;
    bool SWPlatformReceived = false;
    bool NumberOfCardsReceived = false;
    bool ESNModifierReceived = false;
    bool HWPlatformTypeReceived = false;
    bool CardAppVersionReceived = false;
    bool MACReceived = false;
    std::array<bool, MarkerCount> MarkerFound{};
    std::uint8_t BootCodeType = 1;
    std::string SSLPVersion;
    std::string CardHWVersion;
    std::array<::DeviceDetails, ::DeviceDetails::Count> DeviceDetails;

    // State machine.
    std::uint8_t CardID = 0;
    std::uint8_t DeviceID = 0;
    std::array<std::uint8_t, TxPayloadSize> TxPayload{};
    int PayloadLength = 0;
    bool NewPayload = true;
    std::uint8_t ParseStatus = 0;
    std::array<char, LineBufferSize> LineBuffer{};
    std::uint32_t LowAddress = 0;
    std::uint32_t HighAddress = 0;
    std::uint32_t EntryAddress = 0;
    int ProgressMultiplier = 1;
    int RetryCount = 0;
    double RequestTime = 0;
    int PacketTimeout = 60;
    // Set when a step failed the run, so a request waiting on it stops waiting.
    bool RequestFailed = false;
    // Why the last erase refused its file: its first bad line, or one of the refusals of
    // ScanAddressRange; 0 when it did not. Such a file is not programmed.
    int BadFileLine = 0;

protected:
    // The card platform the states and parsers choose by; tests stand in for the first stage.
    virtual std::string CardPlatform() const;

private:
    // Receive side.
    void ReceiveByte(std::uint8_t byte);
    void StoreRxByte(std::uint8_t byte);
    void SignOnByte(std::uint8_t byte);
    void FrameComplete();
    void HandleAcknowledgement(std::uint8_t code);
    void HandleDataReply(const std::uint8_t *payload, int length);
    void AcknowledgeReply();
    std::string TextAt(const std::uint8_t *payload, int length, int start) const;

    // State machine.
    std::uint8_t RequestStep(int state);
    std::uint8_t WaitStep(int state);
    std::uint8_t StartupStep();
    std::uint8_t DoneStep();
    // What an erase of the kind the facade's options name sends, and whether it needs the file.
    struct ErasePlan {
        std::uint8_t mode;
        bool readsFile;
        bool takesRange; // the file's S3 range becomes the application offset and range
        bool sendsRange;
    };
    ErasePlan PlanErase() const;
    // Reads the file for an erase and checks it whole; a refusal is said, naming the file or its
    // first bad line, and leaves no file open.
    bool ReadFileForErase(const ErasePlan &plan);
    std::uint8_t EraseStep();
    std::uint8_t SetTextStep(int state, std::uint8_t code, const std::string &text);
    std::uint8_t SetHWCapabilitiesStep();
    std::uint8_t SetMACStep();
    std::uint8_t FillPayloadStep();
    std::uint8_t SendPayloadStep();
    std::uint8_t PayloadAckStep();
    std::uint8_t SendEntryPointStep();
    std::uint8_t EntryPointAckStep();
    // A request state found no room in the output buffer: try again later, but not forever.
    std::uint8_t WaitForRoom(int state);
    bool HasRoom(int bytes);
    void Sent(int nextState);
    bool GiveUpOrRetry(int state, bool resent);
    void SetInterval(int milliseconds);
    void LogDebug(const std::string &text);
    void Log(const std::string &text);
    bool DebugOn() const;
    bool ValidDevice(int device) const { return device >= 0 && device < ::DeviceDetails::Count; }
    ::DeviceDetails &CurrentDevice() { return DeviceDetails[DeviceID]; }
    int StartSetRequest(int device, const char *before, int state, const char *after);

    // Firmware file.
    int ParseDataLine(const char *line, bool zqx);
    // A "S0~" header record line; the header is the lines of that kind the file begins with.
    static bool IsHeaderLine(const char *line);
    static std::string HeaderOf(const std::string &text);
    // The line at `position` of `text`; false at its end.
    static bool ReadLine(const std::string &text, std::size_t &position,
                         std::array<char, LineBufferSize> &buffer, bool &tooLong);
    std::uint32_t ApplicationOffset() const;
    bool AddressIsAdjusted() const;

    TLoaderInterface &loader;
    std::unique_ptr<platform::NamedMutex> PacketMutex;
    // The firmware file as OpenFile() read it, whole, and the place programming has reached in
    // it: what is done to the file afterwards (rewritten, cut, its reads failing) never reaches
    // the card. Empty when no file is open or it could not be read.
    std::optional<std::string> FirmwareImage;
    std::size_t FirmwarePosition = 0;
    // The header lines ReadFileProperties() decided by, and the file they were read from: the file
    // read again for the erase must still begin with them.
    std::string CheckedFileName;
    std::string CheckedHeader;
    std::string FileApplicationType = "APP";
    std::string FileSWVersion = "DEV-LOAD";
    bool SignedHexFile = false;
    std::vector<std::string> ValidSWPlatforms;
    // The S-record parser's place in the payload it builds.
    std::uint32_t ExpectedAddress = 0;
    int PayloadHeaderSize = 10;
    bool RoomWaitActive = false;
    double RoomWaitStart = 0;
    // The next send repeats a request the card refused (buffer full, NAK): its time-out keeps
    // running from the earlier send.
    bool RefusedResend = false;
};
