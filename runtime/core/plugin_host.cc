// The plugin host: loading plugin libraries named by the image's resources,
// taking their registrations, building class records for their classes, and
// the entry table through which the application reaches plugin functions.
//
// Registrations act on the plugin being loaded (`gLoading`), which is set
// only while its CORVPluginMain runs and while one of its classes is
// processed. Plugin items are kept newest first; the entry table is built
// once, at the first lookup, and the newest registration of a name wins.
#include "core/plugin_host.h"

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/object_internal.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "corv_plugin.h"
#include "lib/case_map.h"
#include "lib/string_record.h"
#include "platform/dynamic_library.h"
#include "platform/executable.h"
#include "platform/path.h"

namespace corv {
namespace {

struct LoadedPlugin {
  void *exports = nullptr;
  int32_t reserved[2] = {-1, -1};
  int32_t zero = 0;
  int32_t version = 1;
  uint8_t mode = 0;
  std::string name;
  void *library = nullptr;
};

struct PluginClass {
  LoadedPlugin *plugin;
  const CORVpluginClassDefinition *definition;
  std::string name;
  CORVobjectFunction constructor;
  CORVobjectFunction destructor;
  bool processed = false;
  bool processing = false;
  CORVclass *cls = nullptr;
};

template <class Definition>
struct PluginItem {
  LoadedPlugin *plugin;
  const Definition *definition;
};

LoadedPlugin *gLoading = nullptr;
std::vector<std::unique_ptr<LoadedPlugin>> gPlugins;    // never unloaded
std::vector<PluginClass *> gClasses;                    // newest first
std::vector<std::unique_ptr<PluginClass>> gClassStore;  // owns them
std::vector<PluginItem<CORVpluginModuleDefinition>> gModules;
std::vector<PluginItem<CORVpluginClassExtensionDefinition>> gExtensions;
std::vector<PluginItem<CORVpluginInterfaceDefinition>> gInterfaces;
std::vector<PluginItem<CORVpluginMethodDefinition>> gMethods;
std::unordered_map<std::string, void *> gEntries;  // folded name → function
bool gEntriesBuilt = false;
std::string gBaseFolder;
bool gBaseFolderSet = false;

void *Resolve(const char *name) {
  return CORVLookupLinkEntry(name);
}

bool LoadingAtVersion(int32_t version) {
  return gLoading && gLoading->version >= version;
}

void LoadPlugin(const std::string &path) {
  std::string reason;
  void *library = platform::LoadLibrary(path, &reason);
  if (!library) {
    // The image names its plugins, so one that will not load is a fault
    // someone must see; the loader says why (a corrupt file, a missing
    // dependency, another architecture).
    std::string message = "can't load plugin library " + path + ": " + reason;
    CORV_REPORT("library", message.c_str());
    return;
  }
  auto main =
      reinterpret_cast<CORVPluginMainFunction>(platform::FindSymbol(library, "CORVPluginMain"));
  if (!main) return;  // not a plugin: skipped without a report
  gPlugins.push_back(std::make_unique<LoadedPlugin>());
  LoadedPlugin *plugin = gPlugins.back().get();
  plugin->library = library;
  gLoading = plugin;
  main(&Resolve);
  gLoading = nullptr;
}

// "Libs\Name.so" from the base folder, child by child; an empty, "." or
// ".." component or a missing child ends the walk without loading anything.
void LoadRelativePlugin(const std::string &relative) {
  std::string path = gBaseFolderSet ? gBaseFolder : platform::ExecutableFolder();
  size_t start = 0;
  while (true) {
    size_t end = relative.find('\\', start);
    std::string component = relative.substr(start, end == std::string::npos ? end : end - start);
    if (component.empty() || component == "." || component == ".." ||
        component.find(platform::PathSeparator()) != std::string::npos)
      return;
    path += platform::PathSeparator();
    path += component;
    bool last = end == std::string::npos;
    if (!platform::ItemExists(path, !last)) return;
    if (last) break;
    start = end + 1;
  }
  LoadPlugin(path);
}

std::string DataText(const CORVresource &resource) {
  const char *data = reinterpret_cast<const char *>(resource.data);
  return std::string(data, strnlen(data, resource.length));
}

void AddEntry(const std::string &name, void *function) {
  if (function) gEntries.emplace(AsciiLowerCopy(name), function);  // the first (newest) stays
}

void AddMethods(const std::string &prefix, const CORVpluginMethodDefinition *methods,
                uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    if (methods[i].declaration) AddEntry(prefix + methods[i].declaration, methods[i].function);
}

void AddProperties(const std::string &prefix, const CORVpluginPropertyDefinition *properties,
                   uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (!properties[i].name) continue;
    AddEntry(prefix + properties[i].name + ".Get", properties[i].getter);
    AddEntry(prefix + properties[i].name + ".Set", properties[i].setter);
  }
}

void BuildEntryTable() {
  gEntriesBuilt = true;
  for (PluginClass *pc : gClasses) {
    if (!pc->definition) {
      CORV_REPORT("plugclass", nullptr);
      continue;
    }
    const CORVpluginClassDefinition &d = *pc->definition;
    std::string prefix = pc->name + ".";
    AddEntry(prefix + "__init", reinterpret_cast<void *>(pc->constructor));
    AddEntry(prefix + "__exit", reinterpret_cast<void *>(pc->destructor));
    AddMethods(prefix, d.methods, d.methods ? d.methodCount : 0);
    AddProperties(prefix, d.properties, d.properties ? d.propertyCount : 0);
  }
  for (auto &module : gModules) {
    if (!module.definition) {
      CORV_REPORT("plugmod", nullptr);
      continue;
    }
    const CORVpluginModuleDefinition &d = *module.definition;
    AddMethods("", d.methods, d.methods ? d.methodCount : 0);
    if (d.name)
      AddProperties(std::string(d.name) + ".", d.properties, d.properties ? d.propertyCount : 0);
  }
  for (auto &extension : gExtensions) {
    const CORVpluginClassExtensionDefinition &d = *extension.definition;
    std::string target = d.className ? d.className : "";
    if (target == "SystemClass") target = "_SystemClass";
    AddMethods(target + ".", d.methods, d.methods ? d.methodCount : 0);
    AddProperties(target + ".", d.properties, d.properties ? d.propertyCount : 0);
  }
  for (auto &item : gInterfaces)
    AddMethods(std::string(item.definition->name ? item.definition->name : "") + ".",
               item.definition->methods,
               item.definition->methods ? item.definition->methodCount : 0);
  for (auto &method : gMethods) AddMethods("", method.definition, 1);
}

PluginClass *FindPluginClass(const char *name) {
  if (!name) return nullptr;
  for (PluginClass *pc : gClasses)
    if (EqualsIgnoringAsciiCase(pc->name, name)) return pc;
  return nullptr;
}

// A definition that gives a count must give its table.
bool CheckTables(const CORVpluginClassDefinition &d) {
  bool ok = true;
  if (!d.events && d.eventCount != 0) {
    CORV_REPORT("events || eventCount == 0", nullptr);
    ok = false;
  }
  if (!d.properties && d.propertyCount != 0) {
    CORV_REPORT("properties || propertyCount == 0", nullptr);
    ok = false;
  }
  if (!d.methods && d.methodCount != 0) {
    CORV_REPORT("methods || methodCount == 0", nullptr);
    ok = false;
  }
  return ok;
}

std::string MethodName(const char *declaration) {
  std::string text = declaration ? declaration : "";
  size_t paren = text.find('(');
  return paren == std::string::npos ? text : text.substr(0, paren);
}

// A plugin class as a class declaration, so that its record is built like
// every other declared class's. Kept for the rest of the run: the class is
// found by name through it.
struct PluginDeclaration {
  CORVclassDecl decl{};
  std::deque<std::string> texts;  // the names the tables point to
  std::vector<CORVmethodDecl> methods;
  std::vector<CORVeventDecl> events;
  std::vector<CORVpropertyDecl> properties;

