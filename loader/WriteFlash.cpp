// Bringing a card's link up and writing a firmware file to it.
#include "KTR3LoaderIntf.h"
#include "loadmain.h"

#include <QAction>
#include <QLineEdit>
#include <QProgressBar>
#include <array>
#include <string>

namespace {

const std::array<const char *, 44> writeFlashPlatforms = {
    "SA-1100", "H8Q5",    "ZVX7",    "J3U6C",   "PXA250",   "MOLVEK",  "U6CD",    "tlvp-q", "BEXNOR",
    "ZJ7",     "ZJ7KOL",  "ZJ736",   "P3H5",    "P3H5F",    "KTR557",  "KTR557T", "KTR531", "KTR536",
    "KTR536k", "KTR557F", "VOKTLRM", "VOKTLRX", "WZX",      "KZX",     "Drusk",   "TRNA6",  "P3WH8",
    "P3WH8Q",  "P3WH8Y",  "Q8tlvp",  "ARM",     "Varnholt", "KTRPOND", "Q8BXN",   "KTR567", "KTR521",
    "GARVO9",  "P8TB",    "KTR933",  "KTR933W", "KTR933P",  "KTR953",  "KTR953T", "KTR537"};

const std::array<const char *, 6> applicationProgramGroup = {"MOLVEK", "BEXNOR", "WZX",
                                                             "KZX",    "Drusk",  "Q8BXN"};

template <std::size_t N> bool InList(const std::array<const char *, N> &list, const std::string &name) {
    for (const char *entry : list)
        if (name == entry)
            return true;
    return false;
}

bool BeginsWith(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::string Text(const QLineEdit *edit) {
    return edit->text().toStdString();
}

std::string Trimmed(const QLineEdit *edit) {
    return edit->text().trimmed().toStdString();
}

} // namespace

int TMainForm::ConnectToCard() {
    TLoaderInterface &engine = *LoaderInterface;
    sFileName = QString::fromLocal8Bit(engine.GetFilename().c_str());
    UpdateActionStates();

    int state = engine.GetLoaderState();
    const std::string filePlatform = engine.GetFilePlatform();
    const std::string intended = engine.GetIntendedPlatform();
    const std::string cardPlatform = engine.GetCardPlatform();
    if (engine.IsAborted() || (state == SS_STATE_IDLE && (filePlatform != intended ||
                                                          (intended == "ARM" && cardPlatform != "SA-1100" &&
                                                           cardPlatform != "PXA250") ||
                                                          engine.GetComPort() != iPort)))
        state = SS_STATE_STARTUP;

    if (state == SS_STATE_IDLE) {
        if (iDebugLevel == 255)
            LogLine(QStringLiteral("SS_STATE_IDLE"));
    } else if (state == SS_STATE_STARTUP || state == SS_STATE_SHUTDOWN) {
        if (iDebugLevel == 255)
            LogLine(QStringLiteral("SS_STATE_STARTUP"));
        int rate = iBaudrate;
        if (filePlatform == "zqx5" && iBaudrate > 115200) {
            engine.LogMessage("Unsupported baud rate for ZQX5 card - using 115200");
            rate = 115200;
        } else if (filePlatform == "MOLVEK" && iBaudrate > 9600) {
            engine.LogMessage("Unsupported baud rate for MOLVEK card - using 9600");
            rate = 9600;
        }
        engine.MaintainComms(iPort, rate, iConnectrate);
        engine.SetDisplayVersions(1);
        if (engine.EstablishLink(sFileName.toLocal8Bit().constData()) == 1) {
            editPSN->setText(QString::fromLatin1(engine.GetPSN(0)));
            if (std::string(engine.GetCardPlatform()) == "zqx5") {
                editEnclosurePSN->setText(QString::fromLatin1(engine.GetPSN(2)));
                engine.SetDeviceID(0);
            } else {
                editOSN->setText(QString::fromLatin1(engine.GetOSN(0)));
                editHWRev->setText(QString::fromLatin1(engine.GetHWVersion(0)));
                if (engine.IsMACSupported())
                    editMAC1->setText(QString::fromLatin1(engine.GetMAC(0)));
                if (engine.IsMAC2Supported())
                    editMAC2->setText(QString::fromLatin1(engine.GetMAC(1)));
                if (engine.IsMAC3Supported())
                    editMAC3->setText(QString::fromLatin1(engine.GetMAC(2)));
                if (iDebugLevel == 255) {
                    engine.LogMessage(engine.GetSSLPVersion());
                    if (std::string(engine.GetCardPlatform()) != "ZVX7") {
                        engine.LogMessage("Card SW Platform: ");
                        engine.LogMessage(engine.GetSWPlatform(0));
                    }
                }
            }
        }
    } else if (state == SS_STATE_DONE) {
        if (iDebugLevel == 255)
            LogLine(QStringLiteral("SS_STATE_DONE"));
    }
    // The engine dropped a file it could no longer read as the run began (Write Flash, a
    // script's LOAD or UPDATE, Query Card): it is no longer the accepted one either.
    if (engine.GetFilename().empty() && bFileAccepted)
        ForgetAcceptedFile();
    return engine.GetLoaderState();
}

void TMainForm::aiWriteFlashExecute() {
    // Called from the window only when nothing else runs; a script calls it for LOAD and UPDATE.
    if (IsOperationRunning() && !bScriptRunning)
        return;
    RunOperation([this] { WriteFlash(); });
}

void TMainForm::WriteFlash() {
    TLoaderInterface &engine = *LoaderInterface;
    sFileName = QString::fromLocal8Bit(engine.GetFilename().c_str());
    bBusy = 1;
    UpdateActionStates();
    // Every way out, an exception included, ends the busy state.
    struct BusyGuard {
        TMainForm &form;
        ~BusyGuard() {
            form.bBusy = 0;
            form.UpdateActionStates();
        }
    } busyGuard{*this};

    iTargetCardID = TargetCardID(editComponentID->text());
    engine.SetFirstStageTargetID(TargetCardID(editBootTargetID->text(), "Boot target card ID"));
    engine.SetLogging(bLogging);
    engine.SetTracing(bTracing);
    const int r = ConnectToCard();
    engine.SetDebug(iDebugLevel);
    engine.SetOptiLoadThreshold(cbOptimizedLoading->isChecked() ? 50 : 100);

    // Without a link nothing can be checked, erased or programmed; say so instead of "Done.".
    if (r != SS_STATE_IDLE) {
        // The file could no longer be read as the run began: the engine said why and opened no
        // port, and the file is no longer the accepted one.
        if (engine.GetFilename().empty()) {
            LogLine(QStringLiteral("File %1 rejected - nothing was written.").arg(sFileName));
            return;
        }
        LogLine(QStringLiteral("Unable to reach the card - nothing was written."));
        return;
    }

    const std::string filePlatform = engine.GetFilePlatform();
    const std::string destination = engine.GetDestinationPlatform();
    std::string cardSW;
    if (filePlatform != "zqx5")
        cardSW = engine.GetSWPlatform(iTargetCardID);
    if (filePlatform != "zqx5" && engine.GetNumCards(0) > 1 && destination != cardSW &&
        !(destination == "TWYN" && cardSW == "3.00")) {
        LogLine(
            QStringLiteral("Software Platform Incorrect - File is for %1, target board %2 is %3. Aborted.")
                .arg(QString::fromStdString(destination))
                .arg(iTargetCardID)
                .arg(QString::fromStdString(cardSW)));
        engine.ResetCard();
        engine.Shutdown();
        LogLine(QStringLiteral("Aborted."));
        return;
    }
    if (filePlatform != "zqx5")
        engine.SetPacketTimeout(iPacketTimeout);

    const std::string type = engine.GetFileApplicationType();
    const int t = iTargetCardID;
    // A programming step that fails (a refused file, no acknowledgement, an abort) must not end
    // in "Done.".
    bool fullyProgrammed = true;
    // A file the card must not take is refused with a line of its own, which then ends the run.
    bool refused = false;
    const auto program = [&] {
        if (!engine.ProgramCard(0))
            fullyProgrammed = false;
    };
    bool zqxHandled = false;
    if (filePlatform == "zqx5") {
        if (type == "PIC") {
            engine.SetDeviceID(3);
            engine.EraseApplication(3);
            program();
            zqxHandled = true;
        } else if (type == "BOOT") {
            engine.EraseBootCode(0);
            program();
            engine.SetPSN(0, Text(editPSN).c_str());
            engine.SetPSN(2, Text(editEnclosurePSN).c_str());
            engine.SetDeviceID(0);
            zqxHandled = true;
        } else if (type == "APP") {
            engine.EraseApplication(0);
            program();
            zqxHandled = true;
        }
    }
    if (!zqxHandled && (InList(writeFlashPlatforms, filePlatform) || engine.IsExternalSecondStage())) {
        bool programAfterwards = false;
        const std::string card = engine.GetCardPlatform();
        if (type == "NVM") {
            engine.RequestResetNVM(0);
            programAfterwards = true;
        } else if (BeginsWith(type, "FPGA") &&
                   (filePlatform == "KTR567" || BeginsWith(filePlatform, "KTR9"))) {
            if (BeginsWith(card, "P8TB")) {
                engine.LogMessage("*** Programming CPLD not supported on P8TB ***");
                refused = true;
            } else if (engine.CheckForOptiLoad(1)) {
                // already on the card
            } else if (BeginsWith(card, "KTR9")) {
                engine.LogMessage("Detected CPLD load, erasing CPLD...");
                engine.SetDeviceID(1);
                engine.EraseApplication(0);
                engine.LogMessage("Programming CPLD...");
                program();
            } else {
                engine.LogMessage("Detected FPGA load, erasing FPGA...");
                engine.SetDeviceID(1);
                engine.EraseApplication(0);
                engine.LogMessage("Programming FPGA...");
                program();
            }
        } else if (BeginsWith(type, "FPGA")) {
            // an FPGA file for another platform: nothing to do
        } else if (BeginsWith(type, "BOOT")) {
            editPSN->setText(QString::fromLatin1(engine.GetPSN(t)));
            editOSN->setText(QString::fromLatin1(engine.GetOSN(t)));
            editHWRev->setText(QString::fromLatin1(engine.GetHWVersion(t)));
            std::string modifier, platformType;
            if (engine.IsModifierSupported()) {
                modifier = engine.GetESNModifier(0);
                platformType = engine.GetHWPlatformType(0);
            }
            const QString psn = editPSN->text();
            const QString code = psn.mid(1, 2);
            const bool tw = code == QLatin1String("TW");
            const bool ue = code == QLatin1String("UE");
            const bool du = code == QLatin1String("DU");
            if (!bInternalUse && !ue && !du) {
                LogLine(QStringLiteral("Unknown file type - Unable to proceed."));
                refused = true;
            } else if (filePlatform != "GARVO9" && (engine.GetBootCodeType(t) & 2) != 0) {
                LogLine(QStringLiteral("Protected - Unable to proceed."));
                refused = true;
            } else {
                engine.SetDeviceID(t);
                if (!tw && engine.IsHWCapabilitiesSupported())
                    engine.GetHWCapabilities(t);
                engine.EraseBootCode(0);
                program();
                engine.SetPSN(static_cast<std::uint8_t>(t), Text(editPSN).c_str());
                if (engine.IsModifierSupported()) {
                    engine.SetESNModifier(0, modifier.c_str());
                    engine.SetHWPlatformType(0, platformType.c_str());
                }
                if (!Trimmed(editOSN).empty())
                    engine.SetOSN(static_cast<std::uint8_t>(t), Trimmed(editOSN).c_str());
                if (engine.IsHWVersionSupported())
                    engine.SetHWVersion(static_cast<std::uint8_t>(t), Text(editHWRev).c_str());
                if (!tw && engine.IsHWCapabilitiesSupported())
                    engine.SetHWCapabilities(static_cast<std::uint8_t>(t));
                // After a run ended (a "Loader Abort") no MAC request goes out, and none is said to.
                if (engine.IsMACSupported() && !Trimmed(editMAC1).empty() && engine.CanRunRequest()) {
                    LogLine(QStringLiteral("Setting MAC 0"));
                    engine.SetMAC(static_cast<std::uint8_t>(t), Trimmed(editMAC1).c_str());
                }
                if (engine.IsMAC2Supported() && !Trimmed(editMAC2).empty() && engine.CanRunRequest()) {
                    LogLine(QStringLiteral("Setting MAC 1"));
                    engine.SetMAC(1, Trimmed(editMAC2).c_str());
                }
                if (engine.IsMAC3Supported() && !Trimmed(editMAC3).empty() && engine.CanRunRequest()) {
                    LogLine(QStringLiteral("Setting MAC 2"));
                    engine.SetMAC(2, Trimmed(editMAC3).c_str());
                }
            }
        } else if (BeginsWith(type, "DATA")) {
            const signed char c = type.size() > 4 ? static_cast<signed char>(type[4]) : 0;
            if (c >= '0') {
                engine.SetDeviceID(t);
                engine.RequestResetData(0, c - '0');
                programAfterwards = true;
            }
        } else if (type == "APP") {
            const bool optimised = cbOptimizedLoading->isChecked();
            if (InList(applicationProgramGroup, card)) {
                if (optimised && engine.CheckForOptiLoad(t)) {
                    LogLine(QStringLiteral("Proceeding..."));
                } else {
                    engine.SetDeviceID(t);
                    engine.EraseApplication(0);
                    programAfterwards = true;
                }
            } else {
                engine.SetDeviceID(t);
                if (!(optimised && engine.CheckForOptiLoad(t))) {
                    engine.EraseApplication(0);
                    programAfterwards = true;
                }
            }
        }
        if (programAfterwards) {
            engine.SetDeviceID(t);
            program();
        }
    }

    // A failed programming may have ended the run already: the reset cannot go out then.
    bool cardReset = false;
    if (!bScriptRunning) {
        cardReset = engine.ResetCard() != 0;
        engine.Shutdown();
    }
    if (!fullyProgrammed) {
        // The progress bar stays where the programming stopped.
        LogLine(QStringLiteral("The card was not fully programmed."));
        // It stays in its loader, where the next connection will not find it.
        if (!cardReset)
            LogLine(QStringLiteral("The card was not reset - power it off and on before trying again."));
        // A production script must not go on to report success for this card.
        if (bScriptRunning)
            bScriptAbort = 1;
        return;
    }
    if (refused) {
        if (bScriptRunning)
            bScriptAbort = 1;
        return;
    }
    LogLine(QStringLiteral("Done."));
    ProgressBar1->setValue(ProgressBar1->maximum());
}
