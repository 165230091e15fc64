// The CPUs this process may use: affinity mask and cgroup quota.
#include "util/cpu_count.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string firstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

bool positiveNumber(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end;
  errno = 0;
  *value = strtoll(text.c_str(), &end, 10);
  return errno == 0 && !*end && *value > 0;
}

// The quota of the cgroup this process is in, as CPUs; 0 when none is set or
// none can be read.
int cgroupLimit() {
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  int limit = 0;
  while (std::getline(groups, line)) {
    // "hierarchy:controllers:path"
    const size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
    if (b == std::string::npos) continue;
    const std::string controllers = line.substr(a + 1, b - a - 1), path = line.substr(b + 1);
    int found = 0;
    if (line.compare(0, a, "0") == 0 && controllers.empty()) {
      std::istringstream max(firstLine("/sys/fs/cgroup" + path + "/cpu.max"));
      std::string quota, period;
      max >> quota >> period;
      found = cpuQuotaLimit(quota, period);
    } else if (("," + controllers + ",").find(",cpu,") != std::string::npos) {
      for (const char* mount : {"/sys/fs/cgroup/cpu", "/sys/fs/cgroup/cpu,cpuacct"}) {
        const std::string dir = mount + path;
        found = cpuQuotaLimit(firstLine(dir + "/cpu.cfs_quota_us"), firstLine(dir + "/cpu.cfs_period_us"));
        if (found) break;
      }
    }
    if (found && (limit == 0 || found < limit)) limit = found;
  }
  return limit;
}

}  // namespace

int cpuQuotaLimit(const std::string& quota, const std::string& period) {
  long long q, p;
  if (!positiveNumber(quota, &q) || !positiveNumber(period, &p)) return 0;
  return static_cast<int>(std::min<long long>((q + p - 1) / p, 1 << 20));
}

int cpuUsable() {
  int cpus = 0;
  cpu_set_t mask;
  if (sched_getaffinity(0, sizeof mask, &mask) == 0) cpus = CPU_COUNT(&mask);
  if (cpus <= 0) cpus = static_cast<int>(std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L));
  if (const int quota = cgroupLimit(); quota > 0) cpus = std::min(cpus, quota);
  return std::max(cpus, 1);
}
