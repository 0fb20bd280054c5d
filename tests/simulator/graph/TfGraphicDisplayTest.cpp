#include "TfGraphicDisplay.h"
#include "GraphDataFile.h"
#include "TfCogDisplay.h"

#include "Clock.h"
#include "Dialogs.h"
#include "FileFaults.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <numbers>

namespace {

// A graph window on a virtual clock, its files in a directory of their own, its boxes answered
// and recorded.
class Graph : public ::testing::Test {
protected:
    void SetUp() override {
        graph.SetStartDirectory(dir.path());
        graph.SetPortOpenQuery([this] { return portOpen; });
        platform::SetMessageHandler([this](const platform::MessageRequest &r) {
            messages.push_back(r.text + " | " + r.caption);
            return platform::MessageResult::Ok;
        });
        platform::SetFileDialogHandler([this](const platform::FileDialogRequest &r) {
            dialogFilter = r.filter;
            return chosenFile;
        });
    }
    void TearDown() override {
        platform::SetMessageHandler({});
        platform::SetFileDialogHandler({});
    }
    // The next tick that is due to sample.
    void Sample(GraphSample sample = {}) {
        clock.Advance(101);
        graph.AddSample(sample);
    }
    // Stores n samples numbered from `first` in latUMin, without the sample period or a redraw.
    void Store(int n, int first = 0) {
        GraphSample s{};
        for (int i = 0; i < n; ++i) {
            s.latUMin = first + i;
            graph.StoreSample(s);
        }
    }
    QStringList Files(const char *pattern) const {
        return QDir(dir.path()).entryList({pattern}, QDir::Files);
    }
    // The data rows of a data file.
    int Rows(const QString &name) const {
        QFile f(dir.filePath(name));
        f.open(QIODevice::ReadOnly);
        return static_cast<int>(f.readAll().count("\r\n")) - 2;
    }
    QPushButton *Button(const char *name) { return graph.findChild<QPushButton *>(name); }
    QLabel *Label(const char *name) { return graph.findChild<QLabel *>(name); }
    QColor Pixel(int x, int y) const { return graph.Picture().pixelColor(x, y); }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    bool portOpen = true;
    std::vector<QString> messages;
    QString chosenFile;
    QString dialogFilter;
    TfGraphicDisplay graph; // after the clock: its sample timer starts on it
};

const QColor kBackground(0xFD, 0xFB, 0xF3);

} // namespace

TEST_F(Graph, SamplesMoreThan100msApartWhileShown) {
    GraphSample s{};
    s.yawRateFlag = '1';
    clock.Advance(500);
    graph.AddSample(s);
    EXPECT_EQ(graph.Ring().Count(), 0); // hidden
    graph.show();
    Sample();
    ASSERT_EQ(graph.Ring().Count(), 1);
    for (int tick = 1; tick <= 10; ++tick) { // exactly 100 ms is not enough
        clock.Advance(10);
        graph.AddSample(s);
    }
    EXPECT_EQ(graph.Ring().Count(), 1);
    EXPECT_EQ(graph.Traces()[4].name, "YawRate");
    clock.Advance(10);
    s.yawRateFlag = '0';
    graph.AddSample(s);
    EXPECT_EQ(graph.Ring().Count(), 2);
    EXPECT_EQ(graph.Traces()[4].name, "WheelAngle");
    // The caller's record carries the stamps and rows of the stored sample.
    EXPECT_EQ(std::strlen(s.dat), 8u);
    EXPECT_EQ(s.tim[2], ':');
    EXPECT_EQ(s.p2, graph.Layout().centre);
}

TEST_F(Graph, TheRingOverwritesItsOldestSample) {
    Store(4001);
    EXPECT_EQ(graph.Ring().Count(), 4000);
    EXPECT_EQ(graph.Ring().At(0).latUMin, 4000);
    EXPECT_EQ(graph.Ring().At(1).latUMin, 1);
    EXPECT_EQ(graph.Ring().WriteIndex(), 1);
}

