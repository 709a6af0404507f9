// The application object, Run, quitting, the exit-code precedence, the
// printer and the event loop, in process.
#include <gtest/gtest.h>

#include <string>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/failure.h"
#include "core/loader.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/string.h"
#include "image_builder.h"
#include "platform/clock.h"
#include "runtime_test.h"

namespace {

std::string gTrace;
int32_t gRunResult = 0;
int32_t gArgsUpperBound = -2;
void (*gDuringRun)() = nullptr;

int32_t OnRun(CORVobject, CORVobject args) {
  gTrace += "run;";
  gArgsUpperBound = RuntimeUBound(args);
  if (gDuringRun) gDuringRun();
  return gRunResult;
}
void OnUnhandled(CORVobject, CORVobject error) {
  gTrace += std::string("unhandled ") + CORVStringBytes(error->cls->name) + ";";
}
void OwnWrapper(CORVobject app, CORVAppFunction function) {
  gTrace += "own wrapper;";
  CORVCallFunctionWithExceptionHandling(app, function);
}

const CORVmethodDecl kOwnWrapperMethods[] = {
    {"_CallFunctionWithExceptionHandling", "%%p", reinterpret_cast<void *>(&OwnWrapper)}};
const CORVhandlerDecl kTestAppHandlers[] = {
    {"Run", reinterpret_cast<void *>(&OnRun)},
    {"UnhandledException", reinterpret_cast<void *>(&OnUnhandled)}};
// Defines no exception wrapper: the runtime's own is used.
const CORVclassDecl kTestAppDecl = corv::ClassDecl("TestApp", sizeof(CORVconsoleApplication))
                                       .Super(&kConsoleApplicationDecl)
                                       .Handlers(kTestAppHandlers);
const CORVclassDecl kOwnWrapperAppDecl =
    corv::ClassDecl("OwnWrapperApp", sizeof(CORVconsoleApplication))
        .Super(&kTestAppDecl)
        .Methods(kOwnWrapperMethods);
const CORVclassDecl kBareAppDecl =
    corv::ClassDecl("BareApp", sizeof(CORVconsoleApplication)).Super(&kConsoleApplicationDecl);

char gProgram[] = "/usr/bin/prog";
char gQuoted[] = "two words";
char *gArgv[] = {gProgram, gQuoted, nullptr};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    corv::ResetAppStateForTest();
    corv::ResetEventLoopForTest();
    gTrace.clear();
    gRunResult = 0;
    gDuringRun = nullptr;
    corv::Process().argc = 2;
    corv::Process().argv = gArgv;
    corv::InstallConsoleUnhandledExceptionHook();
    corv::CaptureFailures(true);
  }
  void TearDown() override {
    corv::CaptureFailures(false);
    corv::ResetEventLoopForTest();
    corv::ResetAppStateForTest();
  }
  // The image's start sequence: create, register, run in a frame that
  // swallows EndException, exit.
  static int32_t StartAndRun(const CORVclassDecl *decl) {
    CORVobject app = CORVInstantiateDeclaration(decl);
    RuntimeRegisterConsoleAppObject(app, false);
    RuntimeUnlockObject(app);
    try {
      RuntimeRun();
    } catch (const corv::LanguageException &e) {
      EXPECT_TRUE(e.Isa(&kEndExceptionDecl));
    }
    return RuntimeExit();
  }
};

TEST_F(AppTest, RunReturningThreeExitsWithThreeAndRunsOnlyOnce) {
  gRunResult = 3;
  EXPECT_EQ(StartAndRun(&kTestAppDecl), 3);
  EXPECT_EQ(gArgsUpperBound, 1);  // the program and one argument with its space
  RuntimeRun();
  EXPECT_EQ(gTrace, "run;");
}

TEST_F(AppTest, RunIsRaisedThroughTheClassWrapperOrTheRuntimeWrapper) {
  struct Case {
    const CORVclassDecl *decl;
    const char *trace;  // registering calls the wrapper once, running once more
  };
  const Case cases[] = {
      {&kTestAppDecl, "run;"},
      {&kOwnWrapperAppDecl, "own wrapper;own wrapper;run;"},
  };
  for (const Case &c : cases) {
    corv::ResetAppStateForTest();
    gTrace.clear();
    gRunResult = 3;
    EXPECT_EQ(StartAndRun(c.decl), 3) << c.trace;
    EXPECT_EQ(gTrace, c.trace);
    EXPECT_TRUE(corv::TakeCapturedFailures().empty()) << c.trace;
  }
}

