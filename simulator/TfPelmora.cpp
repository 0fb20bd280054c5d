#include "TfPelmora.h"

#include "AcquireSequence.h"
#include "DeviceIdRequest.h"
#include "IniSettings.h"
#include "MessageLog.h"
#include "SentenceParser.h"
#include "SerialPort.h"
#include "TfCogDisplay.h"
#include "TfDefineButton.h"
#include "TfGpsSimulator.h"
#include "TfGraphicDisplay.h"
#include "TfPositionDeviation.h"
#include "TfSendFilePopUp.h"
#include "TfShowMessageMonColors.h"
#include "TfSkyView.h"
#include "TfSvStatus.h"
#include "TickTimer.h"

#include "Dialogs.h"
#include "ScreenPlacement.h"
#include "VersionInfo.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr const char *kSectionConfiguration = "Configuration";
constexpr const char *kSectionDropDown = "MessageDropDownLines";
constexpr const char *kSectionUserButtons = "UserButtons";
constexpr int kScriptLinesPerButton = 100;

QFrame *MakePanel(QWidget *parent, const char *name, QRect rect) {
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setGeometry(rect);
    return panel;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, QRect rect) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setFocusPolicy(Qt::NoFocus); // the keyboard belongs to the emulated panel
    return button;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, QRect rect) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    return label;
}

// The folder the program was started from, by a name that reaches it: its whole name when that
// reads back as the same bytes, else "." (a name that is not UTF-8, or a folder removed since),
// which reaches it as long as the program runs, since nothing here changes the current folder.
// Never "/" or any other folder in its place.
QString StartFolder() {
    const std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
    if (current) {
        const QByteArray bytes(current.get());
        const QString name = QFile::decodeName(bytes);
        if (QFile::encodeName(name) == bytes)
            return name;
    }
    return QStringLiteral(".");
}

QAction *MakeItem(QMenu *menu, const char *name, const QString &caption, bool checkable = true) {
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    action->setCheckable(checkable);
    return action;
}

} // namespace

TfPelmora::TfPelmora(QWidget *parent) : QMainWindow(parent) {
    // 1. The form, with the Rx/Tx indicator hidden and the file names and sample cleared.
    BuildForm();
    CreateMonitorParts();
    CreateLogParts();
    CreateAcquireParts();
    ShowRxTx(false, false, false);
    graphSample = GraphSample{};

    // 2. Settings and files live in the directory the program was started from, however long.
    startDirectory = StartFolder();

    // 3. The designed layout, so the terminal layout can be left again.
    for (QWidget *w : std::initializer_list<QWidget *>{
             pButtonPanel, pMessageMonitorPanel, pAuxPanel, bComOpenClose, bLogMessages, bCancelButtonScript,
             iRxTxFrame, iTxArrow, iRxArrow, lLogMessagesStatus, lScriptDelayReport, pbScriptDelayReport,
             lScriptLineReport, lScriptMessageReport, pFileSendPanel, lSendFilePB, lSendFileInfoPB, pbSendFile,
             bCancelFile})
        designedLayout.push_back({w, w->geometry()});
    for (int i = 0; i < 8; ++i) {
        designedLayout.push_back({bButton[i], bButton[i]->geometry()});
        designedLayout.push_back({lButtonTag[i], lButtonTag[i]->geometry()});
    }
    ClearMonitor(); // the monitor starts unpaused
    pFileSendPanel->hide();
    fileSend = FileSendState{};
    for (QLabel *label : {lLogMessagesStatus, lAcquireBriskenStatus, lBriskenConnectionReport,
                          lScriptDelayReport, lScriptLineReport, lScriptMessageReport})
        label->clear();
    pbScriptDelayReport->hide();

    // 4 and 5.
    ReadFileVersion();
    CreateIniSettings();
    serialPort = std::make_unique<SerialPort>();
    sentenceParser = std::make_unique<SentenceParser>();
    tickTimer = std::make_unique<TickTimer>();
    // The pump and the interpreter see the window only through their own small interfaces.
    fileSender = std::make_unique<FileSender>(fileSend, static_cast<FileSender::Host &>(*this), *tickTimer);
    buttonScript = std::make_unique<ButtonScriptInterpreter>(
        scriptState, *fileSender, static_cast<ButtonScriptInterpreter::Host &>(*this), *tickTimer);

    // 7.
    const std::uint32_t now = tickTimer->Now();
    rxStamp = txStamp = lastPollTime = queryStamp = lineTick = now;
    SetAcquireState(0);
    receiveLength = 0;

    // 8 to 12.
    ReadSettings();
    CopyMonitorOptions();
    CopyLogOptions();

    // 13.
    scriptState = ScriptRunState{};
    CreateLcdCells();

    if (!iniSettings->IsReadable())
        // Said once the window is up; the file is left as it is for the user to mend.
        QTimer::singleShot(0, this, [this] {
            platform::ShowMessageBox({"Unable to read the settings in " + GetIniFileName() +
                                          " - Pelmora runs on its defaults and leaves the file as it is",
                                      "Settings Error", platform::MessageButtons::Ok,
                                      platform::MessageIcon::Warning});
        });

    Timer20ms->start();
}

TfPelmora::~TfPelmora() {
    Timer20ms->stop();
    if (keyHookInstalled)
        qApp->removeEventFilter(this);
    FreeLcdCells();
    if (serialPort->IsOpen()) {
        tickTimer->Delay(100); // let the last sentence leave the driver
        serialPort->ClosePort();
    }
    WriteSettings();
}

