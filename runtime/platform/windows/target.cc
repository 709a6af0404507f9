// The system this build is made for.
#include "platform/target.h"

namespace corv::platform {

TargetSystem CurrentTarget() {
  return TargetSystem::kWindows;
}

}  // namespace corv::platform
