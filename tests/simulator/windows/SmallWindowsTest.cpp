#include "TfCogDisplay.h"
#include "TfGpsSimulator.h"
#include "TfGraphicDisplay.h"
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
#include <vector>

using namespace pelmoratest;

namespace {

const QRgb kOutline = platform::FromTColor(0x808000).rgb();
const QRgb kYellow = platform::FromTColor(0x00FFFF).rgb();

// Where the blue of the rings shows along a row (or a column): the middle of each run.
std::vector<int> BlueRuns(const QImage &image, bool alongRow, int at) {
    std::vector<int> middles;
    const int length = alongRow ? image.width() : image.height();
    for (int i = 0, start = -1; i <= length; ++i) {
        const QColor c = i == length ? QColor()
                         : alongRow  ? image.pixelColor(i, at)
                                     : image.pixelColor(at, i);
        const bool blue = c.blue() - c.red() > 40;
        if (blue && start < 0)
            start = i;
        if (!blue && start >= 0) {
            middles.push_back((start + i - 1) / 2);
            start = -1;
        }
    }
    return middles;
}

} // namespace

TEST(TfCogDisplay, TheArrowPointsAlongTheCourse) {
    const struct {
        int course;
        QPoint tip, edge;
        std::vector<QPoint> yellow, clear;
    } cases[] = {{0, {496, 101}, {376, 700}, {{496, 338}, {496, 800}}, {{300, 700}, {892, 496}}},
                 {900, {891, 496}, {300, 614}, {{654, 496}, {200, 496}}, {{300, 700}, {496, 101}}}};
    TfCogDisplay cog;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.course);
        cog.SetCourse(c.course);
        const QImage &picture = cog.GetDisplayBitmap();
        EXPECT_EQ(picture.pixel(c.tip), kOutline);
        EXPECT_EQ(picture.pixel(c.edge), kOutline);
        EXPECT_EQ(picture.pixel(20, 500), kOutline); // the frame
        for (const QPoint &p : c.yellow)
            EXPECT_EQ(picture.pixel(p), kYellow) << p.x() << "," << p.y();
        for (const QPoint &p : c.clear)
            EXPECT_EQ(picture.pixel(p), platform::ButtonFaceColor().rgb()) << p.x() << "," << p.y();
    }
}

TEST(TfSkyView, FiveRingsStretchedOverAnyWindowSize) {
    TfSkyView sky;
    sky.show();
    for (const QSize size : {QSize(510, 510), QSize(1010, 610)}) {
        sky.resize(size);
        sky.DrawRings();
        const QImage shown = sky.GetPaintBox()->grab().toImage();
        // Rings at 500 -+ 500, 400, ... 100 of the picture's 1000, in the window less 5 px a side.
        const int offsets[] = {-500, -400, -300, -200, -100, 100, 200, 300, 400, 500};
        auto expected = [&](int extent, int i) { return 5 + (500 + offsets[i]) * (extent - 10) / 1000; };
        const std::vector<int> across = BlueRuns(shown, true, size.height() / 2);
        const std::vector<int> down = BlueRuns(shown, false, size.width() / 2);
        ASSERT_EQ(across.size(), 10u) << size.width();
        ASSERT_EQ(down.size(), 10u) << size.width();
        for (int i = 0; i < 10; ++i) {
            EXPECT_NEAR(across[i], expected(size.width(), i), 3) << size.width() << " ring " << i;
            EXPECT_NEAR(down[i], expected(size.height(), i), 3) << size.width() << " ring " << i;
        }
    }
}

TEST(SmallWindows, NeitherPictureShrinksBelow210) {
    TfCogDisplay cog;
    TfSkyView sky;
    for (StretchedPictureWindow *window : std::initializer_list<StretchedPictureWindow *>{&cog, &sky}) {
        window->show();
        window->resize(150, 400);
        EXPECT_EQ(window->size(), QSize(210, 400));
        EXPECT_EQ(window->GetPaintBox()->geometry(), QRect(0, 0, 210, 400));
        EXPECT_EQ(window->GetStretchRect(), QRect(5, 5, 200, 390));
        window->resize(400, 100);
        EXPECT_EQ(window->size(), QSize(400, 210));
    }
}