  const char *Keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
};
std::vector<std::unique_ptr<PluginDeclaration>> gDeclarations;

// Taken over from the definition; a table whose count has no table is left
// out (CheckTables reports it).
PluginDeclaration *DeclarationOf(const PluginClass &pc, CORVclass *base) {
  const CORVpluginClassDefinition &d = *pc.definition;
  auto *p = gDeclarations.emplace_back(std::make_unique<PluginDeclaration>()).get();
  bool tablesOk = CheckTables(d);
  for (uint32_t i = 0; tablesOk && i < d.methodCount; ++i) {
    const CORVpluginMethodDefinition &method = d.methods[i];
    if (method.function == reinterpret_cast<void *>(&CORVnoImplementation))
      CORV_REPORT("method->function != (CORVproc) CORVnoImplementation", method.declaration);
    const char *text = p->Keep(method.declaration ? method.declaration : "");
    p->methods.push_back({p->Keep(MethodName(text)), text, method.function});
  }
  for (uint32_t i = 0; tablesOk && i < d.eventCount; ++i)
    p->events.push_back({0x804, p->Keep(MethodName(d.events[i].declaration)), nullptr, nullptr});
  for (uint32_t i = 0; tablesOk && i < d.propertyCount; ++i) {
    const CORVpluginPropertyDefinition &property = d.properties[i];
    p->properties.push_back({p->Keep(property.name ? property.name : ""),
                             p->Keep(property.type ? property.type : ""), property.getter,
                             property.setter});
  }
  p->decl.name = p->Keep(pc.name);
  p->decl.instanceSize = (base ? base->instanceSize : sizeof(CORVobjectHeader)) + d.dataSize;
  p->decl.initializer = pc.constructor;
  p->decl.destructor = pc.destructor;
  p->decl.methods = p->methods.data();
  p->decl.methodCount = static_cast<uint32_t>(p->methods.size());
  p->decl.events = p->events.data();
  p->decl.eventCount = static_cast<uint32_t>(p->events.size());
  p->decl.properties = p->properties.data();
  p->decl.propertyCount = static_cast<uint32_t>(p->properties.size());
  return p;
}

void ProcessClass(PluginClass *pc) {
  if (pc->processed || pc->processing) return;
  pc->processing = true;
  const CORVpluginClassDefinition &d = *pc->definition;
  CORVclass *base = nullptr;
  if (PluginClass *super = FindPluginClass(d.superName); super && super != pc) {
    ProcessClass(super);  // superclasses first
    base = super->cls;
  } else if (d.superName) {
    CORVstring superName = RuntimeCreateString(
        d.superName, static_cast<int32_t>(std::strlen(d.superName)), kEncodingUTF8);
    base = RuntimeLookupClass(superName);
    RuntimeUnlockString(superName);
  }
  gLoading = pc->plugin;
  const CORVclassDecl *decl = &DeclarationOf(*pc, base)->decl;
  pc->cls = DefineClass(decl, base);
  CORVRegisterDeclaration(decl);  // found by name from now on, like the runtime's own classes
  pc->processed = true;
  pc->processing = false;
  gLoading = nullptr;
}

}  // namespace

