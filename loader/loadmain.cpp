#include "loadmain.h"

#include "AboutBox.h"
#include "Dialogs.h"
#include "ExceptionApplication.h"
#include "KTR3LoaderIntf.h"
#include "Registry.h"
#include "comset.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <climits>

TMainForm *MainForm = nullptr;
TLoaderInterface *LoaderInterface = nullptr;

// ---- Engine callbacks ------------------------------------------------------------------------

// The engine's reports are also the moments its run can have moved on, for example from
// looking for the card to sending it records; the actions follow.
void MainOnStart() {
    if (!MainForm)
        return;
    MainForm->Memo1->clear();
    MainForm->UpdateActionStates();
}

void MainOnMessage(const char *text) {
    if (!MainForm || text == nullptr || *text == '\0')
        return;
    QString line = QString::fromLocal8Bit(text);
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    MainForm->LogLine(line);
    MainForm->UpdateActionStates();
}

void MainOnProgressRange(int n) {
    if (!MainForm)
        return;
    MainForm->ProgressBar1->setRange(0, n);
    MainForm->ProgressBar1->setValue(0);
}

void MainOnProgress(int n) {
    if (MainForm)
        MainForm->ProgressBar1->setValue(n);
}

void MainOnComplete(int) {}

void MainOnAbortRequest(int code) {
    if (!MainForm)
        return;
    MainForm->LogLine(QStringLiteral("HandleAbort : %1").arg(code));
    if (LoaderInterface)
        LoaderInterface->Abort();
    MainForm->ResetBusyState();
}

void InstallMainCallbacks(TLoaderInterface &engine) {
    engine.SetOnStart(MainOnStart);
    engine.SetOnMessage(MainOnMessage);
    engine.SetOnProgressRange(MainOnProgressRange);
    engine.SetOnProgress(MainOnProgress);
    engine.SetOnComplete(MainOnComplete);
    engine.SetOnAbortRequest(MainOnAbortRequest);
}

// ---- Construction ----------------------------------------------------------------------------

namespace {

QLineEdit *ReadOnlyEdit(QWidget *owner, const char *name) {
    auto *edit = new QLineEdit(owner);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setReadOnly(true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    edit->setPalette(palette);
    return edit;
}

QLabel *NamedLabel(QWidget *owner, const char *name, const char *text) {
    auto *label = new QLabel(QString::fromLatin1(text), owner);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QAction *MakeAction(QObject *owner, const char *name, const QString &caption, const QString &hint = {}) {
    auto *action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        action->setToolTip(hint);
    return action;
}

// A push button that stands for an action: its click triggers the action and it follows the
// action's enabled state.
QPushButton *ActionButton(QWidget *owner, const char *name, const QString &caption, QAction *action) {
    auto *button = new QPushButton(caption, owner);
    button->setObjectName(QString::fromLatin1(name));
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [button, action] { button->setEnabled(action->isEnabled()); });
    button->setEnabled(action->isEnabled());
    return button;
}

// Each handler catches what it raises and shows it, so no exception unwinds through Qt or
// through a nested message pump.
template <typename Handler> void Guarded(Handler handler) {
    try {
        handler();
    } catch (...) {
        platform::ExceptionApplication::ShowException(std::current_exception());
    }
}

} // namespace

TMainForm::TMainForm(QWidget *owner) : QMainWindow(owner) {
    MainForm = this;
    BuildActions();
    BuildWindow();
    BuildMenus();

    pclMyRegistry = std::make_unique<platform::Registry>();
    pclMyFileHistory.clear();
    if (LoaderInterface == nullptr) {
        LoaderInterface = new TLoaderInterface(); // owned through the global; FormDestroy deletes it
        InstallMainCallbacks(*LoaderInterface);
        LoaderInterface->SetExePath(QApplication::applicationFilePath().toLocal8Bit().constData());
    }
    UpdateActionStates();
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::BuildActions() {
    aiFileOpen =
        MakeAction(this, "aiFileOpen", QStringLiteral("File &Open..."), QStringLiteral("Open a HEX file"));
    aiOpenScriptFile = MakeAction(this, "aiOpenScriptFile", QStringLiteral("Open &Script File..."));
    aiWriteFlash = MakeAction(this, "aiWriteFlash", QStringLiteral("&Write Flash..."),
                              QStringLiteral("Write file to flash"));
    aiRunScript =
        MakeAction(this, "aiRunScript", QStringLiteral("Run Script"), QStringLiteral("Run a loader script"));
    aiQueryCard = MakeAction(this, "aiQueryCard", QStringLiteral("Query Card"));
    aiAbort = MakeAction(this, "aiAbort", QStringLiteral("Abort"));
    aiCommSettings = MakeAction(this, "aiCommSettings", QStringLiteral("COM Settings..."));
    aiAboutBox = MakeAction(this, "aiAboutBox", QStringLiteral("&About..."));
    aiExit = MakeAction(this, "aiExit", QStringLiteral("E&xit"));
    aiExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));

