#include "TfGraphicDisplay.h"

#include "GraphDataFile.h"
#include "TfCogDisplay.h"

#include "Clock.h"
#include "Dialogs.h"
#include "VersionInfo.h"
#include "WholeFile.h"

#include <QAction>
#include <QBuffer>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <cstring>
#include <vector>

namespace {

// The picture box: shows the saved picture, so a repaint while paused keeps the paused picture.
class PaintBox : public QWidget {
public:
    PaintBox(QWidget *parent, const QImage &shownPicture, std::function<void(QMouseEvent *)> press)
        : QWidget(parent), picture(shownPicture), onPress(std::move(press)) {}

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.drawImage(0, 0, picture);
    }
    void mousePressEvent(QMouseEvent *event) override { onPress(event); }

private:
    const QImage &picture;
    std::function<void(QMouseEvent *)> onPress;
};

// An invisible area over the picture that takes mouse presses and releases.
class ClickArea : public QWidget {
public:
    ClickArea(QWidget *parent, const char *name, const QRect &rect, std::function<void(QMouseEvent *)> press,
              std::function<void(QMouseEvent *)> release = {})
        : QWidget(parent), onPress(std::move(press)), onRelease(std::move(release)) {
        setObjectName(name);
        setGeometry(rect);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override { onPress(event); }
    void mouseReleaseEvent(QMouseEvent *event) override {
        if (onRelease)
            onRelease(event);
    }

private:
    std::function<void(QMouseEvent *)> onPress;
    std::function<void(QMouseEvent *)> onRelease;
};

constexpr std::array<const char *, kTraceCount> kTraceAreas{"sSpeedTraceOnOff",      "sCourseTraceOnOff",
                                                            "sOffsetErrTraceOnOff",  "sAngleErrTraceOnOff",
                                                            "sWheelAngleTraceOnOff", "sSolenoidTraceOnOff"};
constexpr std::array<const char *, 3> kDeviceAreas{"sHolvanekSerNum", "sLbSerNum", "sDgpsSerNum"};
constexpr std::array<const char *, 6> kScaleItems{"cmChangeScale_10X",       "cmChangeScale_5X",
                                                  "cmChangeScale_2X",        "cmChangeScale_1X",
                                                  "cmChangeScale_50Percent", "cmChangeScale_25Percent"};

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption, const QRect &rect) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    return button;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, const QRect &rect) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setStyleSheet("color: #c00000; font-weight: bold;");
    label->hide();
    return label;
}

void CopyStamp(char (&destination)[10], const QString &text) {
    const QByteArray bytes = text.toLatin1();
    std::memset(destination, 0, sizeof destination);
    std::memcpy(destination, bytes.constData(), std::min<std::size_t>(bytes.size(), sizeof destination - 1));
}

QString FailureText(const NumberedFileResult &result, const QString &directory) {
    if (result.outcome == NumberedFileResult::Outcome::NoFreeName)
        return QString("No free file name in %1 - %2 numbers are taken")
            .arg(directory)
            .arg(kNumberedFileTries);
    return QString("Unable to write file - %1").arg(result.path);
}

} // namespace

TfGraphicDisplay::TfGraphicDisplay(QWidget *parent)
    : QWidget(parent, Qt::Window), traces(InitialTraces()),
      layout(ComputeLayout(kPictureWidth, kPictureHeight)),
      drawing(kPictureWidth, kPictureHeight, QImage::Format_RGB32),
      savedPicture(kPictureWidth, kPictureHeight, QImage::Format_RGB32) {
    setObjectName("fGraphicDisplay");
    drawing.fill(Qt::white);
    savedPicture.fill(Qt::white);
    BuildForm();
    sampleStart = sampleTimer.Now();
    bLoadData->setEnabled(false);
    UpdateGridCaptions();
    UpdateCaption();
}

TfGraphicDisplay::~TfGraphicDisplay() = default;

