#pragma once
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class TLoaderInterface;
struct ScriptLine;
namespace platform {
class Registry;
}

// The loader's main window: firmware file and recent files, Write Flash, Query Card, loader
// scripts, Abort, the message log, the progress bar and the status bar.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *owner = nullptr);
    ~TMainForm() override;

    // Start-up and exit (settings).
    void FormCreate();
    void FormShow();
    void FormDestroy();

    // Takes its own copy of the name: callers pass entries of the list it reorders.
    bool OpenHexFile(QString fileName);
    void UpdateActionStates();
    void UpdateStatusBar();
    void ResetBusyState();
    void RebuildFileHistoryMenu();
    void FileHistoryClick(QAction *item);
    void SetScriptFileName(const QString &fileName) { sScriptFileName = fileName; }

    // Card operations.
    int ConnectToCard();
    void aiWriteFlashExecute();
    void aiQueryCardExecute();
    void ClearCardProperties();

    // Loader scripts.
    void aiOpenScriptFileExecute();
    void aiRunScriptExecute();
    int ExecuteScript();
    int GenerateTargetFile(int n);
    // Logs one line when a script line's numeric argument is not a plain number in [lowest,
    // highest], naming it and, in `outcome`, what is done instead.
    void NoteScriptNumber(const ScriptLine &line, long long lowest, long long highest,
                          const QString &outcome);
    void Timer1Timer();

    // Small actions.
    void aiFileOpenExecute();
    void aiCommSettingsExecute();
    void aiAbortExecute();
    void aiAboutBoxExecute();
    void aiExitExecute();
    void cbOptimizedLoadingClick();

    // Appends one line to the message log; a line too long to be read is shortened, saying so.
    void LogLine(const QString &text);

    // Whether Write Flash, Query Card or a script is running (they pump messages while they wait).
    bool IsOperationRunning() const { return iOperationDepth > 0; }

    QString sFileName;
    QString sScriptFileName;
    QString sInitialDir;
    int iPort = 1;
    int iBaudrate = 115200;
    int iConnectrate = 9600;
    int iDebugLevel = 0;
    int bDelayExpired = 0;
    int bBusy = 0;
    int bScriptRunning = 0;
    int bScriptAbort = 0;
    int bInternalUse = 0;
    int iPacketTimeout = 60;
    int bLogging = 0;
    int bTracing = 0;
    int bFileAccepted = 0;
    int iNumCards = 1;
    int iTargetCardID = 0;
    std::unique_ptr<platform::Registry> pclMyRegistry;
    QStringList pclMyFileHistory;

    // Components, named as in the window's description.
    QToolBar *ToolBar1;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    QToolButton *SpeedButton3;
    QToolButton *SpeedButton4;
    QProgressBar *ProgressBar1;
    QLabel *StatusPanels[4];
    QTabWidget *PageControl1;
    QWidget *tsUser;
    QPlainTextEdit *Memo1;
    QWidget *Panel2;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    QPushButton *BitBtn4;
    QPushButton *btnAbort;
    QGroupBox *GroupBox1;
    QGroupBox *GroupBox2;
    QLineEdit *editPSN;
    QLineEdit *editEnclosurePSN;
    QLineEdit *editOSN;
    QLineEdit *editHWRev;
    QLineEdit *editMAC1;
    QLineEdit *editMAC2;
    QLineEdit *editMAC3;
    QLineEdit *editFilePlatform;
    QLineEdit *editFileType;
    QLineEdit *editFileVersion;
    QLabel *lblDebugLevel;
    QLineEdit *editDebugLevel;
    QLabel *lblTargetCard;
    QLineEdit *editComponentID;
    QLabel *lblBootTargetID;
    QLineEdit *editBootTargetID;
    QMenu *N1;
    QAction *N2;
    QAction *N3;
    QMenu *Settings1;
    QMenu *Options1;
    QAction *cbOptimizedLoading;
    QMenu *Hekp1;
    QTimer *Timer1;

    QAction *aiFileOpen;
    QAction *aiOpenScriptFile;
    QAction *aiWriteFlash;
    QAction *aiRunScript;
    QAction *aiQueryCard;
    QAction *aiAbort;
    QAction *aiCommSettings;
    QAction *aiAboutBox;
    QAction *aiExit;

    // The open dialogs' folders and the script dialog's chosen file.
    QString HexFileOpenDlgInitialDir;
    QString ScriptFileOpenDlgInitialDir;
    QString ScriptFileOpenDlgFileName;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildWindow();
    void BuildActions();
    void BuildMenus();
    // Runs an operation's body with the operation count raised; on the way out, a quit that was
    // asked for meanwhile goes ahead.
    // Runs an open dialog that starts in its own folder, or the settings' folder at first.
    QString ChooseFileToOpen(QString &initialDir, const QString &defaultSuffix, const QString &filter);
    void RunOperation(const std::function<void()> &body);
    void FinishPendingQuit();
    // A file the engine refused, or could no longer read: none is accepted, Write Flash is off,
    // and neither the file edits nor the caption name the file accepted before.
    void ForgetAcceptedFile();
    void WriteFlash();
    // The class library's strict integer conversion: raises on anything but an integer.
    static int StrToInt(const QString &text);
    // A target card ID: an integer naming one of the devices 0 to 14; `what` names the field in the
    // error raised for anything else.
    static int TargetCardID(const QString &text, const char *what = "Target card ID");

    int iOperationDepth = 0;
    bool bQuitPending = false;
    bool bShown = false;
    bool bSettingsStored = false;
    // The settings file is there but could not be read: the window runs on the defaults and
    // never writes the file over.
    bool bSettingsUnreadable = false;
    QList<QAction *> fileHistoryItems;
};

// The one main window and the one engine object.
extern TMainForm *MainForm;
extern TLoaderInterface *LoaderInterface;

// The engine callbacks.
void MainOnStart();
void MainOnMessage(const char *text);
void MainOnProgressRange(int n);
void MainOnProgress(int n);
void MainOnComplete(int result);
void MainOnAbortRequest(int code);
// Installs the six callbacks on an engine, in the order the window's constructor does.
void InstallMainCallbacks(TLoaderInterface &engine);
