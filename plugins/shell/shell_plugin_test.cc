// The Shell class of the shell plugin, loaded through the plugin host and
// called through its entries as an application does: each mode, TimeOut,
// Close, and that every child is reaped and every handle closed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "core/plugin_host.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "corv/ref.h"
#include "corv/string.h"
#include "corv_shell.h"
#include "platform/file_handle.h"
#include "runtime_test.h"
#include "shell_plugin_record.h"

namespace {

using Clock = std::chrono::steady_clock;

void *Entry(const char *name) {
  corv::String text(name);
  return RuntimeLookupPluginEntrypoint(text.get());
}

template <class F>
F EntryAs(const char *name) {
  return reinterpret_cast<F>(Entry(name));
}

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A Shell object and its members, through the plugin entries.
class Shell {
 public:
  explicit Shell(int32_t mode, int32_t timeOut = -1) : shell_(New()) {
    EntryAs<void (*)(CORVobject, int32_t)>("Shell.Mode.Set")(object(), mode);
    EntryAs<void (*)(CORVobject, int32_t)>("Shell.TimeOut.Set")(object(), timeOut);
  }
  CORVobject object() const { return shell_.object(); }
  void Drop() { shell_ = nullptr; }

  void Execute(const std::string &command) {
    corv::String text(command);
    EntryAs<void (*)(CORVobject, CORVstring)>("Shell.Execute(command as String)")(object(),
                                                                                  text.get());
  }
  void WriteLine(const std::string &line) { Send("Shell.WriteLine(s as String)", line); }
  void Write(const std::string &bytes) { Send("Shell.Write(s as String)", bytes); }
  std::string ReadAll() { return Text("Shell.ReadAll() as String"); }
  std::string Result() { return Text("Shell.Result.Get"); }
  void Poll() { EntryAs<void (*)(CORVobject)>("Shell.Poll")(object()); }
  void Close() { EntryAs<void (*)(CORVobject)>("Shell.Close")(object()); }
  bool IsRunning() { return EntryAs<bool (*)(CORVobject)>("Shell.IsRunning.Get")(object()); }
  int32_t PID() { return EntryAs<int32_t (*)(CORVobject)>("Shell.PID.Get")(object()); }
  int32_t ErrorCode() { return EntryAs<int32_t (*)(CORVobject)>("Shell.ErrorCode.Get")(object()); }

