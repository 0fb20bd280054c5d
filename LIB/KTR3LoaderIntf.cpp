#include "KTR3LoaderIntf.h"

#include "Clock.h"
#include "ComPorts.h"
#include "Dialogs.h"
#include "FSEngine.h"
#include "MessagePump.h"
#include "S0Engine.h"
#include "SSEngine.h"
#include "SSEngineText.h"
#include "SerialComPort.h"
#include "TpclMyCommStats.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <unistd.h>

using platform::ComPort;

TLoaderInterface::TLoaderInterface(QWidget *owner, std::unique_ptr<ComPort> dataPort,
                                   std::unique_ptr<ComPort> powerPort)
    : QWidget(owner), pclMyTimer(std::make_unique<QTimer>()),
      pclMyComPort(dataPort ? std::move(dataPort) : std::make_unique<platform::SerialComPort>()),
      pclMyPowerComPort(powerPort ? std::move(powerPort) : std::make_unique<platform::SerialComPort>())
{
    setObjectName(QStringLiteral("LoaderInterface"));
    setWindowTitle(QStringLiteral("KTR3 Loader"));

    pclMyTimer->setObjectName(QStringLiteral("pclMyTimer"));
    pclMyTimer->stop();
    connect(pclMyTimer.get(), &QTimer::timeout, this, &TLoaderInterface::RunTimer);

    pclMyComPort->setObjectName(QStringLiteral("pclMyComPort"));
    pclMyComPort->SetComNumber(1);
    pclMyComPort->SetBaud(9600);
    pclMyComPort->SetInSize(65520);
    pclMyComPort->SetTraceSize(65520);
    pclMyComPort->SetTraceName(QStringLiteral("brevanto.log"));
    pclMyComPort->SetLogSize(65520);
    pclMyComPort->SetLogName(QStringLiteral("APRO.LOG"));
    pclMyComPort->SetLogAllHex(true);
    pclMyComPort->SetNotificationLevel(8);
    pclMyComPort->SetOnTriggerAvail([this](ComPort &port, std::uint16_t count) { ComPortTriggerAvail(port, count); });

    pclMyPowerComPort->setObjectName(QStringLiteral("pclMyPowerComPort"));
    pclMyPowerComPort->SetComNumber(0);
    pclMyPowerComPort->SetBaud(9600);
    pclMyPowerComPort->SetRTS(false);
    pclMyPowerComPort->SetTraceName(QStringLiteral("brevanto.log"));
    pclMyPowerComPort->SetLogName(QStringLiteral("APRO.LOG"));
    pclMyPowerComPort->SetNotificationLevel(2);
    pclMyPowerComPort->SetOnTriggerAvail([this](ComPort &port, std::uint16_t count) { ComPortTriggerAvail(port, count); });

    for (ComPort *port : {pclMyComPort.get(), pclMyPowerComPort.get()})
        port->SetOnWriteFailed([this](const QString &file) { LogFileWriteFailed(file); });

    pclMyStage0 = std::make_unique<S0Engine>(*this);
    pclMyFirstStage = std::make_unique<FSEngine>(*this);
    pclMySecondStage = std::make_unique<SSEngine>(*this);
    pclMyCommStats = std::make_unique<TpclMyCommStats>();
}

TLoaderInterface::~TLoaderInterface()
{
    // The engines still log while they go (closing the file at debug level 255); nobody may be
    // told about it, since whoever listens reads the engines being destroyed.
    onStart = nullptr;
    onComplete = nullptr;
    onAbortRequest = nullptr;
    onMessage = nullptr;
    onProgressRange = nullptr;
    onProgress = nullptr;
    pclMyTimer->stop();
    pclMyStage0.reset();
    pclMyFirstStage.reset();
    pclMySecondStage.reset();
    pclMyCommStats.reset();
    // Nobody is left to read a line about a trace written now.
    pclMyComPort->SetOnWriteFailed({});
    pclMyPowerComPort->SetOnWriteFailed({});
    pclMyComPort->Close();
    pclMyPowerComPort->Close();
}

// ---- Run cycle -------------------------------------------------------------------------------

