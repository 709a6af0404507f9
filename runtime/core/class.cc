// Class records and the runtime's class declarations.
//
// A class record is one block: the record, the interface table, then the
// method, event, property and constant tables. A subclass starts with copies
// of its base's entries so a base member keeps its slot in every subclass.
// Declarations (the runtime's own classes, the tool's, plugins') are bound to
// a class record by name: the first class of that name on the class list, or
// else a record built from the declaration.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/object_internal.h"
#include "corv.h"
#include "lib/case_map.h"
#include "lib/string_record.h"

namespace corv {
namespace {

CORVclass *gClassList = nullptr;
std::unordered_map<const CORVclassDecl *, CORVclass *> gBound;
std::vector<const CORVclassDecl *> gDeclarations;
std::unordered_map<std::string, CORVclass *> gByName;  // RuntimeLookupClass cache

CORVstring MakeName(const char *text) {
  return MakePermanentString(text);
}

CORVclass *FindClassNamed(const char *name) {
  for (CORVclass *cls = gClassList; cls; cls = cls->next)
    if (NameEquals(cls->name, name)) return cls;
  return nullptr;
}

}  // namespace

bool NameEquals(CORVstring s, const char *name) {
  return EqualsIgnoringAsciiCase(std::string_view(CORVStringBytes(s), CORVStringLength(s)), name);
}

bool ClassNamed(CORVclass *cls, const char *name) {
  return cls && NameEquals(cls->name, name);
}

// Every class the runtime makes itself is made here, from a declaration.
CORVclass *DefineClass(const CORVclassDecl *decl, CORVclass *base) {
  uint32_t baseMethods = base ? base->methodCount : 0;
  uint32_t baseEvents = base ? base->eventCount : 0;
  uint32_t baseProperties = base ? base->propertyCount : 0;
  uint32_t baseInterfaces = base ? base->interfaceCount : 0;
  CORVclass *cls =
      RuntimeNewClass(base, baseMethods + decl->methodCount, baseInterfaces,
                      baseEvents + decl->eventCount, 0, baseProperties + decl->propertyCount, 0);
  cls->name = MakeName(decl->name);
  cls->instanceSize = decl->instanceSize;
  cls->initializer = decl->initializer;
  cls->destructor = decl->destructor;
  cls->finalizer = decl->finalizer;
  if (base && base->vtableCount > 0) {  // a subclass starts with its base's slots
    cls->vtableCount = base->vtableCount;
    cls->vtable = RuntimeNewVtable(static_cast<int32_t>(base->vtableCount));
    std::memcpy(cls->vtable, base->vtable, base->vtableCount * sizeof(void *));
  }
  for (uint32_t i = 0; i < decl->methodCount; ++i) {
    CORVmethodEntry &entry = cls->methods[baseMethods + i];
    entry.name = MakeName(decl->methods[i].name);
    entry.signature = MakeName(decl->methods[i].signature);
    entry.code = decl->methods[i].code;
  }
  for (uint32_t i = 0; i < decl->eventCount; ++i)
    cls->events[baseEvents + i].name = MakeName(decl->events[i].name);
  for (uint32_t i = 0; i < decl->propertyCount; ++i) {
    CORVpropertyEntry &entry = cls->properties[baseProperties + i];
    entry.name = MakeName(decl->properties[i].name);
    entry.type = MakeName(decl->properties[i].type);
    entry.getter = decl->properties[i].getter;
    entry.setter = decl->properties[i].setter;
  }
  for (uint32_t i = 0; i < decl->handlerCount; ++i) {
    int32_t index = CORVEventIndex(cls, decl->handlers[i].eventName);
    if (index >= 0)
      cls->events[index].handler = decl->handlers[i].handler;
    else
      CORV_REPORT("eventIndex >= 0", decl->handlers[i].eventName);
  }
  gBound.emplace(decl, cls);
  return cls;
}

}  // namespace corv

