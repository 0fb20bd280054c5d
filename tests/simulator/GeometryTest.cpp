#include "Geometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace {

using std::numbers::pi;

struct AngleCase {
    double y;
    double x;
    double expected;
};

TEST(Geometry, AngleOnTheAxesAndInEachQuadrant) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const AngleCase cases[] = {
        {0, 0, 0},
        {0, 5, 0},
        {2, 0, pi / 2},
        {0, -3, pi},
        {-4, 0, -pi / 2},
        {1, 1, pi / 4},
        {1, -1, 3 * pi / 4},
        {-1, -1, -3 * pi / 4},
        {-1, 1, -pi / 4},
        {std::sqrt(3.0), 1, pi / 3},
        {-1e-12, -1, -pi + 1e-12},
        {1e-12, -1, pi - 1e-12},
        {nan, 1, 0},
        {1, nan, 0},
    };
    for (const AngleCase &c : cases) {
        const double angle = Angle(c.y, c.x);
        EXPECT_NEAR(angle, c.expected, 1e-9) << "y " << c.y << " x " << c.x;
        // The half-open range: straight back along the x axis is +pi, never -pi.
        EXPECT_GT(angle, -pi);
        EXPECT_LE(angle, pi);
    }
}

TEST(Geometry, RotateTurnsFromTheFirstAxisTowardsTheSecond) {
    struct Case {
        RealPoint point;
        double angle;
        RealPoint expected;
    } const cases[] = {
        {{1, 0}, pi / 2, {0, 1}},   {{0, 1}, pi / 2, {-1, 0}}, {{3, 4}, pi / 2, {-4, 3}},
        {{3, 4}, -pi / 2, {4, -3}}, {{-2, 0}, pi, {2, 0}},     {{0, 0}, pi / 2, {0, 0}},
    };
    for (const Case &c : cases) {
        const RealPoint turned = Rotate(c.point, c.angle);
        EXPECT_NEAR(turned.x, c.expected.x, 1e-9) << c.point.x << "," << c.point.y << " by " << c.angle;
        EXPECT_NEAR(turned.y, c.expected.y, 1e-9) << c.point.x << "," << c.point.y << " by " << c.angle;
    }
}

} // namespace
