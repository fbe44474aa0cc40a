// The show's transcendental functions, the same bits on every platform: the
// C libraries of Linux, Windows and the browser each round sin, cos, powf...
// in their own way, and a last bit of difference can move a pixel. These are
// written with + - * / and bit operations only, never contracted into fused
// multiply-adds, within about one unit in the last place of the true result:
// the float forms are the double ones rounded.
// The sines keep that accuracy for |x| < 1.6e6; beyond, their results stay
// the same everywhere but lose accuracy.
#pragma once

double xSin(double x);
double xCos(double x);
double xTan(double x); // within about two units in the last place
double xAtan(double x);
double xAtan2(double y, double x);
double xExp(double x);
double xLog(double x);

float xSinf(float x);
float xCosf(float x);
float xTanf(float x);
float xAtanf(float x);
float xAtan2f(float y, float x);
float xPowf(float x, float y);