TEST_F(Graph, AutoSaveWritesEachFilledRingAndTheRestWhenSwitchedOff) {
    graph.bClickAutoSave();
    EXPECT_EQ(Button("bAutoSave")->text(), "&Auto Save Off");
    Store(3999);
    EXPECT_TRUE(Files("*.txt").isEmpty());
    Store(1, 3999);
    EXPECT_EQ(Files("*.txt"), QStringList{"Pelmora001.txt"});
    EXPECT_EQ(Rows("Pelmora001.txt"), 4000);
    Store(4000);
    EXPECT_EQ(Files("*.txt").size(), 2);
    Store(250);
    graph.bClickAutoSave();
    EXPECT_EQ(Files("*.txt").size(), 3);
    EXPECT_EQ(Rows("Pelmora003.txt"), 250);
    EXPECT_EQ(graph.GetDataSaveFileIndex(), 4);
}

TEST_F(Graph, ClearStopsAutoSaveAndSaysSo) {
    graph.bClickAutoSave();
    graph.bClickClear();
    EXPECT_FALSE(graph.IsAutoSaveOn());
    EXPECT_EQ(Button("bAutoSave")->text(), "&Auto Save On");
    EXPECT_TRUE(Label("lAutoSave")->isHidden());
}

TEST_F(Graph, ClearWritesTheSamplesWaitingForAutoSave) {
    graph.bClickAutoSave();
    Store(10);
    graph.bClickClear();
    EXPECT_EQ(Rows("Pelmora001.txt"), 10);
}

TEST_F(Graph, CloseWritesTheSamplesWaitingForAutoSave) {
    graph.show();
    graph.bClickAutoSave();
    Store(10);
    Button("bClose")->click();
    EXPECT_FALSE(graph.IsShown());
    EXPECT_EQ(Rows("Pelmora001.txt"), 10);
}

// A note in a window being closed is never read.
TEST_F(Graph, CloseSaysAtOnceWhenItsDataFileCannotBeWritten) {
    graph.show();
    graph.bClickAutoSave();
    Store(10);
    graph.SetStartDirectory(dir.filePath("missing"));
    Button("bClose")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("Unable to write file - " + dir.filePath("missing/Pelmora001.txt")));
}

TEST_F(Graph, HoldMarksTheFirstSampleAfterIt) {
    graph.show();
    Sample();
    graph.bClickHold();
    EXPECT_EQ(Button("bHold")->text(), "&Hold Off");
    EXPECT_TRUE(Button("bLoadData")->isEnabled());
    EXPECT_FALSE(Button("bPause")->isEnabled());
    Sample();
    EXPECT_EQ(graph.Ring().Count(), 1); // nothing stored while holding
    graph.bClickHold();
    Sample();
    Sample();
    EXPECT_EQ(graph.Ring().At(0).hld, 0);
    EXPECT_EQ(graph.Ring().At(1).hld, 1);
    EXPECT_EQ(graph.Ring().At(2).hld, 0);
    // The hold band lies half a sample before the marked one.
    const GraphLayout &g = graph.Layout();
    EXPECT_EQ(Pixel(g.right - g.minor - g.minor / 2, g.top + 30), QColor(0xDB, 0xE6, 0xF7));
}

TEST_F(Graph, OpensHoldingWhenThePortIsClosed) {
    portOpen = false;
    graph.show();
    EXPECT_TRUE(graph.IsHolding());
    EXPECT_TRUE(Button("bLoadData")->isEnabled());
    EXPECT_EQ(graph.windowTitle(), "Graphic Display of Incomming Data");
    graph.hide();
    portOpen = true;
    graph.show();
    EXPECT_TRUE(graph.IsHolding()); // a hold the user set stays
}

TEST_F(Graph, PauseKeepsThePictureWhileSamplingGoesOn) {
    graph.show();
    GraphSample s{};
    s.offErrCM = 100;
    Sample(s);
    graph.bClickPause();
    EXPECT_FALSE(Label("lPaused")->isHidden());
    const QImage before = graph.Picture().copy();
    s.offErrCM = -200;
    Sample(s);
    EXPECT_EQ(graph.Ring().Count(), 2);
    EXPECT_EQ(graph.Picture(), before);
    EXPECT_NE(graph.Drawing(), before);
    graph.bClickPause();
    EXPECT_EQ(graph.Picture(), before); // until the next sample
    Sample(s);
    EXPECT_EQ(graph.Picture(), graph.Drawing());
}