void TLoaderInterface::Execute()
{
    pclMyCommStats->ResetCounters();
    logWriteFailureSaid = false;
    NotifyStart();
    pclMyStage0->Start();
    pclMyFirstStage->Start();
    pclMySecondStage->Start();
    aborted = 0;
    // A result left from an earlier run must not be reported for this one.
    LoaderResult = LOADER_RESULT_SUCCESS;
    LoaderStage = (expectedPlatform == "GARVO9" && std::string(GetFileApplicationType()) == "BOOT") ? LOADER_STAGE_0 : LOADER_FIRST_STAGE;
    SetProgressRange(static_cast<std::int16_t>(pclMyFirstStage->GetImageBlocks()));
    pclMyTimer->setInterval(100);
    pclMyTimer->start();
}

void TLoaderInterface::FailRun(std::int8_t result)
{
    LoaderStage = CLEAN_UP;
    pclMyTimer->start();
    LoaderResult = result;
}

void TLoaderInterface::RunTimer()
{
    try {
        Step();
    } catch (const platform::EAlreadyOpen &) {
        FailRun(LOADER_RESULT_PORT_OPEN);
        throw ELoaderError("Error opening serial port, port already open.");
    } catch (const platform::EBadId &) {
        FailRun(LOADER_RESULT_NO_PORT);
        throw ELoaderError("Port does not exist!");
    } catch (const platform::EInOutError &) {
        FailRun(LOADER_RESULT_BAD_BAUD);
        throw ELoaderError("Invalid Baud Rate.  Ensure your hardware supports requested baud rate.");
    } catch (const platform::EOpenFailed &e) {
        // Its text names the device and why it did not open (or how to get access).
        FailRun(LOADER_RESULT_EXCEPTION);
        throw ELoaderError(e.what());
    } catch (const std::exception &e) {
        // Clean up like any other failure, so the port closes and a waiting caller is released.
        FailRun(LOADER_RESULT_EXCEPTION);
        LogMessage(std::string("Exception logged: ") + e.what() + "  Proceeding...");
    } catch (...) {
        FailRun(LOADER_RESULT_EXCEPTION);
        LogMessage("Exception logged.  Proceeding...");
    }
}

void TLoaderInterface::Step()
{
    if (aborted && LoaderStage != LOADER_IDLE)
        LoaderStage = CLEAN_UP;

    switch (LoaderStage) {
    case LOADER_STAGE_0: {
        const std::uint8_t r = pclMyStage0->Run();
        pclMyTimer->start();
        if (r == STAGE_DONE) {
            LoaderStage = LOADER_FIRST_STAGE;
        } else if (r == STAGE_FAILED) {
            LoaderResult = LOADER_RESULT_STAGE_FAILED;
            LoaderStage = CLEAN_UP;
            LinkSignal = 1;
        }
        break;
    }
    case LOADER_FIRST_STAGE: {
        const std::uint8_t r = pclMyFirstStage->Run();
        pclMyTimer->start();
        if (r == STAGE_DONE) {
            pclMySecondStage->WaitSecondStageStart(pclMyFirstStage->GetSecondStageStartupSupport());
            LoaderStage = LOADER_SECOND_STAGE;
            // A second-stage loader may sign on in the same breath as the last acknowledgement.
            const std::vector<std::uint8_t> early = pclMyFirstStage->TakeBytesAfterStage();
            if (!early.empty())
                pclMySecondStage->Receive(early.data(), static_cast<int>(early.size()));
        } else if (r == STAGE_FAILED) {
            LoaderResult = LOADER_RESULT_STAGE_FAILED;
            LoaderStage = CLEAN_UP;
            LinkSignal = 1;
        }
        break;
    }
    case LOADER_SECOND_STAGE: {
        std::uint8_t r;
        do {
            r = pclMySecondStage->Run();
            pclMyTimer->start();
        } while (r == STAGE_AGAIN);
        if (r == STAGE_DONE) {
            LogDebug("STAGE_DONE ... preparing to clean up engine");
            LoaderResult = LOADER_RESULT_SUCCESS;
            LoaderStage = CLEAN_UP;
        } else if (r == STAGE_FAILED) {
            LoaderStage = CLEAN_UP;
            LoaderResult = LOADER_RESULT_STAGE_FAILED;
            NotifyComplete(LOADER_RESULT_STAGE_FAILED);
        } else if (r == STAGE_CONTINUE) {
            LinkSignal = 1;
        }
        break;
    }
    case CLEAN_UP:
        CleanUp();
        break;
    default:
        break;
    }
}

