// IPCSocket over real loopback connections: ports, the connection's life,
// the byte stream's edges, and leaks of objects and handles.
#include <gtest/gtest.h>

#include <string>

#include "core/app_state.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ipc_socket.h"
#include "free_ipc_path.h"
#include "platform/clock.h"
#include "platform/file_handle.h"
#include "runtime_test.h"

namespace {

using corv::IPCSocket;
using corv::Ref;
using corv::String;

// A subclass of IPCSocket with the given event handlers.
template <size_t N>
constexpr CORVclassDecl SocketSubclass(const char *name, const CORVhandlerDecl (&handlers)[N]) {
  return corv::ClassDecl(name, sizeof(CORVipcSocket)).Super(&kIPCSocketDecl).Handlers(handlers);
}

// What the test sockets' handlers saw, in order: "C" Connected, "D"
// DataAvailable, "E<code>" Error.
std::string gEvents;

void OnConnected(CORVobject) {
  gEvents += "C";
}
void OnDataAvailable(CORVobject) {
  gEvents += "D";
}
void OnError(CORVobject s) {
  gEvents += "E" + std::to_string(IPCSocketLastErrorGetter(s));
}
const CORVhandlerDecl kHandlers[] = {
    {"Connected", reinterpret_cast<void *>(&OnConnected)},
    {"DataAvailable", reinterpret_cast<void *>(&OnDataAvailable)},
    {"Error", reinterpret_cast<void *>(&OnError)},
};
const CORVclassDecl kLoggingSocketDecl = SocketSubclass("LoggingIPCSocket", kHandlers);

// A path of its own per test run, so that no other program's port is met.
String TestPath(const char *name) {
  return String(corv::testing::FreeIPCPath(std::string("/tmp/ipc-socket-test-") + name + "-"));
}

Ref<IPCSocket> Socket(const String &path) {
  Ref<IPCSocket> s = IPCSocket::New(&kLoggingSocketDecl);
  s->SetPath(path);
  return s;
}

// Polls the sockets until `done` holds; false after five seconds.
template <class Done>
bool PollUntil(Done done, std::initializer_list<IPCSocket *> sockets) {
  uint32_t start = corv::platform::MillisecondCounter();
  while (!done()) {
    if (corv::platform::MillisecondCounter() - start > 5000) return false;
    for (IPCSocket *s : sockets) s->Poll();
  }
  return true;
}

class IPCSocketTest : public corv::testing::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    gEvents.clear();
    handles_ = corv::platform::OpenFileHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(corv::platform::OpenFileHandleCount(), handles_) << "handles left open";
    RuntimeTest::TearDown();
  }

  // A listener at `path` and a client connected to it, both connected.
  void Pair(const String &path, Ref<IPCSocket> &server, Ref<IPCSocket> &client) {
    server = Socket(path);
    server->Listen();
    client = Socket(path);
    client->Connect();
    ASSERT_TRUE(PollUntil([&] { return server->IsConnected() && client->IsConnected(); },
                          {server.get(), client.get()}));
  }

 private:
  int handles_ = 0;
};

TEST(IPCSocketPort, FollowsThePathRule) {
  struct Case {
    std::string path;
    uint16_t port;
  } cases[] = {
      {"A", 1090},                 // 65 + 1025
      {"abc", 1093},               // lower case counts as upper case
      {"ABC", 1093},               //
      {"", 1025},                  //
      {"/tmp/CorvaneIDE", 25088},  // the hash wraps at 32 bits
      {"\xC3\xA9", 64583},         // bytes from 0x80 are negative: the remainder too
      {std::string(8, '\xFF'), 64899},
  };
  for (const Case &c : cases)
    EXPECT_EQ(corv::IPCSocketPort(String(std::string_view(c.path), 0xFFFF)), c.port) << c.path;
}

TEST_F(IPCSocketTest, AnEmptyPathIsError106AndOpensNothing) {
  for (auto start : {&IPCSocketConnect, &IPCSocketListen}) {
    gEvents.clear();
    Ref<IPCSocket> s = Socket(String());
    start(s.object());
    EXPECT_EQ(gEvents, "E106");
    EXPECT_EQ(s->Handle(), -1);
    s->Poll();
    EXPECT_EQ(gEvents, "E106");
  }
}

TEST_F(IPCSocketTest, ConnectingWhereNobodyListensIsError103FromPoll) {
  Ref<IPCSocket> s = Socket(TestPath("nobody"));
  s->Connect();
  EXPECT_EQ(gEvents, "");
  ASSERT_TRUE(PollUntil([&] { return !gEvents.empty(); }, {s.get()}));
  EXPECT_EQ(gEvents, "E103");
  EXPECT_FALSE(s->IsConnected());
  EXPECT_EQ(s->Handle(), -1);
}

