// The facade's operations on the firmware file and the second-stage engine's device records.
#include "KTR3LoaderIntf.h"

#include "SSEngine.h"

#include <QApplication>
#include <QWidget>
#include <climits>
#include <cstdio>

bool TLoaderInterface::SetFileName(const char *name) {
    fileName = name ? name : "";
    // No file has a name that long; the name itself would flood the log.
    if (fileName.size() >= PATH_MAX) {
        fileName.clear();
        LogMessage("Unable to open file - its name is longer than the system allows");
        pclMySecondStage->ForgetFileProperties();
        return false;
    }
    LogDebug("Setting file as:");
    LogDebug(fileName);
    if (pclMySecondStage->ReadFileProperties() != 0)
        return true;
    // A refused file is not kept: nothing later may program it, or the file accepted before it.
    fileName.clear();
    return false;
}

const char *TLoaderInterface::GetFileApplicationType() const {
    return pclMySecondStage->GetFileApplicationType().c_str();
}

void TLoaderInterface::SetFileApplicationType(const char *type) {
    pclMySecondStage->SetFileApplicationType(type ? type : "");
}

const char *TLoaderInterface::GetFileSWVersion() const {
    return pclMySecondStage->GetFileSWVersion().c_str();
}

void TLoaderInterface::SetFileSWVersion(const char *version) {
    pclMySecondStage->SetFileSWVersion(version ? version : "");
}

bool TLoaderInterface::IsSignedHexFile() const {
    return pclMySecondStage->IsSignedHexFile();
}

int TLoaderInterface::SetDeviceID(int device) {
    return pclMySecondStage->SetDeviceID(device);
}

int TLoaderInterface::GetDeviceID() const {
    return pclMySecondStage->GetDeviceID();
}

int TLoaderInterface::SetPSN(int device, const char *text) {
    return pclMySecondStage->SetPSN(device, text);
}

int TLoaderInterface::SetESNModifier(int device, const char *text) {
    return pclMySecondStage->SetESNModifier(device, text);
}

int TLoaderInterface::SetHWVersion(int device, const char *text) {
    return pclMySecondStage->SetHWVersion(device, text);
}

int TLoaderInterface::SetHWCapabilities(int device) {
    return pclMySecondStage->SetHWCapabilities(device);
}

void TLoaderInterface::BringApplicationToFront() {
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
    }
}
