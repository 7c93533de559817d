// The scheduling priority of the game's process and of its main thread.
//
// The services form one table of functions: the real one sets the nice value of the calling
// thread (on this system a thread's priority is its nice value; raising the priority above normal
// needs a privilege the game usually lacks, and a refused change is ignored); a fake one records
// the level asked for, so that tests never change the priority of the test process. Main thread
// only.
#pragma once

#include <cstdint>

// The priority levels, from idle (-3) to time-critical (3); 0 is normal.
constexpr int32_t kOSPriorityLowest = -3;
constexpr int32_t kOSPriorityHighest = 3;

struct OSProcessService {
  // Sets the priority of the process and of the calling thread to `level` (kOSPriorityLowest to
  // kOSPriorityHighest; any other level counts as normal). Failures are ignored.
  void (*setPriority)(int32_t level);
};

// The service in use: the real one unless a test installed another.
const OSProcessService& OS_Process();
// Installs `service` (null: the real one again). The service must outlive its use.
void OS_SetProcessService(const OSProcessService* service);
const OSProcessService* OS_RealProcessService();
const OSProcessService* OS_FakeProcessService();

// The fake service's state.
struct OSFakeProcessState {
  int32_t priority = 0;  // the level last set
  int32_t setCount = 0;  // setPriority calls
};
OSFakeProcessState& OS_FakeProcessState();
