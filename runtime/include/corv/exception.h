// Language exceptions as seen from C++: RuntimeRaiseException throws a
// LanguageException that carries the counted exception object; native code
// catches it and decides by class, most readably with Catch:
//
//   if (Ref<CORVexception> e = corv::Catch(&kKeyNotFoundExceptionDecl, [&] { ... }))
//     ... the body raised KeyNotFoundException (or a subclass) ...
#pragma once

#include <cstdlib>
#include <exception>
#include <utility>

#include "corv/ref.h"
#include "corv_exception.h"

namespace corv {

class LanguageException : public std::exception {
 public:
  /// Takes a new reference on the exception object.
  explicit LanguageException(CORVobject exception) : exception_(Ref<>::Share(exception)) {}

  CORVobject object() const { return exception_.object(); }
  CORVexception *record() const { return reinterpret_cast<CORVexception *>(exception_.get()); }
  /// True when the exception is of the declared class or a subclass of it.
  bool Isa(const CORVclassDecl *decl) const { return CORVIsaDeclaration(object(), decl); }
  const char *what() const noexcept override { return "language exception"; }

 private:
  Ref<> exception_;
};

/// Raises a new exception of the declared class. It never returns: when the
/// class cannot be bound (which is reported) nothing could catch it, and the
/// process ends.
[[noreturn]] inline void RaiseNew(const CORVclassDecl *decl) {
  CORVRaiseNew(CORVBindDeclaration(decl));
  std::abort();
}

/// Runs `body` and returns the language exception it raised when that is of
/// the class of `decl` or a subclass (the caller holds one reference), or nil
/// when it raised nothing. Any other exception goes on to outer handlers.
template <class Body>
Ref<CORVexception> Catch(const CORVclassDecl *decl, Body &&body) {
  try {
    std::forward<Body>(body)();
  } catch (const LanguageException &e) {
    if (!e.Isa(decl)) throw;
    return Ref<CORVexception>::Share(e.record());
  }
  return nullptr;
}

/// Runs `body` and returns any language exception it raised, or nil.
template <class Body>
Ref<CORVexception> CatchAny(Body &&body) {
  return Catch(&kRuntimeExceptionDecl, std::forward<Body>(body));
}

}  // namespace corv