TEST(TfPelmoraMore, TheMenuShowsAndHidesTheSmallWindows) {
    StartDirectory start;
    start.WriteIni(
        "[Configuration]\nPositionDeviationLeft=40\nSvStatusLeft=60\nSkyViewLeft=80\nGpsSimulatorTop=90\n");
    TfPelmora window;
    TfPositionDeviation deviation;
    TfSvStatus status;
    TfSkyView sky;
    TfGpsSimulator gps;
    window.AttachWindows(
        {.positionDeviation = &deviation, .svStatus = &status, .skyView = &sky, .gpsSimulator = &gps});
    auto item = [&](const char *name) { return window.findChild<QAction *>(name); };

    // Satellite status: shown, checked and placed, then hidden and unchecked.
    item("mSvStatus")->trigger();
    EXPECT_TRUE(status.IsShown() && item("mSvStatus")->isChecked());
    EXPECT_EQ(status.pos(), QPoint(60, 0));
    item("mSvStatus")->trigger();
    EXPECT_FALSE(status.IsShown() || item("mSvStatus")->isChecked());

    // The others are shown and placed as their item becomes checked; unchecking only clears it.
    const struct {
        const char *item;
        QWidget *window;
        QPoint place;
    } toggles[] = {
        {"mPositionDeviation", &deviation, {40, 0}}, {"mSkyView", &sky, {80, 0}}, {"mGpsSim", &gps, {0, 90}}};
    for (const auto &t : toggles) {
        item(t.item)->trigger();
        EXPECT_TRUE(t.window->isVisible() && item(t.item)->isChecked()) << t.item;
        EXPECT_EQ(t.window->pos(), t.place) << t.item;
        item(t.item)->trigger();
        EXPECT_TRUE(t.window->isVisible() && !item(t.item)->isChecked()) << t.item;
    }
    // The deviation item follows its window first: closed while checked, one click shows it again.
    item("mPositionDeviation")->trigger();
    deviation.close();
    item("mPositionDeviation")->trigger();
    EXPECT_TRUE(deviation.IsShown() && item("mPositionDeviation")->isChecked());
    // Showing the sky view draws its rings.
    EXPECT_EQ(BlueRuns(sky.GetDisplayBitmap(), false, 500).size(), 10u);
    window.AttachWindows({});
}

// With the graph shown, its "COG " button shows the arrow at the course the steering controller
// streams, and the arrow goes with the graph.
TEST(SmallWindowsEndToEnd, TheCogWindowFollowsTheStreamedCourse) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    StartDirectory start;
    start.WriteIni("[Configuration]\nRfpType=Holvanek\nCogDisplayWidth=300\nCogDisplayHeight=250\n");
    testsupport::DeviceStandIn device(testsupport::DeviceStandIn::Kind::SteeringController);
    testsupport::ScopedComMapping map(1, device.DevicePath());
    TfPelmora window;
    TfGraphicDisplay graph;
    TfCogDisplay cog;
    graph.SetCogDisplay(&cog);
    window.AttachWindows({.graphicDisplay = &graph, .cogDisplay = &cog});
    window.show();
    window.bClickComOpenClose();
    window.findChild<QPushButton *>("bGraphicDisplay")->click();
    ASSERT_TRUE(window.IsPortOpen() && graph.IsShown());
    EXPECT_EQ(cog.size(), QSize(300, 250));
    auto *cogButton = graph.findChild<QPushButton *>("bCogDisplay");
    ASSERT_NE(cogButton, nullptr);
    cogButton->click();
    ASSERT_TRUE(cog.isVisible());

    device.SendLine("$PQVZR,HNX,PLT2,12.3,-4.56,1.5,3034.123456,N,10159.5,W,D,9,90.0,4470,-55,3,120,1,1");
    ASSERT_TRUE(PollUntil(window, [&] { return window.CurrentSample().cogTenthsDeg == 900; }));
    EXPECT_TRUE(PollUntil(window, [&] {
        clock.Advance(101); // the graph keeps a sample at most every 100 ms
        QCoreApplication::processEvents();
        return std::abs(cog.GetCourse() - std::numbers::pi / 2) < 1e-9;
    }));
    EXPECT_EQ(cog.GetDisplayBitmap().pixel(891, 496), kOutline); // the tip points right
    cogButton->click();
    EXPECT_FALSE(cog.isVisible());
    cogButton->click();
    graph.close();
    EXPECT_FALSE(cog.isVisible());
    window.AttachWindows({});
}
