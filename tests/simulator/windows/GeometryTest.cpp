#include "Geometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

using std::numbers::pi;

TEST(Geometry, AngleOnTheAxesAndInEachQuadrantLiesInTheHalfOpenCircle) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double y, x, expected;
    } cases[] = {{0, 0, 0},        {0, 5, 0},       {2, 0, pi / 2},      {0, -3, pi},
                 {-4, 0, -pi / 2}, {1, 1, pi / 4},  {1, -1, 3 * pi / 4}, {-1, -1, -3 * pi / 4},
                 {-1, 1, -pi / 4}, {1e-12, -1, pi}, {-1e-12, -1, -pi},   {nan, 1, 0}};
    for (const auto &c : cases) {
        const double angle = Angle(c.y, c.x);
        EXPECT_NEAR(angle, c.expected, 1e-9) << "y " << c.y << " x " << c.x;
        EXPECT_TRUE(angle > -pi && angle <= pi) << "y " << c.y << " x " << c.x;
    }
}

TEST(Geometry, RotateTurnsFromTheFirstAxisTowardsTheSecond) {
    const struct {
        RealPoint point;
        double angle;
        RealPoint expected;
    } cases[] = {
        {{1, 0}, pi / 2, {0, 1}}, {{3, 4}, pi / 2, {-4, 3}}, {{3, 4}, -pi / 2, {4, -3}}, {{0, 0}, 1, {0, 0}}};
    for (const auto &c : cases) {
        const RealPoint turned = Rotate(c.point, c.angle);
        EXPECT_NEAR(turned.x, c.expected.x, 1e-9) << c.point.x << "," << c.point.y << " by " << c.angle;
        EXPECT_NEAR(turned.y, c.expected.y, 1e-9) << c.point.x << "," << c.point.y << " by " << c.angle;
    }
}
