// For tests and benchmarks that load the real shell plugin: the image's
// plugin record naming it, and the built tool's folder to find it in.
#pragma once

#include <string>

#include "core/plugin_host.h"
#include "corv_loader.h"
#include "image_builder.h"

namespace corv::testing {

/// Registers a resource table whose one plugin record names the shell
/// plugin in the "Kilnrun Libs" folder of `toolFolder`, as kilnrun's image
/// does; installing the plugins then loads it.
inline void RegisterShellPluginRecord(const std::string &toolFolder) {
  static kilnrun_image::Bytes resources;  // the registered table points into it
  if (resources.empty()) {
    std::string path = "Kilnrun Libs\\Shell.so";
    kilnrun_image::Bytes data(path.begin(), path.end());
    data.push_back(0);
    kilnrun_image::AddResource(&resources, CORV_FOUR_CHAR('C', 'V', 'n', 'x'), 0, data, "");
  }
  registerResources(resources.data(), static_cast<uint32_t>(resources.size()), 0);
  corv::SetPluginBaseFolder(toolFolder);
}

}  // namespace corv::testing
