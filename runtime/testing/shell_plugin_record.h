// For tests, benchmarks and fuzz targets that load the real plugins: the
// image's plugin records naming them, and the built tool's folder to find
// them in.
#pragma once

#include <initializer_list>
#include <string>

#include "core/plugin_host.h"
#include "corv_loader.h"
#include "image_builder.h"

namespace corv::testing {

/// Registers a resource table with one plugin record for each library in
/// the plugin folder of `toolFolder` ("Shell", ... without the platform's
/// suffix), as kilnrun's image does; installing the plugins then loads them.
inline void RegisterPluginRecords(const std::string &toolFolder,
                                  std::initializer_list<const char *> libraries) {
  static kilnrun_image::Bytes resources;  // the registered table points into it
  resources.clear();
  for (const char *library : libraries) {
    std::string path = std::string(KILNRUN_LIBS_FOLDER "\\") + library + KILNRUN_PLUGIN_SUFFIX;
    kilnrun_image::Bytes data(path.begin(), path.end());
    data.push_back(0);
    kilnrun_image::AddResource(&resources, CORV_FOUR_CHAR('C', 'V', 'n', 'x'), 0, data, "");
  }
  registerResources(resources.data(), static_cast<uint32_t>(resources.size()), 0);
  corv::SetPluginBaseFolder(toolFolder);
}

/// The shell plugin alone.
inline void RegisterShellPluginRecord(const std::string &toolFolder) {
  RegisterPluginRecords(toolFolder, {"Shell"});
}

}  // namespace corv::testing
