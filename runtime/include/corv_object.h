/* The object model: class records, instances, reference counting, casts,
 * delegates, weak references and the runtime's own class declarations. */
#ifndef CORV_OBJECT_H
#define CORV_OBJECT_H

#include <stdbool.h>

#include "corv_types.h"

CORV_BEGIN_DECLS

CORVclass *RuntimeNewClass(CORVclass *base, uint32_t methodCount, uint32_t interfaceCount,
                           uint32_t eventCount, uint32_t tableSize, uint32_t propertyCount,
                           uint32_t constantCount);
void **RuntimeNewVtable(int32_t slotCount);
CORVattribute *RuntimeAllocateAttributeTable(void *table, int32_t entryOffset, int32_t count);
CORVobject RuntimeNewObject(CORVclass *cls);
CORVobject CreateInstance(CORVclass *cls);
void RuntimeLockObject(CORVobject obj);
void RuntimeUnlockObject(CORVobject obj);
void RuntimeLockUnlockObjects(CORVobject newValue, CORVobject oldValue);
bool RuntimeObjectIsa(CORVobject obj, CORVclass *cls);
CORVobject RuntimeCheckCast(CORVobject obj, CORVclass *cls);
CORVclass *RuntimeClassOf(CORVobject obj);
void **RuntimeLookupInterfaceVtable(CORVobject obj, CORVclass *iface);
CORVclass *RuntimeGetClassList(void);
void RuntimeDestroyClass(CORVclass *cls);
CORVclass *RuntimeLookupClass(CORVstring name);

/* A delegate: object header, invoker, function, target (counted), signature. */
typedef struct CORVdelegate {
  CORVobjectHeader header;
  void *invoker;
  void *function;
  CORVobject target;
  CORVstring signature;
} CORVdelegate;
CORVobject RuntimeCreateDelegate(void *invoker, void *function, CORVobject target,
                                 CORVstring signature);
CORVobject RuntimeCheckDelegateCast(CORVobject delegate, CORVstring signature);

/* A weak reference: object header, next weak reference to the same target,
 * target (not counted). */
typedef struct CORVweakRef {
  CORVobjectHeader header;
  struct CORVweakRef *nextWeakRef;
  CORVobject target;
} CORVweakRef;
void RegisterWeakRef(CORVobject weakRef, CORVobject target);
void UnregisterWeakRef(CORVobject weakRef);
CORVobject ResolveWeakRef(CORVobject weakRef);
CORVobject RuntimeNewWeakRef(CORVobject target);

typedef intptr_t (*CORVGenericAccessor)(void *userData, intptr_t argument);
intptr_t RuntimeGenericGetter(void *function, void *userData, intptr_t argument);
intptr_t RuntimeGenericSetter(void *function, void *userData, intptr_t argument);

/* The live-object list: every object created by RuntimeNewObject until it is freed. */
int32_t RuntimeLiveObjectCount(void);
CORVobject RuntimeLiveObjectList(void);

/* The object-free hook, installed only by a remote debugger. */
typedef void (*CORVObjectFreeHook)(CORVobject obj);
void CORVSetObjectFreeHook(CORVObjectFreeHook hook);

/* Runtime class declarations: how the runtime (and the tool, and tests)
 * describe a native class. A declaration is bound by name to a class record:
 * the first class of that name on the class list, or, when the class list has
 * none, a record built from the declaration itself. */
typedef struct CORVeventDecl {
  uint32_t flags; /* 0x804 for events */
  const char *name;
  const char *parameters;
  const char *returnType;
} CORVeventDecl;

typedef struct CORVmethodDecl {
  const char *name;
  const char *signature;
  void *code;
} CORVmethodDecl;

typedef struct CORVpropertyDecl {
  const char *name;
  const char *type;
  void *getter;
  void *setter;
} CORVpropertyDecl;

/* A handler that a class supplies for an event it declares or inherits. */
typedef struct CORVhandlerDecl {
  const char *eventName;
  void *handler;
} CORVhandlerDecl;

typedef struct CORVclassDecl {
  const char *name;
  const struct CORVclassDecl *super;
  uint32_t instanceSize; /* header included */
  CORVobjectFunction initializer;
  CORVobjectFunction destructor;
  CORVobjectFunction finalizer;
  const CORVmethodDecl *methods;
  uint32_t methodCount;
  const CORVeventDecl *events;
  uint32_t eventCount;
  const CORVpropertyDecl *properties;
  uint32_t propertyCount;
  const CORVhandlerDecl *handlers;
  uint32_t handlerCount;
} CORVclassDecl;

/* The class bound to a declaration (cached after the first call); null for a
 * null declaration, which is reported as "defn". */
CORVclass *CORVBindDeclaration(const CORVclassDecl *decl);
/* Makes a declaration known to RuntimeLookupClass (plugins and the runtime's
 * own classes). */
void CORVRegisterDeclaration(const CORVclassDecl *decl);
/* A new instance of the class bound to a declaration, with one reference. */
CORVobject CORVInstantiateDeclaration(const CORVclassDecl *decl);
/* Membership test against a declaration's class; reports when it is unbound. */
bool CORVIsaDeclaration(CORVobject obj, const CORVclassDecl *decl);
/* Gives the object a handler of its own for one event (copying the class's
 * event table for the object on first use). */
void CORVSetEventHandler(CORVobject obj, uint32_t eventIndex, void *handler);
/* The index of the class's event of that name (ASCII case ignored), or -1. */
int32_t CORVEventIndex(CORVclass *cls, const char *name);
/* Frees an object whose last reference was just released (the slow path of
 * RuntimeUnlockObject, called by inline releases). */
void CORVDestroyObject(CORVobject obj);
/* The handler of the object's event at the given index, or null. */
void *CORVEventHandler(CORVobject obj, uint32_t eventIndex);
/* The code address of the first method of that name (ASCII case ignored) in
 * the object's class, or null. */
void *CORVLookupMethodByName(CORVobject obj, const char *name);

CORV_END_DECLS

#endif
