// RuntimeException and its subclasses, and raising them from native code.
//
// Native frames are compiled C++: a raise records the stack (its frames are
// named when Stack is first read), calls the raise hook and throws a
// LanguageException; the exception wrapper at the bottom of
// every native entry (Run, event-loop steps, thread entries) catches what
// nothing else did.
#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/exception_internal.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/string.h"
#include "platform/symbols.h"

namespace {

CORVExceptionHook gRaiseHook = nullptr;
CORVExceptionHook gUnhandledHook = nullptr;

// The return addresses a raise captured, per exception, until its Stack is
// first read: naming frames costs far more than capturing them, and most
// exceptions (the EndException of every quit among them) are never asked.
std::mutex gPendingMutex;
std::unordered_map<CORVobject, std::vector<void *>> gPendingStacks;

// The frames above the raise in progress: those up to and including
// RuntimeRaiseException are dropped, and so are frames without a name.
std::vector<std::string> NamesAboveTheRaise(const std::vector<void *> &addresses) {
  std::vector<std::string> names;
  for (void *address : addresses) names.push_back(corv::platform::FunctionNameAt(address));
  auto raise = std::find(names.begin(), names.end(), "RuntimeRaiseException");
  if (raise != names.end()) names.erase(names.begin(), raise + 1);
  std::erase(names, std::string());
  return names;
}

// Empties the exception's Stack and keeps the raiser's call stack for it.
void RecordStack(CORVexception *exception) {
  if (!exception->stack) {
    CORV_REPORT("userData", nullptr);
    return;
  }
  CORVArrayRedim(exception->stack, -1);
  std::vector<void *> addresses = corv::platform::NativeCallStackAddresses();
  std::lock_guard<std::mutex> hold(gPendingMutex);
  gPendingStacks[&exception->header] = std::move(addresses);
}

// Names the frames a raise kept for the exception into its Stack.
void FillStack(CORVobject exception) {
  std::vector<void *> addresses;
  {
    std::lock_guard<std::mutex> hold(gPendingMutex);
    auto pending = gPendingStacks.find(exception);
    if (pending == gPendingStacks.end()) return;
    addresses = std::move(pending->second);
    gPendingStacks.erase(pending);
  }
  CORVobject stack = reinterpret_cast<CORVexception *>(exception)->stack;
  for (const std::string &name : NamesAboveTheRaise(addresses))
    CORVArrayAppendString(stack, corv::String(name).get());
}

void ForgetStack(CORVobject exception) {
  std::lock_guard<std::mutex> hold(gPendingMutex);
  gPendingStacks.erase(exception);
}

}  // namespace

std::vector<std::string> corv::RaiserCallStack() {
  return NamesAboveTheRaise(platform::NativeCallStackAddresses());
}

extern "C" void RuntimeExceptionInitializer(CORVobject exception) {
  if (!exception) return;
  reinterpret_cast<CORVexception *>(exception)->stack = CORVNewStringArray();
}

extern "C" void RuntimeExceptionFinalizer(CORVobject exception) {
  ForgetStack(exception);
  auto *record = reinterpret_cast<CORVexception *>(exception);
  RuntimeUnlockString(record->message);
  RuntimeUnlockObject(record->stack);
  record->message = nullptr;
  record->stack = nullptr;
}

extern "C" CORVobject RuntimeExceptionStack(CORVobject exception) {
  if (!exception) return nullptr;
  FillStack(exception);
  CORVobject stack = reinterpret_cast<CORVexception *>(exception)->stack;
  RuntimeLockObject(stack);
  return stack;
}

const CORVclassDecl kRuntimeExceptionDecl =
    corv::ClassDecl("RuntimeException", sizeof(CORVexception))
        .Initializer(RuntimeExceptionInitializer)
        .Finalizer(RuntimeExceptionFinalizer);

// Each of these is a RuntimeException with nothing of its own but its name.
#define CORV_EXCEPTION_CLASS(name)    \
  const CORVclassDecl k##name##Decl = \
      corv::ClassDecl(#name, sizeof(CORVexception)).Super(&kRuntimeExceptionDecl);
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
  RecordStack(reinterpret_cast<CORVexception *>(exception));
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
  using corv::String;
  String message = String("Could not load ") + String::Share(functionName) + " from " +
                   String::Share(libraryName);
  CORVRaiseNewWithMessage(CORVBindDeclaration(&kFunctionNotFoundExceptionDecl), message.get(), 0);
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
extern "C" CORVExceptionHook CORVGetRaiseHook(void) {
  return gRaiseHook;
}
extern "C" CORVExceptionHook CORVGetUnhandledExceptionHook(void) {
  return gUnhandledHook;
}