TEST_F(Graph, AScaleChangeRecomputesEveryStoredSample) {
    GraphSample s{};
    s.offErrCM = 100;
    for (int i = 0; i < 4000; ++i)
        graph.StoreSample(s);
    graph.TraceAreaMouseDown(2, Qt::RightButton, {});
    auto item = [&](const char *name) { return graph.findChild<QAction *>(name); };
    EXPECT_EQ(item("cmChangeScale_10X")->text(), "Signed");
    EXPECT_FALSE(item("cmChangeScale_10X")->isEnabled());
    EXPECT_EQ(item("cmChangeScale_5X")->text(), "10 m/div");
    EXPECT_TRUE(item("cmChangeScale_50Percent")->isChecked());
    item("cmChangeScale_5X")->trigger();
    EXPECT_EQ(graph.Traces()[2].fullScale, 5000);
    const int row = graph.Layout().centre - 100 * graph.Layout().HalfHeight() / 5000;
    for (int slot = 0; slot < 4000; ++slot)
        ASSERT_EQ(graph.Ring().At(slot).p2, row) << slot;
}

TEST_F(Graph, PictureGridsTraceSymbolAndCursor) {
    graph.show();
    const GraphLayout &g = graph.Layout();
    GraphSample s{};
    s.offErrCM = 125; // half the full scale up: row centre - 60
    for (int i = 0; i < 50; ++i)
        Sample(s);
    const int y = g.centre - 60;
    // The oldest of 50 samples sits 49 samples from the right edge.
    EXPECT_EQ(Pixel(g.right - 49 * g.minor - 1, y), QColor(Qt::red));
    EXPECT_NE(Pixel(g.right - 50 * g.minor - 1, y), QColor(Qt::red));
    EXPECT_TRUE(graph.findChild<QScrollBar *>("sbGraphTime")->isHidden());
    // The newest sample's filled square, beside the cursor on the right edge.
    EXPECT_EQ(Pixel(g.right - 2, y - 2), QColor(Qt::red));
    EXPECT_EQ(Pixel(g.right, g.centre + 50), QColor(0, 0x80, 0));
    EXPECT_EQ(Pixel(g.right, g.top - 6), QColor(0, 0x80, 0));
    // Grids: the log scale's decade line, a line within a decade, a linear line.
    const int x = g.left + 3;
    EXPECT_EQ(Pixel(x, g.centre - 40), QColor(0xFF, 0, 0));
    EXPECT_EQ(Pixel(x, g.centre - 12), QColor(0xFF, 0xB3, 0xB3));
    EXPECT_EQ(Pixel(x, g.centre - 2 * g.yStep), QColor(0x80, 0x80, 0x80));
    graph.bClickLinearGridOnOff();
    graph.bClickLogGridOnOff();
    EXPECT_EQ(Button("bLinearGridOnOff")->text(), "Linear Grid On");
    EXPECT_EQ(Pixel(x, g.centre - 2 * g.yStep), kBackground);
    EXPECT_EQ(Pixel(x, g.centre - 40), kBackground);
    // No parameters yet: no panel rules.
    EXPECT_EQ(Pixel(381, g.RowY(3) + 6), kBackground);

    // A click in the plot moves the cursor to the nearest sample.
    graph.pbGraphicDisplayClick({g.right - 2 * g.minor - 4, 100});
    EXPECT_EQ(graph.GetCursorOffset(), 2);
    EXPECT_EQ(Pixel(g.right - 2 * g.minor, g.centre + 50), QColor(0, 0x80, 0));
    graph.pbGraphicDisplayClick({g.left - 5, 100});
    EXPECT_EQ(graph.GetCursorOffset(), 49);

    graph.pbGraphicDisplayClick({g.right + 5, 100});
    EXPECT_EQ(graph.GetCursorOffset(), 0);
    s.firstRsp = 1;
    for (int i = 0; i < 27; ++i)
        Sample(s);
    EXPECT_FALSE(graph.findChild<QScrollBar *>("sbGraphTime")->isHidden());
    EXPECT_EQ(Pixel(381, g.RowY(3) + 6), QColor(0, 0, 0x80));
    // A light rule under each of rows 1 to 11, none under row 0; a dark one under row 7 from 381.
    const QColor rule(0xEA, 0xED, 0xFC);
    for (int row = 0; row <= 11; ++row)
        EXPECT_EQ(Pixel(4, g.RowY(row + 1) - 1), row == 0 ? kBackground : rule) << row;
    EXPECT_EQ(Pixel(383, g.RowY(8) - 1), QColor(0, 0, 0x80));
    EXPECT_EQ(Pixel(379, g.RowY(8) - 1), rule);
}