void TLoaderInterface::CleanUp()
{
    LogDebug("CLEAN_UP ... cleaning up engine");
    pclMyTimer->stop();
    pclMySecondStage->FreeHWCapabilities();
    pclMySecondStage->CloseFile();
    platform::Sleep(1000);
    if (Logging)
        pclMyComPort->SetLogging(platform::TraceLogState::Append);
    pclMyComPort->Close();
    LogDebug("COM Port Closed");
    if (!aborted)
        LoaderStage = LOADER_IDLE;
    NotifyComplete(LoaderResult);
    // Whoever waits for the link must be released after every clean-up, callback or not.
    LinkSignal = 1;
}

void TLoaderInterface::ComPortTriggerAvail(ComPort &CP, std::uint16_t Count)
{
    if (&CP == pclMyPowerComPort.get()) {
        // The power port carries no data; bytes on it would only be offered again and again.
        CP.FlushInBuffer();
        return;
    }
    std::uint8_t buffer[512];
    int read = 0;
    while (read < Count && read < static_cast<int>(sizeof buffer) && pclMyComPort->CharReady())
        buffer[read++] = static_cast<std::uint8_t>(pclMyComPort->GetChar());
    if (read == 0)
        return;
    switch (LoaderStage) {
    case LOADER_STAGE_0: pclMyStage0->Receive(buffer, read); break;
    case LOADER_FIRST_STAGE: pclMyFirstStage->Receive(buffer, read); break;
    default: pclMySecondStage->Receive(buffer, read); break;
    }
}

void TLoaderInterface::StepSoon()
{
    if (stepQueued)
        return;
    stepQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            stepQueued = false;
            // The tick the running second stage would get anyway, only sooner.
            if (LoaderStage == LOADER_SECOND_STAGE && pclMyTimer->isActive())
                RunTimer();
        },
        Qt::QueuedConnection);
}

void TLoaderInterface::Shutdown()
{
    LoaderStage = CLEAN_UP;
    pclMySecondStage->SetEngineState(SS_STATE_SHUTDOWN);
}

int TLoaderInterface::GetLoaderState() const { return pclMySecondStage->GetEngineState(); }

bool TLoaderInterface::IsSearchingForCard() const {
    return (LoaderStage == LOADER_STAGE_0 || LoaderStage == LOADER_FIRST_STAGE) &&
           !pclMyStage0->IsCardAccepted() && !pclMyFirstStage->IsCardAccepted();
}

// ---- Configuration ---------------------------------------------------------------------------

void TLoaderInterface::MaintainComms(int port, int baud, int connect)
{
    comPort = port;
    baudRate = baud;
    connectRate = connect;
}

bool TLoaderInterface::SetDebug(int level)
{
    debugLevel = level;
    const std::string platform = GetCardPlatform();
    if (platform == "VOKTLRM" || platform == "VOKTLRX") {
        LogMessage("Debug Messages are NOT SUPPORTED on VOKTLRM");
        return true;
    }
    return pclMySecondStage->SetDebug() != 0;
}

const char *TLoaderInterface::GetVersion() const { return "1.0.1.212 Sep 16 2015 11:20:30"; }

// ---- Reporting -------------------------------------------------------------------------------

void TLoaderInterface::LogMessage(const char *text)
{
    if (onMessage)
        onMessage(text ? text : "");
}

void TLoaderInterface::LogFileWriteFailed(const QString &file) {
    if (logWriteFailureSaid)
        return;
    logWriteFailureSaid = true;
    LogMessage("Unable to write log file " + QFile::encodeName(file).toStdString() +
               " - the traffic it should hold is lost");
}

