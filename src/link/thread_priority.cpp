#include "link/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace heatdiag {

void RaiseThreadPriority() {
#if defined(__linux__)
  // On Linux the nice value is per thread, addressed by the thread id.
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return;
  (void)setpriority(PRIO_PROCESS, tid, current - 2);
#endif
}

}  // namespace heatdiag
