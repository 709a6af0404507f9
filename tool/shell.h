// The tool's Shell class: its instances carry the shell plugin's data, and
// every member goes through the plugin entries.
#pragma once

#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun {

extern const CORVclassDecl kShellDecl;

/// A handle over a Shell object.
class Shell {
 public:
  Shell();
  /// Runs the command line and returns when it has finished.
  void Execute(const corv::String &command);
  /// The command's whole standard output.
  corv::String Result();
  void SetMode(int32_t mode);
  CORVobject object() const { return shell_.object(); }

 private:
  corv::Ref<> shell_;
};

}  // namespace kilnrun
