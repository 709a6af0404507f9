// Windows: Winsock, loaded at run time (a program that never opens a socket
// never loads it), on 127.0.0.1; handles are non-blocking and not inherited
// by child processes; readiness is checked with select. A connection that
// failed shows in select's exception set.
#include "platform/socket.h"

// Before windows.h, which would otherwise take the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <mutex>

namespace corv::platform {
namespace {

constexpr size_t kMaxRuns = 64;  // runs beyond these wait for the next call

// The Winsock functions used here, found in ws2_32.dll on first use.
struct Winsock {
  bool loaded = false;
  int(WSAAPI *startup)(WORD, LPWSADATA);
  SOCKET(WSAAPI *socket)(int, int, int);
  int(WSAAPI *bind)(SOCKET, const sockaddr *, int);
  int(WSAAPI *connect)(SOCKET, const sockaddr *, int);
  int(WSAAPI *listen)(SOCKET, int);
  SOCKET(WSAAPI *accept)(SOCKET, sockaddr *, int *);
  int(WSAAPI *select)(int, fd_set *, fd_set *, fd_set *, const timeval *);
  int(WSAAPI *recv)(SOCKET, char *, int, int);
  int(WSAAPI *send)(SOCKET, LPWSABUF, DWORD, LPDWORD, DWORD, LPWSAOVERLAPPED,
                    LPWSAOVERLAPPED_COMPLETION_ROUTINE);
  int(WSAAPI *ioctl)(SOCKET, long, u_long *);
  int(WSAAPI *setOption)(SOCKET, int, int, const char *, int);
  int(WSAAPI *close)(SOCKET);
  int(WSAAPI *lastError)();
};

template <class F>
bool Find(HMODULE library, const char *name, F *function) {
  *function = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(library, name)));
  return *function != nullptr;
}

const Winsock &Sockets() {
  static Winsock winsock;
  static std::once_flag once;
  std::call_once(once, [] {
    HMODULE library = LoadLibraryW(L"ws2_32.dll");
    Winsock &w = winsock;
    if (!library || !Find(library, "WSAStartup", &w.startup) ||
        !Find(library, "socket", &w.socket) || !Find(library, "bind", &w.bind) ||
        !Find(library, "connect", &w.connect) || !Find(library, "listen", &w.listen) ||
        !Find(library, "accept", &w.accept) || !Find(library, "select", &w.select) ||
        !Find(library, "recv", &w.recv) || !Find(library, "WSASend", &w.send) ||
        !Find(library, "ioctlsocket", &w.ioctl) || !Find(library, "setsockopt", &w.setOption) ||
        !Find(library, "closesocket", &w.close) || !Find(library, "WSAGetLastError", &w.lastError))
      return;
    WSADATA data;
    w.loaded = w.startup(MAKEWORD(2, 2), &data) == 0;
  });
  return winsock;
}

int LastError() {
  const Winsock &w = Sockets();
  return w.loaded ? w.lastError() : WSASYSNOTREADY;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = static_cast<u_short>((port >> 8) | ((port & 0xFF) << 8));  // network order
  address.sin_addr.s_addr = 0x0100007F;  // 127.0.0.1 in network order
  return address;
}

// Non-blocking, and kept from the processes this one starts.
SOCKET NewSocket() {
  const Winsock &w = Sockets();
  if (!w.loaded) return INVALID_SOCKET;
  SOCKET s = w.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  u_long on = 1;
  if (w.ioctl(s, FIONBIO, &on) != 0) {
    int error = w.lastError();
    w.close(s);
    SetLastError(static_cast<DWORD>(error));
    return INVALID_SOCKET;
  }
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return s;
}

// FD_ISSET calls into ws2_32 by import; the set is searched here instead.
bool InSet(SOCKET s, const fd_set &set) {
  for (u_int i = 0; i < set.fd_count; ++i)
    if (set.fd_array[i] == s) return true;
  return false;
}

int CloseKeepingError(SOCKET s) {
  int error = LastError();
  Sockets().close(s);
  return error;
}

}  // namespace

