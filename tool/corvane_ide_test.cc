// The IDE conversation against real listeners: corvane-ide-sim for what the
// IDE sees, and listeners made here for the time-outs and retries.
#include "corvane_ide.h"

#include <gtest/gtest.h>

#include <string>

#include "app.h"
#include "core/app_state.h"
#include "corv/class_decl.h"
#include "corv/folder_item.h"
#include "disk_test.h"
#include "free_ipc_path.h"
#include "platform/clock.h"
#include "platform/file_info.h"
#include "platform/process.h"
#include "platform/socket.h"
#include "scoped_environment.h"

namespace {

using corv::String;
using corv::testing::ScopedTempFolder;

void Wrapper(CORVobject app, CORVAppFunction function) {
  CORVCallFunctionWithExceptionHandling(app, function);
}
const CORVmethodDecl kAppMethods[] = {
    {"_CallFunctionWithExceptionHandling", "%%p", reinterpret_cast<void *>(&Wrapper)}};
const CORVclassDecl kTestAppDecl = corv::ClassDecl("IDETestApp", sizeof(CORVconsoleApplication))
                                       .Super(&kConsoleApplicationDecl)
                                       .Methods(kAppMethods);

uint32_t Now() {
  return corv::platform::MillisecondCounter();
}

// Each test has a temporary folder of its own as TMPDIR, so the IDE's socket
// path, and with it the port, is the test's own.
class CorvaneIDETest : public corv::testing::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    CORVobject app = CORVInstantiateDeclaration(&kTestAppDecl);
    RuntimeRegisterConsoleAppObject(app, false);
    RuntimeUnlockObject(app);
    corv::Process().socketsAvailable = true;
    handles_ = corv::platform::OpenFileHandleCount();
  }
  void TearDown() override {
    if (simPid_ != 0) corv::platform::RunCommandLine("kill " + std::to_string(simPid_));
    corv::platform::ShiftMillisecondCounterForTest(0);
    EXPECT_EQ(corv::platform::OpenFileHandleCount(), handles_) << "handles left open";
    corv::ResetAppStateForTest();
    RuntimeTest::TearDown();
  }

  // Starts corvane-ide-sim in the foreground, in the background of a shell.
  void StartSim() {
    auto started =
        corv::platform::RunCommandLine(std::string("'") + IDE_SIM_PATH + "' --foreground --log '" +
                                       log_ + "' >/dev/null 2>&1 & echo $!");
    simPid_ = std::stoi(started.output);
  }
  bool AvailableWithin(uint32_t milliseconds) {
    for (uint32_t start = Now(); Now() - start < milliseconds;)
      if (kilnrun::CorvaneIDE::IsAvailable()) return true;
    return false;
  }
  // The sim's log once it holds `lines` lines.
  std::string LogWith(int lines) {
    for (uint32_t start = Now(); Now() - start < 5000;) {
      std::string log = corv::testing::ReadFileBytes(log_);
      if (std::count(log.begin(), log.end(), '\n') >= lines) return log;
      corv::platform::SleepMilliseconds(10);
    }
    return corv::testing::ReadFileBytes(log_);
  }

  // A folder whose CorvaneIDE path has a port of its own.
  static std::string SocketFolder(const ScopedTempFolder &temp) {
    std::string socket = corv::testing::FreeIPCPath(temp / "t", "/CorvaneIDE");
    std::string folder = socket.substr(0, socket.rfind('/'));
    corv::GetFolderItem(String(std::string_view(folder)))->CreateAsFolder();
    return folder;
  }

  ScopedTempFolder temp_;
  std::string folder_ = SocketFolder(temp_);
  corv::testing::ScopedEnvironmentVariable tmpdir_{"TMPDIR", folder_};
  std::string log_ = temp_ / "sim.log";
  int simPid_ = 0;
  int handles_ = 0;
};

TEST_F(CorvaneIDETest, SocketPathIsInTheTemporaryFolderOrRaises) {
  ScopedTempFolder spaced;
  std::string withSpace = spaced / "a b";
  corv::testing::WriteFileBytes(spaced / "file", "");
  ASSERT_TRUE(corv::GetFolderItem(String(std::string_view(withSpace)))->CreateAsFolder());
  struct Case {
    std::string tmpdir;
    std::string path;  // empty: NilObjectException
  } cases[] = {
      {folder_, folder_ + "/CorvaneIDE"},
      {withSpace, "'" + withSpace + "/CorvaneIDE'"},
      {temp_ / "missing", ""},
      {spaced / "file", ""},
  };
  for (const Case &c : cases) {
    corv::testing::ScopedEnvironmentVariable tmpdir("TMPDIR", c.tmpdir);
    if (c.path.empty())
      EXPECT_RAISES(kilnrun::CorvaneIDE::SocketPath(), kNilObjectExceptionDecl);
    else
      EXPECT_EQ(kilnrun::CorvaneIDE::SocketPath().view(), c.path);
  }
}

TEST_F(CorvaneIDETest, SocketPathRaisesForATemporaryFolderThatIsNotWriteable) {
  corv::testing::RunUnprivileged(temp_, [&] {
    ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "locked").ok());
    ASSERT_TRUE(corv::platform::SetWritable(temp_ / "locked", false).ok());
    corv::testing::ScopedEnvironmentVariable tmpdir("TMPDIR", temp_ / "locked");
    EXPECT_RAISES(kilnrun::CorvaneIDE::SocketPath(), kNilObjectExceptionDecl);
  });
}

