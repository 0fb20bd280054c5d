#include "FSEngine.h"

#include "BuiltInImages.h"
#include "Clock.h"
#include "Dialogs.h"
#include "KTR3LoaderIntf.h"
#include "PlatformPredicates.h"
#include "SSEngine.h"
#include "SecondStageImages.h"
#include "TpclMyCommStats.h"

#include <filesystem>

using platforms::IsOneOf;

namespace {

const BootStageEngine::Traits firstStageTraits{bootrecords::FirstStageWakeByte,
                                               &bootrecords::FirstStageTemplates,
                                               "Stage1.Log",
                                               "Stage 1 Done",
                                               "UseSSFile",
                                               "SSFile",
                                               FSEngine::ExternalImageCapacity};

} // namespace

FSEngine::FSEngine(TLoaderInterface &owner) : BootStageEngine(owner, firstStageTraits) {}

FSEngine::~FSEngine() = default;

void FSEngine::Start() {
    StartRun();
    // These belong to the card of one run; a new card must not inherit them.
    startupSupport = 0;
    externalLoaderInUse = false;
    loader.SetIgnoreAppOffset(0);
}

std::uint8_t FSEngine::Run() {
    return RunStep();
}

void FSEngine::Receive(const std::uint8_t *bytes, int count) {
    ReceiveBytes(bytes, count);
}

int FSEngine::GetImageBlocks() const {
    if (externalFile || externalLoaderInUse)
        return static_cast<int>(externalImage.bytes.size() / 4096);
    const std::string &platform = bannerFields.platform;
    if (platform == "Drusk") {
        // Its image is opened by the download that first needs it; until then it has no size.
        const auto opened = builtInImages.find(secondstage::DruskImage);
        return opened == builtInImages.end() ? 0 : static_cast<int>(opened->second.bytes.size() / 4096);
    }
    return secondstage::ImageBlocks(platform);
}

int FSEngine::GetBlocksSent() const {
    return static_cast<int>(imageOffset / 4096);
}

bool FSEngine::GetSecondStageStartupSupport() const {
    if (startupSupport && loader.GetDebug() == 255)
        loader.LogMessage("SECOND STAGE STARTUP OKAY");
    return startupSupport != 0;
}

bool FSEngine::IsUSBDevice() const {
    return BannerIsUSBDevice();
}

bool FSEngine::IsPlatformSupported(const char *platform) const {
    return platform && secondstage::FindImage(platform) != nullptr;
}

void FSEngine::SetTargetID(int id) {
    Log("Setting First Stage Target ID to: " + std::to_string(id));
    targetID = id;
}

void FSEngine::BannerReceived() {
    const std::string &card = bannerFields.platform;
    const std::string &expected = loader.expectedPlatform;
    if (card == expected || loader.pclMySecondStage->IsSWPlatformValid(card.c_str()) ||
        IsOneOf(card, {"BEXNOR", "Q8BXN", "U6CD", "tlvp-q", "KTR567"}) ||
        (expected == "ARM" && card == "SA-1100") || card == "PXA250") {
        AcceptCard();
        return;
    }
    if (card == "VOKTLRM") {
        if (loader.filePlatform == "VOKTLRM")
            SendNextDevice(0);
        if (loader.filePlatform == "ARM") {
            if (targetID) {
                SendNextDevice(targetID);
            } else {
                loader.Abort();
                platform::ShowMessage(
                    QStringLiteral("Cannot Proceed - File Specifed does not contain a VOKT Destination ID."));
            }
        }
        RestartSearch();
        return;
    }
    if (IsOneOf(card, {"GARVO9", "KTR933", "KTR933W", "KTR933P", "KTR953", "KTR953T", "P8TB"})) {
        AcceptCard();
        return;
    }
    SendNextDevice(0);
    RestartSearch();
}

