// The blocking card requests of the facade: each selects its device, starts the request state
// of the second-stage engine, waits, and answers from the device's record.
#include "DeviceDetails.h"
#include "Dialogs.h"
#include "KTR3LoaderIntf.h"
#include "MessagePump.h"
#include "SSEngine.h"
#include "SSEngineText.h"

using ssengine::Format;

namespace {

bool ValidDevice(int device) { return device >= 0 && device < DeviceDetails::Count; }

} // namespace

bool TLoaderInterface::CanRunRequest() const {
    return pclMySecondStage->CanRunRequest();
}

namespace {

struct IdentityRequest {
    const char *startLine;
    bool always;
    int state;
    bool SSEngine::*reply;
    const char *handledLine;
};

} // namespace

static bool RunIdentityRequest(TLoaderInterface &loader, SSEngine &engine, int device, const IdentityRequest &r,
                               bool select = true)
{
    if (!ValidDevice(device))
        return false;
    // A request that cannot go out (no link, or a run that ended) is not said to; the answer is
    // the one on record.
    if (!engine.CanRunRequest())
        return true;
    if (r.always)
        loader.LogMessage(r.startLine);
    else
        loader.LogDebug(r.startLine);
    if (select)
        loader.SetDeviceID(device);
    engine.RunRequest(0, r.state);
    if (engine.*r.reply)
        loader.LogDebug(r.handledLine);
    return true;
}

const char *TLoaderInterface::GetPSN(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage,
                            device, {"Requesting PSN...", true, 8, &SSEngine::PSNReceived, "PSN Request Handled"}))
        return "";
    return pclMySecondStage->DeviceDetails[device].PSN.c_str();
}

const char *TLoaderInterface::GetESN(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting ESN...", false, 6, &SSEngine::ESNReceived, "ESN Request Handled"}))
        return "";
    return pclMySecondStage->DeviceDetails[device].ESN.c_str();
}

const char *TLoaderInterface::GetESNModifier(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting ESN Modifier...", false, 65, &SSEngine::ESNModifierReceived,
                             "ESN Modifier Request Handled"}))
        return "";
    return pclMySecondStage->DeviceDetails[device].ESNModifier.c_str();
}

const char *TLoaderInterface::GetOSN(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting OSN...", true, 37, &SSEngine::OSNReceived, "OSN Request Handled"}))
        return "";
    return pclMySecondStage->DeviceDetails[device].OSN.c_str();
}

const char *TLoaderInterface::GetHWVersion(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting HW_Ver...", true, 2, &SSEngine::HWVersionReceived, "HW Ver Request Handled"}))
        return "";
    return pclMySecondStage->CardHWVersion.c_str();
}

const char *TLoaderInterface::GetHWPlatformType(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting Hardware Platform Type...", true, 59, &SSEngine::HWPlatformTypeReceived,
                             "Hardware Platform Type Request Handled"}))
        return "";
    return pclMySecondStage->DeviceDetails[device].HWPlatformType.c_str();
}

const char *TLoaderInterface::GetSWPlatform(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting SW Platform...", true, 47, &SSEngine::SWPlatformReceived,
                             "Get SW Platform Request Handled"}))
        return "";
    return pclMySecondStage->DeviceDetails[device].SWPlatform.c_str();
}

const char *TLoaderInterface::GetCardAppVersion(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting Card Application Version...", true, 55, &SSEngine::CardAppVersionReceived,
                             "Card Application Version Request Handled"},
                            false))
        return "";
    SSEngine &engine = *pclMySecondStage;
    return engine.DeviceDetails[device].CardAppVersions[engine.GetDeviceID()].c_str();
}

const char *TLoaderInterface::GetSSLPVersion()
{
    SSEngine &engine = *pclMySecondStage;
    if (!engine.CanRunRequest())
        return engine.SSLPVersion.c_str();
    LogMessage("Requesting SSLP_Ver...");
    engine.RunRequest(0, 0);
    if (engine.SSLPVersionReceived)
        LogDebug("SSLP Ver Request Handled");
    return engine.SSLPVersion.c_str();
}

const char *TLoaderInterface::GetMAC(int macNumber)
{
    if (!ValidDevice(macNumber) || !IsMACSupported())
        return "";
    RunIdentityRequest(*this, *pclMySecondStage, macNumber,
                       {"Requesting MAC...", true, 73, &SSEngine::MACReceived, "MAC Request Handled"});
    return pclMySecondStage->DeviceDetails[macNumber].MACText.c_str();
}

const std::uint8_t *TLoaderInterface::GetHWCapabilities(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting HW Capabilities...", true, 43, &SSEngine::HWCapabilitiesReceived,
                             "HW Capabilities Request Handled"}))
        return nullptr;
    const std::vector<std::uint8_t> &block = pclMySecondStage->DeviceDetails[device].HWCapabilities;
    return block.empty() ? nullptr : block.data();
}

int TLoaderInterface::GetNumCards(int device)
{
    if (!ValidDevice(device))
        return 0;
    if (std::string(GetCardPlatform()) != "zqx5") {
        LogMessage("Requesting Number of Cards - Not supported on Target Platform - Assuming 1.");
        return 1;
    }
    RunIdentityRequest(*this, *pclMySecondStage, device,
                       {"Requesting Number of Cards...", true, 53, &SSEngine::NumberOfCardsReceived,
                        "Number of Cards Request Handled"});
    return pclMySecondStage->DeviceDetails[device].NumberOfCards;
}

int TLoaderInterface::GetBootCodeType(int device)
{
    if (!RunIdentityRequest(*this, *pclMySecondStage, device,
                            {"Requesting Boot Code Type...", false, 27, &SSEngine::BootCodeTypeReceived,
                             "Boot Code Type Request Handled"}))
        return 0;
    return pclMySecondStage->BootCodeType;
}

