// Test helper: an environment variable set for one scope, restored after.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/test_environment.h"

namespace corv::testing {

class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char *name, const std::string &value) : name_(name) {
    if (const char *old = getenv(name)) old_ = old;
    platform::SetTestEnvironment(name, value.c_str());
  }
  ~ScopedEnvironmentVariable() {
    platform::SetTestEnvironment(name_.c_str(), old_ ? old_->c_str() : nullptr);
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
  ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace corv::testing
