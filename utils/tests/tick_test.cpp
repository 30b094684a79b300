// VQMSGetTick: monotonic milliseconds, 32 bits, wrapping.
#include <cstdint>
#include <ctime>

#include <gtest/gtest.h>
#include <unistd.h>

#include "utils/tick_internal.h"
#include "utils/utils.h"

namespace {

uint64_t monotonic_ms() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

TEST(Tick, IsTheMonotonicClockInMilliseconds) {
  const uint64_t before = monotonic_ms();
  const uint32_t tick = VQMSGetTick();
  const uint64_t after = monotonic_ms();
  // Modular comparison: correct across a wrap too.
  EXPECT_LE(static_cast<uint32_t>(tick - static_cast<uint32_t>(before)),
            static_cast<uint32_t>(after - before));
}

TEST(Tick, AdvancesWithTime) {
  const uint32_t t0 = VQMSGetTick();
  usleep(120 * 1000);
  const uint32_t elapsed = VQMSGetTick() - t0;
  EXPECT_GE(elapsed, 120u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(Tick, NeverGoesBackwards) {
  uint32_t prev = VQMSGetTick();
  for (int i = 0; i < 100000; ++i) {
    const uint32_t now = VQMSGetTick();
    ASSERT_LT(static_cast<uint32_t>(now - prev), 0x80000000u);
    prev = now;
  }
}

TEST(Tick, WrapsAt32Bits) {
  using camnet_utils::tick_from_timespec;
  struct timespec ts = {0, 0};
  EXPECT_EQ(tick_from_timespec(ts), 0u);
  ts = {1, 999999999};
  EXPECT_EQ(tick_from_timespec(ts), 1999u);
  ts = {4294967, 295000000};  // 2^32 - 1 ms
  EXPECT_EQ(tick_from_timespec(ts), 0xFFFFFFFFu);
  ts = {4294967, 296000000};  // 2^32 ms: wraps to 0
  EXPECT_EQ(tick_from_timespec(ts), 0u);
  ts = {4294967 * 3, 296000000 * 3 + 5000000};  // three wraps and 5 ms
  EXPECT_EQ(tick_from_timespec(ts), 5u);
  // Differences stay right across the wrap.
  const timespec a = {4294967, 290000000}, b = {4294967, 310000000};
  EXPECT_EQ(static_cast<uint32_t>(tick_from_timespec(b) - tick_from_timespec(a)), 20u);
}

}  // namespace
