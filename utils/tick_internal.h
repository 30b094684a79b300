// Internal to the utility library (and its tests): the tick conversion.
#ifndef CAMNET_UTILS_TICK_INTERNAL_H
#define CAMNET_UTILS_TICK_INTERNAL_H

#include <cstdint>
#include <ctime>

namespace camnet_utils {

// Milliseconds of `ts`, kept to their low 32 bits (the count wraps).
inline uint32_t tick_from_timespec(const struct timespec &ts) {
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                      static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace camnet_utils

#endif
