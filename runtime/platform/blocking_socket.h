// Plain blocking loopback sockets: what the IPC socket's benchmark measures
// it against, and the peer that drains what either sends. Not part of the
// runtime library; only the benchmark builds it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/socket.h"

namespace corv::platform::blocking {

Result<SocketHandle> Listen(uint16_t port);
Result<SocketHandle> Accept(SocketHandle listener);
/// 0 when the peer closed.
Result<size_t> Receive(SocketHandle socket, void *buffer, size_t count);
Result<SocketHandle> Connect(uint16_t port);
/// Sends every byte, waiting while the system has no room.
Status SendAll(SocketHandle socket, const void *buffer, size_t count);

}  // namespace corv::platform::blocking