void TfGraphicDisplay::BuildForm() {
    setFixedSize(kPictureWidth + 8, 564);
    pbGraphicDisplay = new PaintBox(this, savedPicture, [this](QMouseEvent *e) {
        if (e->button() == Qt::LeftButton)
            pbGraphicDisplayClick(e->position().toPoint());
    });
    pbGraphicDisplay->setObjectName("pbGraphicDisplay");
    pbGraphicDisplay->setGeometry(4, 4, kPictureWidth, kPictureHeight);

    for (int i = 0; i < kTraceCount; ++i)
        new ClickArea(
            pbGraphicDisplay, kTraceAreas[i], QRect(154, layout.RowY(2 * i) - 2, 227, 18),
            [this, i](QMouseEvent *e) { TraceAreaMouseDown(i, e->button(), e->globalPosition().toPoint()); });
    using MouseHandler = void (TfGraphicDisplay::*)(Qt::MouseButton);
    const std::array<std::pair<MouseHandler, MouseHandler>, 3> deviceHandlers{
        {{&TfGraphicDisplay::mdHolvanekSerNum, &TfGraphicDisplay::muHolvanekSerNum},
         {&TfGraphicDisplay::mdLbSerNum, &TfGraphicDisplay::muLbSerNum},
         {&TfGraphicDisplay::mdDgpsSerNum, &TfGraphicDisplay::muDgpsSerNum}}};
    for (int d = 0; d < 3; ++d) {
        const MouseHandler down = deviceHandlers[static_cast<std::size_t>(d)].first;
        const MouseHandler up = deviceHandlers[static_cast<std::size_t>(d)].second;
        new ClickArea(
            pbGraphicDisplay, kDeviceAreas[d], QRect(0, layout.RowY(9 + d) - 2, 154, 18),
            [this, down](QMouseEvent *e) { (this->*down)(e->button()); },
            [this, up](QMouseEvent *e) { (this->*up)(e->button()); });
    }

    // Only shows where the picture stands in the ring; the user never moves it.
    sbGraphTime = new QScrollBar(Qt::Horizontal, this);
    sbGraphTime->setObjectName("sbGraphTime");
    sbGraphTime->setGeometry(4, kPictureHeight + 6, kPictureWidth, 16);
    sbGraphTime->setEnabled(false);
    sbGraphTime->hide();

    const int row1 = kPictureHeight + 28;
    const int row2 = row1 + 30;
    bHold = MakeButton(this, "bHold", "&Hold", {4, row1, 90, 26});
    bPause = MakeButton(this, "bPause", "&Pause", {98, row1, 90, 26});
    bAutoSave = MakeButton(this, "bAutoSave", "&Auto Save On", {192, row1, 110, 26});
    bClear = MakeButton(this, "bClear", "Clear", {306, row1, 70, 26});
    bSaveData = MakeButton(this, "bSaveData", "&Save Data", {380, row1, 90, 26});
    bLoadData = MakeButton(this, "bLoadData", "&Load Data", {474, row1, 90, 26});
    bSaveGraph = MakeButton(this, "bSaveGraph", "Save &Graph", {568, row1, 90, 26});
    bClose = MakeButton(this, "bClose", "Close", {700, row1, 90, 26});
    bLinearGridOnOff = MakeButton(this, "bLinearGridOnOff", "Linear Grid Off", {4, row2, 110, 26});
    bLogGridOnOff = MakeButton(this, "bLogGridOnOff", "Log Grid Off", {118, row2, 100, 26});
    bCogDisplay = MakeButton(this, "bCogDisplay", "COG ", {222, row2, 50, 26});
    // Playback buttons of the form; they have no action.
    int x = 280;
    for (const auto &[name, caption] : {std::pair{"spToFront", "|<"},
                                        {"sbReverseFast", "<<"},
                                        {"sbReverse", "<"},
                                        {"sbPause", "||"},
                                        {"sbForward", ">"},
                                        {"sbForwardFast", ">>"},
                                        {"sbToEnd", ">|"}}) {
        MakeButton(this, name, caption, {x, row2, 28, 26});
        x += 30;
    }
    lHolding = MakeLabel(this, "lHolding", "HOLDING", {500, row2 + 4, 80, 18});
    lPaused = MakeLabel(this, "lPaused", "PAUSED", {580, row2 + 4, 70, 18});
    lAutoSave = MakeLabel(this, "lAutoSave", "AUTO SAVE", {650, row2 + 4, 100, 18});
    lDataFileNote = MakeLabel(this, "lDataFileNote", QString(), {4, row2 + 30, kPictureWidth, 18});

    connect(bHold, &QPushButton::clicked, this, &TfGraphicDisplay::bClickHold);
    connect(bPause, &QPushButton::clicked, this, &TfGraphicDisplay::bClickPause);
    connect(bAutoSave, &QPushButton::clicked, this, &TfGraphicDisplay::bClickAutoSave);
    connect(bClear, &QPushButton::clicked, this, &TfGraphicDisplay::bClickClear);
    connect(bClose, &QPushButton::clicked, this, &TfGraphicDisplay::bClickClose);
    connect(bSaveData, &QPushButton::clicked, this, &TfGraphicDisplay::bClickSaveData);
    connect(bLoadData, &QPushButton::clicked, this, &TfGraphicDisplay::bClickLoadData);
    connect(bSaveGraph, &QPushButton::clicked, this, &TfGraphicDisplay::bClickSaveGraph);
    connect(bLinearGridOnOff, &QPushButton::clicked, this, &TfGraphicDisplay::bClickLinearGridOnOff);
    connect(bLogGridOnOff, &QPushButton::clicked, this, &TfGraphicDisplay::bClickLogGridOnOff);
    connect(bCogDisplay, &QPushButton::clicked, this, &TfGraphicDisplay::bClickCogDisplay);

    cmChangeScale = new QMenu(this);
    cmChangeScale->setObjectName("cmChangeScale");
    for (int i = 0; i < 6; ++i) {
        QAction *item = cmChangeScale->addAction(QString());
        item->setObjectName(kScaleItems[i]);
        scaleItems[i] = item;
        if (i == 0) {
            item->setEnabled(false);
            continue;
        }
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, i] { cmScaleSubitemClicked(i - 1); });
    }
}

