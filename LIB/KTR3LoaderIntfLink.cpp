// The facade's blocking sequences: bring a card up to its second-stage loader, program a file
// into it, and the two checks built on the card's application version.
#include "Clock.h"
#include "KTR3LoaderIntf.h"
#include "MessagePump.h"
#include "SSEngine.h"
#include "SSEngineText.h"

#include <array>
#include <string>

using ssengine::Format;

namespace {

bool BeginsWith(const std::string &text, const char *prefix) { return text.rfind(prefix, 0) == 0; }

template <std::size_t N> bool OneOf(const std::string &name, const std::array<const char *, N> &list)
{
    for (const char *entry : list)
        if (name == entry)
            return true;
    return false;
}

const std::array<const char *, 30> programCardPlatforms = {
    "SA-1100", "H8Q5",   "ZVX7",   "J3U6C",  "PXA250", "MOLVEK",  "U6CD",    "tlvp-q",  "BEXNOR", "ZJ7",
    "ZJ7KOL",  "ZJ736",  "P3H5",   "P3H5F",  "KTR557", "KTR557T", "KTR531",  "KTR536",  "KTR536k", "KTR557F",
    "VOKTLRM", "VOKTLRX", "WZX",   "KZX",    "Drusk",  "TRNA6",   "P3WH8",   "P3WH8Q",  "P3WH8Y", "Q8tlvp"};
const std::array<const char *, 8> programFilePlatforms = {"ARM",    "Varnholt", "KTRPOND", "Q8BXN",
                                                          "KTR567", "KTR521",   "GARVO9",  "P8TB"};
const std::array<const char *, 5> programNinePlatforms = {"KTR933", "KTR933W", "KTR933P", "KTR953", "KTR953T"};

// Card texts may end in a line end or hold tabs around them; none of that is part of the value.
std::string TrimBlanks(const std::string &text)
{
    constexpr const char *blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

int TLoaderInterface::EstablishLink(const char *name)
{
    LogDebug("Start of EstablishLink()");
    LogDebug(Format("EstablishLink() - Current Loader State: %d", GetLoaderState()));
    if (!SetFileName(name)) {
        LogDebug("SetFileName() returned FALSE. ");
        return 0;
    }
    LinkSignal = 0;
    Execute();
    double start = platform::Now();
    bool powerCycled = false;
    while (LinkSignal == 0 && !IsAborted()) {
        if (!powerCycled && pclMyPowerComPort->GetComNumber() != 0 &&
            platform::Now() - start >= GetFirstStageTimeout() - 5) {
            powerCycled = true;
            LogMessage("EstablishLink() retrying via power cycle... ");
            SetPower(0);
            platform::ProcessMessages();
            platform::Sleep(3000);
            SetPower(1);
        }
        platform::PauseForMessages(10);
    }
    const bool startupSupport = GetSecondStageStartupSupport();
    bool signedOn = false;
    if (LinkSignal != 0 && !IsAborted()) {
        if (startupSupport) {
            LogDebug("EstablishLink() waiting for SERLOAD2 ");
            start = platform::Now();
            // A run that failed before reaching the second stage will never see the sign-on.
            while (!pclMySecondStage->IsStarted() && !IsAborted() && LoaderStage == LOADER_SECOND_STAGE &&
                   platform::Now() - start <= 30.0) {
                platform::PauseForMessages(10);
            }
            if (!pclMySecondStage->IsStarted() && LoaderStage == LOADER_SECOND_STAGE)
                LogMessage("TIMEOUT waiting for second stage to start.");
        } else {
            platform::Sleep(1000);
        }
    }
    signedOn = pclMySecondStage->IsStarted();
    const int state = GetLoaderState();
    LogDebug(Format("End of EstablishLink() - Current Loader State: %d", state));
    if (startupSupport)
        return signedOn ? 1 : 0;
    return (LinkSignal != 0 && state == SS_STATE_IDLE) ? 1 : 0;
}

int TLoaderInterface::ProgramFile(const char *)
{
    const int state = GetLoaderState();
    LogDebug(Format("ProgramFile() - Current Loader State: %d", state));
    if (state == SS_STATE_STARTUP)
        return 0;
    if (state != SS_STATE_IDLE) {
        LogDebug(Format("ProgramFile() - Invalid Loader State: %d", state));
        return 0;
    }
    SetDebug(GetDebug());
    LogDebug("Process Card ... preparing file");

    const std::string filePlatform = GetFilePlatform();
    const std::string card = GetCardPlatform();
    const std::string type = GetFileApplicationType();
    int result = 0;
    bool handled = false;
    if (filePlatform == "zqx5") {
        // These branches report what their erase and programming did, not success regardless.
        if (type == "PIC") {
            SetDeviceID(3);
            result = EraseApplication(3) && ProgramCard(0) ? 1 : 0;
            handled = true;
        } else if (type == "BOOT") {
            const std::string psn0 = GetPSN(0);
            const std::string psn2 = GetPSN(2);
            SetDeviceID(0);
            result = EraseBootCode(0) && ProgramCard(0) ? 1 : 0;
            SetPSN(0, psn0.c_str());
            SetPSN(2, psn2.c_str());
            SetDeviceID(0);
            handled = true;
        } else if (type == "APP") {
            result = EraseApplication(0) && ProgramCard(0) ? 1 : 0;
            handled = true;
        }
    }
    if (!handled) {
        const bool eligible = OneOf(card, programCardPlatforms) || OneOf(filePlatform, programFilePlatforms) ||
                              OneOf(card, programNinePlatforms) || filePlatform == "KTR537" || IsExternalSecondStage();
        if (!eligible)
            return 0;
        bool program = false;
        if (type == "NVM") {
            RequestResetNVM(0);
            program = true;
        } else if (BeginsWith(type, "FPGA")) {
            if (filePlatform == "KTR567" || BeginsWith(filePlatform, "KTR9")) {
                if (BeginsWith(card, "P8TB")) {
                    LogMessage("*** Programming CPLD not supported on P8TB ***");
                    result = 0;
                } else if (CheckForOptiLoad(1)) {
                    result = 0;
                } else {
                    const bool cpld = BeginsWith(card, "KTR9");
                    LogMessage(cpld ? "Detected CPLD load, erasing CPLD..." : "Detected FPGA load, erasing FPGA...");
                    SetDeviceID(1);
                    EraseApplication(0);
                    LogMessage(cpld ? "Programming CPLD..." : "Programming FPGA...");
                    result = ProgramCard(0);
                }
            }
        } else if (BeginsWith(type, "BOOT")) {
            if (GetBootCodeType(0) & 2) {
                LogMessage("Protected - Unable to proceed.");
                result = 0;
            } else {
                const std::string osn = TrimBlanks(GetOSN(0));
                const std::string psn = TrimBlanks(GetPSN(0));
                const std::string hwVersion = TrimBlanks(GetHWVersion(0));
                std::string modifier, platformType;
                if (IsModifierSupported()) {
                    modifier = TrimBlanks(GetESNModifier(0));
                    platformType = TrimBlanks(GetHWPlatformType(0));
                }
                std::array<std::string, 3> macs;
                if (IsMACSupported())
                    macs[0] = TrimBlanks(GetMAC(0));
                if (IsMAC2Supported())
                    macs[1] = TrimBlanks(GetMAC(1));
                if (IsMAC3Supported())
                    macs[2] = TrimBlanks(GetMAC(2));
                if (IsHWCapabilitiesSupported())
                    GetHWCapabilities(0);
                EraseBootCode(0);
                result = ProgramCard(0);
                if (result) {
                    SetPSN(0, psn.c_str());
                    if (IsModifierSupported()) {
                        SetESNModifier(0, modifier.c_str());
                        SetHWPlatformType(0, platformType.c_str());
                    }
                    if (!osn.empty())
                        SetOSN(0, osn.c_str());
                    if (IsHWVersionSupported())
                        SetHWVersion(0, hwVersion.c_str());
                    if (IsHWCapabilitiesSupported())
                        SetHWCapabilities(0);
                    const bool supported[3] = {IsMACSupported(), IsMAC2Supported(), IsMAC3Supported()};
                    for (int i = 0; i < 3; ++i)
                        if (supported[i] && !macs[static_cast<std::size_t>(i)].empty())
                            SetMAC(i, macs[static_cast<std::size_t>(i)].c_str());
                }
            }
        } else if (BeginsWith(type, "DATA")) {
            const int c = type.size() > 4 ? static_cast<unsigned char>(type[4]) : 0;
            if (c >= 48 && c <= 127) {
                RequestResetData(0, c - 48);
                program = true;
            }
        } else if (type == "APP") {
            if (CheckForOptiLoad(0)) {
                result = 1;
            } else {
                EraseApplication(0);
                program = true;
            }
        }
        if (program) {
            result = ProgramCard(0);
            LogDebug(result ? "DEBUG: ProgramCard returned TRUE..." : "DEBUG: ProgramCard returned FALSE...");
        }
    }
    if (result) {
        LogMessage(IsUSBDevice() ? "Waiting for erase, write and card reset..." : "Done.");
        SetProgress(progressRange);
    }
    return result;
}

int TLoaderInterface::ProcessCard(const char *name)
{
    return EstablishLink(name) && ProgramFile(name) ? 1 : 0;
}

int TLoaderInterface::CheckForOptiLoad(int device)
{
    if (GetOptiLoadThreshold() >= 100)
        return 0;
    if (!IsAppVersionSupported())
        return 0;
    const std::string type = GetFileApplicationType();
    const std::string filePlatform = GetFilePlatform();
    std::string version;
    if (BeginsWith(type, "FPGA") && (filePlatform == "KTR567" || BeginsWith(filePlatform, "KTR9"))) {
        const int before = GetDeviceID();
        SetDeviceID(1);
        version = GetCardAppVersion(0);
        SetDeviceID(before);
    } else {
        version = GetCardAppVersion(device);
    }
    version = TrimBlanks(version);
    if (version.empty())
        return 0;
    version = version.substr(0, version.find(','));
    if (version == GetFileSWVersion()) {
        LogMessage("Desired SW already is on board");
        return 1;
    }
    LogMessage("Desired SW not on board - reloading...");
    return 0;
}

int TLoaderInterface::GetCardAppSignatureStatus(int device)
{
    if (!IsAppVersionSupported() || !IsAppSignatureTypeSupported())
        return 0;
    const std::string version = TrimBlanks(GetCardAppVersion(device));
    const auto first = version.find(',');
    if (first == std::string::npos)
        return 0;
    const auto second = version.find(',', first + 1);
    if (second == std::string::npos)
        return 0;
    const std::string third = version.substr(second + 1);
    if (third == "NONE")
        return -1;
    if (third == "VALID")
        return -2;
    if (third == "INVALID")
        return -3;
    return 0;
}