extern "C" CORVclass *RuntimeNewClass(CORVclass *base, uint32_t methodCount,
                                      uint32_t interfaceCount, uint32_t eventCount,
                                      uint32_t tableSize, uint32_t propertyCount,
                                      uint32_t constantCount) {
  if (tableSize != 0) CORV_REPORT("0 == sTableSize", nullptr);
  size_t size = sizeof(CORVclass) + sizeof(CORVinterfaceEntry) * interfaceCount +
                sizeof(CORVmethodEntry) * methodCount + sizeof(CORVeventEntry) * eventCount +
                sizeof(CORVpropertyEntry) * propertyCount +
                sizeof(CORVconstantEntry) * constantCount;
  auto *cls = static_cast<CORVclass *>(std::calloc(1, size));
  if (!cls) {
    RaiseNilObjectException();
    return nullptr;
  }
  char *cursor = reinterpret_cast<char *>(CORVClassInterfaces(cls));
  cursor += sizeof(CORVinterfaceEntry) * interfaceCount;
  cls->methods = reinterpret_cast<CORVmethodEntry *>(cursor);
  cursor += sizeof(CORVmethodEntry) * methodCount;
  cls->events = reinterpret_cast<CORVeventEntry *>(cursor);
  cursor += sizeof(CORVeventEntry) * eventCount;
  cls->properties = reinterpret_cast<CORVpropertyEntry *>(cursor);
  cursor += sizeof(CORVpropertyEntry) * propertyCount;
  cls->constants = reinterpret_cast<CORVconstantEntry *>(cursor);
  cls->interfaceCount = interfaceCount;
  cls->methodCount = methodCount;
  cls->eventCount = eventCount;
  cls->propertyCount = propertyCount;
  cls->constantCount = constantCount;
  if (base) {
    if (methodCount < base->methodCount)
      CORV_REPORT("out->methods.count >= base->methods.count", nullptr);
    if (interfaceCount < base->interfaceCount)
      CORV_REPORT("out->interfaceCount >= base->interfaceCount", nullptr);
    if (eventCount < base->eventCount)
      CORV_REPORT("out->events.count >= base->events.count", nullptr);
    if (propertyCount < base->propertyCount)
      CORV_REPORT("out->properties.count >= base->properties.count", nullptr);
    uint32_t methods = std::min(methodCount, base->methodCount);
    uint32_t interfaces = std::min(interfaceCount, base->interfaceCount);
    uint32_t events = std::min(eventCount, base->eventCount);
    uint32_t properties = std::min(propertyCount, base->propertyCount);
    std::memcpy(cls->methods, base->methods, methods * sizeof(CORVmethodEntry));
    std::memcpy(CORVClassInterfaces(cls), CORVClassInterfaces(base),
                interfaces * sizeof(CORVinterfaceEntry));
    std::memcpy(cls->events, base->events, events * sizeof(CORVeventEntry));
    std::memcpy(cls->properties, base->properties, properties * sizeof(CORVpropertyEntry));
    for (uint32_t i = 0; i < methods; ++i) {
      RuntimeLockString(cls->methods[i].name);
      RuntimeLockString(cls->methods[i].signature);
    }
    for (uint32_t i = 0; i < events; ++i) RuntimeLockString(cls->events[i].name);
    for (uint32_t i = 0; i < properties; ++i) {
      RuntimeLockString(cls->properties[i].name);
      RuntimeLockString(cls->properties[i].type);
    }
  }
  cls->base = base;
  cls->next = corv::gClassList;
  corv::gClassList = cls;
  return cls;
}

extern "C" void **RuntimeNewVtable(int32_t slotCount) {
  if (slotCount <= 0 || slotCount > (1 << 24)) return nullptr;
  auto table = static_cast<void **>(std::calloc(static_cast<size_t>(slotCount), sizeof(void *)));
  if (!table) RaiseNilObjectException();
  return table;
}

extern "C" CORVattribute *RuntimeAllocateAttributeTable(void *table, int32_t entryOffset,
                                                        int32_t count) {
  if (!table) {
    CORV_REPORT("buffer", nullptr);
    return nullptr;
  }
  // Method, event and property entries share their first four words.
  auto *entry = reinterpret_cast<CORVeventEntry *>(static_cast<char *>(table) + entryOffset);
  entry->attributeCount = count > 0 ? static_cast<uint32_t>(count) : 0;
  entry->attributes = count > 0 ? static_cast<CORVattribute *>(std::calloc(
                                      static_cast<size_t>(count), sizeof(CORVattribute)))
                                : nullptr;
  return entry->attributes;
}

