// Loopback sockets on Windows: a listener, a connection, bytes both ways,
// a refused connection seen by a readiness check, and the peer closing.
#include "platform/socket.h"

// Before anything that brings in windows.h, which would take the old winsock.h.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/error_codes.h"

namespace {

using namespace corv::platform;

// A readiness check repeated until it finds what is asked or a second passes.
Readiness WaitFor(SocketHandle socket, bool read, bool write) {
  Readiness ready;
  for (int i = 0; i < 100; ++i) {
    ready = PollSocket(socket, read, write).value;
    if ((read && ready.readable) || (write && ready.writable) || ready.exceptional) break;
    Sleep(10);
  }
  return ready;
}

TEST(WindowsSocketTest, ConnectsSendsReceivesAndSeesTheEnd) {
  Result<SocketHandle> listener = ListenOnLoopback(47213);
  ASSERT_TRUE(listener.ok()) << listener.error;
  EXPECT_EQ(SocketErrorCode(ListenOnLoopback(47213).error), 48);  // the port is taken
  Result<PendingConnection> client = StartLoopbackConnection(47213);
  ASSERT_TRUE(client.ok()) << client.error;
  SocketHandle out = client.value.handle;
  EXPECT_TRUE(WaitFor(out, false, true).writable);
  ASSERT_TRUE(WaitFor(listener.value, true, false).readable);
  Result<SocketHandle> accepted = AcceptConnection(listener.value);
  ASSERT_TRUE(accepted.ok()) << accepted.error;
  SocketHandle in = accepted.value;

  char buffer[16];
  Result<size_t> nothing = ReceiveBytes(in, buffer, sizeof buffer);
  EXPECT_TRUE(WouldBlock(nothing.error));  // non-blocking: nothing there yet
  ByteRun runs[] = {{"hello ", 6}, {"world", 5}};
  Result<size_t> sent = SendBytes(out, runs, 2);
  ASSERT_TRUE(sent.ok());
  EXPECT_EQ(sent.value, 11u);
  ASSERT_TRUE(WaitFor(in, true, false).readable);
  Result<size_t> got = ReceiveBytes(in, buffer, sizeof buffer);
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(std::string(buffer, got.value), "hello world");

  CloseSocket(out);
  ASSERT_TRUE(WaitFor(in, true, false).readable);
  EXPECT_EQ(ReceiveBytes(in, buffer, sizeof buffer).value, 0u);  // the peer closed
  CloseSocket(in);
  CloseSocket(listener.value);
}

TEST(WindowsSocketTest, ARefusedConnectionIsExceptional) {
  Result<PendingConnection> client = StartLoopbackConnection(47214);  // nobody listens
  if (!client.ok()) {
    EXPECT_EQ(SocketErrorCode(client.error), 61);
    return;
  }
  Readiness ready = WaitFor(client.value.handle, false, true);
  EXPECT_TRUE(ready.exceptional);
  EXPECT_FALSE(ready.writable);
  CloseSocket(client.value.handle);
  EXPECT_TRUE(ConnectionLost(WSAECONNRESET));
  EXPECT_FALSE(ConnectionLost(WSAEWOULDBLOCK));
}

}  // namespace
