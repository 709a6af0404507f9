// POSIX: the textbook blocking calls, one after another.
#include "platform/blocking_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corv::platform::blocking {
namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

Result<SocketHandle> Listen(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  sockaddr_in local = Loopback(port);
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
      listen(fd, SOMAXCONN) != 0) {
    int error = errno;
    if (fd >= 0) close(fd);
    return Result<SocketHandle>::Failure(error);
  }
  return Result<SocketHandle>::Success(fd);
}

Result<SocketHandle> Accept(SocketHandle listener) {
  int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return Result<SocketHandle>::Failure(errno);
  return Result<SocketHandle>::Success(fd);
}

Result<size_t> Receive(SocketHandle socket, void *buffer, size_t count) {
  ssize_t got = recv(static_cast<int>(socket), buffer, count, 0);
  if (got < 0) return Result<size_t>::Failure(errno);
  return Result<size_t>::Success(static_cast<size_t>(got));
}

Result<SocketHandle> Connect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in remote = Loopback(port);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&remote), sizeof remote) != 0) {
    int error = errno;
    if (fd >= 0) close(fd);
    return Result<SocketHandle>::Failure(error);
  }
  return Result<SocketHandle>::Success(fd);
}

Status SendAll(SocketHandle socket, const void *buffer, size_t count) {
  auto *bytes = static_cast<const char *>(buffer);
  while (count > 0) {
    ssize_t sent = send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return Status{errno};
    }
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return Status{};
}

}  // namespace corv::platform::blocking