GraphView TfGraphicDisplay::View() const {
    return {ring, traces, layout, shownIdentities, linearGrid, logGrid, cursorOffset, serialNumberShown};
}

// ---- Samples ----------------------------------------------------------------------------------

void TfGraphicDisplay::AddSample(GraphSample &sample) {
    if (!shown)
        return;
    traces[4].name = sample.yawRateFlag == '1' ? "YawRate" : "WheelAngle";
    if (!sampleTimer.ElapsedOver(sampleStart, 100))
        return;
    sampleStart = sampleTimer.Now();
    if (hold) {
        // The picture follows the scroll bar, which stays where the last live redraw or a load
        // left it.
        if (sbGraphTime->isHidden() || ring.Count() < 2)
            return;
        const int position = std::min(sbGraphTime->value(), sbGraphTime->maximum());
        Redraw(SampleRing::Wrap(ring.Newest() + position - sbGraphTime->maximum()));
        return;
    }
    loaded = false;
    const int slot = ring.WriteIndex();
    const QDateTime now = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(platform::Now()));
    CopyStamp(sample.dat, now.toString("MM/dd/yy"));
    CopyStamp(sample.tim, now.toString("hh:mm:ss"));
    StoreSample(sample);
    Redraw(slot);
}

void TfGraphicDisplay::StoreSample(GraphSample &sample, bool fromFile) {
    if (!fromFile) {
        sample.hld = holdStampPending ? 1 : 0;
        holdStampPending = false;
    }
    if (identityReceived && !loadedHold) {
        identityReceived = false;
        shownIdentities = receivedIdentities;
    }
    ComputePlotFields(sample, traces, layout);
    ring.Put(sample);
    if (!fromFile && autoSave && ring.WriteIndex() == ring.AutoSaveStart())
        NoteDataFileResult(WriteDataFile(ring.WriteIndex(), SampleRing::kSize));
}

void TfGraphicDisplay::RecomputePlotFields() {
    const int start = SampleRing::StartOf(ring.WriteIndex(), ring.Count());
    for (int i = 0; i < ring.Count(); ++i)
        ComputePlotFields(ring.At(start + i), traces, layout);
}

// ---- Drawing ----------------------------------------------------------------------------------

void TfGraphicDisplay::Redraw(int newest) {
    newestShown = newest;
    if (const std::optional<int> course = renderer.Draw(drawing, View(), newest))
        panelCourse = course;
    if (!paused) {
        std::memcpy(savedPicture.bits(), drawing.constBits(),
                    static_cast<std::size_t>(drawing.sizeInBytes()));
        pbGraphicDisplay->update();
    }
    if (ring.Count() > layout.samplesShown) {
        // The scroll bar's range ends where its last page starts.
        sbGraphTime->setRange(0, ring.Count() - layout.samplesShown);
        sbGraphTime->setPageStep(layout.samplesShown);
        sbGraphTime->show();
        if (!hold || scrollToEnd) {
            scrollToEnd = false;
            sbGraphTime->setValue(sbGraphTime->maximum());
        }
    } else {
        sbGraphTime->hide();
    }
    if (cogDisplay && cogDisplay->isVisible() && panelCourse)
        cogDisplay->SetCourse(*panelCourse);
}

