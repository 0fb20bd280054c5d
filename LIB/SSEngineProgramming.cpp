// Programming the open firmware file into a card: one request that the programming states carry
// out payload by payload.
#include "Dialogs.h"
#include "KTR3LoaderIntf.h"
#include "MessagePump.h"
#include "SSEngine.h"
#include "SSEngineText.h"

#include <QString>
#include <cstdint>

using ssengine::Format;

int SSEngine::ProgramCard(int device) {
    // The erase already said which line made it refuse the file.
    if (BadFileLine != 0)
        return 0;
    // Without a link (or after a failed erase ended the run) nothing would be downloaded.
    if (!CanRunRequest())
        return 0;
    Log(Format("Using file: %s", loader.GetFilename().c_str()));
    try {
        const int blocks = GetFileBlocks();
        if (blocks < 10)
            ProgressMultiplier = 10;
        const std::uint16_t scaled = static_cast<std::uint16_t>(blocks * ProgressMultiplier);
        loader.SetProgressRange(static_cast<int>(scaled * 1.1));
    } catch (const std::exception &) {
        platform::ShowMessageBox(
            {QStringLiteral("Can't open file: %1").arg(QString::fromLocal8Bit(loader.GetFilename().c_str())),
             QStringLiteral("Brevanto"), platform::MessageButtons::OkCancel, platform::MessageIcon::Error});
        return 0;
    }
    LogDebug("File Opened");
    LogDebug(Format("ProgramCard() - iDeviceID_: %d", device));
    Log("Downloading...");
    const int ran = RunRequest(static_cast<std::uint8_t>(device), 12);
    // A payload the card never acknowledged ends the call without a word of its own.
    if (!ran || !AckReceived)
        return 0;
    if (loader.IsAborted()) {
        Log("Aborted!");
        return 0;
    }
    // Only programming that reached the end of the file programmed the card.
    if (ParseStatus != 4)
        return 0;
    int result = 1;
    if (CardPlatform() == "zqx5" && DeviceID == 3) {
        Log("Waiting for completion - this can take 1-2 minutes, please be patient.");
        while (!MarkerFound[0] && !loader.IsAborted() && loader.GetLoaderStage() == LOADER_SECOND_STAGE)
            platform::WaitForMessages();
        if (!loader.IsAborted() && MarkerFound[0])
            Log("Flash write 100% completed.");
        else
            result = 0;
    }
    if (loader.IsAborted()) {
        Log("Aborted!");
        return 0;
    }
    Log("Download Complete");
    if (loader.IsUSBDevice())
        Log("Waiting for erase, write and card reset...");
    return result;
}
