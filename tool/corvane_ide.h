// CorvaneIDE: the tool's side of the conversation with the IDE. It only ever
// connects, writes a script, waits until every byte has left and closes;
// nothing is read back. Each call makes its own socket and keeps no state.
#pragma once

#include "corv/ipc_socket.h"
#include "corv/string.h"

namespace kilnrun::CorvaneIDE {

/// Ticks Connect waits for the IDE to answer (2 seconds).
inline constexpr uint32_t kConnectTicks = 120;
/// Delivery attempts of SendScript, and the pause after each failed one.
inline constexpr int kSendAttempts = 10;
inline constexpr int32_t kRetryPauseMilliseconds = 500;

/// The shell path of the IDE's socket: "CorvaneIDE" in the temporary-files
/// folder. NilObjectException when that folder is missing or not writeable.
corv::String SocketPath();
/// A socket connected to the IDE, or nil after 2 seconds or an error.
corv::Ref<corv::IPCSocket> Connect();
/// Whether a connection can be made now (it is closed again at once).
bool IsAvailable();
/// One delivery: connect, write the script as it is, wait until sent, close.
bool TrySendScript(const corv::String &script);
/// Up to ten deliveries, 500 ms apart.
bool SendScript(const corv::String &script);
/// The failure hook of a delivery: -1 when no connection was made, else the
/// socket's error code. Reports nothing; always false.
bool SocketError(int32_t code);

}  // namespace kilnrun::CorvaneIDE