void TfGraphicDisplay::RedrawEvenIfPaused(int newest) {
    const bool wasPaused = paused;
    paused = false;
    Redraw(newest);
    paused = wasPaused;
}

void TfGraphicDisplay::UpdateCaption() {
    // Long names keep their end, where the file's own name is.
    const QString name = !loaded                      ? QStringLiteral("Incomming Data")
                         : loadedFileName.size() > 53 ? "..." + loadedFileName.right(53)
                                                      : loadedFileName;
    setWindowTitle("Graphic Display of " + name);
}

void TfGraphicDisplay::UpdateGridCaptions() {
    bLinearGridOnOff->setText(linearGrid ? "Linear Grid Off" : "Linear Grid On");
    bLogGridOnOff->setText(logGrid ? "Log Grid Off" : "Log Grid On");
}

void TfGraphicDisplay::SetLinearGrid(bool on) {
    linearGrid = on;
    UpdateGridCaptions();
}

void TfGraphicDisplay::SetLogGrid(bool on) {
    logGrid = on;
    UpdateGridCaptions();
}

void TfGraphicDisplay::bClickLinearGridOnOff() {
    SetLinearGrid(!linearGrid);
    Redraw(newestShown);
}

void TfGraphicDisplay::bClickLogGridOnOff() {
    SetLogGrid(!logGrid);
    Redraw(newestShown);
}

void TfGraphicDisplay::TraceAreaMouseDown(int trace, Qt::MouseButton button, const QPoint &globalPos) {
    TraceDescriptor &t = traces[static_cast<std::size_t>(trace)];
    if (button == Qt::LeftButton) {
        t.CycleMode();
        Redraw(newestShown);
    } else if (button == Qt::RightButton) {
        popupTrace = trace;
        scaleItems[0]->setText(t.isSigned ? "Signed" : "Unsigned");
        for (int step = 0; step < 5; ++step) {
            scaleItems[step + 1]->setText(t.steps[step].label);
            scaleItems[step + 1]->setChecked(step == t.scaleStep);
        }
        cmChangeScale->popup(globalPos);
    }
}

void TfGraphicDisplay::cmScaleSubitemClicked(int step) {
    TraceDescriptor &t = traces[static_cast<std::size_t>(popupTrace)];
    if (step < 0 || step >= 5 || step == t.scaleStep)
        return;
    t.scaleStep = step;
    t.fullScale = t.steps[step].fullScale;
    RecomputePlotFields();
    Redraw(newestShown);
}

void TfGraphicDisplay::pbGraphicDisplayClick(const QPoint &at) {
    if (at.y() >= layout.PanelTop())
        return;
    const int oldestShown = std::max(std::min(layout.samplesShown, ring.Count()) - 1, 0);
    if (at.x() <= layout.left) {
        cursorOffset = oldestShown;
    } else if (at.x() >= layout.right) {
        cursorOffset = 0;
    } else {
        const int back = layout.right - at.x();
        cursorOffset = back / layout.minor + (back % layout.minor > layout.minor / 2 ? 1 : 0);
    }
    // At once: while holding few samples no sample time would bring the next redraw.
    Redraw(newestShown);
}

void TfGraphicDisplay::ShowSerialNumber(IdentityIndex which, Qt::MouseButton button) {
    if (button != Qt::LeftButton)
        return;
    serialNumberShown[which] = true;
    Redraw(newestShown);
}

void TfGraphicDisplay::HideSerialNumbers(Qt::MouseButton button) {
    if (button != Qt::LeftButton)
        return;
    serialNumberShown.fill(false);
    Redraw(newestShown);
}

void TfGraphicDisplay::mdHolvanekSerNum(Qt::MouseButton button) {
    ShowSerialNumber(Steering, button);
}

void TfGraphicDisplay::mdLbSerNum(Qt::MouseButton button) {
    ShowSerialNumber(LightBar, button);
}

void TfGraphicDisplay::mdDgpsSerNum(Qt::MouseButton button) {
    ShowSerialNumber(Dgps, button);
}

void TfGraphicDisplay::muHolvanekSerNum(Qt::MouseButton button) {
    HideSerialNumbers(button);
}

void TfGraphicDisplay::muLbSerNum(Qt::MouseButton button) {
    HideSerialNumbers(button);
}

void TfGraphicDisplay::muDgpsSerNum(Qt::MouseButton button) {
    HideSerialNumbers(button);
}

