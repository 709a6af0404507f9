// The start sequence of a console application, for the native entry of an
// image: create the application object, register it, run it and exit.
#pragma once

#include "corv.h"
#include "corv/exception.h"

namespace corv {

/// Creates the application of `decl`, registers it as the console
/// application, runs it (a quit's EndException ends the run; any other
/// exception goes on to the caller) and exits through the runtime.
inline void RunConsoleApplication(const CORVclassDecl *decl) {
  CORVobject app = CORVInstantiateDeclaration(decl);
  RuntimeRegisterConsoleAppObject(app, false);
  RuntimeUnlockObject(app);  // the registration keeps it
  try {
    RuntimeRun();
  } catch (const LanguageException &e) {
    if (!e.Isa(&kEndExceptionDecl)) throw;
  }
  RuntimeExit();
}

}  // namespace corv
