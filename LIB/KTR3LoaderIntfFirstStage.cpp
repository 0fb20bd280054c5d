// The facade's operations for stage 0, the first stage and the platform rules.
#include "FSEngine.h"
#include "KTR3LoaderIntf.h"
#include "PlatformPredicates.h"
#include "S0Engine.h"

int TLoaderInterface::SetFirstStageTimeout(int seconds) {
    pclMyFirstStage->SetTimeoutSeconds(seconds);
    return seconds;
}

int TLoaderInterface::GetFirstStageTimeout() const {
    return pclMyFirstStage->GetTimeoutSeconds();
}

void TLoaderInterface::SetFirstStageTargetID(int id) {
    pclMyFirstStage->SetTargetID(id);
}

void TLoaderInterface::SetFirstStageDeviceID(int id) {
    pclMyFirstStage->SetTargetID(id);
}

int TLoaderInterface::SetS0TimeoutSeconds(int seconds) {
    pclMyStage0->SetTimeoutSeconds(seconds);
    return seconds;
}

int TLoaderInterface::GetS0TimeoutSeconds() const {
    return pclMyStage0->GetTimeoutSeconds();
}

std::string TLoaderInterface::GetBreakSpacingNote() const {
    return pclMyFirstStage->GetBreakSpacingNote();
}

bool TLoaderInterface::GetSecondStageStartupSupport() const {
    return pclMyFirstStage->GetSecondStageStartupSupport();
}

bool TLoaderInterface::IsExternalSecondStage() const {
    return pclMyFirstStage->IsExternalLoaderInUse();
}

bool TLoaderInterface::IsPlatformSupported(const char *platform) const {
    return pclMyFirstStage->IsPlatformSupported(platform);
}

bool TLoaderInterface::IsAppVersionSupported() const {
    return platforms::AppVersionSupported(GetCardPlatform(), IsExternalSecondStage());
}

bool TLoaderInterface::IsAppSignatureTypeSupported() const {
    return platforms::AppSignatureTypeSupported(GetCardPlatform(), IsExternalSecondStage());
}

bool TLoaderInterface::IsMACSupported() const {
    return platforms::MACSupported(GetCardPlatform(), IsExternalSecondStage());
}

bool TLoaderInterface::IsMAC2Supported() const {
    return platforms::MAC2Supported(GetCardPlatform());
}

bool TLoaderInterface::IsMAC3Supported() const {
    return platforms::MAC3Supported(GetCardPlatform());
}

bool TLoaderInterface::IsModifierSupported() const {
    return platforms::ModifierSupported(GetCardPlatform(), IsExternalSecondStage());
}

bool TLoaderInterface::IsHWVersionSupported() const {
    return platforms::HWVersionSupported(GetCardPlatform(), IsExternalSecondStage());
}

bool TLoaderInterface::IsHWCapabilitiesSupported() const {
    return platforms::HWCapabilitiesSupported(filePlatform);
}
