// Helpers shared by the tool's tests that work on real files and run the
// tools people use on them (tar, bsdtar, python3).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "corv/folder_item.h"
#include "platform/process.h"

namespace kilnrun::testing {

/// Runs a shell command, expecting success; gives its standard output and
/// error together, so that a tool's warning shows in what is compared.
inline std::string Sh(const std::string &command) {
  auto result = corv::platform::RunCommandLine("(" + command + ") 2>&1");
  EXPECT_TRUE(result.started && result.exitStatus == 0) << command << "\n" << result.output;
  return result.output;
}

/// The folder item of a native path.
inline corv::Ref<corv::FolderItem> Item(const std::string &path) {
  return corv::GetFolderItem(corv::String(path));
}

}  // namespace kilnrun::testing