void TfPelmora::AttachWindows(const PelmoraWindows &attached) {
    windows = attached;
    if (windows.graphicDisplay)
        windows.graphicDisplay->SetPortOpenQuery([this] { return IsPortOpen(); });
    // The small windows start where they were left: closing takes their places from the windows,
    // and one that was never opened in this run must not hand back a place it never had.
    auto place = [](QWidget *window, QPoint pos) {
        if (window)
            platform::PlaceWindow(*window, pos);
    };
    place(windows.positionDeviation, positionDeviationPos);
    place(windows.svStatus, svStatusPos);
    place(windows.skyView, skyViewPos);
    place(windows.gpsSimulator, gpsSimulatorPos);
}

void TfPelmora::BuildForm() {
    setObjectName("fPelmora");
    auto *central = new QWidget(this);
    central->setObjectName("pMain");
    central->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(central);
    setFixedSize(780, 560);

    Timer20ms = new QTimer(this);
    Timer20ms->setObjectName("Timer20ms");
    Timer20ms->setInterval(10);
    connect(Timer20ms, &QTimer::timeout, this, &TfPelmora::T10msTick);

    BuildDisplayPanel();
    BuildButtonPanel();
    BuildMonitorPanel();
    BuildAuxPanel();
    BuildMenus();
    BuildFileSendPanel();
    ConnectScriptControls();
}

void TfPelmora::BuildButtonPanel() {
    pButtonPanel = MakePanel(centralWidget(), "pButtonPanel", {440, 0, 330, 130});
    for (int i = 0; i < 8; ++i) {
        const int column = i % 2;
        const int row = i / 2;
        const QByteArray tagName = "lButton" + QByteArray::number(i + 1) + "Tag";
        lButtonTag[i] = MakeLabel(pButtonPanel, tagName.constData(), QString("F%1").arg(i + 1),
                                  {column * 160, 5 + row * 30, 16, 20});
        const QByteArray buttonName = "bButton" + QByteArray::number(i + 1);
        bButton[i] = MakeButton(pButtonPanel, buttonName.constData(), QString(),
                                {column * 160 + 18, row * 30, 130, 26});
    }
}

void TfPelmora::BuildMonitorPanel() {
    pMessageMonitorPanel = MakePanel(centralWidget(), "pMessageMonitorPanel", {0, 240, 780, 250});
    lbMessageMonitor = new QListView(pMessageMonitorPanel);
    lbMessageMonitor->setObjectName("lbMessageMonitor");
    lbMessageMonitor->setGeometry(0, 0, 780, 190);
    lbMessageMonitor->setFocusPolicy(Qt::NoFocus);

    cbSendData = new QComboBox(pMessageMonitorPanel);
    cbSendData->setObjectName("cbSendData");
    cbSendData->setEditable(true);
    cbSendData->setInsertPolicy(QComboBox::NoInsert);
    cbSendData->setGeometry(0, 196, 375, 26);
    cbSendData->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(cbSendData, &QComboBox::customContextMenuRequested, this, &TfPelmora::cbContextPopUp);
    cbSendData->installEventFilter(this);
    cbSendData->lineEdit()->installEventFilter(this);
    cbSendData->lineEdit()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(cbSendData->lineEdit(), &QWidget::customContextMenuRequested, this, &TfPelmora::cbContextPopUp);

    bSendData = MakeButton(pMessageMonitorPanel, "bSendData", "Send", {470, 196, 70, 26});
    bPause = MakeButton(pMessageMonitorPanel, "bPause", "Pause", {545, 196, 70, 26});
    bClear = MakeButton(pMessageMonitorPanel, "bClear", "Clear", {620, 196, 70, 26});
    bAddCkSum = MakeButton(pMessageMonitorPanel, "bAddCkSum", "Add CkSum", {695, 196, 80, 26});
    bSendFile = MakeButton(pMessageMonitorPanel, "bSendFile", "Send File", {380, 196, 85, 26});
    connect(bSendData, &QPushButton::clicked, this, &TfPelmora::bClickSendData);
    connect(bPause, &QPushButton::clicked, this, &TfPelmora::bClickPause);
    connect(bClear, &QPushButton::clicked, this, &TfPelmora::bClickClear);
    connect(bAddCkSum, &QPushButton::clicked, this, &TfPelmora::bClickAddCkSum);

    pFileSendPanel = MakePanel(centralWidget(), "pFileSendPanel", {0, 496, 780, 40});
}