TEST_F(IPCSocketTest, PathsThatDifferInCaseMeet) {
  std::string lower(TestPath("case").view()), upper = lower;
  for (char &c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  Ref<IPCSocket> server = Socket(String(std::string_view(lower)));
  server->Listen();
  Ref<IPCSocket> client = Socket(String(std::string_view(upper)));
  client->Connect();
  EXPECT_TRUE(PollUntil([&] { return server->IsConnected() && client->IsConnected(); },
                        {server.get(), client.get()}));
}

TEST_F(IPCSocketTest, ATakenPortIsError48) {
  String path = TestPath("taken");
  Ref<IPCSocket> first = Socket(path);
  first->Listen();
  Ref<IPCSocket> second = Socket(path);
  second->Listen();
  EXPECT_EQ(gEvents, "E48");
  EXPECT_EQ(second->Handle(), -1);
}

TEST_F(IPCSocketTest, WritesBeforeConnectedAreSentAfterIt) {
  String path = TestPath("early");
  Ref<IPCSocket> server = Socket(path);
  server->Listen();
  Ref<IPCSocket> client = IPCSocket::New();  // no handlers: its events are not logged
  client->SetPath(path);
  client->Write(String("queued "));
  client->Connect();
  client->Write(String("bytes"));
  EXPECT_EQ(client->BytesLeftToSend(), 12);
  ASSERT_TRUE(
      PollUntil([&] { return server->BytesAvailable() == 12; }, {client.get(), server.get()}));
  EXPECT_EQ(server->ReadAll().view(), "queued bytes");
  EXPECT_EQ(gEvents.substr(0, 2), "CD");  // the server: accepted, then data
}

TEST_F(IPCSocketTest, ReadingTakesBytesWithTheGivenEncodingOrNone) {
  Ref<IPCSocket> server, client;
  Pair(TestPath("read"), server, client);
  client->Write(String("abcdef"));
  ASSERT_TRUE(
      PollUntil([&] { return server->BytesAvailable() == 6; }, {client.get(), server.get()}));
  Ref<> utf8 = Ref<>::Adopt(RuntimeTextEncodingFromCode(kEncodingUTF8));
  struct Step {
    const char *what;
    String got;
    const char *bytes;
    uint32_t encoding;
  };
  Step steps[] = {
      {"Lookahead", server->Lookahead(), "abcdef", 0xFFFF},
      {"Read 2 UTF-8", server->Read(2, utf8.object()), "ab", kEncodingUTF8},
      {"Read 0", server->Read(0), "", kEncodingASCII},  // the empty string
      {"Read past the end", server->Read(10), "cdef", 0xFFFF},
  };
  // The steps ran in the table's order as it was made.
  for (const Step &step : steps) {
    EXPECT_EQ(step.got.view(), step.bytes) << step.what;
    EXPECT_EQ(step.got.encoding(), step.encoding) << step.what;
  }
  EXPECT_EQ(server->BytesAvailable(), 0);
}

TEST_F(IPCSocketTest, APeerThatClosesIsError102AndEOFComesAfterTheLastByte) {
  Ref<IPCSocket> server, client;
  Pair(TestPath("close"), server, client);
  server->Write(String("last words"));
  ASSERT_TRUE(PollUntil([&] { return server->BytesLeftToSend() == 0; }, {server.get()}));
  server->Close();
  gEvents.clear();
  ASSERT_TRUE(PollUntil([&] { return client->LastErrorCode() != 0; }, {client.get()}));
  EXPECT_EQ(gEvents, "DE102");
  EXPECT_FALSE(client->IsConnected());
  EXPECT_FALSE(client->EndOfFile());
  EXPECT_EQ(client->ReadAll().view(), "last words");
  EXPECT_TRUE(client->EndOfFile());
  client->Poll();  // closed: nothing more is reported
  EXPECT_EQ(gEvents, "DE102");
}

TEST_F(IPCSocketTest, TenMebibytesArriveIntactAcrossManyPolls) {
  Ref<IPCSocket> server, client;
  Pair(TestPath("large"), server, client);
  std::string sent(10 << 20, '\0');
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 8191);
  client->Write(String(std::string_view(sent), 0xFFFF));
  std::string got;
  int passes = 0;
  ASSERT_TRUE(PollUntil(
      [&] {
        int32_t before = server->BytesAvailable();
        EXPECT_LE(before, 8192) << "more than one pass's worth";
        got += server->ReadAll().view();
        ++passes;
        return got.size() >= sent.size();
      },
      {client.get(), server.get()}));
  EXPECT_TRUE(got == sent);
  EXPECT_GE(passes, 1280);
  EXPECT_EQ(client->BytesLeftToSend(), 0);
}

TEST_F(IPCSocketTest, APeerClosingMidSendIsError102NotASignal) {
  Ref<IPCSocket> server, client;
  Pair(TestPath("midsend"), server, client);
  client->Write(String(std::string_view(std::string(32 << 20, 'x')), 0xFFFF));
  ASSERT_TRUE(
      PollUntil([&] { return server->BytesAvailable() > 0; }, {client.get(), server.get()}));
  server->Close();  // unread bytes: the system resets the connection
  gEvents.clear();
  ASSERT_TRUE(PollUntil([&] { return client->LastErrorCode() != 0; }, {client.get()}));
  EXPECT_EQ(gEvents.substr(gEvents.size() - 4), "E102");
  EXPECT_GT(client->BytesLeftToSend(), 0);
  EXPECT_EQ(client->Handle(), -1);
}

