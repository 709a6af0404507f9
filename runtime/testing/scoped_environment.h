// Test helper: an environment variable set for one scope, restored after.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace corv::testing {

class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char *name, const std::string &value) : name_(name) {
    if (const char *old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironmentVariable() {
    if (old_)
      setenv(name_.c_str(), old_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
  ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace corv::testing
