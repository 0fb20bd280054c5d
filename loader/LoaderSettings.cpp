// Reading the stored settings at start and writing them back at exit.
#include "ComPorts.h"
#include "Dialogs.h"
#include "KTR3LoaderIntf.h"
#include "Registry.h"
#include "ScreenPlacement.h"
#include "comset.h"
#include "loadmain.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const QString settingsKey = QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel");

// A flag read under its own guard: a failed read gives the default.
int ReadNumber(platform::Registry &reg, const char *name, int fallback) {
    try {
        return reg.ReadInteger(QString::fromLatin1(name));
    } catch (const std::exception &) {
        return fallback;
    }
}

// The window at its designed size in the middle of the screen.
void CentreAtDesignedSize(QWidget *window) {
    window->resize(798, 560);
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

// Stored bounds the user can see and grab: a real size, and a good part of the window on some
// screen (a monitor unplugged since, or values edited by hand, must not hide the window).
bool UsableBounds(const QRect &bounds) {
    constexpr int smallest = 100;
    if (bounds.width() < smallest || bounds.height() < smallest)
        return false;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(bounds);
        if (seen.width() >= smallest && seen.height() >= smallest / 2 && seen.top() == bounds.top())
            return true;
    }
    return false;
}

} // namespace

void TMainForm::FormCreate() {
    PageControl1->setCurrentWidget(tsUser);
    PageControl1->tabBar()->setVisible(false);

    const QString programFolder =
        QFileInfo(QApplication::applicationFilePath()).absolutePath() + QLatin1Char('/');
    platform::Registry &reg = *pclMyRegistry;
    if (reg.OpenKey(settingsKey, true)) {
        // Values edited by hand that cannot be used are replaced by their defaults, each said once
        // the window is up; none of them reaches a card.
        QStringList notes;
        const auto held = [&](const char *name, int fallback, auto usable, const QString &expected) {
            QString note;
            const int value =
                reg.ReadHeldInteger(QString::fromLatin1(name), fallback, usable, expected, note);
            if (!note.isEmpty())
                notes << note;
            return value;
        };
        const auto inRange = [](int lowest, int highest) {
            return [lowest, highest](long long value) { return value >= lowest && value <= highest; };
        };
        bInternalUse = ReadNumber(reg, "InternalUse", 0) != 0 ? 1 : 0;
        iPort = held("Port", 1, inRange(1, platform::kMaxComPort),
                     QStringLiteral("a port from 1 to %1").arg(platform::kMaxComPort));
        iBaudrate = held("Baudrate", 115200, &TPortSetup::OffersDownloadRate,
                         QStringLiteral("a download rate the COM settings offer"));
        iConnectrate = held("Connectrate", 9600, &TPortSetup::OffersConnectRate,
                            QStringLiteral("a connect rate the COM settings offer"));
        // Both go to the card in one byte: a hand-typed 300 must not arrive as 44.
        iPacketTimeout = held("Packet Timeout", 60, inRange(0, 255), QStringLiteral("from 0 to 255"));
        cbOptimizedLoading->setChecked(ReadNumber(reg, "Optimized Loading", 1) != 0);
        try {
            sInitialDir = reg.ReadString(QStringLiteral("InitialDir"));
        } catch (const std::exception &) {
            sInitialDir.clear();
        }
        if (sInitialDir.isEmpty())
            sInitialDir = programFolder + QStringLiteral("UPDATES");
        iDebugLevel = held("Debug Level", 0, inRange(0, 255), QStringLiteral("from 0 to 255"));
        notes << QString::fromStdString(LoaderInterface->GetBreakSpacingNote());
        for (const QString &note : notes)
            if (!note.isEmpty())
                LogLine(note);
        bLogging = ReadNumber(reg, "Logging", 0) != 0 ? 1 : 0;
        bTracing = ReadNumber(reg, "Tracing", 0) != 0 ? 1 : 0;

        // One guard for the rest: on the first start the missing "Width" ends it here.
        try {
            editDebugLevel->setText(QString::number(iDebugLevel));
            editDebugLevel->setVisible(bInternalUse);
            lblDebugLevel->setVisible(bInternalUse);
            UpdateStatusBar();
            pclMyFileHistory.clear();
            for (int i = 0; i < 10; ++i)
                pclMyFileHistory.append(reg.ReadString(QStringLiteral("FileHistory%1").arg(i)));
            RebuildFileHistoryMenu();
            const int width = reg.ReadInteger(QStringLiteral("Width"));
            const int height = reg.ReadInteger(QStringLiteral("Height"));
            const int top = reg.ReadInteger(QStringLiteral("Top"));
            const int left = reg.ReadInteger(QStringLiteral("Left"));
            // Bounds typed by hand may reach the integer limits; the rectangle arithmetic must not.
            // A window larger than the screen is never drawn: it is shrunk onto the screen, as
            // every placed window is.
            const QRect stored = platform::StoredRect(left, top, width, height);
            if (UsableBounds(stored))
                setGeometry(platform::KeepOnScreens(stored, platform::AvailableAreas()));
            else
                CentreAtDesignedSize(this);
            if (bInternalUse && !pclMyFileHistory.value(0).isEmpty())
                OpenHexFile(pclMyFileHistory.value(0));
        } catch (const std::exception &) {
            CentreAtDesignedSize(this);
        }
        reg.CloseKey();
    } else if (reg.ReadFailed()) {
        bSettingsUnreadable = true;
        // Said once the window is up; the file is left as it is for the user to mend.
        QTimer::singleShot(0, this, [] {
            platform::ShowMessageBox(
                {QStringLiteral("Unable to read the settings in %1 - Quorvel runs on its "
                                "defaults and leaves the file as it is")
                     .arg(platform::Registry::FileForKey(settingsKey)),
                 QStringLiteral("Settings Error"), platform::MessageButtons::Ok,
                 platform::MessageIcon::Warning});
        });
    }
    for (QWidget *w : {static_cast<QWidget *>(editComponentID), static_cast<QWidget *>(lblTargetCard)})
        w->setVisible(true);
    UpdateActionStates();
}

