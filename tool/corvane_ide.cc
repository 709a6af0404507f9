// The IDE conversation: socket location, connection, delivery with retries.
#include "corvane_ide.h"

#include "corv/folder_item.h"
#include "platform/stop_signals.h"

namespace kilnrun::CorvaneIDE {

namespace {

constexpr int32_t kTemporaryFolder = 1001;
constexpr int32_t kNoSuchFolder = 1042;  // the folder service has none: nil

}  // namespace

corv::String SocketPath() {
  corv::Ref<corv::FolderItem> folder = corv::GetSpecialFolder(0, kTemporaryFolder);
  if (!folder || !folder->Exists() || !folder->IsWriteable())
    folder = corv::GetSpecialFolder(0, kNoSuchFolder);
  if (!folder) RaiseNilObjectException();
  corv::Ref<corv::FolderItem> socket = folder->Child("CorvaneIDE");
  if (!socket) RaiseNilObjectException();
  return socket->ShellPath();
}

corv::Ref<corv::IPCSocket> Connect() {
  uint32_t start = corv::Ticks();  // before anything else
  corv::Ref<corv::IPCSocket> s = corv::IPCSocket::New();
  s->SetPath(SocketPath());
  s->Connect();
  while (!s->IsConnected() && s->LastErrorCode() == 0 && corv::TicksSince(start) < kConnectTicks)
    s->Poll();
  if (s->IsConnected()) return s;
  s->Close();
  return nullptr;
}

bool IsAvailable() {
  corv::Ref<corv::IPCSocket> s = Connect();
  if (!s) return false;
  s->Close();
  return true;
}

bool TrySendScript(const corv::String &script) {
  corv::Ref<corv::IPCSocket> s = Connect();
  if (!s) return SocketError(-1);
  s->Write(script);
  while (s->BytesLeftToSend() > 0) {
    s->Poll();
    if (s->LastErrorCode() != 0) return SocketError(s->LastErrorCode());
  }
  s->Close();
  return true;
}

bool SendScript(const corv::String &script) {
  for (int attempt = 1; attempt <= kSendAttempts; ++attempt) {
    if (TrySendScript(script)) return true;
    if (corv::platform::StopSignal() != 0) break;  // the run is ending: no more tries
    RuntimeDoEvents(kRetryPauseMilliseconds);
  }
  return false;
}

bool SocketError(int32_t) {
  return false;
}

}  // namespace kilnrun::CorvaneIDE
