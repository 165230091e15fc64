#include "util/cpu_count.h"

#include <gtest/gtest.h>
#include <sched.h>

namespace {

TEST(CpuCount, QuotaRoundsUpAndNoQuotaIsNoLimit) {
  EXPECT_EQ(cpuQuotaLimit("200000", "100000"), 2);
  EXPECT_EQ(cpuQuotaLimit("150000", "100000"), 2);
  EXPECT_EQ(cpuQuotaLimit("50000", "100000"), 1);
  EXPECT_EQ(cpuQuotaLimit("max", "100000"), 0);
  EXPECT_EQ(cpuQuotaLimit("-1", "100000"), 0);
  EXPECT_EQ(cpuQuotaLimit("", ""), 0);
}

// A run pinned to one CPU (taskset -c 0) counts one.
TEST(CpuCount, AffinityMaskBoundsTheCount) {
  cpu_set_t saved;
  ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &saved)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(cpuUsable(), 1);
  ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
  EXPECT_GE(cpuUsable(), 1);
}

}  // namespace
