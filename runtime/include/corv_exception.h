/* Language exceptions: RuntimeException and its subclasses, raising, and the
 * stack-overflow check. Native code raises with RuntimeRaiseException, which
 * throws a C++ exception carrying the counted exception object. */
#ifndef CORV_EXCEPTION_H
#define CORV_EXCEPTION_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* RuntimeException's fields after the object header. */
typedef struct CORVexception {
  CORVobjectHeader header;
  int32_t errorNumber;
  CORVstring message;
  CORVobject stack; /* array of String */
} CORVexception;

void RuntimeRaiseException(CORVobject exception);
void RuntimeReraiseException(CORVobject exception);
void RaiseNilObjectException(void);
void RuntimeNilObject(void);
void RaiseOutOfBoundsException(void);
void RuntimeRaiseFunctionNotFoundException(CORVstring functionName, CORVstring libraryName);
void RuntimeStackCheck(void);
void CORVInitStackChecker(uintptr_t size, uintptr_t base);
void RuntimeUnhandledException(CORVobject exception);
void RuntimeExceptionInitializer(CORVobject exception);
void RuntimeExceptionFinalizer(CORVobject exception);
CORVobject RuntimeExceptionStack(CORVobject exception);

/* Raise new: creates an instance of the class (one reference), raises it and
 * gives that reference up. Reports "exclass" for a null class. */
void CORVRaiseNew(CORVclass *cls);
/* The same with a message and an error number. */
void CORVRaiseNewWithMessage(CORVclass *cls, CORVstring message, int32_t errorNumber);

/* The raise hook (remote debugger only) and the unhandled-exception hook. */
typedef void (*CORVExceptionHook)(CORVobject exception);
void CORVSetRaiseHook(CORVExceptionHook hook);
void CORVSetUnhandledExceptionHook(CORVExceptionHook hook);
CORVExceptionHook CORVGetRaiseHook(void);
CORVExceptionHook CORVGetUnhandledExceptionHook(void);

/* The runtime's exception classes. */
extern const CORVclassDecl kRuntimeExceptionDecl;
extern const CORVclassDecl kNilObjectExceptionDecl;
extern const CORVclassDecl kServiceNotAvailableExceptionDecl;
extern const CORVclassDecl kNoOpenTransportExceptionDecl;
extern const CORVclassDecl kRegistryAccessErrorExceptionDecl;
extern const CORVclassDecl kIllegalCastExceptionDecl;
extern const CORVclassDecl kInvalidParentExceptionDecl;
extern const CORVclassDecl kStackOverflowExceptionDecl;
extern const CORVclassDecl kTypeMismatchExceptionDecl;
extern const CORVclassDecl kOutOfBoundsExceptionDecl;
extern const CORVclassDecl kOutOfMemoryExceptionDecl;
extern const CORVclassDecl kKeyNotFoundExceptionDecl;
extern const CORVclassDecl kEndExceptionDecl;
extern const CORVclassDecl kThreadEndExceptionDecl;
extern const CORVclassDecl kThreadAlreadyRunningExceptionDecl;
extern const CORVclassDecl kUnsupportedFormatExceptionDecl;
extern const CORVclassDecl kKeyChainExceptionDecl;
extern const CORVclassDecl kOLEExceptionDecl;
extern const CORVclassDecl kFunctionNotFoundExceptionDecl;
extern const CORVclassDecl kIllegalLockingExceptionDecl;

CORV_END_DECLS

#endif