// A server listens again from its Connected handler: connections that were
// already waiting are served, not reset with the old listening handle.
std::vector<Ref<IPCSocket>> *gServerSockets = nullptr;
extern const CORVclassDecl kAcceptingSocketDecl;
void ListenAgain(CORVobject s) {
  Ref<IPCSocket> next = IPCSocket::New(&kAcceptingSocketDecl);
  next->SetPath(String::Adopt(IPCSocketPathGetter(s)));
  next->Listen();
  gServerSockets->push_back(next);
}
const CORVhandlerDecl kAcceptingHandlers[] = {
    {"Connected", reinterpret_cast<void *>(&ListenAgain)}};
const CORVclassDecl kAcceptingSocketDecl = SocketSubclass("AcceptingIPCSocket", kAcceptingHandlers);

TEST_F(IPCSocketTest, ListeningAgainOnAcceptKeepsTheWaitingConnections) {
  String path = TestPath("again");
  std::vector<Ref<IPCSocket>> server{IPCSocket::New(&kAcceptingSocketDecl)};
  gServerSockets = &server;
  server[0]->SetPath(path);
  server[0]->Listen();
  Ref<IPCSocket> clients[] = {Socket(path), Socket(path), Socket(path)};
  for (Ref<IPCSocket> &client : clients) {
    client->Connect();
    client->Write(String("hello"));
  }
  int32_t received = 0;
  for (uint32_t start = corv::platform::MillisecondCounter();
       received < 15 && corv::platform::MillisecondCounter() - start < 5000;) {
    for (Ref<IPCSocket> &client : clients) client->Poll();
    received = 0;
    for (size_t i = 0; i < server.size(); ++i) {
      Ref<IPCSocket> s = server[i];  // a handler may grow the list
      s->Poll();
      received += s->BytesAvailable();
    }
  }
  EXPECT_EQ(received, 15);
  EXPECT_EQ(gEvents.find('E'), std::string::npos) << gEvents;
}

TEST_F(IPCSocketTest, CloseDropsWhatIsBuffered) {
  Ref<IPCSocket> server, client;
  Pair(TestPath("drop"), server, client);
  client->Write(String("to the server"));
  ASSERT_TRUE(
      PollUntil([&] { return server->BytesAvailable() > 0; }, {client.get(), server.get()}));
  server->Write(String("never sent"));
  server->Close();
  EXPECT_EQ(server->BytesAvailable(), 0);
  EXPECT_EQ(server->BytesLeftToSend(), 0);
  EXPECT_TRUE(server->EndOfFile());
}

void Wrapper(CORVobject app, CORVAppFunction function) {
  CORVCallFunctionWithExceptionHandling(app, function);
}
const CORVmethodDecl kAppMethods[] = {
    {"_CallFunctionWithExceptionHandling", "%%p", reinterpret_cast<void *>(&Wrapper)}};
const CORVclassDecl kAppDecl = corv::ClassDecl("IPCTestApp", sizeof(CORVconsoleApplication))
                                   .Super(&kConsoleApplicationDecl)
                                   .Methods(kAppMethods);

TEST_F(IPCSocketTest, DoEventsPollsEveryLiveSocket) {
  CORVobject app = CORVInstantiateDeclaration(&kAppDecl);
  RuntimeRegisterConsoleAppObject(app, false);
  RuntimeUnlockObject(app);
  corv::Process().socketsAvailable = true;
  String path = TestPath("events");
  Ref<IPCSocket> server = Socket(path);
  server->Listen();
  Ref<IPCSocket> client = Socket(path);
  client->Connect();
  client->Write(String("ping"));
  uint32_t start = corv::platform::MillisecondCounter();
  while (server->BytesAvailable() < 4 && corv::platform::MillisecondCounter() - start < 5000)
    RuntimeDoEvents(-1);
  EXPECT_EQ(server->ReadAll().view(), "ping");
  corv::ResetAppStateForTest();
}

// A handler that closes its own socket and drops the last reference to it
// ends the pass without touching the freed object.
CORVobject gDropped = nullptr;
void CloseAndDrop(CORVobject s) {
  IPCSocketClose(s);
  corv::Release(std::exchange(gDropped, nullptr));
}
const CORVhandlerDecl kDroppingHandlers[] = {
    {"DataAvailable", reinterpret_cast<void *>(&CloseAndDrop)}};
const CORVclassDecl kDroppingSocketDecl = SocketSubclass("DroppingIPCSocket", kDroppingHandlers);

TEST_F(IPCSocketTest, AHandlerMayCloseAndReleaseItsSocket) {
  String path = TestPath("drop-self");
  Ref<IPCSocket> server = IPCSocket::New(&kDroppingSocketDecl);
  server->SetPath(path);
  server->Listen();
  Ref<IPCSocket> client = Socket(path);
  client->Connect();
  client->Write(String("bye"));
  gDropped = server.object();
  IPCSocket *raw = server.Leak();
  ASSERT_TRUE(PollUntil([&] { return gDropped == nullptr; }, {client.get(), raw}));
}

}  // namespace
