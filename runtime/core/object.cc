// Instances and reference counting.
//
// Every object sits on the live-object list from RuntimeNewObject until it is
// freed. Releasing the last reference runs the destructors with the count
// held at 1; a destructor that takes a reference resurrects the object.
// Freeing never nests: an object whose count drops to 0 while another object
// is being freed waits on the pending-destruction stack until the outer free
// has finished.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/object_internal.h"
#include "corv.h"

namespace corv {
namespace {

CORVobject gLiveHead = nullptr;
int32_t gLiveCount = 0;
bool gDestroying = false;
std::vector<CORVobject> gPending;
CORVObjectFreeHook gFreeHook = nullptr;

void LinkLive(CORVobject obj) {
  obj->prevLive = nullptr;
  obj->nextLive = gLiveHead;
  if (gLiveHead) gLiveHead->prevLive = obj;
  gLiveHead = obj;
  ++gLiveCount;
}

void UnlinkLive(CORVobject obj) {
  if (obj->prevLive)
    obj->prevLive->nextLive = obj->nextLive;
  else if (gLiveHead == obj)
    gLiveHead = obj->nextLive;
  if (obj->nextLive) obj->nextLive->prevLive = obj->prevLive;
  obj->prevLive = obj->nextLive = nullptr;
  --gLiveCount;
}

void RunInitializers(CORVclass *cls, CORVobject obj) {
  if (!cls) return;
  RunInitializers(cls->base, obj);  // root first
  if (cls->initializer) cls->initializer(obj);
}

void FreeObject(CORVobject obj) {
  for (CORVclass *cls = obj->cls; cls; cls = cls->base)
    if (cls->finalizer) cls->finalizer(obj);
  if (gFreeHook) gFreeHook(obj);
  ClearWeakReferencesTo(obj);
  if (obj->cls && obj->events && obj->events != obj->cls->events) {
    for (uint32_t i = 0; i < obj->cls->eventCount; ++i) RuntimeUnlockString(obj->events[i].name);
    std::free(obj->events);
  }
  UnlinkLive(obj);
  std::free(obj);
}

}  // namespace
}  // namespace corv

extern "C" CORVobject RuntimeNewObject(CORVclass *cls) {
  if (!cls) {
    RaiseNilObjectException();
    return nullptr;
  }
  if (cls->isInterface) CORV_REPORT("!parent->isAnInterface", nullptr);
  size_t size =
      cls->instanceSize < sizeof(CORVobjectHeader) ? sizeof(CORVobjectHeader) : cls->instanceSize;
  auto obj = static_cast<CORVobject>(std::calloc(1, size));
  if (!obj) {
    RaiseNilObjectException();
    return nullptr;
  }
  corv::LinkLive(obj);
  obj->cls = cls;
  obj->vtable = cls->vtable;
  obj->events = cls->events;
  obj->refCount = 1;
  corv::RunInitializers(cls, obj);
  return obj;
}

extern "C" CORVobject CreateInstance(CORVclass *cls) {
  return RuntimeNewObject(cls);
}

extern "C" void RuntimeLockObject(CORVobject obj) {
  if (obj && obj->refCount != 0) ++obj->refCount;
}

extern "C" void RuntimeUnlockObject(CORVobject obj) {
  if (!obj || obj->refCount <= 0) return;
  if (obj->refCount == 1)
    CORVDestroyObject(obj);
  else
    --obj->refCount;
}

extern "C" void RuntimeLockUnlockObjects(CORVobject newValue, CORVobject oldValue) {
  if (newValue == oldValue) return;
  RuntimeLockObject(newValue);
  RuntimeUnlockObject(oldValue);
}

extern "C" void CORVDestroyObject(CORVobject obj) {
  obj->refCount = 1;  // held while the destructors run
  for (CORVclass *cls = obj->cls; cls; cls = cls->base) {
    if (!cls->destructor) continue;
    cls->destructor(obj);
    if (obj->refCount > 1) {  // a destructor kept it: resurrected
      --obj->refCount;
      return;
    }
  }
  obj->refCount = 0;
  if (corv::gDestroying) {
    corv::gPending.push_back(obj);
    return;
  }
  corv::gDestroying = true;
  corv::FreeObject(obj);
  while (!corv::gPending.empty()) {
    CORVobject next = corv::gPending.back();
    corv::gPending.pop_back();
    corv::FreeObject(next);
  }
  corv::gDestroying = false;
}