void TfGraphicDisplay::bClickCogDisplay() {
    if (!cogDisplay)
        return;
    if (cogDisplay->isVisible()) {
        cogDisplay->hide();
        return;
    }
    cogDisplay->show();
    // At once: while holding few samples no redraw would hand it over.
    if (panelCourse)
        cogDisplay->SetCourse(*panelCourse);
}

// ---- Modes ------------------------------------------------------------------------------------

void TfGraphicDisplay::bClickHold() {
    hold = !hold;
    if (hold) {
        holdStampPending = true;
        bHold->setText("&Hold Off");
        lHolding->show();
        bLoadData->setEnabled(true);
        bPause->setEnabled(false);
    } else {
        bHold->setText("&Hold");
        bLoadData->setEnabled(false);
        lHolding->hide();
        bPause->setEnabled(true);
        if (loadedHold) {
            // The loaded file's rows and identities give way to the live ones.
            loadedHold = false;
            shownIdentities = receivedIdentities;
            bClickClear();
        }
    }
    UpdateCaption();
}

void TfGraphicDisplay::bClickPause() {
    paused = !paused;
    bPause->setText(paused ? "&Pause Off" : "&Pause");
    lPaused->setVisible(paused);
    UpdateCaption();
}

void TfGraphicDisplay::bClickAutoSave() {
    autoSave = !autoSave;
    if (autoSave) {
        bAutoSave->setText("&Auto Save Off");
        lAutoSave->show();
        ring.SetAutoSaveStart(ring.WriteIndex());
    } else {
        bAutoSave->setText("&Auto Save On");
        lAutoSave->hide();
        SaveSinceAutoSaveStart();
    }
}

std::optional<NumberedFileResult> TfGraphicDisplay::SaveSinceAutoSaveStart() {
    if (ring.WriteIndex() == ring.AutoSaveStart())
        return std::nullopt;
    const int count = SampleRing::Wrap(ring.WriteIndex() - ring.AutoSaveStart());
    std::optional<NumberedFileResult> result = WriteDataFile(ring.WriteIndex(), count);
    NoteDataFileResult(result);
    return result;
}

// Automatic saving ends with the recording it saves, and the button and label say so.
void TfGraphicDisplay::StopAutoSave() {
    autoSave = false;
    bAutoSave->setText("&Auto Save On");
    lAutoSave->hide();
}

void TfGraphicDisplay::bClickClear() {
    // The samples waiting for their automatic save are kept, as Load Data and Close keep them.
    if (autoSave)
        SaveSinceAutoSaveStart();
    layout = ComputeLayout(kPictureWidth, kPictureHeight);
    ring.Clear();
    loaded = false;
    StopAutoSave();
    panelCourse.reset();
    RedrawEvenIfPaused(0);
    UpdateCaption();
}

void TfGraphicDisplay::bClickClose() {
    close();
}

void TfGraphicDisplay::closeEvent(QCloseEvent *event) {
    // However the window is closed, samples waiting for their automatic save are written; a
    // failure is said at once, since a note in a closing window is never read.
    if (autoSave)
        ReportDataFileFailure(SaveSinceAutoSaveStart());
    QWidget::closeEvent(event);
}

void TfGraphicDisplay::GraphicDisplayOnShow() {
    bClickClear();
    shown = true;
    if (!portOpen || !portOpen()) {
        hold = false;
        bClickHold();
    }
    UpdateCaption();
}

void TfGraphicDisplay::GraphicDisplayOnHide() {
    if (cogDisplay && cogDisplay->isVisible())
        cogDisplay->hide();
    shown = false;
}

// Minimising and restoring are not closing and opening.
void TfGraphicDisplay::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        GraphicDisplayOnShow();
}

void TfGraphicDisplay::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        GraphicDisplayOnHide();
}

// ---- Files ------------------------------------------------------------------------------------

std::optional<NumberedFileResult> TfGraphicDisplay::WriteDataFile(int end, int count) {
    if (count == 0)
        return std::nullopt;
    ring.SetAutoSaveStart(end);
    const std::string version = platform::ProgramVersion().fileVersion.toStdString();
    return WriteNumberedFile(startDirectory, "Pelmora%03d.txt", dataSaveFileIndex, [&](QIODevice &out) {
        return GraphDataFile::Write(out, ring, end, count, shownIdentities, version);
    });
}

void TfGraphicDisplay::NoteDataFileResult(const std::optional<NumberedFileResult> &result) {
    if (!result)
        return;
    const bool failed = result->outcome != NumberedFileResult::Outcome::Written;
    lDataFileNote->setText(failed ? "Data not saved: " + FailureText(*result, startDirectory) : QString());
    lDataFileNote->setVisible(failed);
}

