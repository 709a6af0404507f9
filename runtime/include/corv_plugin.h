/* The plugin interface: what a plugin library exports, the definition
 * records it registers, and the runtime entry points it reaches through the
 * resolver it is given. A plugin calls the runtime only through resolved
 * entry points (a C++ plugin may hold strings in corv::String by defining
 * that handle's entry points itself, each calling its resolved one). */
#ifndef CORV_PLUGIN_H
#define CORV_PLUGIN_H

#include <stdbool.h>

#include "corv_event_loop.h"
#include "corv_types.h"

CORV_BEGIN_DECLS

/* Resolves a runtime entry point by name through the link table; null when
 * there is none. */
typedef void *(*CORVPluginResolver)(const char *name);
/* Every plugin library exports "CORVPluginMain" of this type, declared
 * extern "C" CORV_PLUGIN_EXPORT; the build defines CORV_PLUGIN_EXPORT as what
 * exports a symbol from a library on its platform. */
typedef void (*CORVPluginMainFunction)(CORVPluginResolver resolver);

/* A method: its declaration text as the language shows it, e.g.
 * "Execute(command as String)" or "Close", and its code. Class methods take
 * the object first; module methods take only their arguments. */
typedef struct CORVpluginMethodDefinition {
  const char *declaration;
  void *function;
} CORVpluginMethodDefinition;

/* A property: name, type code ("s", "i4", "b"), accessors (either may be
 * null). A getter is `T get(CORVobject self)`, a setter `void set(self, T)`. */
typedef struct CORVpluginPropertyDefinition {
  const char *name;
  const char *type;
  void *getter;
  void *setter;
} CORVpluginPropertyDefinition;

typedef struct CORVpluginEventDefinition {
  const char *declaration;
} CORVpluginEventDefinition;

/* A class. Its instances are objects of the runtime (Part of the object
 * model): the object header, the superclass's data, then `dataSize` bytes
 * of the plugin's own, zeroed before the constructor runs. */
typedef struct CORVpluginClassDefinition {
  const char *name;
  const char *superName;  /* a plugin or runtime class, or null */
  const char *interfaces; /* names separated by ",", or null */
  uint32_t dataSize;
  CORVobjectFunction constructor;
  CORVobjectFunction destructor;
  const CORVpluginPropertyDefinition *properties;
  uint32_t propertyCount;
  const CORVpluginMethodDefinition *methods;
  uint32_t methodCount;
  const CORVpluginEventDefinition *events;
  uint32_t eventCount;
} CORVpluginClassDefinition;

/* Members added to an existing class ("SystemClass" means "_SystemClass"). */
typedef struct CORVpluginClassExtensionDefinition {
  const char *className;
  const CORVpluginPropertyDefinition *properties;
  uint32_t propertyCount;
  const CORVpluginMethodDefinition *methods;
  uint32_t methodCount;
} CORVpluginClassExtensionDefinition;

typedef struct CORVpluginInterfaceDefinition {
  const char *name;
  const CORVpluginMethodDefinition *methods;
  uint32_t methodCount;
} CORVpluginInterfaceDefinition;

/* A module: global methods (entered under their declaration text) and
 * properties (entered as "Module.Name.Get"/".Set"). */
typedef struct CORVpluginModuleDefinition {
  const char *name;
  const CORVpluginMethodDefinition *methods;
  uint32_t methodCount;
  const CORVpluginPropertyDefinition *properties;
  uint32_t propertyCount;
} CORVpluginModuleDefinition;

typedef struct CORVpluginControlDefinition {
  const char *name;
} CORVpluginControlDefinition;

/* Runtime side, called by a plugin during CORVPluginMain (by name through
 * the resolver). All act on the plugin being loaded. */
void RegisterPluginVersion(int32_t version);
void RegisterPluginExports(void *exports);
void PluginRegisterClass(const CORVpluginClassDefinition *definition);          /* version >= 3 */
void PluginRegisterClassExtension(const CORVpluginClassExtensionDefinition *d); /* version >= 3 */
void PluginRegisterInterface(const CORVpluginInterfaceDefinition *definition);  /* version >= 4 */
void PluginRegisterModule(const CORVpluginModuleDefinition *definition);        /* version >= 4 */
void PluginRegisterMethod(const CORVpluginMethodDefinition *definition);
void PluginRegisterControl(const CORVpluginControlDefinition *definition);
/* PluginRegisterBackgroundTask and PluginUnregisterBackgroundTask: see
 * corv_event_loop.h. */

/* Runtime side, called by the application. */
void RuntimeInitExternalClasses(void);
void **RuntimeAllocatePluginEntrypointsTable(int32_t count);
void *RuntimeLookupPluginEntrypoint(CORVstring entryName);

/* A placeholder that a plugin may register for a method it declares but
 * does not implement; such a registration is reported. */
void CORVnoImplementation(void);

CORV_END_DECLS

#endif
