// How many CPUs this process may use: what a run should size its threads by,
// rather than the machine's online CPUs, which a pinned run (taskset) or a
// container's CPU quota leaves it only part of.
#pragma once

#include <string>

// The CPUs of the process's affinity mask, fewer when its cgroup's CPU quota
// allows less time (cgroup v2 cpu.max, or v1 cpu.cfs_quota_us and
// cpu.cfs_period_us), rounded up; at least 1.
int cpuUsable();

// The CPUs a quota of quota microseconds per period allows, rounded up; 0 when
// there is no quota (quota "max" or -1, or text that is not a quota).
int cpuQuotaLimit(const std::string& quota, const std::string& period);