TEST_F(Graph, HoldingADeviceAreaShowsItsSerialNumberInstead) {
    DeviceIdentity &steering = graph.ReceivedIdentity(TfGraphicDisplay::Steering);
    std::strcpy(steering.identity, "Holvanek SC");
    std::strcpy(steering.version, "1.05");
    std::strcpy(steering.serialNumber, "SC42");
    graph.SetIdentityReceived();
    graph.show();
    Sample();
    const QImage normal = graph.Picture().copy();
    // What the panel shows while the button is held: the serial number line and no version.
    DeviceIdentitySet serialOnly{};
    std::strcpy(serialOnly[TfGraphicDisplay::Steering].identity, "ser num=SC42");
    QImage expected(normal.size(), normal.format());
    GraphRenderer().Draw(expected, {graph.Ring(), graph.Traces(), graph.Layout(), serialOnly},
                         graph.Ring().Newest());

    auto *area = graph.findChild<QWidget *>("sHolvanekSerNum");
    ASSERT_NE(area, nullptr);
    const auto mouse = [&](QEvent::Type type, Qt::MouseButton button) {
        const QPointF at(5, 5);
        QMouseEvent event(type, at, area->mapToGlobal(at), button,
                          type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(area, &event);
    };
    mouse(QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_EQ(graph.Picture(), normal);
    mouse(QEvent::MouseButtonRelease, Qt::RightButton);
    mouse(QEvent::MouseButtonPress, Qt::LeftButton);
    EXPECT_EQ(graph.Picture(), expected);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(graph.Picture(), normal);
    graph.mdHolvanekSerNum();
    EXPECT_EQ(graph.Picture(), expected);
    graph.muDgpsSerNum(); // any release clears all three
    EXPECT_EQ(graph.Picture(), normal);
}

TEST_F(Graph, AnIdentityAndItsVersionNeverDrawOverEachOther) {
    const GraphLayout &g = graph.Layout();
    // The steering controller's row of the panel, between the frame and the divider.
    const auto row = [&](const char *identity, const char *version) {
        DeviceIdentitySet ids{};
        std::strcpy(ids[0].identity, identity);
        std::strcpy(ids[0].version, version);
        SampleRing ring;
        ring.Put(GraphSample{});
        QImage image(graph.Picture().size(), QImage::Format_RGB32);
        GraphRenderer().Draw(image, {ring, graph.Traces(), g, ids}, 0);
        return image.copy(4, g.RowY(9), 150, 14);
    };
    // The columns from the first to the last one a text colours.
    const auto ink = [](const QImage &image) {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(x, y) != kBackground) {
                    columns.push_back(x);
                    break;
                }
        return image.copy(columns.front(), 0, columns.back() - columns.front() + 1, image.height());
    };
    const QImage both = row("Brisken DGPS", "2.10");
    const QImage identity = ink(row("Brisken DGPS", ""));
    const QImage version = ink(row(" ", "2.10"));
    // Both show whole, the version right of the identity.
    int at = 0;
    while (at + version.width() <= both.width() &&
           both.copy(at, 0, version.width(), both.height()) != version)
        ++at;
    ASSERT_LE(at + version.width(), both.width());
    EXPECT_EQ(ink(both.copy(0, 0, at, both.height())), identity);
}

TEST_F(Graph, PanelTextsAreDrawnOnTheBackground) {
    graph.show();
    GraphSample s{};
    s.firstRsp = 1;
    Sample(s);
    // The dark rule under row 7 stops at "Sol Control", blank between its words too.
    const int rule = graph.Layout().RowY(8) - 1;
    EXPECT_EQ(Pixel(383, rule), QColor(0, 0, 0x80));
    EXPECT_EQ(Pixel(414, rule), kBackground);
}

TEST_F(Graph, SaveDataTakesTheNextFreeNumber) {
    for (const char *taken : {"Pelmora007.txt", "Pelmora008.txt"}) {
        QFile f(dir.filePath(taken));
        f.open(QIODevice::WriteOnly);
    }
    graph.SetDataSaveFileIndex(7);
    Store(3);
    Button("bSaveData")->click();
    EXPECT_EQ(Rows("Pelmora009.txt"), 3);
    EXPECT_EQ(graph.GetDataSaveFileIndex(), 10);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Graph, FilesThatCannotBeWrittenAreReported) {
    graph.show();
    Sample();
    graph.SetStartDirectory(dir.filePath("missing"));
    graph.bClickSaveData();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("Unable to write file - " + dir.filePath("missing/Pelmora001.txt")));
    EXPECT_TRUE(messages[0].endsWith("| File Save Error"));
    graph.bClickSaveGraph();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].startsWith("Unable to write file - " + dir.filePath("missing/Pelmora001.bmp")));
    // Automatic saves cannot ask: the window says so.
    graph.bClickAutoSave();
    Sample();
    graph.bClickAutoSave();
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_FALSE(Label("lDataFileNote")->isHidden());
    EXPECT_TRUE(Label("lDataFileNote")->text().contains("Pelmora002.txt"));
}

