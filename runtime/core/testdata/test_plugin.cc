// Plugins built for the plugin host's tests. TEST_PLUGIN_WHICH picks one:
// 1 registers a base class, a derived class, a subclass of a class the
// test makes, a module and class "Dup";
// 2 registers class "Dup" too, and a method without an implementation;
// 3 declares interface version 2, too old for classes.
#include "corv/plugin_definition.h"
#include "corv_plugin.h"

namespace {

template <class F>
F Get(CORVPluginResolver resolver, const char *name) {
  return reinterpret_cast<F>(resolver(name));
}

int32_t Which(CORVobject) {
  return TEST_PLUGIN_WHICH;
}
int32_t Twice(int32_t x) {
  return 2 * x;
}
void Nothing(CORVobject) {}

const CORVpluginMethodDefinition kDupMethods[] = {{"Which() as Integer", (void *)&Which}};
const CORVpluginClassDefinition kDup =
    corv::PluginClass("Dup").DataSize(8).Constructor(&Nothing).Destructor(&Nothing).Methods(
        kDupMethods);
const CORVpluginClassDefinition kBase = corv::PluginClass("TestPluginBase").DataSize(4);
const CORVpluginEventDefinition kEvents[] = {{"Changed(value as Integer)"}};
const CORVpluginClassDefinition kDerived = corv::PluginClass("TestPluginDerived")
                                               .Super("TestPluginBase")
                                               .DataSize(12)
                                               .Methods(kDupMethods)
                                               .Events(kEvents);
// Its superclass is no plugin's: the test makes a class of that name.
const CORVpluginClassDefinition kImageChild =
    corv::PluginClass("TestPluginImageChild").Super("TestImageBase");
const CORVpluginMethodDefinition kModuleMethods[] = {
    {"Twice(x as Integer) as Integer", (void *)&Twice}};
const CORVpluginModuleDefinition kModule = corv::PluginModule("TestModule").Methods(kModuleMethods);
// A count without its table, which the host must refuse; written out because
// no well-formed definition has one.
const CORVpluginClassDefinition kMissingTable = {
    "TestPluginBroken", nullptr, nullptr, 0, nullptr, nullptr, nullptr, 2, nullptr, 0, nullptr, 0};

}  // namespace

extern "C" CORV_PLUGIN_EXPORT void CORVPluginMain(CORVPluginResolver resolver) {
  auto version = Get<void (*)(int32_t)>(resolver, "RegisterPluginVersion");
  auto registerClass =
      Get<void (*)(const CORVpluginClassDefinition *)>(resolver, "PluginRegisterClass");
  auto registerModule =
      Get<void (*)(const CORVpluginModuleDefinition *)>(resolver, "PluginRegisterModule");
  auto registerMethod =
      Get<void (*)(const CORVpluginMethodDefinition *)>(resolver, "PluginRegisterMethod");
  if (!version || !registerClass || !registerModule || !registerMethod) return;
  if (TEST_PLUGIN_WHICH == 3) {
    version(2);
    registerClass(&kDup);
    return;
  }
  version(4);
  if (TEST_PLUGIN_WHICH == 1) {
    registerClass(&kBase);
    registerClass(&kDerived);
    registerClass(&kImageChild);
    registerModule(&kModule);
  } else {
    static const CORVpluginMethodDefinition unimplemented = {"Missing()",
                                                             resolver("CORVnoImplementation")};
    registerMethod(&unimplemented);
    registerClass(&kMissingTable);
  }
  registerClass(&kDup);
}
