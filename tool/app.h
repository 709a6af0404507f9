// App: the tool's application class, a ConsoleApplication whose Run event
// is the whole build run.
#pragma once

#include "corv.h"
#include "corv/string.h"

namespace kilnrun {

struct App {
  CORVconsoleApplication base;
  CORVobject launchShell;  // the Shell that started the IDE, kept while it runs
};
extern const CORVclassDecl kAppDecl;

/// Event_Run: the run; its result is the process exit code.
int32_t AppEventRun(CORVobject self, CORVobject args);
/// Event_UnhandledException: reports an exception that nothing caught and
/// removes every project's temporary files; the runtime's report follows.
void AppEventUnhandledException(CORVobject self, CORVobject error);

/// App.CloseIDEWindows: asks the IDE to close, for each name, the first
/// window whose title holds the name in square brackets; unless
/// `closeLastWindow`, a sole open window stays. Then lets 250 ms pass.
void AppCloseIDEWindows(CORVobject self, const corv::StringArray &names, bool closeLastWindow);

/// The image entry this executable stands in for: the start sequence of the
/// application (class set-up, plugins, the App object, Run, exit).
void KilnrunImageEntry();

}  // namespace kilnrun
