// The console application object: registering it, raising Run once, the
// quit sequence with its exit-code precedence, and unhandled exceptions.
//
// Exit-code precedence: the first quit request fixes the code (later quits
// and the value Run returns no longer change it); otherwise the value Run
// returned; otherwise 0 from the class initializer.
#include <string>

#include "core/app_state.h"
#include "core/scheduler.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace corv {
namespace {

CORVExceptionWrapper gWrapper = nullptr;  // looked up on first use

const CORVeventDecl kConsoleApplicationEvents[] = {
    {0x804, "Run", "args() as String", "Integer"},
    {0x804, "UnhandledException", "error as RuntimeException", ""},
};

void YieldFromApplication(CORVobject) {
  YieldToNextThread();
}

const CORVmethodDecl kConsoleApplicationMethods[] = {
    {"DoEvents", "%%i4", reinterpret_cast<void *>(&RuntimeDoEvents)},
    {"Daemonize", "%b%", reinterpret_cast<void *>(&DaemonizeApp)},
    {"_AddPollableObject", "%%o", reinterpret_cast<void *>(&ApplicationAddPollableObject)},
    {"_RemovePollableObject", "%%o", reinterpret_cast<void *>(&ApplicationRemovePollableObject)},
    {"YieldToNextThread", "%%", reinterpret_cast<void *>(&YieldFromApplication)},
};

void *EventHandler(CORVobject obj, const char *event) {
  if (!obj || !obj->cls) return nullptr;
  int32_t index = CORVEventIndex(obj->cls, event);
  return index < 0 ? nullptr : CORVEventHandler(obj, static_cast<uint32_t>(index));
}

// Raises the application's UnhandledException event; an exception raised by
// the handler itself is dropped so that the original one is still reported.
void RaiseUnhandledExceptionEvent(CORVobject error) {
  CORVobject app = Process().app;
  auto handler =
      reinterpret_cast<CORVUnhandledExceptionHandler>(EventHandler(app, "UnhandledException"));
  if (!handler) return;
  try {
    handler(app, error);
  } catch (const LanguageException &) {
  }
}

// The console hook of RuntimeUnhandledException.
void ConsoleUnhandledExceptionHook(CORVobject error) {
  AppState &state = Process();
  state.insideUnhandledException = true;
  if (CORVIsaDeclaration(error, &kThreadEndExceptionDecl)) {
    state.insideUnhandledException = false;
    return;
  }
  if (!CORVIsaDeclaration(error, &kEndExceptionDecl)) RaiseUnhandledExceptionEvent(error);
  state.insideUnhandledException = false;
  if (!state.quitRequested) UnhandledException(error);
}

void NothingToDo() {}

void RunEventCaller() {
  AppState &state = Process();
  CORVobject app = state.app;
  if (!app) {
    CORV_REPORT("app",
                "Trying to call the Run event before making the console application object.");
    return;
  }
  if (CORVIsaDeclaration(app, &kServiceApplicationDecl)) {
    auto dontDaemonize = reinterpret_cast<bool (*)(CORVobject)>(EventHandler(app, "DontDaemonize"));
    if (dontDaemonize) dontDaemonize(app);
  }
  auto run = reinterpret_cast<CORVRunHandler>(EventHandler(app, "Run"));
  if (!run) return;
  Ref<> args = Ref<>::Adopt(MakeRunArguments(state.argc, state.argv));
  int32_t result = 0;
  try {
    result = run(app, args.object());
  } catch (const LanguageException &e) {
    // A run that ended in an exception nothing handled did not succeed: it
    // must not leave the process with a success status.
    if (!e.Isa(&kEndExceptionDecl) && !e.Isa(&kThreadEndExceptionDecl) && !state.exitCodeFixed)
      AppRecord()->exitCode = 1;
    state.exitCodeCopy = AppRecord()->exitCode;
    throw;
  }
  if (!state.exitCodeFixed) AppRecord()->exitCode = result;
  state.exitCodeCopy = AppRecord()->exitCode;
}

}  // namespace

void InstallConsoleUnhandledExceptionHook() {
  CORVSetUnhandledExceptionHook(&ConsoleUnhandledExceptionHook);
}

void ResetAppStateForTest() {
  AppState &state = Process();
  for (int32_t i = 0; i < state.appReferences; ++i) Release(state.app);
  state = AppState{};
  gWrapper = nullptr;
}

}  // namespace corv

const CORVclassDecl kConsoleApplicationDecl =
    corv::ClassDecl("ConsoleApplication", sizeof(CORVconsoleApplication))
        .Initializer(ConsoleApplicationInitializer)
        .Methods(corv::kConsoleApplicationMethods)
        .Events(corv::kConsoleApplicationEvents);

namespace {
const CORVeventDecl kServiceEvents[] = {
    {0x804, "Stop", "shuttingDown as Boolean", ""},
    {0x804, "Pause", "", ""},
    {0x804, "Resume", "", ""},
    {0x804, "DontDaemonize", "", "Boolean"},
};
}  // namespace

const CORVclassDecl kServiceApplicationDecl =
    corv::ClassDecl("ServiceApplication", sizeof(CORVconsoleApplication))
        .Super(&kConsoleApplicationDecl)
        .Events(kServiceEvents);

using corv::Process;