TEST_F(CorvaneIDETest, IsAvailableOnceTheStandInListens) {
  EXPECT_FALSE(kilnrun::CorvaneIDE::IsAvailable());
  StartSim();
  EXPECT_TRUE(AvailableWithin(5000));
  // Each check is a connection that carries no script.
  EXPECT_TRUE(kilnrun::CorvaneIDE::SendScript("OpenFile \"/x/P.cvvcp\""));
  EXPECT_NE(LogWith(1).find("\"script\":\"OpenFile \\\"/x/P.cvvcp\\\"\"}\n"), std::string::npos);
}

// A connection that never completes: a listener that keeps no connection
// waiting beyond the one already queued drops further attempts unanswered.
TEST_F(CorvaneIDETest, ConnectGivesUpAfterTwoSecondsAlsoWhenTheTicksWrap) {
  uint16_t port = corv::IPCSocketPort(kilnrun::CorvaneIDE::SocketPath());
  auto listener = corv::platform::ListenOnLoopback(port, 0);
  ASSERT_TRUE(listener.ok());
  auto filler = corv::platform::StartLoopbackConnection(port);
  ASSERT_TRUE(filler.ok());
  corv::platform::SleepMilliseconds(50);
  struct Case {
    const char *what;
    uint32_t shift;  // added to the millisecond counter
  } cases[] = {
      {"now", 0},
      // The counter wraps half a second into the wait.
      {"across the wrap", 0xFFFFFFFFu - 500u - Now()},
  };
  for (const Case &c : cases) {
    corv::platform::ShiftMillisecondCounterForTest(c.shift);
    uint32_t start = Now();
    corv::Ref<corv::IPCSocket> s = kilnrun::CorvaneIDE::Connect();
    uint32_t waited = Now() - start;
    EXPECT_FALSE(s) << c.what;
    EXPECT_GE(waited, 1950u) << c.what;
    EXPECT_LT(waited, 3000u) << c.what;
  }
  corv::platform::ShiftMillisecondCounterForTest(0);
  corv::platform::CloseSocket(filler.value.handle);
  corv::platform::CloseSocket(listener.value);
}

// Counts event-loop steps, and starts listening at the IDE's path at the
// second: the first two attempts are refused (answered with a reset).
int gSteps = 0;
corv::Ref<corv::IPCSocket> *gLateListener = nullptr;
void ListenAtSecondStep(void *) {
  if (++gSteps != 2) return;
  *gLateListener = corv::IPCSocket::New();
  (*gLateListener)->SetPath(kilnrun::CorvaneIDE::SocketPath());
  (*gLateListener)->Listen();
}

TEST_F(CorvaneIDETest, SendScriptSucceedsOnTheThirdAttemptAfterTwoPauses) {
  corv::Ref<corv::IPCSocket> listener;
  gLateListener = &listener;
  gSteps = 0;
  int32_t task = PluginRegisterBackgroundTask(&ListenAtSecondStep, nullptr, 0, false);
  uint32_t start = Now();
  EXPECT_TRUE(kilnrun::CorvaneIDE::SendScript("line 1\nline 2"));
  uint32_t waited = Now() - start;
  PluginUnregisterBackgroundTask(task);
  EXPECT_EQ(gSteps, 2);
  EXPECT_GE(waited, 1000u);
  EXPECT_LT(waited, 1500u);
  ASSERT_TRUE(listener);
  for (start = Now(); listener->LastErrorCode() == 0 && Now() - start < 5000;) listener->Poll();
  EXPECT_EQ(listener->LastErrorCode(), kIPCSocketConnectionLost);  // the tool closed
  EXPECT_EQ(listener->ReadAll().view(), "line 1\nline 2");
  listener = nullptr;
}

TEST_F(CorvaneIDETest, TheWindowClosingScriptIsSentAsWritten) {
  StartSim();
  ASSERT_TRUE(AvailableWithin(5000));
  corv::StringArray none = corv::NewArray<String>();
  kilnrun::AppCloseIDEWindows(nullptr, none, false);
  corv::StringArray quoted = corv::NewArray<String>();
  quoted.Append("Say \"Hi\".cvvcp");
  kilnrun::AppCloseIDEWindows(nullptr, quoted, true);
  const std::string loops =
      "for each name in names\\nfor i = 0 to windowCount - 1\\n"
      "if instr( windowTitle(i), \\\"[\\\"+ name +\\\"]\\\" ) > 0 then\\n"
      "SelectWindow windowTitle(i)\\nDoCommand( \\\"CloseWindow\\\" )\\nexit\\nend\\nnext\\nnext";
  const std::string expected[] = {
      "dim i as integer\\ndim name, names(-1) as string\\nif windowCount < 2 then return\\n" +
          loops,
      "dim i as integer\\ndim name, names(-1) as string\\n"
      "names.append \\\"Say \\\"Hi\\\".cvvcp\\\"\\n" +
          loops,
  };
  std::string log = LogWith(2);
  size_t at = 0;
  for (const std::string &script : expected) {
    size_t found = log.find("\"script\":\"" + script + "\"}\n", at);
    EXPECT_NE(found, std::string::npos) << script << "\nin\n" << log;
    at = found == std::string::npos ? at : found;
  }
}

}  // namespace
