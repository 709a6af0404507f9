// POSIX: BSD sockets on 127.0.0.1, made non-blocking and close-on-exec in
// the call that creates them, sent with MSG_NOSIGNAL, checked with poll(2).
#include "platform/socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>

namespace corv::platform {
namespace {

constexpr size_t kMaxRuns = 64;  // runs beyond these wait for the next call
constexpr int kStreamFlags = SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int CloseKeepingError(int fd) {
  int error = errno;
  close(fd);
  return error;
}

}  // namespace

Result<PendingConnection> StartLoopbackConnection(uint16_t port) {
  int fd = socket(AF_INET, kStreamFlags, 0);
  if (fd < 0) return Result<PendingConnection>::Failure(errno);
  sockaddr_in local = Loopback(0);
  if (bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0)
    return Result<PendingConnection>::Failure(CloseKeepingError(fd));
  sockaddr_in remote = Loopback(port);
  int status;
  do {
    status = connect(fd, reinterpret_cast<sockaddr *>(&remote), sizeof remote);
  } while (status != 0 && errno == EINTR);
  if (status == 0) return Result<PendingConnection>::Success({fd, true});
  if (WouldBlock(errno)) return Result<PendingConnection>::Success({fd, false});
  return Result<PendingConnection>::Failure(CloseKeepingError(fd));
}

Result<SocketHandle> ListenOnLoopback(uint16_t port, int backlog) {
  int fd = socket(AF_INET, kStreamFlags, 0);
  if (fd < 0) return Result<SocketHandle>::Failure(errno);
  int on = 1;
  sockaddr_in local = Loopback(port);
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
      listen(fd, backlog < 0 ? SOMAXCONN : backlog) != 0)
    return Result<SocketHandle>::Failure(CloseKeepingError(fd));
  return Result<SocketHandle>::Success(fd);
}

Result<SocketHandle> AcceptConnection(SocketHandle listener) {
  int fd;
  do {
    fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Result<SocketHandle>::Failure(errno);
  return Result<SocketHandle>::Success(fd);
}

Result<Readiness> PollSocket(SocketHandle socket, bool wantRead, bool wantWrite) {
  pollfd entry{static_cast<int>(socket), 0, 0};
  if (wantRead) entry.events |= POLLIN;
  if (wantWrite) entry.events |= POLLOUT;
  int count;
  do {
    count = poll(&entry, 1, 0);
  } while (count < 0 && errno == EINTR);
  if (count < 0) return Result<Readiness>::Failure(errno);
  Readiness ready;
  ready.exceptional = (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  ready.readable = (entry.revents & POLLIN) != 0;
  // A connection attempt that failed is reported writable as well; it is
  // the error, not a completed connection.
  ready.writable = (entry.revents & POLLOUT) != 0 && !(entry.revents & POLLERR);
  return Result<Readiness>::Success(ready);
}

Result<size_t> ReceiveBytes(SocketHandle socket, void *buffer, size_t count) {
  ssize_t got;
  do {
    got = recv(static_cast<int>(socket), buffer, count, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return Result<size_t>::Failure(errno);
  return Result<size_t>::Success(static_cast<size_t>(got));
}

Result<size_t> SendBytes(SocketHandle socket, const ByteRun *runs, size_t runCount) {
  iovec pieces[kMaxRuns];
  runCount = std::min(runCount, kMaxRuns);
  for (size_t i = 0; i < runCount; ++i)
    pieces[i] = iovec{const_cast<void *>(runs[i].bytes), runs[i].count};
  msghdr message{};
  message.msg_iov = pieces;
  message.msg_iovlen = runCount;
  ssize_t sent;
  do {
    sent = sendmsg(static_cast<int>(socket), &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return Result<size_t>::Failure(errno);
  return Result<size_t>::Success(static_cast<size_t>(sent));
}

Status CloseSocket(SocketHandle socket) {
  // Linux releases the descriptor even when close reports EINTR: no retry.
  if (close(static_cast<int>(socket)) != 0) return Status{errno};
  return Status{};
}

bool WouldBlock(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS || error == EALREADY;
}

bool ConnectionLost(int error) {
  return error == ECONNRESET || error == EPIPE || error == ECONNABORTED;
}

}  // namespace corv::platform