TEST_F(Graph, ASmallDataFileOnAFullDiskIsReportedAndLeavesNoFile) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString folder = QString::fromStdString(disk.Path());
    graph.SetStartDirectory(folder);
    disk.Fill();
    Store(3);
    graph.bClickSaveData();
    graph.bClickAutoSave();
    Store(3);
    graph.close(); // the tail of an automatic save
    graph.bClickSaveGraph();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "Unable to write file - " + folder + "/Pelmora001.txt | File Save Error");
    EXPECT_EQ(messages[1], "Unable to write file - " + folder + "/Pelmora002.txt | File Save Error");
    EXPECT_EQ(messages[2], "Unable to write file - " + folder + "/Pelmora001.bmp | File Save Error");
    EXPECT_TRUE(QDir(folder).entryList({"Pelmora*"}, QDir::Files).isEmpty());
}

TEST_F(Graph, SaveGraphNeverOverwrites) {
    graph.show();
    Sample();
    QFile existing(dir.filePath("Pelmora001.bmp"));
    existing.open(QIODevice::WriteOnly);
    existing.write("keep");
    existing.close();
    graph.bClickSaveGraph();
    EXPECT_EQ(graph.GetBmpSaveFileIndex(), 3);
    const QImage saved(dir.filePath("Pelmora002.bmp"), "BMP");
    EXPECT_EQ(saved.size(), QSize(786, 448));
    EXPECT_EQ(saved.pixelColor(5, 100), graph.Picture().pixelColor(5, 100));
    existing.open(QIODevice::ReadOnly);
    EXPECT_EQ(existing.readAll(), "keep");
}