void SetPluginBaseFolder(const std::string &folder) {
  gBaseFolder = folder;
  gBaseFolderSet = true;
}

void InstallPlugins() {
  struct Embedded {
    std::string fileName;
    std::vector<uint8_t> bytes;
  };
  std::vector<Embedded> embedded;  // last record first
  for (int32_t i = 0; i < CORVResourceCount(); ++i) {
    const CORVresource &resource = *CORVResourceAt(i);
    if (!resource.data && resource.length > 0) continue;
    if (resource.type == CORV_FOUR_CHAR('C', 'V', 'P', 'x')) {  // stored "xPVC"
      std::string path = DataText(resource);
      if (platform::IsAbsolutePath(path) && platform::ItemExists(path, false))
        LoadPlugin(path);
    } else if (resource.type == CORV_FOUR_CHAR('C', 'V', 'n', 'x')) {  // stored "xnVC"
      LoadRelativePlugin(DataText(resource));
    } else if (resource.type == CORV_FOUR_CHAR('C', 'V', 'P', 'l')) {  // stored "lPVC"
      if (resource.length < 1) continue;
      uint32_t nameLength = resource.data[0];
      if (1 + nameLength > resource.length) continue;
      Embedded item;
      item.fileName.assign(reinterpret_cast<const char *>(resource.data + 1), nameLength);
      item.bytes.assign(resource.data + 1 + nameLength, resource.data + resource.length);
      embedded.insert(embedded.begin(), std::move(item));
    }
  }
  for (const Embedded &item : embedded) {
    if (item.fileName.empty() || item.fileName.find(platform::PathSeparator()) != std::string::npos)
      continue;
    std::string beside = (gBaseFolderSet ? gBaseFolder : platform::ExecutableFolder()) +
                         platform::PathSeparator() + item.fileName;
    if (platform::ItemExists(beside, false)) {
      LoadPlugin(beside);
    } else {
      std::string temporary = platform::WriteTemporaryLibrary(item.fileName, item.bytes);
      if (!temporary.empty()) LoadPlugin(temporary);
    }
  }
}

