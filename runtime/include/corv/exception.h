// Language exceptions as seen from C++: RuntimeRaiseException throws a
// LanguageException that carries the counted exception object; native code
// catches it and decides by class.
#pragma once

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

}  // namespace corv