TEST_F(Graph, LoadDataWhileHolding) {
    // A file of 5000 rows, the first 4000 of them loaded.
    QFile file(dir.filePath("big.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(GraphDataFile::Header(4) +
                                         "\r\nDevice ID records,Holvanek SC,1.05,SC42,,,,,,,Pelmora,1,\r\n"));
    for (int i = 0; i < 5000; ++i) {
        GraphSample s{};
        s.latUMin = i;
        s.hld = i == 10 ? 1 : 0;
        file.write(QByteArray::fromStdString(GraphDataFile::Row(s) + "\r\n"));
    }
    file.close();
    graph.show();
    chosenFile = file.fileName();
    EXPECT_FALSE(Button("bLoadData")->isEnabled());
    graph.bClickAutoSave();
    Store(3, 100);
    graph.bClickHold();
    Button("bLoadData")->click();
    EXPECT_EQ(dialogFilter, "Data files (*.txt)|*.txt|All files (*.*)|*.*");
    EXPECT_TRUE(graph.IsLoaded());
    EXPECT_EQ(graph.Ring().Count(), 4000);
    EXPECT_EQ(graph.Ring().At(3999).latUMin, 3999);
    EXPECT_EQ(messages, std::vector<QString>{"Only the first 4000 samples of " + file.fileName() +
                                             " were loaded | Load Data"});
    // The file's hold marks are its own.
    EXPECT_EQ(graph.Ring().At(0).hld, 0);
    EXPECT_EQ(graph.Ring().At(10).hld, 1);
    // The recording the file replaces is saved first and ends there; the file's rows are
    // no reason to save.
    EXPECT_EQ(Files("Pelmora*.txt"), QStringList{"Pelmora001.txt"});
    EXPECT_EQ(Rows("Pelmora001.txt"), 3);
    EXPECT_FALSE(graph.IsAutoSaveOn());
    EXPECT_EQ(Button("bAutoSave")->text(), "&Auto Save On");
    EXPECT_STREQ(graph.ShownIdentity(TfGraphicDisplay::Steering).identity, "Holvanek SC");
    EXPECT_EQ(graph.windowTitle(), "Graphic Display of " + file.fileName());
    Sample(); // holding: the picture stays at the loaded file's end
    EXPECT_EQ(graph.Ring().Count(), 4000);

    // Live again: the file's rows and identities give way.
    std::strcpy(graph.ReceivedIdentity(TfGraphicDisplay::Steering).identity, "Live");
    graph.bClickHold();
    EXPECT_EQ(graph.Ring().Count(), 0);
    EXPECT_STREQ(graph.ShownIdentity(TfGraphicDisplay::Steering).identity, "Live");
    EXPECT_EQ(graph.windowTitle(), "Graphic Display of Incomming Data");
    Sample(); // the first live sample after the hold carries its mark
    EXPECT_EQ(graph.Ring().At(0).hld, 1);
}

TEST_F(Graph, LoadDataRefusesWhatItCannotRead) {
    graph.show();
    graph.bClickHold();
    Store(3, 7);
    const auto load = [&](const QString &name, const QByteArray &content) {
        chosenFile = dir.filePath(name);
        QFile f(chosenFile);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        graph.bClickLoadData();
    };
    load("comma.txt",
         QByteArray::fromStdString(GraphDataFile::Header(2) + ",spsDeltaAlpha,vtgWheelAngle\r\n"));
    load("empty.txt", "");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "File Format Error - " + dir.filePath("comma.txt") + " | File Error");
    EXPECT_EQ(messages[1], "File Format Error - " + dir.filePath("empty.txt") + " | File Error");
    EXPECT_FALSE(graph.IsLoaded());

    chosenFile = dir.filePath("none.txt");
    graph.bClickLoadData();
    EXPECT_EQ(messages.back(), "Unable to open file - " + chosenFile + " | File Open Error");
    chosenFile = dir.filePath("unreadable.txt");
    testsupport::MakeUnreadable(chosenFile.toStdString());
    graph.bClickLoadData();
    EXPECT_EQ(messages.back(), "Unable to read file - " + chosenFile + " | File Error");
    // Nothing but a regular file is read: a pipe would hold the window, a device never end.
    chosenFile = dir.filePath("fifo.txt");
    testsupport::MakeFifo(chosenFile.toStdString());
    graph.bClickLoadData();
    EXPECT_EQ(messages.back(), "Unable to open file - " + chosenFile + " | File Open Error");
    chosenFile = dir.filePath("zero.txt");
    if (testsupport::MakeEndlessDevice(chosenFile.toStdString())) {
        graph.bClickLoadData();
        EXPECT_EQ(messages.back(), "Unable to open file - " + chosenFile + " | File Open Error");
    }
    EXPECT_FALSE(graph.IsLoaded());
    EXPECT_EQ(graph.Ring().Count(), 3); // the rows shown stay
    EXPECT_EQ(graph.Ring().At(2).latUMin, 9);

    // A number too big for its column is no value this program wrote: never wrapped into one.
    load("big.txt", QByteArray::fromStdString(GraphDataFile::Header(4) + "\r\n,,0,A,1,2,99999999999\r\n"));
    EXPECT_EQ(messages.back(), "File Format Error - " + dir.filePath("big.txt") + " | File Error");
    EXPECT_FALSE(graph.IsLoaded());

    const std::size_t refused = messages.size();
    load("v3.txt", QByteArray::fromStdString(GraphDataFile::Header(3) + "\r\n"));
    EXPECT_EQ(messages.size(), refused);
    EXPECT_TRUE(graph.IsLoaded());
}

