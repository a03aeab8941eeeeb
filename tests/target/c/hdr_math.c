/* globals: last_angle; functions: hypotenuse clamp_unit */
#include <math.h>
double last_angle;
double hypotenuse(double a, double b) { return sqrt(a * a + b * b); }
float clamp_unit(float x) { return fminf(fmaxf(x, 0.0f), 1.0f); }
