// The process-wide start-up state: the application object, the quit flags,
// the arguments the process started with.
#pragma once

#include <cstdint>

#include "corv.h"

namespace corv {

struct AppState {
  CORVobject app = nullptr;
  int32_t appReferences = 0;  // references the runtime holds on `app`
  bool exitCodeFixed = false;
  bool quitting = false;
  bool quitRequested = false;
  bool insideUnhandledException = false;
  bool runStarted = false;
  bool inRun = false;
  int32_t exitCodeCopy = 0;
  bool socketsAvailable = false;
  int argc = 0;
  char **argv = nullptr;
  int32_t scriptCode = 0;
};

AppState &Process();
/// The application object as its native record (null when there is none).
inline CORVconsoleApplication *AppRecord() {
  return reinterpret_cast<CORVconsoleApplication *>(Process().app);
}
/// Builds the Run event's args() array from the process's arguments.
CORVobject MakeRunArguments(int argc, char **argv);
/// Sets the console handler as the unhandled-exception hook.
void InstallConsoleUnhandledExceptionHook();
/// Drops the application object and clears every flag and cached lookup (tests).
void ResetAppStateForTest();

}  // namespace corv