TEST_F(Graph, ARefusedFileKeepsTheShownIdentities) {
    std::strcpy(graph.ReceivedIdentity(TfGraphicDisplay::Steering).identity, "Holvanek SC");
    graph.SetIdentityReceived();
    graph.show();
    Sample();
    graph.bClickHold();
    chosenFile = dir.filePath("notes.txt");
    QFile f(chosenFile);
    f.open(QIODevice::WriteOnly);
    f.write("not a data file\r\n");
    f.close();
    graph.bClickLoadData();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_STREQ(graph.ShownIdentity(TfGraphicDisplay::Steering).identity, "Holvanek SC");
}

TEST_F(Graph, CancellingASecondLoadKeepsTheCaption) {
    graph.show();
    graph.bClickHold();
    chosenFile = dir.filePath("first.txt");
    QFile f(chosenFile);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray::fromStdString(GraphDataFile::Header(4) + "\r\n"));
    f.close();
    graph.bClickLoadData();
    chosenFile.clear();
    graph.bClickLoadData();
    EXPECT_EQ(graph.windowTitle(), "Graphic Display of " + dir.filePath("first.txt"));
}

TEST_F(Graph, AFileLoadedWhilePausedIsShown) {
    graph.show();
    graph.bClickPause();
    graph.bClickHold();
    chosenFile = dir.filePath("paused.txt");
    QFile f(chosenFile);
    f.open(QIODevice::WriteOnly);
    GraphSample s{};
    s.offErrCM = 125;
    f.write(QByteArray::fromStdString(GraphDataFile::Header(4) + "\r\n" + GraphDataFile::Row(s) + "\r\n"));
    f.close();
    graph.bClickLoadData();
    EXPECT_EQ(graph.Picture(), graph.Drawing());
}

TEST_F(Graph, CaptionKeepsTheEndOfLongFileNames) {
    graph.show();
    graph.bClickHold();
    const QString header = QString::fromStdString(GraphDataFile::Header(4) + "\r\n");
    for (const int length : {50, 53, 54}) {
        const QString name = dir.path() + '/' + QString(length - dir.path().size() - 5, 'n') + ".txt";
        ASSERT_EQ(name.size(), length);
        QFile f(name);
        f.open(QIODevice::WriteOnly);
        f.write(header.toLatin1());
        f.close();
        chosenFile = name;
        graph.bClickLoadData();
        EXPECT_EQ(graph.windowTitle(), "Graphic Display of " + (length > 53 ? "..." + name.right(53) : name));
    }
}

TEST_F(Graph, CogButtonAndHidingTheGraph) {
    TfCogDisplay cog;
    graph.SetCogDisplay(&cog);
    graph.show();
    Button("bCogDisplay")->click();
    EXPECT_TRUE(cog.isVisible());
    Button("bCogDisplay")->click();
    EXPECT_FALSE(cog.isVisible());
    Button("bCogDisplay")->click();
    graph.hide();
    EXPECT_FALSE(cog.isVisible());
    EXPECT_FALSE(graph.IsShown());
}

// Holding few samples, no sample time brings a redraw to hand the course over.
TEST_F(Graph, TheCogWindowShowsTheShownCourseAtOnce) {
    TfCogDisplay cog;
    graph.SetCogDisplay(&cog);
    graph.show();
    GraphSample s{};
    s.cogTenthsDeg = 900;
    Sample(s);
    graph.bClickHold();
    Button("bCogDisplay")->click();
    EXPECT_DOUBLE_EQ(cog.GetCourse(), std::numbers::pi / 2);
}
