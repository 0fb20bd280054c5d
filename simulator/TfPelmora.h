#pragma once
#include "ButtonScriptInterpreter.h"
#include "DeviceIdentity.h"
#include "FileSendState.h"
#include "FileSender.h"
#include "GraphSample.h"
#include "KeyReleaseHold.h"
#include "LcdState.h"
#include "ScriptRunState.h"

#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AcquireSequence;
class DeviceIdRequest;
class IniSettings;
class MessageLog;
class MessageMonitor;
class SentenceParser;
class SerialPort;
class TickTimer;
class TfDefineButton;
class TfGraphicDisplay;
class TfSendFilePopUp;
class TfShowMessageMonColors;
class TfPositionDeviation;
class TfSvStatus;
class TfCogDisplay;
class TfSkyView;
class TfGpsSimulator;
class QAction;
class QActionGroup;
class QComboBox;
class QFrame;
class QLabel;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

// The other windows the main window works with; created after it, handed over by main().
struct PelmoraWindows {
    TfDefineButton *defineButton = nullptr;
    TfGraphicDisplay *graphicDisplay = nullptr;
    TfSendFilePopUp *sendFilePopUp = nullptr;
    TfShowMessageMonColors *showMessageMonColors = nullptr;
    TfPositionDeviation *positionDeviation = nullptr;
    TfSvStatus *svStatus = nullptr;
    TfCogDisplay *cogDisplay = nullptr;
    TfSkyView *skyView = nullptr;
    TfGpsSimulator *gpsSimulator = nullptr;
};