void TfPelmora::BuildAuxPanel() {
    pAuxPanel = MakePanel(centralWidget(), "pAuxPanel", {440, 135, 340, 100});
    bComOpenClose = MakeButton(pAuxPanel, "bComOpenClose", "Connect", {0, 0, 95, 26});
    bLogMessages = MakeButton(pAuxPanel, "bLogMessages", "Log Messages", {100, 0, 95, 26});
    bCancelButtonScript = MakeButton(pAuxPanel, "bCancelButtonScript", "Cancel Button", {200, 0, 95, 26});
    bCancelButtonScript->hide();
    connect(bComOpenClose, &QPushButton::clicked, this, &TfPelmora::bClickComOpenClose);

    // The three images lie on top of one another: the frame, and each arrow in its own half.
    iRxTxFrame = MakeLabel(pAuxPanel, "iRxTxFrame", QString(), {2, 30, 30, 16});
    iRxTxFrame->setFrameShape(QFrame::Box);
    iRxArrow = MakeLabel(pAuxPanel, "iRxArrow", QString::fromUtf8("\u2190"), {2, 30, 30, 16});
    iRxArrow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    iRxArrow->setIndent(3);
    iTxArrow = MakeLabel(pAuxPanel, "iTxArrow", QString::fromUtf8("\u2192"), {2, 30, 30, 16});
    iTxArrow->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    iTxArrow->setIndent(3);
    lLogMessagesStatus = MakeLabel(pAuxPanel, "lLogMessagesStatus", QString(), {36, 30, 120, 16});
    lScriptDelayReport = MakeLabel(pAuxPanel, "lScriptDelayReport", QString(), {160, 30, 85, 16});
    pbScriptDelayReport = new QProgressBar(pAuxPanel);
    pbScriptDelayReport->setObjectName("pbScriptDelayReport");
    pbScriptDelayReport->setGeometry(160, 48, 85, 8);
    pbScriptDelayReport->setTextVisible(false);
    bAcquireBrisken = MakeButton(pAuxPanel, "bAcquireBrisken", "Acquire Brisken", {0, 50, 110, 26});
    lAcquireBriskenStatus = MakeLabel(pAuxPanel, "lAcquireBriskenStatus", QString(), {115, 56, 130, 16});
    bGraphicDisplay = MakeButton(pAuxPanel, "bGraphicDisplay", "&ShowGraph", {250, 50, 85, 26});
    connect(bGraphicDisplay, &QPushButton::clicked, this, &TfPelmora::bClickGraphicDisplay);
    lScriptLineReport = MakeLabel(pAuxPanel, "lScriptLineReport", QString(), {8, 80, 150, 16});
    lScriptMessageReport = MakeLabel(pAuxPanel, "lScriptMessageReport", QString(), {160, 80, 175, 16});
    lBriskenConnectionReport =
        MakeLabel(centralWidget(), "lBriskenConnectionReport", QString(), {0, 222, 430, 16});
}

