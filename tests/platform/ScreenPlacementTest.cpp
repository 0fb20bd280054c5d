#include "ScreenPlacement.h"

#include <QScreen>
#include <QWidget>
#include <climits>
#include <gtest/gtest.h>

using namespace platform;

TEST(ScreenPlacement, AWindowOffTheScreensComesBackOntoTheOneItOverlapsMost) {
    // A primary screen and a second one to its right, each less a task bar at the bottom.
    const QList<QRect> two{{0, 0, 1920, 1040}, {1920, 0, 1280, 984}};
    const QList<QRect> one{two.front()};
    const struct {
        const char *what;
        QList<QRect> areas;
        QRect frame, expected;
    } cases[] = {
        {"inside a screen", two, {100, 50, 780, 560}, {100, 50, 780, 560}},
        {"across both screens", two, {1500, 100, 780, 560}, {1500, 100, 780, 560}},
        {"on the second screen, which is gone", one, {2500, 100, 780, 560}, {1140, 100, 780, 560}},
        {"partly below the second screen", two, {2000, 700, 300, 300}, {2000, 684, 300, 300}},
        {"far up and left", two, {-30000, -500, 300, 200}, {0, 0, 300, 200}},
        {"on neither screen", two, {5000, 5000, 300, 200}, {1620, 840, 300, 200}},
        {"larger than the screen", one, {-10, 20, 4000, 3000}, {0, 0, 1920, 1040}},
        {"no screens at all", {}, {-9000, 9000, 300, 200}, {-9000, 9000, 300, 200}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(KeepOnScreens(c.frame, c.areas), c.expected) << c.what;
}

TEST(ScreenPlacement, StoredValuesAreBoundedAndPlacedOnAScreen) {
    EXPECT_EQ(StoredRect(INT_MAX, INT_MIN, INT_MAX, -5), QRect(1 << 24, -(1 << 24), 1 << 24, 0));
    EXPECT_EQ(StoredPosition(-12, 34), QPoint(-12, 34));

    QWidget window;
    window.setMinimumSize(210, 210);
    PlaceWindow(window, {INT_MAX, INT_MIN}, {INT_MAX, 0});
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window.geometry())) << window.geometry().x() << "," << window.geometry().y();
    EXPECT_EQ(window.size(), QSize(screen.width(), 210));
    window.resize(300, 210);
    PlaceWindow(window, {10, 20});
    EXPECT_EQ(window.pos(), QPoint(10, 20));
}