// The simulator's main window: the link to the device, its emulated front panel and the
// settings of the whole program.
class TfPelmora : public QMainWindow,
                  private FileSender::Host,
                  private ButtonScriptInterpreter::Host {
    Q_OBJECT
public:
    enum class RfpType { Off, Holvanek, Brisken };
    static constexpr int kButtonScripts = 32;
    static constexpr int kHistoryLines = 20;

    explicit TfPelmora(QWidget *parent = nullptr);
    ~TfPelmora() override;

    void AttachWindows(const PelmoraWindows &windows);

    // Main loop and the outgoing side of the link.
    void T10msTick();
    void PollSerialPort();
    // Hands received bytes to the parser and each completed line on, as the poll does with what
    // it reads; also the way in for tests that feed bytes without a port.
    void ReceiveBytes(const std::uint8_t *bytes, std::int32_t count);
    void SendSentence(const char *text);
    void SendScriptLine(std::string &text) override;
    bool IsPortOpen() const override;
    void PanelReset();

    // COM and baud menus.
    int GetComMenuIndex() const;
    std::int32_t GetMenuBaudRate() const;
    void SetComMenuPort(int n);
    void SetBaudMenu(std::int32_t baud);

    void bClickComOpenClose();
    void bClickSendData();
    void bClickAddCkSum();
    void bClickPause();
    void bClickClear();
    void cbContextPopUp();
    void bClickGraphicDisplay();
    void mComNSelectClick();

    // Emulated display and panel keys.
    void LcdWrite(bool data, std::uint8_t byte);
    void PutLcdChar(int position, std::uint8_t code);
    void ClearLcd();
    void SetContrast(std::uint8_t value);
    void StepContrastDown();
    void StepContrastUp();
    void BacklightOn();
    void BacklightOff();
    void SetPanelKey(unsigned bits, bool pressed);

    // Window life, caption and layout.
    QString GetVersionText() const { return versionText; }
    void UpdateCaption();
    void ArrangePanelLayout();

    // File sending, user buttons and their scripts.
    void bClickSendFile();
    void bClickCancelFile();
    void CancelSendFile();
    void bClickSendFilePopup();
    void EditUserButton(int n, bool &handled);
    // User buttons 1 to 8 of the shown group: a click runs the script, a right click edits it and
    // reports itself handled (no context menu follows).
    void bClickButton1() { RunUserButton(0); }
    void bClickButton2() { RunUserButton(1); }
    void bClickButton3() { RunUserButton(2); }
    void bClickButton4() { RunUserButton(3); }
    void bClickButton5() { RunUserButton(4); }
    void bClickButton6() { RunUserButton(5); }
    void bClickButton7() { RunUserButton(6); }
    void bClickButton8() { RunUserButton(7); }
    void bClickButton1Popup(bool &handled) { EditUserButton(0, handled); }
    void bClickButton2Popup(bool &handled) { EditUserButton(1, handled); }
    void bClickButton3Popup(bool &handled) { EditUserButton(2, handled); }
    void bClickButton4Popup(bool &handled) { EditUserButton(3, handled); }
    void bClickButton5Popup(bool &handled) { EditUserButton(4, handled); }
    void bClickButton6Popup(bool &handled) { EditUserButton(5, handled); }
    void bClickButton7Popup(bool &handled) { EditUserButton(6, handled); }
    void bClickButton8Popup(bool &handled) { EditUserButton(7, handled); }
    void ShowButtonPanel();
    void HideButtonPanel();
    void DisableUserButtons();
    void EnableUserButtons();
    void bClickCancelButtonScript();
    void mClickShowScriptDetails();
    std::string MakeStartDirPath(std::string_view name);
    int GetSendFileLineDelayMs() const { return sendFileLineDelayMs; }

    // Steps and sinks whose work comes with their own parts of the program; the main loop
    // calls them in this order.
    virtual void SetAcquireState(int state);
    virtual void AcquireStep();
    virtual void RunScriptStep();
    virtual void PumpSendFile();
    virtual void DeviceIdRequestStep();
    virtual void StartDeviceIdRequest();
    virtual void TriggerDeviceIdRequest();
    virtual void LogMessage(const char *text);
    virtual void LogOutgoing(const char *text);
    virtual void AddMonitorLine(const char *text);
    virtual void AddMonitorLineAs(const char *text, int category);
    int ClassifyMessage(const char *text);
    std::size_t FormatMonitorLine(char *buffer, const char *text, std::size_t size);
    virtual void ClearMonitor();
    virtual void ArrangeMonitor();
    virtual void UpdateLogButton();
    virtual void RunUserButton(int n);

    // Acquire sequence, monitor and logs: the handlers of their controls and menu items. A menu
    // item's handler does what a click on the item does: it toggles the check and applies it.
    void bClickAcquireBrisken();
    void lbMessageMonitorPopup();
    void mMsgMonHideClick();
    void mClickBig();
    void mMsgMonUpperCaseClick();
    void mMsgMonTimeClick();
    void mMsgMonTickCountClick();
    void mMsgMonOutGoingMessagesClick();
    void mMsgMonRfpMessagesClick();
    void mMsgMonDgpsMessagesClick();
    void mMsgMonLbMessagesClick();
    void mMsgMonHolvanekMessagesClick();
    void mMsgMonNonNmeaMessagesClick();
    void mMsgMonOtherMessagesClick();
    void bClickLogMessages();
    void mLogDateClick();
    void mLogTimeClick();
    void mLogMsTickCountClick();
    void mLogNmeaChecksumClick();
    void mLogRfpMessagesClick();
    void mLogDgpsMessagesClick();
    void mLogLightBarMessagesClick();
    void mLogHolvanekMessagesClick();
    void mLogNonNmeaMessagesClick();
    void mLogOtherMessagesClick();
    void mLogPromptForFilenameClick();
    void mLogAppendToExistFileClick();
    void mLogOverWriteFileClick();
    void mLogSequenceFilenameClick();
    void mLogEraseFileClick();
    void mLogViewFileClick();

    // State that tests and the later parts read.
    const LcdState &GetLcd() const { return lcd; }
    std::uint8_t GetContrast() const { return contrast; }
    bool IsBacklightOn() const;
    unsigned GetPanelKeyMask() const { return panelKeyMask; }
    RfpType GetRfpType() const;
    int GetButtonGroup() const { return buttonGroup; }
    SerialPort &GetSerialPort() { return *serialPort; }
    GraphSample &CurrentSample() { return graphSample; }
    ScriptRunState &ScriptState() { return scriptState; }
    FileSendState &FileSend() { return fileSend; }
    const QString &GetStartDirectory() const { return startDirectory; }
    QString GetIniFileName() const;
    QString GetLogFileNameNoPrompt() const;
    const QStringList &ButtonScriptLines(int index) const { return buttonScriptLines[index]; }
    const QString &ButtonScriptCaption(int index) const { return buttonScriptCaptions[index]; }
    bool IsRidReceived() const;
    const AcquireSequence &Acquire() const { return *acquireSequence; }
    const DeviceIdRequest &DeviceIds() const { return *deviceIdRequest; }
    const MessageMonitor &Monitor() const { return *messageMonitor; }
    const MessageLog &Log() const { return *messageLog; }
    bool IsLogging() const { return logging; }
    bool IsMonitorPaused() const;
    int GetRxTxIndicatorState() const { return rxTxIndicatorState; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct SavedGeometry {
        QWidget *widget;
        QRect rect;
    };

    void BuildForm();
    void BuildMenus();
    void BuildDisplayPanel();
    void BuildButtonPanel();
    void BuildMonitorPanel();
    void BuildAuxPanel();
    void CreateLcdCells();
    void FreeLcdCells();
    void DrawLcdCell(int index, std::uint8_t code);
    void ReadFileVersion();
    void CreateIniSettings();
    void ReadSettings();
    void WriteSettings();
    void FormShow();
    void FormClose();
    void TakeBackGraphSettings();
    bool WindowsAppMessageLoop(QObject *receiver, QEvent *event);
    void cbSendDataOnEnter();
    void cbSendDataOnExit();
    void cbKeyPressHandler(QKeyEvent *event, bool &handled);
    // The text up to its first line break: what the send line sends and keeps.
    static QString FirstLine(const QString &text);
    void SendKeyRelease(const std::optional<KeyReleaseHold::Release> &release);
    void SetRfpTypeControls();
    void SetButtonGroup(int group);

    void BuildFileSendPanel();
    void ConnectScriptControls();
    int ShowDefineButton();
    bool mainKeyPressHandler(const QKeyEvent &key);

    // The file pump's and the script interpreter's view of the window.
    std::int32_t WriteSendFileBytes(const std::uint8_t *bytes, std::int32_t count) override;
    int SendFileLineDelayMs() const override { return sendFileLineDelayMs; }
    bool SendFileResponseWindow() const override { return sendFileLineResponse; }
    void SendFileStarted(const std::string &path, std::int64_t size) override;
    void ShowSendFileProgress(int percent) override;
    void SendFileEnded() override;
    void SetScriptBaudRate(std::int32_t baud) override;
    bool TransmitPending() const override;
    void SetScriptRts(bool on) override;
    bool ShowScriptDetails() const override;
    void ShowDelayReport(std::uint32_t lengthMs, std::uint32_t passedMs) override;
    void ClearDelayReport() override;
    void ShowLineReport(const QString &line) override;
    void ShowMessageReport(const QString &text) override;
    std::string ScriptStartDirectory() const override;
    void ScriptStarted(int button) override;
    void ScriptEnded(int button) override;

    void HandleRawLine();
    void HandleSentence();
    void DispatchSentence();
    void SetContrastFromField(const char *field);
    // Counts a received line as a reply to a line of the file sent; true when it was one.
    bool FreeOutstandingLine();
    void CopyIdentity(DeviceIdentity &identity, int nameField, int versionField, int serialField);

    void RxSeen();
    void RxIdle();
    void TxSeen();
    void TxIdle();
    void ShowRxTx(bool frame, bool rx, bool tx);
    void SetRxTxArrow(bool rxArrow, bool on);

    void CreateMonitorParts();
    void CreateLogParts();
    void CreateAcquireParts();
    void CopyMonitorOptions();
    void CopyLogOptions();
    void ShowLogStatus();
    void PromptForLogFile();

    // Owned parts of the link.
    std::unique_ptr<SerialPort> serialPort;
    std::unique_ptr<SentenceParser> sentenceParser;
    std::unique_ptr<TickTimer> tickTimer;
    std::unique_ptr<IniSettings> iniSettings;
    std::unique_ptr<AcquireSequence> acquireSequence;
    std::unique_ptr<DeviceIdRequest> deviceIdRequest;
    std::unique_ptr<MessageLog> messageLog;
    MessageMonitor *messageMonitor = nullptr; // the list view's model, owned by the view
    QTimer *monitorRefresh = nullptr;
    PelmoraWindows windows;
    std::unique_ptr<FileSender> fileSender;
    std::unique_ptr<ButtonScriptInterpreter> buttonScript;

    // Main loop state.
    bool pollBusy = false;
    std::array<std::uint8_t, 8096> receiveBuffer{};
    std::int32_t receiveLength = 0;
    std::string lineBuffer;
    std::array<char, 600> replyBuffer{};
    std::uint32_t lineTick = 0;
    std::uint32_t rxStamp = 0;
    std::uint32_t txStamp = 0;
    std::uint32_t lastPollTime = 0;
    std::uint32_t queryStamp = 0;
    int rxTxIndicatorState = 0;
    GraphSample graphSample{};
    ScriptRunState scriptState;
    FileSendState fileSend;
    bool logging = false;

    // Display and keys.
    LcdState lcd;
    std::array<QLabel *, LcdState::kCells> lcdCells{};
    std::uint8_t contrast = 0;
    unsigned panelKeyMask = 0;
    bool keysToPanel = true;
    bool keyHookInstalled = false;
    KeyReleaseHold keyReleaseHold;

    // Settings.
    QString startDirectory;
    QString versionText;
    QPoint defineButtonPos, msgMonColorsPos, sendFilePopupPos, graphicFormPos, positionDeviationPos,
        svStatusPos, cogDisplayPos, skyViewPos, gpsSimulatorPos;
    int cogDisplayHeight = 200;
    int cogDisplayWidth = 200;
    QRect fileDialogRect{50, 50, 200, 200};
    QRect logDialogRect{50, 50, 200, 200};
    int sendFileLineDelayMs = 0;
    bool sendFileLineResponse = true;
    bool linearGrid = true;
    bool logGrid = true;
    int bmpSaveFileIndex = 1;
    int dataSaveFileIndex = 1;
    int logSequenceFileIndex = 1;
    QString logFileNameNoPrompt;
    int buttonGroup = 0;
    std::array<QString, kButtonScripts> buttonScriptCaptions;
    std::array<QStringList, kButtonScripts> buttonScriptLines;
    bool terminalLayoutApplied = false;
    std::vector<SavedGeometry> designedLayout;
    // The monitor as designed, for its Big and hidden arrangements.
    struct MonitorGeometry {
        QSize panel;
        int listSpaceBelow = 0;
        int sendLineFromBottom = 0;
        int windowHeight = 0;
    } monitorGeometry;

    // Components, named as the form names them.
    QTimer *Timer20ms = nullptr;
    QFrame *pDisplayPanel = nullptr;
    QLabel *iHolvanek = nullptr;
    QPushButton *sKeyNo1 = nullptr, *sKeyNo2 = nullptr, *sKeyNo3 = nullptr, *sKeyNo4 = nullptr;
    QPushButton *bUpAndDownKeys = nullptr;
    QPushButton *bBriskenDiag = nullptr;
    QProgressBar *pbContrast = nullptr;
    QLabel *lBackLight = nullptr;
    QFrame *pButtonPanel = nullptr;
    std::array<QPushButton *, 8> bButton{};
    std::array<QLabel *, 8> lButtonTag{};
    QFrame *pMessageMonitorPanel = nullptr;
    QListView *lbMessageMonitor = nullptr;
    QComboBox *cbSendData = nullptr;
    QPushButton *bSendData = nullptr, *bPause = nullptr, *bClear = nullptr, *bAddCkSum = nullptr;
    QFrame *pAuxPanel = nullptr;
    QPushButton *bComOpenClose = nullptr, *bLogMessages = nullptr, *bCancelButtonScript = nullptr;
    QLabel *iRxTxFrame = nullptr, *iRxArrow = nullptr, *iTxArrow = nullptr;
    QLabel *lLogMessagesStatus = nullptr;
    QLabel *lScriptDelayReport = nullptr, *lScriptLineReport = nullptr, *lScriptMessageReport = nullptr;
    QProgressBar *pbScriptDelayReport = nullptr;
    QPushButton *bAcquireBrisken = nullptr;
    QLabel *lAcquireBriskenStatus = nullptr, *lBriskenConnectionReport = nullptr;
    QPushButton *bGraphicDisplay = nullptr, *bSendFile = nullptr;
    QFrame *pFileSendPanel = nullptr;
    QLabel *lSendFilePB = nullptr, *lSendFileInfoPB = nullptr;
    QProgressBar *pbSendFile = nullptr;
    QPushButton *bCancelFile = nullptr;

    QMenu *mComPort = nullptr;
    QMenu *mBaudRate1 = nullptr;
    std::array<QAction *, 18> comItems{};
    std::array<QAction *, 10> baudItems{};
    QAction *mTwoStopBits = nullptr, *mnuMsgFlushSerial = nullptr;
    QAction *mRfpOptOff = nullptr, *mRfpOptHolvanek = nullptr, *mRfpOptBrisken = nullptr;
    QAction *mHideButtons = nullptr, *mShowScriptDetails = nullptr;
    std::array<QAction *, 4> mButtonGroup{};
    QAction *mSvStatus = nullptr, *mPositionDeviation = nullptr, *mSkyView = nullptr, *mGpsSim = nullptr;
    // Logging and monitor options: the ini keys they carry, in the order the file lists them.
    struct OptionItem {
        const char *key;
        QAction *action;
        bool defaultValue;
    };
    std::vector<OptionItem> logOptions;
    std::vector<OptionItem> monitorOptions;
    static bool IsOptionChecked(const std::vector<OptionItem> &items, const char *key);
    static QAction *OptionAction(const std::vector<OptionItem> &items, const char *key);
    void mMsgMonOptionClick();
    void mLogOptionClick();
    QAction *mLogAppendToFile = nullptr, *mLogOverWriteFile = nullptr;
    QAction *mLogSequenceFilename = nullptr, *mLogEraseFile = nullptr, *mLogViewFile = nullptr;
    QAction *mMsgMonUpperCase = nullptr;
};
