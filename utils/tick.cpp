// VQMSGetTick: milliseconds of CLOCK_MONOTONIC, as a 32-bit count that wraps
// (about every 49.7 days); only differences between ticks are meaningful.
#include <cstdint>
#include <ctime>

#include "utils/tick_internal.h"
#include "utils/utils.h"

extern "C" uint32_t VQMSGetTick(void) {
  struct timespec ts;
  if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return 0;
  return camnet_utils::tick_from_timespec(ts);
}