void FSEngine::SendBaudChange() {
    Log("Changing Baud Rate to: " + std::to_string(loader.GetBaudrate()));
    const std::string &card = bannerFields.platform;
    // Only a card that passes the link on to the card behind it takes a device ID.
    if (IsOneOf(card, {"BEXNOR", "Q8BXNDURK", "U6CD", "KTR567"}) && card != loader.expectedPlatform)
        Log("Assigning device ID in Change Baud Packet");
    else
        targetID = 0;
    if (targetID)
        Log("Assigning Device ID to: " + std::to_string(targetID));
    SendBaudChangeRecord(targetID & 0xFF);
}

std::uint8_t FSEngine::SendImageStep() {
    const std::string &card = bannerFields.platform;
    platform::ComPort &port = *loader.pclMyComPort;
    if (card != "zqx5") {
        const loaderimage::LoaderImage *image = SelectSecondStageImage();
        if (!image)
            return STAGE_CONTINUE; // aborted: the next tick cleans up
        if (!SendNextRecord(*image))
            return FailStage("Stage 1 download stopped.");
    } else {
        Log("Priming ZQX loader");
        platform::Sleep(1000);
        const bootrecords::Header &start = bootrecords::FirstStageStartRecord;
        port.PutBlock(start.data(), start.size());
    }
    lastEvent = platform::Now();
    if (IsOneOf(card, {"SA-1100", "ARM", "PXA250"}) && IsUSBDevice() && lastRecordLength == 0) {
        // This loader answers its last record by restarting its USB port, not with 'Y'.
        startupSupport = 0;
        stageDone = 1;
        platform::Sleep(100);
    }
    state = WAIT_RECORD_ACK;
    return STAGE_CONTINUE;
}

const loaderimage::LoaderImage &FSEngine::BuiltIn(const std::string &name) const {
    auto found = builtInImages.find(name);
    if (found == builtInImages.end())
        found = builtInImages.emplace(name, builtinimages::Load(name)).first;
    return found->second;
}

const loaderimage::LoaderImage *FSEngine::SelectSecondStageImage() {
    const bool firstRecord = imageOffset == 0;
    const std::string &card = bannerFields.platform;

    if (externalFile) {
        if (firstRecord)
            Log("Warning! Loading External Second Stage Loader...");
        if (secondstage::ExternalFileIgnoresAppOffset(card) || externalLoaderInUse)
            loader.SetIgnoreAppOffset(1);
        return &externalImage;
    }

    if (const secondstage::ImageChoice *choice = secondstage::FindImage(card)) {
        if (firstRecord && choice->message)
            Log(choice->message);
        if (choice->startupSupport != secondstage::StartupSupport::Unchanged)
            startupSupport = choice->startupSupport == secondstage::StartupSupport::On ? 1 : 0;
        if (choice->ignoreAppOffset)
            loader.SetIgnoreAppOffset(1);
        const bool firstUse = builtInImages.find(choice->image) == builtInImages.end();
        const loaderimage::LoaderImage &image = BuiltIn(choice->image);
        if (firstUse && std::string(choice->image) == secondstage::DruskImage)
            loader.SetProgressRange(static_cast<int>(image.bytes.size() / 4096));
        return &image;
    }

    if (firstRecord && !LocatePlatformLoaderFile()) {
        Log("Unsupported product. Please contact Zandrel Support.");
        loader.Abort();
        return nullptr;
    }
    startupSupport = 1;
    loader.SetIgnoreAppOffset(1);
    return &externalImage;
}

bool FSEngine::LocatePlatformLoaderFile() {
    const std::string &card = bannerFields.platform;
    // The loader file is named after the platform in a name of its own; the platform keeps the
    // name the banner gave.
    const std::string path = ProgramDirectory() + card + "_ssl.c";
    Log("Attempting to locate SSL");
    Log(path);
    // A platform name is no path: one with a separator names no loader file.
    std::error_code error;
    if (card.find('/') != std::string::npos || !std::filesystem::is_regular_file(path, error))
        return false;
    externalFilePath = path;
    Log("Warning! Using External Unknown product Second Stage Loader...");
    externalLoaderInUse = true;
    LoadImageFile();
    return true;
}
