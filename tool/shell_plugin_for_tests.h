// Test set-up: the real shell plugin loaded into a test program the way the
// tool's start-up loads it, so that Shell runs commands.
#pragma once

#include <cstdint>
#include <string>

#include "core/plugin_host.h"
#include "image_builder.h"
#include "plugin_entries.h"
#include "shell.h"

namespace kilnrun::testing {

/// Loads "Kilnrun Libs/Shell.so" from `toolFolder` once per test program.
inline void LoadShellPlugin(const std::string &toolFolder) {
  static kilnrun_image::Bytes resources;  // the resource table points into it
  if (!resources.empty()) return;
  std::string path = "Kilnrun Libs\\Shell.so";
  kilnrun_image::Bytes data(path.begin(), path.end());
  data.push_back(0);
  kilnrun_image::AddResource(&resources, CORV_FOUR_CHAR('C', 'V', 'n', 'x'), 0, data, "");
  registerResources(resources.data(), static_cast<uint32_t>(resources.size()), 0);
  corv::SetPluginBaseFolder(toolFolder);
  CORVBindDeclaration(&kShellDecl);
  RuntimeInitExternalClasses();
  LookUpPluginEntries();
}

}  // namespace kilnrun::testing