TEST_F(AppTest, TheFirstQuitFixesTheExitCode) {
  gRunResult = 3;
  gDuringRun = [] { ApplicationQuit(5, false); };
  EXPECT_EQ(StartAndRun(&kTestAppDecl), 5);
  corv::ResetAppStateForTest();
  gDuringRun = [] { CV_ApplicationQuit(5); };  // raises EndException at once
  EXPECT_EQ(StartAndRun(&kTestAppDecl), 5);
  EXPECT_TRUE(corv::Process().quitRequested);
}

TEST_F(AppTest, AnExceptionEscapingRunIsPrintedAndDoesNotExitWithSuccess) {
  gDuringRun = [] { RaiseNilObjectException(); };
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StartAndRun(&kTestAppDecl), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Exception Message: \nException Error Number: 0\nAn exception of class "
            "NilObjectException was not handled.  The application must shut down.");
  EXPECT_EQ(gTrace, "run;unhandled NilObjectException;");
}

TEST_F(AppTest, PrinterTextAndEndExceptionPrintsNothing) {
  corv::testing::LiveObjectCheck check;
  CORVstring message = RuntimeCreateString("disk full", 9, kEncodingUTF8);
  CORVobject error = RuntimeNewObject(CORVBindDeclaration(&kOutOfBoundsExceptionDecl));
  reinterpret_cast<CORVexception *>(error)->message = message;
  reinterpret_cast<CORVexception *>(error)->errorNumber = -7;
  ::testing::internal::CaptureStderr();
  UnhandledException(error);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Exception Message: disk full\nException Error Number: -7\nAn exception of class "
            "OutOfBoundsException was not handled.  The application must shut down.");
  RuntimeUnlockObject(error);
  CORVobject end = RuntimeNewObject(CORVBindDeclaration(&kEndExceptionDecl));
  ::testing::internal::CaptureStderr();
  UnhandledException(end);
  RuntimeUnhandledException(end);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  RuntimeUnlockObject(end);
}

// What the printer writes for an OutOfBoundsException with that message.
std::string PrintedFor(CORVstring message) {
  CORVobject error = RuntimeNewObject(CORVBindDeclaration(&kOutOfBoundsExceptionDecl));
  reinterpret_cast<CORVexception *>(error)->message = message;
  ::testing::internal::CaptureStderr();
  UnhandledException(error);
  RuntimeUnlockObject(error);
  return ::testing::internal::GetCapturedStderr();
}

TEST_F(AppTest, PrinterWritesMessagesOfAnyEncodingInTheSystemEncoding) {
  corv::testing::LiveObjectCheck check;
  const std::string tail =
      "\nException Error Number: 0\nAn exception of class OutOfBoundsException was not "
      "handled.  The application must shut down.";
  // A UTF-16 message of plain letters: its characters, not its bytes.
  const char16_t wide[] = u"disk full";
  EXPECT_EQ(
      PrintedFor(RuntimeCreateString(reinterpret_cast<const char *>(wide), 18, kEncodingUTF16)),
      "Exception Message: disk full" + tail);
  // A Windows-1252 message with an accented letter comes out as the console
  // writes any such text: converted to the system encoding.
  CORVstring accented = RuntimeCreateString("caf\xE9", 4, 0xFFFF0000u + 1252);
  const std::string expected = "Exception Message: caf\xC3\xA9" + tail;
  corv::String inSystem = corv::String::Adopt(
      RuntimeConvertString(corv::String(expected).get(), RuntimeSystemEncoding()));
  std::string printed = PrintedFor(accented);
  EXPECT_EQ(printed, std::string(inSystem.view()));
  if (RuntimeSystemEncoding() == kEncodingUTF8) {
    EXPECT_EQ(printed, expected);
  }
}

TEST_F(AppTest, ReportsWithoutApplication) {
  EXPECT_EQ(RuntimeExit(), 0);
  RuntimeDoEvents(-1);
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[0].find("Failure Condition: app\n"), std::string::npos);
  EXPECT_NE(reports[1].find("Failure Condition: whichObject\n"), std::string::npos);
  EXPECT_EQ(StartAndRun(&kBareAppDecl), 0);  // no Run handler: nothing to raise
  EXPECT_TRUE(corv::TakeCapturedFailures().empty());
  EXPECT_TRUE(DaemonizeApp());
  CORVobject app = getAppObject();
  EXPECT_EQ(app, corv::Process().app);
  RuntimeUnlockObject(app);
}

