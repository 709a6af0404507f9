/* Start-up and the console application object: the process entry, the
 * application object, the Run event, quitting and unhandled exceptions. */
#ifndef CORV_APP_H
#define CORV_APP_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* ConsoleApplication's fields after the object header. */
typedef struct CORVconsoleApplication {
  CORVobjectHeader header;
  int32_t exitCode;
  uint32_t serviceStatus[7]; /* used by ServiceApplication only */
  void *serviceStatusHandle;
} CORVconsoleApplication;

extern const CORVclassDecl kConsoleApplicationDecl;
extern const CORVclassDecl kServiceApplicationDecl;

/* Handlers of the application's events. */
typedef int32_t (*CORVRunHandler)(CORVobject app, CORVobject args);
typedef void (*CORVUnhandledExceptionHandler)(CORVobject app, CORVobject error);
/* The function the exception wrapper calls, and the wrapper itself (the
 * method "_CallFunctionWithExceptionHandling" of the application class). */
typedef void (*CORVAppFunction)(void);
typedef void (*CORVExceptionWrapper)(CORVobject app, CORVAppFunction function);

/* The process entry: prepares the runtime, runs the loader and returns the
 * process exit status. */
int32_t CORVProcessMain(int argc, char **argv);

void RuntimeInit(void);
int32_t RuntimeExit(void);
void RuntimeRegisterConsoleAppObject(CORVobject app, bool asService);
void RuntimeRun(void);
void ConsoleApplicationInitializer(CORVobject obj);
CORVobject getAppObject(void);
bool DaemonizeApp(void);
void UnhandledException(CORVobject exception);
void ApplicationQuit(int32_t exitCode, bool raiseEnd);
void CV_ApplicationQuit(int32_t exitCode);

/* The behaviour every "_CallFunctionWithExceptionHandling" has: calls the
 * function; swallows EndException and ThreadEndException; passes any other
 * RuntimeException to the UnhandledException event and then the printer;
 * lets anything else go on. It is the wrapper of every application class
 * that does not define the method itself. */
void CORVCallFunctionWithExceptionHandling(CORVobject app, CORVAppFunction function);
/* Calls a function through the application's wrapper (reports "whichObject",
 * "function" or "fp" and skips it when that is impossible). */
void CORVCallThroughApplication(CORVAppFunction function);

/* Version properties, from the image's version record ("vers", id 1). */
enum {
  kAppMajorVersion = 0,
  kAppMinorVersion = 1,
  kAppBugVersion = 2,
  kAppStageCode = 3,
  kAppNonReleaseVersion = 4,
  kAppRegionCode = 5
};
enum { kAppShortVersion = 0, kAppLongVersion = 1, kAppPackageInfo = 2 };
int32_t AppIntegerVersionStuffGetter(CORVobject app, int32_t which);
CORVstring AppStringVersionStuffGetter(CORVobject app, int32_t which);

CORV_END_DECLS

#endif