void TfPelmora::BuildMenus() {
    QMenuBar *bar = menuBar();
    bar->setObjectName("MainMenu");

    mComPort = bar->addMenu("Serial Port");
    mComPort->setObjectName("mComPort");
    auto *comGroup = new QActionGroup(this);
    for (int i = 0; i < 18; ++i) {
        // The form names the items COM1..COM8 mCom%dSelect and COM9..COM18 COM%d1.
        const QByteArray name =
            i < 8 ? "mCom" + QByteArray::number(i + 1) + "Select" : "COM" + QByteArray::number(i + 1) + "1";
        comItems[i] = MakeItem(mComPort, name.constData(), QString("COM%1").arg(i + 1));
        comGroup->addAction(comItems[i]);
        connect(comItems[i], &QAction::triggered, this, &TfPelmora::mComNSelectClick);
    }
    comItems[0]->setChecked(true);

    mBaudRate1 = bar->addMenu("Baud Rate");
    mBaudRate1->setObjectName("mBaudRate1");
    auto *baudGroup = new QActionGroup(this);
    for (std::uint8_t i = 0; i < SerialPort::kBaudCount; ++i) {
        const std::int32_t baud = SerialPort::BaudAt(i);
        const QByteArray name = "mBaud" + QByteArray::number(baud) + "Select";
        baudItems[i] = MakeItem(mBaudRate1, name.constData(), QString::number(baud));
        baudGroup->addAction(baudItems[i]);
        connect(baudItems[i], &QAction::triggered, this, [this, baud] {
            if (serialPort->IsOpen())
                serialPort->SetBaudRate(baud);
            UpdateCaption();
        });
    }
    baudItems[7]->setChecked(true);
    mBaudRate1->addSeparator();
    mTwoStopBits = MakeItem(mBaudRate1, "mTwoStopBits", "Two Stop Bits");
    connect(mTwoStopBits, &QAction::triggered, this,
            [this](bool checked) { serialPort->SetStopBits(checked ? 2 : 0); });

    QMenu *monitorMenu = bar->addMenu("Message Monitor Options");
    monitorMenu->setObjectName("mMessageMonitorOptions");
    monitorOptions = {
        {"HideMessageMonitor", MakeItem(monitorMenu, "mMsgMonHide", "Hide Message Monitor"), false},
        {"MessageMonitorBig", MakeItem(monitorMenu, "mMsgMonBig", "Big Message Monitor"), false},
        {"MessageMonitorUpperCase", MakeItem(monitorMenu, "mMsgMonUpperCase", "Convert Keys to Upper Case"),
         true},
        {"MsgMonTime", MakeItem(monitorMenu, "mMsgMonTime", "Time"), true},
        {"MsgMonTickCount", MakeItem(monitorMenu, "mMsgMonTickCount", "Tick Count"), true},
        {"MsgMonRfpMessages", MakeItem(monitorMenu, "mMsgMonRfpMessages", "RFP Messages"), true},
        {"MsgMonDgpsMessages", MakeItem(monitorMenu, "mMsgMonDgpsMessages", "DGPS Messages"), true},
        {"MsgMonLbMessages", MakeItem(monitorMenu, "mMsgMonLbMessages", "Light Bar Messages"), true},
        {"MsgMonHolvanekMessages", MakeItem(monitorMenu, "mMsgMonHolvanekMessages", "Holvanek Messages"),
         true},
        {"MsgMonNonNmeaMessages", MakeItem(monitorMenu, "mMsgMonNonNmeaMessages", "Non-NMEA Messages"), true},
        {"MsgMonOtherMessages", MakeItem(monitorMenu, "mMsgMonOtherMessages", "Other Messages"), true},
        {"MsgMonOutGoingMessages", MakeItem(monitorMenu, "mMsgMonOutGoingMessages", "Out-Going Messages"),
         true},
    };
    mMsgMonUpperCase = monitorOptions[2].action;
    monitorMenu->addSeparator();
    mnuMsgFlushSerial = MakeItem(monitorMenu, "mnuMsgFlushSerial", "Flush Serial Port", false);
    connect(mnuMsgFlushSerial, &QAction::triggered, this, [this] {
        if (serialPort->IsOpen()) {
            serialPort->ClearPortErrors();
            serialPort->PurgePort();
        }
    });

    QMenu *logMenu = bar->addMenu("Logging Options");
    logMenu->setObjectName("mLoggingOptions");
    logOptions = {
        {"LogDate", MakeItem(logMenu, "mLogDate", "Date"), true},
        {"LogTime", MakeItem(logMenu, "mLogTime", "Time"), true},
        {"LogMsTickCount", MakeItem(logMenu, "mLogMsTickCount", "ms Tick Count"), true},
        {"LogNmeaChecksum", MakeItem(logMenu, "mLogNmeaChecksum", "NMEA Checksum"), false},
        {"LogRfpMessages", MakeItem(logMenu, "mLogRfpMessages", "RFP Messages"), false},
        {"LogDgpsMessages", MakeItem(logMenu, "mLogDgpsMessages", "DGPS Messages"), true},
        {"LogLightBarMessages", MakeItem(logMenu, "mLogLightBarMessages", "Light Bar Messages"), true},
        {"LogHolvanekMessages", MakeItem(logMenu, "mLogHolvanekMessages", "HolvanekMessages"), true},
        {"LogNonNmeaMessages", MakeItem(logMenu, "mLogNonNmeaMessages", "Non-NMEA Messages"), true},
        {"LogOtherMessages", MakeItem(logMenu, "mLogOtherMessages", "Other Messages"), true},
        {"LogPromptForFilename", MakeItem(logMenu, "mLogPromptForFilename", "Prompt for Filename"), false},
    };
    logMenu->addSeparator();
    auto *fileGroup = new QActionGroup(this);
    mLogAppendToFile = MakeItem(logMenu, "mLogAppendToFile", "Append to Existing File");
    mLogOverWriteFile = MakeItem(logMenu, "mLogOverWriteFile", "Overwrite Existing File");
    fileGroup->addAction(mLogAppendToFile);
    fileGroup->addAction(mLogOverWriteFile);
    mLogAppendToFile->setChecked(true);

    QMenu *rfpMenu = bar->addMenu("RFP Options");
    rfpMenu->setObjectName("mRfpOptions");
    auto *rfpGroup = new QActionGroup(this);
    mRfpOptOff = MakeItem(rfpMenu, "mRfpOptOff", "Off");
    mRfpOptHolvanek = MakeItem(rfpMenu, "mRfpOptHolvanek", "Holvanek");
    mRfpOptBrisken = MakeItem(rfpMenu, "mRfpOptBrisken", "Brisken");
    for (QAction *item : {mRfpOptOff, mRfpOptHolvanek, mRfpOptBrisken}) {
        rfpGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this] { UpdateCaption(); });
    }
    mRfpOptBrisken->setChecked(true);

    QMenu *buttonMenu = bar->addMenu("Button Options");
    buttonMenu->setObjectName("mButtonOptions");
    auto *buttonGroupItems = new QActionGroup(this);
    mHideButtons = MakeItem(buttonMenu, "mHideButtons", "Hide Buttons");
    buttonGroupItems->addAction(mHideButtons);
    connect(mHideButtons, &QAction::triggered, this, [this] { SetButtonGroup(0); });
    for (int g = 0; g < 4; ++g) {
        const QByteArray name = "mButtonGroup" + QByteArray::number(g + 1);
        mButtonGroup[g] = MakeItem(buttonMenu, name.constData(), QString("Button Group %1").arg(g + 1));
        buttonGroupItems->addAction(mButtonGroup[g]);
        connect(mButtonGroup[g], &QAction::triggered, this, [this, g] { SetButtonGroup(g + 1); });
    }
    mHideButtons->setChecked(true);
    buttonMenu->addSeparator();
    mShowScriptDetails = MakeItem(buttonMenu, "mShowScriptDetails", "Show Script Details");

    QMenu *more = bar->addMenu("more");
    more->setObjectName("mMore");
    more->menuAction()->setVisible(true);
    mSvStatus = MakeItem(more, "mSvStatus", "Satellite Vehicle Status");
    mPositionDeviation = MakeItem(more, "mPositionDeviation", "Position Deviation");
    mSkyView = MakeItem(more, "mSkyView", "Sky View");
    mGpsSim = MakeItem(more, "mGpsSim", "GPS Simulator");
    connect(mSvStatus, &QAction::triggered, this, [this] {
        TfSvStatus *window = windows.svStatus;
        if (!window)
            return;
        if (window->IsShown()) {
            window->hide();
            mSvStatus->setChecked(false);
        } else {
            platform::PlaceWindow(*window, svStatusPos);
            window->show();
            mSvStatus->setChecked(true);
        }
    });
    connect(mPositionDeviation, &QAction::triggered, this, [this] {
        // The check follows the window first, then toggles.
        TfPositionDeviation *window = windows.positionDeviation;
        mPositionDeviation->setChecked(!(window && window->IsShown()));
        if (window && mPositionDeviation->isChecked()) {
            platform::PlaceWindow(*window, positionDeviationPos);
            window->show();
        }
    });
    connect(mSkyView, &QAction::triggered, this, [this](bool checked) {
        if (checked && windows.skyView) {
            platform::PlaceWindow(*windows.skyView, skyViewPos);
            windows.skyView->show();
            windows.skyView->DrawRings();
        }
    });
    connect(mGpsSim, &QAction::triggered, this, [this](bool checked) {
        if (checked && windows.gpsSimulator) {
            platform::PlaceWindow(*windows.gpsSimulator, gpsSimulatorPos);
            windows.gpsSimulator->show();
        }
    });
}

