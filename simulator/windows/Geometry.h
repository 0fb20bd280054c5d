#pragma once

// Plane geometry of the course arrow: polar angles and rotation of points about the origin.
struct RealPoint {
    double x = 0.0;
    double y = 0.0;
};

// The polar angle of (x, y) in radians, in (-pi, pi]; 0 at the origin.
double Angle(double y, double x);

// The point turned by angle radians about the origin, from the x axis towards the y axis.
RealPoint Rotate(RealPoint point, double angle);
