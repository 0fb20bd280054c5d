#include "S0Engine.h"

#include "BuiltInImages.h"
#include "Clock.h"
#include "KTR3LoaderIntf.h"

namespace {

const BootStageEngine::Traits stage0Traits{bootrecords::Stage0WakeByte,
                                           &bootrecords::Stage0Templates,
                                           "Stage0.Log",
                                           "Stage 0 Done",
                                           "UseFSFile",
                                           "FSFile",
                                           S0Engine::ExternalImageCapacity};

} // namespace

S0Engine::S0Engine(TLoaderInterface &owner) : BootStageEngine(owner, stage0Traits) {}

S0Engine::~S0Engine() = default;

void S0Engine::Start() {
    StartRun();
}

std::uint8_t S0Engine::Run() {
    return RunStep();
}

void S0Engine::Receive(const std::uint8_t *bytes, int count) {
    ReceiveBytes(bytes, count);
}

int S0Engine::GetImageBlocks() const {
    return static_cast<int>(imageOffset / 4096);
}

bool S0Engine::IsUSBDevice() const {
    return BannerIsUSBDevice();
}

void S0Engine::BannerReceived() {
    if (bannerFields.platform == "GARVO9") {
        AcceptCard();
        return;
    }
    SendNextDevice(0);
    RestartSearch();
}

void S0Engine::SendBaudChange() {
    Log("Changing Baud Rate to: " + std::to_string(loader.GetBaudrate()));
    SendBaudChangeRecord(0);
}

const loaderimage::LoaderImage &S0Engine::Image() {
    if (externalFile)
        return externalImage;
    if (!builtInImage)
        builtInImage = builtinimages::Load("FSL_GARVO9");
    return *builtInImage;
}

std::uint8_t S0Engine::SendImageStep() {
    if (externalFile) {
        if (imageOffset == 0)
            Log("Warning! Loading External First Stage Loader...");
        loader.SetIgnoreAppOffset(1);
    }
    if (!SendNextRecord(Image()))
        return FailStage("Stage 0 download stopped.");
    lastEvent = platform::Now();
    state = WAIT_RECORD_ACK;
    return STAGE_CONTINUE;
}
