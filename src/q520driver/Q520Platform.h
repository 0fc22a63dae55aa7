#pragma once

namespace q520 {

// Runs the process at high priority while the driver works, where the system
// allows it; the restore puts back what was there before.
void raiseProcessPriority();
void restoreProcessPriority();

} // namespace q520
