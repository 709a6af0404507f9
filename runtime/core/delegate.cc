// Delegates (a function with an optional target object) and weak references
// (a reference that does not count and is cleared when its target dies).
#include <cstring>
#include <unordered_map>

#include "core/object_internal.h"
#include "corv.h"
#include "corv/class_decl.h"

namespace corv {
namespace {

// The first weak reference of each target; the others follow nextWeakRef.
std::unordered_map<CORVobject, CORVweakRef *> gWeakChains;

void DelegateFinalizer(CORVobject self) {
  auto *delegate = reinterpret_cast<CORVdelegate *>(self);
  RuntimeUnlockObject(delegate->target);
  RuntimeUnlockString(delegate->signature);
  delegate->target = nullptr;
  delegate->signature = nullptr;
}

void WeakRefFinalizer(CORVobject self) {
  if (reinterpret_cast<CORVweakRef *>(self)->target) UnregisterWeakRef(self);
}

bool SameSignature(CORVstring a, CORVstring b) {
  uint32_t length = CORVStringLength(a);
  return length == CORVStringLength(b) &&
         std::memcmp(CORVStringBytes(a), CORVStringBytes(b), length) == 0;
}

}  // namespace

const CORVclassDecl kDelegateDecl =
    corv::ClassDecl("Delegate", sizeof(CORVdelegate)).Finalizer(DelegateFinalizer);
const CORVclassDecl kWeakRefDecl =
    corv::ClassDecl("WeakRef", sizeof(CORVweakRef)).Finalizer(WeakRefFinalizer);

void ClearWeakReferencesTo(CORVobject obj) {
  if (gWeakChains.empty()) return;
  auto chain = gWeakChains.find(obj);
  if (chain == gWeakChains.end()) return;
  for (CORVweakRef *ref = chain->second; ref;) {
    CORVweakRef *next = ref->nextWeakRef;
    ref->target = nullptr;
    ref->nextWeakRef = nullptr;
    ref = next;
  }
  gWeakChains.erase(chain);
}

}  // namespace corv

extern "C" CORVobject RuntimeCreateDelegate(void *invoker, void *function, CORVobject target,
                                            CORVstring signature) {
  if (!invoker || !function) {
    RaiseNilObjectException();
    return nullptr;
  }
  CORVobject obj = CORVInstantiateDeclaration(&corv::kDelegateDecl);
  auto *delegate = reinterpret_cast<CORVdelegate *>(obj);
  delegate->invoker = invoker;
  delegate->function = function;
  RuntimeLockObject(target);
  delegate->target = target;
  delegate->signature = RuntimeLockString(signature);
  return obj;
}

extern "C" CORVobject RuntimeCheckDelegateCast(CORVobject delegate, CORVstring signature) {
  if (!delegate) return nullptr;
  if (!corv::SameSignature(reinterpret_cast<CORVdelegate *>(delegate)->signature, signature)) {
    CORVRaiseNew(CORVBindDeclaration(&kIllegalCastExceptionDecl));
    return nullptr;
  }
  RuntimeLockObject(delegate);
  return delegate;
}

extern "C" void RegisterWeakRef(CORVobject weakRef, CORVobject target) {
  auto *ref = reinterpret_cast<CORVweakRef *>(weakRef);
  if (!ref || !target) return;
  ref->target = target;
  auto chain = corv::gWeakChains.find(target);
  if (chain == corv::gWeakChains.end()) {
    ref->nextWeakRef = nullptr;
    corv::gWeakChains.emplace(target, ref);
  } else {  // after the first one
    ref->nextWeakRef = chain->second->nextWeakRef;
    chain->second->nextWeakRef = ref;
  }
}

extern "C" void UnregisterWeakRef(CORVobject weakRef) {
  auto *ref = reinterpret_cast<CORVweakRef *>(weakRef);
  if (!ref || !ref->target) return;
  auto chain = corv::gWeakChains.find(ref->target);
  if (chain == corv::gWeakChains.end()) {
    CORV_REPORT("false", nullptr);
  } else if (chain->second == ref) {
    if (ref->nextWeakRef)
      chain->second = ref->nextWeakRef;
    else
      corv::gWeakChains.erase(chain);
  } else {
    CORVweakRef *temp = chain->second;
    while (temp->nextWeakRef && temp->nextWeakRef != ref) temp = temp->nextWeakRef;
    if (temp->nextWeakRef)
      temp->nextWeakRef = ref->nextWeakRef;
    else
      CORV_REPORT("temp->mNextWeakRef", nullptr);
  }
  ref->nextWeakRef = nullptr;
  ref->target = nullptr;
}

extern "C" CORVobject ResolveWeakRef(CORVobject weakRef) {
  auto *ref = reinterpret_cast<CORVweakRef *>(weakRef);
  if (!ref || !ref->target) return nullptr;
  RuntimeLockObject(ref->target);
  return ref->target;
}

extern "C" CORVobject RuntimeNewWeakRef(CORVobject target) {
  CORVobject ref = CORVInstantiateDeclaration(&corv::kWeakRefDecl);
  RegisterWeakRef(ref, target);
  return ref;
}