    connect(aiFileOpen, &QAction::triggered, this, [this] { Guarded([this] { aiFileOpenExecute(); }); });
    connect(aiOpenScriptFile, &QAction::triggered, this,
            [this] { Guarded([this] { aiOpenScriptFileExecute(); }); });
    connect(aiWriteFlash, &QAction::triggered, this, [this] { Guarded([this] { aiWriteFlashExecute(); }); });
    connect(aiRunScript, &QAction::triggered, this, [this] { Guarded([this] { aiRunScriptExecute(); }); });
    connect(aiQueryCard, &QAction::triggered, this, [this] { Guarded([this] { aiQueryCardExecute(); }); });
    connect(aiAbort, &QAction::triggered, this, [this] { Guarded([this] { aiAbortExecute(); }); });
    connect(aiCommSettings, &QAction::triggered, this,
            [this] { Guarded([this] { aiCommSettingsExecute(); }); });
    connect(aiAboutBox, &QAction::triggered, this, [this] { Guarded([this] { aiAboutBoxExecute(); }); });
    connect(aiExit, &QAction::triggered, this, [this] { Guarded([this] { aiExitExecute(); }); });
    for (QAction *action : {aiFileOpen, aiOpenScriptFile, aiWriteFlash, aiRunScript, aiQueryCard, aiAbort,
                            aiCommSettings, aiAboutBox, aiExit})
        addAction(action);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
}