void TfGraphicDisplay::ReportDataFileFailure(const std::optional<NumberedFileResult> &result) {
    if (result && result->outcome != NumberedFileResult::Outcome::Written)
        platform::ShowMessageBox({FailureText(*result, startDirectory), "File Save Error",
                                  platform::MessageButtons::Ok, platform::MessageIcon::Error});
}

void TfGraphicDisplay::bClickSaveData() {
    const std::optional<NumberedFileResult> result = WriteDataFile(ring.WriteIndex(), ring.Count());
    NoteDataFileResult(result);
    ReportDataFileFailure(result);
}

void TfGraphicDisplay::bClickSaveGraph() {
    const NumberedFileResult result =
        WriteNumberedFile(startDirectory, "Pelmora%03d.bmp", bmpSaveFileIndex,
                          [this](QIODevice &out) { return savedPicture.save(&out, "BMP"); });
    if (result.outcome != NumberedFileResult::Outcome::Written)
        platform::ShowMessageBox({FailureText(result, startDirectory), "File Save Error",
                                  platform::MessageButtons::Ok, platform::MessageIcon::Error});
}

void TfGraphicDisplay::bClickLoadData() {
    if (!hold)
        return; // the rows of a file would be overwritten by the next live sample
    // Until a file is read, nothing changes: a cancelled or refused load leaves the rows, the
    // identities and the caption of what is shown.
    platform::FileDialogRequest odLoadData;
    odLoadData.caption = QStringLiteral("Load Data");
    odLoadData.directory = startDirectory;
    odLoadData.filter = QStringLiteral("Data files (*.txt)|*.txt|All files (*.*)|*.*");
    const QString name = platform::ShowFileDialog(odLoadData);
    if (name.isEmpty()) {
        UpdateCaption();
        return;
    }
    // The file is read whole before anything changes: one whose reads fail is refused, never
    // shown in part as if it were the whole file, and a pipe or a device is never opened.
    std::string contents;
    switch (platform::ReadWholeFile(QFile::encodeName(name).toStdString(), contents,
                                    GraphDataFile::kMaxFileBytes)) {
    case platform::ReadOutcome::Read:
        break;
    case platform::ReadOutcome::ReadFailed:
        platform::ShowMessageBox({"Unable to read file - " + name, "File Error"});
        return;
    default:
        platform::ShowMessageBox({"Unable to open file - " + name, "File Open Error"});
        return;
    }
    QByteArray bytes = QByteArray::fromRawData(contents.data(), static_cast<qsizetype>(contents.size()));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    GraphDataFile::LineReader reader(file);
    std::string header;
    const int version =
        reader.ReadLine(header, GraphDataFile::kHeaderSearchBytes) ? GraphDataFile::HeaderVersion(header) : 0;
    DeviceIdentitySet identities{};
    std::vector<GraphSample> rows;
    GraphDataFile::RowsRead rowsRead = GraphDataFile::RowsRead::All;
    if (version != 0)
        rowsRead = GraphDataFile::ReadRows(reader, version, identities, [&rows](GraphSample &sample) {
            rows.push_back(sample);
            return rows.size() < static_cast<std::size_t>(SampleRing::kSize);
        });
    // A number too big for its column is no value this program wrote: the file is refused
    // rather than shown with the number wrapped into another.
    if (version == 0 || rowsRead == GraphDataFile::RowsRead::NumberOutOfRange) {
        platform::ShowMessageBox({"File Format Error - " + name, "File Error"});
        return;
    }
    if (autoSave) {
        // The file's rows take the recording's place: what it holds beyond the last automatic
        // save is written first, as closing the window writes it.
        SaveSinceAutoSaveStart();
        StopAutoSave();
    }
    loaded = true;
    loadedFileName = name;
    shownIdentities = identities;
    ring.Empty();
    scrollToEnd = true;
    loadedHold = true;
    for (GraphSample &sample : rows)
        StoreSample(sample, true);
    // The file asked for is shown, also when the picture was paused before holding.
    RedrawEvenIfPaused(ring.Newest());
    UpdateCaption();
    if (rowsRead == GraphDataFile::RowsRead::RowsLeftOut)
        platform::ShowMessageBox(
            {QString("Only the first %1 samples of %2 were loaded").arg(SampleRing::kSize).arg(name),
             "Load Data", platform::MessageButtons::Ok, platform::MessageIcon::Information});
}
