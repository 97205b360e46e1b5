// The Universal CRT's struct timespec, which Wine's time.h lacks and libc++'s threading
// support names.
#pragma once
#include_next <time.h>

#ifndef CORVANE_TIMESPEC_DEFINED
#  define CORVANE_TIMESPEC_DEFINED
struct timespec {
  time_t tv_sec;
  long tv_nsec;
};
#endif