namespace {

int RunSetRequest(TLoaderInterface &loader, SSEngine &engine, const char *startLine, int state, const char *handledLine,
                  std::uint8_t deviceByte = 0)
{
    if (!engine.CanRunRequest())
        return 1;
    if (*startLine != '\0')
        loader.LogDebug(startLine);
    engine.RunRequest(deviceByte, state);
    if (engine.AckReceived)
        loader.LogDebug(handledLine);
    return 1;
}

} // namespace

int TLoaderInterface::SetOSN(int device, const char *text)
{
    if (!ValidDevice(device))
        return 0;
    pclMySecondStage->DeviceDetails[device].OSN = text ? text : "";
    SetDeviceID(device);
    return RunSetRequest(*this, *pclMySecondStage, "Setting OSN...", 39, "Set OSN Request Handled");
}

int TLoaderInterface::SetMAC(int macNumber, const char *text)
{
    if (!ValidDevice(macNumber))
        return 0;
    pclMySecondStage->DeviceDetails[macNumber].MACText = text ? text : "";
    SetDeviceID(macNumber);
    return RunSetRequest(*this, *pclMySecondStage, "Setting MAC...", 75, "Set MAC Request Handled");
}

int TLoaderInterface::SetHWPlatformType(int device, const char *text)
{
    if (!ValidDevice(device))
        return 0;
    pclMySecondStage->DeviceDetails[device].HWPlatformType = text ? text : "";
    SetDeviceID(device);
    return RunSetRequest(*this, *pclMySecondStage, "Setting HW Platform Type...", 63, "Set HW Platform Type Request Handled");
}

int TLoaderInterface::SetMarker(int device, int)
{
    if (!ValidDevice(device))
        return 0;
    SSEngine &engine = *pclMySecondStage;
    engine.MarkerFound[static_cast<std::size_t>(device)] = false;
    if (!engine.CanRunRequest())
        return 0;
    LogDebug("Setting Marker...");
    engine.RunRequest(static_cast<std::uint8_t>(device), 31);
    if (!engine.MarkerFound[static_cast<std::size_t>(device)])
        return 0;
    LogDebug("Set Marker Request Handled");
    return 1;
}

int TLoaderInterface::SetPacketTimeout(int value)
{
    SSEngine &engine = *pclMySecondStage;
    engine.PacketTimeout = value;
    if (!engine.CanRunRequest())
        return 0;
    LogDebug("Setting Packet Timeout..");
    const int ran = engine.RunRequest(0, 35);
    if (engine.AckReceived && ran)
        LogDebug("Set Packet Timeout Request Handled");
    return ran;
}

int TLoaderInterface::ResetCard()
{
    SSEngine &engine = *pclMySecondStage;
    if (!engine.CanRunRequest())
        return 0;
    if (!IsUSBDevice())
        LogMessage("Queueing reset request...");
    const int ran = engine.RunRequest(0, 21);
    if (engine.ResetDone)
        LogDebug("Queueing reset request handled");
    return ran;
}

// ---- Erase and programming ---------------------------------------------------------------------
// Each erase first has the engine read and check the file it and the programming after it use
// (PrepareErase): a refused file, or no link, is said before anything is announced or sent.

int TLoaderInterface::RequestResetNVM(int device)
{
    if (!ValidDevice(device))
        return 0;
    ResetNVM = 1;
    ResetData = 0;
    BootCodeLoad = 0;
    if (!pclMySecondStage->PrepareErase())
        return 1;
    LogMessage("Resetting NVM ...");
    return RunSetRequest(*this, *pclMySecondStage, "", 10, "Reset NVM Handled", static_cast<std::uint8_t>(device));
}

int TLoaderInterface::RequestResetData(int device, int block)
{
    if (!ValidDevice(device))
        return 0;
    ResetData = 1;
    DataBlock = static_cast<std::uint8_t>(block);
    ResetNVM = 0;
    BootCodeLoad = 0;
    if (!pclMySecondStage->PrepareErase())
        return 1;
    LogMessage("Resetting Data ...");
    return RunSetRequest(*this, *pclMySecondStage, "", 10, "Reset Data Handled", static_cast<std::uint8_t>(device));
}

int TLoaderInterface::EraseApplication(int device)
{
    if (!ValidDevice(device))
        return 0;
    ResetNVM = 0;
    BootCodeLoad = 0;
    ResetData = 0;
    if (!pclMySecondStage->PrepareErase())
        return 1;
    if (GetDebug() == 255)
        LogMessage(Format("Erasing Application Device ID: %d", device));
    else
        LogMessage("Erasing Application ...");
    return RunSetRequest(*this, *pclMySecondStage, "", 10, "Erase Application Handled",
                         static_cast<std::uint8_t>(device));
}

int TLoaderInterface::EraseBootCode(int device)
{
    if (!ValidDevice(device))
        return 0;
    ResetNVM = 0;
    BootCodeLoad = 1;
    ResetData = 0;
    if (!pclMySecondStage->PrepareErase())
        return 1;
    LogMessage("Erasing Boot Code...");
    return RunSetRequest(*this, *pclMySecondStage, "", 10, "Erase Boot Code Handled", static_cast<std::uint8_t>(device));
}

int TLoaderInterface::ProgramCard(int device)
{
    if (!ValidDevice(device))
        return 0;
    return pclMySecondStage->ProgramCard(device);
}

bool TLoaderInterface::IsSWPlatformValid(const char *platform) { return pclMySecondStage->IsSWPlatformValid(platform); }

int TLoaderInterface::SetOptiLoadThreshold(int percent) { return optiLoadThreshold = percent; }