TEST_F(AppTest, VersionPropertiesComeFromTheVersionRecord) {
  corv::ResetImageTablesForTest();
  static kilnrun_image::Bytes rsrc;
  rsrc.clear();
  std::string text =
      "FileVersion=2.7.1.44\nProductVersion=2.7.1\nLegalCopyright=(c) us\nRelease=beta\n";
  kilnrun_image::AddResource(&rsrc, CORV_FOUR_CHAR('v', 'e', 'r', 's'), 1,
                             kilnrun_image::Bytes(text.begin(), text.end()), "");
  registerResources(rsrc.data(), static_cast<uint32_t>(rsrc.size()), 0);
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppMajorVersion), 2);
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppMinorVersion), 7);
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppBugVersion), 1);
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppNonReleaseVersion), 44);
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppStageCode), 2);
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppRegionCode), -1);
  CORVstring longVersion = AppStringVersionStuffGetter(nullptr, kAppLongVersion);
  EXPECT_EQ(std::string(CORVStringBytes(longVersion)), "(c) us");
  RuntimeUnlockString(longVersion);
  corv::ResetImageTablesForTest();
  EXPECT_EQ(AppIntegerVersionStuffGetter(nullptr, kAppStageCode), -1);
}

// The event loop.
int gPolls = 0;
void CountPoll(CORVobject) {
  ++gPolls;
}
void RaisingPoll(CORVobject) {
  RaiseOutOfBoundsException();
}

CORVclass *PollableClass(CORVPollFunction poll) {
  CORVclass *cls = RuntimeNewClass(nullptr, 0, 1, 0, 0, 0, 0);
  cls->instanceSize = sizeof(CORVobjectHeader);
  cls->name = RuntimeCreateString("TestPollable", 12, kEncodingUTF8);
  void **vtable = RuntimeNewVtable(1);
  vtable[0] = reinterpret_cast<void *>(poll);
  CORVClassInterfaces(cls)[0] = CORVinterfaceEntry{CORVPollableInterface(), 0, vtable};
  return cls;
}

TEST_F(AppTest, PollablesArePolledAndRemovedWithEveryEntry) {
  CORVobject app = CORVInstantiateDeclaration(&kTestAppDecl);
  RuntimeRegisterConsoleAppObject(app, false);
  static CORVclass *counting = PollableClass(&CountPoll);
  CORVobject obj = RuntimeNewObject(counting);
  gPolls = 0;
  ApplicationAddPollableObject(app, obj);
  ApplicationAddPollableObject(app, obj);
  RuntimeDoEvents(-1);
  EXPECT_EQ(gPolls, 2);
  ApplicationRemovePollableObject(app, obj);
  EXPECT_EQ(corv::PollableEntryCount(), 0);
  RuntimeDoEvents(0);
  EXPECT_EQ(gPolls, 2);
  EXPECT_EQ(obj->refCount, 1);
  RuntimeUnlockObject(obj);
  ApplicationAddPollableObject(app, nullptr);
  auto reports = corv::TakeCapturedFailures();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Failure Condition: base\n"), std::string::npos);
  RuntimeUnlockObject(app);
}

TEST_F(AppTest, AnExceptionInAStepIsHandledAndEndsTheStep) {
  CORVobject app = CORVInstantiateDeclaration(&kTestAppDecl);
  RuntimeRegisterConsoleAppObject(app, false);
  static CORVclass *raising = PollableClass(&RaisingPoll);
  static CORVclass *counting = PollableClass(&CountPoll);
  CORVobject bad = RuntimeNewObject(raising);
  CORVobject good = RuntimeNewObject(counting);
  ApplicationAddPollableObject(app, good);  // polled last: the step ends before it
  ApplicationAddPollableObject(app, bad);
  gPolls = 0;
  ::testing::internal::CaptureStderr();
  RuntimeDoEvents(-1);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("OutOfBoundsException"), std::string::npos);
  EXPECT_EQ(gPolls, 0);
  EXPECT_EQ(gTrace, "unhandled OutOfBoundsException;");
  corv::ResetEventLoopForTest();
  RuntimeUnlockObject(bad);
  RuntimeUnlockObject(good);
  RuntimeUnlockObject(app);
}

// Background tasks count their runs in the counter their context points at.
void CountRun(void *runs) {
  ++*static_cast<int *>(runs);
}

// The test sets the tick itself; the system clock is back when it ends.
class SteppedClock {
 public:
  explicit SteppedClock(uint32_t tick) { Set(tick); }
  ~SteppedClock() { corv::platform::ResumeSystemClockForTest(); }
  // The middle of the tick, clear of rounding at either edge.
  void Set(uint32_t tick) {
    corv::platform::FixMillisecondCounterForTest(
        static_cast<uint32_t>(static_cast<uint64_t>(tick) * 50 / 3 + 8));
  }
};

