// Test helper: an IPC path whose port no other socket on this machine holds.
#pragma once

#include <string>

#include "corv.h"
#include "platform/socket.h"

namespace corv::testing {

/// The first of prefix + "0" + suffix, prefix + "1" + suffix, ... whose port
/// lies below 32768, where the system takes no ports for outgoing
/// connections, and is free now: tests running side by side, and their
/// outgoing connections, then never meet at one port.
inline std::string FreeIPCPath(const std::string &prefix, const std::string &suffix = "") {
  for (int n = 0;; ++n) {
    std::string path = prefix + std::to_string(n) + suffix;
    CORVstring s = RuntimeCreateString(path.data(), static_cast<int32_t>(path.size()), 0xFFFF);
    uint16_t port = CORVIPCSocketPort(s);
    RuntimeUnlockString(s);
    if (port >= 32768) continue;
    auto probe = platform::ListenOnLoopback(port);
    if (!probe.ok()) continue;
    platform::CloseSocket(probe.value);
    return path;
  }
}

}  // namespace corv::testing