  /// Calls `step` until `done` holds or five seconds have passed.
  static bool WaitUntil(const std::function<bool()> &done, const std::function<void()> &step) {
    Clock::time_point start = Clock::now();
    while (!done()) {
      if (MillisecondsSince(start) > 5000) return false;
      step();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

 private:
  static corv::Ref<> New() {
    corv::String name("Shell");
    return corv::Ref<>::Adopt(RuntimeNewObject(RuntimeLookupClass(name.get())));
  }
  void Send(const char *entry, const std::string &bytes) {
    corv::String text(bytes);
    EntryAs<void (*)(CORVobject, CORVstring)>(entry)(object(), text.get());
  }
  std::string Text(const char *entry) {
    corv::String text = corv::String::Adopt(EntryAs<CORVstring (*)(CORVobject)>(entry)(object()));
    return std::string(text.view());
  }

  corv::Ref<> shell_;
};

// The name of the exception class that `call` raises, or "" when it raises none.
std::string RaisedClass(const std::function<void()> &call) {
  try {
    call();
  } catch (const corv::LanguageException &e) {
    return CORVStringBytes(e.object()->cls->name);
  }
  return "";
}

// "gone" for each process id that no longer exists, its state letter
// otherwise ("Z": exited, not yet reaped by its parent).
std::string ProcessStates(const std::string &pids) {
  Shell probe(kShellSynchronous);
  probe.Execute("for p in " + pids +
                "; do s=$(sed -n 's/^State:[[:space:]]*\\(.\\).*/\\1/p' /proc/$p/status "
                "2>/dev/null); echo \"${s:-gone}\"; done");
  return probe.Result();
}

class ShellTest : public corv::testing::RuntimeTest {
 protected:
  static void SetUpTestSuite() {
    corv::testing::RegisterShellPluginRecord(KILNRUN_TOOL_FOLDER);
    corv::RegisterRuntimeClassDeclarations();
    corv::InstallPlugins();
    corv::ProcessPluginClasses();
  }
  void SetUp() override {
    ASSERT_NE(Entry("Shell.Execute(command as String)"), nullptr);
    RuntimeTest::SetUp();
    handles_ = corv::platform::OpenFileHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(corv::platform::OpenFileHandleCount(), handles_) << "file handles leaked";
    RuntimeTest::TearDown();
  }

 private:
  int handles_ = 0;
};

TEST_F(ShellTest, SynchronousCommandsGiveTheirOutputAndExitStatus) {
  const struct {
    const char *command;
    int32_t timeOut;
    const char *output;
    int32_t errorCode;
  } kCases[] = {
      {"printf 'a\\nb\\n'; echo err >&2", -1, "a\nb\n", 0},
      {"echo x; exit 3", -1, "x\n", 3},
      {"kill -9 $$", -1, "", 128 + 9},
      {"read line; echo \"[$line]\"", -1, "[]\n", 0},  // standard input is empty
      {"echo within; exit 4", 5000, "within\n", 4},    // a TimeOut not reached
      {"echo early; sleep 5; echo late", 200, "early\n", CORV_SHELL_TIMED_OUT},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.command);
    Shell shell(kShellSynchronous, c.timeOut);
    Clock::time_point start = Clock::now();
    shell.Execute(c.command);
    EXPECT_LT(MillisecondsSince(start), 2000);
    EXPECT_FALSE(shell.IsRunning());
    EXPECT_GT(shell.PID(), 0);
    EXPECT_EQ(shell.ErrorCode(), c.errorCode);
    EXPECT_EQ(shell.Result(), c.output);
    EXPECT_EQ(shell.ReadAll(), c.output);
    EXPECT_EQ(shell.ReadAll(), "");  // handed out already
    EXPECT_EQ(shell.Result(), c.output);
    EXPECT_EQ(ProcessStates(std::to_string(shell.PID())), "gone\n");
  }
}

TEST_F(ShellTest, AnAsynchronousCommandRunsOnUntilPolledToItsEnd) {
  const struct {
    const char *how;
    std::function<void(Shell &)> step;
  } kCases[] = {
      {"Poll", [](Shell &shell) { shell.Poll(); }},
      {"the loop check of the event loop", [](Shell &) { RuntimeBackgroundTask(); }},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.how);
    Shell shell(kShellAsynchronous);
    Clock::time_point start = Clock::now();
    shell.Execute("sleep 0.3; echo x; exit 7");
    EXPECT_LT(MillisecondsSince(start), 250);
    EXPECT_TRUE(shell.IsRunning());
    EXPECT_GT(shell.PID(), 0);
    EXPECT_EQ(shell.Result(), "");
    ASSERT_TRUE(Shell::WaitUntil([&] { return !shell.IsRunning(); }, [&] { c.step(shell); }));
    EXPECT_GE(MillisecondsSince(start), 300);
    EXPECT_EQ(shell.Result(), "x\n");
    EXPECT_EQ(shell.ErrorCode(), 7);
    EXPECT_EQ(ProcessStates(std::to_string(shell.PID())), "gone\n");
  }
}

TEST_F(ShellTest, AnInteractiveCommandReadsWhatIsWritten) {
  Shell shell(kShellInteractive);
  shell.Execute("while read line; do echo \"got $line\"; done");
  shell.WriteLine("one");
  shell.Write("tw");
  shell.WriteLine("o");
  std::string read;
  auto readAll = [&] { read += shell.ReadAll(); };
  ASSERT_TRUE(Shell::WaitUntil([&] { return read == "got one\ngot two\n"; }, readAll));
  shell.WriteLine("three");
  read.clear();
  ASSERT_TRUE(Shell::WaitUntil([&] { return read == "got three\n"; }, readAll));
  EXPECT_EQ(shell.Result(), "got one\ngot two\ngot three\n");
  EXPECT_TRUE(shell.IsRunning());
  shell.Close();
  EXPECT_FALSE(shell.IsRunning());
  EXPECT_EQ(RaisedClass([&] { shell.WriteLine("four"); }), "ShellNotRunningException");
}

// Its output fills up while its input does: the write must read as it goes.
TEST_F(ShellTest, AWriteLargerThanTheChildsBuffersDoesNotDeadlock) {
  Shell shell(kShellInteractive);
  shell.Execute("cat");
  std::string bytes(4 << 20, 'b');
  shell.Write(bytes);
  ASSERT_TRUE(Shell::WaitUntil([&] { return shell.Result().size() == bytes.size(); },
                               [&] { shell.Poll(); }));
  shell.Close();
}

TEST_F(ShellTest, WritingRaisesWhenNoInteractiveCommandRuns) {
  const struct {
    int32_t mode;
    const char *command;
    std::function<bool(Shell &)> settled;
  } kCases[] = {
      {kShellSynchronous, "true", [](Shell &) { return true; }},
      // running, but its input is empty
      {kShellAsynchronous, "sleep 5", [](Shell &) { return true; }},
      {kShellInteractive, "exit 0", [](Shell &shell) { return !shell.IsRunning(); }},
      {kShellInteractive, "exec <&-; echo closed; sleep 5",
       [](Shell &shell) { return shell.Result() == "closed\n"; }},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.command);
    Shell shell(c.mode);
    shell.Execute(c.command);
    ASSERT_TRUE(Shell::WaitUntil([&] { return c.settled(shell); }, [&] { shell.Poll(); }));
    EXPECT_EQ(RaisedClass([&] { shell.WriteLine("x"); }), "ShellNotRunningException");
  }
}

// Close, a new Execute and dropping the Shell each end the command and what
// it started, at once, and leave no child unreaped.
TEST_F(ShellTest, EndingARunningCommandEndsWhatItStartedAndReapsIt) {
  const struct {
    const char *how;
    std::function<void(Shell &)> end;
  } kCases[] = {
      {"Close",
       [](Shell &shell) {
         shell.Close();
         EXPECT_FALSE(shell.IsRunning());
         EXPECT_EQ(shell.ErrorCode(), 128 + 15);  // terminated
       }},
      {"Execute", [](Shell &shell) { shell.Execute("echo next"); }},
      {"dropping it", [](Shell &shell) { shell.Drop(); }},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.how);
    Shell shell(kShellAsynchronous);
    shell.Execute("sleep 10 & echo $!; wait");
    std::string pids = std::to_string(shell.PID()) + " ";
    ASSERT_TRUE(Shell::WaitUntil([&] { return !shell.Result().empty(); }, [&] { shell.Poll(); }));
    pids += shell.Result();
    pids.pop_back();  // the line end
    Clock::time_point start = Clock::now();
    c.end(shell);
    EXPECT_LT(MillisecondsSince(start), 1000);
    // The shell is reaped at once; the orphaned sleep leaves as soon as the
    // kernel has delivered its signal, and is reaped by whoever adopted it.
    EXPECT_EQ(ProcessStates(pids.substr(0, pids.find(' '))), "gone\n");
    std::string states;
    EXPECT_TRUE(Shell::WaitUntil(
        [&] {
          states = ProcessStates(pids);
          return states == "gone\ngone\n" || states == "gone\nZ\n";
        },
        [] {}))
        << states;
  }
}

}  // namespace