void TfPelmora::mComNSelectClick() {
    // The open port is not reopened; the new one applies at the next Connect.
    UpdateCaption();
}

void TfPelmora::bClickGraphicDisplay() {
    if (!windows.graphicDisplay)
        return;
    bGraphicDisplay->setEnabled(false);
    TfGraphicDisplay *graph = windows.graphicDisplay;
    graph->SetLinearGrid(linearGrid);
    graph->SetLogGrid(logGrid);
    graph->SetBmpSaveFileIndex(bmpSaveFileIndex);
    graph->SetDataSaveFileIndex(dataSaveFileIndex);
    graph->SetStartDirectory(startDirectory);
    platform::PlaceWindow(*graph, graphicFormPos);
    if (windows.cogDisplay)
        platform::PlaceWindow(*windows.cogDisplay, cogDisplayPos, QSize(cogDisplayWidth, cogDisplayHeight));
    graph->show();
}

void TfPelmora::SetButtonGroup(int group) {
    buttonGroup = group;
    if (group == 0)
        HideButtonPanel();
    else
        ShowButtonPanel();
}

void TfPelmora::ReadFileVersion() {
    // The build writes the program's file version; there is no resource to fail on.
    versionText = platform::ProgramVersion().fileVersion;
}

void TfPelmora::CreateIniSettings() {
    iniSettings = std::make_unique<IniSettings>(GetIniFileName());
}

QString TfPelmora::GetIniFileName() const {
    // Named after the program, as its log and data files are, whatever the executable is called,
    // so a file brought from another machine is found.
    return startDirectory + "/Pelmora.ini";
}

QString TfPelmora::GetLogFileNameNoPrompt() const {
    // Names in the file are written with "\" as the separator; here it is "/".
    QString name = logFileNameNoPrompt;
    name.replace('\\', '/');
    return name;
}