void TMainForm::BuildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Quorvel"));
    resize(798, 560);
    move(27, 90);

    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    auto speedButton = [this](const char *name, QAction *action) {
        auto *button = new QToolButton(ToolBar1);
        button->setObjectName(QString::fromLatin1(name));
        button->setDefaultAction(action);
        ToolBar1->addWidget(button);
        return button;
    };
    SpeedButton1 = speedButton("SpeedButton1", aiFileOpen);
    SpeedButton4 = speedButton("SpeedButton4", aiOpenScriptFile);
    SpeedButton2 = speedButton("SpeedButton2", aiWriteFlash);
    SpeedButton3 = speedButton("SpeedButton3", aiRunScript);

    auto *central = new QWidget(this);
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // One page and no tabs: neither a tab bar nor a frame takes room.
    PageControl1->setDocumentMode(true);
    PageControl1->setTabBarAutoHide(true);
    tsUser = new QWidget(PageControl1);
    tsUser->setObjectName(QStringLiteral("tsUser"));
    PageControl1->addTab(tsUser, QStringLiteral("User"));
    centralLayout->addWidget(PageControl1, 1);
    ProgressBar1 = new QProgressBar(central);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    centralLayout->addWidget(ProgressBar1);
    setCentralWidget(central);

    // Tight spacing so that everything fits the window's designed 798 by 560.
    auto *page = new QHBoxLayout(tsUser);
    page->setContentsMargins(4, 2, 4, 2);
    Memo1 = new QPlainTextEdit(tsUser);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page->addWidget(Memo1, 1);

    Panel2 = new QWidget(tsUser);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(349);
    page->addWidget(Panel2);
    auto *panel = new QVBoxLayout(Panel2);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(4);
    BitBtn2 = ActionButton(Panel2, "BitBtn2", QStringLiteral("Write Flash"), aiWriteFlash);
    BitBtn1 = ActionButton(Panel2, "BitBtn1", QStringLiteral("Run Script"), aiRunScript);
    BitBtn4 = ActionButton(Panel2, "BitBtn4", QStringLiteral("Query Card"), aiQueryCard);
    btnAbort = ActionButton(Panel2, "btnAbort", QStringLiteral("Abort"), aiAbort);
    for (QPushButton *button : {BitBtn2, BitBtn1, BitBtn4, btnAbort})
        panel->addWidget(button);

    GroupBox2 = new QGroupBox(QStringLiteral("Card Properties"), Panel2);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto *card = new QGridLayout(GroupBox2);
    card->setContentsMargins(6, 2, 6, 4);
    card->setVerticalSpacing(2);
    struct Row {
        QLineEdit **edit;
        const char *name;
        const char *caption;
    };
    int row = 0;
    for (const Row &r :
         {Row{&editPSN, "editPSN", "PSN:"}, Row{&editEnclosurePSN, "editEnclosurePSN", "Enclosure:"},
          Row{&editOSN, "editOSN", "OSN:"}, Row{&editHWRev, "editHWRev", "HW Rev:"},
          Row{&editMAC1, "editMAC1", "MAC1:"}, Row{&editMAC2, "editMAC2", "MAC2:"},
          Row{&editMAC3, "editMAC3", "MAC3:"}}) {
        *r.edit = ReadOnlyEdit(GroupBox2, r.name);
        card->addWidget(new QLabel(QString::fromLatin1(r.caption), GroupBox2), row, 0);
        card->addWidget(*r.edit, row++, 1);
    }
    panel->addWidget(GroupBox2);

    GroupBox1 = new QGroupBox(QStringLiteral("Hex File Properties"), Panel2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *file = new QGridLayout(GroupBox1);
    file->setContentsMargins(6, 2, 6, 4);
    file->setVerticalSpacing(2);
    row = 0;
    for (const Row &r : {Row{&editFilePlatform, "editFilePlatform", "Platform:"},
                         Row{&editFileType, "editFileType", "Type:"},
                         Row{&editFileVersion, "editFileVersion", "Version:"}}) {
        *r.edit = ReadOnlyEdit(GroupBox1, r.name);
        file->addWidget(new QLabel(QString::fromLatin1(r.caption), GroupBox1), row, 0);
        file->addWidget(*r.edit, row++, 1);
    }
    panel->addWidget(GroupBox1);

    auto *ids = new QGridLayout;
    ids->setVerticalSpacing(2);
    lblDebugLevel = NamedLabel(Panel2, "lblDebugLevel", "Debug Level: ");
    editDebugLevel = ReadOnlyEdit(Panel2, "editDebugLevel");
    lblTargetCard = NamedLabel(Panel2, "lblTargetCard", "Target Card ID:");
    editComponentID = new QLineEdit(QStringLiteral("0"), Panel2);
    editComponentID->setObjectName(QStringLiteral("editComponentID"));
    lblBootTargetID = NamedLabel(Panel2, "lblBootTargetID", "Boot Target Card ID:");
    editBootTargetID = new QLineEdit(QStringLiteral("0"), Panel2);
    editBootTargetID->setObjectName(QStringLiteral("editBootTargetID"));
    ids->addWidget(lblDebugLevel, 0, 0);
    ids->addWidget(editDebugLevel, 0, 1);
    ids->addWidget(lblTargetCard, 1, 0);
    ids->addWidget(editComponentID, 1, 1);
    ids->addWidget(lblBootTargetID, 2, 0);
    ids->addWidget(editBootTargetID, 2, 1);
    panel->addLayout(ids);
    panel->addStretch(1);
    for (QWidget *w : {static_cast<QWidget *>(lblTargetCard), static_cast<QWidget *>(editComponentID),
                       static_cast<QWidget *>(lblBootTargetID), static_cast<QWidget *>(editBootTargetID)})
        w->setVisible(false);

    const char *panelTexts[4] = {"COM: XX", "Connect: XXXXXX", "Download: XXXXXX", "Version"};
    const int panelWidths[4] = {55, 100, 200, 200};
    for (int i = 0; i < 4; ++i) {
        StatusPanels[i] = new QLabel(QString::fromLatin1(panelTexts[i]), this);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(panelWidths[i]);
        // Permanent, so that no message shown in the status bar ever hides a panel.
        statusBar()->addPermanentWidget(StatusPanels[i], i == 3 ? 1 : 0);
    }
    StatusPanels[3]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
}