extern "C" void RuntimeDestroyClass(CORVclass *cls) {
  if (!cls) {
    CORV_REPORT("it", nullptr);
    return;
  }
  for (CORVclass **link = &corv::gClassList; *link; link = &(*link)->next)
    if (*link == cls) {
      *link = cls->next;
      break;
    }
  for (auto it = corv::gBound.begin(); it != corv::gBound.end();)
    it = it->second == cls ? corv::gBound.erase(it) : std::next(it);
  for (auto it = corv::gByName.begin(); it != corv::gByName.end();)
    it = it->second == cls ? corv::gByName.erase(it) : std::next(it);
  for (uint32_t i = 0; i < cls->methodCount; ++i) {
    RuntimeUnlockString(cls->methods[i].name);
    RuntimeUnlockString(cls->methods[i].signature);
  }
  for (uint32_t i = 0; i < cls->eventCount; ++i) RuntimeUnlockString(cls->events[i].name);
  for (uint32_t i = 0; i < cls->propertyCount; ++i) {
    RuntimeUnlockString(cls->properties[i].name);
    RuntimeUnlockString(cls->properties[i].type);
  }
  for (uint32_t i = 0; i < cls->constantCount; ++i) {
    RuntimeUnlockString(cls->constants[i].name);
    RuntimeUnlockString(cls->constants[i].value);
  }
  std::free(cls->vtable);
  RuntimeUnlockString(cls->name);
  std::free(cls);
}

extern "C" CORVclass *RuntimeGetClassList(void) {
  return corv::gClassList;
}

extern "C" CORVclass *CORVBindDeclaration(const CORVclassDecl *decl) {
  if (!decl) {
    CORV_REPORT("defn", nullptr);
    return nullptr;
  }
  auto found = corv::gBound.find(decl);
  if (found != corv::gBound.end()) return found->second;
  if (CORVclass *cls = corv::FindClassNamed(decl->name)) {
    corv::gBound.emplace(decl, cls);
    return cls;
  }
  return corv::DefineClass(decl, decl->super ? CORVBindDeclaration(decl->super) : nullptr);
}

extern "C" void CORVRegisterDeclaration(const CORVclassDecl *decl) {
  if (!decl) {
    CORV_REPORT("defn", nullptr);
    return;
  }
  for (const CORVclassDecl *known : corv::gDeclarations)
    if (known == decl) return;
  corv::gDeclarations.push_back(decl);
}

extern "C" CORVobject CORVInstantiateDeclaration(const CORVclassDecl *decl) {
  return RuntimeNewObject(CORVBindDeclaration(decl));
}

extern "C" bool CORVIsaDeclaration(CORVobject obj, const CORVclassDecl *decl) {
  CORVclass *cls = decl ? CORVBindDeclaration(decl) : nullptr;
  if (!cls) {
    std::string message =
        "Someone called ObjectIsa, passing in an ObjectDefinition that we could not lookup.  "
        "The object we're looking for is: ";
    message += decl && decl->name ? decl->name : "unknown";
    CORV_REPORT("0", message.c_str());
    return false;
  }
  return RuntimeObjectIsa(obj, cls);
}

extern "C" CORVclass *RuntimeLookupClass(CORVstring name) {
  std::string key =
      corv::AsciiLowerCopy(std::string_view(CORVStringBytes(name), CORVStringLength(name)));
  auto hit = corv::gByName.find(key);
  if (hit != corv::gByName.end()) return hit->second;
  for (const CORVclassDecl *decl : corv::gDeclarations) {
    if (!corv::NameEquals(name, decl->name)) continue;
    CORVclass *cls = CORVBindDeclaration(decl);
    corv::gByName.emplace(key, cls);
    return cls;
  }
  return nullptr;
}
