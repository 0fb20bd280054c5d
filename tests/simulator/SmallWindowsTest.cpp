#include "TfCogDisplay.h"
#include "TfGpsSimulator.h"
#include "TfGraphicDisplay.h"
#include "TfPelmora.h"
#include "TfPositionDeviation.h"
#include "TfSkyView.h"
#include "TfSvStatus.h"

#include "Clock.h"
#include "Colors.h"
#include "DeviceStandIn.h"
#include "PelmoraTestSupport.h"

#include <QAction>
#include <QPushButton>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

using testsupport::DeviceStandIn;
using testsupport::ScopedComMapping;

namespace {

const QRgb kOutline = platform::FromTColor(0x808000).rgb();
const QRgb kYellow = platform::FromTColor(0x00FFFF).rgb();

QRgb Face() {
    return platform::ButtonFaceColor().rgb();
}

// What the window shows on screen, as painted into its paint box.
QImage Shown(StretchedPictureWindow &window) {
    return window.GetPaintBox()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Where the red-blue ring colour shows along a row or a column: the middle of each run.
std::vector<int> BlueRuns(const QImage &image, bool alongRow, int at) {
    std::vector<int> middles;
    const int length = alongRow ? image.width() : image.height();
    int start = -1;
    for (int i = 0; i <= length; ++i) {
        bool blue = false;
        if (i < length) {
            const QColor c = alongRow ? image.pixelColor(i, at) : image.pixelColor(at, i);
            blue = c.blue() - c.red() > 40;
        }
        if (blue && start < 0)
            start = i;
        if (!blue && start >= 0) {
            middles.push_back((start + i - 1) / 2);
            start = -1;
        }
    }
    return middles;
}

struct CoursePixels {
    int courseTenthsDeg;
    QPoint tip;                // the outline at the arrow's tip
    std::vector<QPoint> fill;  // inside the head and the shaft
    QPoint edge;               // on a side of the shaft
    std::vector<QPoint> clear; // beside the shaft and where the tip would point otherwise
};

} // namespace

TEST(TfCogDisplay, TheArrowPointsAlongTheCourse) {
    const CoursePixels cases[] = {
        {0, {496, 101}, {{496, 338}, {496, 800}}, {376, 700}, {{300, 700}, {892, 496}}},
        {900, {891, 496}, {{654, 496}, {200, 496}}, {300, 614}, {{300, 700}, {496, 101}}},
    };
    TfCogDisplay cog;
    for (const CoursePixels &c : cases) {
        SCOPED_TRACE(c.courseTenthsDeg);
        cog.SetCourse(c.courseTenthsDeg);
        const QImage &picture = cog.GetDisplayBitmap();
        ASSERT_EQ(picture.size(), QSize(1000, 1000));
        EXPECT_EQ(picture.pixel(c.tip), kOutline);
        for (const QPoint &p : c.fill)
            EXPECT_EQ(picture.pixel(p), kYellow) << p.x() << "," << p.y();
        EXPECT_EQ(picture.pixel(c.edge), kOutline);
        for (const QPoint &p : c.clear)
            EXPECT_EQ(picture.pixel(p), Face()) << p.x() << "," << p.y();
        EXPECT_EQ(picture.pixel(20, 500), kOutline); // the frame
        EXPECT_EQ(picture.pixel(10, 10), Face());
    }
}

TEST(TfSkyView, FiveRingsAtAnyWindowSize) {
    TfSkyView sky;
    sky.show();
    for (const QSize size : {QSize(510, 510), QSize(1010, 610)}) {
        SCOPED_TRACE(size.width());
        sky.resize(size);
        sky.DrawRings();
        const QImage shown = Shown(sky);
        ASSERT_EQ(shown.size(), size);
        // The picture's rings lie at 500 +- 500, 400, ... 100 of 1000, stretched into the
        // window less its 5 px margin.
        auto expected = [](int extent) {
            std::vector<int> at;
            for (int r : {500, 400, 300, 200, 100})
                at.push_back(5 + (500 - r) * (extent - 10) / 1000);
            for (int r : {100, 200, 300, 400, 500})
                at.push_back(5 + (500 + r) * (extent - 10) / 1000);
            return at;
        };
        const std::vector<int> across = BlueRuns(shown, true, size.height() / 2);
        const std::vector<int> down = BlueRuns(shown, false, size.width() / 2);
        ASSERT_EQ(across.size(), 10u);
        ASSERT_EQ(down.size(), 10u);
        for (int i = 0; i < 10; ++i) {
            EXPECT_NEAR(across[i], expected(size.width())[i], 3) << i;
            EXPECT_NEAR(down[i], expected(size.height())[i], 3) << i;
        }
    }
}

TEST(SmallWindows, RefuseToShrinkBelow210AndStretchOverWhatTheyHave) {
    TfCogDisplay cog;
    TfSkyView sky;
    for (StretchedPictureWindow *window : std::initializer_list<StretchedPictureWindow *>{&cog, &sky}) {
        SCOPED_TRACE(window->objectName().toStdString());
        window->show();
        const struct {
            QSize asked;
            QSize got;
        } cases[] = {{{150, 400}, {210, 400}},
                     {{400, 100}, {400, 210}},
                     {{210, 210}, {210, 210}},
                     {{640, 330}, {640, 330}}};
        for (const auto &c : cases) {
            window->resize(c.asked);
            EXPECT_EQ(window->size(), c.got);
            EXPECT_EQ(window->GetPaintBox()->geometry(), QRect(QPoint(0, 0), c.got));
            EXPECT_EQ(window->GetStretchRect(), QRect(5, 5, c.got.width() - 10, c.got.height() - 10));
        }
        window->hide();
    }
}

TEST(TfPelmoraMore, TheMenuShowsAndHidesTheSmallWindows) {
    StartDirectory start;
    start.WriteIni(
        "[Configuration]\nPositionDeviationLeft=40\nPositionDeviationTop=50\nSvStatusLeft=60\n"
        "SvStatusTop=70\nSkyViewLeft=80\nSkyViewTop=90\nGpsSimulatorLeft=100\nGpsSimulatorTop=110\n");
    TfPelmora window;
    TfPositionDeviation deviation;
    TfSvStatus status;
    TfSkyView sky;
    TfGpsSimulator gps;
    window.AttachWindows(
        {.positionDeviation = &deviation, .svStatus = &status, .skyView = &sky, .gpsSimulator = &gps});
    window.show();
    auto item = [&](const char *name) { return window.findChild<QAction *>(name); };

    // The satellite status item shows its window and hides it again.
    item("mSvStatus")->trigger();
    EXPECT_TRUE(status.IsShown());
    EXPECT_TRUE(item("mSvStatus")->isChecked());
    EXPECT_EQ(status.pos(), QPoint(60, 70));
    item("mSvStatus")->trigger();
    EXPECT_FALSE(status.IsShown());
    EXPECT_FALSE(item("mSvStatus")->isChecked());

    // The other three show their window at its place when their item becomes checked; unchecking
    // only clears the check.
    const struct {
        const char *item;
        QWidget *window;
        QPoint place;
    } toggles[] = {{"mPositionDeviation", &deviation, {40, 50}},
                   {"mSkyView", &sky, {80, 90}},
                   {"mGpsSim", &gps, {100, 110}}};
    for (const auto &t : toggles) {
        SCOPED_TRACE(t.item);
        item(t.item)->trigger();
        EXPECT_TRUE(t.window->isVisible());
        EXPECT_TRUE(item(t.item)->isChecked());
        EXPECT_EQ(t.window->pos(), t.place);
        item(t.item)->trigger();
        EXPECT_FALSE(item(t.item)->isChecked());
        EXPECT_TRUE(t.window->isVisible());
        t.window->close();
        item(t.item)->trigger();
        EXPECT_TRUE(t.window->isVisible());
        EXPECT_TRUE(item(t.item)->isChecked());
    }
    // The deviation item follows its window first: closed while checked, one click shows it again
    // (above); shown while unchecked, a click leaves it unchecked.
    item("mPositionDeviation")->trigger();
    item("mPositionDeviation")->trigger();
    EXPECT_TRUE(deviation.IsShown());
    EXPECT_FALSE(item("mPositionDeviation")->isChecked());

    // Showing the sky view draws its rings.
    EXPECT_EQ(BlueRuns(sky.GetDisplayBitmap(), false, 500).size(), 10u);
    window.AttachWindows({});
}

// With the graph window shown, its "COG " button shows the arrow at the course the device streams.
TEST(SmallWindowsEndToEnd, TheCogWindowFollowsTheStreamedCourse) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    StartDirectory start;
    start.WriteIni("[Configuration]\nRfpType=Holvanek\nCogDisplayWidth=300\nCogDisplayHeight=250\n");
    DeviceStandIn device(DeviceStandIn::Kind::SteeringController);
    ScopedComMapping map(1, device.DevicePath());
    TfPelmora window;
    TfGraphicDisplay graph;
    TfCogDisplay cog;
    graph.SetCogDisplay(&cog);
    window.AttachWindows({.graphicDisplay = &graph, .cogDisplay = &cog});
    window.show();
    window.bClickComOpenClose();
    ASSERT_TRUE(window.IsPortOpen());
    window.findChild<QPushButton *>("bGraphicDisplay")->click();
    ASSERT_TRUE(graph.IsShown());
    EXPECT_EQ(cog.size(), QSize(300, 250));
    auto *cogButton = graph.findChild<QPushButton *>("bCogDisplay");
    if (!cogButton) {
        window.AttachWindows({});
        GTEST_SKIP() << "the graph window has no \"COG \" button yet";
    }
    EXPECT_EQ(cogButton->text(), "COG ");
    cogButton->click();
    ASSERT_TRUE(cog.isVisible());

    device.SendLine("$PQVZR,HNX,PLT2,12.3,-4.56,1.5,3034.123456,N,10159.5,W,D,9,90.0,4470,-55,3,120,1,1");
    ASSERT_TRUE(PollUntil(window, [&] { return window.CurrentSample().cogTenthsDeg == 900; }));
    // The graph keeps a sample at most every 100 ms and hands the course over as it redraws.
    EXPECT_TRUE(PollUntil(window, [&] {
        clock.Advance(101);
        QCoreApplication::processEvents();
        return std::abs(cog.GetCourse() - std::numbers::pi / 2) < 1e-9;
    }));
    EXPECT_EQ(cog.GetDisplayBitmap().pixel(891, 496), kOutline); // the tip points right
    EXPECT_EQ(cog.GetDisplayBitmap().pixel(654, 496), kYellow);

    cogButton->click();
    EXPECT_FALSE(cog.isVisible());
    cogButton->click();
    graph.close();
    EXPECT_FALSE(cog.isVisible()); // hidden with the graph
    window.AttachWindows({});
}
