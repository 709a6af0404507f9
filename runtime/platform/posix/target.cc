// The POSIX systems this build may be made for.
#include "platform/target.h"

namespace corv::platform {

TargetSystem CurrentTarget() {
#if defined(__APPLE__)
  return TargetSystem::kMacOS;
#elif defined(__linux__)
  return TargetSystem::kLinux;
#else
  return TargetSystem::kOtherPosix;
#endif
}

}  // namespace corv::platform