Result<PendingConnection> StartLoopbackConnection(uint16_t port) {
  SOCKET s = NewSocket();
  if (s == INVALID_SOCKET) return Result<PendingConnection>::Failure(LastError());
  const Winsock &w = Sockets();
  sockaddr_in local = Loopback(0), remote = Loopback(port);
  if (w.bind(s, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0)
    return Result<PendingConnection>::Failure(CloseKeepingError(s));
  SocketHandle handle = static_cast<SocketHandle>(s);
  if (w.connect(s, reinterpret_cast<sockaddr *>(&remote), sizeof remote) == 0)
    return Result<PendingConnection>::Success({handle, true});
  if (WouldBlock(LastError())) return Result<PendingConnection>::Success({handle, false});
  return Result<PendingConnection>::Failure(CloseKeepingError(s));
}

// Exclusive use of the address: on Windows a plain "reuse" would let a
// second listener take the same port.
Result<SocketHandle> ListenOnLoopback(uint16_t port, int backlog) {
  SOCKET s = NewSocket();
  if (s == INVALID_SOCKET) return Result<SocketHandle>::Failure(LastError());
  const Winsock &w = Sockets();
  BOOL on = TRUE;
  sockaddr_in local = Loopback(port);
  if (w.setOption(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&on),
                  sizeof on) != 0 ||
      w.bind(s, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
      w.listen(s, backlog < 0 ? SOMAXCONN : backlog) != 0)
    return Result<SocketHandle>::Failure(CloseKeepingError(s));
  return Result<SocketHandle>::Success(static_cast<SocketHandle>(s));
}

// An accepted socket takes on the listener's non-blocking mode.
Result<SocketHandle> AcceptConnection(SocketHandle listener) {
  SOCKET s = Sockets().accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return Result<SocketHandle>::Failure(LastError());
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return Result<SocketHandle>::Success(static_cast<SocketHandle>(s));
}

Result<Readiness> PollSocket(SocketHandle socket, bool wantRead, bool wantWrite) {
  SOCKET s = static_cast<SOCKET>(socket);
  fd_set readSet, writeSet, exceptSet;
  FD_ZERO(&readSet);
  FD_ZERO(&writeSet);
  FD_ZERO(&exceptSet);
  if (wantRead) FD_SET(s, &readSet);
  if (wantWrite) FD_SET(s, &writeSet);
  FD_SET(s, &exceptSet);
  timeval now = {0, 0};
  if (Sockets().select(0, &readSet, &writeSet, &exceptSet, &now) < 0)
    return Result<Readiness>::Failure(LastError());
  Readiness ready;
  ready.readable = InSet(s, readSet);
  ready.writable = InSet(s, writeSet);
  ready.exceptional = InSet(s, exceptSet);
  return Result<Readiness>::Success(ready);
}

Result<size_t> ReceiveBytes(SocketHandle socket, void *buffer, size_t count) {
  int size = static_cast<int>(std::min<size_t>(count, 0x40000000));
  int got = Sockets().recv(static_cast<SOCKET>(socket), static_cast<char *>(buffer), size, 0);
  if (got == SOCKET_ERROR) return Result<size_t>::Failure(LastError());
  return Result<size_t>::Success(static_cast<size_t>(got));
}

Result<size_t> SendBytes(SocketHandle socket, const ByteRun *runs, size_t runCount) {
  WSABUF pieces[kMaxRuns];
  runCount = std::min(runCount, kMaxRuns);
  for (size_t i = 0; i < runCount; ++i) {
    pieces[i].buf = static_cast<char *>(const_cast<void *>(runs[i].bytes));
    pieces[i].len = static_cast<ULONG>(std::min<size_t>(runs[i].count, 0x40000000));
  }
  DWORD sent = 0;
  if (Sockets().send(static_cast<SOCKET>(socket), pieces, static_cast<DWORD>(runCount), &sent, 0,
                     nullptr, nullptr) != 0)
    return Result<size_t>::Failure(LastError());
  return Result<size_t>::Success(sent);
}

Status CloseSocket(SocketHandle socket) {
  if (Sockets().close(static_cast<SOCKET>(socket)) != 0) return Status{LastError()};
  return Status{};
}

bool WouldBlock(int error) {
  return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEALREADY;
}

bool ConnectionLost(int error) {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN ||
         error == WSAENETRESET;
}

}  // namespace corv::platform
