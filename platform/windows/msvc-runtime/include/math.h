// Wine's math.h declares no long double functions, which libc++'s <cmath> names. In the
// Microsoft ABI long double is double, so each is the double function.
#pragma once
#include_next <math.h>

// Declared by the Universal CRT, missing from Wine's header.
double __cdecl erfc(double);
double __cdecl nexttoward(double, long double);

#define CORVANE_LONG_DOUBLE_1(name) \
  static inline long double name##l(long double x) { return name((double)x); }
#define CORVANE_LONG_DOUBLE_2(name) \
  static inline long double name##l(long double x, long double y) { return name((double)x, (double)y); }
CORVANE_LONG_DOUBLE_1(acos) CORVANE_LONG_DOUBLE_1(asin) CORVANE_LONG_DOUBLE_1(atan)
CORVANE_LONG_DOUBLE_2(atan2) CORVANE_LONG_DOUBLE_1(ceil) CORVANE_LONG_DOUBLE_1(cos)
CORVANE_LONG_DOUBLE_1(cosh) CORVANE_LONG_DOUBLE_1(exp) CORVANE_LONG_DOUBLE_1(fabs)
CORVANE_LONG_DOUBLE_1(floor) CORVANE_LONG_DOUBLE_2(fmod) CORVANE_LONG_DOUBLE_1(log)
CORVANE_LONG_DOUBLE_1(log10) CORVANE_LONG_DOUBLE_2(pow) CORVANE_LONG_DOUBLE_1(sin)
CORVANE_LONG_DOUBLE_1(sinh) CORVANE_LONG_DOUBLE_1(sqrt) CORVANE_LONG_DOUBLE_1(tan)
CORVANE_LONG_DOUBLE_1(tanh)
CORVANE_LONG_DOUBLE_1(acosh) CORVANE_LONG_DOUBLE_1(asinh) CORVANE_LONG_DOUBLE_1(atanh) CORVANE_LONG_DOUBLE_1(cbrt) CORVANE_LONG_DOUBLE_1(erf) CORVANE_LONG_DOUBLE_1(erfc) CORVANE_LONG_DOUBLE_1(exp2) CORVANE_LONG_DOUBLE_1(expm1) CORVANE_LONG_DOUBLE_1(lgamma) CORVANE_LONG_DOUBLE_1(log1p) CORVANE_LONG_DOUBLE_1(log2) CORVANE_LONG_DOUBLE_1(logb) CORVANE_LONG_DOUBLE_1(nearbyint) CORVANE_LONG_DOUBLE_1(tgamma)
CORVANE_LONG_DOUBLE_2(fdim) CORVANE_LONG_DOUBLE_2(fmax) CORVANE_LONG_DOUBLE_2(fmin) CORVANE_LONG_DOUBLE_2(hypot) CORVANE_LONG_DOUBLE_2(nextafter) CORVANE_LONG_DOUBLE_2(remainder)
static inline float erfcf(float x) { return (float)erfc((double)x); }
static inline int ilogbl(long double x) { return ilogb((double)x); }
static inline long double scalbnl(long double x, int n) { return scalbn((double)x, n); }
static inline long double scalblnl(long double x, long n) { return scalbln((double)x, n); }
static inline long double remquol(long double x, long double y, int* q) {
  return remquo((double)x, (double)y, q);
}
static inline float nexttowardf(float x, long double y) { return nextafterf(x, (float)y); }
static inline long double nexttowardl(long double x, long double y) { return nextafter((double)x, (double)y); }
static inline long double frexpl(long double x, int* e) { return frexp((double)x, e); }
static inline long double ldexpl(long double x, int e) { return ldexp((double)x, e); }
static inline long double modfl(long double x, long double* i) {
  double whole = 0;
  const double fraction = modf((double)x, &whole);
  *i = whole;
  return fraction;
}
#undef CORVANE_LONG_DOUBLE_1
#undef CORVANE_LONG_DOUBLE_2
