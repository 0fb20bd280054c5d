#pragma once
#include "DeviceIdentity.h"
#include "GraphPlot.h"
#include "GraphRenderer.h"
#include "GraphSample.h"
#include "NumberedFile.h"
#include "SampleRing.h"
#include "TickTimer.h"

#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class TfCogDisplay;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;

// The graph window: samples the steering controller's guidance values while it is shown, plots
// them as six traces with a status panel, and saves and loads them as data files.
// The main window carries its settings across sessions and writes received identities into it.
class TfGraphicDisplay : public QWidget {
public:
    enum IdentityIndex { Steering = 0, LightBar = 1, Dgps = 2 };
    static constexpr int kPictureWidth = 786;
    static constexpr int kPictureHeight = 448;

    explicit TfGraphicDisplay(QWidget *parent = nullptr);
    ~TfGraphicDisplay() override;

    // Called on every tick of the main loop with the current sample; stamps the date, the time,
    // the hold mark and the plot rows of the sample it stores into the caller's record.
    void AddSample(GraphSample &sample);
    // Into the ring; the file reader stores through here too, but its rows keep their own hold
    // marks (a saved file loads back as it was saved) and never start an automatic save.
    void StoreSample(GraphSample &sample, bool fromFile = false);
    bool IsShown() const { return shown; }
    // The course window that "COG " shows and hides and that the redraw hands the course to.
    void SetCogDisplay(TfCogDisplay *window) { cogDisplay = window; }
    // Whether the main window's port is open: the graph opens holding when it is not.
    void SetPortOpenQuery(std::function<bool()> query) { portOpen = std::move(query); }

    bool GetLinearGrid() const { return linearGrid; }
    void SetLinearGrid(bool on);
    bool GetLogGrid() const { return logGrid; }
    void SetLogGrid(bool on);
    int GetBmpSaveFileIndex() const { return bmpSaveFileIndex; }
    void SetBmpSaveFileIndex(int index) { bmpSaveFileIndex = index; }
    int GetDataSaveFileIndex() const { return dataSaveFileIndex; }
    void SetDataSaveFileIndex(int index) { dataSaveFileIndex = index; }
    const QString &GetStartDirectory() const { return startDirectory; }
    void SetStartDirectory(const QString &directory) { startDirectory = directory; }

    // The received set: the main loop fills it and raises the flag; the next stored sample
    // takes it over as the shown set, which the status panel draws and data files save.
    DeviceIdentity &ReceivedIdentity(IdentityIndex which) { return receivedIdentities[which]; }
    void SetIdentityReceived() { identityReceived = true; }
    bool IsIdentityReceived() const { return identityReceived; }
    const DeviceIdentity &ShownIdentity(IdentityIndex which) const { return shownIdentities[which]; }

    // Form events and controls.
    void GraphicDisplayOnShow();
    void GraphicDisplayOnHide();
    void bClickHold();
    void bClickPause();
    void bClickAutoSave();
    void bClickClear();
    void bClickClose();
    void bClickSaveData();
    void bClickLoadData();
    void bClickSaveGraph();
    void bClickLinearGridOnOff();
    void bClickLogGridOnOff();
    void bClickCogDisplay();
    // A trace's click area: the left button cycles its mode, the right one opens the scale popup.
    void TraceAreaMouseDown(int trace, Qt::MouseButton button, const QPoint &globalPos);
    void cmScaleSubitemClicked(int step);
    // A left click in the plot places the cursor.
    void pbGraphicDisplayClick(const QPoint &at);
    // Holding the left button on a device's area shows its serial number instead of its
    // identity and version; letting go of it shows them again.
    void mdHolvanekSerNum(Qt::MouseButton button = Qt::LeftButton);
    void mdLbSerNum(Qt::MouseButton button = Qt::LeftButton);
    void mdDgpsSerNum(Qt::MouseButton button = Qt::LeftButton);
    void muHolvanekSerNum(Qt::MouseButton button = Qt::LeftButton);
    void muLbSerNum(Qt::MouseButton button = Qt::LeftButton);
    void muDgpsSerNum(Qt::MouseButton button = Qt::LeftButton);

    void Redraw(int newest);
    void UpdateCaption();
    // Writes the `count` samples that end just before slot `end` to the next free numbered data
    // file; nothing (no result) for a count of 0.
    std::optional<NumberedFileResult> WriteDataFile(int end, int count);

    // State that tests and the benchmark read.
    const SampleRing &Ring() const { return ring; }
    const TraceTable &Traces() const { return traces; }
    const GraphLayout &Layout() const { return layout; }
    const QImage &Picture() const { return savedPicture; }
    const QImage &Drawing() const { return drawing; }
    bool IsHolding() const { return hold; }
    bool IsPaused() const { return paused; }
    bool IsAutoSaveOn() const { return autoSave; }
    bool IsLoaded() const { return loaded; }
    int GetCursorOffset() const { return cursorOffset; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildForm();
    GraphView View() const;
    void RecomputePlotFields();
    std::optional<NumberedFileResult> SaveSinceAutoSaveStart();
    void StopAutoSave();
    // Automatic writes cannot ask the user; their failures stay visible in the window.
    void NoteDataFileResult(const std::optional<NumberedFileResult> &result);
    // A message box for a data file that was not written.
    void ReportDataFileFailure(const std::optional<NumberedFileResult> &result);
    // Puts the picture on the screen whatever the pause says: for what the user asked to see.
    void RedrawEvenIfPaused(int newest);
    void UpdateGridCaptions();
    void ShowSerialNumber(IdentityIndex which, Qt::MouseButton button);
    void HideSerialNumbers(Qt::MouseButton button);

    SampleRing ring;
    TraceTable traces;
    GraphLayout layout;
    GraphRenderer renderer;
    QImage drawing;      // every redraw goes here
    QImage savedPicture; // what the screen shows and Save Graph saves; kept while paused
    DeviceIdentitySet shownIdentities{};
    DeviceIdentitySet receivedIdentities{};
    bool identityReceived = false;

    bool shown = false;
    bool hold = false;
    bool holdStampPending = false;
    bool paused = false;
    bool autoSave = false;
    bool loaded = false;
    bool loadedHold = false;
    bool scrollToEnd = false;
    TickTimer sampleTimer;
    std::uint32_t sampleStart = 0;
    std::array<bool, 3> serialNumberShown{};
    int cursorOffset = 0;
    int newestShown = 0;
    std::optional<int> panelCourse;
    QString loadedFileName;
    int popupTrace = 0;

    bool linearGrid = true;
    bool logGrid = true;
    int bmpSaveFileIndex = 1;
    int dataSaveFileIndex = 1;
    QString startDirectory;
    TfCogDisplay *cogDisplay = nullptr;
    std::function<bool()> portOpen;

    // Components, named as the form names them.
    QWidget *pbGraphicDisplay = nullptr;
    QScrollBar *sbGraphTime = nullptr;
    QPushButton *bHold = nullptr, *bPause = nullptr, *bAutoSave = nullptr, *bClear = nullptr,
                *bClose = nullptr;
    QPushButton *bSaveData = nullptr, *bLoadData = nullptr, *bSaveGraph = nullptr;
    QPushButton *bLinearGridOnOff = nullptr, *bLogGridOnOff = nullptr, *bCogDisplay = nullptr;
    QLabel *lHolding = nullptr, *lPaused = nullptr, *lAutoSave = nullptr, *lDataFileNote = nullptr;
    QMenu *cmChangeScale = nullptr;
    std::array<QAction *, 6> scaleItems{};
};
