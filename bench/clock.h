// The benchmarks' clock: milliseconds on the performance counter.
#pragma once

#include <windows.h>

inline double NowMs() {
  LARGE_INTEGER count, frequency;
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}
