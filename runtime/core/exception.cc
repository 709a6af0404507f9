// RuntimeException and its subclasses, and raising them from native code.
//
// Native frames are compiled C++: a raise records the stack, calls the raise
// hook and throws a LanguageException; the exception wrapper at the bottom of
// every native entry (Run, event-loop steps, thread entries) catches what
// nothing else did.
#include <cstring>
#include <string>

#include "corv.h"
#include "corv/exception.h"

namespace {

CORVExceptionHook gRaiseHook = nullptr;
CORVExceptionHook gUnhandledHook = nullptr;

}  // namespace

extern "C" void RuntimeExceptionInitializer(CORVobject exception) {
  (void)exception;  // the Stack array arrives with arrays
}

extern "C" void RuntimeExceptionFinalizer(CORVobject exception) {
  auto *record = reinterpret_cast<CORVexception *>(exception);
  RuntimeUnlockString(record->message);
  RuntimeUnlockObject(record->stack);
  record->message = nullptr;
  record->stack = nullptr;
}

extern "C" CORVobject RuntimeExceptionStack(CORVobject exception) {
  if (!exception) return nullptr;
  CORVobject stack = reinterpret_cast<CORVexception *>(exception)->stack;
  RuntimeLockObject(stack);
  return stack;
}

const CORVclassDecl kRuntimeExceptionDecl = {"RuntimeException",
                                             nullptr,
                                             sizeof(CORVexception),
                                             RuntimeExceptionInitializer,
                                             nullptr,
                                             RuntimeExceptionFinalizer,
                                             nullptr,
                                             0,
                                             nullptr,
                                             0,
                                             nullptr,
                                             0,
                                             nullptr,
                                             0};

#define CORV_EXCEPTION_CLASS(name)                             \
  const CORVclassDecl k##name##Decl = {#name,                  \
                                       &kRuntimeExceptionDecl, \
                                       sizeof(CORVexception),  \
                                       nullptr,                \
                                       nullptr,                \
                                       nullptr,                \
                                       nullptr,                \
                                       0,                      \
                                       nullptr,                \
                                       0,                      \
                                       nullptr,                \
                                       0,                      \
                                       nullptr,                \
                                       0};
CORV_EXCEPTION_CLASS(NilObjectException)
CORV_EXCEPTION_CLASS(ServiceNotAvailableException)
CORV_EXCEPTION_CLASS(NoOpenTransportException)
CORV_EXCEPTION_CLASS(RegistryAccessErrorException)
CORV_EXCEPTION_CLASS(IllegalCastException)
CORV_EXCEPTION_CLASS(InvalidParentException)
CORV_EXCEPTION_CLASS(StackOverflowException)
CORV_EXCEPTION_CLASS(TypeMismatchException)
CORV_EXCEPTION_CLASS(OutOfBoundsException)
CORV_EXCEPTION_CLASS(OutOfMemoryException)
CORV_EXCEPTION_CLASS(KeyNotFoundException)
CORV_EXCEPTION_CLASS(EndException)
CORV_EXCEPTION_CLASS(ThreadEndException)
CORV_EXCEPTION_CLASS(ThreadAlreadyRunningException)
CORV_EXCEPTION_CLASS(UnsupportedFormatException)
CORV_EXCEPTION_CLASS(KeyChainException)
CORV_EXCEPTION_CLASS(OLEException)
CORV_EXCEPTION_CLASS(FunctionNotFoundException)
CORV_EXCEPTION_CLASS(IllegalLockingException)
#undef CORV_EXCEPTION_CLASS

extern "C" void RuntimeRaiseException(CORVobject exception) {
  if (!exception) return;
  if (gRaiseHook) gRaiseHook(exception);
  throw corv::LanguageException(exception);
}

extern "C" void RuntimeReraiseException(CORVobject exception) {
  if (!exception) return;
  throw corv::LanguageException(exception);
}

extern "C" void CORVRaiseNew(CORVclass *cls) {
  if (!cls) {
    CORV_REPORT("exclass", nullptr);
    return;
  }
  corv::Ref<> exception = corv::Ref<>::Adopt(RuntimeNewObject(cls));
  RuntimeRaiseException(exception.object());
}

extern "C" void CORVRaiseNewWithMessage(CORVclass *cls, CORVstring message, int32_t errorNumber) {
  if (!cls) {
    CORV_REPORT("exclass", nullptr);
    return;
  }
  corv::Ref<CORVexception> exception = corv::Ref<CORVexception>::Adopt(RuntimeNewObject(cls));
  exception->message = RuntimeLockString(message);
  exception->errorNumber = errorNumber;
  RuntimeRaiseException(exception.object());
}

extern "C" void RaiseNilObjectException(void) {
  CORVRaiseNew(CORVBindDeclaration(&kNilObjectExceptionDecl));
}
extern "C" void RuntimeNilObject(void) {
  RaiseNilObjectException();
}
extern "C" void RaiseOutOfBoundsException(void) {
  CORVRaiseNew(CORVBindDeclaration(&kOutOfBoundsExceptionDecl));
}

extern "C" void RuntimeRaiseFunctionNotFoundException(CORVstring functionName,
                                                      CORVstring libraryName) {
  std::string text = "Could not load ";
  text.append(CORVStringBytes(functionName), CORVStringLength(functionName));
  text += " from ";
  text.append(CORVStringBytes(libraryName), CORVStringLength(libraryName));
  CORVstring message =
      RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
  struct Release {
    CORVstring s;
    ~Release() { RuntimeUnlockString(s); }
  } release{message};
  CORVRaiseNewWithMessage(CORVBindDeclaration(&kFunctionNotFoundExceptionDecl), message, 0);
}

extern "C" void RuntimeUnhandledException(CORVobject exception) {
  if (gUnhandledHook)
    gUnhandledHook(exception);
  else
    CORV_REPORT("0", nullptr);
}

extern "C" void CORVSetRaiseHook(CORVExceptionHook hook) {
  gRaiseHook = hook;
}
extern "C" void CORVSetUnhandledExceptionHook(CORVExceptionHook hook) {
  gUnhandledHook = hook;
}

extern "C" void RuntimeStackCheck(void) {}
extern "C" void CORVInitStackChecker(uintptr_t size, uintptr_t base) {
  (void)size;
  (void)base;
}
