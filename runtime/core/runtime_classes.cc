// The list of the runtime's own class declarations.
#include "core/runtime_classes.h"

#include "corv.h"

namespace corv {

void RegisterRuntimeClassDeclarations() {
  static const CORVclassDecl *const kDeclarations[] = {
      &kRuntimeExceptionDecl,
      &kNilObjectExceptionDecl,
      &kServiceNotAvailableExceptionDecl,
      &kNoOpenTransportExceptionDecl,
      &kRegistryAccessErrorExceptionDecl,
      &kIllegalCastExceptionDecl,
      &kInvalidParentExceptionDecl,
      &kStackOverflowExceptionDecl,
      &kTypeMismatchExceptionDecl,
      &kOutOfBoundsExceptionDecl,
      &kOutOfMemoryExceptionDecl,
      &kKeyNotFoundExceptionDecl,
      &kEndExceptionDecl,
      &kThreadEndExceptionDecl,
      &kThreadAlreadyRunningExceptionDecl,
      &kUnsupportedFormatExceptionDecl,
      &kKeyChainExceptionDecl,
      &kOLEExceptionDecl,
      &kFunctionNotFoundExceptionDecl,
      &kIllegalLockingExceptionDecl,
      &kDictionaryDecl,
      &kDateDecl,
      &kIPCSocketDecl,
      &kThreadDecl,
      &kSemaphoreDecl,
      &kCriticalSectionDecl,
      &kMutexDecl,
  };
  for (const CORVclassDecl *decl : kDeclarations) CORVRegisterDeclaration(decl);
}

}  // namespace corv