namespace {

// Makes `obj` the application object holding `references` of the runtime's
// own references; the previous object gives up those the runtime held.
void SetApplicationObject(CORVobject obj, int32_t references) {
  corv::AppState &state = Process();
  for (int32_t i = 0; i < references; ++i) corv::Retain(obj);
  CORVobject previous = state.app;
  int32_t previousReferences = state.appReferences;
  state.app = obj;
  state.appReferences = references;
  for (int32_t i = 0; i < previousReferences; ++i) corv::Release(previous);
}

}  // namespace

extern "C" void ConsoleApplicationInitializer(CORVobject obj) {
  if (!obj) {
    CORV_REPORT("obj", nullptr);
    return;
  }
  reinterpret_cast<CORVconsoleApplication *>(obj)->exitCode = 0;
  SetApplicationObject(obj, 1);
}

extern "C" void RuntimeRegisterConsoleAppObject(CORVobject app, bool asService) {
  if (app) {
    // One of the runtime's references is given up and two are taken.
    bool same = app == Process().app;
    SetApplicationObject(app, same ? Process().appReferences + 1 : 2);
  } else {
    CORVobject created =
        CORVInstantiateDeclaration(asService ? &kServiceApplicationDecl : &kConsoleApplicationDecl);
    corv::Release(created);  // the initializer's reference keeps it
  }
  // A service has no dispatcher to start on this platform; it goes on as an
  // ordinary console application.
  CORVCallThroughApplication(&corv::NothingToDo);
}

extern "C" void RuntimeInit(void) {}

extern "C" int32_t RuntimeExit(void) {
  if (!Process().app) {
    CORV_REPORT("app", nullptr);
    return 0;
  }
  return corv::AppRecord()->exitCode;
}

extern "C" void RuntimeRun(void) {
  corv::AppState &state = Process();
  if (state.runStarted) return;
  state.runStarted = true;
  state.inRun = true;
  // Run is over however this frame is left; the quit's EndException passes
  // through to the image's frame without being caught and raised again here.
  struct LeaveRun {
    corv::AppState &state;
    ~LeaveRun() { state.inRun = false; }
  } leave{state};
  CORVCallThroughApplication(&corv::RunEventCaller);
  ApplicationQuit(state.exitCodeCopy, true);
}

extern "C" CORVobject getAppObject(void) {
  corv::Retain(Process().app);
  return Process().app;
}

extern "C" bool DaemonizeApp(void) {
  return true;
}

extern "C" void ApplicationQuit(int32_t exitCode, bool raiseEnd) {
  corv::AppState &state = Process();
  state.exitCodeFixed = true;
  if (state.quitting) return;
  state.quitting = true;
  if (state.app) corv::AppRecord()->exitCode = exitCode;
  // The quit is complete before the EndException leaves this frame.
  state.quitRequested = true;
  if (!state.insideUnhandledException && raiseEnd) {
    // A quit from another thread ends that thread in its place.
    corv::KillOtherThreads();
    CORVRaiseNew(CORVBindDeclaration(&kEndExceptionDecl));
  }
}

extern "C" void CV_ApplicationQuit(int32_t exitCode) {
  ApplicationQuit(exitCode, true);
}

extern "C" void UnhandledException(CORVobject exception) {
  if (exception && !CORVIsaDeclaration(exception, &kEndExceptionDecl)) {
    auto *record = reinterpret_cast<CORVexception *>(exception);
    // Built as runtime strings, so a message in any encoding joins the text
    // correctly; the console stream then writes it in the system encoding
    // unless it is ASCII already, and flushes it.
    corv::String className =
        exception->cls ? corv::String::Share(exception->cls->name) : corv::String();
    corv::String text = corv::String("Exception Message: ") + corv::String::Share(record->message) +
                        corv::String("\nException Error Number: ") +
                        corv::Str(record->errorNumber) + corv::String("\nAn exception of class ") +
                        className +
                        corv::String(" was not handled.  The application must shut down.");
    CORVobject standardError = RuntimeGetStdErr();
    RuntimeStdOutputStreamWrite(standardError, text.get());
    RuntimeStdOutFlush(standardError);
  }
  Process().quitRequested = true;
}

extern "C" void CORVCallFunctionWithExceptionHandling(CORVobject app, CORVAppFunction function) {
  (void)app;
  if (!function) return;
  try {
    function();
  } catch (const corv::LanguageException &e) {
    if (!e.Isa(&kRuntimeExceptionDecl)) throw;
    if (e.Isa(&kEndExceptionDecl) || e.Isa(&kThreadEndExceptionDecl)) return;
    corv::RaiseUnhandledExceptionEvent(e.object());
    UnhandledException(e.object());
  }
}

extern "C" void CORVCallThroughApplication(CORVAppFunction function) {
  CORVobject app = Process().app;
  if (!app) {
    CORV_REPORT("whichObject", nullptr);
    return;
  }
  if (!function) {
    CORV_REPORT("function", nullptr);
    return;
  }
  if (!corv::gWrapper) {
    // Looked up by name once per run. A class that defines no wrapper gets
    // the runtime's own: without one, Run and every event-loop step would
    // never happen, and no native application should have to re-declare it.
    corv::gWrapper = reinterpret_cast<CORVExceptionWrapper>(
        CORVLookupMethodByName(app, "_CallFunctionWithExceptionHandling"));
    if (!corv::gWrapper) corv::gWrapper = &CORVCallFunctionWithExceptionHandling;
  }
  corv::gWrapper(app, function);
}