extern "C" int32_t RuntimeLiveObjectCount(void) {
  return corv::gLiveCount;
}
extern "C" CORVobject RuntimeLiveObjectList(void) {
  return corv::gLiveHead;
}
extern "C" void CORVSetObjectFreeHook(CORVObjectFreeHook hook) {
  corv::gFreeHook = hook;
}

extern "C" bool RuntimeObjectIsa(CORVobject obj, CORVclass *cls) {
  if (!obj) return false;
  if (!cls) return true;
  CORVclass *own = obj->cls;
  if (!own) return false;
  if (cls->isInterface) {
    CORVinterfaceEntry *ifaces = CORVClassInterfaces(own);
    for (uint32_t i = 0; i < own->interfaceCount; ++i)
      for (CORVclass *c = ifaces[i].iface; c; c = c->base)
        if (c == cls) return true;
    return false;
  }
  for (CORVclass *c = own; c; c = c->base)
    if (c == cls) return true;
  return false;
}

extern "C" CORVobject RuntimeCheckCast(CORVobject obj, CORVclass *cls) {
  if (!obj) return nullptr;
  if (!cls) return obj;
  bool accepted = RuntimeObjectIsa(obj, cls);
  // An automation object may be cast to any subclass of OLEObject.
  if (!accepted && obj->cls && corv::ClassNamed(obj->cls, "OLEObject") && cls->base &&
      corv::ClassNamed(cls->base, "OLEObject"))
    accepted = true;
  if (!accepted) {
    CORVRaiseNew(CORVBindDeclaration(&kIllegalCastExceptionDecl));
    return nullptr;
  }
  RuntimeLockObject(obj);
  return obj;
}

extern "C" CORVclass *RuntimeClassOf(CORVobject obj) {
  return obj ? obj->cls : nullptr;
}

extern "C" void **RuntimeLookupInterfaceVtable(CORVobject obj, CORVclass *iface) {
  if (!obj || !iface) {
    RaiseNilObjectException();
    return nullptr;
  }
  if (iface->isInterface && obj->cls) {
    CORVinterfaceEntry *ifaces = CORVClassInterfaces(obj->cls);
    for (uint32_t i = 0; i < obj->cls->interfaceCount; ++i)
      if (ifaces[i].iface == iface) return ifaces[i].vtable;
  }
  CORVRaiseNew(CORVBindDeclaration(&kIllegalCastExceptionDecl));
  return nullptr;
}

extern "C" void *CORVEventHandler(CORVobject obj, uint32_t eventIndex) {
  if (!obj || !obj->events || !obj->cls || obj->cls->eventCount == 0) return nullptr;
  if (eventIndex >= obj->cls->eventCount) return nullptr;
  return obj->events[eventIndex].handler;
}

extern "C" void CORVSetEventHandler(CORVobject obj, uint32_t eventIndex, void *handler) {
  if (!obj || !obj->cls || eventIndex >= obj->cls->eventCount) return;
  CORVclass *cls = obj->cls;
  if (obj->events == cls->events) {
    auto *own =
        static_cast<CORVeventEntry *>(std::malloc(cls->eventCount * sizeof(CORVeventEntry)));
    if (!own) return;
    std::memcpy(own, cls->events, cls->eventCount * sizeof(CORVeventEntry));
    for (uint32_t i = 0; i < cls->eventCount; ++i) RuntimeLockString(own[i].name);
    obj->events = own;
  }
  obj->events[eventIndex].handler = handler;
}

extern "C" int32_t CORVEventIndex(CORVclass *cls, const char *name) {
  if (!cls || !name) return -1;
  for (uint32_t i = 0; i < cls->eventCount; ++i)
    if (corv::NameEquals(cls->events[i].name, name)) return static_cast<int32_t>(i);
  return -1;
}

extern "C" void *CORVLookupMethodByName(CORVobject obj, const char *name) {
  if (!obj || !obj->cls || !name) return nullptr;
  for (uint32_t i = 0; i < obj->cls->methodCount; ++i)
    if (corv::NameEquals(obj->cls->methods[i].name, name)) return obj->cls->methods[i].code;
  return nullptr;
}

extern "C" intptr_t RuntimeGenericGetter(void *function, void *userData, intptr_t argument) {
  if (!function) return 0;
  return reinterpret_cast<CORVGenericAccessor>(function)(userData, argument);
}

extern "C" intptr_t RuntimeGenericSetter(void *function, void *userData, intptr_t argument) {
  if (!function) return 0;
  return reinterpret_cast<CORVGenericAccessor>(function)(userData, argument);
}
