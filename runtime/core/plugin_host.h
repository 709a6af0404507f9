// The plugin host's internal hooks for tests and for the start sequence.
#pragma once

#include <string>

namespace corv {

/// The folder that "xnVC" plugin paths start from (the executable's folder
/// unless a test sets another).
void SetPluginBaseFolder(const std::string &folder);
/// Loads plugins named by the resource table (steps 1–2 of installing).
void InstallPlugins();
/// Builds class records for the registered plugin classes (step 3).
void ProcessPluginClasses();
/// Registered plugin classes (tests).
int PluginClassCount();
/// Forgets every registered plugin item and the entry table (tests). Loaded
/// libraries stay loaded.
void ResetPluginHostForTest();

}  // namespace corv