void TLoaderInterface::LogDebug(const char *text)
{
    if (GetDebug() == 255)
        LogMessage(text);
}

void TLoaderInterface::NotifyStart()
{
    if (onStart)
        onStart();
}

void TLoaderInterface::NotifyComplete(int value)
{
    if (onComplete)
        onComplete(value);
}

void TLoaderInterface::NotifyAbortRequest(int code)
{
    if (onAbortRequest)
        onAbortRequest(code);
}

std::string TLoaderInterface::GetStageLogDirectory() const {
    const std::string program = std::filesystem::path(exePath).parent_path().string();
    const std::string directory = program.empty() || program.back() == '/' ? program : program + '/';
    if (::access(program.empty() ? "." : program.c_str(), W_OK) == 0)
        return directory;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data))
        return directory;
    return QFile::encodeName(data).toStdString() + '/';
}

void TLoaderInterface::SetProgressRange(int n)
{
    // A range of 0 (a file under one block) would draw a busy bar that never ends.
    progressRange = std::max(n, 1);
    if (onProgressRange)
        onProgressRange(progressRange);
}

void TLoaderInterface::SetProgress(int p)
{
    if (onProgress)
        onProgress(p);
}

// ---- Ports -----------------------------------------------------------------------------------

void TLoaderInterface::SetPowerComPort(int n) { pclMyPowerComPort->SetComNumber(n); }

int TLoaderInterface::SetPower(int on)
{
    if (pclMyPowerComPort->GetComNumber() == 0)
        return 0;
    // The card's power follows the power port's modem lines: open is on, closed is off.
    if (!on) {
        pclMyPowerComPort->Close();
        return 1;
    }
    // A power port that will not open must not break out of the link wait with the run still going.
    try {
        pclMyPowerComPort->Open();
        return 1;
    } catch (const platform::EAlreadyOpen &e) {
        PowerPortFailed(e.what(), LOADER_RESULT_PORT_OPEN);
    } catch (const platform::EBadId &e) {
        PowerPortFailed(e.what(), LOADER_RESULT_NO_PORT);
    } catch (const platform::EComPortError &e) {
        PowerPortFailed(e.what(), LOADER_RESULT_EXCEPTION);
    }
    return 0;
}

void TLoaderInterface::PowerPortFailed(const char *why, std::int8_t result)
{
    LogMessage(ssengine::Format("Cannot switch the power on: power port COM%d - %s",
                                pclMyPowerComPort->GetComNumber(), why));
    // A card without power will not answer: the run ends now, with the port's failure.
    if (LoaderStage == LOADER_STAGE_0 || LoaderStage == LOADER_FIRST_STAGE ||
        LoaderStage == LOADER_SECOND_STAGE)
        FailRun(result);
}

int TLoaderInterface::WaitForUSBPort(int seconds)
{
    if (!IsUSBDevice())
        return 0;
    platform::Sleep(500);
    LogMessage("Waiting for USB port to return");
    const double start = platform::Now();
    bool found = false;
    while (!found && !aborted && platform::Now() - start <= seconds) {
        found = IsCOMPortPresent(pclMyComPort->GetComNumber());
        platform::Sleep(100);
        platform::ProcessMessages();
    }
    LogMessage(found ? "Proceeeding..." : "Unable to recover port...");
    return found ? 1 : 0;
}

bool TLoaderInterface::IsCOMPortPresent(int n) const { return platform::ComPortExists(n); }

bool TLoaderInterface::IsUSBDevice() const { return pclMyFirstStage->IsUSBDevice(); }

const char *TLoaderInterface::GetFirstStageVersion() const { return pclMyFirstStage->GetFirstStageVersion().c_str(); }

const char *TLoaderInterface::GetCardCOMDevice() const { return pclMyFirstStage->GetCardCOMDevice().c_str(); }

const char *TLoaderInterface::GetCardPlatform() const { return pclMyFirstStage->GetCardPlatform().c_str(); }

void TLoaderInterface::CloseButtonClick()
{
    if (LoaderStage == LOADER_IDLE || platform::AskYesNo(QStringLiteral("Abort and Quit?"), QStringLiteral("Brevanto")))
        close();
}