void TMainForm::BuildMenus() {
    N1 = menuBar()->addMenu(QStringLiteral("&File"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->addAction(aiFileOpen);
    N1->addAction(aiOpenScriptFile);
    N1->addAction(aiWriteFlash);
    N3 = N1->addSeparator();
    N3->setObjectName(QStringLiteral("N3"));
    N1->addAction(aiExit);
    N2 = N1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));

    Settings1 = menuBar()->addMenu(QStringLiteral("&Settings"));
    Settings1->setObjectName(QStringLiteral("Settings1"));
    Settings1->addAction(aiCommSettings);
    Options1 = Settings1->addMenu(QStringLiteral("Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    Options1->setToolTipsVisible(true); // the Optimized Loading item's hint
    cbOptimizedLoading = Options1->addAction(QStringLiteral("Optimized Loading"));
    cbOptimizedLoading->setObjectName(QStringLiteral("cbOptimizedLoading"));
    cbOptimizedLoading->setCheckable(true);
    cbOptimizedLoading->setChecked(true);
    cbOptimizedLoading->setToolTip(
        QStringLiteral("Skips Erase/Reload if desired software matchs software currently on card"));
    // The menu item toggles its check itself; the handler keeps the flag's meaning in one place.
    connect(cbOptimizedLoading, &QAction::triggered, this, [this] { cbOptimizedLoadingClick(); });

    Hekp1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Hekp1->setObjectName(QStringLiteral("Hekp1"));
    Hekp1->addAction(aiAboutBox);
}

// ---- Window rules ----------------------------------------------------------------------------

void TMainForm::LogLine(const QString &text) {
    // One unbroken line of some hundred thousand characters holds the log's layout for seconds;
    // nobody reads that far into one line.
    constexpr qsizetype kMaxLogLineChars = 4000;
    if (text.size() <= kMaxLogLineChars) {
        Memo1->appendPlainText(text);
        return;
    }
    qsizetype kept = kMaxLogLineChars;
    if (text[kept - 1].isHighSurrogate())
        --kept;
    Memo1->appendPlainText(text.left(kept) +
                           QStringLiteral(" ... (%1 more characters not shown)").arg(text.size() - kept));
}

void TMainForm::UpdateActionStates() {
    // A running operation pumps messages while it waits; nothing may start a second one inside it.
    const bool busy = bBusy || IsOperationRunning();
    aiRunScript->setEnabled(!busy && !ScriptFileOpenDlgFileName.isEmpty());
    aiFileOpen->setEnabled(!busy);
    aiOpenScriptFile->setEnabled(!busy);
    aiWriteFlash->setEnabled(!busy && !sFileName.isEmpty() && bFileAccepted);
    aiQueryCard->setEnabled(!busy);
    const QString type =
        LoaderInterface ? QString::fromLatin1(LoaderInterface->GetFileApplicationType()) : QString();
    // A boot-code load must not be cut short, but while the engine still looks for the card, or a
    // script's DELAY waits between lines, nothing is going to it that an abort could spoil.
    const bool bootLoad = type.startsWith(QLatin1String("BOOT")) && !LoaderInterface->IsSearchingForCard() &&
                          !Timer1->isActive();
    aiAbort->setEnabled(busy && !bootLoad);
    for (QAction *item : fileHistoryItems)
        item->setEnabled(!busy);
    for (QWidget *w : {static_cast<QWidget *>(lblTargetCard), static_cast<QWidget *>(editComponentID),
                       static_cast<QWidget *>(lblBootTargetID), static_cast<QWidget *>(editBootTargetID)})
        w->setVisible(true);
}

void TMainForm::UpdateStatusBar() {
    StatusPanels[0]->setText(QStringLiteral("COM: %1").arg(iPort));
    StatusPanels[1]->setText(
        QStringLiteral("Connect: %1")
            .arg(iConnectrate == 0 ? QStringLiteral("BREAK") : QString::number(iConnectrate)));
    StatusPanels[2]->setText(QStringLiteral("Download: %1").arg(iBaudrate));
}

void TMainForm::ResetBusyState() {
    bBusy = 0;
    bScriptRunning = 0;
    bScriptAbort = 1;
    UpdateActionStates();
}

bool TMainForm::OpenHexFile(QString fileName) {
    sFileName = fileName;
    const QByteArray localName = fileName.toLocal8Bit();
    // A name longer than any path the system takes is refused by the engine, which says so; the
    // name itself is not logged (a line of that length holds the window).
    if (localName.size() < PATH_MAX)
        LogLine(fileName);
    // Cleared first, so that no way out of the engine's check leaves the earlier file accepted.
    bFileAccepted = 0;
    bFileAccepted = LoaderInterface->SetFileName(localName.constData()) ? 1 : 0;
    if (!bFileAccepted) {
        ForgetAcceptedFile();
        return false;
    }
    if (!LoaderInterface->IsSWPlatformValid(LoaderInterface->GetCardPlatform()) &&
        LoaderInterface->GetDebug() == 255) {
        LoaderInterface->LogMessage("Software is invalid for platform!!");
        LoaderInterface->LogMessage(LoaderInterface->GetFilePlatform());
        LoaderInterface->LogMessage(LoaderInterface->GetCardPlatform());
    }
    editFilePlatform->setText(QString::fromLatin1(LoaderInterface->GetFilePlatform()));
    editFileType->setText(QString::fromLatin1(LoaderInterface->GetFileApplicationType()));
    editFileVersion->setText(QString::fromLatin1(LoaderInterface->GetFileSWVersion()));
    UpdateActionStates();

    int existing = -1;
    for (int i = 0; i < pclMyFileHistory.size(); ++i)
        if (pclMyFileHistory[i].compare(fileName, Qt::CaseInsensitive) == 0) {
            existing = i;
            break;
        }
    if (existing >= 0)
        pclMyFileHistory.removeAt(existing);
    else if (pclMyFileHistory.size() >= 10)
        pclMyFileHistory.removeAt(9);
    pclMyFileHistory.prepend(fileName);
    RebuildFileHistoryMenu();
    setWindowTitle(QStringLiteral("Quorvel - ") + fileName);
    return true;
}

void TMainForm::ForgetAcceptedFile() {
    bFileAccepted = 0;
    for (QLineEdit *edit : {editFilePlatform, editFileType, editFileVersion})
        edit->clear();
    // A caption a script set is left as it is.
    if (windowTitle().startsWith(QLatin1String("Quorvel - ")))
        setWindowTitle(QStringLiteral("Quorvel"));
    UpdateActionStates();
}

void TMainForm::RebuildFileHistoryMenu() {
    // The clicked item may be one of these; it is released once its click has been handled.
    for (QAction *item : fileHistoryItems) {
        N1->removeAction(item);
        item->deleteLater();
    }
    fileHistoryItems.clear();
    for (int i = 0; i < pclMyFileHistory.size() && i < 10; ++i) {
        if (pclMyFileHistory[i].isEmpty())
            continue;
        auto *item = new QAction(pclMyFileHistory[i], N1);
        item->setObjectName(QStringLiteral("FileHistory%1").arg(fileHistoryItems.size()));
        item->setEnabled(!(bBusy || IsOperationRunning()));
        connect(item, &QAction::triggered, this,
                [this, item] { Guarded([this, item] { FileHistoryClick(item); }); });
        N1->addAction(item);
        fileHistoryItems.append(item);
    }
}

void TMainForm::FileHistoryClick(QAction *item) {
    if (bBusy || IsOperationRunning())
        return;
    // Item k of the menu stands for the k-th non-empty entry of the list.
    const int position = static_cast<int>(fileHistoryItems.indexOf(item));
    if (position < 0)
        return;
    int seen = -1;
    for (int i = 0; i < pclMyFileHistory.size(); ++i) {
        if (pclMyFileHistory[i].isEmpty())
            continue;
        if (++seen == position) {
            OpenHexFile(pclMyFileHistory[i]);
            break;
        }
    }
    UpdateActionStates();
}

// ---- Small actions ---------------------------------------------------------------------------

QString TMainForm::ChooseFileToOpen(QString &initialDir, const QString &defaultSuffix,
                                    const QString &filter) {
    // An open dialog starts in the settings' folder until it has a folder of its own.
    if (initialDir.isEmpty())
        initialDir = sInitialDir;
    platform::FileDialogRequest request;
    request.caption = QStringLiteral("Open");
    request.directory = initialDir;
    request.defaultSuffix = defaultSuffix;
    request.filter = filter;
    return platform::ShowFileDialog(request);
}

void TMainForm::aiFileOpenExecute() {
    if (bBusy || IsOperationRunning())
        return;
    const QString chosen =
        ChooseFileToOpen(HexFileOpenDlgInitialDir, QStringLiteral("hex"),
                         QStringLiteral("All Hex Files (*.HEX, *.SHEX)|*.hex; *.shex|Hex Files (*.HEX)|*.hex|"
                                        "Signed Hex Files (*.SHEX)|*.shex"));
    if (chosen.isEmpty())
        return;
    if (!OpenHexFile(chosen))
        UpdateActionStates();
}

void TMainForm::aiCommSettingsExecute() {
    TPortSetup dialog;
    dialog.SetDownloadBaud(iBaudrate);
    dialog.SetConnectBaud(iConnectrate);
    dialog.SetComPort(iPort);
    if (platform::ShowModalDialog(dialog) == QDialog::Accepted) {
        iPort = dialog.GetComPort();
        iBaudrate = dialog.GetDownloadBaud();
        iConnectrate = dialog.GetConnectBaud();
        UpdateStatusBar();
    }
}

void TMainForm::aiAbortExecute() {
    LoaderInterface->Abort();
}

void TMainForm::aiAboutBoxExecute() {
    TfrmAbout box(this);
    platform::ShowModalDialog(box);
}

void TMainForm::aiExitExecute() {
    close();
}

void TMainForm::cbOptimizedLoadingClick() {
    // Qt has already toggled the check; nothing else depends on the click.
}

void TMainForm::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!bShown) {
        bShown = true;
        FormShow();
    }
}

