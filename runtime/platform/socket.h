// Loopback stream sockets for the IPC socket: every handle is non-blocking
// and closed on exec, a send never raises SIGPIPE, and readiness is checked
// without waiting.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/result.h"

namespace corv::platform {

/// A platform socket handle; kNoSocket when none is open.
using SocketHandle = intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

/// A connection begun towards 127.0.0.1: the handle, and whether it was
/// complete at once (otherwise it completes or fails later, seen by
/// PollSocket).
struct PendingConnection {
  SocketHandle handle = kNoSocket;
  bool connected = false;
};

/// Makes a socket bound to 127.0.0.1 (any local port) and starts connecting
/// it to `port` on 127.0.0.1. On failure nothing stays open.
Result<PendingConnection> StartLoopbackConnection(uint16_t port);
/// Listens on 127.0.0.1 at `port` with address reuse, keeping up to
/// `backlog` connections waiting (the system's most when negative; tests
/// use 0 to make a listener that leaves further connections pending). On
/// failure nothing stays open.
Result<SocketHandle> ListenOnLoopback(uint16_t port, int backlog = -1);
/// Takes the next waiting connection of a listening socket.
Result<SocketHandle> AcceptConnection(SocketHandle listener);

/// What one readiness check found.
struct Readiness {
  bool readable = false;
  bool writable = false;
  bool exceptional = false;  ///< an error or hang-up reported on the socket
};
/// One readiness check with a zero time-out.
Result<Readiness> PollSocket(SocketHandle socket, bool wantRead, bool wantWrite);

/// Receives up to `count` bytes; 0 means the peer closed its side.
Result<size_t> ReceiveBytes(SocketHandle socket, void *buffer, size_t count);
/// A run of bytes to send.
struct ByteRun {
  const void *bytes;
  size_t count;
};
/// Hands the runs, in order, to the system in one call; it may take fewer
/// bytes than offered.
Result<size_t> SendBytes(SocketHandle socket, const ByteRun *runs, size_t runCount);
Status CloseSocket(SocketHandle socket);

/// Whether an error only says "not now" (the call would have blocked or a
/// connection is still under way).
bool WouldBlock(int error);
/// Whether an error says the connection is gone: the peer reset or closed it.
bool ConnectionLost(int error);

}  // namespace corv::platform
