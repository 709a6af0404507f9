// Plugin definition records from C++: the tables are given as arrays, so
// that the compiler sets each table and its count together. Header-only: a
// plugin uses it without linking anything of the runtime.
#pragma once

#include <cstddef>
#include <cstdint>

#include "corv_plugin.h"

namespace corv {

/// A CORVpluginClassDefinition made in one constant expression; what it
/// does not set is null or 0:
///
///   const CORVpluginClassDefinition kShellClass =
///       corv::PluginClass("Shell").DataSize(sizeof(CORVshellData)).Methods(kMethods);
class PluginClass {
 public:
  constexpr explicit PluginClass(const char *name) : definition_{} { definition_.name = name; }

  constexpr PluginClass &Super(const char *superName) {
    definition_.superName = superName;
    return *this;
  }
  constexpr PluginClass &DataSize(size_t size) {
    definition_.dataSize = static_cast<uint32_t>(size);
    return *this;
  }
  constexpr PluginClass &Constructor(CORVobjectFunction function) {
    definition_.constructor = function;
    return *this;
  }
  constexpr PluginClass &Destructor(CORVobjectFunction function) {
    definition_.destructor = function;
    return *this;
  }
  template <size_t N>
  constexpr PluginClass &Properties(const CORVpluginPropertyDefinition (&properties)[N]) {
    definition_.properties = properties;
    definition_.propertyCount = N;
    return *this;
  }
  template <size_t N>
  constexpr PluginClass &Methods(const CORVpluginMethodDefinition (&methods)[N]) {
    definition_.methods = methods;
    definition_.methodCount = N;
    return *this;
  }
  template <size_t N>
  constexpr PluginClass &Events(const CORVpluginEventDefinition (&events)[N]) {
    definition_.events = events;
    definition_.eventCount = N;
    return *this;
  }

  constexpr operator CORVpluginClassDefinition() const { return definition_; }

 private:
  CORVpluginClassDefinition definition_;
};

/// A CORVpluginModuleDefinition, made the same way.
class PluginModule {
 public:
  constexpr explicit PluginModule(const char *name) : definition_{} { definition_.name = name; }

  template <size_t N>
  constexpr PluginModule &Methods(const CORVpluginMethodDefinition (&methods)[N]) {
    definition_.methods = methods;
    definition_.methodCount = N;
    return *this;
  }
  template <size_t N>
  constexpr PluginModule &Properties(const CORVpluginPropertyDefinition (&properties)[N]) {
    definition_.properties = properties;
    definition_.propertyCount = N;
    return *this;
  }

  constexpr operator CORVpluginModuleDefinition() const { return definition_; }

 private:
  CORVpluginModuleDefinition definition_;
};

}  // namespace corv