void TMainForm::FormShow() {
    TfrmAbout box(this);
    StatusPanels[3]->setText(box.lblVersion->text() + QStringLiteral("      "));
}

void TMainForm::closeEvent(QCloseEvent *event) {
    if (IsOperationRunning()) {
        // The operation waits inside a message pump: end it first, quit once it has unwound.
        bQuitPending = true;
        bScriptAbort = 1;
        LoaderInterface->Abort();
        event->ignore();
        return;
    }
    event->accept();
    QApplication::quit();
}

void TMainForm::RunOperation(const std::function<void()> &body) {
    ++iOperationDepth;
    UpdateActionStates();
    try {
        body();
    } catch (...) {
        --iOperationDepth;
        UpdateActionStates();
        FinishPendingQuit();
        throw;
    }
    --iOperationDepth;
    UpdateActionStates();
    FinishPendingQuit();
}

void TMainForm::FinishPendingQuit() {
    if (bQuitPending && !IsOperationRunning())
        QTimer::singleShot(0, this, [this] { close(); });
}

int TMainForm::StrToInt(const QString &text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid integer value");
    return value;
}

int TMainForm::TargetCardID(const QString &text, const char *what) {
    const int value = StrToInt(text);
    if (value < 0 || value > 14)
        throw std::out_of_range(what + (" " + std::to_string(value)) + " is out of range (0 to 14)");
    return value;
}
