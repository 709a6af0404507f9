/* The records every part of the runtime shares: strings, object headers,
 * class records and their tables. Plain C so that plugins can read them. */
#ifndef CORV_TYPES_H
#define CORV_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define CORV_EXTERN_C extern "C"
#define CORV_BEGIN_DECLS extern "C" {
#define CORV_END_DECLS }
#else
#define CORV_EXTERN_C
#define CORV_BEGIN_DECLS
#define CORV_END_DECLS
#endif

CORV_BEGIN_DECLS

/* Text-encoding codes of the three central encodings. */
enum {
  kEncodingUTF8 = 0x08000100u,
  kEncodingUTF16 = 0x00000100u,
  kEncodingASCII = 0x00000600u,
  kEncodingUnknown = 0x0000FFFFu
};

/* An immutable, reference-counted byte string tagged with its encoding. The
 * empty string is the null reference. `text` points at a length byte (the
 * length, or 255 for 255 bytes or more); the bytes follow it and are ended
 * by four zero bytes, so they can be handed to code that wants a
 * zero-terminated narrow or UTF-16 string. */
typedef struct CORVstringRecord {
  int32_t refCount;
  unsigned char *text;
  uint32_t allocSize; /* length + 5 */
  uint32_t length;    /* in bytes */
  uint32_t encoding;
} CORVstringRecord;
typedef CORVstringRecord *CORVstring;

struct CORVclass;
struct CORVeventEntry;

/* The header that begins every object. A reference count of 0 marks an
 * object that is never counted or destroyed (static objects). */
typedef struct CORVobjectHeader {
  void **vtable;
  struct CORVclass *cls;
  struct CORVeventEntry *events; /* the class's event table, or the object's own copy */
  int32_t refCount;
  struct CORVobjectHeader *prevLive;
  struct CORVobjectHeader *nextLive;
} CORVobjectHeader;
typedef CORVobjectHeader *CORVobject;

typedef void (*CORVobjectFunction)(CORVobject self);

/* One attribute of a method, event or property, such as ("__Scope", "Private"). */
typedef struct CORVattribute {
  CORVstring name;
  CORVstring value;
  uint8_t flag;
} CORVattribute;

/* Method, event and property entries share their first four words, so the
 * attribute table of any of them sits at the same place. */
typedef struct CORVinterfaceEntry {
  struct CORVclass *iface;
  uintptr_t reserved;
  void **vtable;
} CORVinterfaceEntry;

typedef struct CORVmethodEntry {
  CORVstring name;
  uintptr_t reserved;
  uint32_t attributeCount;
  CORVattribute *attributes;
  CORVstring signature; /* "%" + result type + "%" + argument types */
  void *code;
  void *invoker;
} CORVmethodEntry;

typedef struct CORVeventEntry {
  CORVstring name;
  uintptr_t reserved;
  uint32_t attributeCount;
  CORVattribute *attributes;
  void *handler; /* null: no handler */
} CORVeventEntry;

typedef struct CORVpropertyEntry {
  CORVstring name;
  uintptr_t kind;
  uint32_t attributeCount;
  CORVattribute *attributes;
  CORVstring type; /* "s", "i4", ... */
  uintptr_t code2;
  void *getter;
  void *setter;
  void *getterInvoker;
  void *setterInvoker;
} CORVpropertyEntry;

typedef struct CORVconstantEntry {
  CORVstring name;
  CORVstring value;
  uintptr_t reserved;
} CORVconstantEntry;

/* A class record. One allocation holds the record, then the interface table,
 * then the method, event, property and constant tables. */
typedef struct CORVclass {
  struct CORVclass *next; /* class list, newest first */
  struct CORVclass *base;
  CORVstring name;
  uint32_t instanceSize; /* header included */
  uint8_t isInterface;
  CORVobjectFunction initializer;
  CORVobjectFunction destructor;
  CORVobjectFunction finalizer;
  uint32_t vtableCount;
  void **vtable;
  uint32_t methodCount;
  CORVmethodEntry *methods;
  uint32_t eventCount;
  CORVeventEntry *events;
  uint32_t propertyCount;
  CORVpropertyEntry *properties;
  uint32_t constantCount;
  CORVconstantEntry *constants;
  uint32_t interfaceCount;
} CORVclass;

/* The interface table follows the record in the same allocation. */
static inline CORVinterfaceEntry *CORVClassInterfaces(CORVclass *cls) {
  return (CORVinterfaceEntry *)(cls + 1);
}

/* One entry of the runtime link table. */
typedef struct CORVlinkEntry {
  const char *name;
  void *code;
  uintptr_t reserved1;
  uintptr_t reserved2;
} CORVlinkEntry;

CORV_END_DECLS

#endif
