#include "host/missing.h"

int wzmisn(const double* values, long count) {
  for (long i = 0; i < count; ++i)
    if (wzmis(values[i])) return 1;
  return 0;
}
