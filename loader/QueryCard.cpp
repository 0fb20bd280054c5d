// Listing a card's identity in the message log.
#include "KTR3LoaderIntf.h"
#include "Registry.h"
#include "loadmain.h"

#include <QLineEdit>
#include <algorithm>
#include <array>
#include <string>

namespace {

const std::array<const char *, 29> queryCardPlatforms = {
    "ARM",     "SA-1100", "ZVX7",   "H8Q5",    "J3U6C",    "PXA250",  "MOLVEK",  "ZJ7",
    "ZJ7KOL",  "ZJ736",   "P3H5",   "P3H5F",   "TORVANEK", "VOKTLRM", "VOKTLRX", "Varnholt",
    "TRNA6",   "P3WH8",   "P3WH8Q", "P3WH8Y",  "KTR567",   "KTR521",  "GARVO9",  "KTR933",
    "KTR933W", "KTR933P", "KTR953", "KTR953T", "P8TB"};

QString Q(const char *text) {
    return QString::fromLatin1(text ? text : "");
}

} // namespace

void TMainForm::ClearCardProperties() {
    for (QLineEdit *edit : {editPSN, editEnclosurePSN, editOSN, editHWRev, editMAC1, editMAC2, editMAC3})
        edit->clear();
}

void TMainForm::aiQueryCardExecute() {
    // No script line runs a query, so none may start inside another operation's wait.
    if (IsOperationRunning())
        return;
    RunOperation([this] {
        TLoaderInterface &engine = *LoaderInterface;
        ClearCardProperties();
        engine.SetIntendedPlatform(editFilePlatform->text().toLatin1().constData());
        engine.SetLogging(bLogging);
        engine.SetTracing(bTracing);
        engine.SetFirstStageTargetID(TargetCardID(editBootTargetID->text(), "Boot target card ID"));
        // Without a link the search's last line would stand as if it were still going on.
        if (ConnectToCard() != SS_STATE_IDLE) {
            LogLine(QStringLiteral("Unable to reach the card - nothing was queried."));
            return;
        }

        engine.SetDeviceID(0);
        iNumCards = engine.GetNumCards(0);
        engine.LogMessage(QStringLiteral("Number of Cards: %1").arg(iNumCards).toLatin1().constData());
        // The engine keeps records for 15 devices; a card count beyond that cannot be listed.
        const int cards = std::clamp(iNumCards, 0, 15);

        const std::string filePlatformText = editFilePlatform->text().toStdString();
        const bool listed =
            std::find_if(queryCardPlatforms.begin(), queryCardPlatforms.end(),
                         [&](const char *p) { return filePlatformText == p; }) != queryCardPlatforms.end();
        if (bInternalUse && listed) {
            const int b = engine.GetBootCodeType(0);
            LogLine(QStringLiteral("Boot: %1, %2")
                        .arg((b & 1) ? QStringLiteral("Debug") : QStringLiteral("Released"))
                        .arg((b & 2) ? QStringLiteral("Protected") : QStringLiteral("UnProtected")));
            engine.LogMessage(QStringLiteral("Second Stage Loader Version: %1")
                                  .arg(Q(engine.GetSSLPVersion()))
                                  .toLatin1()
                                  .constData());
        }
        if (engine.IsModifierSupported())
            LogLine(QStringLiteral("Platform ID: %1").arg(Q(engine.GetHWPlatformType(0))));

        platform::Registry registry;
        try {
            if (registry.OpenKey(QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel"), true)) {
                const bool esn = registry.ReadBool(QStringLiteral("bESN"));
                if (esn && bInternalUse)
                    for (int i = 0; i < cards; ++i)
                        LogLine(QStringLiteral("Card: %1, ESN: %2").arg(i + 1).arg(Q(engine.GetESN(i))));
            }
        } catch (const std::exception &) {
            // an unreadable flag counts as off
        }
        registry.CloseKey();

        for (int i = 0; i < cards; ++i) {
            LogLine(QStringLiteral("Card: %1, PSN: %2").arg(i).arg(Q(engine.GetPSN(i))));
            LogLine(QStringLiteral("Card: %1, HW_REV: %2").arg(i).arg(Q(engine.GetHWVersion(i))));
            LogLine(QStringLiteral("Card: %1, OSN: %2").arg(i).arg(Q(engine.GetOSN(i))));
            if (engine.IsAppVersionSupported()) {
                const QString version = Q(engine.GetCardAppVersion(i));
                LogLine(QStringLiteral("Card: %1, Application SW: %2")
                            .arg(i)
                            .arg(version.section(QLatin1Char(','), 0, 0)));
                if (filePlatformText == "KTR567" &&
                    std::string(engine.GetFileApplicationType()).rfind("FPGA", 0) == 0) {
                    engine.SetDeviceID(1);
                    LogLine(QStringLiteral("Card: %1, FPGA version: %2")
                                .arg(i)
                                .arg(Q(engine.GetCardAppVersion(i))));
                    engine.SetDeviceID(0);
                }
                const int s = engine.GetCardAppSignatureStatus(i) & 0xFF;
                switch (s) {
                case 0:
                    LogLine(QStringLiteral("Card SW image signature status is UNKNOWN"));
                    break;
                case 253:
                    LogLine(QStringLiteral("Card SW image is signed but the signature is invalid"));
                    break;
                case 254:
                    LogLine(QStringLiteral("Card SW image is signed and valid"));
                    break;
                case 255:
                    LogLine(QStringLiteral("Card SW image is not signed"));
                    break;
                default:
                    LogLine(QStringLiteral("Card SW image reply was unexpected.  Status UNKNOWN."));
                    break;
                }
            }
        }
        engine.SetDeviceID(0);
        engine.ResetCard();
        engine.Shutdown();
        LogLine(QStringLiteral("Done."));
    });
}
