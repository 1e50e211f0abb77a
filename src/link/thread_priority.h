// Scheduling of the link's threads: they serve a line with millisecond deadlines and should win
// against ordinary work when the machine is busy.
#pragma once

namespace heatdiag {

// Raises the calling thread's priority a little above normal. Best effort: where the system does
// not allow it (an unprivileged user without a nice allowance) nothing changes.
void RaiseThreadPriority();

}  // namespace heatdiag
