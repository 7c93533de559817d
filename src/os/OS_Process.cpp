#include "os/OS_Process.h"

#include <sys/resource.h>

namespace {

// The nice value of each level, idle first.
constexpr int kNiceOfLevel[] = {19, 10, 5, 0, -5, -10, -15};

void RealSetPriority(int32_t level) {
  if (level < kOSPriorityLowest || level > kOSPriorityHighest) level = 0;
  setpriority(PRIO_PROCESS, 0, kNiceOfLevel[level - kOSPriorityLowest]);
}

const OSProcessService kRealService = {RealSetPriority};

OSFakeProcessState g_fake;

void FakeSetPriority(int32_t level) {
  if (level < kOSPriorityLowest || level > kOSPriorityHighest) level = 0;
  g_fake.priority = level;
  ++g_fake.setCount;
}

const OSProcessService kFakeService = {FakeSetPriority};

const OSProcessService* g_service = &kRealService;

}  // namespace

const OSProcessService& OS_Process() { return *g_service; }
void OS_SetProcessService(const OSProcessService* service) { g_service = service ? service : &kRealService; }
const OSProcessService* OS_RealProcessService() { return &kRealService; }
const OSProcessService* OS_FakeProcessService() { return &kFakeService; }
OSFakeProcessState& OS_FakeProcessState() { return g_fake; }