void TfPelmora::ReadSettings() {
    IniSettings &ini = *iniSettings;
    ini.SetSection(kSectionConfiguration);
    SetComMenuPort(ini.ReadInteger("ComPort", GetComMenuIndex() + 1));
    SetBaudMenu(ini.ReadInteger("BaudRate", GetMenuBaudRate()));
    // Every stored place is kept on the screens: the file may be typed by hand or come from a
    // machine with other screens.
    auto readPos = [&](const char *left, const char *top) {
        const int x = ini.ReadInteger(left, 0);
        return platform::StoredPosition(x, ini.ReadInteger(top, 0));
    };
    platform::PlaceWindow(*this, readPos("PelmoraWindowLeft", "PelmoraWindowTop"));
    defineButtonPos = readPos("DefineButtonWindowLeft", "DefineButtonWindowTop");
    msgMonColorsPos = readPos("MsgMonColorsWindowLeft", "MsgMonColorsWindowTop");
    sendFilePopupPos = readPos("SendFilePopupLeft", "SendFilePopupTop");
    sendFileLineDelayMs = ini.ReadInteger("SendFileLineDelayMs", 0, 0, INT_MAX);
    ini.ReadBool("SendFileLineRepsonseSemaphore", false);
    sendFileLineResponse = true; // the response window is always used, whatever the file says
    auto readRect = [&](const char *left, const char *top, const char *width, const char *height) {
        const int x = ini.ReadInteger(left, 50);
        const int y = ini.ReadInteger(top, 50);
        const int w = ini.ReadInteger(width, 200);
        return platform::StoredRect(x, y, w, ini.ReadInteger(height, 200));
    };
    fileDialogRect = readRect("FileDialogWindowLeft", "FileDialogWindowTop", "FileDialogWindowWidth",
                              "FileDialogWindowHeight");
    logDialogRect = readRect("LogDialogWindowLeft", "LogDialogWindowTop", "LogDialogWindowWidth",
                             "LogDialogWindowHeight");
    graphicFormPos = readPos("GraphicFormLeft", "GraphicFormTop");
    positionDeviationPos = readPos("PositionDeviationLeft", "PositionDeviationTop");
    svStatusPos = readPos("SvStatusLeft", "SvStatusTop");
    cogDisplayPos = readPos("CogDisplayLeft", "CogDisplayTop");
    cogDisplayHeight = ini.ReadInteger("CogDisplayHeight", 200);
    cogDisplayWidth = ini.ReadInteger("CogDisplayWidth", 200);
    skyViewPos = readPos("SkyViewLeft", "SkyViewTop");
    gpsSimulatorPos = readPos("GpsSimulatorLeft", "GpsSimulatorTop");
    linearGrid = ini.ReadBool("LinearGrid", true);
    logGrid = ini.ReadBool("LogGrid", true);
    // Files are numbered from 1.
    bmpSaveFileIndex = ini.ReadInteger("BmpSaveFileIndex", 1, 1, INT_MAX);
    dataSaveFileIndex = ini.ReadInteger("DataSaveFileIndex", 1, 1, INT_MAX);
    logSequenceFileIndex = ini.ReadInteger("LogSequenceFileIndex", 1, 1, INT_MAX);
    logFileNameNoPrompt = ini.ReadString("LogFileNameNoPrompt", ".\\Pelmora.log");
    for (const OptionItem &item : logOptions)
        item.action->setChecked(ini.ReadBool(item.key, item.defaultValue));
    const bool overwrite = ini.ReadBool("LogOverWriteFile", false);
    mLogOverWriteFile->setChecked(overwrite);
    mLogAppendToFile->setChecked(!overwrite);

    // 9. RFP type; an unknown value leaves the designed choice.
    const QString rfp = ini.ReadString("RfpType", "Brisken");
    if (rfp == "Holvanek") {
        mRfpOptHolvanek->setChecked(true);
        bAcquireBrisken->hide();
        lAcquireBriskenStatus->hide();
    } else if (rfp == "Off") {
        mRfpOptOff->setChecked(true);
        bAcquireBrisken->hide();
        lAcquireBriskenStatus->hide();
    } else if (rfp == "Brisken") {
        mRfpOptBrisken->setChecked(true);
        if (serialPort->GetBaudRate() == 38400) {
            bAcquireBrisken->setText("Acquire Brisken");
            lAcquireBriskenStatus->clear();
            bAcquireBrisken->show();
            lAcquireBriskenStatus->show();
        }
    }
    // 10. Monitor options.
    for (const OptionItem &item : monitorOptions)
        item.action->setChecked(ini.ReadBool(item.key, item.defaultValue));
    ArrangeMonitor();

    // 11. Send-line history.
    ini.SetSection(kSectionDropDown);
    for (int i = 1; i <= kHistoryLines; ++i) {
        const QString line = FirstLine(ini.ReadString(QString::asprintf("Line%02d", i), QString()));
        if (!line.isEmpty() && cbSendData->findText(line, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            cbSendData->addItem(line);
    }
    cbSendData->setEditText(QString());

    // 12. User buttons.
    ini.SetSection(kSectionUserButtons);
    mShowScriptDetails->setChecked(ini.ReadBool("ShowScriptDetails", false));
    buttonGroup = ini.ReadInteger("ButtonGroup", 0);
    if (buttonGroup < 1 || buttonGroup > 4)
        buttonGroup = 0; // anything else hides the buttons, and is stored back as hidden
    mHideButtons->setChecked(buttonGroup == 0);
    for (int g = 0; g < 4; ++g)
        mButtonGroup[g]->setChecked(buttonGroup == g + 1);
    for (int n = 1; n <= kButtonScripts; ++n) {
        buttonScriptCaptions[n - 1] =
            ini.ReadString(QString("Button%1Caption").arg(n), QString("Button %1").arg(n));
        QStringList &lines = buttonScriptLines[n - 1];
        lines.clear();
        for (int m = 1; m <= kScriptLinesPerButton; ++m) {
            // Kept as written, however long: a running script uses the first characters only
            // (ButtonScriptInterpreter), and the file gets the whole line back at exit.
            const QString line = ini.ReadString(QString("Button%1Line%2").arg(n).arg(m), QString());
            if (!line.isEmpty())
                lines.append(line);
        }
    }
}

void TfPelmora::WriteSettings() {
    IniSettings &ini = *iniSettings;
    ini.SetSection(kSectionConfiguration);
    ini.WriteInteger("ComPort", GetComMenuIndex() + 1);
    ini.WriteInteger("BaudRate", GetMenuBaudRate());
    ini.WriteInteger("PelmoraWindowLeft", x());
    ini.WriteInteger("PelmoraWindowTop", y());
    auto writePos = [&](const char *left, const char *top, QPoint pos) {
        ini.WriteInteger(left, pos.x());
        ini.WriteInteger(top, pos.y());
    };
    writePos("DefineButtonWindowLeft", "DefineButtonWindowTop", defineButtonPos);
    writePos("MsgMonColorsWindowLeft", "MsgMonColorsWindowTop", msgMonColorsPos);
    writePos("SendFilePopupLeft", "SendFilePopupTop", sendFilePopupPos);
    ini.WriteInteger("SendFileLineDelayMs", sendFileLineDelayMs);
    ini.WriteBool("SendFileLineRepsonseSemaphore", sendFileLineResponse);
    auto writeRect = [&](const char *left, const char *top, const char *width, const char *height,
                         QRect rect) {
        ini.WriteInteger(left, rect.left());
        ini.WriteInteger(top, rect.top());
        ini.WriteInteger(width, rect.width());
        ini.WriteInteger(height, rect.height());
    };
    writeRect("FileDialogWindowLeft", "FileDialogWindowTop", "FileDialogWindowWidth",
              "FileDialogWindowHeight", fileDialogRect);
    writeRect("LogDialogWindowLeft", "LogDialogWindowTop", "LogDialogWindowWidth", "LogDialogWindowHeight",
              logDialogRect);
    writePos("GraphicFormLeft", "GraphicFormTop", graphicFormPos);
    writePos("PositionDeviationLeft", "PositionDeviationTop", positionDeviationPos);
    writePos("SvStatusLeft", "SvStatusTop", svStatusPos);
    writePos("CogDisplayLeft", "CogDisplayTop", cogDisplayPos);
    ini.WriteInteger("CogDisplayHeight", cogDisplayHeight);
    ini.WriteInteger("CogDisplayWidth", cogDisplayWidth);
    writePos("SkyViewLeft", "SkyViewTop", skyViewPos);
    writePos("GpsSimulatorLeft", "GpsSimulatorTop", gpsSimulatorPos);
    ini.WriteBool("LinearGrid", linearGrid);
    ini.WriteBool("LogGrid", logGrid);
    ini.WriteInteger("BmpSaveFileIndex", bmpSaveFileIndex);
    ini.WriteInteger("DataSaveFileIndex", dataSaveFileIndex);
    ini.WriteInteger("LogSequenceFileIndex", logSequenceFileIndex);
    ini.WriteString("LogFileNameNoPrompt", logFileNameNoPrompt);
    for (const OptionItem &item : logOptions)
        ini.WriteBool(item.key, item.action->isChecked());
    ini.WriteBool("LogOverWriteFile", mLogOverWriteFile->isChecked());
    const RfpType rfp = GetRfpType();
    ini.WriteString("RfpType", rfp == RfpType::Holvanek  ? "Holvanek"
                               : rfp == RfpType::Brisken ? "Brisken"
                                                         : "Off");
    for (const OptionItem &item : monitorOptions) {
        // Read as "MsgMonOutGoingMessages", written as the file has always had it; keys match
        // without regard to case, so the file keeps one such key.
        const QString key =
            QString(item.key) == "MsgMonOutGoingMessages" ? "MsgMonOutgoingMessages" : item.key;
        ini.WriteBool(key, item.action->isChecked());
    }

    // Each list is written over its old keys first and only the keys past its end are deleted:
    // the file ends up the same as deleting every key and writing the list again, and a list
    // that did not change leaves nothing to write.
    ini.SetSection(kSectionDropDown);
    const int history = std::min(cbSendData->count(), kHistoryLines);
    for (int i = 0; i < history; ++i)
        ini.WriteString(QString::asprintf("Line%02d", i + 1), cbSendData->itemText(i));
    for (int i = history + 1; i <= kHistoryLines; ++i)
        ini.DeleteKey(QString::asprintf("Line%02d", i));

    ini.SetSection(kSectionUserButtons);
    ini.WriteBool("ShowScriptDetails", mShowScriptDetails->isChecked());
    ini.WriteInteger("ButtonGroup", buttonGroup);
    for (int n = 1; n <= kButtonScripts; ++n) {
        ini.WriteString(QString("Button%1Caption").arg(n), buttonScriptCaptions[n - 1]);
        const QStringList &lines = buttonScriptLines[n - 1];
        const int count = std::min(static_cast<int>(lines.size()), kScriptLinesPerButton);
        for (int m = 0; m < count; ++m)
            ini.WriteString(QString("Button%1Line%2").arg(n).arg(m + 1), lines[m]);
        for (int m = count + 1; m <= kScriptLinesPerButton; ++m)
            ini.DeleteKey(QString("Button%1Line%2").arg(n).arg(m));
    }
    ini.UpdateFile();
}

TfPelmora::RfpType TfPelmora::GetRfpType() const {
    if (mRfpOptHolvanek->isChecked())
        return RfpType::Holvanek;
    if (mRfpOptBrisken->isChecked())
        return RfpType::Brisken;
    return RfpType::Off;
}

void TfPelmora::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TfPelmora::FormShow() {
    if (!keyHookInstalled) {
        qApp->installEventFilter(this);
        keyHookInstalled = true;
    }
    if (mHideButtons->isChecked())
        HideButtonPanel();
    else if (buttonGroup >= 1)
        ShowButtonPanel();
    UpdateCaption();
    centralWidget()->setFocus();
}

void TfPelmora::closeEvent(QCloseEvent *event) {
    FormClose();
    QMainWindow::closeEvent(event);
}

void TfPelmora::TakeBackGraphSettings() {
    TfGraphicDisplay *graph = windows.graphicDisplay;
    linearGrid = graph->GetLinearGrid();
    logGrid = graph->GetLogGrid();
    bmpSaveFileIndex = graph->GetBmpSaveFileIndex();
    dataSaveFileIndex = graph->GetDataSaveFileIndex();
    graphicFormPos = graph->pos();
    if (windows.cogDisplay) {
        cogDisplayPos = windows.cogDisplay->pos();
        cogDisplayHeight = windows.cogDisplay->height();
        cogDisplayWidth = windows.cogDisplay->width();
    }
}

void TfPelmora::FormClose() {
    if (windows.graphicDisplay && !bGraphicDisplay->isEnabled() && windows.graphicDisplay->IsShown()) {
        // Closed as its Close button closes it, so samples waiting for their automatic save are
        // written, and the data file index taken back counts that file.
        windows.graphicDisplay->close();
        TakeBackGraphSettings();
    }
    // The stored positions come from the windows themselves.
    if (windows.positionDeviation)
        positionDeviationPos = windows.positionDeviation->pos();
    if (windows.skyView)
        skyViewPos = windows.skyView->pos();
    if (windows.gpsSimulator)
        gpsSimulatorPos = windows.gpsSimulator->pos();
    if (windows.svStatus)
        svStatusPos = windows.svStatus->pos();
}

void TfPelmora::SetRfpTypeControls() {
    const QStringList brisken{"also use Keyboard Right Arrow", "also use Keyboard Down Arrow",
                              "also use Keyboard Up Arrow", "also use Keyboard Left Arrow"};
    const QStringList holvanek{"also use Keyboard Left Arrow", "also use Keyboard Up Arrow",
                               "also use Keyboard Down Arrow", "also use Keyboard Right Arrow"};
    const std::array<QPushButton *, 4> keys{sKeyNo1, sKeyNo2, sKeyNo3, sKeyNo4};
    switch (GetRfpType()) {
    case RfpType::Off:
        for (QWidget *w :
             std::initializer_list<QWidget *>{pDisplayPanel, bGraphicDisplay, lBriskenConnectionReport,
                                              lAcquireBriskenStatus, bAcquireBrisken})
            w->hide();
        break;
    case RfpType::Brisken:
        iHolvanek->hide();
        bUpAndDownKeys->setText("Home");
        for (QWidget *w : std::initializer_list<QWidget *>{bAcquireBrisken, bBriskenDiag,
                                                           lBriskenConnectionReport, lAcquireBriskenStatus})
            w->show();
        bGraphicDisplay->hide();
        for (int i = 0; i < 4; ++i)
            keys[i]->setToolTip(brisken[i]);
        pDisplayPanel->show();
        break;
    case RfpType::Holvanek:
        iHolvanek->show();
        bUpAndDownKeys->setText("Up and Down");
        bGraphicDisplay->show();
        bBriskenDiag->hide();
        lBriskenConnectionReport->hide();
        lAcquireBriskenStatus->hide();
        for (int i = 0; i < 4; ++i)
            keys[i]->setToolTip(holvanek[i]);
        pDisplayPanel->show();
        break;
    }
}

void TfPelmora::UpdateCaption() {
    SetRfpTypeControls();
    const QString groupText =
        buttonGroup != 0 ? QString(" - Button Group #%1 - ").arg(buttonGroup) : QString();
    if (serialPort->IsOpen()) {
        setWindowTitle(QString("Pelmora v%1%2%3 at %4 BAUD is connected")
                           .arg(versionText, groupText, QString::fromLocal8Bit(serialPort->OpenPortName()))
                           .arg(serialPort->GetBaudRate()));
        lLogMessagesStatus->show();
        if (GetRfpType() == RfpType::Brisken && serialPort->GetBaudRate() == 38400) {
            bAcquireBrisken->setText("Acquire Brisken");
            lAcquireBriskenStatus->clear();
            bAcquireBrisken->show();
            lAcquireBriskenStatus->show();
        } else {
            bAcquireBrisken->hide();
            lAcquireBriskenStatus->hide();
        }
    } else {
        setWindowTitle(QString("Pelmora v%1%2COM%3 at %4 BAUD is not connected")
                           .arg(versionText, groupText)
                           .arg(GetComMenuIndex() + 1)
                           .arg(GetMenuBaudRate()));
        bAcquireBrisken->hide();
        lLogMessagesStatus->hide();
        lAcquireBriskenStatus->hide();
    }
    UpdateLogButton();
    ArrangePanelLayout();
}

void TfPelmora::ArrangePanelLayout() {
    const bool off = GetRfpType() == RfpType::Off;
    if (off == terminalLayoutApplied)
        return;
    terminalLayoutApplied = off;
    if (!off) {
        for (const SavedGeometry &saved : designedLayout)
            saved.widget->setGeometry(saved.rect);
        return;
    }
    for (QWidget *w : std::initializer_list<QWidget *>{lBriskenConnectionReport, lAcquireBriskenStatus,
                                                       bAcquireBrisken, bGraphicDisplay})
        w->hide();
    pButtonPanel->setGeometry(306, 0, 450, 60);
    for (int i = 0; i < 8; ++i) {
        const int column = i / 2;
        const int row = i % 2;
        lButtonTag[i]->move(112 * column, row == 0 ? 5 : 35);
        bButton[i]->move(16 + 112 * column, row == 0 ? 0 : 30);
        bButton[i]->resize(90, 26);
    }
    // The buttons and the file-send progress share the top strip, the monitor lies below it and
    // the auxiliary panel at the bottom, clear of the monitor even when that is big.
    pMessageMonitorPanel->move(pMessageMonitorPanel->x(), 77);
    pAuxPanel->setGeometry(0, 456, 540, 76);
    bComOpenClose->move(0, 0);
    bLogMessages->move(100, 0);
    bCancelButtonScript->move(200, 0);
    for (QLabel *image : {iRxTxFrame, iTxArrow, iRxArrow})
        image->move(2, 28);
    lLogMessagesStatus->move(36, 28);
    lScriptDelayReport->move(160, 26);
    pbScriptDelayReport->move(160, 44);
    lScriptLineReport->move(310, 58);
    lScriptMessageReport->move(8, 58);
    // The file-send panel keeps the left of the top strip: its labels over its bar and button.
    pFileSendPanel->setGeometry(0, 0, 300, 72);
    lSendFilePB->setGeometry(4, 2, 292, 16);
    lSendFileInfoPB->setGeometry(4, 20, 292, 16);
    pbSendFile->setGeometry(4, 44, 200, 16);
    bCancelFile->setGeometry(216, 40, 75, 26);
}

int TfPelmora::GetComMenuIndex() const {
    for (int i = 0; i < static_cast<int>(comItems.size()); ++i)
        if (comItems[i]->isChecked())
            return i;
    return 0;
}

std::int32_t TfPelmora::GetMenuBaudRate() const {
    for (std::uint8_t i = 0; i < baudItems.size(); ++i)
        if (baudItems[i]->isChecked())
            return SerialPort::BaudAt(i);
    return SerialPort::BaudAt(0);
}

void TfPelmora::SetComMenuPort(int n) {
    if (n == 0)
        n = 1;
    if (n >= 1 && n <= static_cast<int>(comItems.size()))
        comItems[n - 1]->setChecked(true);
}

void TfPelmora::SetBaudMenu(std::int32_t baud) {
    for (std::uint8_t i = 0; i < baudItems.size(); ++i)
        if (SerialPort::BaudAt(i) == baud)
            baudItems[i]->setChecked(true);
}