void ProcessPluginClasses() {
  if (gLoading) CORV_REPORT("!loadingPlugin", nullptr);
  for (PluginClass *pc : gClasses) pc->processed = false;
  for (PluginClass *pc : gClasses) ProcessClass(pc);
}

int PluginClassCount() {
  return static_cast<int>(gClasses.size());
}

void ResetPluginHostForTest() {
  gClasses.clear();
  gClassStore.clear();
  gModules.clear();
  gExtensions.clear();
  gInterfaces.clear();
  gMethods.clear();
  gEntries.clear();
  gEntriesBuilt = false;
  gLoading = nullptr;
}

}  // namespace corv

using corv::gLoading;

extern "C" void RegisterPluginVersion(int32_t version) {
  if (gLoading) gLoading->version = version;
}

extern "C" void RegisterPluginExports(void *exports) {
  if (gLoading) gLoading->exports = exports;
}

extern "C" void PluginRegisterClass(const CORVpluginClassDefinition *definition) {
  if (!definition || !definition->name) {
    CORV_REPORT("plugclass", nullptr);
    return;
  }
  if (!corv::LoadingAtVersion(3)) return;  // too old an interface: ignored
  auto *pc = new corv::PluginClass{gLoading, definition, definition->name, definition->constructor,
                                   definition->destructor};
  corv::gClassStore.emplace_back(pc);
  corv::gClasses.insert(corv::gClasses.begin(), pc);
}

extern "C" void PluginRegisterClassExtension(const CORVpluginClassExtensionDefinition *d) {
  if (!d) return;
  if (corv::LoadingAtVersion(3)) corv::gExtensions.insert(corv::gExtensions.begin(), {gLoading, d});
}

extern "C" void PluginRegisterInterface(const CORVpluginInterfaceDefinition *definition) {
  if (!definition) {
    CORV_REPORT("classdef", nullptr);
    return;
  }
  if (corv::LoadingAtVersion(4))
    corv::gInterfaces.insert(corv::gInterfaces.begin(), {gLoading, definition});
}

extern "C" void PluginRegisterModule(const CORVpluginModuleDefinition *definition) {
  if (!definition) {
    CORV_REPORT("plugmod", nullptr);
    return;
  }
  if (corv::LoadingAtVersion(4))
    corv::gModules.insert(corv::gModules.begin(), {gLoading, definition});
}

extern "C" void PluginRegisterMethod(const CORVpluginMethodDefinition *definition) {
  if (!definition || !gLoading) return;
  if (definition->function == reinterpret_cast<void *>(&CORVnoImplementation))
    CORV_REPORT("method->function != (CORVproc) CORVnoImplementation", definition->declaration);
  corv::gMethods.insert(corv::gMethods.begin(), {gLoading, definition});
}

extern "C" void PluginRegisterControl(const CORVpluginControlDefinition *definition) {
  // Controls are windowed; a console program has nowhere to put them.
  if (!definition) CORV_REPORT("plugctl", nullptr);
}

extern "C" void CORVnoImplementation(void) {}

extern "C" void **RuntimeAllocatePluginEntrypointsTable(int32_t count) {
  if (count <= 0) return nullptr;
  return static_cast<void **>(std::calloc(static_cast<size_t>(count), sizeof(void *)));
}

extern "C" void *RuntimeLookupPluginEntrypoint(CORVstring entryName) {
  if (!corv::gEntriesBuilt) corv::BuildEntryTable();
  std::string name(CORVStringBytes(entryName), CORVStringLength(entryName));
  if (name == "_") return nullptr;
  auto found = corv::gEntries.find(corv::AsciiLowerCopy(name));
  if (found != corv::gEntries.end()) return found->second;
  std::string message = "can't find plugin method " + name;
  CORV_REPORT("pluginEntryTable.GetEntry( entrypointName, out )", message.c_str());
  return nullptr;
}

extern "C" void RuntimeInitExternalClasses(void) {
  corv::RegisterRuntimeClassDeclarations();
  corv::InstallPlugins();
  corv::ProcessPluginClasses();
}
