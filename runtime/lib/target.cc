// The language's target constants, answered by the platform layer.
#include "corv/target.h"

#include "platform/target.h"

namespace corv {

using platform::CurrentTarget;
using platform::TargetSystem;

bool TargetWin32() {
  return CurrentTarget() == TargetSystem::kWindows;
}
bool TargetLinux() {
  return CurrentTarget() == TargetSystem::kLinux;
}
bool TargetMacOS() {
  return CurrentTarget() == TargetSystem::kMacOS;
}

}  // namespace corv