void TMainForm::FormDestroy() {
    if (bSettingsStored)
        return;
    bSettingsStored = true;
    // Storing must never throw out of the window's destruction; settings that cannot be written
    // are not stored, and the file keeps what it held.
    bool stored = bSettingsUnreadable;
    try {
        platform::Registry &reg = *pclMyRegistry;
        if (!bSettingsUnreadable && reg.OpenKey(settingsKey, true)) {
            // A maximised window comes back at the size it had before, not filling the screen.
            const QRect bounds = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
            reg.WriteInteger(QStringLiteral("Left"), bounds.left());
            reg.WriteInteger(QStringLiteral("Top"), bounds.top());
            reg.WriteInteger(QStringLiteral("Width"), bounds.width());
            reg.WriteInteger(QStringLiteral("Height"), bounds.height());
            reg.WriteInteger(QStringLiteral("Port"), iPort);
            reg.WriteInteger(QStringLiteral("Baudrate"), iBaudrate);
            reg.WriteInteger(QStringLiteral("Connectrate"), iConnectrate);
            reg.WriteInteger(QStringLiteral("Packet Timeout"), iPacketTimeout);
            reg.WriteInteger(QStringLiteral("Optimized Loading"), cbOptimizedLoading->isChecked() ? 1 : 0);
            for (int i = 0; i < 10; ++i)
                reg.WriteString(QStringLiteral("FileHistory%1").arg(i), pclMyFileHistory.value(i));
            stored = reg.CloseKey();
        }
    } catch (...) {
    }
    if (!stored) {
        // Only a file that is there keeps anything.
        const QString file = platform::Registry::FileForKey(settingsKey);
        platform::ShowMessageBox(
            {QFileInfo::exists(file)
                 ? QStringLiteral("Unable to store the settings in %1 - the file keeps what it held")
                       .arg(file)
                 : QStringLiteral("Unable to store the settings in %1").arg(file),
             QStringLiteral("Settings Error"), platform::MessageButtons::Ok, platform::MessageIcon::Warning});
    }
    pclMyRegistry.reset();
    pclMyFileHistory.clear();
    delete LoaderInterface;
    LoaderInterface = nullptr;
}