TEST_F(AppTest, BackgroundTasksRunWhenDueAndTheLoopCheckOncePerTick) {
  // Far from the real tick, so the loop check's previous tick is another one.
  uint32_t start = (CORVCurrentTick() + 100000) % 200000000;
  SteppedClock clock(start);
  ASSERT_EQ(CORVCurrentTick(), start);
  int every = 0, soon = 0, later = 0, disabled = 0;
  int32_t ids[] = {PluginRegisterBackgroundTask(&CountRun, &every, 0, false),
                   PluginRegisterBackgroundTask(&CountRun, &soon, 2, false),
                   PluginRegisterBackgroundTask(&CountRun, &later, 10, false),
                   PluginRegisterBackgroundTask(&CountRun, &disabled, 0, true)};
  struct Step {
    uint32_t tick;  // after the registration
    int checks;     // loop checks within that tick
    int every, soon, later;
  };
  static const Step kSteps[] = {
      {0, 2, 1, 0, 0},  // a new tick: the task of period 0 runs once, however often checked
      {1, 1, 2, 0, 0},  {2, 1, 3, 1, 0},  // two ticks since registration
      {3, 1, 4, 1, 0},                    // one since its last run
      {10, 3, 5, 2, 1}, {11, 1, 6, 2, 1},
  };
  for (const Step &step : kSteps) {
    clock.Set(start + step.tick);
    for (int i = 0; i < step.checks; ++i) RuntimeBackgroundTask();
    EXPECT_EQ(every, step.every) << "tick " << step.tick;
    EXPECT_EQ(soon, step.soon) << "tick " << step.tick;
    EXPECT_EQ(later, step.later) << "tick " << step.tick;
  }
  EXPECT_EQ(disabled, 0);
  for (int32_t id : ids) PluginUnregisterBackgroundTask(id);
  clock.Set(start + 100);
  corv::RunBackgroundTasks();
  EXPECT_EQ(every, 6);               // unregistered
  EXPECT_FALSE(getUserCancelled());  // standard input is not a terminal here
}

TEST_F(AppTest, ABackgroundTaskKeepsItsPeriodAcrossTheTickWrap) {
  // Registered 4 ticks before the tick counter restarts at 0 with the
  // millisecond counter.
  corv::platform::FixMillisecondCounterForTest(0xFFFFFFFFu - 50);
  int runs = 0;
  int32_t id = PluginRegisterBackgroundTask(&CountRun, &runs, 10, false);
  struct Step {
    uint32_t milliseconds;  // after the wrap
    int runs;
  } steps[] = {{20, 0}, {90, 0}, {100, 1}};  // 5, 9 and 10 ticks after registering
  for (const Step &step : steps) {
    corv::platform::FixMillisecondCounterForTest(step.milliseconds);
    corv::RunBackgroundTasks();
    EXPECT_EQ(runs, step.runs) << step.milliseconds;
  }
  PluginUnregisterBackgroundTask(id);
  corv::platform::ResumeSystemClockForTest();
}

int gFired = 0;
void RemovingAction(CORVobject timer) {
  ++gFired;
  RuntimeUnlockObject(timer);  // the last reference: it leaves the timer list
}

TEST_F(AppTest, ATimerRemovedByItsOwnActionEndsTheWalk) {
  CORVobject app = CORVInstantiateDeclaration(&kTestAppDecl);
  RuntimeRegisterConsoleAppObject(app, false);
  static const CORVhandlerDecl handlers[] = {{"Action", reinterpret_cast<void *>(&RemovingAction)}};
  static const CORVclassDecl kSelfRemovingTimer =
      corv::ClassDecl("SelfRemovingTimer", sizeof(CORVtimer)).Super(&kTimerDecl).Handlers(handlers);
  // The test sets the time: a timer pass in the same millisecond as the
  // previous test's last one would be skipped.
  uint32_t now = CORVCurrentMilliseconds() + 1000000;
  corv::platform::FixMillisecondCounterForTest(now);
  CORVobject first = CORVInstantiateDeclaration(&kSelfRemovingTimer);
  CORVobject second = CORVInstantiateDeclaration(&kSelfRemovingTimer);
  TimerPeriodSetter(first, 1);
  TimerPeriodSetter(second, 1);
  reinterpret_cast<CORVtimer *>(first)->lastFired -= 10;
  reinterpret_cast<CORVtimer *>(second)->lastFired -= 10;
  gFired = 0;
  RuntimeDoEvents(-1);
  EXPECT_EQ(gFired, 1);  // the second is left for the next step
  corv::platform::FixMillisecondCounterForTest(now + 5);
  RuntimeDoEvents(-1);
  EXPECT_EQ(gFired, 2);
  corv::platform::ResumeSystemClockForTest();
  RuntimeUnlockObject(app);
}

}  // namespace
