// Declaring a native class from C++: a CORVclassDecl whose tables are given
// as arrays, so that the compiler sets each table and its count together.
#pragma once

#include <cstddef>
#include <cstdint>

#include "corv_object.h"

namespace corv {

/// A CORVclassDecl made in one constant expression; what it does not set
/// is null or 0:
///
///   const CORVclassDecl kTimerDecl = corv::ClassDecl("Timer", sizeof(CORVtimer))
///                                        .Initializer(TimerInitializer)
///                                        .Events(kTimerEvents);
class ClassDecl {
 public:
  /// `instanceSize` counts the object header.
  constexpr ClassDecl(const char *name, size_t instanceSize) : decl_{} {
    decl_.name = name;
    decl_.instanceSize = static_cast<uint32_t>(instanceSize);
  }

  constexpr ClassDecl &Super(const CORVclassDecl *super) {
    decl_.super = super;
    return *this;
  }
  constexpr ClassDecl &Initializer(CORVobjectFunction function) {
    decl_.initializer = function;
    return *this;
  }
  constexpr ClassDecl &Destructor(CORVobjectFunction function) {
    decl_.destructor = function;
    return *this;
  }
  constexpr ClassDecl &Finalizer(CORVobjectFunction function) {
    decl_.finalizer = function;
    return *this;
  }
  template <size_t N>
  constexpr ClassDecl &Methods(const CORVmethodDecl (&methods)[N]) {
    decl_.methods = methods;
    decl_.methodCount = N;
    return *this;
  }
  template <size_t N>
  constexpr ClassDecl &Events(const CORVeventDecl (&events)[N]) {
    decl_.events = events;
    decl_.eventCount = N;
    return *this;
  }
  template <size_t N>
  constexpr ClassDecl &Properties(const CORVpropertyDecl (&properties)[N]) {
    decl_.properties = properties;
    decl_.propertyCount = N;
    return *this;
  }
  template <size_t N>
  constexpr ClassDecl &Handlers(const CORVhandlerDecl (&handlers)[N]) {
    decl_.handlers = handlers;
    decl_.handlerCount = N;
    return *this;
  }

  constexpr operator CORVclassDecl() const { return decl_; }

 private:
  CORVclassDecl decl_;
};

}  // namespace corv
