#include "Geometry.h"

#include <cmath>
#include <numbers>

double Angle(double y, double x) {
    using std::numbers::pi;
    double angle = 0.0;
    if (y == 0.0)
        angle = x >= 0.0 ? 0.0 : pi;
    else if (x == 0.0)
        angle = y > 0.0 ? pi / 2 : -pi / 2;
    else if (x > 0.0)
        angle = y > 0.0 ? std::atan(y / x) : -std::atan(-y / x);
    else if (y > 0.0)
        angle = pi - std::atan(y / -x);
    else if (y < 0.0)
        angle = std::atan(y / x) - pi;
    // Not a number (or anything out of range) gives no direction at all.
    if (!(std::fabs(angle) <= 2 * pi))
        return 0.0;
    return angle;
}

RealPoint Rotate(RealPoint point, double angle) {
    const double r = std::sqrt(point.x * point.x + point.y * point.y);
    const double a = Angle(point.y, point.x) + angle;
    return {r * std::cos(a), r * std::sin(a)};
}
